// phonebook-update and phonebook-find as their own processes: exit statuses,
// progress on stderr, and a process killed in the middle of an update.

#include "TableFixtures.h"
#include "UpdateFixtures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <sys/types.h>

#include <gtest/gtest.h>

using namespace phonebook::fixtures;
using namespace Qt::StringLiterals;

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out, error;
};

ToolRun Tool(const QString &program, const QStringList &arguments)
{
    QProcess process;
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
    ToolRun Update(const QString &archive, const QStringList &more = {})
    {
        return Tool(QStringLiteral(PHONEBOOK_UPDATE_EXE), QStringList{u"--dir"_s, Program()} + more + QStringList{archive});
    }
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

    const ToolRun failed = Update(WriteScriptArchive(m_root.filePath(u"up3.exe"_s), Script::RunsLong, Edition()),
                                  {u"--timeout"_s, u"0.5"_s});
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_TRUE(failed.error.contains(u"Архив не закончил работу"_s)) << failed.error.toStdString();
    EXPECT_EQ(Count(u"sp09kw_n"_s), u"5"_s);
    EXPECT_EQ(Update(m_root.filePath(u"up404.exe"_s)).exitCode, 2);
}

TEST_F(UpdateToolTest, KillBetweenSettingAsideAndRestoringLosesNothing)
{
    const QString archive = WriteScriptArchive(m_root.filePath(u"up1.exe"_s), Script::RunsLong, Edition());
    QProcess update;
    update.start(QStringLiteral(PHONEBOOK_UPDATE_EXE), {u"--dir"_s, Program(), archive});
    ASSERT_TRUE(update.waitForStarted());
    // Killed while its archive runs: the tables are set aside, a new edition
    // half there (the individuals' file never came).
    const QString archivePid = QDir(Edition()).filePath(u"archive.pid"_s);
    QElapsedTimer clock;
    clock.start();
    while (!QFile::exists(archivePid) && clock.elapsed() < 10000)
        QThread::msleep(20);
    QThread::msleep(50);
    ASSERT_TRUE(QFile::exists(QDir(Program()).filePath(u"sp09kw_n.old"_s)));
    QFile::remove(QDir(Program()).filePath(u"sp09kw_n.dbf"_s));
    update.kill();
    update.waitForFinished();
    const pid_t archiveProcess = static_cast<pid_t>(ReadBytes(archivePid).trimmed().toLongLong());
    ASSERT_GT(archiveProcess, 0);
    ::kill(archiveProcess, SIGKILL);

    // The next opening of the directory restores what the delivered files do not replace.
    EXPECT_EQ(Count(u"sp09kw_n"_s), u"5"_s);
    EXPECT_EQ(Count(u"sp09pr_n"_s), u"8"_s);
    EXPECT_FALSE(QFile::exists(QDir(Program()).filePath(u"sp09kw_n.old"_s)));
    EXPECT_FALSE(QFile::exists(QDir(Program()).filePath(u"sp09pr_n.old"_s)));
}

} // namespace
