#include "Dataset.h"
#include "DatabaseError.h"
#include "DbfTable.h"
#include "QueryResult.h"
#include "UHelpFull.h"

#include "../support/TableFixtures.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace phonebook;
using namespace phonebook::fixtures;

namespace {

QString Enc(const QString &plain) { return EncodeText(plain, CipherKey); }

// Whether this process still has the file open or mapped (Linux only; elsewhere unknown).
bool ProcessHolds(const QString &path)
{
#ifdef Q_OS_LINUX
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (maps.open(QIODevice::ReadOnly) && maps.readAll().contains(path.toUtf8()))
        return true;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString &fd : fds.entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System)) {
        if (QFile::symLinkTarget(fds.filePath(fd)) == path)
            return true;
    }
#else
    Q_UNUSED(path);
#endif
    return false;
}

class Datasets : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        std::vector<Row> rows;
        for (int n = 1; n <= 6; ++n)
            rows.push_back({{Enc(QStringLiteral("23%1").arg(n)), Enc(QStringLiteral("ФАМИЛИЯ%1").arg(n)),
                             QStringLiteral("x%1").arg(n)},
                            n == 3});
        WriteTable(tablePath(), CharFields({{"NT", 6}, {"FIO", 30}, {"Extra", 4}}), rows);
    }

    QString tablePath() const { return m_dir.filePath(QStringLiteral("Sp09Kw_N.dbf")); }

    void openQuery(Query &query, const QString &sql)
    {
        query.SetDirectory(m_dir.path());
        query.Close();
        query.ClearSql();
        query.AddSql(sql);
        query.Open();
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(Datasets, QueryMovesWithinItsRows)
{
    Query q;
    EXPECT_FALSE(q.Active());
    EXPECT_EQ(q.RecNo(), 0);
    EXPECT_EQ(q.Field(0), QString());
    openQuery(q, QStringLiteral("SELECT fio, nt FROM sp09kw_n"));
    ASSERT_TRUE(q.Active());
    EXPECT_EQ(q.RecordCount(), 5);
    EXPECT_EQ(q.RecNo(), 1);
    EXPECT_FALSE(q.Eof());
    EXPECT_EQ(q.FieldCount(), 2);
    EXPECT_EQ(q.FieldName(1).toLower(), QStringLiteral("nt"));
    EXPECT_EQ(q.Field(1), Enc(QStringLiteral("231")));

    q.MoveBy(2);
    EXPECT_EQ(q.RecNo(), 3);
    EXPECT_EQ(q.Field(1), Enc(QStringLiteral("234"))); // the deleted 233 is not there
    q.MoveBy(100);
    EXPECT_EQ(q.RecNo(), 5);
    EXPECT_TRUE(q.Eof());
    q.MoveBy(-1000);
    EXPECT_EQ(q.RecNo(), 1);
    EXPECT_FALSE(q.Eof());
    q.MoveBy(0);
    EXPECT_EQ(q.RecNo(), 1);

    for (int n = 0; n < 4; ++n)
        q.Next();
    EXPECT_EQ(q.RecNo(), 5);
    EXPECT_FALSE(q.Eof());
    q.Next(); // on the last row: stays, and reports the end
    EXPECT_EQ(q.RecNo(), 5);
    EXPECT_TRUE(q.Eof());
    EXPECT_EQ(q.Field(1), Enc(QStringLiteral("236")));
    q.First();
    EXPECT_EQ(q.RecNo(), 1);
    EXPECT_FALSE(q.Eof());

    q.Close();
    EXPECT_FALSE(q.Active());
    EXPECT_EQ(q.RecordCount(), 0);
    EXPECT_EQ(q.RecNo(), 0);
}

TEST_F(Datasets, FieldsByNameAndOrdinal)
{
    Query q;
    openQuery(q, QStringLiteral("SELECT * FROM SP09KW_N"));
    ASSERT_EQ(q.FieldCount(), 3);
    EXPECT_EQ(q.FieldIndex(u"fio"), 1);
    EXPECT_EQ(q.FieldIndex(u"EXTRA"), 2);
    EXPECT_EQ(q.FieldIndex(u"nope"), -1);
    EXPECT_EQ(q.FieldByName(u"Fio"), Enc(QStringLiteral("ФАМИЛИЯ1")));
    EXPECT_EQ(q.FieldByName(u"FIO"), q.Field(1));
    EXPECT_THROW(q.FieldByName(u"nope"), DatabaseError);
    EXPECT_EQ(q.Field(7), QString());

    // Qualified names in the select list keep their order and their names.
    openQuery(q, QStringLiteral("SELECT sp09kw_n.extra, sp09kw_n.nt FROM sp09kw_n"));
    EXPECT_EQ(q.FieldIndex(u"NT"), 1);
    EXPECT_EQ(q.Field(0), QStringLiteral("x1"));
}

TEST_F(Datasets, EmptyResult)
{
    Query q;
    openQuery(q, QStringLiteral("SELECT nt FROM sp09kw_n WHERE nt LIKE 'nothing%'"));
    EXPECT_TRUE(q.Active());
    EXPECT_EQ(q.RecordCount(), 0);
    EXPECT_EQ(q.RecNo(), 0);
    EXPECT_TRUE(q.Eof());
    EXPECT_EQ(q.FieldCount(), 1);
    q.Next();
    q.MoveBy(3);
    q.MoveBy(-3);
    q.First();
    EXPECT_EQ(q.RecNo(), 0);
    EXPECT_EQ(q.Field(0), QString());
    EXPECT_FALSE(q.Locate(u"nt", u""));
    EXPECT_EQ(q.RecNo(), 0);
}

TEST_F(Datasets, LocateByPartialKey)
{
    Query q;
    openQuery(q, QStringLiteral("SELECT nt, fio FROM sp09kw_n"));
    q.MoveBy(3);
    // Whole value, then only its beginning: the first such row in cursor order.
    EXPECT_TRUE(q.Locate(u"FIO", Enc(QStringLiteral("ФАМИЛИЯ5"))));
    EXPECT_EQ(q.RecNo(), 4);
    EXPECT_TRUE(q.Locate(u"fio", Enc(QStringLiteral("ФАМ"))));
    EXPECT_EQ(q.RecNo(), 1);
    q.MoveBy(2);
    // No match: the cursor stays where it was.
    EXPECT_FALSE(q.Locate(u"fio", Enc(QStringLiteral("ФАМИЛИЯ3"))));
    EXPECT_EQ(q.RecNo(), 3);
    // Case-sensitive: the stored prefix in other letter case is not found.
    const QString otherCase = Enc(QStringLiteral("ФАМ")).toLower();
    ASSERT_NE(otherCase, Enc(QStringLiteral("ФАМ")));
    EXPECT_FALSE(q.Locate(u"fio", otherCase));
    EXPECT_EQ(q.RecNo(), 3);
    // An empty value matches the first row.
    EXPECT_TRUE(q.Locate(u"nt", u""));
    EXPECT_EQ(q.RecNo(), 1);
    EXPECT_THROW(q.Locate(u"nope", u"x"), DatabaseError);
}

TEST_F(Datasets, TableCursorReadsTheFileInPhysicalOrder)
{
    TableCursor t;
    t.SetDirectory(m_dir.path());
    t.SetTableName(QStringLiteral("sp09kw_n"));
    t.Open();
    EXPECT_EQ(t.RecordCount(), 5);
    EXPECT_TRUE(t.Warnings().isEmpty());
    const QStringList expected = {QStringLiteral("x1"), QStringLiteral("x2"), QStringLiteral("x4"), QStringLiteral("x5"),
                                  QStringLiteral("x6")};
    QStringList got;
    for (t.First(); !t.Eof(); t.Next())
        got.append(t.FieldByName(u"extra"));
    EXPECT_EQ(got, expected);
    EXPECT_TRUE(t.Locate(u"Extra", u"x5"));
    EXPECT_EQ(t.RecNo(), 4);
    EXPECT_EQ(t.FieldName(0), QStringLiteral("NT"));

    // The file name with its extension, in another case, names the same table.
    t.SetTableName(QStringLiteral("SP09KW_N.DBF"));
    t.Open();
    EXPECT_EQ(t.RecordCount(), 5);

    t.SetTableName(QStringLiteral("sp09pr_n"));
    try {
        t.Open();
        ADD_FAILURE() << "no error";
    } catch (const DatabaseError &e) {
        EXPECT_TRUE(e.message().contains(u"sp09pr_n")) << e.message().toStdString();
    }
    EXPECT_FALSE(t.Active());
}

TEST_F(Datasets, TableCursorShowsTheReadersWarnings)
{
    // A header that promises more records than the file holds.
    QByteArray bytes = ReadBytes(tablePath());
    PutLe32(bytes, 4, 9);
    WriteBytes(tablePath(), bytes);
    TableCursor t;
    t.SetDirectory(m_dir.path());
    t.SetTableName(QStringLiteral("sp09kw_n"));
    t.Open();
    EXPECT_FALSE(t.Warnings().isEmpty());
}

TEST_F(Datasets, ClosedDatasetsReleaseTheirFiles)
{
    Query q;
    openQuery(q, QStringLiteral("SELECT nt FROM sp09kw_n"));
    TableCursor t;
    t.SetDirectory(m_dir.path());
    t.SetTableName(QStringLiteral("sp09kw_n"));
    t.Open();
    const QString canonical = QFileInfo(tablePath()).canonicalFilePath();
    EXPECT_TRUE(ProcessHolds(canonical) || !QFileInfo::exists(QStringLiteral("/proc/self/maps")));
    const std::shared_ptr<const RowSource> held = t.Source(); // as a grid keeps it
    const std::shared_ptr<const RowSource> heldResult = q.Source();
    q.Close();
    t.Close();
    EXPECT_EQ(held->rowCount(), 0); // the grid's copy no longer reads the file
    EXPECT_EQ(heldResult->rowCount(), 5); // a query's result is its own
    EXPECT_FALSE(ProcessHolds(canonical));

    // An update swaps the file; the next open sees the new one.
    ASSERT_TRUE(QFile::rename(tablePath(), m_dir.filePath(QStringLiteral("sp09kw_n.old"))));
    EXPECT_THROW(q.Open(), DatabaseError);
    EXPECT_THROW(t.Open(), DatabaseError);
    WriteTable(m_dir.filePath(QStringLiteral("SP09KW_N.DBF")), CharFields({{"NT", 6}}), {{{QStringLiteral("1")}}});
    q.Open();
    EXPECT_EQ(q.RecordCount(), 1);
    t.Open();
    EXPECT_EQ(t.RecordCount(), 1);
    EXPECT_EQ(t.FieldCount(), 1);
}

TEST(QueryResultTest, HoldsEveryCellExactlyAndCompactly)
{
    // Cells of many lengths, so that some meet the end of a chunk of the
    // arena, plus empty ones and one longer than any chunk.
    QueryResult result({QStringLiteral("a"), QStringLiteral("b")});
    std::vector<std::string> cells;
    size_t text = 0;
    for (int n = 0; n < 60000; ++n) {
        std::string cell;
        if (n == 30001)
            cell.assign(3'000'000, 'x');
        else if (n % 7 != 0)
            cell.assign(static_cast<size_t>(n % 97), static_cast<char>('a' + n % 26));
        if (!cell.empty())
            cell.back() = static_cast<char>('0' + n % 10);
        result.appendCell(cell);
        text += cell.size();
        cells.push_back(std::move(cell));
        if (n % 2 == 1)
            result.endRow();
    }
    result.finish();
    ASSERT_EQ(result.rowCount(), 30000);
    for (size_t n = 0; n < cells.size(); ++n)
        ASSERT_EQ(result.utf8(static_cast<int>(n / 2), static_cast<int>(n % 2)), cells[n]) << "cell " << n;
    EXPECT_EQ(result.text(0, 1), QStringLiteral("1"));
    EXPECT_TRUE(result.utf8(30000, 0).empty());
    EXPECT_TRUE(result.utf8(0, 2).empty());
    // Text plus one offset per cell, and at most a few partly used chunks.
    EXPECT_LE(result.memoryUsed(), text + cells.size() * sizeof(uint32_t) + 3 * (1u << 20));

    // A small result holds little more than its text.
    QueryResult small({QStringLiteral("a")});
    for (const char *cell : {"ab", "", "cde"}) {
        small.appendCell(cell);
        small.endRow();
    }
    small.finish();
    EXPECT_EQ(small.utf8(2, 0), "cde");
    EXPECT_LE(small.memoryUsed(), 64u);
}

// An administrator copies a new edition over the table while the list is
// open: the copy truncates the file, then writes it again.
TEST(TableReplacedUnderTheCursor, NeverCrashesAndShowsNothingFromTheNewFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sp09kw_n.dbf"));
    auto edition = [&](const QString &prefix) {
        std::vector<Row> rows;
        for (int n = 0; n < 20000; ++n)
            rows.push_back({{QStringLiteral("%1%2").arg(prefix).arg(n)}});
        WriteTable(path, CharFields({{"FIO", 30}}), rows);
    };
    edition(QStringLiteral("OLD"));
    TableCursor cursor;
    cursor.SetDirectory(dir.path());
    cursor.SetTableName(QStringLiteral("sp09kw_n"));
    cursor.Open();
    const std::shared_ptr<const RowSource> rows = cursor.Source();
    EXPECT_EQ(rows->text(0, 0), QStringLiteral("OLD0"));
    EXPECT_FALSE(cursor.FileChanged());

    const QByteArray old = ReadBytes(path);
    ASSERT_TRUE(QFile::resize(path, 4096)); // cut short, as cp does first
    EXPECT_TRUE(cursor.FileChanged());
    for (int row = 0; row < rows->rowCount(); row += 97)
        EXPECT_EQ(rows->text(row, 0), QString()) << row;

    edition(QStringLiteral("NEW")); // written again, the same size
    ASSERT_EQ(ReadBytes(path).size(), old.size());
    for (int row = rows->rowCount() - 1; row >= 0; row -= 89)
        EXPECT_EQ(rows->text(row, 0), QString()) << row;

    cursor.Open(); // opened again, it reads the new edition
    EXPECT_FALSE(cursor.FileChanged());
    EXPECT_EQ(cursor.Source()->text(19999, 0), QStringLiteral("NEW19999"));
}

// A read that meets a page cut off the file between the check and the read
// finds zeros, never a bus error, and the table says so.
TEST(TableReplacedUnderTheCursor, ReadingPastTheNewEndOfTheMappingIsSafe)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.dbf"));
    std::vector<Row> rows;
    for (int n = 0; n < 20000; ++n)
        rows.push_back({{QStringLiteral("R%1").arg(n)}});
    WriteTable(path, CharFields({{"NAME", 30}}), rows);
    const std::shared_ptr<const DbfTable> table = DbfTable::open(path);
    ASSERT_TRUE(QFile::resize(path, 4096));
    EXPECT_EQ(table->rawField(19000, 0), std::string_view());
    EXPECT_TRUE(table->pagesLost());
    EXPECT_TRUE(table->changed());
}
