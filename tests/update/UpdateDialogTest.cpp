// The update dialog on the main window, driven as a user would: the menu item,
// the browse button, "Обновить", the messages, the new counts; and a new
// edition copied into the folder by hand while the program runs.

#include "AppInfo.h"
#include "Dialogs.h"
#include "DirectorySession.h"
#include "EditionWatcher.h"
#include "TableFixtures.h"
#include "UMain.h"
#include "UUpdate.h"
#include "ResultGrid.h"
#include "UpdateFixtures.h"
#include "StartUp.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <QProcess>

#include <functional>
#include <grp.h>
#include <unistd.h>
#include <memory>

using namespace phonebook;
using namespace phonebook::fixtures;
using namespace Qt::StringLiterals;

class UpdateDialogTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void browseAndUpdateShowTheNewCounts();
    void tableNotDeliveredIsRestoredAndReported();
    void runningArchiveIsStoppedWithTheButton();
    void editionCopiedByHandIsLoaded();
    void folderNotWritableOffersTheAdministrator();

private:
    // One case of the test above, in its child process.
    void administratorCase(const QString &name);
    QString program() const { return m_root->filePath(u"program"_s); }
    QString edition() const { return m_root->filePath(u"edition"_s); }
    // Opens the dialog from the menu, runs `act` in it, and waits until it
    // has closed itself.
    void runDialog(const std::function<void()> &act);

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<TFrmMain> m_main;
    TFrmUpdate *m_dialog = nullptr;
};

void UpdateDialogTest::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QDir(m_root->path()).mkpath(u"program"_s);
    QDir(m_root->path()).mkpath(u"edition"_s);
    WriteEdition(program(), 5, 3);
    WriteEdition(edition(), 12, 8);
    Dialogs::SetScripted(true);
    m_main = std::make_unique<TFrmMain>(ProgramPaths{program(), QString()});
    m_main->WaitForOrgList();
    m_main->resize(900, 600);
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
    m_dialog = AttachUpdateWindow(*m_main);
}

void UpdateDialogTest::cleanup()
{
    m_main.reset();
    Dialogs::SetScripted(false);
    m_root.reset();
}

void UpdateDialogTest::runDialog(const std::function<void()> &act)
{
    bool ran = false;
    std::function<void()> poll = [&] {
        if (!m_dialog->isVisible()) {
            QTimer::singleShot(10, m_dialog, poll);
            return;
        }
        ran = true;
        act();
        QTimer::singleShot(20000, m_dialog, [this] {
            if (m_dialog->isVisible())
                m_dialog->done(-1);
        });
    };
    QTimer::singleShot(0, m_dialog, poll);
    m_main->RunCommand(Command::Update);
    QVERIFY2(ran, "the dialog was not shown");
    QVERIFY2(m_dialog->result() == QDialog::Rejected, "closed by the watchdog, not by itself");
    QVERIFY(!m_dialog->Updating());
}

void UpdateDialogTest::browseAndUpdateShowTheNewCounts()
{
    const QString archive = WriteScriptArchive(m_root->filePath(u"up0312.exe"_s), Script::BothTables, edition());
    m_main->ShowOrgsSide();
    QSignalSpy reloaded(m_main.get(), &TFrmMain::DirectoryLoaded);
    runDialog([&] {
        QCOMPARE(m_main->TabIndex(), 0); // the menu item shows the individuals side first
        QVERIFY(m_main->SGFullFiz().isVisible());
        QCOMPARE(m_dialog->windowTitle(), u"Обновление справочника"_s);
        QCOMPARE(m_dialog->BitBtn1().toolTip(), u"Выберите путь к обновлению"_s);
        Dialogs::QueueFileName(archive);
        QTest::mouseClick(&m_dialog->BitBtn1(), Qt::LeftButton);
        QCOMPARE(m_dialog->Edit1().text(), archive);
        // A cancelled file dialog leaves its previous choice.
        QTest::mouseClick(&m_dialog->BitBtn1(), Qt::LeftButton);
        QCOMPARE(m_dialog->Edit1().text(), archive);
        QCOMPARE(m_dialog->Button1().text(), u"Обновить"_s);
        QTest::mouseClick(&m_dialog->Button1(), Qt::LeftButton);
    });
    QCOMPARE(Dialogs::TakeShownMessages(),
             QStringList{u"Справочник обновлён.\nФизических лиц:  12\nТелефоных номеров юр. лиц:  8"_s});
    QCOMPARE(m_main->StatusText(0), u"Физических лиц:  12"_s);
    QCOMPARE(m_main->StatusText(1), u"Телефоных номеров юр. лиц:  8"_s);
    QCOMPARE(m_main->SGFullFiz().RowCount(), 1 + 12);
    QVERIFY(!QFile::exists(QDir(program()).filePath(u"sp09kw_n.old"_s)));
    QVERIFY(!QFile::exists(QDir(program()).filePath(u"sp09pr_n.old"_s)));
    QVERIFY(QFile::exists(QDir(program()).filePath(u"up0312.exe"_s)));
    QCOMPARE(reloaded.size(), 1);
    QVERIFY(m_dialog->Edit1().text().isEmpty());
    QCOMPARE(m_dialog->ProgressBar1().value(), 0);
}

void UpdateDialogTest::tableNotDeliveredIsRestoredAndReported()
{
    const QString archive = WriteScriptArchive(m_root->filePath(u"up1.exe"_s), Script::OrgsOnly, edition());
    runDialog([&] {
        m_dialog->Edit1().setText(archive);
        QTest::keyClick(&m_dialog->Edit1(), Qt::Key_Return); // the default button
    });
    QCOMPARE(Dialogs::TakeShownMessages(), QStringList{u"Обновление физических лиц не выполнено!!!"_s});
    QCOMPARE(m_main->StatusText(0), u"Физических лиц:  5"_s);
    QCOMPARE(m_main->StatusText(1), u"Телефоных номеров юр. лиц:  8"_s);
}

void UpdateDialogTest::runningArchiveIsStoppedWithTheButton()
{
    const QString archive = WriteScriptArchive(m_root->filePath(u"up1.exe"_s), Script::RunsLong, edition());
    runDialog([&] {
        m_dialog->Edit1().setText(archive);
        QTest::mouseClick(&m_dialog->Button1(), Qt::LeftButton);
        QVERIFY(m_dialog->Updating());
        QVERIFY(!m_dialog->Edit1().isEnabled());
        // Stopped once the archive has begun its work.
        auto *poll = new QTimer(m_dialog);
        poll->setInterval(20);
        QObject::connect(poll, &QTimer::timeout, m_dialog, [this, poll] {
            if (!ArchiveRunningIn(program()))
                return;
            poll->stop();
            poll->deleteLater();
            QTest::mouseClick(&m_dialog->Button1(), Qt::LeftButton);
        });
        poll->start();
    });
    const QStringList messages = Dialogs::TakeShownMessages();
    QCOMPARE(messages.size(), 3);
    QCOMPARE(messages[0], u"Обновление прервано пользователем."_s);
    QCOMPARE(m_main->StatusText(0), u"Физических лиц:  5"_s);
    QCOMPARE(m_main->StatusText(1), u"Телефоных номеров юр. лиц:  3"_s);
    QVERIFY(!QFile::exists(QDir(program()).filePath(u"sp09kw_n.old"_s)));
}

void UpdateDialogTest::editionCopiedByHandIsLoaded()
{
    QSignalSpy reloaded(m_main.get(), &TFrmMain::DirectoryLoaded);
    for (const QString &name : {u"sp09kw_n.dbf"_s, u"sp09pr_n.dbf"_s}) {
        QFile::remove(QDir(program()).filePath(name));
        QVERIFY(QFile::copy(QDir(edition()).filePath(name), QDir(program()).filePath(name)));
    }
    QTRY_COMPARE_WITH_TIMEOUT(m_main->StatusText(0), u"Физических лиц:  12"_s, 5000);
    QCOMPARE(m_main->StatusText(1), u"Телефоных номеров юр. лиц:  8"_s);
    QCOMPARE(m_main->StatusText(2), QString::fromUtf16(NewEditionStatus));
    QCOMPARE(m_main->SGFullFiz().RowCount(), 1 + 12);
    QCOMPARE(reloaded.size(), 1);

    // A damaged copy is not loaded: once the watch has looked at it, the lists
    // keep what they showed.
    update::EditionWatcher *watcher = m_main->Session().FolderWatch();
    QVERIFY(watcher);
    QSignalSpy rejected(watcher, &update::EditionWatcher::Rejected);
    WriteBytes(QDir(program()).filePath(u"sp09kw_n.dbf"_s), QByteArray(100, 'x'));
    QVERIFY(rejected.wait(5000));
    QCOMPARE(reloaded.size(), 1);
    QCOMPARE(m_main->SGFullFiz().RowCount(), 1 + 12);
    QCOMPARE(Dialogs::TakeShownMessages(), QStringList());
}


// A folder this user may not write (as an installed program's folder is):
// the update is offered as administrator through pkexec, here a stand-in that
// notes what it was asked to run and answers as phonebook-update or pkexec
// would; without pkexec the message gives the command. Each case runs in a
// child process of this test, with the stand-in in its PATH and, under root,
// an ordinary user's IDs: this process keeps its own.
void UpdateDialogTest::folderNotWritableOffersTheAdministrator()
{
    if (qEnvironmentVariableIsSet("PHONEBOOK_ADMIN_CASE")) {
        administratorCase(qEnvironmentVariable("PHONEBOOK_ADMIN_CASE"));
        return;
    }
    QTemporaryDir shared;
    QVERIFY(shared.isValid());
    const QString bin = shared.filePath(u"bin"_s);
    QDir().mkpath(bin);
    const auto openToAll = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
        | QFileDevice::WriteOther | QFileDevice::ExeOther;
    QFile::setPermissions(shared.path(), openToAll);
    QFile::setPermissions(bin, openToAll);
    const QString asked = shared.filePath(u"asked.txt"_s);
    struct Case {
        const char *name;
        QByteArray pkexec; // the stand-in's script after it notes its arguments; empty: no pkexec
    };
    const Case cases[] = {
        {"replaced", "echo 'Копирование архива...' >&2\n"
                     "echo 'phonebook-update-result: {\"status\":\"replaced\",\"replaced\":[\"sp09kw_n\",\"sp09pr_n\"]}' >&2\n"},
        {"kept", "echo 'phonebook-update-result: {\"status\":\"kept\",\"replaced\":[\"sp09pr_n\"],"
                 "\"details\":[\"В таблице sp09kw_n.dbf нет поля fio.\"]}' >&2\nexit 1\n"},
        {"126", "exit 126\n"},
        {"127", "exit 127\n"},
        {"none", {}},
    };
    for (const Case &c : cases) {
        QFile::remove(bin + u"/pkexec"_s);
        if (!c.pkexec.isEmpty()) {
            WriteBytes(bin + u"/pkexec"_s, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$PHONEBOOK_ADMIN_ASKED\"\n" + c.pkexec);
            QFile::setPermissions(bin + u"/pkexec"_s, openToAll);
        }
        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        child.setArguments({u"folderNotWritableOffersTheAdministrator"_s});
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"PHONEBOOK_ADMIN_CASE"_s, QString::fromLatin1(c.name));
        environment.insert(u"PHONEBOOK_ADMIN_ASKED"_s, asked);
        environment.insert(u"PATH"_s, bin); // the stand-in alone: no other pkexec is found
        environment.insert(u"HOME"_s, shared.path());
        child.setProcessEnvironment(environment);
        if (::getuid() == 0) {
            child.setChildProcessModifier([] {
                if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                    ::_exit(99);
            });
        }
        child.start();
        QVERIFY(child.waitForFinished(100000));
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 qPrintable(QString::fromLatin1(c.name) + u": "_s
                            + QString::fromUtf8(child.readAllStandardOutput() + child.readAllStandardError())));
    }
}

void UpdateDialogTest::administratorCase(const QString &name)
{
    const QString archive = WriteScriptArchive(m_root->filePath(u"up7.exe"_s), Script::BothTables, edition());
    QFile::setPermissions(program(), QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                         | QFileDevice::ExeOther);
    const QString asked = qEnvironmentVariable("PHONEBOOK_ADMIN_ASKED");
    QFile::remove(asked);
    if (name != u"none")
        Dialogs::QueueQuestionAnswer(QMessageBox::Yes);
    runDialog([&] {
        m_dialog->Edit1().setText(archive);
        QTest::mouseClick(&m_dialog->Button1(), Qt::LeftButton);
    });
    QFile::setPermissions(program(), QFile::permissions(program()) | QFileDevice::WriteOwner);
    const QStringList shown = Dialogs::TakeShownMessages();
    const QString said = shown.join(u" | "_s);
    if (name == u"none") {
        QVERIFY2(!shown.isEmpty() && shown[0].startsWith(u"Нет прав на запись в папку "_s) && shown[0].contains(u"sudo "_s)
                     && shown[0].contains(u"'"_s + archive + u"'"_s),
                 qPrintable(said));
        return;
    }
    const QStringList questions = Dialogs::TakeAskedInputs();
    QCOMPARE(questions.size(), 1);
    QVERIFY(questions[0].startsWith(u"Нет прав на запись в папку "_s));
    const QStringList arguments = QString::fromUtf8(ReadBytes(asked)).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(arguments.value(0), QCoreApplication::applicationDirPath() + u"/phonebook-update"_s);
    QCOMPARE(arguments.mid(1), (QStringList{u"--dir"_s, program(), archive}));
    if (name == u"replaced") {
        QCOMPARE(shown, QStringList{u"Справочник обновлён.\nФизических лиц:  5\nТелефоных номеров юр. лиц:  3"_s});
    } else if (name == u"kept") {
        QCOMPARE(shown, (QStringList{u"В таблице sp09kw_n.dbf нет поля fio."_s, u"Обновление физических лиц не выполнено!!!"_s}));
    } else {
        // pkexec's own reason, then the command to type instead.
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains(name == u"126" ? u"не подтверждены"_s : u"нет агента проверки подлинности"_s), qPrintable(said));
        QVERIFY2(!shown[0].contains(name == u"126" ? u"нет агента"_s : u"не подтверждены"_s), qPrintable(said));
        QVERIFY2(shown[0].contains(u"sudo "_s), qPrintable(said));
    }
}

QTEST_MAIN(UpdateDialogTest)
#include "UpdateDialogTest.moc"
