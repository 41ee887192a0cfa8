// phonebook-update and phonebook-find as their own processes: exit statuses,
// progress on stderr, an update killed at any moment, a folder it may not
// write, a disk too small for the archive, and searches that change nothing.

#include "TableFixtures.h"
#include "UpdateFixtures.h"
#include "UpdateLock.h"
#include "UpdateRun.h"
#include "UpdateSwap.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QRandomGenerator>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <sys/types.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace phonebook::fixtures;
using namespace Qt::StringLiterals;

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out, error;
};

ToolRun Tool(const QString &program, const QStringList &arguments, const std::function<void()> &inChild = {})
{
    QProcess process;
    if (inChild)
        process.setChildProcessModifier(inChild);
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

class UpdateToolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir(m_root.path()).mkpath(u"program"_s);
        QDir(m_root.path()).mkpath(u"edition"_s);
        WriteEdition(Program(), 5, 3);
        WriteEdition(Edition(), 12, 8);
    }
    QString Program() const { return m_root.filePath(u"program"_s); }
    QString Edition() const { return m_root.filePath(u"edition"_s); }
    ToolRun Update(const QString &archive, const QStringList &more = {}, const std::function<void()> &inChild = {})
    {
        return Tool(QStringLiteral(PHONEBOOK_UPDATE_EXE), QStringList{u"--dir"_s, Program()} + more + QStringList{archive},
                    inChild);
    }
    QByteArray Bytes(const QString &name) const { return ReadBytes(QDir(Program()).filePath(name)); }
    QString Count(const QString &table)
    {
        return Tool(QStringLiteral(PHONEBOOK_FIND_EXE), {u"--dir"_s, Program(), u"count"_s, table}).out.trimmed();
    }

    QTemporaryDir m_root;
};

TEST_F(UpdateToolTest, ExitStatusSaysWhatWasReplaced)
{
    const ToolRun replaced = Update(WriteScriptArchive(m_root.filePath(u"up1.exe"_s), Script::BothTables, Edition()));
    EXPECT_EQ(replaced.exitCode, 0) << replaced.error.toStdString();
    EXPECT_TRUE(replaced.error.contains(u"Распаковка архива..."_s));
    EXPECT_EQ(Count(u"sp09kw_n"_s), u"12"_s);

    WriteEdition(Program(), 5, 3);
    const ToolRun kept = Update(WriteScriptArchive(m_root.filePath(u"up2.exe"_s), Script::OrgsOnly, Edition()));
    EXPECT_EQ(kept.exitCode, 1);
    EXPECT_TRUE(kept.error.contains(u"Обновление физических лиц не выполнено!!!"_s)) << kept.error.toStdString();
    EXPECT_EQ(Count(u"sp09kw_n"_s), u"5"_s);
    EXPECT_EQ(Count(u"sp09pr_n"_s), u"8"_s);
    // The last line says the same to a program, whatever the messages' language.
    const QStringList keptLines = kept.error.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(keptLines.isEmpty());
    const auto outcome = phonebook::update::ParseOutcomeLine(keptLines.last().toUtf8());
    ASSERT_TRUE(outcome.has_value()) << keptLines.last().toStdString();
    EXPECT_EQ(outcome->status, phonebook::update::UpdateOutcome::Status::Kept);
    EXPECT_FALSE(outcome->delivered[0]);
    EXPECT_TRUE(outcome->delivered[1]);

    const ToolRun failed = Update(WriteScriptArchive(m_root.filePath(u"up3.exe"_s), Script::RunsLong, Edition()),
                                  {u"--timeout"_s, u"1"_s});
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_TRUE(failed.error.contains(u"Архив не закончил работу"_s)) << failed.error.toStdString();
    EXPECT_EQ(Count(u"sp09kw_n"_s), u"5"_s);
    EXPECT_EQ(Update(m_root.filePath(u"up404.exe"_s)).exitCode, 2);

    // A time limit that is no whole number of seconds from 1 to 86 400 is a
    // usage error before anything is touched: the archive is not even copied.
    const QString archive = WriteScriptArchive(m_root.filePath(u"up5.exe"_s), Script::BothTables, Edition());
    for (const QString &limit : {u"inf"_s, u"nan"_s, u"1e300"_s, u"2147484"_s, u"86401"_s, u"0"_s, u"-1"_s, u"0.5"_s, u""_s}) {
        const ToolRun run = Update(archive, {u"--timeout"_s, limit});
        EXPECT_EQ(run.exitCode, 2) << limit.toStdString();
        EXPECT_TRUE(run.error.contains(u"--timeout"_s)) << run.error.toStdString();
    }
    EXPECT_FALSE(QFile::exists(QDir(Program()).filePath(u"up5.exe"_s)));

    // A folder whose name is not text in the system's encoding would be
    // another folder once decoded: refused before anything is touched.
    const QString program = Program();
    const ToolRun undecodable = Tool(u"/bin/sh"_s, {u"-c"_s, u"exec \"$0\" --dir \"$1$(printf '\\377')\" \"$2\""_s,
                                                    QStringLiteral(PHONEBOOK_UPDATE_EXE), program, archive});
    EXPECT_EQ(undecodable.exitCode, 2);
    EXPECT_TRUE(undecodable.error.contains(u"UTF-8"_s)) << undecodable.error.toStdString();
    EXPECT_FALSE(QFile::exists(QDir(Program()).filePath(u"up5.exe"_s)));
    EXPECT_EQ(Count(u"sp09kw_n"_s), u"5"_s);
}

// Whether the process has ended (a zombie has: only its parent's wait is missing).
bool Gone(pid_t pid)
{
    if (::kill(pid, 0) != 0)
        return true;
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1) == "Z";
}

// Waits until no process holds `argument` on its command line.
bool NoneLeftWith(const QString &argument)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const QList<qint64> left = ProcessesWith(argument);
        if (std::all_of(left.begin(), left.end(), [](qint64 pid) { return Gone(static_cast<pid_t>(pid)); }))
            return true;
        if (clock.elapsed() > 3000)
            return false;
        QThread::msleep(20);
    }
}

// Waits until no process works in a staging folder of `directory`: a killed
// archive's last commands die a moment after the updater, as the watchdog
// gets its turn, and may write into their folder meanwhile.
bool NoneWorkingIn(const QString &directory)
{
    const QString staging = QDir(directory).filePath(u".phonebook-update-"_s);
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        bool busy = false;
        for (const QString &pid : QDir(u"/proc"_s).entryList(QDir::Dirs)) {
            if (pid.toInt() > 0 && QFileInfo(u"/proc/"_s + pid + u"/cwd"_s).symLinkTarget().startsWith(staging)
                && !Gone(static_cast<pid_t>(pid.toInt())))
                busy = true;
        }
        if (!busy)
            return true;
        if (clock.elapsed() > 5000)
            return false;
        QThread::msleep(20);
    }
}

// An archive that starts a process of its own in the background (holding
// `token` on its command line, so that it can be found), one more in a session
// of its own and one under job control, copies both tables in pieces and ends.
QString WriteSlowArchive(const QString &path, const QString &edition, const QString &token)
{
    const QString persons = QDir(edition).filePath(u"sp09kw_n.dbf"_s);
    const QString orgs = QDir(edition).filePath(u"sp09pr_n.dbf"_s);
    WriteBytes(path, QStringLiteral("#!/bin/sh\n"
                                    "sleep %3 &\n"
                                    "setsid sh -c 'exec sleep %3' &\n"
                                    "set -m\n"
                                    "sleep %3 &\n"
                                    "set +m\n"
                                    "head -c 100000 '%1' > sp09kw_n.dbf\n"
                                    "sleep 0.05\n"
                                    "cat '%1' > sp09kw_n.dbf\n"
                                    "cp '%2' .\n")
                         .arg(persons, orgs, token)
                         .toUtf8());
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
    return path;
}

// The updater killed at random moments, by every signal that can end it: the
// archive's processes never outlive it, and once the folder is opened again
// each table is byte for byte the old or the new edition, with nothing left over.
TEST_F(UpdateToolTest, KilledAtAnyMomentLeavesNoArchiveRunningAndNoMixedTable)
{
    WriteEdition(Edition(), 20000, 4000);
    const QByteArray oldPersons = Bytes(u"sp09kw_n.dbf"_s), oldOrgs = Bytes(u"sp09pr_n.dbf"_s);
    const QByteArray newPersons = ReadBytes(QDir(Edition()).filePath(u"sp09kw_n.dbf"_s));
    const QByteArray newOrgs = ReadBytes(QDir(Edition()).filePath(u"sp09pr_n.dbf"_s));
    // A sleep no other process has: the archive's helpers are found by it.
    const QString token = u"%1.%2"_s.arg(300 + ::getpid() % 500).arg(QRandomGenerator::global()->bounded(1000, 9999));
    const QString script = WriteSlowArchive(m_root.filePath(u"up1.exe"_s), Edition(), token);
    const QString zip = WriteSelfExtractingZip(m_root.filePath(u"up2.exe"_s),
                                               {{u"sp09kw_n.dbf"_s, QDir(Edition()).filePath(u"sp09kw_n.dbf"_s)},
                                                {u"sp09pr_n.dbf"_s, QDir(Edition()).filePath(u"sp09pr_n.dbf"_s)}});
    // How long a whole update takes here, so that the kills fall all along it.
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(Update(script).exitCode, 0);
    const qint64 whole = std::max<qint64>(clock.elapsed(), 50);
    EXPECT_TRUE(NoneLeftWith(token)) << "a finished archive left its background processes";

    // The kills fall at moments drawn from this seed; PHONEBOOK_KILL_SEED repeats a run.
    const quint32 seed = qEnvironmentVariableIsSet("PHONEBOOK_KILL_SEED")
        ? static_cast<quint32>(qEnvironmentVariableIntValue("PHONEBOOK_KILL_SEED"))
        : QRandomGenerator::global()->generate() % 1000000;
    std::printf("kill moments from PHONEBOOK_KILL_SEED=%u\n", seed);
    RecordProperty("PHONEBOOK_KILL_SEED", static_cast<int>(seed));
    SCOPED_TRACE(testing::Message() << "PHONEBOOK_KILL_SEED=" << seed);
    QRandomGenerator moments(seed);

    const int stopSignals[] = {SIGKILL, SIGINT, SIGTERM, SIGHUP};
    int runs = 0, mixed = 0;
    clock.restart();
    while (clock.elapsed() < 25000 && runs < 200) {
        SCOPED_TRACE(runs);
        WriteBytes(QDir(Program()).filePath(u"sp09kw_n.dbf"_s), oldPersons);
        WriteBytes(QDir(Program()).filePath(u"sp09pr_n.dbf"_s), oldOrgs);
        const int signal = stopSignals[runs % 4];
        QProcess updater;
        updater.start(QStringLiteral(PHONEBOOK_UPDATE_EXE), {u"--dir"_s, Program(), runs % 3 == 2 ? zip : script});
        ASSERT_TRUE(updater.waitForStarted());
        QThread::msleep(static_cast<unsigned long>(moments.bounded(whole * 5 / 4)));
        ::kill(static_cast<pid_t>(updater.processId()), signal);
        ASSERT_TRUE(updater.waitForFinished(10000));
        if (updater.exitStatus() == QProcess::NormalExit && signal != SIGKILL) {
            EXPECT_TRUE(updater.exitCode() == 128 + signal || updater.exitCode() == 0) << updater.exitCode();
        }
        EXPECT_TRUE(NoneLeftWith(token)) << "an archive process outlived the updater (signal " << signal << ")";
        EXPECT_TRUE(NoneWorkingIn(Program())) << "a process still works in the staging folder (signal " << signal << ")";

        // A process the updater forked just before the kill holds the
        // updater's descriptors until it first runs and finds its parent gone
        // (on a busy machine, a moment later); while it holds the staging
        // folder's lock the folder counts as a running update's. So the folder
        // is opened again until it is free; one never freed fails below.
        phonebook::update::RestoreReport report = phonebook::update::RecoverInterruptedUpdate(Program());
        QElapsedTimer freed;
        freed.start();
        while (!QDir(Program()).entryList({u".phonebook-update-*"_s}, QDir::Dirs | QDir::Hidden).isEmpty()
               && freed.elapsed() < 5000) {
            QThread::msleep(20);
            report = phonebook::update::RecoverInterruptedUpdate(Program());
        }
        EXPECT_FALSE(report.failed) << report.messages.join(u'\n').toStdString();
        const QByteArray persons = Bytes(u"sp09kw_n.dbf"_s), orgs = Bytes(u"sp09pr_n.dbf"_s);
        if ((persons != oldPersons && persons != newPersons) || (orgs != oldOrgs && orgs != newOrgs))
            ++mixed;
        const QStringList left = QDir(Program()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        for (const QString &name : left)
            EXPECT_FALSE(name.endsWith(u".old"_s) || name.startsWith(u".phonebook-update-"_s)
                         || name == u"phonebook-update.journal"_s)
                << name.toStdString();
        ++runs;
    }
    EXPECT_EQ(mixed, 0) << "of " << runs << " runs";
    EXPECT_GE(runs, 10);
}

// A folder this user may not write, and a disk too small for the archive's
// copy: each said as it is, and nothing in the folder changes.
TEST_F(UpdateToolTest, FolderNotWritableOrDiskFullChangesNothing)
{
    const QByteArray oldPersons = Bytes(u"sp09kw_n.dbf"_s);
    const QString archive = WriteScriptArchive(m_root.filePath(u"up1.exe"_s), Script::BothTables, Edition());
    QFile::setPermissions(m_root.path(), QFile::permissions(m_root.path()) | QFileDevice::ExeOther | QFileDevice::ReadOther);
    QFile::setPermissions(archive, QFile::permissions(archive) | QFileDevice::ReadOther | QFileDevice::ExeOther);
    QFile::setPermissions(Program(), QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                         | QFileDevice::ExeOther);
    // Root may write anywhere: the tool runs as an ordinary user then.
    const ToolRun denied = Update(archive, {}, [] {
        if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(99);
    });
    QFile::setPermissions(Program(), QFile::permissions(Program()) | QFileDevice::WriteOwner);
    EXPECT_EQ(denied.exitCode, 2);
    EXPECT_TRUE(denied.error.contains(u"Нет прав на запись в папку "_s + Program())) << denied.error.toStdString();
    EXPECT_EQ(Bytes(u"sp09kw_n.dbf"_s), oldPersons);

    // The copy is cut short where the disk fills (a file size limit stands in
    // for it). The archive's last line would fail it; a short copy that ran
    // without that line would have replaced the tables.
    const QString cutOff = m_root.filePath(u"up2.exe"_s);
    WriteBytes(cutOff, ReadBytes(WriteScriptArchive(cutOff, Script::BothTables, Edition())) + "#" + QByteArray(200000, 'x')
                           + "\nexit 1\n");
    const QStringList before = QDir(Program()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    const ToolRun full = Update(cutOff, {}, [] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100000, 100000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    EXPECT_EQ(full.exitCode, 2);
    EXPECT_TRUE(full.error.contains(u"Не удалось скопировать архив"_s)) << full.error.toStdString();
    EXPECT_EQ(Bytes(u"sp09kw_n.dbf"_s), oldPersons);
    QStringList after = QDir(Program()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    after.removeOne(u"phonebook-update.lock"_s); // the update's own, kept for the next
    EXPECT_EQ(after, before);
}

// A folder everyone may write, its lock file made by root (0644): an ordinary
// user's update still takes the lock and installs the edition.
TEST_F(UpdateToolTest, ALockFileOfRootsServesEveryoneWhoMayWriteTheFolder)
{
    if (::getuid() != 0)
        GTEST_SKIP() << "needs root to make the lock file another user's";
    const auto everyone = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
        | QFileDevice::WriteOther | QFileDevice::ExeOther;
    QFile::setPermissions(m_root.path(), everyone);
    QFile::setPermissions(Program(), everyone);
    WriteBytes(QDir(Program()).filePath(u"phonebook-update.lock"_s), {});
    const QString archive = WriteScriptArchive(m_root.filePath(u"up1.exe"_s), Script::BothTables, Edition());
    QFile::setPermissions(archive, everyone);
    QFile::setPermissions(Edition(), everyone);
    for (const QString &name : {u"sp09kw_n.dbf"_s, u"sp09pr_n.dbf"_s})
        QFile::setPermissions(QDir(Edition()).filePath(name), everyone);
    const ToolRun run = Update(archive, {}, [] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(99);
    });
    EXPECT_EQ(run.exitCode, 0) << run.error.toStdString();
    EXPECT_EQ(Count(u"sp09kw_n"_s), u"12"_s);
}

// Searching never changes the folder: not an administrator's ".old" copies,
// not the journal of an interrupted update, which it only mentions.
TEST_F(UpdateToolTest, SearchesChangeNothingInTheFolder)
{
    WriteBytes(QDir(Program()).filePath(u"sp09kw_n.old"_s), "administrator's copy");
    EXPECT_EQ(Count(u"sp09kw_n"_s), u"5"_s);
    EXPECT_EQ(Bytes(u"sp09kw_n.old"_s), "administrator's copy");

    WriteBytes(QDir(Program()).filePath(u"phonebook-update.journal"_s), "phonebook-update journal 1\n");
    const ToolRun run = Tool(QStringLiteral(PHONEBOOK_FIND_EXE), {u"--dir"_s, Program(), u"count"_s, u"sp09pr_n"_s});
    EXPECT_EQ(run.out.trimmed(), u"3"_s);
    EXPECT_TRUE(run.error.contains(u"было прервано"_s)) << run.error.toStdString();
    EXPECT_EQ(Bytes(u"phonebook-update.journal"_s), "phonebook-update journal 1\n");
    {
        // While an update holds the lock, its journal is no interrupted update's.
        phonebook::update::UpdateLock running(Program());
        ASSERT_TRUE(running.held());
        const ToolRun during = Tool(QStringLiteral(PHONEBOOK_FIND_EXE), {u"--dir"_s, Program(), u"count"_s, u"sp09pr_n"_s});
        EXPECT_TRUE(during.error.contains(u"идёт обновление"_s)) << during.error.toStdString();
        EXPECT_FALSE(during.error.contains(u"было прервано"_s)) << during.error.toStdString();
    }
    EXPECT_EQ(Bytes(u"sp09kw_n.old"_s), "administrator's copy");

    // A table under two spellings is read by no search: which one is meant cannot be told.
    WriteEdition(Edition(), 12, 8);
    QFile::copy(QDir(Edition()).filePath(u"sp09kw_n.dbf"_s), QDir(Program()).filePath(u"SP09KW_N.DBF"_s));
    for (const QStringList &search : {QStringList{u"count"_s, u"sp09kw_n"_s}, QStringList{u"quick"_s, u"иванов"_s},
                                      QStringList{u"surname"_s, u"иванов"_s}}) {
        const ToolRun twice = Tool(QStringLiteral(PHONEBOOK_FIND_EXE), QStringList{u"--dir"_s, Program()} + search);
        EXPECT_EQ(twice.exitCode, 2) << search.join(u' ').toStdString();
        EXPECT_TRUE(twice.error.contains(u"sp09kw_n.dbf"_s) && twice.error.contains(u"SP09KW_N.DBF"_s))
            << twice.error.toStdString();
    }
    EXPECT_EQ(Count(u"sp09pr_n"_s), u"3"_s);
}

} // namespace
