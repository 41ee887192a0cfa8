// phonebook-find run as its own process on a small generated directory:
// exit statuses, deciphered and stored output, escaping, the header line.

#include "DbfWriter.h"
#include "QuickRule.h"
#include "UHelpFull.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

#include <signal.h>

using namespace phonebook;
using namespace Qt::StringLiterals;

namespace {

struct FindRun {
    int exitCode = -1;
    QStringList lines; // stdout, UTF-8, split on line feeds
    QString error;     // stderr
};

FindRun Find(const QStringList &arguments, const QString &program = QStringLiteral(PHONEBOOK_FIND_EXE))
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"LC_ALL"_s, u"C"_s); // the output is UTF-8 whatever the locale
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(60000)) << arguments.join(u' ').toStdString();
    FindRun run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    QString out = QString::fromUtf8(process.readAllStandardOutput());
    if (out.endsWith(u'\n'))
        out.chop(1);
    run.lines = out.isEmpty() ? QStringList() : out.split(u'\n');
    run.error = QString::fromUtf8(process.readAllStandardError());
    return run;
}

class PhonebookFindTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        QProcess gen;
        gen.start(QStringLiteral(PHONEBOOK_GEN_EXE),
                  {u"--out"_s, s_dir->path(), u"--persons"_s, u"2000"_s, u"--org-numbers"_s, u"600"_s, u"--seed"_s, u"3"_s});
        ASSERT_TRUE(gen.waitForFinished(60000));
        ASSERT_EQ(gen.exitCode(), 0) << gen.readAllStandardError().toStdString();

        // A table whose stored values hold what the output must escape.
        DbfWriter odd(s_dir->filePath(u"odd.dbf"_s), {{u"TXT"_s, 'C', 20, 0}, {u"N2"_s, 'C', 5, 0}});
        odd.addRecord({u"a\tb"_s, u"1"_s});
        odd.addRecord({u"c\nd\re"_s, u"2"_s});
        odd.addRecord({u"back\\slash"_s, u"3"_s});
        odd.addRecord({EncodeText(u"ИВАНОВ И.И."_s, CipherKey), u"4"_s});
        odd.finish();
    }
    static void TearDownTestSuite() { delete s_dir; }

    static QStringList In(QStringList arguments) { return QStringList{u"--dir"_s, s_dir->path()} + arguments; }

    static QTemporaryDir *s_dir;
};

QTemporaryDir *PhonebookFindTest::s_dir = nullptr;

TEST_F(PhonebookFindTest, CountsLiveRecords)
{
    const FindRun persons = Find(In({u"count"_s, u"SP09KW_N"_s}));
    EXPECT_EQ(persons.exitCode, 0) << persons.error.toStdString();
    EXPECT_EQ(persons.lines, QStringList{u"2000"_s});
    EXPECT_EQ(Find(In({u"count"_s, u"sp09pr_n.dbf"_s})).lines, QStringList{u"600"_s});
    // A number the statement computes was never enciphered and prints as it
    // is; a stored value an expression picks (max) is deciphered.
    const FindRun computed = Find(In({u"sql"_s, u"SELECT count(*), max(nt) FROM sp09kw_n"_s}));
    ASSERT_EQ(computed.lines.size(), 1);
    const QStringList cells = computed.lines[0].split(u'\t');
    ASSERT_EQ(cells.size(), 2);
    EXPECT_EQ(cells[0], u"2000"_s);
    EXPECT_TRUE(QRegularExpression(u"^[0-9]+$"_s).match(cells[1]).hasMatch()) << cells[1].toStdString();

    const FindRun missing = Find(In({u"count"_s, u"nosuch"_s}));
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.lines.isEmpty());
    EXPECT_FALSE(missing.error.isEmpty());
}

TEST_F(PhonebookFindTest, PrintsDecipheredRowsAndExitsByWhetherThereAreAny)
{
    const QString surname = u"ИВАНОВ"_s;
    const QString pattern = EncodeText(surname, CipherKey) + u'%';
    const QString statement = u"SELECT nt, fio FROM sp09kw_n WHERE fio LIKE '%1' ORDER BY fio"_s.arg(pattern);

    const FindRun plain = Find(In({u"sql"_s, statement}));
    ASSERT_EQ(plain.exitCode, 0) << plain.error.toStdString();
    ASSERT_GT(plain.lines.size(), 10);
    const FindRun raw = Find(In({u"--raw"_s, u"sql"_s, statement}));
    ASSERT_EQ(raw.lines.size(), plain.lines.size());
    for (qsizetype i = 0; i < plain.lines.size(); ++i) {
        const QStringList cells = plain.lines[i].split(u'\t');
        ASSERT_EQ(cells.size(), 2) << plain.lines[i].toStdString();
        EXPECT_TRUE(cells[1].startsWith(surname)) << plain.lines[i].toStdString();
        const QStringList stored = raw.lines[i].split(u'\t');
        ASSERT_EQ(stored.size(), 2);
        EXPECT_TRUE(stored[1].startsWith(pattern.chopped(1)));
        EXPECT_EQ(DecodeText(stored[0], CipherKey), cells[0]);
        EXPECT_EQ(DecodeText(stored[1], CipherKey), cells[1]);
    }

    const FindRun header = Find(In({u"--header"_s, u"sql"_s, statement}));
    ASSERT_EQ(header.lines.size(), plain.lines.size() + 1);
    EXPECT_EQ(header.lines.front().toLower(), u"nt\tfio"_s);
    EXPECT_EQ(header.lines.mid(1), plain.lines);

    const FindRun none = Find(In({u"--header"_s, u"sql"_s, u"SELECT nt FROM sp09kw_n WHERE fio LIKE 'nobody%'"_s}));
    EXPECT_EQ(none.exitCode, 1) << none.error.toStdString();
    ASSERT_EQ(none.lines.size(), 1);
    EXPECT_EQ(none.lines.front().toLower(), u"nt"_s);
}

TEST_F(PhonebookFindTest, EscapesTabsLineBreaksAndBackslashes)
{
    const FindRun raw = Find(In({u"--raw"_s, u"sql"_s, u"SELECT txt, n2 FROM odd"_s}));
    ASSERT_EQ(raw.exitCode, 0) << raw.error.toStdString();
    EXPECT_EQ(raw.lines, (QStringList{u"a\\tb\t1"_s, u"c\\nd\\re\t2"_s, u"back\\\\slash\t3"_s,
                                      EncodeText(u"ИВАНОВ И.И."_s, CipherKey) + u"\t4"_s}));
    const FindRun plain = Find(In({u"sql"_s, u"SELECT txt FROM odd WHERE n2 LIKE '4'"_s}));
    EXPECT_EQ(plain.lines, QStringList{u"ИВАНОВ И.И."_s});
}

TEST_F(PhonebookFindTest, ReportsErrorsWithTheStatement)
{
    const QString bad = u"SELECT nosuchfield FROM sp09kw_n"_s;
    const FindRun run = Find(In({u"sql"_s, bad}));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.lines.isEmpty());
    EXPECT_TRUE(run.error.contains(bad)) << run.error.toStdString();

    EXPECT_EQ(Find(In({u"sql"_s, u"SELECT * FROM nosuchtable"_s})).exitCode, 2);
    EXPECT_EQ(Find(In({u"frobnicate"_s})).exitCode, 2);
    EXPECT_EQ(Find(In({})).exitCode, 2);
    EXPECT_EQ(Find(In({u"sql"_s})).exitCode, 2);
    EXPECT_EQ(Find({u"--dir"_s, s_dir->filePath(u"nowhere"_s), u"count"_s, u"sp09kw_n"_s}).exitCode, 2);

    // Output that cannot be written is an error, not rows found.
    if (QFile::exists(u"/dev/full"_s)) {
        QProcess full;
        full.setStandardOutputFile(u"/dev/full"_s);
        full.start(QStringLiteral(PHONEBOOK_FIND_EXE), In({u"sql"_s, u"SELECT * FROM sp09kw_n"_s}));
        ASSERT_TRUE(full.waitForFinished(60000));
        EXPECT_EQ(full.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(full.exitCode(), 2);
        EXPECT_TRUE(QString::fromUtf8(full.readAllStandardError()).contains(u"output"_s));
    }
}

TEST_F(PhonebookFindTest, EnciphersAndDeciphers)
{
    const FindRun encoded = Find({u"encode"_s, u"ООО \"РОМАШКА\" № 5"_s});
    ASSERT_EQ(encoded.exitCode, 0);
    ASSERT_EQ(encoded.lines.size(), 1);
    EXPECT_EQ(encoded.lines[0], EncodeText(u"ООО \"РОМАШКА\" № 5"_s, CipherKey));
    const FindRun decoded = Find({u"decode"_s, encoded.lines[0]});
    EXPECT_EQ(decoded.lines, QStringList{u"ООО \"РОМАШКА\" № 5"_s});
    // Text that starts like an option is still the text to encipher.
    EXPECT_EQ(Find({u"encode"_s, u"-12"_s}).lines, QStringList{EncodeText(u"-12"_s, CipherKey)});
}

TEST_F(PhonebookFindTest, FindsTablesBesideItselfByDefault)
{
    const QString copy = s_dir->filePath(u"phonebook-find"_s);
    ASSERT_TRUE(QFile::copy(QStringLiteral(PHONEBOOK_FIND_EXE), copy));
    QFile::setPermissions(copy, QFile::permissions(QStringLiteral(PHONEBOOK_FIND_EXE)));
    const FindRun run = Find({u"count"_s, u"sp09pr_n"_s}, copy);
    EXPECT_EQ(run.exitCode, 0) << run.error.toStdString();
    EXPECT_EQ(run.lines, QStringList{u"600"_s});
    QFile::remove(copy);
}

} // namespace

TEST_F(PhonebookFindTest, SearchVerbsPrintTheSearchesLastStatement)
{
    // The organisation of some number, and all of its numbers.
    const FindRun numbers = Find(In({u"sql"_s, u"SELECT nt, naim FROM sp09pr_n"_s}));
    ASSERT_GT(numbers.lines.size(), 10);
    const QStringList first = numbers.lines.at(7).split(u'\t');
    const QString number = first.at(0).trimmed();
    const FindRun owner = Find(In({u"phone"_s, u"--org"_s, number.left(3) + u'-' + number.mid(3)}));
    ASSERT_EQ(owner.exitCode, 0) << owner.error.toStdString();
    int marked = 0;
    for (const QString &line : owner.lines) {
        const QStringList fields = line.split(u'\t');
        ASSERT_EQ(fields.size(), 6) << line.toStdString(); // marker, nt, mesto, street, hous, naim
        EXPECT_EQ(fields.at(5), first.at(1));
        if (fields.at(0) == u">"_s) {
            ++marked;
            EXPECT_EQ(fields.at(1).trimmed(), number);
        } else {
            EXPECT_TRUE(fields.at(0).isEmpty());
        }
    }
    EXPECT_EQ(marked, 1);
    const FindRun listed = Find(In({u"org-numbers"_s, first.at(1)}));
    EXPECT_EQ(listed.exitCode, 0) << listed.error.toStdString();
    EXPECT_EQ(listed.lines.size(), owner.lines.size());

    // Individuals by number prefix and by surname, in the statement's field order.
    const FindRun byPrefix = Find(In({u"phone"_s, number}));
    EXPECT_EQ(byPrefix.exitCode, 1); // numbers are unique across both tables
    EXPECT_EQ(byPrefix.error.trimmed(), u"phonebook-find: Указанный телефон не найден!!!"_s);
    const QStringList someone = Find(In({u"sql"_s, u"SELECT nt, fio FROM sp09kw_n"_s})).lines.at(3).split(u'\t');
    const FindRun byNumber = Find(In({u"--header"_s, u"phone"_s, someone.at(0).left(4)}));
    ASSERT_EQ(byNumber.exitCode, 0);
    EXPECT_EQ(byNumber.lines.at(0).toLower(), u"nt\tfio\tstreet\thous\tflat"_s);
    EXPECT_TRUE(std::any_of(byNumber.lines.begin(), byNumber.lines.end(),
                            [&](const QString &l) { return l.startsWith(someone.at(0) + u'\t' + someone.at(1)); }));
    const FindRun bySurname = Find(In({u"surname"_s, someone.at(1).toLower()}));
    ASSERT_EQ(bySurname.exitCode, 0);
    for (const QString &line : bySurname.lines)
        EXPECT_TRUE(line.section(u'\t', 1, 1).startsWith(someone.at(1))) << line.toStdString();
    const FindRun nobody = Find(In({u"surname"_s, u"ЩЩЩЩ"_s}));
    EXPECT_EQ(nobody.exitCode, 1);
    EXPECT_TRUE(nobody.lines.isEmpty());
    EXPECT_EQ(nobody.error.trimmed(), u"phonebook-find: Указанный человек не найден!!!"_s);
    EXPECT_EQ(Find(In({u"phone"_s, u"--"_s})).exitCode, 2); // nothing left to search for
}

TEST_F(PhonebookFindTest, QuickSaysOnStderrWhichTextOrWordsTheRowsAreFor)
{
    // Someone's surname: as typed, on the Latin layout, and with two letters swapped.
    const QString fio = Find(In({u"sql"_s, u"SELECT fio FROM sp09kw_n"_s})).lines.at(5).trimmed();
    const QString surname = fio.section(u' ', 0, 0).toLower();
    ASSERT_GE(surname.size(), 5) << fio.toStdString();
    const FindRun typed = Find(In({u"quick"_s, surname}));
    ASSERT_EQ(typed.exitCode, 0) << typed.error.toStdString();
    EXPECT_TRUE(typed.error.isEmpty());
    // In the window's order: the rows of that surname before those where it begins another word.
    EXPECT_TRUE(std::is_partitioned(typed.lines.begin(), typed.lines.end(), [&](const QString &line) {
        return line.section(u'\t', 1, 1).toLower().startsWith(surname);
    }));

    static const QString latin = u"`qwertyuiop[]asdfghjkl;'zxcvbnm,."_s;
    const QString russian = search::ToRussianLayout(latin);
    QString onLatin = surname;
    for (QChar &c : onLatin) {
        if (const qsizetype at = russian.indexOf(c); at >= 0)
            c = latin.at(at);
    }
    const FindRun layout = Find(In({u"quick"_s, onLatin}));
    EXPECT_EQ(layout.exitCode, 0);
    EXPECT_EQ(layout.lines, typed.lines);
    EXPECT_EQ(layout.error.trimmed(), u"Показаны результаты для «%1»"_s.arg(surname));

    QString slip = surname;
    std::swap(slip[2], slip[3]);
    ASSERT_NE(slip, surname);
    const FindRun similar = Find(In({u"quick"_s, slip}));
    EXPECT_EQ(similar.exitCode, 0);
    EXPECT_EQ(similar.error.trimmed(), u"Показаны похожие слова"_s);
    for (const QString &line : typed.lines)
        EXPECT_TRUE(similar.lines.contains(line)) << line.toStdString();
}

TEST_F(PhonebookFindTest, DialogVerbsPrintTheirStatementsFields)
{
    const FindRun streets = Find(In({u"streets"_s}));
    ASSERT_EQ(streets.exitCode, 0);
    ASSERT_FALSE(streets.lines.isEmpty());
    EXPECT_EQ(streets.lines.size(), QSet<QString>(streets.lines.begin(), streets.lines.end()).size());
    EXPECT_EQ(Find(In({u"streets"_s, u"--org"_s})).exitCode, 0);

    // Every individual of one street, in fio order; the same street by organisations' prefix.
    const QString street = streets.lines.constFirst();
    const FindRun people = Find(In({u"--header"_s, u"address"_s, u"--street"_s, street}));
    ASSERT_EQ(people.exitCode, 0) << people.error.toStdString();
    EXPECT_EQ(people.lines.at(0).toLower(), u"nt\tfio\tstreet\thous\tflat"_s);
    for (const QString &line : people.lines.mid(1))
        EXPECT_EQ(line.section(u'\t', 2, 2), street);
    const QString house = people.lines.at(1).section(u'\t', 3, 3).trimmed();
    const FindRun inHouse = Find(In({u"address"_s, u"--street"_s, street, u"--house"_s, house}));
    ASSERT_EQ(inHouse.exitCode, 0);
    for (const QString &line : inHouse.lines)
        EXPECT_EQ(line.section(u'\t', 3, 3).trimmed(), house);
    const FindRun nowhere = Find(In({u"address"_s, u"--street"_s, street.left(4)}));
    EXPECT_EQ(nowhere.exitCode, 1);
    EXPECT_EQ(nowhere.error.trimmed(), u"phonebook-find: Такого адреса не найдено!!!"_s);
    EXPECT_EQ(Find(In({u"address"_s, u"--org"_s, u"--street"_s, street, u"--flat"_s, u"1"_s})).exitCode, 2);

    // The full list, and an empty name in mode 1 giving the same organisations.
    const FindRun orgs = Find(In({u"orgs"_s}));
    ASSERT_EQ(orgs.exitCode, 0);
    const FindRun all = Find(In({u"org"_s}));
    EXPECT_EQ(all.lines.size(), orgs.lines.size());
    // A plain second word of some name finds that organisation by word.
    static const QRegularExpression plainWord(u"^[А-Я]+$"_s);
    const auto named = std::find_if(orgs.lines.begin(), orgs.lines.end(), [](const QString &line) {
        return plainWord.match(line.section(u'\t', 0, 0).section(u' ', 1, 1)).hasMatch();
    });
    ASSERT_NE(named, orgs.lines.end());
    const QString word = named->section(u'\t', 0, 0).section(u' ', 1, 1);
    const FindRun byWord = Find(In({u"org"_s, u"--mode"_s, u"2"_s, word.toLower()}));
    ASSERT_EQ(byWord.exitCode, 0) << word.toStdString();
    EXPECT_TRUE(byWord.lines.contains(*named));
    EXPECT_EQ(Find(In({u"org"_s, u"--mode"_s, u"4"_s, u"X"_s})).exitCode, 2);
}

// sql prints rows as the engine finds them: an endless statement feeds a
// reader that stops after three lines, and ends when that reader is gone;
// Ctrl+C stops a running statement; a statement's memory is bounded.
TEST_F(PhonebookFindTest, SqlStreamsRowsAndStopsWhenAsked)
{
    const QString endless = u"WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT x FROM c"_s;
    QProcess pipeline;
    // timeout ends a program that would run on (status 124).
    pipeline.start(u"bash"_s, {u"-c"_s, u"timeout 60 \"$0\" --dir \"$1\" sql \"$2\" | head -3; echo \"find ${PIPESTATUS[0]}\" >&2"_s,
                               QStringLiteral(PHONEBOOK_FIND_EXE), s_dir->path(), endless});
    ASSERT_TRUE(pipeline.waitForFinished(90000));
    EXPECT_EQ(QString::fromUtf8(pipeline.readAllStandardOutput()), u"1\n2\n3\n"_s);
    const QString status = QString::fromUtf8(pipeline.readAllStandardError()).trimmed().split(u'\n').last();
    EXPECT_TRUE(status == u"find 141"_s || status == u"find 2"_s) << status.toStdString(); // SIGPIPE, or a failed write

    // One row found at once, then a search that finds nothing more and never ends.
    QProcess running;
    running.start(QStringLiteral(PHONEBOOK_FIND_EXE),
                  In({u"sql"_s, u"WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT x FROM c WHERE x = 1 OR x < 0"_s}));
    ASSERT_TRUE(running.waitForReadyRead(30000));
    EXPECT_EQ(running.readAllStandardOutput(), QByteArray("1\n"));
    ::kill(static_cast<pid_t>(running.processId()), SIGINT);
    if (!running.waitForFinished(30000)) {
        running.kill();
        FAIL() << "Ctrl+C did not stop the statement";
    }
    EXPECT_EQ(running.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(running.exitCode(), 130);

    const QString large = u"SELECT length(randomblob(64000000))"_s;
    const FindRun bounded = Find(In({u"--memory"_s, u"16M"_s, u"sql"_s, large}));
    EXPECT_EQ(bounded.exitCode, 2);
    EXPECT_TRUE(bounded.error.contains(u"needs more memory than the 16 MiB allowed"_s)) << bounded.error.toStdString();
    EXPECT_EQ(Find(In({u"sql"_s, large})).lines, QStringList{u"64000000"_s});
    EXPECT_EQ(Find(In({u"--memory"_s, u"lots"_s, u"sql"_s, large})).exitCode, 2);
}

// A memo past the end of its memo file prints as NULL (an empty field), and a
// warning names the table and the row.
TEST_F(PhonebookFindTest, SqlWarnsOfMemosPastTheEnd)
{
    QTemporaryDir dir;
    const QString table = dir.filePath(u"notes.dbf"_s);
    {
        DbfWriter notes(table, {{u"NAME"_s, 'C', 4, 0}, {u"NOTE"_s, 'C', 10, 0}});
        notes.addRecord({u"a"_s, u"1"_s});
        notes.addRecord({u"b"_s, u"99"_s});
        notes.finish();
    }
    QFile file(table);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    bytes[0] = char(0x83);     // dBASE III with memo
    bytes[32 + 32 + 11] = 'M'; // the second field is a memo
    file.seek(0);
    file.write(bytes);
    file.close();
    QFile memo(dir.filePath(u"notes.dbt"_s));
    ASSERT_TRUE(memo.open(QIODevice::WriteOnly));
    memo.write(QByteArray(512, '\0') + "first\x1A");
    memo.close();

    const FindRun run = Find({u"--dir"_s, dir.path(), u"--raw"_s, u"sql"_s, u"SELECT name, note FROM notes"_s});
    EXPECT_EQ(run.exitCode, 0) << run.error.toStdString();
    EXPECT_EQ(run.lines, (QStringList{u"a\tfirst"_s, u"b\t"_s}));
    EXPECT_TRUE(run.error.contains(u"row 2 of notes.dbf"_s)) << run.error.toStdString();
}
