// The update dialog on the main window, driven as a user would: the menu item,
// the browse button, "Обновить", the messages, the new counts; and a new
// edition copied into the folder by hand while the program runs.

#include "Dialogs.h"
#include "TableFixtures.h"
#include "UMain.h"
#include "UUpdate.h"
#include "ResultGrid.h"
#include "UpdateFixtures.h"
#include "UpdateWindow.h"

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
    m_dialog = CreateUpdateWindow(*m_main);
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
    m_main->ShowOrgsSide(true);
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
    QCOMPARE(Dialogs::TakeShownMessages(), QStringList());
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

QTEST_MAIN(UpdateDialogTest)
#include "UpdateDialogTest.moc"
