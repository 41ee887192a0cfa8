#include "Collation.h"
#include "DatabaseError.h"
#include "DbfTable.h"
#include "QueryResult.h"
#include "SqlEngine.h"
#include "TableOrder.h"
#include "UHelpFull.h"

#include "../support/TableFixtures.h"

#include <gtest/gtest.h>

#include <QSet>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>
#include <set>

using namespace phonebook;
using namespace phonebook::fixtures;

// Allocations through operator new can be made to fail from a size up, to
// run the engine's callbacks out of memory; SQLite and Qt allocate with malloc.
// Every form is replaced, so that whatever a form allocates, its delete frees.
namespace {
std::atomic<size_t> g_refuseFrom{0}; // 0: refuse nothing

void *allocate(size_t size, size_t alignment = 0) noexcept
{
    const size_t limit = g_refuseFrom.load(std::memory_order_relaxed);
    if (limit != 0 && size >= limit)
        return nullptr;
    if (alignment <= alignof(std::max_align_t))
        return std::malloc(size != 0 ? size : 1);
    void *p = nullptr;
    return posix_memalign(&p, alignment, size != 0 ? size : 1) == 0 ? p : nullptr;
}
void *allocateOrThrow(size_t size, size_t alignment = 0)
{
    if (void *p = allocate(size, alignment))
        return p;
    throw std::bad_alloc();
}
} // namespace

void *operator new(size_t size) { return allocateOrThrow(size); }
void *operator new[](size_t size) { return allocateOrThrow(size); }
void *operator new(size_t size, std::align_val_t a) { return allocateOrThrow(size, static_cast<size_t>(a)); }
void *operator new[](size_t size, std::align_val_t a) { return allocateOrThrow(size, static_cast<size_t>(a)); }
void *operator new(size_t size, const std::nothrow_t &) noexcept { return allocate(size); }
void *operator new[](size_t size, const std::nothrow_t &) noexcept { return allocate(size); }
void *operator new(size_t size, std::align_val_t a, const std::nothrow_t &) noexcept { return allocate(size, static_cast<size_t>(a)); }
void *operator new[](size_t size, std::align_val_t a, const std::nothrow_t &) noexcept { return allocate(size, static_cast<size_t>(a)); }
void operator delete(void *p) noexcept { std::free(p); }
void operator delete[](void *p) noexcept { std::free(p); }
void operator delete(void *p, size_t) noexcept { std::free(p); }
void operator delete[](void *p, size_t) noexcept { std::free(p); }
void operator delete(void *p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void *p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void *p, size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void *p, size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void *p, const std::nothrow_t &) noexcept { std::free(p); }
void operator delete[](void *p, const std::nothrow_t &) noexcept { std::free(p); }
void operator delete(void *p, std::align_val_t, const std::nothrow_t &) noexcept { std::free(p); }
void operator delete[](void *p, std::align_val_t, const std::nothrow_t &) noexcept { std::free(p); }

namespace {

QString Enc(const QString &plain) { return EncodeText(plain, CipherKey); }
QString Dec(const QString &stored) { return DecodeText(stored, CipherKey); }
QString RightAligned(const QString &plain, int width) { return plain.rightJustified(width, u' '); }

int Sign(int v) { return (v > 0) - (v < 0); }

QString Quoted(const QString &value)
{
    QString out = value;
    out.replace(u'\'', QStringLiteral("''"));
    return u'\'' + out + u'\'';
}

struct Person {
    QString nt, fio, street, hous, flat;
    bool deleted = false;
};

// Plain values; the tables hold them enciphered.
const std::vector<Person> People = {
    {QStringLiteral("231456"), QStringLiteral("ИВАНОВ ИВАН ИВАНОВИЧ"), QStringLiteral("ул.Ленина"), QStringLiteral("12"),
     QStringLiteral("5")},
    {QStringLiteral("231457"), QStringLiteral("ИВАНОВА МАРИЯ ПЕТРОВНА"), QStringLiteral("ул.Ленина"),
     QStringLiteral("12А"), QStringLiteral("15")},
    {QStringLiteral("245001"), QStringLiteral("ПЕТРОВ ПЕТР"), QStringLiteral("пр.Мира"), QStringLiteral("5"),
     QStringLiteral("1")},
    {QStringLiteral("552310"), QStringLiteral("СИДОРОВ ИВАН"), QStringLiteral("ул.ленина"), QStringLiteral("100"),
     QString()},
    {QStringLiteral("232323"), QStringLiteral("ЁЛКИН ЕГОР"), QStringLiteral("пер.Тихий"), QStringLiteral("12/3"),
     QStringLiteral("7")},
    {QStringLiteral("231000"), QStringLiteral("ЕЛИСЕЕВ"), QStringLiteral("ул.Ленина"), QStringLiteral("2"), QString(),
     true},
    {QStringLiteral("300000"), QStringLiteral("Д'АРТАНЬЯН"), QStringLiteral("ул. 8 Марта"), QStringLiteral("1"),
     QString()},
    {QStringLiteral("300001"), QStringLiteral("ИВАНОВ"), QStringLiteral("ул.Ленина"), QStringLiteral("12"),
     QStringLiteral("5")},
};

struct Organisation {
    QString nt, naim, knaim, mesto, street, hous;
};

const std::vector<Organisation> Organisations = {
    {QStringLiteral("  23101"), QStringLiteral("ЗАВОД ПРОГРЕСС"), QString(), QStringLiteral("ПРИЕМНАЯ"),
     QStringLiteral("ул.Заводская"), QStringLiteral("1")},
    {QStringLiteral("  23102"), QStringLiteral("ЗАВОД ПРОГРЕСС"), QString(), QStringLiteral("БУХГАЛТЕРИЯ"),
     QStringLiteral("ул.Заводская"), QStringLiteral("1")},
    {QStringLiteral("  24000"), QStringLiteral("ШКОЛА N 5"), QString(), QString(), QStringLiteral("ул.Мира"),
     QStringLiteral("10")},
    {QStringLiteral("  24001"), QStringLiteral("ГОРОДСКАЯ БОЛЬНИЦА"), QStringLiteral("БОЛЬНИЦА N1"),
     QStringLiteral("ПРИЕМНЫЙ ПОКОЙ"), QStringLiteral("пр.Победы"), QStringLiteral("3")},
    {QStringLiteral("  24002"), QStringLiteral("ПРОГРЕСС-АВТО"), QString(), QString(), QStringLiteral("пр.Победы"),
     QStringLiteral("3А")},
};

class Engine : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        // Individuals in Windows-1251, with a numeric field among the text;
        // the file name in capitals as DOS-era archives deliver it.
        std::vector<DbfFieldSpec> kw = CharFields({{"NT", 6}, {"FIO", 40}, {"STREET", 30}, {"HOUS", 7}, {"FLAT", 3}});
        kw.insert(kw.begin() + 2, DbfFieldSpec{QStringLiteral("KOD"), 'N', 5, 0});
        std::vector<Row> rows;
        for (const Person &p : People)
            rows.push_back({{Enc(p.nt), Enc(p.fio), QStringLiteral("42"), Enc(p.street), Enc(RightAligned(p.hous, 7)),
                             Enc(RightAligned(p.flat, 3))},
                            p.deleted});
        WriteTable(path(QStringLiteral("SP09KW_N.DBF")), kw, rows, {CodePage::Windows1251, 0xC9});

        // Organisations in cp866.
        std::vector<Row> orgs;
        for (const Organisation &o : Organisations)
            orgs.push_back({{Enc(o.nt), Enc(o.naim), Enc(o.knaim), Enc(o.mesto), Enc(o.street),
                             Enc(RightAligned(o.hous, 7))}});
        WriteTable(path(QStringLiteral("sp09pr_n.dbf")),
                   CharFields({{"nt", 8}, {"naim", 40}, {"knaim", 40}, {"mesto", 30}, {"street", 30}, {"hous", 7}}),
                   orgs, {CodePage::Cp866, 0x26});
    }

    QString path(const QString &name) const { return m_dir.filePath(name); }

    std::shared_ptr<QueryResult> run(const QString &sql) const { return RunStatement(m_dir.path(), sql); }

    // Deciphered cells of one column, in result order.
    QStringList column(const QString &sql, int col = 0) const
    {
        const auto result = run(sql);
        QStringList out;
        for (int row = 0; row < result->rowCount(); ++row)
            out.append(Dec(result->text(row, col)));
        return out;
    }

    // Stored values of one column, as the table holds them.
    QStringList storedColumn(const QString &sql, int col = 0) const
    {
        const auto result = run(sql);
        QStringList out;
        for (int row = 0; row < result->rowCount(); ++row)
            out.append(result->text(row, col));
        return out;
    }

    // Runs the LIKE pushed into the table and twice more through like()
    // itself (on an expression, and in its three-argument form); all must agree.
    QStringList likeEverywhere(const QString &field, const QString &pattern) const
    {
        const QString table =
            field == u"naim" || field == u"mesto" ? QStringLiteral("sp09pr_n") : QStringLiteral("sp09kw_n");
        const QString quoted = Quoted(pattern);
        const QStringList pushed = column(QStringLiteral("SELECT %1 FROM %2 WHERE %1 LIKE %3").arg(field, table, quoted));
        EXPECT_EQ(column(QStringLiteral("SELECT %1 FROM %2 WHERE %1||'' LIKE %3").arg(field, table, quoted)), pushed)
            << pattern.toStdString();
        EXPECT_EQ(column(QStringLiteral("SELECT %1 FROM %2 WHERE like(%3, %1, '~')").arg(field, table, quoted)), pushed)
            << pattern.toStdString();
        return pushed;
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(Engine, LikeMatchesEncipheredTextAsTheSearchesNeed)
{
    auto like = [this](const QString &field, const QString &pattern) { return likeEverywhere(field, pattern); };

    // Prefix on a number; the deleted 231000 stays hidden.
    EXPECT_EQ(like(QStringLiteral("nt"), Enc(QStringLiteral("231")) + u'%'),
              (QStringList{QStringLiteral("231456"), QStringLiteral("231457")}));
    // Prefix on a name: the whole first word and the start of the next.
    EXPECT_EQ(like(QStringLiteral("fio"), Enc(QStringLiteral("ИВАНОВ ИВ")) + u'%'),
              (QStringList{QStringLiteral("ИВАНОВ ИВАН ИВАНОВИЧ")}));
    EXPECT_EQ(like(QStringLiteral("fio"), Enc(QStringLiteral("ИВАНОВ")) + u'%').size(), 3);
    // Case-sensitive: the stored word in other letter case finds nothing.
    const QString otherCase = Enc(QStringLiteral("ИВАНОВ")).toLower();
    ASSERT_NE(otherCase, Enc(QStringLiteral("ИВАНОВ")));
    EXPECT_TRUE(like(QStringLiteral("fio"), otherCase + u'%').isEmpty());
    // A word anywhere in the name (words encipher alike wherever they stand).
    EXPECT_EQ(like(QStringLiteral("naim"), u'%' + Enc(QStringLiteral("ПРОГРЕСС")) + u'%'),
              (QStringList{QStringLiteral("ЗАВОД ПРОГРЕСС"), QStringLiteral("ЗАВОД ПРОГРЕСС"),
                           QStringLiteral("ПРОГРЕСС-АВТО")}));
    // No wildcard: the whole value only.
    EXPECT_EQ(like(QStringLiteral("fio"), Enc(QStringLiteral("ИВАНОВ"))), (QStringList{QStringLiteral("ИВАНОВ")}));
    EXPECT_TRUE(like(QStringLiteral("fio"), Enc(QStringLiteral("ИВАНО"))).isEmpty());
    // Right-aligned houses: the leading blanks are part of the value.
    EXPECT_EQ(like(QStringLiteral("hous"), Enc(QStringLiteral("    100"))), (QStringList{QStringLiteral("    100")}));
    EXPECT_TRUE(like(QStringLiteral("hous"), Enc(QStringLiteral("100"))).isEmpty());
    EXPECT_EQ(like(QStringLiteral("hous"), QStringLiteral("%") + Enc(QStringLiteral("12")) + u'%').size(), 4);
    // An empty flat is an empty value, whatever the padding.
    EXPECT_EQ(like(QStringLiteral("flat"), QString()).size(), 2);
    // Pieces must come in order, and "%" alone matches everything.
    EXPECT_EQ(like(QStringLiteral("fio"), QStringLiteral("%") + Enc(QStringLiteral("ИВАН")) + u'%' +
                                              Enc(QStringLiteral("ИВАНОВИЧ"))),
              (QStringList{QStringLiteral("ИВАНОВ ИВАН ИВАНОВИЧ")}));
    EXPECT_EQ(like(QStringLiteral("fio"), QStringLiteral("%")).size(), 7);
    // Several conditions as the address search joins them, pushed down together or left to like().
    const QString street = Quoted(Enc(QStringLiteral("ул.Ленина")));
    const QString house = Quoted(Enc(QStringLiteral("     12")) + u'%');
    EXPECT_EQ(column(QStringLiteral("SELECT fio FROM sp09kw_n WHERE (street LIKE %1) AND (hous LIKE %2)")
                         .arg(street, house)),
              (QStringList{QStringLiteral("ИВАНОВ ИВАН ИВАНОВИЧ"), QStringLiteral("ИВАНОВ")}));
    EXPECT_EQ(column(QStringLiteral("SELECT fio FROM sp09kw_n WHERE street LIKE %1 AND hous LIKE %2 AND flat LIKE %3")
                         .arg(street, house, Quoted(Enc(QStringLiteral("  5"))))),
              (QStringList{QStringLiteral("ИВАНОВ ИВАН ИВАНОВИЧ"), QStringLiteral("ИВАНОВ")}));
    EXPECT_EQ(column(QStringLiteral("SELECT fio FROM sp09kw_n WHERE street LIKE %1 OR hous LIKE %2").arg(street, house))
                  .size(),
              3);
    EXPECT_EQ(like(QStringLiteral("fio"), QStringLiteral("%%%")).size(), 7);
}

TEST_F(Engine, LikeTakesUnderscoreAndApostropheLiterally)
{
    // Stored text written as is, so that it holds "_" and an apostrophe.
    WriteTable(path(QStringLiteral("raw.dbf")), CharFields({{"v", 20}}),
               {{{QStringLiteral("AB_D")}}, {{QStringLiteral("ABCD")}}, {{QStringLiteral("O'HARA")}},
                {{QStringLiteral("ЁЖ%")}}, {{QStringLiteral("WHY?")}}});
    auto col = [this](const QString &sql) { return storedColumn(sql); };
    for (const QString &pattern : {QStringLiteral("AB_D"), QStringLiteral("AB_%"), QStringLiteral("%_D")}) {
        const QStringList pushed = col(QStringLiteral("SELECT v FROM raw WHERE v LIKE %1").arg(Quoted(pattern)));
        EXPECT_EQ(pushed, QStringList{QStringLiteral("AB_D")}) << pattern.toStdString();
        EXPECT_EQ(col(QStringLiteral("SELECT v FROM raw WHERE v||'' LIKE %1").arg(Quoted(pattern))), pushed);
    }
    EXPECT_EQ(col(QStringLiteral("SELECT v FROM raw WHERE v LIKE 'O''H%'")), QStringList{QStringLiteral("O'HARA")});
    EXPECT_EQ(col(QStringLiteral("SELECT v FROM raw WHERE v||'' LIKE 'O''H%'")), QStringList{QStringLiteral("O'HARA")});
    // The three-argument form: an escaped "%" is a literal percent sign.
    EXPECT_EQ(col(QStringLiteral("SELECT v FROM raw WHERE v LIKE '%~%' ESCAPE '~'")), QStringList{QStringLiteral("ЁЖ%")});
    EXPECT_EQ(col(QStringLiteral("SELECT v FROM raw WHERE like('ЁЖ~%', v, '~')")), QStringList{QStringLiteral("ЁЖ%")});
    EXPECT_THROW(run(QStringLiteral("SELECT v FROM raw WHERE v LIKE 'A%' ESCAPE '~~'")), DatabaseError);
    // A character the table's code page cannot hold matches no row, on either
    // path (not even a "?" that a lossy conversion would put in its place).
    EXPECT_TRUE(col(QStringLiteral("SELECT v FROM raw WHERE v LIKE '%中%'")).isEmpty());
    EXPECT_TRUE(col(QStringLiteral("SELECT v FROM raw WHERE v||'' LIKE '%中%'")).isEmpty());
    // A table in UTF-8 gives the same answers.
    WriteTable(path(QStringLiteral("utf.dbf")), CharFields({{"v", 20}}),
               {{{QStringLiteral("ЖЁЛТЫЙ")}}, {{QStringLiteral("A_B")}}, {{QStringLiteral("ЁЖ")}}}, {CodePage::Utf8, 0x00});
    EXPECT_EQ(col(QStringLiteral("SELECT v FROM utf WHERE v LIKE '%Ё%'")),
              (QStringList{QStringLiteral("ЖЁЛТЫЙ"), QStringLiteral("ЁЖ")}));
    EXPECT_EQ(col(QStringLiteral("SELECT v FROM utf ORDER BY v")),
              col(QStringLiteral("SELECT v FROM utf ORDER BY v||'' COLLATE directory")));
    EXPECT_EQ(col(QStringLiteral("SELECT v FROM utf WHERE v LIKE 'A_B'")), QStringList{QStringLiteral("A_B")});
    // NULL patterns match nothing.
    EXPECT_TRUE(col(QStringLiteral("SELECT v FROM raw WHERE v LIKE NULL")).isEmpty());
}

TEST_F(Engine, ValueReadFromARowFindsThatRowAgain)
{
    for (const QString &field : {QStringLiteral("fio"), QStringLiteral("street"), QStringLiteral("hous"),
                                 QStringLiteral("flat"), QStringLiteral("nt")}) {
        const auto all = run(QStringLiteral("SELECT nt, %1 FROM sp09kw_n").arg(field));
        for (int row = 0; row < all->rowCount(); ++row) {
            const QString nt = all->text(row, 0);
            const QString value = all->text(row, 1);
            const QStringList found =
                storedColumn(QStringLiteral("SELECT nt FROM sp09kw_n WHERE %1 LIKE %2").arg(field, Quoted(value)));
            EXPECT_TRUE(found.contains(nt)) << field.toStdString() << " = '" << value.toStdString() << "'";
        }
    }
    // The organisation name read back and put into the organisation's numbers statement.
    const QString naim = run(QStringLiteral("SELECT naim FROM sp09pr_n WHERE nt LIKE %1")
                                 .arg(Quoted(Enc(QStringLiteral("  23102")))))
                             ->text(0, 0);
    EXPECT_EQ(column(QStringLiteral("SELECT mesto FROM sp09pr_n WHERE naim LIKE %1").arg(Quoted(naim))),
              (QStringList{QStringLiteral("ПРИЕМНАЯ"), QStringLiteral("БУХГАЛТЕРИЯ")}));

    // A UTF-8 table whose field width cuts a character in two: the value comes
    // back with the cut character replaced, and still finds its row.
    const QString cut = path(QStringLiteral("cut.dbf"));
    WriteTable(cut, CharFields({{"v", 7}}), {{{QStringLiteral("Мос!")}}, {{QStringLiteral("Мост")}}, {{QStringLiteral("ab")}}},
               {CodePage::Utf8, 0x00});
    QByteArray bytes = ReadBytes(cut);
    bytes.replace("\xD0\x9C\xD0\xBE\xD1\x81!", "\xD0\x9C\xD0\xBE\xD1\x81\xD0"); // "Мос" and the lead byte of "к"
    WriteBytes(cut, bytes);
    const QString value = run(QStringLiteral("SELECT v FROM cut"))->text(0, 0);
    ASSERT_TRUE(value.startsWith(QStringLiteral("Мос")) && value.size() == 4) << value.toStdString();
    for (const QString &pattern : {value, value + u'%', u'%' + value.right(2) + u'%'}) {
        EXPECT_EQ(run(QStringLiteral("SELECT v FROM cut WHERE v LIKE %1").arg(Quoted(pattern)))->rowCount(), 1)
            << pattern.toStdString();
        EXPECT_EQ(run(QStringLiteral("SELECT v FROM cut WHERE v||'' LIKE %1").arg(Quoted(pattern)))->rowCount(), 1)
            << pattern.toStdString();
    }
}

TEST_F(Engine, OrderByAndDistinctFollowTheCollation)
{
    EXPECT_EQ(column(QStringLiteral("SELECT hous FROM sp09kw_n ORDER BY hous")),
              (QStringList{QStringLiteral("      1"), QStringLiteral("      5"), QStringLiteral("     12"),
                           QStringLiteral("     12"), QStringLiteral("    100"), QStringLiteral("    12А"),
                           QStringLiteral("   12/3")}));
    // Ё after Е; a prefix first; streets that differ only in case are kept apart.
    EXPECT_EQ(column(QStringLiteral("SELECT fio FROM sp09kw_n ORDER BY fio")),
              (QStringList{Dec(Enc(QStringLiteral("Д'АРТАНЬЯН"))), QStringLiteral("ЁЛКИН ЕГОР"), QStringLiteral("ИВАНОВ"),
                           QStringLiteral("ИВАНОВ ИВАН ИВАНОВИЧ"), QStringLiteral("ИВАНОВА МАРИЯ ПЕТРОВНА"),
                           QStringLiteral("ПЕТРОВ ПЕТР"), QStringLiteral("СИДОРОВ ИВАН")}));
    const QStringList streets = column(QStringLiteral("SELECT DISTINCT sp09kw_n.street FROM sp09kw_n ORDER BY sp09kw_n.street"));
    EXPECT_EQ(streets.size(), 5);
    EXPECT_EQ(streets.mid(0, 2), (QStringList{QStringLiteral("пер.Тихий"), QStringLiteral("пр.Мира")}));
    EXPECT_EQ(streets.mid(2, 1), QStringList{QStringLiteral("ул. 8 Марта")});
    EXPECT_TRUE(streets.contains(QStringLiteral("ул.Ленина")) && streets.contains(QStringLiteral("ул.ленина")));
    EXPECT_EQ(column(QStringLiteral("SELECT fio FROM sp09kw_n ORDER BY fio DESC")).first(), QStringLiteral("СИДОРОВ ИВАН"));

    // The organisations list: one row per organisation and address, in name order.
    const auto orgs = run(QStringLiteral(
        "SELECT DISTINCT sp09pr_n.naim, sp09pr_n.street, sp09pr_n.hous FROM sp09pr_n ORDER BY naim"));
    ASSERT_EQ(orgs->rowCount(), 4);
    EXPECT_EQ(Dec(orgs->text(0, 0)), QStringLiteral("ГОРОДСКАЯ БОЛЬНИЦА"));
    EXPECT_EQ(Dec(orgs->text(1, 0)), QStringLiteral("ЗАВОД ПРОГРЕСС"));
    EXPECT_EQ(Dec(orgs->text(2, 0)), QStringLiteral("ПРОГРЕСС-АВТО"));
    EXPECT_EQ(Dec(orgs->text(3, 2)), QStringLiteral("     10"));
    // DISTINCT on several columns keeps rows that differ in any of them.
    EXPECT_EQ(run(QStringLiteral("SELECT DISTINCT street, hous, flat FROM sp09kw_n ORDER BY street, hous"))->rowCount(), 6);
    EXPECT_EQ(run(QStringLiteral("SELECT DISTINCT street FROM sp09kw_n WHERE hous LIKE %1")
                      .arg(Quoted(Enc(QStringLiteral("     12")))))
                  ->rowCount(),
              1);
}

TEST_F(Engine, OrderByBreaksTiesByTheStoredCodePoints)
{
    // Case pairs weigh the same; their stored third characters (the key's
    // "b") are "P"/"i", "Ё"/"Я" and "С"/"№": in code-point order, which the
    // bytes of Windows-1251 (№ below С) and of cp866 (Ё above Я) turn round.
    const QStringList plain{QStringLiteral("ИВM"), QStringLiteral("ИВa"), QStringLiteral("ИВё"),
                            QStringLiteral("ИВm"), QStringLiteral("ИВA"), QStringLiteral("ИВЁ")};
    const QStringList expected{QStringLiteral("ИВЁ"), QStringLiteral("ИВё"), QStringLiteral("ИВa"),
                               QStringLiteral("ИВA"), QStringLiteral("ИВm"), QStringLiteral("ИВM")};
    QStringList reversed = expected;
    std::reverse(reversed.begin(), reversed.end());
    const std::pair<CodePage, uint8_t> pages[] = {{CodePage::Windows1251, 0xC9}, {CodePage::Cp866, 0x26}};
    for (const auto &[page, mark] : pages) {
        std::vector<Row> rows;
        for (const QString &value : plain)
            rows.push_back({{Enc(value)}});
        WriteTable(path(QStringLiteral("tie.dbf")), CharFields({{"v", 5}}), rows, {page, mark});
        const QString collate = QStringLiteral(" COLLATE ") + QString::fromLatin1(CollationName);
        EXPECT_EQ(column(QStringLiteral("SELECT v FROM tie ORDER BY v")), expected) << int(mark);
        EXPECT_EQ(column(QStringLiteral("SELECT v FROM tie ORDER BY v DESC")), reversed) << int(mark);
        EXPECT_EQ(column(QStringLiteral("SELECT v FROM tie ORDER BY v||''%1").arg(collate)), expected) << int(mark);
    }
}

TEST_F(Engine, DistinctValuesWithLongSharedBeginningsSortAsSqlitesOwnSort)
{
    // Distinct values (sorted by fixed-size keys) whose beginnings tie for
    // one key's length, for two, or all the way, differing in case only.
    const QString beginnings[] = {QStringLiteral("ИВАНОВ ИВАНОВ ИВАН"), QStringLiteral("ИВАНОВ ИВАНОВ ИВАНОВ ИВАНОВ ИВАНОВ "),
                                  QStringLiteral("иванов Иванов ИВАН")};
    const QString pieces[] = {QStringLiteral("А"), QStringLiteral("а"), QStringLiteral("Ё"), QStringLiteral("Е"),
                              QStringLiteral(" "), QStringLiteral("Б")};
    QRandomGenerator random(11);
    std::vector<Row> rows;
    QSet<QString> seen;
    while (rows.size() < 600) {
        QString v = beginnings[random.bounded(3)];
        for (int i = static_cast<int>(random.bounded(1, 7)); i > 0; --i)
            v += pieces[random.bounded(static_cast<int>(std::size(pieces)))];
        if (!seen.contains(v.trimmed()))
            rows.push_back({{Enc(v)}});
        seen.insert(v.trimmed());
    }
    WriteTable(path(QStringLiteral("long.dbf")), CharFields({{"v", 50}}), rows);
    const QString collate = QStringLiteral(" COLLATE ") + QString::fromLatin1(CollationName);
    EXPECT_EQ(column(QStringLiteral("SELECT v FROM long ORDER BY v")),
              column(QStringLiteral("SELECT v FROM long ORDER BY v||''%1").arg(collate)));
    EXPECT_EQ(column(QStringLiteral("SELECT v FROM long ORDER BY v DESC")),
              column(QStringLiteral("SELECT v FROM long ORDER BY v||''%1 DESC").arg(collate)));
}

TEST_F(Engine, RunsOfOneNameSortByTheNextTermAsSqlitesOwnSort)
{
    // Mostly distinct names (sorted by keys) with runs of one name, some
    // longer than two keys or differing in case only, whose numbers tie for
    // one key, two, or all the way.
    const QString shared[] = {QStringLiteral("ИВАНОВ ИВАН"), QStringLiteral("иванов иван"),
                              QStringLiteral("ИВАНОВ ИВАНОВ ИВАНОВ ИВАНОВ ИВАНОВ ИВАН")};
    const QString numbers[] = {QStringLiteral("1234567890123456"), QStringLiteral("12345678901234567890123456789012"), QString()};
    const QString pieces[] = {QStringLiteral("1"), QStringLiteral("9"), QStringLiteral("А"), QStringLiteral("а"), QStringLiteral(" ")};
    QRandomGenerator random(5);
    std::vector<Row> rows;
    for (int n = 0; n < 800; ++n) {
        QString nt = numbers[random.bounded(3)];
        for (int i = static_cast<int>(random.bounded(1, 4)); i > 0; --i)
            nt += pieces[random.bounded(static_cast<int>(std::size(pieces)))];
        const QString name = n % 5 == 0 ? shared[random.bounded(3)] : QStringLiteral("ПЕТРОВ %1").arg(n);
        rows.push_back({{Enc(name), nt}});
    }
    WriteTable(path(QStringLiteral("runs.dbf")), CharFields({{"v", 50}, {"nt", 40}}), rows);
    const QString collate = QStringLiteral(" COLLATE ") + QString::fromLatin1(CollationName);
    for (const size_t shareOutFrom : {size_t{1} << 16, size_t{64}}) { // by one thread, by two
        SetOrderShareOutFrom(shareOutFrom);
        for (const char *directions : {"%1, nt%2", "%1 DESC, nt%2 DESC", "%1, nt%2 DESC"}) {
            const QString order = QString::fromLatin1(directions);
            EXPECT_EQ(column(QStringLiteral("SELECT v||' '||nt FROM runs ORDER BY ") + order.arg(QStringLiteral("v"), QString())),
                      column(QStringLiteral("SELECT v||' '||nt FROM runs ORDER BY ") + order.arg(QStringLiteral("v||''") + collate, collate)))
                << directions << " " << shareOutFrom;
        }
    }
    SetOrderShareOutFrom(size_t{1} << 16);
}

TEST_F(Engine, OrderConsumedByTheTableMatchesSqlitesOwnSort)
{
    // Many rows with long shared prefixes, case variants, duplicates and separators.
    const QString pieces[] = {QStringLiteral("А"), QStringLiteral("а"), QStringLiteral("Ё"), QStringLiteral("Е"),
                              QStringLiteral(" "), QStringLiteral("."), QStringLiteral("1"), QStringLiteral("9"),
                              QStringLiteral("ИВАНОВ"), QStringLiteral("'"), QStringLiteral("Z")};
    QRandomGenerator random(7);
    std::vector<Row> rows;
    for (int n = 0; n < 3000; ++n) {
        QString a, b;
        for (int i = static_cast<int>(random.bounded(8)); i > 0; --i)
            a += pieces[random.bounded(static_cast<int>(std::size(pieces)))];
        for (int i = static_cast<int>(random.bounded(3)); i > 0; --i)
            b += pieces[random.bounded(static_cast<int>(std::size(pieces)))];
        rows.push_back({{Enc(a), Enc(b), QString::number(n)}, n % 17 == 0});
    }
    WriteTable(path(QStringLiteral("many.dbf")), CharFields({{"a", 60}, {"b", 20}, {"n", 6}}), rows);

    auto rowsOf = [this](const QString &sql) {
        const auto result = run(sql);
        std::vector<QStringList> out;
        for (int row = 0; row < result->rowCount(); ++row)
            out.push_back({result->text(row, 0), result->text(row, 1), result->text(row, 2)});
        return out;
    };
    const QString collate = QStringLiteral(" COLLATE ") + QString::fromLatin1(CollationName);
    const struct {
        const char *consumed;
        const char *sorted;
    } cases[] = {
        {"SELECT a, b, n FROM many ORDER BY a, n", "SELECT a, b, n FROM many ORDER BY a||''%1, n"},
        {"SELECT a, b, n FROM many ORDER BY b DESC, a, n", "SELECT a, b, n FROM many ORDER BY b||''%1 DESC, a||''%1, n"},
        {"SELECT DISTINCT a, b, '' FROM many ORDER BY a, b", "SELECT DISTINCT a, b, '' FROM many ORDER BY a||''%1, b||''%1"},
        {"SELECT DISTINCT b, '', '' FROM many ORDER BY b", "SELECT DISTINCT b||'', '', '' FROM many ORDER BY 1%1"},
    };
    for (const auto &c : cases) {
        const auto consumed = rowsOf(QString::fromLatin1(c.consumed));
        const auto sorted = rowsOf(QString::fromLatin1(c.sorted).arg(collate));
        EXPECT_GT(consumed.size(), 20u);
        EXPECT_TRUE(consumed == sorted) << c.consumed;
    }
    // DISTINCT drops exactly the repeated stored values.
    std::set<QString> distinct;
    for (const Row &row : rows) {
        if (!row.deleted) {
            QString value = row.values[1];
            while (value.endsWith(u' '))
                value.chop(1);
            distinct.insert(value);
        }
    }
    EXPECT_EQ(rowsOf(QStringLiteral("SELECT DISTINCT b, '', '' FROM many ORDER BY b")).size(), distinct.size());
    EXPECT_EQ(rowsOf(QStringLiteral("SELECT DISTINCT b, '', '' FROM many")).size(), distinct.size());
    // DISTINCT over more columns than the ORDER BY: the same rows, the same order of b.
    for (const char *where : {"", "WHERE n||'' LIKE '1%'"}) {
        auto consumed = rowsOf(QStringLiteral("SELECT DISTINCT a, b, '' FROM many %1 ORDER BY b").arg(QLatin1String(where)));
        auto sorted = rowsOf(
            QStringLiteral("SELECT DISTINCT a, b, '' FROM many %1 ORDER BY b||''%2").arg(QLatin1String(where), collate));
        ASSERT_EQ(consumed.size(), sorted.size()) << where;
        for (size_t n = 0; n < consumed.size(); ++n)
            EXPECT_EQ(consumed[n][1], sorted[n][1]) << where << " row " << n;
        std::sort(consumed.begin(), consumed.end());
        std::sort(sorted.begin(), sorted.end());
        EXPECT_TRUE(consumed == sorted) << where;
    }
    // A filter left to SQLite on another column must not meet the wrong survivor of a duplicate group.
    {
        auto consumed = rowsOf(QStringLiteral("SELECT DISTINCT b, '', '' FROM many WHERE n||'' LIKE '1%'"));
        auto plain = rowsOf(QStringLiteral("SELECT DISTINCT b||'', '', '' FROM many WHERE n||'' LIKE '1%'"));
        std::sort(consumed.begin(), consumed.end());
        std::sort(plain.begin(), plain.end());
        EXPECT_GT(plain.size(), 20u);
        EXPECT_TRUE(consumed == plain);
        EXPECT_EQ(rowsOf(QStringLiteral("SELECT DISTINCT b, '', '' FROM many WHERE rowid > 1500")).size(),
                  rowsOf(QStringLiteral("SELECT DISTINCT b||'', '', '' FROM many WHERE rowid > 1500")).size());
        // The rowid inside an expression never reaches the table as a constraint.
        for (const char *where : {"WHERE rowid % 7 = 3", "WHERE oid % 7 = 3 OR 0"}) {
            EXPECT_EQ(rowsOf(QStringLiteral("SELECT DISTINCT b FROM many %1 ORDER BY b").arg(QLatin1String(where))),
                      rowsOf(QStringLiteral("SELECT DISTINCT b||'' FROM many %1 ORDER BY 1%2")
                                 .arg(QLatin1String(where), collate)))
                << where;
        }
    }
    EXPECT_EQ(rowsOf(QStringLiteral("SELECT DISTINCT b, '', '' FROM many WHERE n LIKE '1%' ORDER BY b")),
              rowsOf(QStringLiteral("SELECT DISTINCT b||'', '', '' FROM many WHERE n LIKE '1%' ORDER BY 1%1").arg(collate)));
}

TEST_F(Engine, TableTakesOverLikeAndOrderBy)
{
    auto plan = [this](const QString &sql) {
        const auto result = run(QStringLiteral("EXPLAIN QUERY PLAN ") + sql);
        QString text;
        for (int row = 0; row < result->rowCount(); ++row)
            text += result->text(row, result->columnCount() - 1) + u'\n';
        return text;
    };
    // The LIKE reaches the table (matched on raw bytes there), and so does the ORDER BY.
    const QString pushed = plan(QStringLiteral("SELECT fio FROM sp09kw_n WHERE fio LIKE 'x%' ORDER BY fio"));
    EXPECT_TRUE(pushed.contains(u"INDEX 0:l")) << pushed.toStdString();
    EXPECT_FALSE(pushed.contains(u"B-TREE")) << pushed.toStdString();
    const QString distinct = plan(QStringLiteral("SELECT DISTINCT street FROM sp09kw_n ORDER BY street"));
    EXPECT_FALSE(distinct.contains(u"TEMP B-TREE FOR ORDER BY")) << distinct.toStdString();
    // An expression is sorted by SQLite itself.
    EXPECT_TRUE(plan(QStringLiteral("SELECT fio FROM sp09kw_n ORDER BY fio||''")).contains(u"B-TREE"));
}

TEST_F(Engine, NamesResolveInAnyLetterCase)
{
    const auto result = run(QStringLiteral("SELECT FIO, Nt, sp09KW_n.Street FROM Sp09Kw_N WHERE NT LIKE %1")
                                .arg(Quoted(Enc(QStringLiteral("245001")))));
    ASSERT_EQ(result->rowCount(), 1);
    EXPECT_EQ(Dec(result->text(0, 0)), QStringLiteral("ПЕТРОВ ПЕТР"));
    EXPECT_EQ(Dec(result->text(0, 2)), QStringLiteral("пр.Мира"));
    EXPECT_EQ(result->columnIndex(u"street"), 2);

    // "*" gives every field in table order; the numeric one is a number, never deciphered.
    const auto all = run(QStringLiteral("SELECT * FROM sp09kw_n"));
    EXPECT_EQ(all->columnCount(), 6);
    EXPECT_EQ(all->columnName(0).toLower(), QStringLiteral("nt"));
    EXPECT_EQ(all->columnName(2).toLower(), QStringLiteral("kod"));
    EXPECT_EQ(all->columnKind(2), ValueKind::Number);
    EXPECT_TRUE(all->columnIsStored(1));
    EXPECT_EQ(all->columnName(3).toLower(), QStringLiteral("street"));
    EXPECT_EQ(all->rowCount(), 7);

    // A file name that is not an identifier is named quoted.
    QFile::copy(path(QStringLiteral("sp09pr_n.dbf")), path(QStringLiteral("Old-Copy.DBF")));
    EXPECT_EQ(run(QStringLiteral("SELECT count(*) FROM \"old-copy\""))->text(0, 0), QStringLiteral("5"));

    // Letters beyond ASCII in any case too, in a join of two spellings.
    QFile::copy(path(QStringLiteral("sp09pr_n.dbf")), path(QStringLiteral("Ёлка.dbf")));
    for (const char *sql : {"SELECT count(*) FROM ЁЛКА", "SELECT count(*) FROM main.ёЛКА",
                            "SELECT count(*) FROM \"ЁЛКА\" a JOIN Ёлка b ON a.nt = b.nt"})
        EXPECT_EQ(run(QString::fromUtf8(sql))->text(0, 0), QStringLiteral("5")) << sql;
    EXPECT_THROW(run(QStringLiteral("SELECT count(*) FROM ЁЛКИ")), DatabaseError);
}

TEST_F(Engine, ErrorsCarryTheEnginesMessageAndTheStatement)
{
    const QString bad = QStringLiteral("SELECT fio FROM WHERE sp09kw_n");
    try {
        run(bad);
        ADD_FAILURE() << "no error";
    } catch (const DatabaseError &e) {
        EXPECT_TRUE(e.message().contains(u"syntax error")) << e.message().toStdString();
        EXPECT_EQ(e.statement(), bad);
    }
    try {
        run(QStringLiteral("SELECT * FROM sp10kw_n"));
        ADD_FAILURE() << "no error";
    } catch (const DatabaseError &e) {
        EXPECT_TRUE(e.message().contains(u"sp10kw_n")) << e.message().toStdString();
    }
    try {
        run(QStringLiteral("SELECT nosuchfield FROM sp09kw_n"));
        ADD_FAILURE() << "no error";
    } catch (const DatabaseError &e) {
        EXPECT_TRUE(e.message().contains(u"nosuchfield")) << e.message().toStdString();
    }
    // An unreadable table file: the message names the file.
    WriteBytes(path(QStringLiteral("broken.dbf")), QByteArray("\x03 not a table"));
    try {
        run(QStringLiteral("SELECT * FROM broken"));
        ADD_FAILURE() << "no error";
    } catch (const DatabaseError &e) {
        EXPECT_TRUE(e.message().contains(u"broken.dbf")) << e.message().toStdString();
    }
    // Statements only read: nothing may attach or create files, or change the engine's settings.
    EXPECT_THROW(run(QStringLiteral("ATTACH DATABASE %1 AS x").arg(Quoted(path(QStringLiteral("new.db"))))),
                 DatabaseError);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("new.db"))));
    EXPECT_THROW(run(QStringLiteral("PRAGMA case_sensitive_like = 0")), DatabaseError);
    EXPECT_THROW(run(QStringLiteral("SELECT 1; SELECT 2")), DatabaseError);
    EXPECT_THROW(run(QStringLiteral("   ")), DatabaseError);
    EXPECT_EQ(run(QStringLiteral("SELECT 1;"))->rowCount(), 1);

    // Memory running out inside like(), whether SQLite calls it or the table
    // matches the pattern, is an error; no exception crosses SQLite.
    const QString huge = Quoted(QString(1 << 21, u'x') + u'%');
    g_refuseFrom = 1 << 20;
    for (const QString &sql : {QStringLiteral("SELECT fio FROM sp09kw_n WHERE fio||'' LIKE %1").arg(huge),
                               QStringLiteral("SELECT fio FROM sp09kw_n WHERE fio LIKE %1 ESCAPE '!'").arg(huge),
                               QStringLiteral("SELECT fio FROM sp09kw_n WHERE fio LIKE %1").arg(huge)}) {
        try {
            run(sql);
            ADD_FAILURE() << "no error";
        } catch (const DatabaseError &e) {
            EXPECT_TRUE(e.message().contains(u"out of memory")) << e.message().toStdString();
        } catch (...) {
            ADD_FAILURE() << "not a DatabaseError";
        }
    }
    g_refuseFrom = 0;
    EXPECT_EQ(run(QStringLiteral("SELECT fio FROM sp09kw_n WHERE fio||'' LIKE %1").arg(huge))->rowCount(), 0);
}

TEST(LikePatternTest, MatchesWithPercentOnly)
{
    struct Case {
        const char *pattern;
        const char *value;
        bool match;
    } cases[] = {
        {"abc", "abc", true},   {"abc", "abcd", false}, {"abc", "abc   ", true}, {"abc%", "abcd", true},
        {"%cd", "abcd", true},  {"%bc%", "abcd", true}, {"a%d", "abcd", true},   {"a%d", "ad", true},
        {"ab%bc", "abc", false}, {"a%b%c", "acb", false}, {"a_c", "abc", false}, {"a_c", "a_c", true},
        {"", "", true},         {"", "a", false},       {"%", "", true},         {"A%", "abc", false},
        {"%ё%", "ЁЁё", true},   {"%ё", "ЁЁЁ", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(LikePattern(c.pattern).matches(c.value), c.match) << c.pattern << " / " << c.value;
    EXPECT_TRUE(LikePattern("a\\%", U'\\').matches("a%"));
    EXPECT_FALSE(LikePattern("a\\%", U'\\').matches("ab"));
    EXPECT_FALSE(LikePattern("a\\", U'\\').matches("a\\"));
}

// Decoded values live in blocks that SQLite gives back when it is done with
// them; a value it keeps while the scan goes on (an aggregate, a row of a
// subquery) must still read right at the end.
TEST_F(Engine, ValuesKeptAcrossRowsStayIntact)
{
    const QStringList fio = storedColumn(QStringLiteral("SELECT fio FROM sp09kw_n"));
    const QStringList street = storedColumn(QStringLiteral("SELECT street FROM sp09kw_n"));
    ASSERT_EQ(fio.size(), 7);
    const auto less = [](const QString &a, const QString &b) {
        const QByteArray x = a.toUtf8();
        const QByteArray y = b.toUtf8();
        return CompareStored({x.constData(), static_cast<size_t>(x.size())},
                             {y.constData(), static_cast<size_t>(y.size())})
            < 0;
    };
    const auto extremes = run(QStringLiteral("SELECT min(fio), max(fio), max(street), min(street) FROM sp09kw_n"));
    ASSERT_EQ(extremes->rowCount(), 1);
    EXPECT_EQ(extremes->text(0, 0), *std::min_element(fio.begin(), fio.end(), less));
    EXPECT_EQ(extremes->text(0, 1), *std::max_element(fio.begin(), fio.end(), less));
    EXPECT_EQ(extremes->text(0, 2), *std::max_element(street.begin(), street.end(), less));
    EXPECT_EQ(extremes->text(0, 3), *std::min_element(street.begin(), street.end(), less));
    // Functions that need the text NUL-terminated, and values carried out of a subquery.
    EXPECT_EQ(storedColumn(QStringLiteral("SELECT group_concat(fio, '|') FROM sp09kw_n")), QStringList{fio.join(u'|')});
    EXPECT_EQ(storedColumn(QStringLiteral("SELECT f FROM (SELECT fio || '' AS f FROM sp09kw_n LIMIT 100)")), fio);
    const auto pairs = run(QStringLiteral("SELECT a.fio, b.street FROM sp09kw_n a JOIN sp09kw_n b ON b.nt = a.nt"));
    ASSERT_EQ(pairs->rowCount(), 7);
    for (int row = 0; row < 7; ++row) {
        EXPECT_EQ(pairs->text(row, 0), fio[row]);
        EXPECT_EQ(pairs->text(row, 1), street[row]);
    }
}

// Values are stored padded to their field's width: a pattern matches the
// value without its trailing blanks, or padded to that width.
TEST_F(Engine, LikeMatchesBlankPaddedValues)
{
    WriteTable(path(QStringLiteral("pad.dbf")), CharFields({{"v", 10}}),
               {{{QStringLiteral("ИВАНОВ")}}, {{QStringLiteral("ИВАНОВА")}}, {{QStringLiteral("ИВАНОВ ИЛ")}}});
    auto pushed = [this](const QString &pattern) {
        return storedColumn(QStringLiteral("SELECT v FROM pad WHERE v LIKE %1").arg(Quoted(pattern)));
    };
    auto computed = [this](const QString &pattern) {
        return storedColumn(QStringLiteral("SELECT v FROM pad WHERE v||'' LIKE %1").arg(Quoted(pattern)));
    };
    const QStringList ivanov{QStringLiteral("ИВАНОВ")};
    for (const QString &pattern : {QStringLiteral("ИВАНОВ "), QStringLiteral("ИВАНОВ")}) {
        EXPECT_EQ(pushed(pattern), ivanov) << pattern.toStdString();
        EXPECT_EQ(computed(pattern), ivanov) << pattern.toStdString();
    }
    const QStringList firstWord{QStringLiteral("ИВАНОВ"), QStringLiteral("ИВАНОВ ИЛ")};
    EXPECT_EQ(pushed(QStringLiteral("ИВАНОВ %")), firstWord);
    EXPECT_EQ(computed(QStringLiteral("ИВАНОВ %")), firstWord);
    EXPECT_EQ(pushed(QStringLiteral("%ИЛ ")), QStringList{QStringLiteral("ИВАНОВ ИЛ")});
    // Padded to the whole width, and no further.
    EXPECT_EQ(pushed(QStringLiteral("ИВАНОВ    ")), ivanov);
    EXPECT_TRUE(pushed(QStringLiteral("ИВАНОВ     ")).isEmpty());
    EXPECT_TRUE(pushed(QStringLiteral("ИВАНОВА ")).size() == 1);
}

TEST_F(Engine, LikePadsAValueToItsFieldWidthOnEveryPath)
{
    // A pattern of the value and k blanks, k from none to the width + 2: it
    // matches while the field's padding holds k blanks, pushed into the table,
    // as a function on the column (+v, and with ESCAPE), in either code page.
    constexpr int Width = 10;
    struct Page {
        CodePage page;
        uint8_t mark;
        QString values[3];
        int padding[3]; // bytes: two per letter in UTF-8
    };
    const Page pages[] = {
        {CodePage::Windows1251, 0xC9, {QStringLiteral("ИВАН"), QStringLiteral("ИВАН ИЛ"), QStringLiteral("ЁЖИКОВА ИЯ")}, {6, 3, 0}},
        {CodePage::Utf8, 0x00, {QStringLiteral("ИВ"), QStringLiteral("Я Ж"), QStringLiteral("ЁЖИК")}, {6, 5, 2}},
    };
    for (const auto &[page, mark, values, paddings] : pages) {
        const QString name = page == CodePage::Utf8 ? QStringLiteral("padu") : QStringLiteral("padw");
        WriteTable(path(name + QStringLiteral(".dbf")), CharFields({{"v", Width}, {"n", 2}}),
                   {{{values[0], QStringLiteral("0")}}, {{values[1], QStringLiteral("1")}}, {{values[2], QStringLiteral("2")}}},
                   {page, mark});
        for (int n = 0; n < 3; ++n) {
            const int padding = paddings[n];
            for (int blanks = 0; blanks <= Width + 2; ++blanks) {
                for (const QString &tail : {QString(), QStringLiteral("%")}) {
                    const QString pattern = Quoted(values[n] + QString(blanks, u' ') + tail);
                    const bool expected = blanks <= padding;
                    const QString where = QStringLiteral("SELECT n FROM %1 WHERE rtrim(n) = '%2' AND ").arg(name).arg(n);
                    for (const QString &test : {QStringLiteral("v LIKE %1"), QStringLiteral("+v LIKE %1"),
                                                QStringLiteral("like(%1, v, '~')"), QStringLiteral("v LIKE %1 ESCAPE '~'")}) {
                        EXPECT_EQ(run(where + test.arg(pattern))->rowCount(), expected ? 1 : 0)
                            << name.toStdString() << ' ' << test.arg(pattern).toStdString();
                    }
                }
            }
        }
    }
}

TEST_F(Engine, DamagedUtf8ReadsMatchesAndSortsAlikeEverywhere)
{
    // A UTF-8 table with damaged records between those its code page is judged
    // by: stray continuation bytes, leads without their sequence, an invalid
    // lead. The reader, the engine's LIKE (pushed into the table and its own),
    // and the collation on stored and on read values see the same characters.
    const char *const good[] = {"ЖА", "ЖЯ", "А", "Я", "Ж"};
    const char *const damaged[] = {"Ж!Ж", "Ж#", "!Ж", "Ж$!Я", "Ж^!!", "Ж#Я"};
    const std::pair<char, char> bytesFor[] = {{'!', '\xB6'}, {'#', '\xD0'}, {'$', '\xC0'}, {'^', '\xF0'}};
    std::vector<Row> rows;
    for (int n = 0; n < 1024; ++n)
        rows.push_back({{QString::fromUtf8(n % 2 ? damaged[n / 2 % 6] : good[n / 2 % 5]), QString::number(n)}});
    const QString file = path(QStringLiteral("bad.dbf"));
    WriteTable(file, CharFields({{"v", 12}, {"n", 4}}), rows, {CodePage::Utf8, 0x00});
    QByteArray bytes = ReadBytes(file);
    for (const auto &[mark, byte] : bytesFor)
        bytes.replace(mark, byte);
    WriteBytes(file, bytes);

    const auto table = DbfTable::open(file);
    ASSERT_EQ(table->codePage(), CodePage::Utf8);
    std::vector<std::string> stored;
    std::vector<std::string> read;
    for (int n = 1; n < 12; n += 2) {
        QString expected = QString::fromUtf8(damaged[n / 2 % 6]);
        for (const auto &[mark, byte] : bytesFor)
            expected.replace(QLatin1Char(mark), QChar(0xFFFD));
        const QString value = run(QStringLiteral("SELECT v FROM bad WHERE rtrim(n) = '%1'").arg(n))->text(0, 0).trimmed();
        EXPECT_EQ(value, expected) << n;
        EXPECT_EQ(table->text(static_cast<uint32_t>(n), 0).trimmed(), expected) << n;
        const int count = run(QStringLiteral("SELECT n FROM bad WHERE rtrim(v) = %1").arg(Quoted(value)))->rowCount();
        EXPECT_GT(count, 80) << n;
        for (const QString &like : {Quoted(value), Quoted(value.left(2) + u'%')}) {
            const int expectedCount =
                like.endsWith(u"%'") ? run(QStringLiteral("SELECT n FROM bad WHERE substr(v, 1, 2) = %1").arg(Quoted(value.left(2))))->rowCount()
                                     : count;
            EXPECT_EQ(run(QStringLiteral("SELECT n FROM bad WHERE v LIKE %1").arg(like))->rowCount(), expectedCount) << n;
            EXPECT_EQ(run(QStringLiteral("SELECT n FROM bad WHERE v||'' LIKE %1").arg(like))->rowCount(), expectedCount) << n;
        }
        stored.emplace_back(table->rawField(static_cast<uint32_t>(n), 0));
        read.push_back(value.toStdString());
    }
    // A pattern holding the damaged bytes themselves means the same characters.
    EXPECT_EQ(run(QStringLiteral("SELECT n FROM bad WHERE v LIKE CAST(x'D096B6' AS TEXT)||'%'"))->rowCount(),
              run(QStringLiteral("SELECT n FROM bad WHERE v LIKE %1").arg(Quoted(QStringLiteral("Ж\uFFFD%"))))->rowCount());
    for (size_t a = 0; a < stored.size(); ++a) {
        for (size_t b = 0; b < stored.size(); ++b)
            EXPECT_EQ(Sign(CompareStored(stored[a], stored[b])), Sign(CompareStored(read[a], read[b]))) << a << ' ' << b;
    }
    const QString collate = QStringLiteral(" COLLATE ") + QString::fromLatin1(CollationName);
    const auto consumed = run(QStringLiteral("SELECT n FROM bad ORDER BY v, n"));
    const auto sorted = run(QStringLiteral("SELECT n FROM bad ORDER BY v||''%1, n").arg(collate));
    ASSERT_EQ(consumed->rowCount(), sorted->rowCount());
    for (int row = 0; row < consumed->rowCount(); ++row)
        ASSERT_EQ(consumed->text(row, 0), sorted->text(row, 0)) << row;
}
