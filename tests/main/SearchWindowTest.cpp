// The organisation tab and the tool-bar searches in the real main window, on
// a tiny directory; questions are answered and messages read through the
// dialogs' test seam.

#include "Dialogs.h"
#include "FillRoutines.h"
#include "Fixtures.h"
#include "QuickSearchBox.h"
#include "ResultGrid.h"
#include "StartUp.h"
#include "UHelpFull.h"
#include "UMain.h"

#include <QItemSelectionModel>
#include <QLineEdit>
#include <QSet>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace phonebook;
using namespace phonebook::fixtures;

namespace {

// Its first character enciphers to a double quote, so its shown name does not encipher back to the stored one.
const QString OddName = QStringLiteral("КАФЕ r=");
const QString Hospital = QStringLiteral("БОЛЬНИЦА");
constexpr int HospitalNumbers = 60;

std::vector<OrgPhone> Orgs()
{
    std::vector<OrgPhone> rows;
    for (int i = 1; i <= 150; ++i)
        rows.push_back({QString::number(300000 + i), QStringLiteral("ПРЕДПРИЯТИЕ %1").arg(i), {},
                        QStringLiteral("Приёмная"), QStringLiteral("пр. Мира"), QString::number(i)});
    for (int i = 0; i < HospitalNumbers; ++i)
        rows.push_back({QString::number(410000 + i * 7 % HospitalNumbers), Hospital, {},
                        QStringLiteral("Палата %1").arg(i), QStringLiteral("ул. Лесная"), QStringLiteral("3")});
    rows.push_back({QStringLiteral("420000"), OddName, {}, QStringLiteral("Зал"), QStringLiteral("ул. Лесная"),
                    QStringLiteral("5")});
    return rows;
}

QString TabText(const TFrmMain &main, int index) { return main.TabControl1().tabText(index); }

} // namespace

class SearchWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void orgTabFollowsTheSelection();
    void doubleClicksListTheOrganisationsNumbers();
    void departmentResultCaptionsTheTabAndLeavesNoneSelected();
    void phoneSearchOnTheIndividualsSide();
    void phoneSearchOnTheOrganisationsSideHighlightsTheNumber();
    void surnameSearch();

private:
    std::unique_ptr<TFrmMain> start();
    std::unique_ptr<QTemporaryDir> m_dir;
};

void SearchWindowTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    WritePersons(m_dir->path(), NumberedPersons(250));
    WriteOrgPhones(m_dir->path(), Orgs());
    Dialogs::SetScripted(true);
}

void SearchWindowTest::cleanup()
{
    Dialogs::SetScripted(false);
    m_dir.reset();
}

std::unique_ptr<TFrmMain> SearchWindowTest::start()
{
    auto main = std::make_unique<TFrmMain>(ProgramPaths{m_dir->path(), QStringLiteral(PHONEBOOK_HELP_DIR)});
    main->WaitForOrgList();
    CreateRemainingWindows(*main);
    main->resize(900, 600);
    main->show();
    if (!QTest::qWaitForWindowExposed(main.get()))
        return nullptr;
    main->activateWindow();
    return main;
}

void SearchWindowTest::orgTabFollowsTheSelection()
{
    auto main = start();
    QVERIFY(main);
    QTest::keyClick(main.get(), Qt::Key_W, Qt::ControlModifier);
    ResultGrid &list = main->SGFullPred();
    QTRY_COMPARE(QApplication::focusWidget(), &list);
    QCOMPARE(list.RowCount(), 153); // 152 organisations: the rows after 100 load when painted
    for (int row = 2; row <= 5; ++row) {
        QTest::keyClick(&list, Qt::Key_Down);
        QCOMPARE(list.Row(), row);
        QCOMPARE(main->TabControl1().count(), 3);
        QCOMPARE(TabText(*main, 2), list.Cells(1, row));
    }

    // A row not loaded yet is loaded and captions the tab; the dataset stands on it.
    QVERIFY(!list.IsRowLoaded(140));
    list.SetCurrentCell(1, 140);
    QVERIFY(list.IsRowLoaded(140));
    QCOMPARE(TabText(*main, 2), list.Cells(1, 140));
    QCOMPARE(main->QFullPred().RecNo(), 140);
    QCOMPARE(main->TabControl1().count(), 3);

    // The tab names the organisation of the row even when its shown name
    // does not encipher back to the stored one.
    const auto source = list.Source();
    int odd = 0;
    for (int row = 0; row < source->rowCount() && !odd; ++row) {
        if (source->text(row, 0) == EncodeText(OddName, CipherKey))
            odd = row + 1;
    }
    QVERIFY(odd > 0);
    list.SetCurrentCell(1, odd);
    QCOMPARE(TabText(*main, 2), DecodeText(EncodeText(OddName, CipherKey), CipherKey));
    QTest::mouseClick(&main->TabControl1(), Qt::LeftButton, {}, main->TabControl1().tabRect(2).center());
    QCOMPARE(main->TabIndex(), 2);
    QCOMPARE(main->SGTemp().Layout(), GridLayout::OrgPhones);
    QCOMPARE(main->SGTemp().RowCount(), 2);
    QCOMPARE(main->SGTemp().Cells(1, 1), QStringLiteral("  420000"));
    QCOMPARE(main->SGTemp().HelpContext(), 4);
    QCOMPARE(QApplication::focusWidget(), &main->SGTemp());
}

void SearchWindowTest::doubleClicksListTheOrganisationsNumbers()
{
    auto main = start();
    QVERIFY(main);
    QTest::keyClick(main.get(), Qt::Key_W, Qt::ControlModifier);
    ResultGrid &list = main->SGFullPred();
    list.SetCurrentCell(1, 3);
    const QString name = list.Cells(1, 3);
    emit list.GridDoubleClicked();
    QCOMPARE(main->TabIndex(), 2);
    QCOMPARE(TabText(*main, 2), name);
    QVERIFY(list.isHidden());
    ResultGrid &numbers = main->SGTemp();
    QVERIFY(!numbers.isHidden());
    QCOMPARE(numbers.Layout(), GridLayout::OrgPhones);
    QCOMPARE(numbers.Cells(1, 0), QStringLiteral("Номер"));
    const QString sql = main->QTemp().Sql();
    QVERIFY(sql.endsWith(QStringLiteral(" ORDER BY sp09pr_n.naim")));

    // On the organisation tab a double-click does nothing.
    emit numbers.GridDoubleClicked();
    QCOMPARE(main->QTemp().Sql(), sql);
    QCOMPARE(main->TabIndex(), 2);
    QCOMPARE(main->TabControl1().count(), 3);
}

void SearchWindowTest::departmentResultCaptionsTheTabAndLeavesNoneSelected()
{
    auto main = start();
    QVERIFY(main);
    QTest::keyClick(main.get(), Qt::Key_W, Qt::ControlModifier);
    // A result in the department layout on the organisation tab, as the organisation dialog leaves it.
    main->SelectTab(2);
    main->QTemp().Close();
    main->QTemp().ClearSql();
    main->QTemp().AddSql(QStringLiteral("SELECT nt, naim, mesto, street, hous FROM sp09pr_n ORDER BY naim"));
    main->QTemp().Open();
    FillDeptGrid(main->SGTemp(), main->QTemp());
    main->SGTemp().show();
    main->SGFullPred().hide();

    main->SGTemp().SetCurrentCell(1, 70);
    const QString name = main->SGTemp().Cells(2, 70);
    QCOMPARE(main->TabControl1().count(), 3);
    QCOMPARE(TabText(*main, 2), name);
    QCOMPARE(main->TabIndex(), -1);
    QCOMPARE(main->QTemp().RecNo(), 70);
    // The user lists that organisation's numbers by selecting its tab.
    QTest::mouseClick(&main->TabControl1(), Qt::LeftButton, {}, main->TabControl1().tabRect(2).center());
    QCOMPARE(main->TabIndex(), 2);
    QCOMPARE(main->SGTemp().Layout(), GridLayout::OrgPhones);
    for (int row = 1; row < main->SGTemp().RowCount(); ++row)
        QCOMPARE(DecodeText(main->QTemp().Source()->text(row - 1, 5), CipherKey), name);
}

void SearchWindowTest::phoneSearchOnTheIndividualsSide()
{
    auto main = start();
    QVERIFY(main);
    ResultGrid &result = main->SGTemp();
    Dialogs::QueueInputAnswer(QStringLiteral("2001-0"));
    QTest::keyClick(main.get(), Qt::Key_T, Qt::ControlModifier); // the key of SpeedButton1 (an animated click)
    QTRY_VERIFY(!result.isHidden());
    QCOMPARE(Dialogs::TakeAskedInputs(), QStringList{QStringLiteral("Введите номер телефона")});
    QVERIFY(!result.isHidden());
    QVERIFY(main->SGFullFiz().isHidden());
    QCOMPARE(result.RowCount(), 11); // 200100 to 200109
    QCOMPARE(result.HelpContext(), 1);
    QCOMPARE(QApplication::focusWidget(), &result);
    // The status bar counts the rows and says what was searched.
    QCOMPARE(main->StatusText(2), QStringLiteral("Найдено: 10"));
    QCOMPARE(main->QuickSearch().Note(), QStringLiteral("Поиск по номеру: 20010"));

    Dialogs::QueueInputAnswer(QStringLiteral("%"));
    main->SpeedButton(1).click();
    QCOMPARE(result.RowCount(), 251);
    QVERIFY(!result.IsRowLoaded(150)); // more than 200 rows: paged
    QCOMPARE(main->StatusText(2), QStringLiteral("Найдено: 250"));

    Dialogs::QueueInputAnswer(QStringLiteral("9"));
    main->SpeedButton(1).click();
    QCOMPARE(Dialogs::TakeShownMessages(), QStringList{QStringLiteral("Указанный телефон не найден!!!")});
    QCOMPARE(result.RowCount(), 251); // what was shown stays
    QCOMPARE(main->StatusText(2), QStringLiteral("Найдено: 250"));

    // The full list again: neither the count nor the note stays.
    QTest::keyClick(main.get(), Qt::Key_Q, Qt::ControlModifier);
    QCOMPARE(main->StatusText(2), QString());
    QCOMPARE(main->QuickSearch().Note(), QString());

    // Cancelled: nothing happens.
    const QString sql = main->QTemp().Sql();
    main->SpeedButton(1).click();
    QCOMPARE(main->QTemp().Sql(), sql);
    QCOMPARE(Dialogs::TakeShownMessages(), QStringList());
}

void SearchWindowTest::phoneSearchOnTheOrganisationsSideHighlightsTheNumber()
{
    auto main = start();
    QVERIFY(main);
    QTest::keyClick(main.get(), Qt::Key_W, Qt::ControlModifier);
    Dialogs::QueueInputAnswer(QStringLiteral("41-00-45"));
    main->SpeedButton(1).click();
    ResultGrid &numbers = main->SGTemp();
    QCOMPARE(numbers.RowCount(), HospitalNumbers + 1);
    QCOMPARE(main->TabIndex(), 2);
    QCOMPARE(main->TabControl1().count(), 3);
    QCOMPARE(TabText(*main, 2), Hospital);
    QCOMPARE(numbers.HelpContext(), 4);
    const int row = numbers.Row();
    QCOMPARE(numbers.Cells(1, row), QStringLiteral("  410045"));
    QCOMPARE(main->QTemp().RecNo(), row);
    // The selection is that row across the four data columns, and it is in view.
    const QModelIndexList selected = numbers.selectionModel()->selectedIndexes();
    QCOMPARE(selected.size(), 4);
    QSet<int> columns;
    for (const QModelIndex &index : selected) {
        QCOMPARE(index.row() + 1, row);
        columns.insert(index.column());
    }
    QCOMPARE(columns, (QSet<int>{0, 1, 2, 3}));
    QVERIFY(numbers.viewport()->rect().intersects(numbers.visualRect(numbers.model()->index(row - 1, 0))));

    // The button does nothing on the organisation tab.
    main->SpeedButton(1).click();
    QCOMPARE(Dialogs::TakeAskedInputs().size(), 1);

    // An unknown number: the message, and back on the organisations tab's list.
    QTest::mouseClick(&main->TabControl1(), Qt::LeftButton, {}, main->TabControl1().tabRect(1).center());
    Dialogs::QueueInputAnswer(QStringLiteral("410"));
    main->SpeedButton(1).click();
    QCOMPARE(Dialogs::TakeShownMessages(), QStringList{QStringLiteral("Указанный телефон не найден!!!")});
    QCOMPARE(main->TabIndex(), 1);
    QVERIFY(!main->SGFullPred().isHidden());
}

void SearchWindowTest::surnameSearch()
{
    auto main = start();
    QVERIFY(main);
    Dialogs::QueueInputAnswer(QStringLiteral("абонент 1"));
    QTest::keyClick(main.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier); // the key of SpeedButton2 (an animated click)
    QTRY_VERIFY(!main->SGTemp().isHidden());
    QCOMPARE(Dialogs::TakeAskedInputs(), QStringList{QStringLiteral("Введите фамилию")});
    QCOMPARE(main->Edit1().text(), QStringLiteral("АБОНЕНТ 1"));
    ResultGrid &result = main->SGTemp();
    QCOMPARE(result.RowCount(), 112); // 1, 10 to 19, 100 to 199
    QCOMPARE(result.HelpContext(), 2);
    for (int row = 1; row < result.RowCount(); ++row)
        QVERIFY(result.Cells(2, row).startsWith(QStringLiteral("АБОНЕНТ 1")));
    QCOMPARE(main->StatusText(2), QStringLiteral("Найдено: 111"));
    QCOMPARE(main->QuickSearch().Note(), QStringLiteral("Поиск по фамилии: АБОНЕНТ 1"));

    Dialogs::QueueInputAnswer(QStringLiteral("Сидоров"));
    main->SpeedButton(2).click();
    QCOMPARE(Dialogs::TakeShownMessages(), QStringList{QStringLiteral("Указанный человек не найден!!!")});
    Dialogs::TakeAskedInputs();

    // Not on the organisations side.
    QTest::keyClick(main.get(), Qt::Key_W, Qt::ControlModifier);
    main->SpeedButton(2).click();
    QCOMPARE(Dialogs::TakeAskedInputs(), QStringList());
}

QTEST_MAIN(SearchWindowTest)
#include "SearchWindowTest.moc"
