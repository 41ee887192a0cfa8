#include "DatabaseError.h"
#include "DbfTable.h"

#include "../support/TableFixtures.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace phonebook;
using namespace phonebook::fixtures;
using namespace Qt::StringLiterals;

namespace {

class DbfTableTest : public ::testing::Test {
protected:
    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(DbfTableTest, ReadsWhatTheWriterWrote)
{
    const std::vector<DbfFieldSpec> fields = {{QStringLiteral("NT"), 'C', 7, 0},
                                              {QStringLiteral("SUM"), 'N', 8, 2},
                                              {QStringLiteral("FIO"), 'C', 30, 0},
                                              {QStringLiteral("BORN"), 'D', 8, 0},
                                              {QStringLiteral("OK"), 'L', 1, 0},
                                              {QStringLiteral("hous"), 'C', 7, 0}};
    WriteTable(path("t.dbf"), fields,
               {{{u"2345"_s, u"12.50"_s, u"ИВАНОВ ИВАН"_s, u"19700101"_s, u"T"_s, u"   12А"_s}},
                {{u"2346"_s, u""_s, u"ПЕТРОВ"_s, u""_s, u"F"_s, u"  1/3"_s}, true},
                {{u"99"_s, u"1"_s, u"ёлкин  "_s, u""_s, u""_s, u""_s}}},
               {CodePage::Windows1251, 0xC9});
    const auto table = DbfTable::open(path("t.dbf"));
    EXPECT_TRUE(table->warnings().isEmpty()) << table->warnings().join(u'\n').toStdString();
    EXPECT_EQ(table->codePage(), CodePage::Windows1251);
    ASSERT_EQ(table->fields().size(), 3u);
    EXPECT_EQ(table->fields()[1].name, u"FIO"_s);
    EXPECT_EQ(table->fields()[1].offset, 1 + 7 + 8);
    EXPECT_EQ(table->fieldIndex(u"Hous"), 2);
    EXPECT_EQ(table->fieldIndex(u"sum"), -1);
    EXPECT_EQ(table->physicalCount(), 3u);
    EXPECT_EQ(table->liveCount(), 2u);
    EXPECT_EQ(table->liveRecord(1), 2u);
    EXPECT_TRUE(table->isDeleted(1));
    EXPECT_EQ(table->text(0, 1), u"ИВАНОВ ИВАН"_s);
    EXPECT_EQ(table->text(0, 2), u"   12А"_s);
    EXPECT_EQ(table->text(2, 1), u"ёлкин"_s);
    EXPECT_EQ(table->rawField(2, 2), std::string_view());
}
