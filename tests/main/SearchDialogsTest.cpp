// The address and organisation dialogs driven with the keyboard beside the
// main window, on a small directory.

#include "Dialogs.h"
#include "QuickSearchBox.h"
#include "Fixtures.h"
#include "ResultGrid.h"
#include "StartUp.h"
#include "StreetBox.h"
#include "UAdress.h"
#include "UMain.h"
#include "UPred.h"

#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace phonebook;
using namespace phonebook::fixtures;

class SearchDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void streetBoxFollowsTypingAndArrows();
    void enterSearchesOnceFromEveryControl();
    void addressSearchResetsItsBoxesAndHidesWhenFound();
    void organisationsByAddressRecaptionTheOrganisationTab();
    void streetListsLoadAfterStartAndReloadWithTheDirectory();
    void departmentSearchStaysOpenNameSearchesClose();

private:
    void start();
    void type(QWidget *widget, const QString &text);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TFrmMain> m_main;
    TFrmAdress *m_address = nullptr;
    TFrmPred *m_org = nullptr;
};

void SearchDialogsTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    Dialogs::SetScripted(true);
    WritePersons(m_dir->path(), {
        {QStringLiteral("200001"), QStringLiteral("АНДРЕЕВ А"), QStringLiteral("ул. Мира"), QStringLiteral("5"), QStringLiteral("7")},
        {QStringLiteral("200002"), QStringLiteral("БОРИСОВ Б"), QStringLiteral("ул. Мира"), QStringLiteral("15"), QStringLiteral("7")},
        {QStringLiteral("200003"), QStringLiteral("ВАСИЛЬЕВ В"), QStringLiteral("пр. Ленина"), QStringLiteral("5"), QStringLiteral("1")},
        {QStringLiteral("200004"), QStringLiteral("ГРИГОРЬЕВ Г"), QStringLiteral("ул. Труда"), QStringLiteral("1"), QStringLiteral("1")},
    });
    WriteOrgPhones(m_dir->path(), {
        {QStringLiteral("400001"), QStringLiteral("ЗАВОД ИМ. КИРОВА"), {}, QStringLiteral("ОТДЕЛ КАДРОВ"), QStringLiteral("ул. Мира"), QStringLiteral("15")},
        {QStringLiteral("400002"), QStringLiteral("ЗАВОД ИМ. КИРОВА"), {}, QStringLiteral("Приемная"), QStringLiteral("ул. Мира"), QStringLiteral("15")},
        {QStringLiteral("400003"), QStringLiteral("АПТЕКА № 1"), {}, QStringLiteral("Приемная"), QStringLiteral("ул. Мирная"), QStringLiteral("2")},
    });
}

void SearchDialogsTest::cleanup()
{
    m_main.reset();
    Dialogs::SetScripted(false);
    m_dir.reset();
}

void SearchDialogsTest::start()
{
    m_main = std::make_unique<TFrmMain>(ProgramPaths{m_dir->path(), QString()});
    m_main->WaitForOrgList();
    m_main->resize(900, 600);
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
    AttachSearchDialogs(*m_main);
    m_address = m_main->findChild<TFrmAdress *>(QStringLiteral("FrmAdress"));
    m_org = m_main->findChild<TFrmPred *>(QStringLiteral("FrmPred"));
    QVERIFY(m_address && m_org);
    m_address->WaitForStreets();
    QVERIFY(m_address->StreetsLoaded());
}

void SearchDialogsTest::type(QWidget *widget, const QString &text)
{
    widget->setFocus();
    // Key by key with its text: keyClicks() takes Latin-1 only.
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

void SearchDialogsTest::streetBoxFollowsTypingAndArrows()
{
    start();
    m_main->SpeedButton(3).click();
    QVERIFY(m_address->isVisible());
    StreetBox &box = m_address->ComboBox1();
    QCOMPARE(box.edit()->accessibleName(), QStringLiteral("Улица"));
    QCOMPARE(box.list()->accessibleName(), QStringLiteral("Улица"));
    QCOMPARE(box.streets().size(), 3);
    QCOMPARE(m_address->focusWidget(), box.edit());

    box.edit()->clear();
    type(box.edit(), QStringLiteral("ул. т"));
    QCOMPARE(box.streets().at(box.currentRow()), QStringLiteral("ул. Труда"));
    // The rest of the street is added, selected; Backspace takes it away.
    QCOMPARE(box.text(), QStringLiteral("ул. Труда"));
    QCOMPARE(box.edit()->selectedText(), QStringLiteral("руда"));
    QTest::keyClick(box.edit(), Qt::Key_Backspace);
    QCOMPARE(box.text(), QStringLiteral("ул. Т"));
    type(box.edit(), QStringLiteral("рубная")); // in no list: stays as typed
    QCOMPARE(box.text(), QStringLiteral("ул. Трубная"));
    box.edit()->clear();
    type(box.edit(), QStringLiteral("ул. "));
    QVERIFY(box.text().size() > 4);
    type(box.edit(), QStringLiteral("т")); // typing on narrows
    QCOMPARE(box.text(), QStringLiteral("ул. Труда"));
    box.edit()->clear();
    type(box.edit(), QStringLiteral("ул. т"));
    // The arrows in the edit walk the list and fill the edit.
    QTest::keyClick(box.edit(), Qt::Key_Up);
    QCOMPARE(box.text(), box.streets().at(box.currentRow()));
    const int row = box.currentRow();
    QTest::keyClick(box.edit(), Qt::Key_Down);
    QCOMPARE(box.currentRow(), std::min(row + 1, 2));
    QCOMPARE(m_address->focusWidget(), box.edit());
}

void SearchDialogsTest::enterSearchesOnceFromEveryControl()
{
    start();
    m_main->SpeedButton(3).click();
    Dialogs::TakeShownMessages();
    StreetBox &box = m_address->ComboBox1();
    // A street nobody lives on: every search shows the message once.
    for (QWidget *control : {static_cast<QWidget *>(box.edit()), static_cast<QWidget *>(box.list()),
                             static_cast<QWidget *>(&m_address->Edit1()), static_cast<QWidget *>(&m_address->Edit2()),
                             static_cast<QWidget *>(&m_address->Button1())}) {
        box.setText(QStringLiteral("ул. Нет"));
        control->setFocus();
        QTest::keyClick(control, Qt::Key_Return);
        QCOMPARE(Dialogs::TakeShownMessages(), QStringList{QStringLiteral("Такого адреса не найдено!!!")});
        QVERIFY(m_address->isVisible());
    }
    QTest::mouseClick(&m_address->Button1(), Qt::LeftButton);
    QCOMPARE(Dialogs::TakeShownMessages().size(), 1);

    m_main->TabControl1().setCurrentIndex(1);
    QTRY_COMPARE(m_main->TabIndex(), 1);
    m_main->SpeedButton(4).click();
    QVERIFY(m_org->isVisible());
    m_org->Edit1().clear();
    type(&m_org->Edit1(), QStringLiteral("нет такой"));
    QCOMPARE(m_org->Edit1().text(), QStringLiteral("НЕТ ТАКОЙ"));
    QTest::keyClick(&m_org->RadioButton(2), Qt::Key_Enter);
    QCOMPARE(Dialogs::TakeShownMessages(), QStringList{QStringLiteral("Указанная организация не найдена!!!")});
    QVERIFY(!m_org->isVisible()); // a failed name search closes it
}

void SearchDialogsTest::addressSearchResetsItsBoxesAndHidesWhenFound()
{
    start();
    m_main->SpeedButton(3).click();
    StreetBox &box = m_address->ComboBox1();
    QCOMPARE(box.text(), QStringLiteral("ул."));
    box.setText(QStringLiteral("ул. Мира"));
    m_address->ComboBox2().setText(QStringLiteral("ул. Ми"));
    type(&m_address->Edit1(), QStringLiteral("1"));
    type(&m_address->Edit2(), QStringLiteral("7"));
    QTest::keyClick(&m_address->Edit2(), Qt::Key_Return);
    // House 1 is not house 15.
    QCOMPARE(Dialogs::TakeShownMessages().size(), 1);
    QCOMPARE(box.text(), QStringLiteral("ул."));
    QVERIFY(m_address->Edit1().text().isEmpty());
    QCOMPARE(m_address->Edit2().text(), QStringLiteral("7"));
    QCOMPARE(m_address->ComboBox2().text(), QStringLiteral("ул. Ми"));

    // Enter searches the street the typing completed to.
    box.edit()->clear();
    type(box.edit(), QStringLiteral("ул. Мир"));
    QCOMPARE(box.text(), QStringLiteral("ул. Мира"));
    QTest::keyClick(box.edit(), Qt::Key_Return);
    QVERIFY(Dialogs::TakeShownMessages().isEmpty());
    QVERIFY(!m_address->isVisible());
    QVERIFY(m_main->SGTemp().isVisible());
    QCOMPARE(m_main->SGTemp().RowCount(), 3); // flat 7 in houses 5 and 15
    QCOMPARE(m_main->SGTemp().HelpContext(), 6);
    QCOMPARE(m_main->StatusText(2), QStringLiteral("Найдено: 2"));
    QCOMPARE(m_main->QuickSearch().Note(), QStringLiteral("Поиск по адресу: ул. Мира, кв. 7"));
    QCOMPARE(box.text(), QStringLiteral("ул."));
}

void SearchDialogsTest::organisationsByAddressRecaptionTheOrganisationTab()
{
    start();
    m_main->TabControl1().setCurrentIndex(1);
    QTRY_COMPARE(m_main->TabIndex(), 1);
    m_main->SpeedButton(5).click();
    QVERIFY(m_address->ComboBox2().isVisible());
    QVERIFY(!m_address->ComboBox1().isVisible());
    QCOMPARE(m_address->ComboBox2().streets().size(), 2);
    m_address->ComboBox2().setText(QStringLiteral("ул. Мирн"));
    QTest::keyClick(&m_address->Button1(), Qt::Key_Return);
    QVERIFY(!m_address->isVisible());
    QCOMPARE(m_main->SGTemp().RowCount(), 2);
    QCOMPARE(m_main->TabControl1().count(), 3);
    QCOMPARE(m_main->TabControl1().tabText(2), QStringLiteral("АПТЕКА № 1"));
    QCOMPARE(m_main->TabIndex(), 1);
}

void SearchDialogsTest::streetListsLoadAfterStartAndReloadWithTheDirectory()
{
    start();
    StreetBox &box = m_address->ComboBox1();
    QCOMPARE(box.streets().size(), 3);
    // A new edition: the lists follow the tables the main window loads, built
    // in the background while the dialog is open and typed into.
    WritePersons(m_dir->path(), {{QStringLiteral("200009"), QStringLiteral("ЖУКОВ Ж"), QStringLiteral("ш. Новое"),
                                  QStringLiteral("1"), QStringLiteral("1")},
                                 {QStringLiteral("200010"), QStringLiteral("ЗУЕВ З"), QStringLiteral("ш. Старое"),
                                  QStringLiteral("1"), QStringLiteral("1")}});
    m_main->LoadDirectory(nullptr);
    m_main->SpeedButton(3).click();
    QVERIFY(!m_address->StreetsLoaded());
    QCOMPARE(m_address->cursor().shape(), Qt::BusyCursor);
    QVERIFY(box.loading());
    QCOMPARE(box.list()->accessibleDescription(), QStringLiteral("Список улиц загружается…"));
    QCOMPARE(box.streets().size(), 3); // the old list until the new one is whole
    box.edit()->clear();
    type(box.edit(), QStringLiteral("ш. с"));

    QSignalSpy ready(m_address, &TFrmAdress::StreetsReady);
    QVERIFY(ready.wait());
    QVERIFY(m_address->StreetsLoaded());
    QVERIFY(!box.loading());
    QVERIFY(box.list()->accessibleDescription().isEmpty());
    QCOMPARE(m_address->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(box.streets(), (QStringList{QStringLiteral("ш. Новое"), QStringLiteral("ш. Старое")}));
    QCOMPARE(box.currentRow(), 1); // what was typed meanwhile is found in the new list
    QCOMPARE(m_address->ComboBox2().streets().size(), 2);
}

void SearchDialogsTest::departmentSearchStaysOpenNameSearchesClose()
{
    start();
    m_main->TabControl1().setCurrentIndex(1);
    QTRY_COMPARE(m_main->TabIndex(), 1);
    m_main->SpeedButton(4).click();
    m_org->RadioButton(3).setChecked(true);
    m_org->Edit1().setText(QStringLiteral("КАДРОВ"));
    QTest::keyClick(&m_org->Edit1(), Qt::Key_Return);
    QVERIFY(Dialogs::TakeShownMessages().isEmpty());
    QVERIFY(m_org->isVisible());
    QCOMPARE(m_main->TabIndex(), 2);
    QCOMPARE(m_main->SGTemp().RowCount(), 2);
    QCOMPARE(m_main->SGTemp().HelpContext(), 5);
    QCOMPARE(m_main->StatusText(2), QStringLiteral("Найдено: 1"));
    QCOMPARE(m_main->QuickSearch().Note(), QStringLiteral("Поиск по отделу: КАДРОВ"));
    // Ordinary case in the table, upper case in the box.
    m_org->Edit1().setText(QStringLiteral("ПРИЕМ"));
    QTest::keyClick(&m_org->Button1(), Qt::Key_Return);
    QCOMPARE(m_main->SGTemp().RowCount(), 3);
    QVERIFY(m_org->isVisible());

    // A name search from there lands on the organisations tab, captioned anew.
    m_org->RadioButton(1).setChecked(true);
    m_org->Edit1().setText(QStringLiteral("АПТЕКА"));
    QTest::mouseClick(&m_org->Button1(), Qt::LeftButton);
    QVERIFY(!m_org->isVisible());
    QCOMPARE(m_main->TabIndex(), 1);
    QCOMPARE(m_main->TabControl1().count(), 3);
    QCOMPARE(m_main->TabControl1().tabText(2), QStringLiteral("АПТЕКА № 1"));
    QCOMPARE(m_main->SGTemp().RowCount(), 2);

    // A department nobody has closes the dialog with the message.
    m_main->SpeedButton(4).click();
    m_org->RadioButton(3).setChecked(true);
    m_org->Edit1().setText(QStringLiteral("СКЛАД"));
    QTest::keyClick(&m_org->Edit1(), Qt::Key_Return);
    QCOMPARE(Dialogs::TakeShownMessages(), QStringList{QStringLiteral("Указанная организация не найдена!!!")});
    QVERIFY(!m_org->isVisible());
}

QTEST_MAIN(SearchDialogsTest)
#include "SearchDialogsTest.moc"
