// The update's file handling on small directories, with archives made by the
// tests: scripts that deliver, half-deliver, damage or fail, archives that run
// too long, self-extracting ZIP files, archives and folders meant to do harm,
// and a directory left by an update that was cut short at every step.

#include "ArchiveReader.h"
#include "EditionWatcher.h"
#include "TableFixtures.h"
#include "UpdateFixtures.h"
#include "UpdateLock.h"
#include "UpdateRun.h"
#include "UpdateSwap.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

using namespace phonebook;
using namespace phonebook::fixtures;
using namespace phonebook::update;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

constexpr int OldPersons = 5, OldOrgs = 3, NewPersons = 12, NewOrgs = 8;

class UpdateCoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        QDir(m_root.path()).mkpath(QStringLiteral("program"));
        QDir(m_root.path()).mkpath(QStringLiteral("edition"));
        QDir(m_root.path()).mkpath(QStringLiteral("downloads"));
        WriteEdition(Program(), OldPersons, OldOrgs);
        WriteEdition(Edition(), NewPersons, NewOrgs);
    }

    QString Path(const QString &relative) const { return QDir(m_root.path()).filePath(relative); }
    QString Program() const { return Path(QStringLiteral("program")); }
    QString Edition() const { return Path(QStringLiteral("edition")); }
    QString InProgram(const QString &name) const { return QDir(Program()).filePath(name); }

    // Runs one update to its end; `whileRunning` is called once the archive runs.
    UpdateOutcome Run(const QString &archive, std::chrono::milliseconds limit = DefaultTimeLimit,
                      const std::function<void(UpdateRun &)> &whileRunning = {})
    {
        UpdateRun run(Program());
        run.SetTimeLimit(limit);
        QEventLoop loop;
        QObject::connect(&run, &UpdateRun::Finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
        QObject::connect(&run, &UpdateRun::Progress, &loop, [&](int percent) {
            if (percent < 0 && whileRunning)
                QTimer::singleShot(200, &loop, [&] { whileRunning(run); });
        });
        QTimer::singleShot(0, &loop, [&] { run.Start(archive); });
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        loop.exec();
        EXPECT_FALSE(run.Running());
        return run.Outcome();
    }

    void ExpectTables(int persons, int orgs) const
    {
        EXPECT_EQ(CountRows(InProgram(QStringLiteral("sp09kw_n.dbf"))), persons);
        EXPECT_EQ(CountRows(InProgram(QStringLiteral("sp09pr_n.dbf"))), orgs);
        ExpectNoLeftovers();
    }
    // Nothing of an update is left: no ".old" copy, journal or staging folder.
    void ExpectNoLeftovers() const
    {
        const QStringList left = QDir(Program()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        for (const QString &name : left) {
            EXPECT_FALSE(name.endsWith(u".old"_s, Qt::CaseInsensitive) || name == JournalFileName
                         || name.startsWith(StagingPrefix))
                << name.toStdString();
        }
    }
    // Both tables byte for byte as `persons` and `orgs` hold them.
    void ExpectBytes(const QByteArray &persons, const QByteArray &orgs) const
    {
        EXPECT_TRUE(ReadBytes(InProgram(u"sp09kw_n.dbf"_s)) == persons) << "individuals are neither edition";
        EXPECT_TRUE(ReadBytes(InProgram(u"sp09pr_n.dbf"_s)) == orgs) << "organisations are neither edition";
    }
    QByteArray EditionBytes(const QString &name) const { return ReadBytes(QDir(Edition()).filePath(name)); }

    QTemporaryDir m_root;
};

TEST_F(UpdateCoreTest, EachScriptArchiveReplacesOnlyWhatItDeliveredSoundly)
{
    struct Case {
        Script script;
        UpdateOutcome::Status status;
        int persons, orgs;
        QStringList messages;
    };
    const QString personsKept = NotUpdatedMessage(Table::Persons).Text();
    const QString orgsKept = NotUpdatedMessage(Table::Orgs).Text();
    const Case cases[] = {
        {Script::BothTables, UpdateOutcome::Status::Replaced, NewPersons, NewOrgs, {}},
        {Script::OrgsOnly, UpdateOutcome::Status::Kept, OldPersons, NewOrgs, {personsKept}},
        {Script::DamagedTable, UpdateOutcome::Status::Kept, OldPersons, NewOrgs, {personsKept}},
        {Script::Nothing, UpdateOutcome::Status::Kept, OldPersons, OldOrgs, {personsKept, orgsKept}},
        // A failed archive's tables are not taken, however sound they look.
        {Script::Fails, UpdateOutcome::Status::Error, OldPersons, OldOrgs,
         {QStringLiteral("Архив завершился с ошибкой (код 3)."), personsKept, orgsKept}},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(n);
        WriteEdition(Program(), OldPersons, OldOrgs);
        const QString archive = WriteScriptArchive(Path(QStringLiteral("downloads/up%1.exe").arg(n++)), c.script, Edition());
        const UpdateOutcome outcome = Run(archive);
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(outcome.Messages(), c.messages);
        ExpectTables(c.persons, c.orgs);
    }
    // The damaged table's fault is told, not only that it was kept.
    WriteEdition(Program(), OldPersons, OldOrgs);
    const UpdateOutcome damaged = Run(WriteScriptArchive(Path(u"downloads/up9.exe"_s), Script::DamagedTable, Edition()));
    ASSERT_EQ(damaged.details.size(), 1);
    EXPECT_TRUE(damaged.details[0].startsWith(u"sp09kw_n.dbf: "_s)) << damaged.details[0].toStdString();
}

TEST_F(UpdateCoreTest, ArchiveAlreadyInTheProgramDirectoryIsNeitherCopiedNorDestroyed)
{
    const QString archive = WriteScriptArchive(InProgram(QStringLiteral("up0312.exe")), Script::BothTables, Edition());
    const QByteArray bytes = ReadBytes(archive);
    QFile::link(archive, Path(QStringLiteral("downloads/up0312.exe")));
    const QStringList spellings = {
        QDir::current().relativeFilePath(archive),
        Path(QStringLiteral("program/../program/up0312.exe")),
        Path(QStringLiteral("downloads/up0312.exe")), // a link to it
    };
    for (const QString &spelling : spellings) {
        SCOPED_TRACE(spelling.toStdString());
        WriteEdition(Program(), OldPersons, OldOrgs);
        EXPECT_EQ(Run(spelling).status, UpdateOutcome::Status::Replaced);
        EXPECT_EQ(ReadBytes(archive), bytes);
        ExpectTables(NewPersons, NewOrgs);
        EXPECT_EQ(QDir(Program()).entryList(QDir::Files).size(), 4); // the tables, the archive and the lock
    }

    // From elsewhere it is copied under its own name, letter case kept.
    WriteEdition(Program(), OldPersons, OldOrgs);
    const QString elsewhere = WriteScriptArchive(Path(QStringLiteral("downloads/Up0401.EXE")), Script::BothTables, Edition());
    EXPECT_EQ(Run(elsewhere).status, UpdateOutcome::Status::Replaced);
    EXPECT_EQ(ReadBytes(InProgram(QStringLiteral("Up0401.EXE"))), ReadBytes(elsewhere));

    // A path that names no file changes nothing.
    const UpdateOutcome missing = Run(Path(QStringLiteral("downloads/up9999.exe")));
    EXPECT_EQ(missing.status, UpdateOutcome::Status::Error);
    EXPECT_TRUE(missing.error.contains(u"не найден"_s));
    ExpectTables(NewPersons, NewOrgs);
}

TEST_F(UpdateCoreTest, ArchiveThatRunsLongIsStoppedByCancelOrTheBoundAndTheTablesComeBack)
{
    const QString archive = WriteScriptArchive(Path(QStringLiteral("downloads/up1.exe")), Script::RunsLong, Edition());
    QElapsedTimer clock;
    clock.start();
    const UpdateOutcome cancelled = Run(archive, DefaultTimeLimit, [](UpdateRun &run) { run.Cancel(); });
    EXPECT_EQ(cancelled.status, UpdateOutcome::Status::Error);
    EXPECT_EQ(cancelled.error, u"Обновление прервано пользователем."_s);
    ExpectTables(OldPersons, OldOrgs);

    const UpdateOutcome timedOut = Run(archive, 500ms);
    EXPECT_EQ(timedOut.status, UpdateOutcome::Status::Error);
    EXPECT_TRUE(timedOut.error.startsWith(u"Архив не закончил работу"_s)) << timedOut.error.toStdString();
    ExpectTables(OldPersons, OldOrgs);
    EXPECT_LT(clock.elapsed(), 10000); // the sleeping child went with the script
}

TEST_F(UpdateCoreTest, SelfExtractingZipIsReadWithoutRunningIt)
{
    const QString persons = QDir(Edition()).filePath(QStringLiteral("sp09kw_n.dbf"));
    const QString orgs = QDir(Edition()).filePath(QStringLiteral("sp09pr_n.dbf"));
    // Tables in a folder of the archive, named in upper case, beside other files.
    const QString good = WriteSelfExtractingZip(Path(QStringLiteral("downloads/up2.exe")),
        {{QStringLiteral("readme.txt"), persons}, {QStringLiteral("BASE/SP09KW_N.DBF"), persons},
         {QStringLiteral("BASE/SP09PR_N.DBF"), orgs}});
    EXPECT_EQ(Run(good).status, UpdateOutcome::Status::Replaced);
    ExpectTables(NewPersons, NewOrgs);

    WriteEdition(Program(), OldPersons, OldOrgs);
    const QString empty = WriteSelfExtractingZip(Path(QStringLiteral("downloads/up3.exe")), {{QStringLiteral("readme.txt"), persons}});
    const UpdateOutcome none = Run(empty);
    EXPECT_EQ(none.status, UpdateOutcome::Status::Error);
    EXPECT_TRUE(none.error.contains(u"нет таблиц справочника"_s));
    ExpectTables(OldPersons, OldOrgs);

    const QString junk = Path(QStringLiteral("downloads/up4.exe"));
    WriteBytes(junk, QByteArray("MZ\x90\x00", 4) + QByteArray(5000, 'x'));
    const UpdateOutcome unreadable = Run(junk);
    EXPECT_EQ(unreadable.status, UpdateOutcome::Status::Error);
    EXPECT_TRUE(unreadable.error.startsWith(u"Не удалось прочесть архив"_s)) << unreadable.error.toStdString();
    ExpectTables(OldPersons, OldOrgs);
}

// Each table on its own: the update swapping only the individuals, only the
// organisations, or both, stopped after every durable step, then the
// directory opened again. Each table is then byte for byte the old or the new
// edition (the new one only if it was being swapped), nothing is left behind,
// and a ".old" file that the update did not make is never touched.
TEST_F(UpdateCoreTest, RecoveryFinishesEachTableAfterAStopAtAnyStep)
{
    const QByteArray oldPersons = ReadBytes(InProgram(u"sp09kw_n.dbf"_s));
    const QByteArray oldOrgs = ReadBytes(InProgram(u"sp09pr_n.dbf"_s));
    const QByteArray newPersons = EditionBytes(u"sp09kw_n.dbf"_s), newOrgs = EditionBytes(u"sp09pr_n.dbf"_s);
    const std::vector<std::vector<Table>> swaps = {{Table::Persons}, {Table::Orgs}, {Table::Persons, Table::Orgs}};
    for (const auto &tables : swaps) {
        for (int stopAfter = 1; stopAfter <= 8; ++stopAfter) {
            SCOPED_TRACE(testing::Message() << tables.size() << " table(s) from " << int(tables[0]) << ", stopped after "
                                            << stopAfter);
            WriteBytes(InProgram(u"sp09kw_n.dbf"_s), oldPersons);
            WriteBytes(InProgram(u"sp09pr_n.dbf"_s), oldOrgs);
            CoreError error;
            const QString staging = CreateStaging(Program(), &error);
            ASSERT_FALSE(staging.isEmpty()) << error.Text().toStdString();
            for (Table table : tables) {
                QFile::copy(QDir(Edition()).filePath(TableFileName(table)), QDir(staging).filePath(TableFileName(table)));
                ASSERT_FALSE(TakeStaged(staging, table).path.isEmpty());
            }
            SwapIn(Program(), staging, tables, stopAfter);
            const RestoreReport report = RecoverInterruptedUpdate(Program());
            EXPECT_FALSE(report.failed) << report.messages.join(u'\n').toStdString();
            const bool persons = std::find(tables.begin(), tables.end(), Table::Persons) != tables.end();
            const bool orgs = std::find(tables.begin(), tables.end(), Table::Orgs) != tables.end();
            ExpectBytes(persons ? newPersons : oldPersons, orgs ? newOrgs : oldOrgs);
            ExpectNoLeftovers();
        }
    }

    // An update killed while it made its staging folder: the empty folder, or
    // one with the start of its marker, goes; a folder with anything else stays.
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    for (const QString &name : {u".phonebook-update-a"_s, u".phonebook-update-b"_s, u".phonebook-update-c"_s}) {
        QDir(Program()).mkpath(name);
        QFile::setPermissions(InProgram(name), ownerOnly);
    }
    WriteBytes(InProgram(u".phonebook-update-b/"_s + StagingMarkerName.toString()), "phonebook-upd");
    WriteBytes(InProgram(u".phonebook-update-c/"_s + StagingMarkerName.toString()), "notes");
    EXPECT_FALSE(RecoverInterruptedUpdate(Program()).failed);
    EXPECT_FALSE(QFile::exists(InProgram(u".phonebook-update-a"_s)));
    EXPECT_FALSE(QFile::exists(InProgram(u".phonebook-update-b"_s)));
    EXPECT_EQ(ReadBytes(InProgram(u".phonebook-update-c/"_s + StagingMarkerName.toString())), "notes");
    QDir(InProgram(u".phonebook-update-c"_s)).removeRecursively();

    // An administrator's ".old" copy beside sound tables survives every opening.
    WriteBytes(InProgram(u"sp09kw_n.old"_s), "backup");
    WriteBytes(InProgram(u"SP09PR_N.OLD"_s), "backup");
    EXPECT_TRUE(RecoverInterruptedUpdate(Program()).messages.isEmpty());
    EXPECT_EQ(ReadBytes(InProgram(u"sp09kw_n.old"_s)), "backup");
    EXPECT_EQ(ReadBytes(InProgram(u"SP09PR_N.OLD"_s)), "backup");

    // A journal that cannot be read leaves everything as it is, and says so.
    WriteBytes(InProgram(JournalFileName.toString()), "phonebook-update journal 1\nswap sp09kw_n");
    const RestoreReport damaged = RecoverInterruptedUpdate(Program());
    EXPECT_TRUE(damaged.failed);
    EXPECT_TRUE(QFile::exists(InProgram(u"sp09kw_n.old"_s)));
    EXPECT_TRUE(UpdateWasInterrupted(Program()));
}

// The faults an update once had, each set up as it was found: what the update
// now says, and that both tables are byte for byte one edition (the old one,
// or the new one where the update may go on), nothing outside the folder
// changed and no process of the archive is left. Cases marked so run twice:
// in the sandbox, and without it (the updater then ends what the archive left).
TEST_F(UpdateCoreTest, UpdatesMeantToDoHarmChangeNothing)
{
    const QByteArray oldPersons = ReadBytes(InProgram(u"sp09kw_n.dbf"_s));
    const QByteArray oldOrgs = ReadBytes(InProgram(u"sp09pr_n.dbf"_s));
    const QString newPersonsFile = QDir(Edition()).filePath(u"sp09kw_n.dbf"_s);
    const QString newOrgsFile = QDir(Edition()).filePath(u"sp09pr_n.dbf"_s);
    const QString outside = Path(u"outside.txt"_s);
    WriteBytes(outside, "not the directory's");
    // The archives' helpers sleep this long: a process holding it is the archive's.
    const QString token = u"%1.%2"_s.arg(400 + ::getpid() % 500).arg(::time(nullptr) % 10000);

    struct Case {
        const char *what;
        std::function<QString()> archive; // sets the case up, returns the archive path
        QString said;                     // what the update says, in part
        bool replaced = false;
        bool unconfinedToo = false;       // run once more without the sandbox
        qint64 minFree = MinFreeSpace;
    };
    const auto zipOf = [&](const QString &name, const QString &entryName) {
        return WriteSelfExtractingZip(Path(u"downloads/"_s + name),
                                      {{entryName, newPersonsFile}, {u"sp09pr_n.dbf"_s, newOrgsFile}});
    };
    const auto script = [&](const QString &name, const QString &body) {
        const QString path = Path(u"downloads/"_s + name);
        WriteBytes(path, (u"#!/bin/sh\n"_s + body).toUtf8());
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
        return path;
    };
    const QString copyBoth = u"cp '%1' '%2' .\n"_s.arg(newPersonsFile, newOrgsFile);
    const auto otherEdition = [&](const QString &folder, int persons, int orgs) {
        QDir(Path(folder)).mkpath(u"."_s);
        WriteEdition(Path(folder), persons, orgs);
        return Path(folder);
    };
    const std::vector<Case> cases = {
        {"an archive named like a table", [&] { return zipOf(u"sp09kw_n.dbf"_s, u"sp09kw_n.dbf"_s); },
         u"так называется файл самой программы"_s},
        {"an archive named like a set-aside copy", [&] { return zipOf(u"Sp09pr_n.Old"_s, u"sp09kw_n.dbf"_s); },
         u"так называется файл самой программы"_s},
        {"an administrator's sp09kw_n.old and .phonebook-update-mine in the folder",
         [&] {
             WriteBytes(InProgram(u"sp09kw_n.old"_s), "backup");
             QDir(Program()).mkpath(u".phonebook-update-mine"_s);
             WriteBytes(InProgram(u".phonebook-update-mine/notes"_s), "mine");
             return zipOf(u"up1.exe"_s, u"sp09kw_n.dbf"_s);
         },
         {}, true},
        {"a link in the folder named like the archive",
         [&] {
             QFile::link(outside, InProgram(u"up2.exe"_s));
             return zipOf(u"up2.exe"_s, u"sp09kw_n.dbf"_s);
         },
         {}, true},
        {"a table delivered as a link", [&] { return script(u"up3.exe"_s, u"ln -s '%1' sp09kw_n.dbf\ncp '%2' .\n"_s.arg(newPersonsFile, newOrgsFile)); },
         u"символическая ссылка"_s},
        {"a table entry that is a hard link in a tar", [&] {
             const QString path = Path(u"downloads/up4.tar"_s);
             QByteArray tar(1 << 20, '\0');
             size_t used = 0;
             archive *writer = archive_write_new();
             archive_write_set_format_pax_restricted(writer);
             archive_write_open_memory(writer, tar.data(), static_cast<size_t>(tar.size()), &used);
             const QByteArray orgs = ReadBytes(newOrgsFile);
             archive_entry *entry = archive_entry_new();
             archive_entry_set_pathname(entry, "sp09pr_n.dbf");
             archive_entry_set_filetype(entry, AE_IFREG);
             archive_entry_set_perm(entry, 0644);
             archive_entry_set_size(entry, orgs.size());
             archive_write_header(writer, entry);
             archive_write_data(writer, orgs.constData(), static_cast<size_t>(orgs.size()));
             archive_entry_clear(entry);
             archive_entry_set_pathname(entry, "sp09kw_n.dbf");
             archive_entry_set_hardlink(entry, "sp09pr_n.dbf");
             archive_entry_set_filetype(entry, AE_IFREG);
             archive_entry_set_perm(entry, 0644);
             archive_entry_set_size(entry, 0);
             archive_write_header(writer, entry);
             archive_entry_free(entry);
             archive_write_free(writer);
             WriteBytes(path, tar.left(static_cast<qsizetype>(used)));
             return path;
         },
         u"sp09kw_n.dbf в архиве — ссылка, а не файл"_s},
        {"the organisations' table under the individuals' name", [&] {
             return script(u"up5.exe"_s, u"cp '%1' sp09kw_n.dbf\ncp '%1' sp09pr_n.dbf\n"_s.arg(newOrgsFile)); },
         u"пришла таблица организаций"_s},
        {"the individuals' table under the organisations' name", [&] {
             return script(u"up6.exe"_s, u"cp '%1' sp09pr_n.dbf\n"_s.arg(newPersonsFile)); },
         u"пришла таблица физических лиц"_s},
        {"an edition with no records", [&] {
             const QString empty = otherEdition(u"empty"_s, 0, 0);
             return script(u"up7.exe"_s, u"cp '%1/sp09kw_n.dbf' '%1/sp09pr_n.dbf' .\n"_s.arg(empty)); },
         u"В таблице sp09kw_n.dbf нет ни одной записи"_s},
        {"a table without a field the program reads", [&] {
             WriteTable(Path(u"downloads/sp09kw_n.dbf"_s), CharFields({{"nt", 10}, {"name", 20}}), {Row{{u"1"_s, u"x"_s}}});
             return script(u"up8.exe"_s, u"cp '%1' .\n"_s.arg(Path(u"downloads/sp09kw_n.dbf"_s))); },
         u"В таблице sp09kw_n.dbf нет поля fio"_s},
        {"two spellings of a table in the folder", [&] {
             WriteBytes(InProgram(u"SP09KW_N.DBF"_s), ReadBytes(newPersonsFile));
             return zipOf(u"up9.exe"_s, u"sp09kw_n.dbf"_s);
         },
         u"SP09KW_N.DBF"_s},
        {"two spellings of a table delivered", [&] {
             return script(u"up10.exe"_s, copyBoth + u"cp '%1' SP09KW_N.DBF\n"_s.arg(newPersonsFile)); },
         u"SP09KW_N.DBF"_s},
        {"helpers left running: setsid, job control and a daemon, each writing a table later", [&] {
             return script(u"up11.exe"_s, copyBoth
                 + u"setsid sh -c 'exec 3>>sp09kw_n.dbf; touch h1; sleep %1; echo tampered >&3' &\n"
                   "set -m\nsh -c 'touch h2; sleep %1; echo tampered >> sp09pr_n.dbf' &\nset +m\n"
                   "( sh -c \"touch h3; sleep %1; echo tampered >> '%2'\" & ) &\n"
                   // Ends once every helper runs.
                   "until [ -e h1 ] && [ -e h2 ] && [ -e h3 ]; do sleep 0.01; done\nexit 0\n"_s.arg(token, outside)); },
         {}, true, true},
        {"a script that writes the live tables and a file outside", [&] {
             return script(u"up12.exe"_s, copyBoth + u"echo damaged > ../sp09kw_n.dbf\necho damaged > '%1'\nexit 0\n"_s.arg(outside)); },
         {}, true},
        {"a journal naming a link to a folder elsewhere as its staging folder", [&] {
             QDir(Path(u"elsewhere"_s)).mkpath(u"."_s);
             WriteBytes(Path(u"elsewhere/sp09kw_n.dbf"_s), ReadBytes(newPersonsFile));
             QFile::link(Path(u"elsewhere"_s), InProgram(u".phonebook-update-evil"_s));
             WriteBytes(InProgram(JournalFileName.toString()),
                        "phonebook-update journal 2\nstaging .phonebook-update-evil\nswap sp09kw_n sp09kw_n.dbf\nend\n");
             return zipOf(u"up13.exe"_s, u"sp09kw_n.dbf"_s);
         },
         u"не рабочая папка обновления"_s},
        {"a journal naming a real folder without the staging marker", [&] {
             QDir(Program()).mkpath(u".phonebook-update-junk"_s);
             QFile::setPermissions(InProgram(u".phonebook-update-junk"_s), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
             WriteBytes(InProgram(u".phonebook-update-junk/sp09kw_n.dbf"_s), ReadBytes(newPersonsFile));
             WriteBytes(InProgram(JournalFileName.toString()),
                        "phonebook-update journal 2\nstaging .phonebook-update-junk\nswap sp09kw_n sp09kw_n.dbf\nend\n");
             return zipOf(u"up14.exe"_s, u"sp09kw_n.dbf"_s);
         },
         u"нет метки рабочей папки"_s},
        {"a disk with less free space than the update keeps", [&] { return zipOf(u"up15.exe"_s, u"sp09kw_n.dbf"_s); },
         u"не хватает места"_s, false, false, qint64(1) << 60},
    };
    const auto reset = [&] {
        WriteBytes(InProgram(u"sp09kw_n.dbf"_s), oldPersons);
        WriteBytes(InProgram(u"sp09pr_n.dbf"_s), oldOrgs);
        WriteBytes(outside, "not the directory's");
        for (const QString &name : {u"SP09KW_N.DBF"_s, u"sp09kw_n.old"_s, JournalFileName.toString(), u".phonebook-update-evil"_s})
            QFile::remove(InProgram(name));
        for (const QString &name : {u".phonebook-update-mine"_s, u".phonebook-update-junk"_s})
            QDir(InProgram(name)).removeRecursively();
    };
    for (const Case &c : cases) {
        for (const bool sandbox : {true, false}) {
            if (!sandbox && !c.unconfinedToo)
                continue;
            SCOPED_TRACE(testing::Message() << c.what << (sandbox ? "" : ", without the sandbox"));
            reset();
            UpdateRun run(Program());
            run.SetMinFreeSpace(c.minFree);
            if (!sandbox)
                run.SetSandboxProgram({});
            QEventLoop loop;
            QObject::connect(&run, &UpdateRun::Finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
            const QString archive = c.archive();
            QTimer::singleShot(0, &loop, [&] { run.Start(archive); });
            QTimer::singleShot(30000, &loop, &QEventLoop::quit);
            loop.exec();
            ASSERT_FALSE(run.Running());
            const UpdateOutcome &outcome = run.Outcome();
            const QString said = (QStringList{outcome.error} + outcome.details).join(u'\n');
            EXPECT_TRUE(said.contains(c.said)) << said.toStdString();
            EXPECT_TRUE(ProcessesWith(token).isEmpty()) << "an archive's helper outlived the update";
            if (c.replaced) {
                EXPECT_EQ(outcome.status, UpdateOutcome::Status::Replaced) << said.toStdString();
                ExpectBytes(EditionBytes(u"sp09kw_n.dbf"_s), EditionBytes(u"sp09pr_n.dbf"_s));
            } else {
                EXPECT_NE(outcome.status, UpdateOutcome::Status::Replaced);
                EXPECT_TRUE(ReadBytes(InProgram(u"sp09kw_n.dbf"_s)) == oldPersons) << said.toStdString();
                const QByteArray orgs = ReadBytes(InProgram(u"sp09pr_n.dbf"_s));
                EXPECT_TRUE(orgs == oldOrgs || orgs == EditionBytes(u"sp09pr_n.dbf"_s)) << "organisations are neither edition";
            }
            EXPECT_EQ(outcome.unconfined, !sandbox && ArchiveKindOf(archive) == ArchiveKind::Program);
            EXPECT_EQ(ReadBytes(outside), "not the directory's");
            EXPECT_EQ(ReadBytes(newPersonsFile), EditionBytes(u"sp09kw_n.dbf"_s));
            const QStringList left = QDir(Program()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
            for (const QString &name : left) {
                EXPECT_FALSE(name.startsWith(StagingPrefix) && name != u".phonebook-update-mine"_s
                             && name != u".phonebook-update-evil"_s && name != u".phonebook-update-junk"_s)
                    << name.toStdString();
                EXPECT_FALSE(name.startsWith(u'.') && name.contains(u".dbf."_s)) << "a temporary file: " << name.toStdString();
            }
            // An administrator's files and folders are never the update's.
            if (QFile::exists(InProgram(u".phonebook-update-mine"_s))) {
                EXPECT_EQ(ReadBytes(InProgram(u".phonebook-update-mine/notes"_s)), "mine");
                EXPECT_EQ(ReadBytes(InProgram(u"sp09kw_n.old"_s)), "backup");
            }
            if (QFile::exists(Path(u"elsewhere/sp09kw_n.dbf"_s))) {
                EXPECT_EQ(ReadBytes(Path(u"elsewhere/sp09kw_n.dbf"_s)), EditionBytes(u"sp09kw_n.dbf"_s));
            }
        }
    }
    reset();
    // The link was replaced by the archive's copy, not written through.
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(InProgram(u"up2.exe"_s)).constData(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
}

// Guards that once could be broken without a test noticing: the free space
// an archive entry needs, the watch over a running archive program, and the
// lock that lets one update at a time in.
TEST_F(UpdateCoreTest, SpaceAndLockGuards)
{
    // An entry that fits the free space but not with the reserve kept: its
    // declared size is counted before anything is written.
    const QString tarPath = Path(u"downloads/up1.tar"_s);
    {
        QByteArray tar(1 << 16, '\0');
        size_t used = 0;
        archive *writer = archive_write_new();
        archive_write_set_format_pax_restricted(writer);
        archive_write_open_memory(writer, tar.data(), static_cast<size_t>(tar.size()), &used);
        archive_entry *entry = archive_entry_new();
        archive_entry_set_pathname(entry, "sp09kw_n.dbf");
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, qint64(3) << 30);
        archive_write_header(writer, entry);
        archive_write_data(writer, "x", 1);
        archive_entry_free(entry);
        archive_write_free(writer);
        WriteBytes(tarPath, tar.left(static_cast<qsizetype>(std::max<size_t>(used, 1024))));
    }
    const qint64 free = FreeSpace(Program());
    ASSERT_GT(free, qint64(2) << 20);
    {
        UpdateRun run(Program());
        run.SetMinFreeSpace(std::max<qint64>(qint64(1) << 20, free - (qint64(1) << 30)));
        QEventLoop loop;
        QObject::connect(&run, &UpdateRun::Finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
        QTimer::singleShot(0, &loop, [&] { run.Start(tarPath); });
        loop.exec();
        EXPECT_TRUE(run.Outcome().error.contains(u"не хватает места"_s)) << run.Outcome().error.toStdString();
    }

    // A program that takes the disk's space and keeps running is stopped by
    // the watch at once, not by the time limit.
    const QString filler = Path(u"downloads/up2.exe"_s);
    WriteBytes(filler, "#!/bin/sh\nfallocate -l 400000000 filler || exit 5\nexec sleep 60\n");
    QFile::setPermissions(filler, QFile::permissions(filler) | QFileDevice::ExeOwner);
    {
        UpdateRun run(Program());
        run.SetTimeLimit(20s);
        run.SetMinFreeSpace(std::max<qint64>(qint64(1) << 20, FreeSpace(Program()) - (qint64(200) << 20)));
        QElapsedTimer clock;
        clock.start();
        QEventLoop loop;
        QObject::connect(&run, &UpdateRun::Finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
        QTimer::singleShot(0, &loop, [&] { run.Start(filler); });
        loop.exec();
        EXPECT_TRUE(run.Outcome().error.startsWith(u"На диске осталось меньше"_s)) << run.Outcome().error.toStdString();
        EXPECT_LT(clock.elapsed(), 15000);
    }
    ExpectTables(OldPersons, OldOrgs);

    // One update at a time, even within one process.
    UpdateLock first(Program());
    ASSERT_TRUE(first.held());
    UpdateLock second(Program());
    EXPECT_EQ(second.state(), UpdateLock::State::Busy);
    EXPECT_TRUE(UpdateLock::HeldInDirectory(Program()));
    first.Release();
    EXPECT_FALSE(UpdateLock::HeldInDirectory(Program()));
}

TEST_F(UpdateCoreTest, WatcherTakesANewEditionOnlyOnceItIsCompleteAndSound)
{
    EditionWatcher watcher(Program());
    watcher.SetSettleTime(300ms);
    QSignalSpy editions(&watcher, &EditionWatcher::NewEdition);

    // A damaged copy is not taken.
    const QString persons = InProgram(QStringLiteral("sp09kw_n.dbf"));
    WriteBytes(persons, ReadBytes(QDir(Edition()).filePath(QStringLiteral("sp09kw_n.dbf"))).left(300));
    EXPECT_FALSE(editions.wait(1500));

    // Written in pieces: taken once, after the last piece.
    const QByteArray whole = ReadBytes(QDir(Edition()).filePath(QStringLiteral("sp09kw_n.dbf")));
    {
        QFile file(persons);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        for (qsizetype at = 0; at < whole.size(); at += 200) {
            file.write(whole.mid(at, 200));
            file.flush();
            QTest::qWait(100);
        }
    }
    ASSERT_TRUE(editions.wait(3000));
    EXPECT_FALSE(editions.wait(800));
    EXPECT_EQ(editions.size(), 1);

    // Replaced by a rename, as a copy tool often does, and while paused.
    watcher.Pause();
    WriteEdition(Edition(), 2, 2);
    QFile::remove(InProgram(QStringLiteral("sp09pr_n.dbf")));
    QFile::copy(QDir(Edition()).filePath(QStringLiteral("sp09pr_n.dbf")), InProgram(QStringLiteral("sp09pr_n.dbf")));
    EXPECT_FALSE(editions.wait(800));
    watcher.Resume();
    WriteBytes(Path(u"edition/tmp"_s), ReadBytes(QDir(Edition()).filePath(QStringLiteral("sp09kw_n.dbf"))));
    QFile::remove(persons);
    QFile::rename(Path(u"edition/tmp"_s), persons);
    EXPECT_TRUE(editions.wait(3000));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
