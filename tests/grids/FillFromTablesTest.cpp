// Fills from real table files and statements run by the engine: the grid shows
// row r of the dataset at row r, whether the row came with the fill or with a
// page load, and the table's extra fields stay unheaded and empty.
#include "DbfWriter.h"
#include "FillRoutines.h"
#include "GridFakes.h"
#include "GridTestAccess.h"
#include "ResultGrid.h"

#include <QProgressBar>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace phonebook;
using namespace phonebook::testing;

namespace {

QString enc(const QString &plain)
{
    return EncodeText(plain, CipherKey);
}

class FillFromTables : public ::testing::Test {
protected:
    static constexpr int Persons = 1200;
    static constexpr int Orgs = 400;

    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        {
            DbfWriter writer(m_dir.filePath(u"sp09kw_n.dbf"_qs),
                             {{u"NT"_qs, 'C', 8}, {u"FIO"_qs, 'C', 40}, {u"STREET"_qs, 'C', 30},
                              {u"HOUS"_qs, 'C', 10}, {u"FLAT"_qs, 'C', 5}, {u"KOD"_qs, 'C', 6}, {u"PRIM"_qs, 'C', 10}});
            for (int i = 1; i <= Persons; ++i)
                writer.addRecord({enc(QString::number(200000 + i)), enc(QStringLiteral("ПЕТРОВ %1 ИВАНОВИЧ").arg(i)),
                                  enc(QStringLiteral("ул.Лесная")), enc(QStringLiteral("%1").arg(i % 70 + 1, 7)),
                                  enc(QStringLiteral("%1").arg(i % 200, 3)), QString::number(i), enc(u"прим"_qs)},
                                 i % 97 == 0); // some deleted records, which the cursor hides
            writer.finish();
        }
        {
            DbfWriter writer(m_dir.filePath(u"sp09pr_n.dbf"_qs),
                             {{u"NT"_qs, 'C', 10}, {u"NAIM"_qs, 'C', 40}, {u"KNAIM"_qs, 'C', 20},
                              {u"MESTO"_qs, 'C', 30}, {u"STREET"_qs, 'C', 30}, {u"HOUS"_qs, 'C', 10}});
            for (int i = 1; i <= Orgs; ++i)
                for (int phone = 0; phone < 2; ++phone)
                    writer.addRecord({enc(QStringLiteral("  %1").arg(30000 + i * 2 + phone)),
                                      enc(QStringLiteral("КОМБИНАТ %1").arg(i)), enc(QStringLiteral("К%1").arg(i)),
                                      enc(phone ? u"бухгалтерия"_qs : u"приёмная"_qs), enc(u"пр.Мира"_qs),
                                      enc(QString::number(i))});
            writer.finish();
        }
    }

    // Every data row of the grid against the same row of a fresh dataset.
    static void expectRowsMatch(const ResultGrid &grid, Dataset &data, const std::vector<QString> &fields,
                                bool onlyLoaded)
    {
        data.First();
        int checked = 0;
        for (int row = 1; row < grid.RowCount(); ++row, data.Next()) {
            ASSERT_EQ(data.RecNo(), row);
            if (onlyLoaded && !grid.IsRowLoaded(row))
                continue;
            for (size_t f = 0; f < fields.size(); ++f)
                ASSERT_EQ(grid.Cells(static_cast<int>(f) + 1, row), DecodeText(data.FieldByName(fields[f]), CipherKey))
                    << "row " << row << " field " << fields[f].toStdString();
            ++checked;
        }
        EXPECT_GT(checked, 0);
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(FillFromTables, FullListOfIndividualsFromItsTable)
{
    TableCursor table;
    table.SetDirectory(m_dir.path());
    table.SetTableName(u"SP09KW_N"_qs);
    table.Open();
    const int count = table.RecordCount();
    ASSERT_EQ(count, Persons - Persons / 97);

    ResultGrid grid;
    grid.resize(800, 600);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    QProgressBar bar;
    bar.setRange(0, 200);
    FillPersonGridPaged(grid, table, &bar);
    EXPECT_EQ(bar.value(), 100);
    EXPECT_EQ(grid.RowCount(), count + 1);
    EXPECT_EQ(grid.ColCount(), 8);
    EXPECT_EQ(grid.Cells(6, 0), QString());
    EXPECT_EQ(grid.Cells(7, 0), QString());
    EXPECT_EQ(grid.Cells(6, 1), QString());
    EXPECT_EQ(grid.Cells(2, 1), shown(u"ПЕТРОВ 1 ИВАНОВИЧ"_qs));

    for (int value : {90, 150, 600, grid.verticalScrollBar()->maximum()}) {
        grid.verticalScrollBar()->setValue(value);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(table.RecNo(), 101);
    TableCursor again;
    again.SetDirectory(m_dir.path());
    again.SetTableName(u"sp09kw_n"_qs);
    again.Open();
    expectRowsMatch(grid, again, LayoutFields(GridLayout::Persons), true);
    EXPECT_FALSE(grid.IsRowLoaded(400));
}

TEST_F(FillFromTables, SearchResultsFromStatements)
{
    ResultGrid grid;
    grid.resize(800, 600);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));

    // Numbers beginning with "2001": 200100 to 200199 and 200010 to 200019, and 2001000 onwards: over 200 rows.
    Query query;
    query.SetDirectory(m_dir.path());
    query.AddSql(u"SELECT sp09kw_n.nt,sp09kw_n.fio,sp09kw_n.street,sp09kw_n.hous,sp09kw_n.flat FROM sp09kw_n "
                 u"WHERE sp09kw_n.nt LIKE '"_qs + enc(u"20"_qs) + u"%'"_qs);
    query.Open();
    const int found = query.RecordCount();
    ASSERT_GT(found, PersonFullFillLimit);
    FillPersonGridPaged(grid, query);
    EXPECT_EQ(grid.RowCount(), found + 1);
    const QString sql = query.Sql();
    // The next search finds nothing and so leaves the grid as it is: its rows
    // not yet loaded still load the earlier result, not empty text.
    query.Close();
    query.ClearSql();
    query.AddSql(u"SELECT sp09kw_n.nt,sp09kw_n.fio,sp09kw_n.street,sp09kw_n.hous,sp09kw_n.flat FROM sp09kw_n "
                 u"WHERE sp09kw_n.nt LIKE '"_qs + enc(u"9"_qs) + u"%'"_qs);
    query.Open();
    ASSERT_EQ(query.RecordCount(), 0);
    grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
    QCoreApplication::processEvents();
    EXPECT_TRUE(grid.IsRowLoaded(found));
    Query again;
    again.SetDirectory(m_dir.path());
    again.AddSql(sql);
    again.Open();
    expectRowsMatch(grid, again, LayoutFields(GridLayout::Persons), true);

    // The list of organisations, paged in its own layout.
    Query orgs;
    orgs.SetDirectory(m_dir.path());
    orgs.AddSql(u"SELECT DISTINCT sp09pr_n.naim, sp09pr_n.street, sp09pr_n.hous FROM sp09pr_n ORDER BY naim"_qs);
    orgs.Open();
    ASSERT_EQ(orgs.RecordCount(), Orgs);
    FillOrgGridPaged(grid, orgs);
    for (int value = 0; value <= grid.verticalScrollBar()->maximum(); value += 25) {
        grid.verticalScrollBar()->setValue(value);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(GridTestAccess::loadedRowCount(grid), Orgs);
    expectRowsMatch(grid, orgs, LayoutFields(GridLayout::Organisations), false);
}

// A table's numeric, date and logical fields are shown as a Russian user
// reads them, and never deciphered; its text is.
TEST(ShownCells, EveryKindOfValue)
{
    QTemporaryDir dir;
    {
        DbfWriter writer(dir.filePath(u"t.dbf"_qs),
                         {{u"FIO"_qs, 'C', 10}, {u"SUM"_qs, 'N', 8, 2}, {u"BORN"_qs, 'D', 8}, {u"OK"_qs, 'L', 1}});
        writer.addRecord({enc(u"ИВАНОВ"_qs), u"12.50"_qs, u"19700102"_qs, u"T"_qs});
        writer.addRecord({enc(u"ПЕТРОВ"_qs), u""_qs, u""_qs, u"n"_qs});
        writer.finish();
    }
    TableCursor table;
    table.SetDirectory(dir.path());
    table.SetTableName(u"t"_qs);
    table.Open();
    Query query;
    query.SetDirectory(dir.path());
    query.AddSql(u"SELECT fio, sum, born, ok FROM t"_qs);
    query.Open();
    for (const auto &source : {table.Source(), query.Source()}) {
        EXPECT_EQ(ShownCell(*source, 0, 0), u"ИВАНОВ"_qs);
        EXPECT_EQ(ShownCell(*source, 0, 1).toDouble(), 12.5);
        EXPECT_EQ(ShownCell(*source, 0, 2), u"02.01.1970"_qs);
        EXPECT_EQ(ShownCell(*source, 0, 3), u"Да"_qs);
        EXPECT_EQ(ShownCell(*source, 1, 1), QString());
        EXPECT_EQ(ShownCell(*source, 1, 2), QString());
        EXPECT_EQ(ShownCell(*source, 1, 3), u"Нет"_qs);
    }
    EXPECT_EQ(ShownCell(*table.Source(), 0, 1), u"12.50"_qs); // as written in the table
}
