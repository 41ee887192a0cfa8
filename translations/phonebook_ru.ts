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
        <source>%1 (no table file of that name in %2)</source>
        <translation>%1 (в папке %2 нет файла таблицы с таким именем)</translation>
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
        <source>The table %1 holds too many distinct words for the quick search.</source>
        <translation>В таблице %1 слишком много разных слов для быстрого поиска.</translation>
    </message>
    <message>
        <source>No such telephone number!!!</source>
        <translation>Указанный телефон не найден!!!</translation>
    </message>
    <message>
        <source>No such person!!!</source>
        <translation>Указанный человек не найден!!!</translation>
    </message>
    <message>
        <source>No such organisation!!!</source>
        <translation>Указанная организация не найдена!!!</translation>
    </message>
    <message>
        <source>No such address!!!</source>
        <translation>Такого адреса не найдено!!!</translation>
    </message>
    <message>
        <source>Search by number %1</source>
        <translation>Поиск по номеру %1</translation>
    </message>
    <message>
        <source>Search by surname %1</source>
        <translation>Поиск по фамилии %1</translation>
    </message>
    <message>
        <source>Search by department %1</source>
        <translation>Поиск по отделу %1</translation>
    </message>
    <message>
        <source>Search for the organisation %1</source>
        <translation>Поиск предприятия %1</translation>
    </message>
    <message>
        <source>Search by address %1</source>
        <translation>Поиск по адресу %1</translation>
    </message>
    <message>
        <source>Search by address %1 house %2</source>
        <translation>Поиск по адресу %1 д. %2</translation>
    </message>
    <message>
        <source>Search by address %1 flat %2</source>
        <translation>Поиск по адресу %1 кв. %2</translation>
    </message>
    <message>
        <source>Search by address %1 house %2 flat %3</source>
        <translation>Поиск по адресу %1 д. %2 кв. %3</translation>
    </message>
    <message>
        <source>Search by number: %1</source>
        <translation>Поиск по номеру: %1</translation>
    </message>
    <message>
        <source>Search by surname: %1</source>
        <translation>Поиск по фамилии: %1</translation>
    </message>
    <message>
        <source>Search by department: %1</source>
        <translation>Поиск по отделу: %1</translation>
    </message>
    <message>
        <source>Search for the organisation: %1</source>
        <translation>Поиск предприятия: %1</translation>
    </message>
    <message>
        <source>Search by address: %1</source>
        <translation>Поиск по адресу: %1</translation>
    </message>
    <message>
        <source>Search by address: %1, %2</source>
        <translation>Поиск по адресу: %1, %2</translation>
    </message>
    <message>
        <source>Search by address: %1, flat %2</source>
        <translation>Поиск по адресу: %1, кв. %2</translation>
    </message>
    <message>
        <source>Search by address: %1, %2, flat %3</source>
        <translation>Поиск по адресу: %1, %2, кв. %3</translation>
    </message>
    <message>
        <source>Showing the results for "%1"</source>
        <translation>Показаны результаты для «%1»</translation>
    </message>
    <message>
        <source>Showing similar words</source>
        <translation>Показаны похожие слова</translation>
    </message>
    <message>
        <source>The folder %1 holds the table %2 under two names, %3 and %4. Remove one of them (keep the current edition).</source>
        <translation>В папке %1 таблица %2 лежит под двумя именами: %3 и %4. Удалите один из этих файлов (оставьте текущее издание).</translation>
    </message>
    <message>
        <source>Cannot read the archive %1: it is not an archive this program can read (%2).</source>
        <translation>Не удалось прочесть архив %1: это не архив, который программа умеет читать (%2).</translation>
    </message>
    <message>
        <source>Cannot read the archive %1: it is not an archive this program can read (unknown error).</source>
        <translation>Не удалось прочесть архив %1: это не архив, который программа умеет читать (неизвестная ошибка).</translation>
    </message>
    <message>
        <source>The file %1 in the archive is larger than 4 GB; no table can be that large. The update has stopped.</source>
        <translation>Файл %1 в архиве больше 4 ГБ; такой таблицы быть не может. Обновление остановлено.</translation>
    </message>
    <message>
        <source>Not enough disk space for %1: less than %2 MB would be left after unpacking. The update has stopped.</source>
        <translation>На диске не хватает места для %1: после распаковки осталось бы меньше %2 МБ. Обновление остановлено.</translation>
    </message>
    <message>
        <source>The archive %1 is damaged: %2</source>
        <translation>Архив %1 повреждён: %2</translation>
    </message>
    <message>
        <source>The archive %1 is damaged: unknown error</source>
        <translation>Архив %1 повреждён: неизвестная ошибка</translation>
    </message>
    <message>
        <source>%1 in the archive is a link, not a file; it was not taken.</source>
        <translation>%1 в архиве — ссылка, а не файл; он не принят.</translation>
    </message>
    <message>
        <source>%1 in the archive is not a file; it was not taken.</source>
        <translation>%1 в архиве — не файл; он не принят.</translation>
    </message>
    <message>
        <source>Cannot write %1: %2.</source>
        <translation>Не удалось записать %1: %2.</translation>
    </message>
    <message>
        <source>The update was interrupted.</source>
        <translation>Обновление прервано.</translation>
    </message>
    <message>
        <source>Cannot unpack %1 from the archive: %2</source>
        <translation>Не удалось распаковать %1 из архива: %2</translation>
    </message>
    <message>
        <source>Cannot unpack %1 from the archive: unknown error</source>
        <translation>Не удалось распаковать %1 из архива: неизвестная ошибка</translation>
    </message>
    <message>
        <source>The archive %1 holds none of the directory's tables (%2, %3).</source>
        <translation>В архиве %1 нет таблиц справочника (%2, %3).</translation>
    </message>
    <message>
        <source>The individuals were not updated!!!</source>
        <translation>Обновление физических лиц не выполнено!!!</translation>
    </message>
    <message>
        <source>The organisations were not updated!!!</source>
        <translation>Обновление пердприятий не выполнено!!!</translation>
    </message>
    <message>
        <source>the file named %1 holds the organisations' table (%2), not the individuals'.</source>
        <translation>под именем %1 пришла таблица организаций (%2), а не физических лиц.</translation>
    </message>
    <message>
        <source>the file named %1 holds the individuals' table (%2), not the organisations'.</source>
        <translation>под именем %1 пришла таблица физических лиц (%2), а не организаций.</translation>
    </message>
    <message>
        <source>The table %1 has no field %2.</source>
        <translation>В таблице %1 нет поля %2.</translation>
    </message>
    <message>
        <source>In the table %1 the field %2 is not of character type.</source>
        <translation>В таблице %1 поле %2 не символьное.</translation>
    </message>
    <message>
        <source>The table %1 holds no records.</source>
        <translation>В таблице %1 нет ни одной записи.</translation>
    </message>
    <message>
        <source>not enough disk space</source>
        <translation>на диске не хватает места</translation>
    </message>
    <message>
        <source>no access rights</source>
        <translation>нет прав доступа</translation>
    </message>
    <message>
        <source>the disk is read-only</source>
        <translation>диск доступен только для чтения</translation>
    </message>
    <message>
        <source>file not found</source>
        <translation>файл не найден</translation>
    </message>
    <message>
        <source>a folder is in the way</source>
        <translation>на этом месте папка</translation>
    </message>
    <message>
        <source>a symbolic link is in the way</source>
        <translation>на этом месте символическая ссылка</translation>
    </message>
    <message>
        <source>No rights to write to the folder %1.</source>
        <translation>Нет прав на запись в папку %1.</translation>
    </message>
    <message>
        <source>The folder %1 was not found.</source>
        <translation>Папка %1 не найдена.</translation>
    </message>
    <message>
        <source>No archive path was given.</source>
        <translation>Не указан путь к архиву.</translation>
    </message>
    <message>
        <source>The archive %1 was not found.</source>
        <translation>Архив %1 не найден.</translation>
    </message>
    <message>
        <source>The archive cannot be called %1: one of the program's own files is called so. Rename the archive and run the update again.</source>
        <translation>Архив не может называться %1: так называется файл самой программы. Переименуйте архив и повторите обновление.</translation>
    </message>
    <message>
        <source>Cannot copy the archive to %1: %2 (%3).</source>
        <translation>Не удалось скопировать архив в %1: %2 (%3).</translation>
    </message>
    <message>
        <source>the archive needs %1 MB</source>
        <translation>архиву нужно %1 МБ</translation>
    </message>
    <message>
        <source>the archive cannot be read</source>
        <translation>архив не читается</translation>
    </message>
    <message>
        <source>no temporary file can be made</source>
        <translation>не создаётся временный файл</translation>
    </message>
    <message>
        <source>the copy is incomplete</source>
        <translation>копия неполна</translation>
    </message>
    <message>
        <source>the copy was not written</source>
        <translation>копия не записана</translation>
    </message>
    <message>
        <source>Cannot remove %1: %2.</source>
        <translation>Не удалось удалить %1: %2.</translation>
    </message>
    <message>
        <source>Cannot make the update's working folder in %1: %2.</source>
        <translation>Не удалось создать рабочую папку обновления в %1: %2.</translation>
    </message>
    <message>
        <source>the name is not a working folder's</source>
        <translation>имя не то</translation>
    </message>
    <message>
        <source>it is a symbolic link</source>
        <translation>это символическая ссылка</translation>
    </message>
    <message>
        <source>it is not a folder</source>
        <translation>это не папка</translation>
    </message>
    <message>
        <source>the folder belongs to another user</source>
        <translation>папка принадлежит другому пользователю</translation>
    </message>
    <message>
        <source>the folder's permissions are not 0700</source>
        <translation>права папки не 0700</translation>
    </message>
    <message>
        <source>it holds no working-folder mark</source>
        <translation>в ней нет метки рабочей папки</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>the file changed while it was read</source>
        <translation>файл изменился, пока его читали</translation>
    </message>
    <message>
        <source>%1 is a symbolic link, not a table; such a file is not taken.</source>
        <translation>%1 — символическая ссылка, а не таблица; такой файл не принимается.</translation>
    </message>
    <message>
        <source>%1 is not a table file.</source>
        <translation>%1 — не файл таблицы.</translation>
    </message>
    <message>
        <source>%1 is larger than 4 GB; no table can be that large.</source>
        <translation>%1 больше 4 ГБ; такой таблицы быть не может.</translation>
    </message>
    <message>
        <source>%1 for a copy of the table (%2 MB)</source>
        <translation>для копии таблицы %1 (%2 МБ)</translation>
    </message>
    <message>
        <source>Cannot write the update journal in %1: %2.</source>
        <translation>Не удалось записать журнал обновления в %1: %2.</translation>
    </message>
    <message>
        <source>%1 was not replaced: %2.</source>
        <translation>%1 не заменён: %2.</translation>
    </message>
    <message>
        <source>The journal of an interrupted update, %1, cannot be read; the files in the folder are left as they are.</source>
        <translation>Журнал прерванного обновления %1 не читается; файлы в папке оставлены как есть.</translation>
    </message>
    <message>
        <source>The journal of an interrupted update names the folder %1, but it is not an update's working folder (%2); the files in the folder are left as they are.</source>
        <translation>Журнал прерванного обновления называет папку %1, но это не рабочая папка обновления (%2); файлы в папке оставлены как есть.</translation>
    </message>
    <message>
        <source>The directory in the folder %1 is still being updated.</source>
        <translation>Обновление справочника в папке %1 ещё идёт.</translation>
    </message>
    <message>
        <source>not a file</source>
        <translation>не файл</translation>
    </message>
    <message>
        <source>Interrupted update: the new %1 was not taken (%2).</source>
        <translation>Прерванное обновление: новый %1 не принят (%2).</translation>
    </message>
    <message>
        <source>Interrupted update not finished: %1 was not replaced (%2).</source>
        <translation>Прерванное обновление не закончено: %1 не заменён (%2).</translation>
    </message>
    <message>
        <source>Interrupted update finished: %1 was replaced by the new one.</source>
        <translation>Прерванное обновление закончено: %1 заменён новым.</translation>
    </message>
    <message>
        <source>Cannot put %1 back from %2: %3.</source>
        <translation>Не удалось вернуть %1 из %2: %3.</translation>
    </message>
    <message>
        <source>Interrupted update undone: %1 was left as it was.</source>
        <translation>Прерванное обновление отменено: %1 оставлен прежним.</translation>
    </message>
    <message>
        <source>An update of the directory in the folder %1 was interrupted. A user who may write to that folder can finish it.</source>
        <translation>Обновление справочника в папке %1 было прервано. Закончить его может пользователь с правом записи в эту папку.</translation>
    </message>
    <message>
        <source>The archive did not finish within %1 min and was stopped.</source>
        <translation>Архив не закончил работу за %1 мин. и остановлен.</translation>
    </message>
    <message>
        <source>The archive did not finish within %1 s and was stopped.</source>
        <translation>Архив не закончил работу за %1 с и остановлен.</translation>
    </message>
    <message>
        <source>An update is already running in the folder %1.</source>
        <translation>В папке %1 уже идёт обновление.</translation>
    </message>
    <message>
        <source>Cannot begin the update in %1: %2.</source>
        <translation>Не удалось начать обновление в %1: %2.</translation>
    </message>
    <message>
        <source>The previous update could not be finished; the new one was not begun.</source>
        <translation>Прошлое обновление не удалось закончить; новое не начато.</translation>
    </message>
    <message>
        <source>Copying the archive</source>
        <translation>Копирование архива</translation>
    </message>
    <message>
        <source>The archive ran without isolation: the program bwrap (package bubblewrap) was not found or does not start here. Whatever the archive left running has been stopped.</source>
        <translation>Архив запущен без изоляции: программа bwrap (пакет bubblewrap) не найдена или не запускается здесь. Всё, что архив оставил работать, остановлено.</translation>
    </message>
    <message>
        <source>Unpacking the archive</source>
        <translation>Распаковка архива</translation>
    </message>
    <message>
        <source>Unpacking the archive (without isolation)</source>
        <translation>Распаковка архива (без изоляции)</translation>
    </message>
    <message>
        <source>Cannot start the archive: %1.</source>
        <translation>Не удалось запустить архив: %1.</translation>
    </message>
    <message>
        <source>Cannot start the archive %1: %2</source>
        <translation>Не удалось запустить архив %1: %2</translation>
    </message>
    <message>
        <source>The archive crashed.</source>
        <translation>Архив аварийно завершился.</translation>
    </message>
    <message>
        <source>The archive ended with an error (code %1).</source>
        <translation>Архив завершился с ошибкой (код %1).</translation>
    </message>
    <message>
        <source>Less than %1 MB is left on the disk; the archive was stopped and the tables were left as they were.</source>
        <translation>На диске осталось меньше %1 МБ; архив остановлен, таблицы оставлены прежними.</translation>
    </message>
    <message>
        <source>The archive wrote a file %1 larger than 4 GB; the archive was stopped and the tables were left as they were.</source>
        <translation>Архив записал файл %1 больше 4 ГБ; архив остановлен, таблицы оставлены прежними.</translation>
    </message>
    <message>
        <source>The update was interrupted by the user.</source>
        <translation>Обновление прервано пользователем.</translation>
    </message>
    <message>
        <source>Less than %1 MB is left on the disk; the tables were left as they were.</source>
        <translation>На диске осталось меньше %1 МБ; таблицы оставлены прежними.</translation>
    </message>
    <message>
        <source>Checking the tables</source>
        <translation>Проверка таблиц</translation>
    </message>
    <message>
        <source>The lock file %1 was removed or replaced during the update; the tables were left as they were. Run the update again.</source>
        <translation>Файл блокировки %1 удалён или заменён во время обновления; таблицы оставлены прежними. Повторите обновление.</translation>
    </message>
    <message>
        <source>Replacing the tables</source>
        <translation>Замена таблиц</translation>
    </message>
</context>
<context>
    <name>QCommandLineParser</name>
    <message>
        <source>Displays help on commandline options.</source>
        <translation>Показывает справку по параметрам командной строки.</translation>
    </message>
    <message>
        <source>Displays help including Qt specific options.</source>
        <translation>Показывает справку, включая параметры Qt.</translation>
    </message>
    <message>
        <source>Displays version information.</source>
        <translation>Показывает версию программы.</translation>
    </message>
    <message>
        <source>Unknown option '%1'.</source>
        <translation>Неизвестный параметр «%1».</translation>
    </message>
    <message>
        <source>Unknown options: %1.</source>
        <translation>Неизвестные параметры: %1.</translation>
    </message>
    <message>
        <source>Missing value after '%1'.</source>
        <translation>Нет значения после «%1».</translation>
    </message>
    <message>
        <source>Unexpected value after '%1'.</source>
        <translation>Лишнее значение после «%1».</translation>
    </message>
    <message>
        <source>[options]</source>
        <translation>[параметры]</translation>
    </message>
    <message>
        <source>Usage: %1</source>
        <translation>Использование: %1</translation>
    </message>
    <message>
        <source>Options:</source>
        <translation>Параметры:</translation>
    </message>
    <message>
        <source>Arguments:</source>
        <translation>Аргументы:</translation>
    </message>
</context>
<context>
    <name>phonebook</name>
    <message>
        <source>Telephone directory of the city telephone network: finds subscribers by number, name,
address, organisation or department, and installs new editions of the directory.
The tables sp09kw_n.dbf (individuals) and sp09pr_n.dbf (organisations' numbers) are read
from the program's folder. Searches from a terminal: phonebook-find; an update from a
terminal: phonebook-update.</source>
        <translation>Телефонный справочник абонентов городской телефонной сети: находит абонентов по номеру,
фамилии, адресу, организации или отделу и устанавливает новые редакции справочника.
Таблицы sp09kw_n.dbf (физические лица) и sp09pr_n.dbf (номера организаций) читаются
из папки программы. Поиск из терминала: phonebook-find; обновление из терминала:
phonebook-update.</translation>
    </message>
</context>
<context>
    <name>phonebook-find</name>
    <message>
        <source>Verbs:</source>
        <translation>Команды:</translation>
    </message>
    <message>
        <source>Searches the telephone directory's tables.</source>
        <translation>Ищет в таблицах телефонного справочника.</translation>
    </message>
    <message>
        <source>Values print as UTF-8, one row a line, tab-separated; a tab, line break or backslash
inside a value prints as \t, \n or \\. Rows print as the statement finds them. Exit status:
0 rows found, 1 none, 2 an error, 130 stopped by Ctrl+C.</source>
        <translation>Значения выводятся в UTF-8, строка на строку, через табуляцию; табуляция, перевод строки
и обратная косая черта внутри значения выводятся как \t, \n и \\. Строки выводятся по мере
того, как запрос их находит. Код выхода: 0 строки найдены, 1 ничего не найдено, 2 ошибка,
130 остановлено по Ctrl+C.</translation>
    </message>
    <message>
        <source>Folder of the table files (default: the folder of this program).</source>
        <translation>Папка файлов таблиц (по умолчанию папка этой программы).</translation>
    </message>
    <message>
        <source>Print values as stored (enciphered).</source>
        <translation>Выводить значения, как они хранятся (зашифрованными).</translation>
    </message>
    <message>
        <source>Print the field names first.</source>
        <translation>Сначала вывести имена полей.</translation>
    </message>
    <message>
        <source>Most memory a statement may take: bytes, or a number with K, M or G (default 1G).</source>
        <translation>Наибольший объём памяти для запроса: в байтах или число с K, M или G (по умолчанию 1G).</translation>
    </message>
    <message>
        <source>What to do (see Verbs).</source>
        <translation>Что сделать (см. «Команды»).</translation>
    </message>
    <message>
        <source>Runs a statement over the tables; prints its rows, tab-separated, deciphered.</source>
        <translation>Выполняет запрос к таблицам; выводит его строки через табуляцию, расшифрованными.</translation>
    </message>
    <message>
        <source>Prints the number of records of a table (deleted ones not counted).</source>
        <translation>Выводит число записей таблицы (без удалённых).</translation>
    </message>
    <message>
        <source>Prints the stored (enciphered) form of a text.</source>
        <translation>Выводит хранимый (зашифрованный) вид текста.</translation>
    </message>
    <message>
        <source>Prints the plain text of a stored (enciphered) text.</source>
        <translation>Выводит расшифрованный вид хранимого (зашифрованного) текста.</translation>
    </message>
    <message>
        <source>Telephone-number search: individuals whose number begins with NUMBER ("%" lists all); with --org, every
      number of the organisation that owns NUMBER, "&gt;" in an extra first column on that number.</source>
        <translation>Поиск по номеру телефона: физические лица, чей номер начинается с NUMBER («%» — все); с --org все
      номера организации, которой принадлежит NUMBER, с «&gt;» в добавочном первом столбце у этого номера.</translation>
    </message>
    <message>
        <source>Surname search: individuals whose full name begins with TEXT, in any letter case.</source>
        <translation>Поиск по фамилии: физические лица, чьё полное имя начинается с TEXT, в любом регистре.</translation>
    </message>
    <message>
        <source>Quick search, as the program's search box: individuals (with --org, organisations' numbers) with a word
      beginning with each word of TEXT; a number also matches the telephone number's beginning or the
      house or flat number.</source>
        <translation>Быстрый поиск, как в поле поиска программы: физические лица (с --org — номера организаций), у которых
      есть слово, начинающееся с каждого слова TEXT; число находит также начало номера телефона или
      номер дома или квартиры.</translation>
    </message>
    <message>
        <source>Every number of the organisation named NAME (as the program shows it).</source>
        <translation>Все номера организации с названием NAME (как его показывает программа).</translation>
    </message>
    <message>
        <source>Address search: individuals at exactly that street (house and flat when given); with --org,
      organisations on a street beginning with TEXT (house when given; no flat).</source>
        <translation>Поиск по адресу: физические лица точно на этой улице (и в доме и квартире, если заданы); с --org
      организации на улице, начинающейся с TEXT (и в доме, если задан; без квартиры).</translation>
    </message>
    <message>
        <source>Organisation search, TEXT upper-cased: 1 the name begins with it (the default; an empty TEXT lists
      every organisation), 2 a word of the name begins with it, 3 departments holding such a word.
      Names found nowhere are looked for in the second name.</source>
        <translation>Поиск организации, TEXT прописными: 1 название начинается с него (по умолчанию; пустой TEXT даёт
      все организации), 2 слово названия начинается с него, 3 отделы с таким словом.
      Если по названию ничего не найдено, ищется во втором названии.</translation>
    </message>
    <message>
        <source>The street list of the address dialog: individuals' streets, or with --org organisations'.</source>
        <translation>Список улиц окна поиска по адресу: улицы физических лиц или с --org — организаций.</translation>
    </message>
    <message>
        <source>The full organisation list: name, street, house.</source>
        <translation>Полный список организаций: название, улица, дом.</translation>
    </message>
</context>
<context>
    <name>phonebook-update</name>
    <message>
        <source>Installs a new edition of the telephone directory from an update archive: the archive is
copied beside the tables and delivers new ones into a private folder there; each new table
that opens soundly replaces the live one, and any other table stays exactly as it was.
An interrupted update is finished (or undone) the next time the folder is opened.
Progress and messages go to stderr. Exit status: 0 both tables replaced, 1 one or both
kept, 2 an error (nothing replaced).</source>
        <translation>Устанавливает новую редакцию телефонного справочника из архива обновления: архив
копируется к таблицам и распаковывает новые в отдельную папку рядом с ними; каждая новая
таблица, которая открывается без ошибок, заменяет действующую, а любая другая остаётся
в точности как была. Прерванное обновление завершается (или отменяется) при следующем
открытии папки. Ход работы и сообщения выводятся в stderr. Код выхода: 0 обе таблицы
заменены, 1 одна или обе оставлены, 2 ошибка (ничего не заменено).</translation>
    </message>
    <message>
        <source>Folder of the table files (default: the folder of this program).</source>
        <translation>Папка файлов таблиц (по умолчанию папка этой программы).</translation>
    </message>
    <message>
        <source>Stop an archive that runs longer: whole seconds from 1 to 86400 (default: 600).</source>
        <translation>Остановить архив, который работает дольше: целое число секунд от 1 до 86400 (по умолчанию 600).</translation>
    </message>
    <message>
        <source>The update archive (up*.exe, or a ZIP, RAR or 7-Zip file).</source>
        <translation>Архив обновления (up*.exe или файл ZIP, RAR или 7-Zip).</translation>
    </message>
</context>
<context>
    <name>phonebook-gen</name>
    <message>
        <source>Writes a synthetic telephone directory: sp09kw_n.dbf (individuals) and sp09pr_n.dbf
(organisations' numbers), every text value enciphered. The same options and seed
write the same files. cp1251 tables are marked with language byte 0xC9, cp866
tables with 0x26; --unmarked writes 0x00, as most real tables carry.</source>
        <translation>Записывает вымышленный телефонный справочник: sp09kw_n.dbf (физические лица)
и sp09pr_n.dbf (номера организаций), все текстовые значения зашифрованы. Одни и те же
параметры и начальное число дают одни и те же файлы. Таблицы cp1251 помечаются байтом
языка 0xC9, cp866 — 0x26; --unmarked записывает 0x00, как в большинстве настоящих таблиц.</translation>
    </message>
    <message>
        <source>Folder to write the tables into (created if missing).</source>
        <translation>Папка, в которую записать таблицы (создаётся, если её нет).</translation>
    </message>
    <message>
        <source>Individuals, not counting deleted records (default %1).</source>
        <translation>Число физических лиц без удалённых записей (по умолчанию %1).</translation>
    </message>
    <message>
        <source>Organisations' numbers, not counting deleted records (default %1).</source>
        <translation>Число номеров организаций без удалённых записей (по умолчанию %1).</translation>
    </message>
    <message>
        <source>Seed of the random choices (default 1).</source>
        <translation>Начальное число случайного выбора (по умолчанию 1).</translation>
    </message>
    <message>
        <source>cp1251 (default) or cp866.</source>
        <translation>cp1251 (по умолчанию) или cp866.</translation>
    </message>
    <message>
        <source>Write language byte 0x00 (no code-page mark).</source>
        <translation>Записать байт языка 0x00 (без отметки кодовой страницы).</translation>
    </message>
    <message>
        <source>Share of each file's records marked deleted, 0 to 0.9 (default 0).</source>
        <translation>Доля записей каждого файла, помеченных удалёнными, от 0 до 0.9 (по умолчанию 0).</translation>
    </message>
    <message>
        <source>Make up half the surnames from syllables (hundreds of thousands of distinct words).</source>
        <translation>Составлять половину фамилий из слогов (сотни тысяч разных слов).</translation>
    </message>
</context>
</TS>
