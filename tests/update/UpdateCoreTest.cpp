// The update's file handling on small directories, with archives made by the
// tests: scripts that deliver, half-deliver, damage or fail, archives that run
// too long, self-extracting ZIP files, and a directory left by an update that
// was cut short.

#include "EditionWatcher.h"
#include "TableFixtures.h"
#include "UpdateFixtures.h"
#include "UpdateRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLockFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

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
        EXPECT_FALSE(QFile::exists(InProgram(QStringLiteral("sp09kw_n.old"))));
        EXPECT_FALSE(QFile::exists(InProgram(QStringLiteral("sp09pr_n.old"))));
        EXPECT_FALSE(QFile::exists(InProgram(LockFileName.toString())));
    }

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
    const QString personsKept = NotUpdatedMessage(Table::Persons);
    const QString orgsKept = NotUpdatedMessage(Table::Orgs);
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
        EXPECT_EQ(QDir(Program()).entryList(QDir::Files).size(), 3); // the tables and the archive
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

TEST_F(UpdateCoreTest, OpeningTheDirectoryFinishesAnUpdateThatWasCutShort)
{
    // Set aside, nothing delivered: both come back.
    ASSERT_FALSE(SetAside(Program(), Table::Persons));
    ASSERT_FALSE(SetAside(Program(), Table::Orgs));
    RestoreReport report = RestoreSetAsideTables(Program());
    EXPECT_EQ(report.messages.size(), 2);
    EXPECT_FALSE(report.failed);
    ExpectTables(OldPersons, OldOrgs);

    // A sound delivered table stays; a damaged one gives way to its old copy.
    ASSERT_FALSE(SetAside(Program(), Table::Persons));
    ASSERT_FALSE(SetAside(Program(), Table::Orgs));
    QFile::copy(QDir(Edition()).filePath(QStringLiteral("sp09pr_n.dbf")), InProgram(QStringLiteral("sp09pr_n.dbf")));
    WriteBytes(InProgram(QStringLiteral("sp09kw_n.dbf")), ReadBytes(QDir(Edition()).filePath(QStringLiteral("sp09kw_n.dbf"))).left(300));
    report = RestoreSetAsideTables(Program());
    EXPECT_EQ(report.messages.size(), 1);
    ExpectTables(OldPersons, NewOrgs);

    // While another process updates the directory, its ".old" copies are its own.
    ASSERT_FALSE(SetAside(Program(), Table::Persons));
    {
        QLockFile lock(InProgram(LockFileName.toString()));
        ASSERT_TRUE(lock.tryLock(0));
        EXPECT_TRUE(RestoreSetAsideTables(Program()).messages.isEmpty());
        EXPECT_TRUE(QFile::exists(InProgram(QStringLiteral("sp09kw_n.old"))));
    }
    RestoreSetAsideTables(Program());
    ExpectTables(OldPersons, NewOrgs);
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
