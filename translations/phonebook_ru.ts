<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="ru" sourcelanguage="en">
<context>
    <name>phonebook</name>
    <message>
        <source>Field "%1" not found.</source>
        <translation>Поле «%1» не найдено.</translation>
    </message>
    <message>
        <source>Table "%1" not found in %2.</source>
        <translation>Таблица «%1» не найдена в папке %2.</translation>
    </message>
    <message numerus="yes">
        <source>%n record</source>
        <translation><numerusform>%n запись</numerusform><numerusform>%n записи</numerusform><numerusform>%n записей</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>%n records</source>
        <translation><numerusform>%n запись</numerusform><numerusform>%n записи</numerusform><numerusform>%n записей</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>%n byte</source>
        <translation><numerusform>%n байт</numerusform><numerusform>%n байта</numerusform><numerusform>%n байтов</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>%n bytes</source>
        <translation><numerusform>%n байт</numerusform><numerusform>%n байта</numerusform><numerusform>%n байтов</numerusform></translation>
    </message>
    <message>
        <source>Cannot open the table %1: %2.</source>
        <translation>Не удаётся открыть таблицу %1: %2.</translation>
    </message>
    <message>
        <source>the file changed while it was being read</source>
        <translation>файл изменился, пока его читали</translation>
    </message>
    <message>
        <source>Cannot read the table %1: %2.</source>
        <translation>Не удаётся прочитать таблицу %1: %2.</translation>
    </message>
    <message>
        <source>the file is %1 long, shorter than a table header (%2 bytes)</source>
        <translation>длина файла %1, это меньше заголовка таблицы (%2 байта)</translation>
    </message>
    <message>
        <source>it is a dBase II file (version byte 0x02), a format this program does not read</source>
        <translation>это файл dBase II (байт версии 0x02), такой формат программа не читает</translation>
    </message>
    <message>
        <source>it is a dBase 7 file (version byte %1), a format this program does not read</source>
        <translation>это файл dBase 7 (байт версии %1), такой формат программа не читает</translation>
    </message>
    <message>
        <source>it is not a dBASE or FoxPro table (version byte %1)</source>
        <translation>это не таблица dBASE или FoxPro (байт версии %1)</translation>
    </message>
    <message>
        <source>the header (%1 bytes) holds no field descriptions</source>
        <translation>в заголовке (%1 байт) нет описаний полей</translation>
    </message>
    <message>
        <source>the header claims %1 bytes, the file holds only %2</source>
        <translation>заголовок занимает %1 байт, а в файле всего %2</translation>
    </message>
    <message>
        <source>the header holds no field descriptions</source>
        <translation>в заголовке нет описаний полей</translation>
    </message>
    <message>
        <source>the field list in the header has no end mark (0x0D)</source>
        <translation>у списка полей в заголовке нет метки конца (0x0D)</translation>
    </message>
    <message>
        <source>the header gives records of %1 bytes, the fields need %2</source>
        <translation>по заголовку запись занимает %1 байт, а полям нужно %2</translation>
    </message>
    <message>
        <source>the field %1 has the type "%2", which this program does not read: it is left empty</source>
        <translation>поле %1 имеет тип «%2», который программа не читает: оно оставлено пустым</translation>
    </message>
    <message>
        <source>the header promises %1, the file holds %2</source>
        <translation>в заголовке указано: %1, а в файле их %2</translation>
    </message>
    <message>
        <source>the file ends inside record %1 (%2 of its %3 bytes are present)</source>
        <translation>файл обрывается внутри записи %1 (есть %2 из её %3 байт)</translation>
    </message>
    <message>
        <source>the memo file (.dbt or .fpt) beside it is missing: memo fields are left empty</source>
        <translation>рядом нет файла примечаний (.dbt или .fpt): поля примечаний оставлены пустыми</translation>
    </message>
    <message>
        <source>the memo file %1 cannot be read: %2</source>
        <translation>файл примечаний %1 не читается: %2</translation>
    </message>
    <message>
        <source>the memo file %1 is damaged: memo fields are left empty</source>
        <translation>файл примечаний %1 повреждён: поля примечаний оставлены пустыми</translation>
    </message>
    <message>
        <source>the memo of the field %1 in row %2 of %3 lies past the end of the memo file: it is read as NULL</source>
        <translation>примечание поля %1 в строке %2 таблицы %3 лежит за концом файла примечаний: оно читается как NULL</translation>
    </message>
    <message>
        <source>%1 more memos of %2 lie past the end of the memo file</source>
        <translation>ещё примечаний таблицы %2 за концом файла примечаний: %1</translation>
    </message>
    <message>
        <source>The statement was interrupted.</source>
        <translation>Выполнение запроса прервано.</translation>
    </message>
    <message>
        <source>The statement needs more memory than the %1 MiB allowed to it.</source>
        <translation>Запросу нужно больше памяти, чем отведённые ему %1 МиБ.</translation>
    </message>
    <message>
        <source>The result of the statement is too large to hold (over 2 GB of text).</source>
        <translation>Результат запроса слишком велик (больше 2 ГБ текста).</translation>
    </message>
    <message>
        <source> (no table file of that name in %1)</source>
        <translation> (в папке %1 нет файла таблицы с таким именем)</translation>
    </message>
    <message>
        <source>The SQL engine cannot start: %1</source>
        <translation>Не удаётся запустить механизм SQL: %1</translation>
    </message>
    <message>
        <source>The statement is empty.</source>
        <translation>Запрос пуст.</translation>
    </message>
    <message>
        <source>Only one statement can be run at a time.</source>
        <translation>За один раз можно выполнить только один запрос.</translation>
    </message>
    <message>
        <source>The table %1 changed while it was being read; run the statement again.</source>
        <translation>Таблица %1 изменилась, пока её читали; выполните запрос ещё раз.</translation>
    </message>
    <message>
        <source>The statement was stopped.</source>
        <translation>Выполнение запроса остановлено.</translation>
    </message>
    <message>
        <source>The table %1 kept changing while the quick search read it.</source>
        <translation>Таблица %1 менялась всё время, пока её читал быстрый поиск.</translation>
    </message>
    <message>
        <source>The folder %1 holds the table %2 under two names, %3 and %4. Remove one of them (keep the current edition).</source>
        <translation>В папке %1 таблица %2 лежит под двумя именами: %3 и %4. Удалите один из этих файлов (оставьте текущее издание).</translation>
    </message>
</context>
</TS>