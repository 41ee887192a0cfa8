#include "DatabaseError.h"
#include "DesignFont.h"
#include "FillRoutines.h"
#include "GridFakes.h"
#include "GridLayouts.h"
#include "GridFiller.h"
#include "GridTestAccess.h"
#include "ResultGrid.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QApplication>
#include <QProgressBar>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolTip>
#include <QHelpEvent>

#include <functional>

#include <gtest/gtest.h>

using namespace phonebook;
using namespace phonebook::testing;

namespace {

// A grid as the main window shows it: visible, of a realistic size.
struct ShownGrid {
    ResultGrid grid;
    ShownGrid()
    {
        grid.resize(800, 600);
        grid.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&grid));
    }
};

void settle();

// A shown grid filled page by page with `rows` individuals, and painted.
struct PagedPersons : ShownGrid {
    std::unique_ptr<FakeDataset> data;
    explicit PagedPersons(int rows)
        : data(openFake(personNames(), personRows(rows)))
    {
        FillPersonGridPaged(grid, *data);
        settle();
    }
};

// Lets the grid paint what scrolling exposed.
void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

void scrollTo(ResultGrid &grid, int value)
{
    grid.verticalScrollBar()->setValue(value);
    settle();
}

QStringList rowText(const ResultGrid &grid, int row)
{
    QStringList cells;
    for (int c = 1; c < grid.ColCount(); ++c)
        cells.append(grid.Cells(c, row));
    return cells;
}

// A row of personRows() as the grid shows it.
QStringList personText(int record)
{
    QStringList row = personRows(record).back();
    for (QString &value : row)
        value = shown(value);
    return row;
}

// A font small enough for every text the layouts' widths were chosen for.
QFont smallFont()
{
    QFont font = QApplication::font();
    font.setPixelSize(7);
    return font;
}

} // namespace

TEST(GridLayouts, HeadingsWidthsAndColumnCounts)
{
    EXPECT_EQ(WideColumnWidth(640), 350);
    EXPECT_EQ(WideColumnWidth(639), 512);
    EXPECT_EQ(WideColumnWidth(641), 512);
    EXPECT_EQ(WideColumnWidth(1920), 512);

    struct Case {
        GridLayout layout;
        QStringList names;
        int extra;
        QStringList headings;
        std::vector<int> widths;
        std::function<void(ResultGrid &, Dataset &)> fill;
    };
    const QStringList orgNames{u"naim"_qs, u"street"_qs, u"hous"_qs};
    const QStringList phoneNames{u"nt"_qs, u"mesto"_qs, u"street"_qs, u"hous"_qs, u"knaim"_qs, u"naim"_qs};
    const QStringList deptNames{u"nt"_qs, u"naim"_qs, u"mesto"_qs, u"street"_qs, u"hous"_qs};
    const std::vector<Case> cases{
        {GridLayout::Organisations, orgNames, 0, {u"Организация"_qs, u"Улица"_qs, u"Дом"_qs}, {350, 200, 50},
         FillOrgGrid},
        {GridLayout::Organisations, orgNames, 0, {u"Организация"_qs, u"Улица"_qs, u"Дом"_qs}, {350, 200, 50},
         [](ResultGrid &g, Dataset &d) { FillOrgGridPaged(g, d); }},
        {GridLayout::OrgPhones, phoneNames, 0, {u"Номер"_qs, u"Отдел"_qs, u"Улица"_qs, u"Дом"_qs},
         {55, 250, 200, 50}, FillOrgPhonesGrid},
        {GridLayout::Departments, deptNames, 0,
         {u"№ тел."_qs, u"Организация"_qs, u"Отдел"_qs, u"Улица"_qs, u"Дом"_qs}, {60, 350, 200, 200, 50},
         FillDeptGrid},
        {GridLayout::Persons, personNames(), 0, {u"Номер"_qs, u"Ф. И. О."_qs, u"Улица"_qs, u"Дом"_qs, u"Кв."_qs},
         {55, 250, 150, 50, 50}, FillPersonGrid},
        // The full list of individuals: the table's extra fields give unheaded, empty columns.
        {GridLayout::Persons, personNames(3), 3,
         {u"Номер"_qs, u"Ф. И. О."_qs, u"Улица"_qs, u"Дом"_qs, u"Кв."_qs, {}, {}, {}}, {55, 250, 150, 50, 50},
         [](ResultGrid &g, Dataset &d) { FillPersonGridPaged(g, d); }},
    };

    for (const Case &c : cases) {
        std::vector<QStringList> rows;
        for (int r = 1; r <= 3; ++r) {
            QStringList row;
            for (const QString &name : c.names)
                row.append(QStringLiteral("%1 %2").arg(name.toUpper()).arg(r));
            rows.push_back(row);
        }
        auto data = openFake(c.names, rows);
        ResultGrid grid;
        grid.setFont(smallFont());
        grid.SetWideColumnWidth(WideColumnWidth(640));
        c.fill(grid, *data);
        SCOPED_TRACE(c.headings.join(u'|').toStdString());

        EXPECT_EQ(grid.Layout(), c.layout);
        EXPECT_EQ(grid.RowCount(), 4);
        ASSERT_EQ(grid.ColCount(), c.headings.size() + 1);
        EXPECT_EQ(grid.Cells(0, 0), QString());
        for (int col = 1; col < grid.ColCount(); ++col)
            EXPECT_EQ(grid.Cells(col, 0), c.headings.at(col - 1)) << col;
        for (size_t col = 0; col < c.widths.size(); ++col)
            EXPECT_EQ(grid.ColWidth(static_cast<int>(col) + 1), c.widths[col]) << col;

        // Marker column: 10 pixels, ">" in row 1 only.
        EXPECT_EQ(grid.ColWidth(0), MarkerColumnWidth);
        EXPECT_EQ(grid.Cells(0, 1), u">"_qs);
        EXPECT_EQ(grid.Cells(0, 2), QString());
        EXPECT_EQ(grid.rowHeight(0), GridRowHeight);

        // The layout's fields, in its order; nothing in the unheaded columns.
        const std::vector<QString> fields = LayoutFields(c.layout);
        for (int r = 1; r <= 3; ++r) {
            for (size_t f = 0; f < fields.size(); ++f)
                EXPECT_EQ(grid.Cells(static_cast<int>(f) + 1, r),
                          shown(QStringLiteral("%1 %2").arg(fields[f].toUpper()).arg(r)));
            for (int col = static_cast<int>(fields.size()) + 1; col < grid.ColCount(); ++col)
                EXPECT_EQ(grid.Cells(col, r), QString());
        }
        EXPECT_EQ(grid.Cells(1, 4), QString()); // past the last row
    }

    // "Wide" follows the screen unless a width is given (grown with a font larger than the design's).
    auto data = openFake({u"naim"_qs, u"street"_qs, u"hous"_qs}, orgRows(2));
    ResultGrid grid;
    FillOrgGrid(grid, *data);
    EXPECT_EQ(grid.ColWidth(1), static_cast<int>(WideColumnWidth(QGuiApplication::primaryScreen()->geometry().width())
                                                 * FontScale(grid.font(), grid)));
}

TEST(GridLayouts, ColumnsGrowOnlyAsMuchAsTheirWidestNumberNeeds)
{
    struct Case {
        QStringList names;
        std::function<void(ResultGrid &, Dataset &)> fill;
    };
    const std::vector<Case> cases = {
        {{u"naim"_qs, u"street"_qs, u"hous"_qs}, FillOrgGrid},
        {{u"nt"_qs, u"mesto"_qs, u"street"_qs, u"hous"_qs}, FillOrgPhonesGrid},
        {{u"nt"_qs, u"naim"_qs, u"mesto"_qs, u"street"_qs, u"hous"_qs}, FillDeptGrid},
        {personNames(), FillPersonGrid},
    };
    for (const int pixels : {7, 13, 24}) {
        QFont font = QApplication::font();
        font.setPixelSize(pixels);
        const QFontMetrics metrics(font);
        int digit = 0;
        for (char c = '0'; c <= '9'; ++c)
            digit = std::max(digit, metrics.horizontalAdvance(QLatin1Char(c)));
        for (const Case &c : cases) {
            auto data = openFake(c.names, {QStringList(c.names.size(), u"1"_qs)});
            ResultGrid grid;
            grid.setFont(font);
            grid.SetWideColumnWidth(WideColumnWidth(1920));
            c.fill(grid, *data);
            const std::vector<LayoutColumn> columns = LayoutColumns(grid.Layout(), WideColumnWidth(1920));
            SCOPED_TRACE(QStringLiteral("%1 px, %2").arg(pixels).arg(c.names.join(u',')).toStdString());
            // The given widths are for the design font: a larger one widens them alike.
            const qreal scale = FontScale(font, grid);
            EXPECT_EQ(scale > 1, pixels > 11);
            for (size_t i = 0; i < columns.size(); ++i) {
                const LayoutColumn &column = columns[i];
                const int given = static_cast<int>(column.width * scale);
                const int width = grid.ColWidth(static_cast<int>(i) + 1);
                const int needed = std::max(metrics.horizontalAdvance(column.heading), digit * column.digits) + 2 * CellPadding;
                // Never narrower than given nor than its widest value; wider only as that needs.
                EXPECT_GE(width, given) << i;
                EXPECT_GE(width, needed) << i;
                if (width > given) {
                    EXPECT_LE(width, needed + 2) << i;
                }
                if (pixels == 7) {
                    EXPECT_EQ(width, column.width) << i; // the given widths stand where they fit
                }
            }
            // The nine characters of a number, whatever the font.
            if (c.names.first() == u"nt"_qs) {
                EXPECT_GE(grid.ColWidth(1), 9 * digit + 2 * CellPadding);
            }
        }
    }
}

TEST(ResultGrid, LongValuesEndInAnEllipsisWithTheWholeValueInATip)
{
    ShownGrid window;
    ResultGrid &grid = window.grid;
    grid.setFont(smallFont());
    const QString longName = u"ГРИГОРЬЕВА-ЛЕСНАЯ АЛЕКСАНДРА ВАЛЕНТИНОВНА ИЗ ОЧЕНЬ ДЛИННОЙ ФАМИЛИИ И ЕЩЁ ДЛИННЕЕ"_qs;
    auto data = openFake(personNames(3), {{u"200001"_qs, longName, u"ул. Мира"_qs, u"5"_qs, u"7"_qs, {}, {}, {}},
                                          {u"200002"_qs, u"ИВАНОВ И"_qs, u"ул. Мира"_qs, u"5"_qs, u"7"_qs, {}, {}, {}}});
    FillPersonGrid(grid, *data);
    settle();
    ASSERT_EQ(grid.ColCount(), 9);
    // The table's extra fields have no heading: not shown, and not where Ctrl+End lands.
    for (int c = 6; c <= 8; ++c)
        EXPECT_TRUE(grid.isColumnHidden(c - 1)) << c;
    EXPECT_FALSE(grid.isColumnHidden(4));
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(grid.Col(), 5);

    // The last shown column reaches the edge, and comes back to its own width.
    int used = 0;
    for (int c = 1; c <= 4; ++c)
        used += grid.ColWidth(c);
    EXPECT_EQ(grid.ColWidth(5), grid.viewport()->width() - used);
    grid.resize(200, 300);
    settle();
    EXPECT_EQ(grid.ColWidth(5), 50);

    const auto tipAt = [&grid](int row, int col) {
        QToolTip::hideText();
        EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }));
        const QRect cell = grid.visualRect(grid.model()->index(row - 1, col - 1));
        QHelpEvent help(QEvent::ToolTip, cell.center(), grid.viewport()->mapToGlobal(cell.center()));
        QCoreApplication::sendEvent(grid.viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    grid.resize(800, 300);
    settle();
    EXPECT_EQ(tipAt(1, 2), shown(longName));
    EXPECT_EQ(tipAt(2, 2), QString()); // fits: no tip
    // A screen reader reads the whole value, not what fits.
    EXPECT_EQ(grid.model()->index(0, 1).data(Qt::AccessibleTextRole).toString(), shown(longName));
}

TEST(FillRoutines, WholeFillsWriteEveryRowPagedFillsTheFirstHundred)
{
    ResultGrid grid; // never shown, so nothing pages in
    auto persons = openFake(personNames(), personRows(250));

    FillPersonGrid(grid, *persons);
    EXPECT_EQ(grid.RowCount(), 251);
    EXPECT_EQ(GridTestAccess::loadedRowCount(grid), 250);
    EXPECT_EQ(rowText(grid, 250), personText(250));
    EXPECT_EQ(rowText(grid, 1), personText(1));
    EXPECT_EQ(persons->RecNo(), 250); // advanced through every row

    persons->Close();
    persons->Open();
    FillPersonGridPaged(grid, *persons);
    EXPECT_EQ(grid.RowCount(), 251);
    EXPECT_EQ(GridTestAccess::loadedRowCount(grid), 100);
    EXPECT_TRUE(grid.IsRowLoaded(100));
    EXPECT_EQ(rowText(grid, 100), personText(100));
    // A fresh fill forgets what the previous, longer-loaded content held.
    EXPECT_FALSE(grid.IsRowLoaded(101));
    EXPECT_EQ(grid.Cells(1, 250), QString());
    EXPECT_EQ(persons->RecNo(), 101);

    auto orgs = openFake({u"naim"_qs, u"street"_qs, u"hous"_qs}, orgRows(150));
    FillOrgGridPaged(grid, *orgs);
    EXPECT_EQ(grid.RowCount(), 151);
    EXPECT_EQ(GridTestAccess::loadedRowCount(grid), 100);
    EXPECT_EQ(grid.Cells(1, 100), u"ЗАВОД 100"_qs);
    EXPECT_EQ(grid.Cells(1, 101), QString());
    EXPECT_EQ(orgs->RecNo(), 101);

    // A result shorter than a page: every row, and nothing after it.
    auto few = openFake(personNames(), personRows(30));
    FillPersonGridPaged(grid, *few);
    EXPECT_EQ(grid.RowCount(), 31);
    EXPECT_EQ(GridTestAccess::loadedRowCount(grid), 30);
    EXPECT_EQ(rowText(grid, 30), personText(30));
    EXPECT_EQ(grid.Cells(1, 31), QString());
    EXPECT_EQ(few->RecNo(), 30);

    // The progress bar counts the rows written.
    QProgressBar bar;
    bar.setRange(0, 200);
    bar.setValue(0);
    persons->First();
    FillPersonGridPaged(grid, *persons, &bar);
    EXPECT_EQ(bar.value(), 100);
    orgs->First();
    FillOrgGridPaged(grid, *orgs, &bar);
    EXPECT_EQ(bar.value(), 200);
}

TEST(FillRoutines, IndividualsPagedFillReadsFieldsByName)
{
    // Fields in another order, and extra ones: the grid still shows nt, fio, street, hous, flat.
    const QStringList names{u"FIO"_qs, u"extra"_qs, u"Flat"_qs, u"nt"_qs, u"hous"_qs, u"street"_qs};
    std::vector<QStringList> rows;
    for (const QStringList &p : personRows(300))
        rows.push_back({p[1], u"x"_qs, p[4], p[0], p[3], p[2]});
    auto data = openFake(names, rows);

    ShownGrid shown;
    FillPersonGridPaged(shown.grid, *data);
    EXPECT_EQ(shown.grid.ColCount(), 7);
    EXPECT_EQ(rowText(shown.grid, 7).mid(0, 5), personText(7));
    EXPECT_EQ(shown.grid.Cells(6, 7), QString());
    scrollTo(shown.grid, 200);
    EXPECT_EQ(rowText(shown.grid, 201).mid(0, 5), personText(201));

    // A result without one of the fields cannot be shown in this layout.
    auto missing = openFake({u"nt"_qs, u"fio"_qs, u"street"_qs, u"hous"_qs}, {{u"1"_qs, u"2"_qs, u"3"_qs, u"4"_qs}});
    EXPECT_THROW(FillPersonGridPaged(shown.grid, *missing), DatabaseError);
}

TEST(FillRoutines, EmptyResultIsAnErrorAndLeavesTheGridAlone)
{
    ResultGrid grid;
    auto data = openFake({u"naim"_qs, u"street"_qs, u"hous"_qs}, orgRows(5));
    FillOrgGrid(grid, *data);
    auto empty = openFake(personNames(), {});
    for (const auto &fill : std::vector<std::function<void(ResultGrid &, Dataset &)>>{
             FillOrgGrid, FillOrgPhonesGrid, FillDeptGrid, FillPersonGrid,
             [](ResultGrid &g, Dataset &d) { FillPersonGridPaged(g, d); },
             [](ResultGrid &g, Dataset &d) { FillOrgGridPaged(g, d); }}) {
        EXPECT_THROW(fill(grid, *empty), DatabaseError);
        EXPECT_EQ(grid.RowCount(), 6);
        EXPECT_EQ(grid.Cells(1, 5), u"ЗАВОД 5"_qs);
    }
    // A closed dataset too.
    data->Close();
    EXPECT_THROW(FillOrgGrid(grid, *data), DatabaseError);
}

TEST(Paging, ScrollingRowByRowLoadsTheNextPageAtTheRightRecord)
{
    PagedPersons shown(1000);
    ResultGrid &grid = shown.grid;
    auto &data = shown.data;
    EXPECT_EQ(GridTestAccess::pageLoads(grid), 0); // rows 1 to 100 came with the fill
    const int recNoAfterFill = data->RecNo();

    int value = 0;
    while (!grid.IsRowLoaded(101)) {
        ASSERT_LT(value, 100) << "row 101 never loaded";
        EXPECT_EQ(GridTestAccess::pageLoads(grid), 0);
        scrollTo(grid, ++value);
    }
    EXPECT_EQ(GridTestAccess::pageLoads(grid), 1);
    EXPECT_EQ(rowText(grid, 100), personText(100));
    EXPECT_EQ(rowText(grid, 101), personText(101));
    EXPECT_EQ(rowText(grid, 202), personText(202));
    EXPECT_FALSE(grid.IsRowLoaded(203)); // a page is 102 rows
    EXPECT_EQ(data->RecNo(), recNoAfterFill); // page loads never move the dataset

    // A jump to the end loads one page there; the rows between stay unloaded.
    scrollTo(grid, grid.verticalScrollBar()->maximum());
    EXPECT_EQ(GridTestAccess::pageLoads(grid), 2);
    EXPECT_EQ(rowText(grid, 1000), personText(1000));
    const int top = grid.TopRow();
    EXPECT_GT(top, 900);
    EXPECT_EQ(rowText(grid, top), personText(top));
    EXPECT_FALSE(grid.IsRowLoaded(top - 1));
    EXPECT_FALSE(grid.IsRowLoaded(500));
    EXPECT_EQ(grid.Cells(1, 500), QString());

    // The user moving the dataset (a selection, a search) changes nothing the grid shows.
    data->First();
    scrollTo(grid, 600);
    EXPECT_EQ(rowText(grid, 601), personText(601));
    EXPECT_EQ(data->RecNo(), 1);
}

TEST(Paging, GridPagesInTheLayoutAndResultItWasFilledFrom)
{
    ShownGrid shown;
    ResultGrid &grid = shown.grid;
    // An organisations result in the grid that searches reuse for both sides.
    auto orgs = openFake({u"naim"_qs, u"street"_qs, u"hous"_qs}, orgRows(500));
    FillOrgGridPaged(grid, *orgs);
    scrollTo(grid, 299);
    EXPECT_EQ(grid.TopRow(), 300);
    EXPECT_EQ(rowText(grid, 300), (QStringList{u"ЗАВОД 300"_qs, u"пр.Мира"_qs, u"300"_qs}));
    EXPECT_TRUE(grid.IsRowLoaded(400));
    EXPECT_FALSE(grid.IsRowLoaded(401)); // a page is 101 rows in this layout

    // The dataset is closed and reopened on another statement: the grid keeps
    // the result it was filled from.
    orgs->Close();
    scrollTo(grid, 449);
    EXPECT_EQ(grid.Cells(1, 450), u"ЗАВОД 450"_qs);

    // Filled anew in the individuals layout, it pages in that layout.
    auto persons = openFake(personNames(), personRows(600));
    FillPersonGridPaged(grid, *persons);
    scrollTo(grid, 299);
    EXPECT_EQ(rowText(grid, 300), personText(300));
    EXPECT_TRUE(grid.IsRowLoaded(300 + PersonPageRows - 1));
    EXPECT_FALSE(grid.IsRowLoaded(300 + PersonPageRows));
    // A taller window brings more rows into view: they load without a scroll.
    grid.resize(800, 2400);
    EXPECT_TRUE(QTest::qWaitFor([&grid] { return grid.IsRowLoaded(300 + PersonPageRows + 10); }));

    // Results filled whole never page.
    auto phones = openFake({u"nt"_qs, u"mesto"_qs, u"street"_qs, u"hous"_qs}, orgRows(300));
    FillOrgPhonesGrid(grid, *phones);
    const int reads = phones->fake().reads;
    scrollTo(grid, 250);
    EXPECT_EQ(GridTestAccess::pageLoads(grid), 0);
    EXPECT_EQ(phones->fake().reads, reads);
}

TEST(Paging, TypingAndAccessibilityDoNotLoadRows)
{
    PagedPersons shown(5000);
    ResultGrid &grid = shown.grid;
    grid.setFocus();
    const int loaded = GridTestAccess::loadedRowCount(grid);

    QTest::keyClicks(&grid, u"100999"_qs);
    settle();
    EXPECT_EQ(grid.Row(), 1);
    EXPECT_EQ(GridTestAccess::loadedRowCount(grid), loaded);

    // A screen reader asking for a far cell reads it as it stands.
    QAccessibleInterface *view = QAccessible::queryAccessibleInterface(&grid);
    ASSERT_NE(view, nullptr);
    QAccessibleTableInterface *table = view->tableInterface();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rowCount(), 5000);
    QAccessibleInterface *cell = table->cellAt(3999, 0);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->text(QAccessible::Name), QString());
    QAccessibleInterface *first = table->cellAt(0, 1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->text(QAccessible::Name), u"ИВАНОВ 1"_qs);
    // The marker column is read with its row, its ">" named for what it marks.
    const QList<QAccessibleInterface *> marker = first->tableCellInterface()->rowHeaderCells();
    ASSERT_EQ(marker.size(), 1);
    EXPECT_EQ(marker.first()->text(QAccessible::Name), u">"_qs);
    EXPECT_FALSE(marker.first()->text(QAccessible::Description).isEmpty());
    EXPECT_EQ(GridTestAccess::loadedRowCount(grid), loaded);
    EXPECT_EQ(grid.model()->data(grid.model()->index(1, 1), Qt::AccessibleTextRole).toString(), u"ИВАНОВ 2"_qs);
}

TEST(CurrentCell, FillsPutItOnRowOneExceptTheIndividualsPagedFill)
{
    ShownGrid shown;
    ResultGrid &grid = shown.grid;
    QSignalSpy selected(&grid, &ResultGrid::RowSelected);

    auto persons = openFake(personNames(), personRows(1000));
    FillPersonGridPaged(grid, *persons);
    EXPECT_EQ(grid.Row(), 1);
    EXPECT_EQ(grid.Col(), 1);
    EXPECT_EQ(selected.count(), 0); // fills do not report a selection

    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_Down);
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected.at(0).at(0).toInt(), 2);

    grid.SetCurrentCell(3, 400);
    scrollTo(grid, 390);
    const int top = grid.TopRow();
    EXPECT_EQ(top, 391);

    // Refilled with the individuals paged fill: where it was.
    persons->First();
    FillPersonGridPaged(grid, *persons);
    EXPECT_EQ(grid.Row(), 400);
    EXPECT_EQ(grid.Col(), 3);
    EXPECT_EQ(grid.TopRow(), top);
    settle();
    EXPECT_EQ(rowText(grid, 400), personText(400)); // and what is in view loads

    // A shorter result keeps what still fits.
    auto shorter = openFake(personNames(), personRows(250));
    FillPersonGridPaged(grid, *shorter);
    EXPECT_EQ(grid.Row(), 250);
    EXPECT_EQ(grid.Col(), 3);

    // Every other fill: row 1, column 1, scrolled to the top.
    auto orgs = openFake({u"naim"_qs, u"street"_qs, u"hous"_qs}, orgRows(1000));
    FillOrgGridPaged(grid, *orgs);
    EXPECT_EQ(grid.Row(), 1);
    EXPECT_EQ(grid.Col(), 1);
    EXPECT_EQ(grid.TopRow(), 1);
    grid.SetCurrentCell(2, 700);
    FillOrgGrid(grid, *orgs);
    EXPECT_EQ(grid.Row(), 1);
    EXPECT_EQ(grid.Col(), 1);
    EXPECT_EQ(grid.TopRow(), 1);

    QSignalSpy doubleClicks(&grid, &ResultGrid::GridDoubleClicked);
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, grid.visualRect(grid.model()->index(2, 0)).center());
    EXPECT_EQ(doubleClicks.count(), 1);
    EXPECT_EQ(grid.Row(), 3);
}

TEST(FillRoutines, ResponsiveFillIsNotDisturbedByPaintingOrANewerFill)
{
    ShownGrid shown;
    ResultGrid &grid = shown.grid;
    auto slow = openFake(personNames(), personRows(2000));
    // Slow enough that the fill lets events through many times.
    slow->fake().onRead = [](int) { QThread::usleep(300); };
    int paintsDuringFill = 0;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, &grid, [&] {
        if (GridTestAccess::filling(grid)) {
            grid.viewport()->repaint();
            ++paintsDuringFill;
        }
    });
    ticker.start();
    FillPersonGridPaged(grid, *slow);
    ticker.stop();
    EXPECT_GT(paintsDuringFill, 0);
    EXPECT_EQ(GridTestAccess::pageLoads(grid), 0);
    for (int row = 1; row <= 100; ++row)
        ASSERT_EQ(rowText(grid, row), personText(row)) << row;
    EXPECT_EQ(slow->RecNo(), 101);

    // A search that fills the same grid while the long fill lets events run wins.
    auto orgs = openFake({u"naim"_qs, u"street"_qs, u"hous"_qs}, orgRows(40));
    slow->First();
    QTimer::singleShot(5, &grid, [&] { FillOrgGrid(grid, *orgs); });
    FillPersonGridPaged(grid, *slow);
    EXPECT_EQ(grid.Layout(), GridLayout::Organisations);
    EXPECT_EQ(grid.RowCount(), 41);
    EXPECT_EQ(grid.Cells(1, 40), u"ЗАВОД 40"_qs);
    EXPECT_EQ(grid.Cells(1, 41), QString());
    EXPECT_FALSE(GridTestAccess::filling(grid));
}

TEST(FillRoutines, ASelectionMadeDuringAFillStaysAndAFailedFillReleasesTheGrid)
{
    ShownGrid shown;
    ResultGrid &grid = shown.grid;
    auto slow = openFake({u"naim"_qs, u"street"_qs, u"hous"_qs}, orgRows(300));
    slow->fake().onRead = [](int) { QThread::usleep(300); };
    QSignalSpy selected(&grid, &ResultGrid::RowSelected);
    // The user moves to row 50 while the paged fill lets events run.
    QTimer::singleShot(5, &grid, [&] { grid.SetCurrentCell(1, 50); });
    FillOrgGridPaged(grid, *slow);
    EXPECT_EQ(grid.Row(), 50);
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected.at(0).at(0).toInt(), 50);

    // A fill that fails half-way leaves a grid that still pages.
    auto failing = openFake(personNames(), personRows(500));
    failing->fake().onRead = [](int row) {
        if (row == 40)
            throw DatabaseError(u"read error"_qs);
    };
    EXPECT_THROW(FillPersonGridPaged(grid, *failing), DatabaseError);
    EXPECT_FALSE(GridTestAccess::filling(grid));
    failing->fake().onRead = nullptr;
    grid.LoadPageAt(300);
    EXPECT_TRUE(grid.IsRowLoaded(300));
}

TEST(FillRoutines, AppendWritesTheGivenRowsFromTheDatasetsCurrentRow)
{
    ResultGrid grid;
    auto persons = openFake(personNames(), personRows(500));
    FillPersonGridPaged(grid, *persons);
    persons->First();
    persons->MoveBy(299);
    AppendPersonRows(grid, *persons, 300, 310);
    EXPECT_EQ(rowText(grid, 300), personText(300));
    EXPECT_EQ(rowText(grid, 310), personText(310));
    EXPECT_FALSE(grid.IsRowLoaded(311));
    EXPECT_EQ(persons->RecNo(), 311);

    auto orgs = openFake({u"naim"_qs, u"street"_qs, u"hous"_qs}, orgRows(150));
    FillOrgGridPaged(grid, *orgs);
    AppendOrgRows(grid, *orgs, 101, 400); // clamped at the grid's end
    EXPECT_EQ(grid.Cells(1, 150), u"ЗАВОД 150"_qs);
    EXPECT_EQ(GridTestAccess::loadedRowCount(grid), 150);
}

TEST(GridModel, PassesTheModelTesterThroughFillsAndPageLoads)
{
    ShownGrid shown;
    ResultGrid &grid = shown.grid;
    QAbstractItemModelTester tester(grid.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    auto persons = openFake(personNames(2), personRows(700, 2));
    FillPersonGridPaged(grid, *persons);
    scrollTo(grid, 300);
    grid.LoadPageAt(650);
    auto orgs = openFake({u"naim"_qs, u"street"_qs, u"hous"_qs}, orgRows(3));
    FillOrgGrid(grid, *orgs);
    EXPECT_EQ(grid.model()->rowCount(), 3);
    EXPECT_EQ(grid.model()->headerData(0, Qt::Vertical).toString(), u">"_qs);
    EXPECT_FALSE(grid.model()->flags(grid.model()->index(0, 0)).testFlag(Qt::ItemIsEditable));
}

TEST(GridModel, ShowsEveryValueAsTheResultHoldsItAndReadsARowOnce)
{
    // Text outside the cipher alphabet, and a row whose first value is blank.
    const std::vector<QStringList> rows{
        {u"Straße ✓"_qs, QString(), u"😀 №1"_qs, u"ул. \"Мира\", 5"_qs, u"x"_qs},
        {QString(), u"ä"_qs, u"ул.Садовая"_qs, u"1"_qs, u"2"_qs},
        {CipherAlphabet.toString(), u"Я"_qs, QString(), QString(), QString()},
    };
    auto few = openFake(personNames(), rows);
    ResultGrid grid;
    FillPersonGrid(grid, *few);
    for (int r = 1; r <= 3; ++r) {
        QStringList expected;
        for (const QString &value : rows[static_cast<size_t>(r - 1)])
            expected.append(shown(value));
        EXPECT_EQ(rowText(grid, r), expected) << r;
        EXPECT_TRUE(grid.IsRowLoaded(r)) << r; // loaded whatever its first value
    }

    // A paged list: rows in view are read when they load and never again while
    // they are painted, a row with a blank first value too.
    std::vector<QStringList> many = personRows(600);
    many[250][0].clear();
    ShownGrid shownGrid;
    ResultGrid &paged = shownGrid.grid;
    auto data = openFake(personNames(), many);
    FillPersonGridPaged(paged, *data);
    scrollTo(paged, 249);
    ASSERT_TRUE(paged.IsRowLoaded(251));
    EXPECT_EQ(paged.Cells(1, 251), QString());
    EXPECT_EQ(paged.Cells(2, 251), personText(251).at(1));
    const int loads = GridTestAccess::pageLoads(paged);
    const int reads = data->fake().reads;
    for (int i = 0; i < 3; ++i) {
        paged.viewport()->repaint();
        settle();
    }
    EXPECT_EQ(GridTestAccess::pageLoads(paged), loads);
    EXPECT_EQ(data->fake().reads, reads);

    // The file under the list changes: the rows in view stay as they were.
    data->fake().gone = true;
    data->fake().onRead = [](int) { throw DatabaseError(u"replaced"_qs); };
    paged.viewport()->repaint();
    EXPECT_EQ(rowText(paged, 260), personText(260));
}
