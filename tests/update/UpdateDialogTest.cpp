// The update dialog on the main window, driven as a user would: the menu item,
// the browse button, "Обновить", the messages, the new counts; and a new
// edition copied into the folder by hand while the program runs.

#include "AppInfo.h"
#include "Dialogs.h"
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

#include <functional>
#include <sys/fsuid.h>
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
        QTimer::singleShot(300, m_dialog, [this] { QTest::mouseClick(&m_dialog->Button1(), Qt::LeftButton); });
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

    // A damaged copy is not loaded: the lists keep what they showed.
    WriteBytes(QDir(program()).filePath(u"sp09kw_n.dbf"_s), QByteArray(100, 'x'));
    QTest::qWait(2000);
    QCOMPARE(reloaded.size(), 1);
    QCOMPARE(m_main->SGFullFiz().RowCount(), 1 + 12);
    QCOMPARE(Dialogs::TakeShownMessages(), QStringList());
}


// A folder this user may not write (as an installed program's folder is):
// the update is offered as administrator through pkexec, here a stand-in that
// notes what it was asked to run; without pkexec the message gives the command.
void UpdateDialogTest::folderNotWritableOffersTheAdministrator()
{
    const QString archive = WriteScriptArchive(m_root->filePath(u"up7.exe"_s), Script::BothTables, edition());
    const QString bin = m_root->filePath(u"bin"_s);
    QDir().mkpath(bin);
    const QString asked = m_root->filePath(u"asked.txt"_s);
    WriteBytes(bin + u"/pkexec"_s, QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1'\n").arg(asked).toUtf8());
    // Everything but the program's folder is open to the ordinary user.
    const auto everyone = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther;
    const auto runnable = everyone | QFileDevice::ExeOwner | QFileDevice::ExeOther;
    QFile::setPermissions(bin + u"/pkexec"_s, runnable);
    QFile::setPermissions(bin, runnable);
    QFile::setPermissions(m_root->path(), runnable);
    QFile::setPermissions(archive, runnable);
    for (const QString &table : {u"sp09kw_n.dbf"_s, u"sp09pr_n.dbf"_s})
        QFile::setPermissions(QDir(program()).filePath(table), everyone);
    QFile::setPermissions(program(), QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                         | QFileDevice::ExeOther);
    const QByteArray path = qgetenv("PATH");
    const auto clickAsOrdinaryUser = [&] {
        m_dialog->Edit1().setText(archive);
        // Root may write anywhere: the click is made with an ordinary user's file rights.
        const bool root = ::getuid() == 0;
        if (root) {
            ::setfsgid(65534);
            ::setfsuid(65534);
        }
        QTest::mouseClick(&m_dialog->Button1(), Qt::LeftButton);
        if (root) {
            ::setfsuid(0);
            ::setfsgid(0);
        }
    };

    qputenv("PATH", bin.toUtf8());
    Dialogs::QueueQuestionAnswer(QMessageBox::Yes);
    runDialog(clickAsOrdinaryUser);
    const QStringList questions = Dialogs::TakeAskedInputs();
    QCOMPARE(questions.size(), 1);
    QVERIFY(questions[0].startsWith(u"Нет прав на запись в папку "_s));
    QCOMPARE(QString::fromUtf8(ReadBytes(asked)).split(u'\n', Qt::SkipEmptyParts).mid(1),
             (QStringList{u"--dir"_s, program(), archive}));
    QVERIFY(QString::fromUtf8(ReadBytes(asked)).startsWith(QCoreApplication::applicationDirPath() + u"/phonebook-update\n"_s));
    QCOMPARE(Dialogs::TakeShownMessages().value(0), u"Справочник обновлён.\nФизических лиц:  5\nТелефоных номеров юр. лиц:  3"_s);

    qputenv("PATH", m_root->filePath(u"nowhere"_s).toUtf8());
    runDialog(clickAsOrdinaryUser);
    qputenv("PATH", path);
    const QStringList shown = Dialogs::TakeShownMessages();
    QVERIFY2(!shown.isEmpty() && shown[0].contains(u"sudo "_s) && shown[0].contains(u"'"_s + archive + u"'"_s),
             qPrintable(shown.join(u" | "_s)));
    QVERIFY(QFile::exists(QDir(program()).filePath(u"sp09kw_n.dbf"_s)));
    QFile::setPermissions(program(), QFile::permissions(program()) | QFileDevice::WriteOwner);
}

QTEST_MAIN(UpdateDialogTest)
#include "UpdateDialogTest.moc"
