#include "DatabaseError.h"
#include "DbfTable.h"
#include "DbfWriter.h"

#include "../support/TableFixtures.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace phonebook;
using namespace phonebook::fixtures;
using namespace Qt::StringLiterals;

namespace {

class DbfWriterTest : public ::testing::Test {
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

std::string Record(const QByteArray &bytes, int headerLength, int recordLength, int index)
{
    return bytes.mid(headerLength + index * recordLength, recordLength).toStdString();
}

} // namespace

// The bytes of a small table, as other readers expect them.
TEST_F(DbfWriterTest, WritesTheFileLayout)
{
    const std::vector<DbfFieldSpec> fields = {{u"NT"_s, 'C', 5, 0},
                                              {u"SUM"_s, 'N', 7, 2},
                                              {u"BORN"_s, 'D', 8, 0},
                                              {u"OK"_s, 'L', 1, 0},
                                              {u"NAME"_s, 'C', 6, 0}};
    WriteTable(path(u"t.dbf"_s), fields,
               {{{u"12"_s, u"3.50"_s, u"20240131"_s, u"T"_s, u"ЁЖ"_s}},
                {{u"1234567"_s, u"1234567"_s, u""_s, u"F"_s, u"дом 12А"_s}, true}},
               {CodePage::Cp866, 0x65, 0x03});
    const QByteArray b = ReadBytes(path(u"t.dbf"_s));
    const int headerLength = 32 + 5 * 32 + 1;
    const int recordLength = 1 + 5 + 7 + 8 + 1 + 6;
    ASSERT_EQ(b.size(), headerLength + 2 * recordLength + 1);
    EXPECT_EQ(b[0], 0x03);
    EXPECT_EQ(b[4], 2); // record count
    EXPECT_EQ(b[5] | b[6] | b[7], 0);
    EXPECT_EQ(static_cast<uint8_t>(b[8]) | (static_cast<uint8_t>(b[9]) << 8), headerLength);
    EXPECT_EQ(static_cast<uint8_t>(b[10]) | (static_cast<uint8_t>(b[11]) << 8), recordLength);
    EXPECT_EQ(static_cast<uint8_t>(b[29]), 0x65);
    EXPECT_EQ(b.mid(32, 11), QByteArray("NT\0\0\0\0\0\0\0\0\0", 11));
    EXPECT_EQ(b[32 + 32 + 11], 'N');
    EXPECT_EQ(b[32 + 32 + 16], 7);
    EXPECT_EQ(b[32 + 32 + 17], 2);
    EXPECT_EQ(b[headerLength - 1], 0x0D);
    EXPECT_EQ(b[b.size() - 1], 0x1A);
    // Character values padded on the right, numbers right-aligned, too long values cut.
    EXPECT_EQ(Record(b, headerLength, recordLength, 0), " 12      3.5020240131T\xF0\x86    ");
    EXPECT_EQ(Record(b, headerLength, recordLength, 1), "*12345" "1234567" "        " "F" "\xA4\xAE\xAC 12");
}

TEST_F(DbfWriterTest, VisualFoxProTablesCarryTheBacklinkArea)
{
    WriteTable(path(u"v.dbf"_s), CharFields({{"A", 3}}), {{{u"x"_s}}}, {CodePage::Windows1251, 0xC9, 0x30});
    const QByteArray b = ReadBytes(path(u"v.dbf"_s));
    const int headerLength = 32 + 32 + 1 + 263;
    ASSERT_EQ(b.size(), headerLength + 4 + 1);
    EXPECT_EQ(static_cast<uint8_t>(b[0]), 0x30);
    EXPECT_EQ(static_cast<uint8_t>(b[8]) | (static_cast<uint8_t>(b[9]) << 8), headerLength);
    EXPECT_EQ(b[64], 0x0D);
    EXPECT_EQ(b.mid(headerLength, 4), QByteArray(" x  "));
}

// UTF-8 values are cut at a character boundary, never inside a character.
TEST_F(DbfWriterTest, CutsUtf8AtACharacter)
{
    WriteTable(path(u"u.dbf"_s), CharFields({{"A", 5}}), {{{u"яяя"_s}}}, {CodePage::Utf8, 0x00});
    const QByteArray b = ReadBytes(path(u"u.dbf"_s));
    EXPECT_EQ(b.mid(32 + 32 + 1, 6), QByteArray(" \xD1\x8F\xD1\x8F "));
}

TEST_F(DbfWriterTest, RefusesWhatItCannotWrite)
{
    const auto messageOf = [](const std::function<void()> &write) {
        try {
            write();
        } catch (const DatabaseError &e) {
            return e.message();
        }
        return QString();
    };
    QString message = messageOf([&] {
        WriteTable(path(u"e.dbf"_s), CharFields({{"NAME", 10}}), {{{u"цена 5€"_s}}}, {CodePage::Cp866, 0x26});
    });
    EXPECT_TRUE(message.contains(u"NAME"_s) && message.contains(u"cp866"_s)) << message.toStdString();
    message = messageOf([&] { WriteTable(path(u"no/such/dir/t.dbf"_s), CharFields({{"A", 1}}), {}); });
    EXPECT_TRUE(message.contains(u"t.dbf"_s)) << message.toStdString();
    message = messageOf([&] {
        WriteTable(path(u"n.dbf"_s), {{u"SUM"_s, 'N', 4, 0}}, {{{u"1234"_s}}, {{u"12345"_s}}});
    });
    EXPECT_TRUE(message.contains(u"12345"_s) && message.contains(u"SUM"_s)) << message.toStdString();
    message = messageOf([&] { WriteTable(path(u"w.dbf"_s), CharFields({{"WIDE", 300}}), {}); });
    EXPECT_TRUE(message.contains(u"WIDE"_s)) << message.toStdString();
}

// A writer that goes out of scope finishes its file: the header counts every
// record and the reader sees them all.
TEST_F(DbfWriterTest, FinishesOnDestruction)
{
    {
        DbfWriter writer(path(u"d.dbf"_s), CharFields({{"A", 4}}));
        writer.addRecord({u"one"_s});
        writer.addRecord({u"two"_s}, true);
        writer.addRecord({}); // missing values are blank
    }
    const auto table = DbfTable::open(path(u"d.dbf"_s));
    EXPECT_TRUE(table->warnings().isEmpty());
    EXPECT_EQ(table->physicalCount(), 3u);
    EXPECT_EQ(table->liveCount(), 2u);
    EXPECT_EQ(table->text(2, 0), QString());
}

// Enough records to pass through several buffer flushes, and an empty table.
TEST_F(DbfWriterTest, ManyRecordsAndNone)
{
    constexpr int count = 60000; // about 2.5 MB
    std::vector<Row> rows;
    for (int i = 0; i < count; ++i)
        rows.push_back({{QString::number(i), u"ФАМИЛИЯ %1"_s.arg(i)}, i % 7 == 0});
    WriteTable(path(u"many.dbf"_s), CharFields({{"NT", 7}, {"FIO", 30}}), rows);
    const auto table = DbfTable::open(path(u"many.dbf"_s));
    EXPECT_TRUE(table->warnings().isEmpty());
    ASSERT_EQ(table->physicalCount(), uint32_t(count));
    EXPECT_EQ(table->liveCount(), uint32_t(count - (count + 6) / 7));
    for (uint32_t i : {0u, 12345u, 59999u})
        EXPECT_EQ(table->text(i, 1), u"ФАМИЛИЯ %1"_s.arg(i));

    WriteTable(path(u"none.dbf"_s), CharFields({{"NT", 7}}), {});
    const auto empty = DbfTable::open(path(u"none.dbf"_s));
    EXPECT_TRUE(empty->warnings().isEmpty());
    EXPECT_EQ(empty->physicalCount(), 0u);
    EXPECT_EQ(empty->liveCount(), 0u);
}
