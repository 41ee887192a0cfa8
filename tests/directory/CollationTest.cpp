#include "Collation.h"
#include "UHelpFull.h"

#include <gtest/gtest.h>

#include <QList>
#include <QRandomGenerator>

#include <algorithm>

using namespace phonebook;

namespace {

std::string Utf8(const QString &s) { return s.toStdString(); }

std::string Bytes(CodePage page, const QString &s)
{
    std::string out;
    EXPECT_TRUE(EncodeText(page, s, out)) << s.toStdString();
    return out;
}

std::string Cp1251(const QString &s) { return Bytes(CodePage::Windows1251, s); }

QString Stored(const QString &plain) { return EncodeText(plain, CipherKey); }

int Sign(int v) { return (v > 0) - (v < 0); }

// The order written out the slow way: decipher both, compare weights
// character by character, shorter first, then the stored text by code point.
int ReferenceCompare(QString a, QString b)
{
    while (a.endsWith(u' '))
        a.chop(1);
    while (b.endsWith(u' '))
        b.chop(1);
    const QList<uint> pa = DecodeText(a, CipherKey).toUcs4();
    const QList<uint> pb = DecodeText(b, CipherKey).toUcs4();
    for (qsizetype i = 0; i < std::min(pa.size(), pb.size()); ++i) {
        const uint32_t wa = CollationWeight(pa[i]);
        const uint32_t wb = CollationWeight(pb[i]);
        if (wa != wb)
            return wa < wb ? -1 : 1;
    }
    if (pa.size() != pb.size())
        return pa.size() < pb.size() ? -1 : 1;
    const QList<uint> sa = a.toUcs4();
    const QList<uint> sb = b.toUcs4();
    if (sa == sb)
        return 0;
    return std::lexicographical_compare(sa.begin(), sa.end(), sb.begin(), sb.end()) ? -1 : 1;
}

} // namespace

TEST(Collation, WeightsFollowTheReadingOrder)
{
    // Each entry sorts strictly after the one before it.
    const std::u32string ladder = U" \"№,.?()*-+=/0123456789АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ"
                                  U"ABCDEFGHIJKLMNOPQRSTUVWXYZ'é中";
    for (size_t i = 1; i < ladder.size(); ++i)
        EXPECT_LT(CollationWeight(ladder[i - 1]), CollationWeight(ladder[i])) << "at " << i;
    // Case does not matter for letters.
    const std::u32string upper = U"АЁЯAZ";
    const std::u32string lower = U"аёяaz";
    for (size_t i = 0; i < upper.size(); ++i)
        EXPECT_EQ(CollationWeight(upper[i]), CollationWeight(lower[i]));
    EXPECT_GT(CollationWeight(U' '), 0u);
}

TEST(Collation, EncipheredListsReadInRussianOrder)
{
    // Plain values in the order a reader expects; the collation sees only their stored form.
    const QStringList plain = {
        QString(),
        QStringLiteral("      5"), // right-aligned houses sort as numbers
        QStringLiteral("     12"),
        QStringLiteral("    100"),
        QStringLiteral("1/3"),
        QStringLiteral("12"),
        QStringLiteral("12/3"),
        QStringLiteral("12А"),
        QStringLiteral("А"), // a prefix comes first
        QStringLiteral("А Б"),
        QStringLiteral("А,Б"),
        QStringLiteral("А.Б"),
        QStringLiteral("А-Б"),
        QStringLiteral("А0"),
        QStringLiteral("А9"),
        QStringLiteral("аб"),
        QStringLiteral("АВ"),
        QStringLiteral("ЕЖ"),
        QStringLiteral("ель"),
        QStringLiteral("ЕЯ"),
        QStringLiteral("Ё"),
        QStringLiteral("ёж"),
        QStringLiteral("Ж"),
        QStringLiteral("пер.Тихий"),
        QStringLiteral("пр.Мира"),
        QStringLiteral("ул. 8 Марта"),
        QStringLiteral("ул.Ленина"),
        QStringLiteral("ЯЯЯЯЯЯЯЯЯЯЯЯ"), // longer than the key
        QStringLiteral("abc"),
        QStringLiteral("AC"),
        QStringLiteral("MO"),
        QStringLiteral("Qw"),
        QStringLiteral("Z"),
    };
    std::vector<QString> stored;
    for (const QString &p : plain) {
        stored.push_back(Stored(p));
        ASSERT_EQ(DecodeText(stored.back(), CipherKey), p) << "not a round trip: " << p.toStdString();
    }
    std::vector<QString> shuffled = stored;
    std::reverse(shuffled.begin(), shuffled.end());
    std::sort(shuffled.begin(), shuffled.end(),
              [](const QString &a, const QString &b) { return CompareStored(Utf8(a), Utf8(b)) < 0; });
    QStringList got;
    for (const QString &s : shuffled)
        got.append(DecodeText(s, CipherKey));
    EXPECT_EQ(got, plain);

    std::reverse(shuffled.begin(), shuffled.end());
    std::sort(shuffled.begin(), shuffled.end(), [](const QString &a, const QString &b) {
        return CompareStoredBytes(CodePage::Cp866, Bytes(CodePage::Cp866, a), Bytes(CodePage::Cp866, b)) < 0;
    });
    EXPECT_EQ(shuffled, stored) << "cp866 bytes sort differently from text";
}

TEST(Collation, TiesAreBrokenByStoredTextAndTrailingBlanksIgnored)
{
    const QString upper = Stored(QStringLiteral("ИВАНОВ"));
    const QString lower = Stored(QStringLiteral("иванов"));
    ASSERT_NE(upper, lower);
    // Same letters regardless of case, yet different stored values never tie.
    const int order = CompareStored(Utf8(upper), Utf8(lower));
    EXPECT_NE(order, 0);
    EXPECT_EQ(Sign(CompareStored(Utf8(lower), Utf8(upper))), -Sign(order));
    EXPECT_EQ(Sign(order), ReferenceCompare(upper, lower));
    EXPECT_EQ(Sign(CompareStoredBytes(CodePage::Windows1251, Cp1251(upper), Cp1251(lower))), Sign(order));

    EXPECT_EQ(CompareStored(Utf8(upper + QStringLiteral("   ")), Utf8(upper)), 0);
    EXPECT_EQ(CompareStoredBytes(CodePage::Windows1251, Cp1251(upper + u' '), Cp1251(upper)), 0);
    EXPECT_EQ(CompareStored("", "   "), 0);
}

TEST(Collation, AgreesWithTheSlowOrderOnRandomValues)
{
    // Values built from few characters share long prefixes, so the prefix
    // skip and the key position recovered after it are exercised; "ё" and
    // "а" put Windows-1251's byte order against code-point order.
    const QString pieces[] = {QStringLiteral("а"),  QStringLiteral("А"), QStringLiteral("ё"), QStringLiteral("Ё"),
                              QStringLiteral("я"),  QStringLiteral(" "), QStringLiteral("."), QStringLiteral("1"),
                              QStringLiteral("0"),  QStringLiteral("z"), QStringLiteral("'"), QStringLiteral("\""),
                              QStringLiteral("ИВАНОВ"), QStringLiteral("-")};
    QRandomGenerator random(20261208);
    std::vector<QString> values;
    for (int n = 0; n < 400; ++n) {
        QString plain;
        const int length = static_cast<int>(random.bounded(14));
        for (int i = 0; i < length; ++i)
            plain += pieces[random.bounded(static_cast<int>(std::size(pieces)))];
        // Some values stored as written (as if enciphered with another key), most enciphered.
        values.push_back(n % 5 == 0 ? plain : Stored(plain));
    }
    for (size_t i = 0; i < values.size(); ++i) {
        for (size_t j = i; j < values.size() && j < i + 40; ++j) {
            const QString &a = values[i];
            const QString &b = values[j];
            const int expected = ReferenceCompare(a, b);
            ASSERT_EQ(Sign(CompareStored(Utf8(a), Utf8(b))), expected) << a.toStdString() << " | " << b.toStdString();
            ASSERT_EQ(Sign(CompareStoredBytes(CodePage::Windows1251, Cp1251(a), Cp1251(b))), expected)
                << a.toStdString() << " | " << b.toStdString();
            // A key never contradicts the full order.
            const SortKey ka = MakeSortKey(CodePage::Windows1251, Cp1251(a));
            const SortKey kb = MakeSortKey(CodePage::Windows1251, Cp1251(b));
            if (ka < kb) {
                ASSERT_LT(expected, 0) << a.toStdString() << " | " << b.toStdString();
            }
            if (kb < ka) {
                ASSERT_GT(expected, 0) << a.toStdString() << " | " << b.toStdString();
            }
            ASSERT_EQ(MakeSortKey(CodePage::Utf8, Utf8(a)), ka);
        }
    }
}

TEST(Collation, StaysAStrictOrderOnMalformedUtf8)
{
    // A damaged table read as UTF-8, or a blob cast to text, reaches the
    // comparison with stray continuation bytes and cut sequences; sorting
    // needs a transitive order over them too.
    const char *const pieces[] = {" ", "a", ".", "1", "\xD0", "\xD1", "\x80", "\xB0", "\x90", "\xE2\x84\x96", "\xF0", ","};
    QRandomGenerator random(8);
    std::vector<std::string> values;
    for (int n = 0; n < 400; ++n) {
        std::string value;
        for (int i = static_cast<int>(random.bounded(8)); i > 0; --i)
            value += pieces[random.bounded(static_cast<int>(std::size(pieces)))];
        values.push_back(value);
    }
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    const size_t count = values.size();
    std::vector<int> order(count * count);
    for (size_t i = 0; i < count; ++i) {
        for (size_t j = 0; j < count; ++j)
            order[i * count + j] = Sign(CompareStored(values[i], values[j]));
    }
    for (size_t i = 0; i < count; ++i) {
        for (size_t j = 0; j < count; ++j) {
            ASSERT_EQ(order[i * count + j], -order[j * count + i]);
            if (order[i * count + j] >= 0)
                continue;
            for (size_t k = 0; k < count; ++k) {
                if (order[j * count + k] < 0) {
                    ASSERT_LT(order[i * count + k], 0) << i << ' ' << j << ' ' << k;
                }
            }
        }
    }
}
