// Copying and saving a grid's rows: the clipboard text, the CSV file, and the
// user's column widths.

#include "ColumnWidths.h"
#include "FillRoutines.h"
#include "GridCopy.h"
#include "GridExport.h"
#include "GridFakes.h"
#include "ResultGrid.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace phonebook;
using namespace phonebook::testing;

namespace {

// A grid filled page by page with `rows` individuals, as the full list is.
struct PagedList {
    std::unique_ptr<FakeDataset> data;
    ResultGrid grid;
    explicit PagedList(int rows)
        : data(openFake(personNames(), personRows(rows)))
    {
        FillPersonGridPaged(grid, *data);
    }
};

// Shows the grid on screen, `width` pixels wide; false when it never appeared.
bool ShowGrid(ResultGrid &grid, int width)
{
    grid.resize(width, 300);
    grid.show();
    return QTest::qWaitForWindowExposed(&grid);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList shownRow(const QStringList &plain)
{
    QStringList row;
    for (const QString &value : plain)
        row.append(shown(value).trimmed());
    return row;
}

void selectCells(ResultGrid &grid, int firstRow, int firstCol, int lastRow, int lastCol)
{
    QAbstractItemModel *model = grid.model();
    grid.selectionModel()->setCurrentIndex(model->index(firstRow - 1, firstCol - 1), QItemSelectionModel::NoUpdate);
    grid.selectionModel()->select(QItemSelection(model->index(firstRow - 1, firstCol - 1),
                                                 model->index(lastRow - 1, lastCol - 1)),
                                  QItemSelectionModel::ClearAndSelect);
}

} // namespace

TEST(Csv, QuotesWhatSpreadsheetsWouldSplitAndNothingElse)
{
    QByteArray out;
    AppendCsvLine(out, {QStringLiteral("ТСЖ \"ПЕГАС\""), QStringLiteral("a;b"), QStringLiteral("plain"), QString(),
                        QStringLiteral("   12"), QStringLiteral("two\nlines"), QStringLiteral("lone\rreturn")});
    EXPECT_EQ(QString::fromUtf8(out),
              QStringLiteral("\"ТСЖ \"\"ПЕГАС\"\"\";\"a;b\";plain;;\"   12\";\"two\nlines\";\"lone\rreturn\"\r\n"));
}

TEST(Csv, TextThatSpreadsheetsWouldComputeStaysText)
{
    QByteArray out;
    AppendCsvLine(out, {QStringLiteral("=1+1"), QStringLiteral("+7 (495) 123-45-67"), QStringLiteral("-5"),
                        QStringLiteral("@SUM(A1)"), QStringLiteral("-ИВАНОВ"), QStringLiteral("+A1"),
                        QStringLiteral("a;=b"), QStringLiteral("=x;y"), QStringLiteral("-"), QStringLiteral("-2+3"),
                        QStringLiteral("12-34-56")});
    EXPECT_EQ(QString::fromUtf8(out), QStringLiteral("'=1+1;+7 (495) 123-45-67;-5;'@SUM(A1);'-ИВАНОВ;'+A1;\"a;=b\";"
                                                     "\"'=x;y\";-;'-2+3;12-34-56\r\n"));
    // Numbers and dates are written as they are, whatever they begin with.
    out.clear();
    AppendCsvLine(out, {QStringLiteral("-1e5"), QStringLiteral("-1e5")}, {true, false});
    EXPECT_EQ(out, QByteArray("-1e5;'-1e5\r\n"));
}

TEST(Clipboard, TabsAndLineBreaksInsideValuesDoNotSplitCells)
{
    EXPECT_EQ(TabSeparatedText({{QStringLiteral("a\tb"), QStringLiteral("c")}, {QStringLiteral("d\ne"), {}}}),
              QStringLiteral("a b\tc\nd e\t"));
}

TEST(Csv, EveryRowOfAPagedResultWithBomAndHeadings)
{
    // Two fields beyond the layout's: the grid has empty columns for them, the file does not.
    auto data = openFake(personNames(2), personRows(1000, 2));
    ResultGrid grid;
    FillPersonGridPaged(grid, *data);
    ASSERT_FALSE(grid.IsRowLoaded(900));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.csv"));
    std::vector<int> progress;
    const CsvOutcome outcome = WriteCsvFile(path, AllGridRows(grid), [&](int written) {
        progress.push_back(written);
        return true;
    });
    ASSERT_TRUE(outcome.written) << outcome.error.toStdString();
    EXPECT_FALSE(grid.IsRowLoaded(900)); // read for the file, not kept in the grid

    const QByteArray bytes = readAll(path);
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 1002); // headings, 1000 rows, and the empty text after the last line end
    EXPECT_EQ(lines[0], QStringLiteral("Номер;Ф. И. О.;Улица;Дом;Кв."));
    ASSERT_EQ(grid.ColCount(), 8);
    EXPECT_EQ(lines[1000], QStringLiteral("101000;ИВАНОВ 1000;ул.Садовая;11;100"));
    EXPECT_EQ(lines[1], QStringLiteral("100001;ИВАНОВ 1;ул.Садовая;2;1"));
}

// The file holds the list shown when the save began, though the grid is
// filled with another list while the save lets events through.
TEST(Csv, AGridFilledAgainDuringTheSaveChangesNothingWritten)
{
    auto first = openFake(personNames(), personRows(2 * CsvProgressStep + 5));
    auto second = openFake(personNames(), std::vector<QStringList>(3, QStringList{QStringLiteral("999999"),
                                                                                  QStringLiteral("ДРУГОЙ")}));
    ResultGrid grid;
    FillPersonGridPaged(grid, *first);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.csv"));
    const CsvOutcome outcome = WriteCsvFile(path, AllGridRows(grid), [&](int written) {
        if (written == CsvProgressStep)
            FillPersonGridPaged(grid, *second);
        return true;
    });
    ASSERT_TRUE(outcome.written) << outcome.error.toStdString();
    EXPECT_EQ(outcome.rows, 2 * CsvProgressStep + 5);
    ASSERT_EQ(grid.RowCount(), 4);
    const QStringList lines = QString::fromUtf8(readAll(path).mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2 * CsvProgressStep + 6);
    EXPECT_EQ(lines[CsvProgressStep + 1], QStringLiteral("108193;ИВАНОВ 8193;ул.Садовая;4;93"));
    EXPECT_EQ(lines.last(), QStringLiteral("116389;ИВАНОВ 16389;ул.Садовая;10;189"));
}

// Rows that could no longer be read (their table file was replaced) are not
// saved as empty ones: the save fails and leaves no file.
TEST(Csv, RowsLostDuringTheSaveFailIt)
{
    PagedList list(2 * CsvProgressStep);
    auto &data = list.data;
    ResultGrid &grid = list.grid;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.csv"));
    const CsvOutcome outcome = WriteCsvFile(path, AllGridRows(grid), [&](int) {
        data->fake().gone = true;
        return true;
    });
    EXPECT_FALSE(outcome.written);
    EXPECT_FALSE(outcome.error.isEmpty());
    EXPECT_FALSE(QFile::exists(path));
}

TEST(Csv, AFailedOrCancelledWriteLeavesNoFileAndKeepsAnOldOne)
{
    PagedList list(3 * CsvProgressStep);
    ResultGrid &grid = list.grid;
    QTemporaryDir dir;

    const QString missingFolder = dir.filePath(QStringLiteral("no-such-folder/list.csv"));
    const CsvOutcome failed = WriteCsvFile(missingFolder, AllGridRows(grid));
    EXPECT_FALSE(failed.written);
    EXPECT_FALSE(failed.error.isEmpty());
    EXPECT_FALSE(QFile::exists(missingFolder));

    const QString existing = dir.filePath(QStringLiteral("old.csv"));
    {
        QFile old(existing);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old contents");
    }
    const CsvOutcome cancelled = WriteCsvFile(existing, AllGridRows(grid), [](int written) {
        return written < 2 * CsvProgressStep;
    });
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_FALSE(cancelled.written);
    EXPECT_EQ(readAll(existing), QByteArray("old contents"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("old.csv")}); // no temporary file left
}

TEST(Clipboard, CtrlCCopiesTheSelectionIncludingRowsNotLoaded)
{
    auto data = openFake(personNames(), personRows(1000));
    ResultGrid grid;
    ASSERT_TRUE(ShowGrid(grid, 600));
    FillPersonGridPaged(grid, *data);
    grid.setFocus();
    ASSERT_FALSE(grid.IsRowLoaded(150));

    // Rows 99 to 151, columns 2 to 3: the selected cells only.
    selectCells(grid, 99, 2, 151, 3);
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier);
    const QStringList lines = QGuiApplication::clipboard()->text().split(u'\n');
    ASSERT_EQ(lines.size(), 53);
    EXPECT_EQ(lines[0], shownRow(personRows(99)[98]).mid(1, 2).join(u'\t'));
    EXPECT_EQ(lines[52], shownRow(personRows(151)[150]).mid(1, 2).join(u'\t'));

    // One cell selected: its whole row, without the marker column.
    grid.SetCurrentCell(2, 500);
    EXPECT_EQ(SelectionText(grid), shownRow(personRows(500)[499]).join(u'\t'));
    EXPECT_EQ(RowNumber(grid, 700), shown(QString::number(100700)));
}

// A result that no longer holds the rows the grid shows (its table was cut
// short meanwhile) cannot give them again: they are taken from the grid at
// once, every one of them.
TEST(Clipboard, RowsWithoutAResultBehindThemAreAllKept)
{
    struct ShrinkingSource : FakeSource {
        using FakeSource::FakeSource;
        int rowCount() const override { return shrunk ? 1 : FakeSource::rowCount(); }
        QString text(int row, int column) const override { return shrunk && row >= 1 ? QString() : FakeSource::text(row, column); }
        bool shrunk = false;
    };
    auto source = std::make_shared<ShrinkingSource>(personNames(), personRows(3));
    FakeDataset data(source);
    data.Open();
    ResultGrid grid;
    FillPersonGrid(grid, data);
    source->shrunk = true;
    const ListRows all = AllGridRows(grid);
    ASSERT_EQ(all.rowCount, 3);
    for (int row = 0; row < all.rowCount; ++row)
        EXPECT_EQ(all.row(row), shownRow(personRows(3)[static_cast<size_t>(row)]));
}

TEST(Clipboard, OrganisationsHaveNoNumberToCopy)
{
    auto data = openFake({QStringLiteral("naim"), QStringLiteral("street"), QStringLiteral("hous")}, orgRows(5));
    ResultGrid grid;
    FillOrgGrid(grid, *data);
    EXPECT_EQ(NumberColumn(grid), 0);
    EXPECT_TRUE(RowNumber(grid, 1).isEmpty());
}

TEST(ColumnWidths, ADraggedWidthOutlivesTheNextFillAndFillsAloneChangeNothing)
{
    auto data = openFake(personNames(), personRows(10));
    ResultGrid grid;
    ASSERT_TRUE(ShowGrid(grid, 800));
    FillPersonGrid(grid, *data);
    const int defaultWidth = grid.ColWidth(2);

    // Drag the divider after column 2 thirty pixels to the right.
    QHeaderView *header = grid.horizontalHeader();
    const int divider = header->sectionViewportPosition(1) + header->sectionSize(1) - 1;
    const QPoint from(divider, header->height() / 2);
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(from + QPoint(30, 0)), header->viewport()->mapToGlobal(QPointF(from + QPoint(30, 0))),
                     Qt::NoButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(header->viewport(), &move);
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, from + QPoint(30, 0));
    ASSERT_EQ(grid.ColWidth(2), defaultWidth + 30);

    data->Open();
    FillPersonGrid(grid, *data);
    EXPECT_EQ(grid.ColWidth(2), defaultWidth + 30);
    EXPECT_EQ(grid.UserWidths().Chosen(GridLayout::Persons), (std::vector<int>{0, defaultWidth + 30}));
    EXPECT_NE(grid.ColWidth(1), 0);
}
