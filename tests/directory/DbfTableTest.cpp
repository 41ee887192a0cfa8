#include "DatabaseError.h"
#include "DbfTable.h"

#include "../support/TableFixtures.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <latch>
#include <map>
#include <optional>
#include <set>

using namespace phonebook;
using namespace phonebook::fixtures;
using namespace Qt::StringLiterals;

void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }

namespace {

class DbfTableTest : public ::testing::Test {
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

std::string Joined(const QStringList &list) { return list.join(u" | "_s).toStdString(); }

// Every warning expected appears, and no other.
void ExpectWarnings(const DbfTable &table, const QStringList &expected)
{
    EXPECT_EQ(table.warnings().size(), expected.size()) << Joined(table.warnings());
    for (const QString &w : expected) {
        bool found = false;
        for (const QString &have : table.warnings())
            found = found || have.contains(w);
        EXPECT_TRUE(found) << "missing warning \"" << w.toStdString() << "\" in " << Joined(table.warnings());
    }
}

QString RefusalOf(const std::function<void()> &open)
{
    try {
        open();
    } catch (const DatabaseError &e) {
        return e.message();
    }
    return {};
}

} // namespace

TEST_F(DbfTableTest, ReadsWhatTheWriterWrote)
{
    const std::vector<DbfFieldSpec> fields = {{u"NT"_s, 'C', 7, 0},   {u"SUM"_s, 'N', 8, 2}, {u"FIO"_s, 'C', 30, 0},
                                              {u"BORN"_s, 'D', 8, 0}, {u"OK"_s, 'L', 1, 0},  {u"hous"_s, 'C', 7, 0}};
    WriteTable(path(u"t.dbf"_s), fields,
               {{{u"2345"_s, u"12.50"_s, u"ИВАНОВ ИВАН"_s, u"19700101"_s, u"T"_s, u"   12А"_s}},
                {{u"2346"_s, u""_s, u"ПЕТРОВ"_s, u""_s, u"F"_s, u"  1/3"_s}, true},
                {{u"99"_s, u"1"_s, u"ёлкин  "_s, u""_s, u""_s, u""_s}}},
               {CodePage::Windows1251, 0xC9});
    const auto table = DbfTable::open(path(u"t.dbf"_s));
    ExpectWarnings(*table, {});
    EXPECT_EQ(table->codePage(), CodePage::Windows1251);
    ASSERT_EQ(table->fields().size(), 6u);
    EXPECT_EQ(table->fields()[2].name, u"FIO"_s);
    EXPECT_EQ(table->fields()[2].offset, 1 + 7 + 8);
    EXPECT_EQ(table->fieldIndex(u"Hous"), 5);
    EXPECT_EQ(table->fieldIndex(u"sum"), 1);
    // Every field type, as shown: numbers as written, dates, logical values; blank is empty.
    EXPECT_EQ(table->shownText(0, 1), u"12.50"_s);
    EXPECT_EQ(table->shownText(0, 3), u"1970-01-01"_s);
    EXPECT_EQ(table->shownText(0, 4), u"1"_s);
    EXPECT_EQ(table->shownText(1, 4), u"0"_s);
    EXPECT_EQ(table->shownText(2, 1), u"1"_s);
    EXPECT_EQ(table->shownText(2, 3), QString());
    EXPECT_EQ(table->shownText(2, 4), QString());
    EXPECT_EQ(table->fields()[1].kind, FieldKind::Real);
    EXPECT_EQ(table->physicalCount(), 3u);
    EXPECT_EQ(table->liveCount(), 2u);
    EXPECT_EQ(table->liveRecord(0), 0u);
    EXPECT_EQ(table->liveRecord(1), 2u);
    EXPECT_TRUE(table->isDeleted(1));
    EXPECT_EQ(table->text(0, 2), u"ИВАНОВ ИВАН"_s);
    EXPECT_EQ(table->text(0, 5), u"   12А"_s); // leading blanks stay
    EXPECT_EQ(table->text(1, 2), u"ПЕТРОВ"_s); // deleted records stay readable by number
    EXPECT_EQ(table->text(2, 2), u"ёлкин"_s);
    EXPECT_EQ(table->rawField(2, 5), std::string_view());
}

TEST_F(DbfTableTest, NothingDeletedNeedsNoIndex)
{
    WriteTable(path(u"t.dbf"_s), CharFields({{"A", 3}}), {{{u"1"_s}}, {{u"2"_s}}});
    const auto table = DbfTable::open(path(u"t.dbf"_s));
    EXPECT_EQ(table->liveCount(), 2u);
    EXPECT_EQ(table->liveRecord(1), 1u);
    EXPECT_EQ(table->text(table->liveRecord(1), 0), u"2"_s);
}

// A table opened again while its file is unchanged is the one read before;
// any other file at that path, or the same file written again, is read anew.
TEST_F(DbfTableTest, KeepsATableOnlyWhileItsFileIsUnchanged)
{
    const auto write = [&](const QString &name, const QString &value, const QDateTime &modified) {
        WriteTable(path(name), CharFields({{"A", 3}}), {{{value}}});
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
    };
    const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
    const QString t = path(u"t.dbf"_s);

    write(u"t.dbf"_s, u"old"_s, hourAgo);
    const auto first = DbfTable::open(t);
    EXPECT_EQ(DbfTable::open(t), first);

    // Another file of the same size and time put in its place.
    write(u"new.dbf"_s, u"new"_s, hourAgo);
    ASSERT_TRUE(QFile::remove(t) && QFile::rename(path(u"new.dbf"_s), t));
    const auto renamed = DbfTable::open(t);
    EXPECT_EQ(renamed->text(0, 0), u"new"_s);
    EXPECT_EQ(first->text(0, 0), u"old"_s); // a holder keeps reading the file it opened

    // The same file written again, its time moved on.
    write(u"t.dbf"_s, u"bis"_s, hourAgo.addSecs(1));
    EXPECT_EQ(DbfTable::open(t)->text(0, 0), u"bis"_s);

    // Opened by several threads at once: read once, the others wait for it.
    write(u"shared.dbf"_s, u"abc"_s, hourAgo);
    std::vector<std::future<std::shared_ptr<const DbfTable>>> opens;
    std::latch together(4);
    for (int i = 0; i < 4; ++i)
        opens.push_back(std::async(std::launch::async, [&] {
            together.arrive_and_wait();
            return DbfTable::open(path(u"shared.dbf"_s));
        }));
    const auto shared = opens.front().get();
    for (size_t i = 1; i < opens.size(); ++i)
        EXPECT_EQ(opens[i].get(), shared);

    // The same with a file written just now, which is never kept: a thread
    // that waited for another's reading gets that table. The file is large,
    // so that readings overlap; threads that came too late read their own,
    // so a busy machine may need another try.
    {
        const QByteArray one = ReadBytes(WriteTable(path(u"big.dbf"_s), CharFields({{"A", 60}}), {{{u"row"_s}}}));
        const int headerLength = 32 + 32 + 1;
        QByteArray bytes = one.left(headerLength);
        constexpr uint32_t Records = 400000;
        bytes.reserve(headerLength + Records * 61 + 1);
        for (uint32_t r = 0; r < Records; ++r)
            bytes.append(one.constData() + headerLength, 61);
        bytes.append('\x1A');
        PutLe32(bytes, 4, Records);
        WriteBytes(path(u"big.dbf"_s), bytes);
    }
    constexpr int Threads = 6;
    bool waited = false;
    for (int attempt = 0; attempt < 5 && !waited; ++attempt) {
        QFile big(path(u"big.dbf"_s));
        ASSERT_TRUE(big.open(QIODevice::ReadWrite));
        ASSERT_TRUE(big.setFileTime(QDateTime::currentDateTime(), QFileDevice::FileModificationTime)); // fresh again
        big.close();
        std::vector<std::future<std::shared_ptr<const DbfTable>>> fresh;
        std::latch start(Threads);
        for (int i = 0; i < Threads; ++i)
            fresh.push_back(std::async(std::launch::async, [&] {
                start.arrive_and_wait();
                return DbfTable::open(path(u"big.dbf"_s));
            }));
        std::set<std::shared_ptr<const DbfTable>> tables; // held: a freed table's address may be reused
        for (auto &f : fresh) {
            const std::shared_ptr<const DbfTable> table = f.get();
            ASSERT_TRUE(table);
            EXPECT_EQ(table->liveCount(), 400000u);
            tables.insert(table);
        }
        waited = tables.size() < static_cast<size_t>(Threads);
    }
    EXPECT_TRUE(waited) << "no thread waited for another's reading";

    // A file written just now may be written again within its time's grain: never kept.
    WriteTable(path(u"fresh.dbf"_s), CharFields({{"A", 3}}), {{{u"1"_s}}});
    EXPECT_NE(DbfTable::open(path(u"fresh.dbf"_s)), DbfTable::open(path(u"fresh.dbf"_s)));
}

// The code page follows the language-driver byte where it names one, and is
// judged by the text where the byte is 0x00, 0x57 or unknown.
TEST_F(DbfTableTest, ChoosesTheCodePage)
{
    struct Case {
        const char *what;
        CodePage written;
        uint8_t languageDriver;
        QString text;
        CodePage expected;
    };
    const QString russian = u"ИВАНОВ иван Ёлкин, ул. Щорса"_s;
    const Case cases[] = {
        {"cp866 marked 0x26", CodePage::Cp866, 0x26, russian, CodePage::Cp866},
        {"cp866 marked 0x65", CodePage::Cp866, 0x65, russian, CodePage::Cp866},
        {"1251 marked 0xC9", CodePage::Windows1251, 0xC9, russian, CodePage::Windows1251},
        {"1252 marked 0x03", CodePage::Windows1252, 0x03, u"café Zürich"_s, CodePage::Windows1252},
        {"unmarked cp866", CodePage::Cp866, 0x00, russian, CodePage::Cp866},
        {"unmarked 1251", CodePage::Windows1251, 0x00, russian, CodePage::Windows1251},
        {"unmarked cp866 capitals", CodePage::Cp866, 0x00, u"ПЕТРОВ"_s, CodePage::Cp866},
        {"unmarked 1251 capitals", CodePage::Windows1251, 0x00, u"ПЕТРОВ"_s, CodePage::Windows1251},
        {"unmarked cp866 small letters", CodePage::Cp866, 0x00, u"абвгд"_s, CodePage::Cp866},
        {"unmarked 1251 small letters", CodePage::Windows1251, 0x00, u"стуфх"_s, CodePage::Windows1251},
        {"0x57 with cp866", CodePage::Cp866, 0x57, russian, CodePage::Cp866},
        {"0x57 with 1251", CodePage::Windows1251, 0x57, russian, CodePage::Windows1251},
        {"unmarked utf-8", CodePage::Utf8, 0x00, russian, CodePage::Utf8},
        {"unknown byte, utf-8", CodePage::Utf8, 0xF0, u"Номер 😀"_s, CodePage::Utf8},
        {"unknown byte, 1251", CodePage::Windows1251, 0xF0, russian, CodePage::Windows1251},
        {"unmarked ASCII", CodePage::Windows1251, 0x00, u"plain text"_s, CodePage::Windows1251},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString file = path(QString::fromLatin1(c.what) + u".dbf"_s);
        WriteTable(file, CharFields({{"N", 2}, {"NAME", 60}}), {{{u"1"_s, c.text}}, {{u"2"_s, u"x"_s}}},
                   {c.written, c.languageDriver});
        const auto table = DbfTable::open(file);
        EXPECT_EQ(table->codePage(), c.expected);
        EXPECT_EQ(table->text(0, 1), c.text);
    }

    // The mark wins over bytes that, unmarked, are judged the other code page:
    // cp866's Ё and ё lie where Windows-1251 has letters, Windows-1251's
    // quotes and Ё, Є, Ї where cp866 has them.
    const Case marked[] = {
        {"cp866 marked 0x26, looks 1251", CodePage::Cp866, 0x26, u"ЁЁЁ ёё"_s, CodePage::Cp866},
        {"cp866 marked 0x65, looks 1251", CodePage::Cp866, 0x65, u"ЁЁЁ ёё"_s, CodePage::Cp866},
        {"1251 marked 0xC9, looks cp866", CodePage::Windows1251, 0xC9, u"«ЁЄЇ» —"_s, CodePage::Windows1251},
    };
    for (const Case &c : marked) {
        SCOPED_TRACE(c.what);
        const QString file = path(QString::fromLatin1(c.what) + u".dbf"_s);
        const QString unmarked = path(u"unmarked.dbf"_s);
        for (const QString &name : {file, unmarked})
            WriteTable(name, CharFields({{"NAME", 20}}), {{{c.text}}}, {c.written, name == file ? c.languageDriver : uint8_t{0}});
        EXPECT_NE(DbfTable::open(unmarked)->codePage(), c.expected);
        const auto table = DbfTable::open(file);
        EXPECT_EQ(table->codePage(), c.expected);
        EXPECT_EQ(table->text(0, 0), c.text);
    }
}

// The judgement samples records spread over the whole file, not only its start.
TEST_F(DbfTableTest, JudgesTheCodePageFromTheWholeFile)
{
    std::vector<Row> rows;
    for (int i = 0; i < 20000; ++i)
        rows.push_back({{i < 15000 ? u"LATIN %1"_s.arg(i) : u"КИРИЛЛИЦА %1"_s.arg(i)}});
    WriteTable(path(u"late.dbf"_s), CharFields({{"NAME", 20}}), rows, {CodePage::Cp866, 0x00});
    const auto table = DbfTable::open(path(u"late.dbf"_s));
    EXPECT_EQ(table->codePage(), CodePage::Cp866);
    EXPECT_EQ(table->text(19999, 0), u"КИРИЛЛИЦА 19999"_s);
}

// Damaged copies of one table of ours: what is tolerated is read up to the
// records the file really holds and reported; what is not is refused in words.
TEST_F(DbfTableTest, DamagedTables)
{
    // 5 records of 1 + 4 + 6 + 10 = 21 bytes, record 2 deleted; header 32 + 3 * 32 + 1 = 129.
    const std::vector<DbfFieldSpec> fields = {{u"NT"_s, 'C', 4, 0}, {u"SUM"_s, 'N', 6, 2}, {u"FIO"_s, 'C', 10, 0}};
    std::vector<Row> rows;
    for (int i = 0; i < 5; ++i)
        rows.push_back({{QString::number(1000 + i), u"1.5"_s, u"ИМЯ %1"_s.arg(i)}, i == 1});
    const QByteArray good = ReadBytes(WriteTable(path(u"good.dbf"_s), fields, rows, {CodePage::Cp866, 0x26}));
    constexpr int header = 129;
    constexpr int record = 21;
    ASSERT_EQ(good.size(), header + 5 * record + 1);

    struct Case {
        const char *what;
        std::function<void(QByteArray &)> damage;
        QString refusal;      // empty: the table opens
        uint32_t physical;    // records read
        QStringList warnings; // expected parts of the warnings
    };
    const Case cases[] = {
        {"intact", [](QByteArray &) {}, {}, 5, {}},
        {"no end-of-file mark", [](QByteArray &b) { b.chop(1); }, {}, 5, {}},
        {"truncated mid-record", [](QByteArray &b) { b.truncate(header + 4 * record + 7); }, {}, 4,
         {u"the header promises 5 records, the file holds 4"_s, u"ends inside record 5 (7 of its 21 bytes"_s}},
        {"truncated between records", [](QByteArray &b) { b.truncate(header + 3 * record); }, {}, 3,
         {u"the header promises 5 records, the file holds 3"_s}},
        {"header count too large", [](QByteArray &b) { PutLe32(b, 4, 120000); }, {}, 5,
         {u"the header promises 120000 records, the file holds 5"_s}},
        {"header count absurd", [](QByteArray &b) { PutLe32(b, 4, 0xFFFFFFFF); }, {}, 5,
         {u"promises 4294967295 records, the file holds 5"_s}},
        {"header count too small", [](QByteArray &b) { PutLe32(b, 4, 2); }, {}, 5,
         {u"the header promises 2 records, the file holds 5"_s}},
        {"header count one", [](QByteArray &b) { PutLe32(b, 4, 1); }, {}, 5,
         {u"the header promises 1 record, the file holds 5"_s}},
        {"header count zero", [](QByteArray &b) { PutLe32(b, 4, 0); }, {}, 5,
         {u"the header promises 0 records, the file holds 5"_s}},
        {"end mark inside the promised records",
         [](QByteArray &b) {
             b[header + 3 * record] = 0x1A;
             b.truncate(header + 3 * record + 1);
             b.append(QByteArray(4 * record, 'x'));
         },
         {}, 3, {u"the header promises 5 records, the file holds 3"_s}},
        {"junk after the last record",
         [](QByteArray &b) {
             PutLe32(b, 4, 2);
             b.chop(1);
             b.append(QByteArray(3 * record, '\x01'));
         },
         {}, 5, {u"the header promises 2 records, the file holds 5"_s}},
        {"no end of the field list", [](QByteArray &b) { b[header - 1] = 0; }, {}, 5,
         {u"the field list in the header has no end mark (0x0D)"_s}},
        {"record length one short", [](QByteArray &b) { PutLe16(b, 10, record - 1); }, {}, 5,
         {u"the header gives records of 20 bytes, the fields need 21"_s}},
        {"record length zero", [](QByteArray &b) { PutLe16(b, 10, 0); }, {}, 5,
         {u"the header gives records of 0 bytes, the fields need 21"_s}},
        {"record length absurd", [](QByteArray &b) { PutLe16(b, 10, 60000); }, {}, 0,
         {u"the header promises 5 records, the file holds 0"_s, u"ends inside record 1"_s}},
        {"field outside the record", [](QByteArray &b) { b[32 + 2 * 32 + 16] = char(200); }, {}, 0,
         {u"the fields need 211"_s, u"the header promises 5 records, the file holds 0"_s, u"ends inside record 1"_s}},
        {"header length absurd", [](QByteArray &b) { PutLe16(b, 8, 0xFFFF); },
         u"the header claims 65535 bytes, the file holds only 235 bytes"_s, 0, {}},
        {"header length too small", [](QByteArray &b) { PutLe16(b, 8, 40); },
         u"the header (40 bytes) holds no field descriptions"_s, 0, {}},
        {"header shorter than the file header", [](QByteArray &b) { b.truncate(31); },
         u"the file is 31 bytes long, shorter than a table header"_s, 0, {}},
        {"one byte", [](QByteArray &b) { b = QByteArray(1, '\x0A'); }, u"the file is 1 byte long"_s, 0, {}},
        {"empty", [](QByteArray &b) { b.clear(); }, u"the file is 0 bytes long"_s, 0, {}},
        {"dBase II", [](QByteArray &b) { b[0] = 0x02; }, u"dBase II file (version byte 0x02)"_s, 0, {}},
        {"dBase 7", [](QByteArray &b) { b[0] = 0x04; }, u"dBase 7 file (version byte 0x04)"_s, 0, {}},
        {"dBase 7 with memo", [](QByteArray &b) { b[0] = char(0x8C); }, u"dBase 7 file (version byte 0x8C)"_s, 0, {}},
        {"not a table", [](QByteArray &b) { b[0] = 'P'; }, u"not a dBASE or FoxPro table (version byte 0x50)"_s, 0, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray bytes = good;
        c.damage(bytes);
        const QString file = path(QString::fromLatin1(c.what) + u".dbf"_s);
        WriteBytes(file, bytes);
        if (!c.refusal.isEmpty()) {
            const QString message = RefusalOf([&] { DbfTable::open(file); });
            EXPECT_TRUE(message.contains(c.refusal)) << message.toStdString();
            EXPECT_TRUE(message.contains(QDir::toNativeSeparators(file))) << message.toStdString();
            continue;
        }
        std::shared_ptr<const DbfTable> table;
        ASSERT_NO_THROW(table = DbfTable::open(file));
        EXPECT_EQ(table->physicalCount(), c.physical);
        ExpectWarnings(*table, c.warnings);
        // Whatever could be read is read right.
        const bool misaligned = c.warnings.join(u' ').contains(u"fields need"_s) && c.physical == 0;
        for (uint32_t i = 0; !misaligned && i < table->physicalCount(); ++i) {
            EXPECT_EQ(table->text(i, 2), u"ИМЯ %1"_s.arg(i));
            EXPECT_EQ(table->isDeleted(i), i == 1);
        }
    }
}

// Clipper keeps the length of a long character field in two bytes; the
// header's record length tells that apart from a decimal count (which Excel
// writes on character fields, see the corpus).
TEST_F(DbfTableTest, ReadsLongCharacterFields)
{
    QByteArray bytes = ReadBytes(WriteTable(path(u"long.dbf"_s), CharFields({{"MEMO", 44}}), {}));
    bytes.chop(1); // the end-of-file mark
    bytes[32 + 17] = 1; // length 44 + 1 * 256
    PutLe16(bytes, 10, 1 + 300);
    PutLe32(bytes, 4, 1);
    bytes.append(' ').append(QByteArray(299, 'x')).append('y').append('\x1A');
    WriteBytes(path(u"long.dbf"_s), bytes);
    const auto table = DbfTable::open(path(u"long.dbf"_s));
    ExpectWarnings(*table, {});
    ASSERT_EQ(table->fields().size(), 1u);
    EXPECT_EQ(table->fields()[0].length, 300);
    EXPECT_EQ(table->text(0, 0), QString(299, u'x') + u'y');
}

TEST_F(DbfTableTest, ATableWithoutFieldsIsRefused)
{
    WriteTable(path(u"none.dbf"_s), {}, {{{}}, {{}}});
    const QString message = RefusalOf([&] { DbfTable::open(path(u"none.dbf"_s)); });
    EXPECT_TRUE(message.contains(u"holds no field descriptions"_s)) << message.toStdString();
}

TEST_F(DbfTableTest, MissingFileIsRefused)
{
    const QString message = RefusalOf([&] { DbfTable::open(path(u"absent.dbf"_s)); });
    EXPECT_TRUE(message.contains(u"absent.dbf"_s)) << message.toStdString();
}

TEST_F(DbfTableTest, ReadsVisualFoxProTables)
{
    WriteTable(path(u"vfp.dbf"_s), CharFields({{"NAME", 12}, {"CITY", 8}}),
               {{{u"Иванов"_s, u"Тверь"_s}}, {{u"Петров"_s, u""_s}, true}}, {CodePage::Windows1251, 0xC9, 0x30});
    const QByteArray bytes = ReadBytes(path(u"vfp.dbf"_s));
    ASSERT_EQ(bytes.size(), 32 + 2 * 32 + 1 + 263 + 2 * 21 + 1);
    const auto table = DbfTable::open(path(u"vfp.dbf"_s));
    ExpectWarnings(*table, {});
    ASSERT_EQ(table->fields().size(), 2u);
    EXPECT_EQ(table->text(0, 1), u"Тверь"_s);
    EXPECT_EQ(table->liveCount(), 1u);
}

// A memo field that points past the end of its memo file reads as NULL, and
// the table's warnings name the table and the row.
TEST_F(DbfTableTest, MemoPastTheEndIsNullWithAWarning)
{
    WriteTable(path(u"notes.dbf"_s), CharFields({{"NAME", 4}, {"NOTE", 10}}),
               {{{u"a"_s, u"1"_s}}, {{u"b"_s, u"99"_s}}, {{u"c"_s, u""_s}}, {{u"d"_s, u"2"_s}}});
    QByteArray bytes = ReadBytes(path(u"notes.dbf"_s));
    bytes[0] = char(0x83);           // dBASE III with memo
    bytes[32 + 32 + 11] = 'M';       // the second field is a memo
    WriteBytes(path(u"notes.dbf"_s), bytes);
    QByteArray memo(512, '\0');       // header: block size 512
    memo.append("first\x1A");
    memo.append(QByteArray(512 - 6, ' '));
    memo.append("cut"); // block 2 runs to the file's end
    WriteBytes(path(u"NOTES.DBT"_s), memo);

    const auto table = DbfTable::open(path(u"notes.dbf"_s));
    ExpectWarnings(*table, {u"row 2 of notes.dbf lies past the end of the memo file"_s});
    std::string scratch;
    EXPECT_EQ(table->value(0, 1, scratch).text, "first");
    EXPECT_EQ(table->value(1, 1, scratch).type, FieldValue::Null);
    EXPECT_EQ(table->value(2, 1, scratch).type, FieldValue::Null);
    EXPECT_EQ(table->value(3, 1, scratch).text, "cut");
    const auto inMemory = DbfTable::fromBytes(bytes, u"memory"_s, memo);
    ExpectWarnings(*inMemory, {u"row 2 of memory"_s});
}

// The same checks run on bytes in memory (the fuzzer's way in).
TEST_F(DbfTableTest, OpensBytesInMemory)
{
    const QByteArray bytes =
        ReadBytes(WriteTable(path(u"m.dbf"_s), CharFields({{"A", 4}}), {{{u"ab"_s}}, {{u"cd"_s}, true}}));
    const auto table = DbfTable::fromBytes(bytes, u"memory"_s);
    EXPECT_EQ(table->liveCount(), 1u);
    EXPECT_EQ(table->text(0, 0), u"ab"_s);
    const QString message = RefusalOf([&] { DbfTable::fromBytes(bytes.left(20), u"memory"_s); });
    EXPECT_TRUE(message.contains(u"memory"_s) && message.contains(u"shorter than a table header"_s));
}

// Tables written by other software (see the corpus README): each opens or is
// refused as its notes say, its counts agree with the raw deletion flags, and
// the character fields read as the independent reader's expectations.
namespace {

// Our shown value against the reference reader's rendering of it.
void ExpectSameValue(const QString &ours, const DbfField &field, const QString &theirs, const std::string &where)
{
    const FieldKind kind = field.kind;
    if (theirs == u"None"_s || theirs.startsWith(u"hex:"_s)) { // no value, or a type neither of us reads
        EXPECT_EQ(ours, QString()) << where;
        return;
    }
    switch (kind) {
    case FieldKind::Integer:
    case FieldKind::Real: {
        bool ok = false;
        EXPECT_DOUBLE_EQ(ours.toDouble(&ok), theirs.toDouble()) << where << " " << ours.toStdString();
        EXPECT_TRUE(ok) << where;
        break;
    }
    case FieldKind::Logical:
        EXPECT_EQ(ours, theirs == u"True"_s ? u"1"_s : u"0"_s) << where;
        break;
    case FieldKind::DateTime:
        EXPECT_EQ(ours, theirs.left(19)) << where; // whole seconds
        break;
    case FieldKind::Text:
        // A dBASE IV memo holds as many bytes as its block header counts;
        // the other reader goes on to the next end mark, past bytes left
        // over from an older, longer text ("Fifth memoo").
        if (field.isMemo()) {
            EXPECT_FALSE(ours.isEmpty()) << where;
            EXPECT_TRUE(theirs.startsWith(ours)) << where << " " << ours.toStdString();
            break;
        }
        EXPECT_EQ(ours, theirs) << where;
        break;
    default:
        EXPECT_EQ(ours, theirs) << where;
    }
}

} // namespace

TEST(DbfCorpus, RealTables)
{
    const QDir dir(QStringLiteral(PHONEBOOK_TESTDATA_DIR "/dbf"));
    if (!dir.exists())
        GTEST_SKIP() << "the shared table files made by other software are not here: " << dir.path().toStdString();

    struct Expectation {
        QString refusal; // empty: opens
        QStringList warnings;
        std::optional<CodePage> codePage; // where the text tells code pages apart
    };
    const std::map<QString, Expectation> expectations = {
        {u"dans_EMPTY.DBF"_s, {u"the file is 1 byte long"_s, {}, {}}},
        {u"infused_dbase_02.dbf"_s, {u"dBase II file"_s, {}, {}}},
        {u"phpxbase_dBaseVII_int.dbf"_s, {u"dBase 7 file"_s, {}, {}}},
        {u"godbf_lessThanActualRecords.dbf"_s, {{}, {u"the header promises 1 record, the file holds 3"_s}, {}}},
        {u"infused_dbase_8b_incorrect_record_count.dbf"_s,
         {{}, {u"the header promises 15 records, the file holds 10"_s, u"memo file (.dbt or .fpt) beside it is missing"_s}, {}}},
        {u"javadbf_continents_no_hdr_terminator.dbf"_s, {{}, {u"no end mark (0x0D)"_s}, {}}},
        {u"dbasers_stations_with_deleted.dbf"_s, {{}, {u"records of 1016 bytes, the fields need 1017"_s}, {}}},
        {u"dans_rus.dbf"_s, {{}, {}, CodePage::Cp866}},
        {u"infused_cp1251.dbf"_s, {{}, {}, CodePage::Windows1251}},
        {u"infused_dbase_03_cyrillic.dbf"_s, {{}, {}, CodePage::Utf8}},
        {u"jdbf_218864_tir_im.dbf"_s, {{}, {}, CodePage::Cp866}},
        {u"kladr_SOCRBASE.DBF"_s, {{}, {}, CodePage::Cp866}},
        {u"minigui_Ru866.dbf"_s,
         {{}, {u"MODVER has the type \"^\", which this program does not read"_s, u"DT has the type \"=\""_s}, CodePage::Cp866}},
        {u"minigui_Customer_ldid26.dbf"_s, {{}, {}, CodePage::Cp866}},
        {u"minigui_street-Ua1251.dbf"_s, {{}, {}, CodePage::Windows1251}},
        {u"mixrnd_types1.dbf"_s, {{}, {}, CodePage::Windows1251}},
        {u"phpxbase_cbrf_122019N1.dbf"_s, {{}, {}, CodePage::Cp866}},
        {u"dbffile_vfp9_30.dbf"_s, {{}, {}, CodePage::Windows1252}},
    };

    QFile manifest(dir.filePath(u"MANIFEST.tsv"_s));
    ASSERT_TRUE(manifest.open(QIODevice::ReadOnly));
    const QStringList header = QString::fromUtf8(manifest.readLine()).trimmed().split(u'\t');
    const auto column = [&](const char *name) { return header.indexOf(QString::fromLatin1(name)); };
    int tables = 0;
    int compared = 0;
    while (!manifest.atEnd()) {
        const QStringList row = QString::fromUtf8(manifest.readLine()).trimmed().split(u'\t');
        const QString name = row.value(column("file"));
        if (!name.endsWith(u".dbf"_s, Qt::CaseInsensitive))
            continue;
        SCOPED_TRACE(name.toStdString());
        ++tables;
        const Expectation expected = expectations.count(name) ? expectations.at(name) : Expectation{};
        const QString file = dir.filePath(name);
        if (!expected.refusal.isEmpty()) {
            const QString message = RefusalOf([&] { DbfTable::open(file); });
            EXPECT_TRUE(message.contains(expected.refusal)) << message.toStdString();
            continue;
        }
        std::shared_ptr<const DbfTable> table;
        ASSERT_NO_THROW(table = DbfTable::open(file));
        ExpectWarnings(*table, expected.warnings);
        if (expected.codePage) {
            EXPECT_EQ(table->codePage(), *expected.codePage);
        }
        const uint32_t live = row.value(column("live_records")).toUInt();
        EXPECT_EQ(table->liveCount(), live);
        EXPECT_EQ(table->physicalCount(), live + row.value(column("deleted_records")).toUInt());

        QFile json(file + u".expected.json"_s);
        if (!json.open(QIODevice::ReadOnly))
            continue;
        ++compared;
        const QJsonArray records = QJsonDocument::fromJson(json.readAll()).array();
        ASSERT_EQ(static_cast<uint32_t>(records.size()), std::min<uint32_t>(live, 200));
        for (qsizetype r = 0; r < records.size(); ++r) {
            const QJsonObject record = records[r].toObject();
            // Every column the other reader saw but the hidden _NullFlags is a field here.
            EXPECT_EQ(table->fields().size(), static_cast<size_t>(record.size() - record.contains(u"_NullFlags"_s)));
            for (size_t f = 0; f < table->fields().size(); ++f) {
                const DbfField &field = table->fields()[f];
                ASSERT_TRUE(record.contains(field.name)) << field.name.toStdString();
                ExpectSameValue(table->shownText(table->liveRecord(static_cast<uint32_t>(r)), static_cast<int>(f)),
                                field, record.value(field.name).toString(),
                                "record " + std::to_string(r) + " field " + field.name.toStdString());
            }
        }
    }
    EXPECT_EQ(tables, 25);
    EXPECT_EQ(compared, 18);
}
