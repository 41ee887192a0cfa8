// The quick search's rule, on tiny directories written enciphered.

#include "DatabaseError.h"
#include "Dataset.h"
#include "DbfTable.h"
#include "Fixtures.h"
#include "QuickSearch.h"
#include "SampleDirectory.h"
#include "TableOrder.h"
#include "TableFixtures.h"
#include "UHelpFull.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>

using namespace phonebook;
using namespace phonebook::search;
using namespace Qt::StringLiterals;

namespace {

std::string Codes(const QString &plain)
{
    std::string codes;
    for (const QChar c : plain)
        codes.push_back(static_cast<char>(FoldChar(c.unicode())));
    return codes;
}

std::vector<fixtures::Person> PersonRows()
{
    return {
        {u"234567"_s, u"ИВАНОВ ИВАН ИВАНОВИЧ"_s, u"ул.Мира"_s, u"14Б"_s, u"2"_s},
        {u"234500"_s, u"ИВАНОВА АННА"_s, u"ул. Мира"_s, u"145"_s, u"55/2"_s},
        {u"235111"_s, u"ИВАНОВ ИВАН ИВАНОВИЧ"_s, u"пр. Ленина"_s, u"5"_s, u""_s},
        {u"511111"_s, u"ПЕТРОВ-ВОДКИН КУЗЬМА"_s, u"ул. Труда"_s, u"14"_s, u"1"_s},
        {u"522222"_s, u"ЁЛКИН ЁЖИК"_s, u"ул. 8 Марта"_s, u"9"_s, u"14"_s},
        {u"533333"_s, u"ЕЛИСЕЕВ ОЛЕГ"_s, u"ул. Труда"_s, u"/14"_s, u"3"_s},
        {u"544444"_s, u"SMITH JOHN"_s, u"ул. Мира"_s, u"2"_s, u"7"_s},
    };
}

std::vector<fixtures::OrgPhone> OrgRows()
{
    return {
        {u"400003"_s, u"ЗАВОД ИМ. КИРОВА"_s, u"ЗИК"_s, u"Приемная"_s, u"ул. Мира"_s, u"1"_s},
        {u"400001"_s, u"ЗАВОД ИМ. КИРОВА"_s, u"ЗИК"_s, u"Бухгалтерия"_s, u"ул. Мира"_s, u"1"_s},
        {u"512345"_s, u"ООО \"РОМАШКА\""_s, {}, u"Приёмная директора"_s, u"ул. Труда"_s, u"22А"_s},
        {u"400010"_s, u"АПТЕКА №5"_s, {}, u"Зал"_s, u"пр. Ленина"_s, u"4"_s},
    };
}

class QuickSearchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        fixtures::WritePersons(m_dir.path(), PersonRows());
        fixtures::WriteOrgPhones(m_dir.path(), OrgRows());
    }

    // The first column (the number) of every row found, deciphered.
    static QStringList Found(QuickSearcher &searcher, QuickSide side, const QString &text)
    {
        const std::optional<QuickResult> result = searcher.Search(side, text);
        EXPECT_TRUE(result.has_value());
        QStringList rows;
        if (!result || !result->rows)
            return rows;
        for (int r = 0; r < result->rows->rowCount(); ++r)
            rows.append(DecodeText(result->rows->text(r, 0), CipherKey).trimmed());
        return rows;
    }
    QStringList Find(QuickSide side, const QString &text, QuickSearcher *session = nullptr)
    {
        QuickSearcher fresh(m_dir.path());
        return Found(session ? *session : fresh, side, text);
    }
    QStringList Persons(const QString &text) { return Find(QuickSide::Persons, text); }
    QStringList Orgs(const QString &text) { return Find(QuickSide::Orgs, text); }

    QTemporaryDir m_dir;
};

} // namespace

TEST(QuickRule, TextSplitsIntoWordsAndNumbers)
{
    QuickQuery q = ParseQuickText(u"  23-45-67  ул.Ленина,14 Ёж (12)34 д14 -"_s);
    EXPECT_EQ(q.numbers, (std::vector<std::string>{Codes(u"234567"_s), Codes(u"14"_s), Codes(u"1234"_s)}));
    EXPECT_EQ(q.words, (std::vector<std::string>{Codes(u"ул"_s), Codes(u"ленина"_s), Codes(u"еж"_s), Codes(u"д14"_s)}));
    EXPECT_TRUE(ParseQuickText(u" . - "_s).empty());
    // Case and ё fold alike; a letter the directory cannot hold never matches.
    EXPECT_EQ(Codes(u"ЁЛКА"_s), Codes(u"елка"_s));
    EXPECT_EQ(FoldChar(U'ü'), FoldUnmatchable);
}

TEST(QuickRule, OnlyATextThatImpliesThePreviousNarrowsIt)
{
    auto narrows = [](const QString &next, const QString &previous) {
        return ParseQuickText(next).narrows(ParseQuickText(previous));
    };
    EXPECT_TRUE(narrows(u"ива"_s, u"ив"_s));
    EXPECT_TRUE(narrows(u"ив м"_s, u"ив"_s));
    EXPECT_TRUE(narrows(u"14 м"_s, u"14"_s));
    EXPECT_TRUE(narrows(u"14а"_s, u"14"_s)); // a word beginning with 14 implies the number's text reading
    // A house number matches by equality: 145 does not imply 14.
    EXPECT_FALSE(narrows(u"145"_s, u"14"_s));
    // A longer number narrows by its telephone and word readings; the houses it equals are searched besides.
    EXPECT_TRUE(ParseQuickText(u"145"_s).extends(ParseQuickText(u"14"_s)));
    EXPECT_TRUE(ParseQuickText(u"23-45 ива"_s).extends(ParseQuickText(u"23 ив"_s)));
    EXPECT_FALSE(ParseQuickText(u"15"_s).extends(ParseQuickText(u"14"_s)));
    EXPECT_FALSE(ParseQuickText(u"145"_s).extends(ParseQuickText(u"14 ив"_s)));
    EXPECT_FALSE(narrows(u"12-3а"_s, u"12-3"_s));
    EXPECT_FALSE(narrows(u"в"_s, u"ив"_s));
    // With slips a word of three letters is exact, one of four is not.
    auto slipsNarrow = [](const QString &next, const QString &previous) {
        return ParseQuickText(next).narrows(ParseQuickText(previous), QuickMatch::Slips);
    };
    EXPECT_TRUE(slipsNarrow(u"ивнов"_s, u"ивно"_s));
    EXPECT_TRUE(slipsNarrow(u"ивн"_s, u"ив"_s));
    EXPECT_FALSE(slipsNarrow(u"ивно"_s, u"ивн"_s));
    EXPECT_FALSE(slipsNarrow(u"14аб"_s, u"14"_s));
    EXPECT_TRUE(slipsNarrow(u"14а"_s, u"14"_s));
}

TEST(QuickRule, LatinKeysGiveTheRussianLayoutsLettersInTheirCase)
{
    EXPECT_EQ(ToRussianLayout(u"`qwertyuiop[]asdfghjkl;'zxcvbnm,."_s), u"ёйцукенгшщзхъфывапролджэячсмитьбю"_s);
    EXPECT_EQ(ToRussianLayout(u"~QWERTYUIOP{}ASDFGHJKL:\"ZXCVBNM<>"_s), u"ЁЙЦУКЕНГШЩЗХЪФЫВАПРОЛДЖЭЯЧСМИТЬБЮ"_s);
    // Digits, blanks, Cyrillic and the other signs stay.
    EXPECT_EQ(ToRussianLayout(u"Bdfyjd 12-3 ул/!"_s), u"Иванов 12-3 ул/!"_s);
    EXPECT_TRUE(HasLatinLetters(u"ивано d"_s));
    EXPECT_FALSE(HasLatinLetters(u"ивано [;'"_s)); // punctuation alone is not typed on the Latin layout
}

TEST(QuickWords, ABeginningOneSlipAwayMatches)
{
    QuickWords words;
    const QStringList stored{u"гончаров"_s, u"гончар"_s, u"гоч"_s, u"иванов"_s, u"иванова"_s, u"ивнов"_s,
                             u"вианов"_s, u"ванов"_s, u"иваанов"_s, u"ивавнов"_s, u"ибанов"_s, u"абвгд"_s};
    for (const QString &word : stored)
        words.Add(Codes(word));
    const std::string house = static_cast<char>(FoldNumberMark) + Codes(u"2345"_s); // a house's leading digits
    words.Add(house);
    words.Sort();
    auto slips = [&](const QString &typed) {
        QStringList found;
        for (const QuickWords::Range range : words.Slips(Codes(typed))) {
            for (uint32_t w = range.first; w < range.first + range.count; ++w) {
                const std::string_view codes = words.word(w);
                const qsizetype at = std::find_if(stored.begin(), stored.end(), [&](const QString &s) { return Codes(s) == codes; }) - stored.begin();
                found.append(stored.at(at));
            }
        }
        found.sort();
        return found;
    };
    // Wrong (и/б), missing, extra and swapped letters, each way round; the
    // beginning may be one shorter or longer than the typed word.
    QStringList nearIvanov{u"вианов"_s, u"ванов"_s, u"иваанов"_s, u"иванов"_s, u"иванова"_s, u"ивавнов"_s, u"ибанов"_s, u"ивнов"_s};
    nearIvanov.sort();
    EXPECT_EQ(slips(u"иванов"_s), nearIvanov);
    EXPECT_EQ(slips(u"гончраов"_s), (QStringList{u"гончаров"_s}));
    EXPECT_EQ(slips(u"гонча"_s), (QStringList{u"гончар"_s, u"гончаров"_s}));
    EXPECT_EQ(slips(u"гонч"_s), (QStringList{u"гончар"_s, u"гончаров"_s, u"гоч"_s}));
    EXPECT_EQ(slips(u"гончарова"_s), (QStringList{u"гончаров"_s}));
    // Two slips, or letters swapped that are not neighbours, are too many.
    EXPECT_EQ(slips(u"гнчраов"_s), QStringList{});
    EXPECT_EQ(slips(u"гончорав"_s), QStringList{});
    EXPECT_EQ(slips(u"бавгд"_s), (QStringList{u"абвгд"_s}));
    EXPECT_EQ(slips(u"вагд"_s), QStringList{});
    EXPECT_TRUE(words.Slips(Codes(u"ж2345"_s)).empty()) << "a house's digits are no word's slip";
}

TEST_F(QuickSearchTest, WordsMatchWordStartsInAnyCaseWithYoAsYe)
{
    EXPECT_EQ(Persons(u"иван"_s), (QStringList{u"234567"_s, u"235111"_s, u"234500"_s}));
    EXPECT_EQ(Persons(u"ИВАНОВИЧ"_s), (QStringList{u"234567"_s, u"235111"_s}));
    EXPECT_EQ(Persons(u"ович"_s), QStringList{}); // not the start of a word
    EXPECT_EQ(Persons(u"ёлкин"_s), QStringList{u"522222"_s});
    EXPECT_EQ(Persons(u"ежик"_s), QStringList{u"522222"_s});
    // Latin letters too; "SMITH" is stored with its H enciphered to a full
    // stop, so the name reads "SMIT." and is found as that.
    EXPECT_EQ(Persons(u"John"_s), QStringList{u"544444"_s});
    EXPECT_EQ(Persons(u"smit"_s), QStringList{u"544444"_s});
    EXPECT_EQ(Persons(u"smith"_s), QStringList{});
    // Words after a hyphen or a full stop with no blank start mid-value, at any key position.
    EXPECT_EQ(Persons(u"водкин"_s), QStringList{u"511111"_s});
    EXPECT_EQ(Persons(u"мира"_s), (QStringList{u"234567"_s, u"234500"_s, u"544444"_s}));
    // Every word must match, in any field.
    EXPECT_EQ(Persons(u"иванов ленина"_s), QStringList{u"235111"_s});
    EXPECT_EQ(Persons(u"иванов труда"_s), QStringList{});
    EXPECT_EQ(Persons(u"ул.Мира иванова"_s), QStringList{u"234500"_s});
}

TEST_F(QuickSearchTest, NumbersMatchTelephoneHouseFlatAndWords)
{
    EXPECT_EQ(Persons(u"23-45-67"_s), QStringList{u"234567"_s});
    EXPECT_EQ(Persons(u"(23) 5"_s), QStringList{u"235111"_s}); // 23 and 5 (the house), each somewhere
    EXPECT_EQ(Persons(u"2345"_s), (QStringList{u"234567"_s, u"234500"_s}));
    // 14: house 14Б and 14, then flat 14; not house 145, nor "/14" (no leading digits).
    EXPECT_EQ(Persons(u"14"_s), (QStringList{u"234567"_s, u"511111"_s, u"522222"_s}));
    EXPECT_EQ(Persons(u"55"_s), QStringList{u"234500"_s});
    EXPECT_EQ(Persons(u"8"_s), QStringList{u"522222"_s}); // "8 Марта" in the street
    EXPECT_EQ(Persons(u"14 труда"_s), QStringList{u"511111"_s});
}

TEST_F(QuickSearchTest, OrganisationsMatchNameSecondNameDepartmentAndStreet)
{
    EXPECT_EQ(Orgs(u"киров"_s), (QStringList{u"400001"_s, u"400003"_s})); // by name, then number
    EXPECT_EQ(Orgs(u"зик бух"_s), QStringList{u"400001"_s});
    EXPECT_EQ(Orgs(u"приемная"_s), (QStringList{u"400003"_s, u"512345"_s}));
    EXPECT_EQ(Orgs(u"ромашка"_s), QStringList{u"512345"_s});
    EXPECT_EQ(Orgs(u"5"_s), (QStringList{u"512345"_s, u"400010"_s})); // the telephone, then "№5" (a word)
    EXPECT_EQ(Orgs(u"22"_s), QStringList{u"512345"_s});
    EXPECT_EQ(Orgs(u"4000"_s), (QStringList{u"400010"_s, u"400001"_s, u"400003"_s}));
    const std::vector<QString> shown = QuickShownFields(QuickSide::Orgs);
    EXPECT_EQ(shown, (std::vector<QString>{u"nt"_s, u"naim"_s, u"mesto"_s, u"street"_s, u"hous"_s}));
}

TEST_F(QuickSearchTest, ExtendingTheTextNarrowsAndGivesWhatAFreshSearchGives)
{
    QuickSearcher session(m_dir.path());
    for (const QString &text : {u"и"_s, u"ив"_s, u"ива"_s, u"иван"_s, u"иванов и"_s, u"иванов ив"_s}) {
        EXPECT_EQ(Find(QuickSide::Persons, text, &session), Persons(text)) << text.toStdString();
    }
    QuickSearcher numbers(m_dir.path());
    EXPECT_EQ(Find(QuickSide::Persons, u"1"_s, &numbers), (QStringList{u"511111"_s}));
    EXPECT_EQ(Find(QuickSide::Persons, u"14"_s, &numbers), Persons(u"14"_s));
    const std::optional<QuickResult> longer = numbers.Search(QuickSide::Persons, u"145");
    ASSERT_TRUE(longer && longer->rows);
    EXPECT_TRUE(longer->narrowed);
    EXPECT_EQ(longer->count, 1); // house 145, which was not in the result for 14
    const std::optional<QuickResult> narrowed = numbers.Search(QuickSide::Persons, u"145 мира");
    ASSERT_TRUE(narrowed);
    EXPECT_TRUE(narrowed->narrowed);
    EXPECT_EQ(narrowed->count, 1);
    EXPECT_EQ(Find(QuickSide::Persons, u"1451"_s, &numbers), QStringList{});
    // Digit by digit, a telephone number and a house number found alike.
    QuickSearcher typing(m_dir.path());
    for (const QString &text : {u"2"_s, u"23"_s, u"234"_s, u"2345"_s, u"5"_s, u"55"_s, u"1"_s, u"14"_s, u"145"_s})
        EXPECT_EQ(Find(QuickSide::Persons, text, &typing), Persons(text)) << text.toStdString();
}

TEST_F(QuickSearchTest, EveryKeystrokeGivesWhatAFreshSearchGivesInEitherCodePage)
{
    // The same rows stored as UTF-8, whose words are folded from the deciphered text.
    QTemporaryDir utf8;
    ASSERT_TRUE(utf8.isValid());
    fixtures::WritePersons(utf8.path(), PersonRows(), CodePage::Utf8);
    fixtures::WriteOrgPhones(utf8.path(), OrgRows(), CodePage::Utf8);
    const std::vector<std::pair<QuickSide, QString>> typed = {
        {QuickSide::Persons, u"ёлкина"_s},        {QuickSide::Persons, u"ул.мира иванова"_s},
        {QuickSide::Persons, u"петров-водкин"_s}, {QuickSide::Persons, u"иванович ивано"_s},
        {QuickSide::Persons, u"23-45-67"_s},      {QuickSide::Persons, u"145 мира"_s},
        {QuickSide::Persons, u"14 труда"_s},      {QuickSide::Persons, u"smit"_s},
        {QuickSide::Orgs, u"зик бухгалтерия"_s},  {QuickSide::Orgs, u"приёмная дир"_s},
        {QuickSide::Orgs, u"аптека №5"_s},        {QuickSide::Orgs, u"4000 мира"_s},
    };
    for (const QString &dir : {m_dir.path(), utf8.path()}) {
        for (const auto &[side, text] : typed) {
            QuickSearcher session(dir);
            for (qsizetype n = 1; n <= text.size(); ++n) {
                const QString prefix = text.left(n);
                EXPECT_EQ(Found(session, side, prefix), Find(side, prefix)) << prefix.toStdString() << " in " << dir.toStdString();
            }
        }
    }
    EXPECT_EQ(Persons(u"иванович ивано"_s), (QStringList{u"234567"_s, u"235111"_s}));
}

TEST_F(QuickSearchTest, ACancelledSearchLeavesNoTraceInTheNext)
{
    QuickSearcher session(m_dir.path());
    // Cancelled while its index is built: no index is kept half-built.
    EXPECT_FALSE(session.Search(QuickSide::Persons, u"иван", [] { return true; }).has_value());
    EXPECT_FALSE(session.Index(QuickSide::Orgs, [] { return true; }));
    ASSERT_TRUE(session.Search(QuickSide::Persons, u"иван"));
    EXPECT_FALSE(session.Search(QuickSide::Persons, u"иванова", [] { return true; }).has_value());
    // The cancelled text is not taken for the previous result: "и" still finds everybody with и.
    EXPECT_EQ(Find(QuickSide::Persons, u"и"_s, &session), Persons(u"и"_s));
    EXPECT_EQ(Persons(u"и"_s).size(), 3);
}

TEST_F(QuickSearchTest, AMissingTableIsNamed)
{
    QTemporaryDir empty;
    QuickSearcher session(empty.path());
    try {
        session.Search(QuickSide::Orgs, u"завод");
        FAIL() << "no error";
    } catch (const DatabaseError &error) {
        EXPECT_TRUE(error.message().contains(u"sp09pr_n"_s));
    }
}

namespace {

// A row's shown fields (stored text), deciphered, between bars.
std::string ShownRow(const QStringList &stored)
{
    QStringList plain;
    for (const QString &value : stored)
        plain.append(DecodeText(value, CipherKey));
    return plain.join(u" | ").toStdString();
}

// The rule applied to each record by itself, on its deciphered values: every
// word begins a word of the text fields; every number begins the telephone
// number's digits, equals a house's or flat's leading digits, or begins a
// word. The rows by the rank of the first word or number, then in the full
// list's order.
class PlainScan {
public:
    PlainScan(const QString &directory, QuickSide side)
    {
        const bool persons = side == QuickSide::Persons;
        m_table = DbfTable::open(QDir(directory).filePath(QuickTableName(side) + u".dbf"_s));
        const std::vector<QString> text = persons ? std::vector{u"fio"_s, u"street"_s}
                                                  : std::vector{u"naim"_s, u"knaim"_s, u"mesto"_s, u"street"_s};
        const std::vector<QString> numbers = persons ? std::vector{u"hous"_s, u"flat"_s} : std::vector{u"hous"_s};
        std::vector<uint32_t> order;
        for (uint32_t live = 0; live < m_table->liveCount(); ++live)
            order.push_back(m_table->liveRecord(live));
        OrderRecords(*m_table, order, {{m_table->fieldIndex(text[0]), false}, {m_table->fieldIndex(u"nt"), false}}, {});
        for (const uint32_t r : order) {
            Record record;
            for (size_t f = 0; f < text.size(); ++f) {
                for (auto &[word, first] : Words(Plain(r, text[f])))
                    record.words.emplace_back(std::move(word), f == 0 ? (first ? 0 : 1) : static_cast<int>(f) + 1);
            }
            record.phone = Digits(Plain(r, u"nt"_s), false);
            for (const QString &name : numbers)
                record.houses.push_back(Digits(Plain(r, name), true));
            QStringList shown;
            for (const QString &name : QuickShownFields(side))
                shown.append(m_table->text(r, m_table->fieldIndex(name)));
            record.row = ShownRow(shown);
            m_records.push_back(std::move(record));
        }
    }

    // Every live record that matches, as ShownRow() gives it, in order: by
    // the typed text; when that finds nothing and it holds Latin letters, by
    // the same keys on the Russian layout; when still nothing, by the last
    // text with slips.
    std::vector<std::string> Matching(const QString &text) const
    {
        QuickQuery query = ParseQuickText(text);
        std::vector<std::string> rows = Matching(query, false);
        if (rows.empty() && HasLatinLetters(text)) {
            query = ParseQuickText(ToRussianLayout(text));
            rows = Matching(query, false);
        }
        return rows.empty() ? Matching(query, true) : rows;
    }
    std::vector<std::string> Matching(const QuickQuery &query, bool slips) const
    {
        std::vector<std::pair<int, std::string>> ranked;
        for (const Record &record : m_records) {
            if (const int rank = query.empty() ? -1 : record.rank(query, slips); rank >= 0)
                ranked.emplace_back(rank, record.row);
        }
        std::stable_sort(ranked.begin(), ranked.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
        std::vector<std::string> rows;
        for (auto &[rank, row] : ranked)
            rows.push_back(std::move(row));
        return rows;
    }

    const DbfTable &table() const { return *m_table; }
    // A deciphered value of the record, for making up texts.
    QString Plain(uint32_t record, const QString &field) const
    {
        return DecodeText(m_table->text(record, m_table->fieldIndex(field)), CipherKey);
    }

private:
    struct Record {
        std::vector<std::pair<std::string, int>> words; // with the rank each gives
        std::string phone;
        std::vector<std::string> houses;
        std::string row;

        // The best rank of the words `near` accepts, -1 for none.
        template <typename Near>
        int best(Near near) const
        {
            int rank = -1;
            for (const auto &[word, r] : words) {
                if (near(word) && (rank < 0 || r < rank))
                    rank = r;
            }
            return rank;
        }
        int begins(const std::string &prefix) const
        {
            return best([&](const std::string &w) { return w.starts_with(prefix); });
        }
        // Some word has a beginning of the typed word's length, or one
        // shorter or longer, within one slip of it.
        int beginsNearly(const std::string &typed) const
        {
            return best([&](const std::string &w) {
                for (size_t length = typed.size() - 1; length <= typed.size() + 1 && length <= w.size(); ++length) {
                    if (Slips(w.substr(0, length), typed) <= 1)
                        return true;
                }
                return false;
            });
        }
        // The rank of the first word or number, -1 when something does not match.
        int rank(const QuickQuery &query, bool slips) const
        {
            std::vector<int> wordRanks;
            for (const std::string &word : query.words) {
                wordRanks.push_back(slips && word.size() >= 4 ? beginsNearly(word) : begins(word));
                if (wordRanks.back() < 0)
                    return -1;
            }
            std::vector<int> numberRanks;
            for (const std::string &number : query.numbers) {
                const auto house = std::find(houses.begin(), houses.end(), number);
                const int rank = phone.starts_with(number) ? 0
                    : house != houses.end()                ? static_cast<int>(house - houses.begin()) + 1
                    : begins(number) >= 0                  ? static_cast<int>(houses.size()) + 1
                                                           : -1;
                if (rank < 0)
                    return -1;
                numberRanks.push_back(rank);
            }
            return query.numberFirst || wordRanks.empty() ? numberRanks.front() : wordRanks.front();
        }
    };

    // Damerau-Levenshtein distance (neighbours swapped, no edits after).
    static size_t Slips(const std::string &a, const std::string &b)
    {
        std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
        for (size_t i = 0; i <= a.size(); ++i) {
            for (size_t j = 0; j <= b.size(); ++j) {
                if (i == 0 || j == 0) {
                    d[i][j] = i + j;
                    continue;
                }
                d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
                if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                    d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
        return d[a.size()][b.size()];
    }
    // Runs of letters and digits, folded (a letter of another alphabet stays
    // in its word), and every run joined by hyphens between letters to those
    // after it; each with whether it is part of the value's first word.
    static std::vector<std::pair<std::string, bool>> Words(const QString &plain)
    {
        struct Run {
            std::string codes;
            bool joinedToNext = false;
        };
        std::vector<Run> runs(1);
        const QList<uint> ucs4 = plain.toUcs4();
        const std::vector<char32_t> chars(ucs4.begin(), ucs4.end());
        const auto letter = [](char32_t c) { return IsFoldLetter(FoldChar(c)); };
        for (size_t i = 0; i < chars.size(); ++i) {
            const uint8_t code = FoldChar(chars[i]);
            if (code != FoldNone) {
                runs.back().codes.push_back(static_cast<char>(code));
                continue;
            }
            if (runs.back().codes.empty())
                continue;
            runs.back().joinedToNext = chars[i] == U'-' && letter(chars[i - 1]) && i + 1 < chars.size() && letter(chars[i + 1]);
            runs.emplace_back();
        }
        if (runs.back().codes.empty())
            runs.pop_back();
        std::vector<std::pair<std::string, bool>> words;
        bool first = true;
        for (size_t i = 0; i < runs.size(); ++i) {
            std::string joined = runs[i].codes;
            words.emplace_back(joined, first);
            for (size_t j = i; runs[j].joinedToNext; ++j) {
                joined += static_cast<char>(FoldHyphen) + runs[j + 1].codes;
                words.emplace_back(joined, first);
            }
            first = first && runs[i].joinedToNext;
        }
        return words;
    }
    // Every digit, folded; or only the leading ones after the leading blanks.
    static std::string Digits(const QString &plain, bool leading)
    {
        std::string digits;
        for (const QChar c : leading ? QStringView(plain).trimmed() : QStringView(plain)) {
            const uint8_t code = FoldChar(c.unicode());
            if (IsFoldDigit(code))
                digits.push_back(static_cast<char>(code));
            else if (leading)
                break;
        }
        return digits;
    }

    std::shared_ptr<const DbfTable> m_table;
    std::vector<Record> m_records;
};

// Every row of a result, as ShownRow() gives it, in the result's order.
std::vector<std::string> Rows(const QuickResult &result)
{
    std::vector<std::string> rows;
    for (int r = 0; result.rows && r < result.rows->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < result.rows->columnCount(); ++c)
            row.append(result.rows->text(r, c));
        rows.push_back(ShownRow(row));
    }
    return rows;
}

// A text someone might type for the record: pieces of its words, of its
// telephone number (written with hyphens or not), of its house number, in any case.
QString MadeUpText(const PlainScan &scan, std::mt19937 &random, QuickSide side)
{
    auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const uint32_t record = static_cast<uint32_t>(below(static_cast<int>(scan.table().physicalCount())));
    const std::vector<QString> fields = side == QuickSide::Persons
        ? std::vector{u"fio"_s, u"street"_s, u"nt"_s, u"hous"_s, u"flat"_s}
        : std::vector{u"naim"_s, u"knaim"_s, u"mesto"_s, u"street"_s, u"nt"_s, u"hous"_s};
    QStringList pieces;
    for (int n = 1 + below(3); n > 0; --n) {
        const QString value = scan.Plain(record, fields[static_cast<size_t>(below(static_cast<int>(fields.size())))]).trimmed();
        const QStringList words = value.split(u' ', Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        QString piece = words.at(below(static_cast<int>(words.size())));
        piece = piece.left(1 + below(static_cast<int>(piece.size())));
        if (below(4) == 0)
            piece = piece.toLower();
        if (piece.size() > 3 && below(3) == 0 && piece.front().isDigit())
            piece.insert(2, u'-');
        pieces.append(piece);
    }
    if (below(10) == 0)
        pieces.append(QString(QChar(u'а' + below(32))));
    // Typed with slips: a letter changed, dropped, added, or two swapped.
    for (QString &piece : pieces) {
        if (piece.size() < 4 || below(3) != 0)
            continue;
        const qsizetype at = below(static_cast<int>(piece.size() - 1));
        switch (below(4)) {
        case 0: piece[at] = QChar(u'а' + below(32)); break;
        case 1: piece.remove(at, 1); break;
        case 2: piece.insert(at, QChar(u'а' + below(32))); break;
        default: std::swap(piece[at], piece[at + 1]);
        }
    }
    QString text = pieces.join(u' ');
    // Typed on the Latin layout.
    if (below(5) == 0) {
        static const QString latin = u"`qwertyuiop[]asdfghjkl;'zxcvbnm,."_s;
        static const QString russian = ToRussianLayout(latin);
        for (QChar &c : text) {
            if (const qsizetype at = russian.indexOf(c.toLower()); at >= 0)
                c = c.isUpper() ? latin[at].toUpper() : latin[at];
        }
    }
    return text;
}

} // namespace

TEST(QuickSearchScan, EveryKeystrokeFindsWhatAPlainScanByTheRuleFinds)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    sample::SampleOptions options;
    options.directory = dir.path();
    options.persons = 3000;
    options.orgNumbers = 1500;
    options.seed = 17;
    options.deletedShare = 0.1;
    sample::WriteSampleDirectory(options);
    std::mt19937 random(17);
    QuickIndex::SetSplitFrom(64); // both halves of a shared-out search run on these few places
    int texts = 0;
    int found = 0;
    for (const QuickSide side : {QuickSide::Persons, QuickSide::Orgs}) {
        const PlainScan scan(dir.path(), side);
        // Typed letter by letter in one session: fresh searches, narrowed and extended ones.
        QuickSearcher session(dir.path());
        for (int n = 0; n < 150; ++n, ++texts) {
            const QString text = MadeUpText(scan, random, side);
            for (qsizetype length = 1; length <= text.size(); ++length) {
                const QString typed = text.left(length);
                const std::optional<QuickResult> result = session.Search(side, typed);
                ASSERT_TRUE(result.has_value());
                const std::vector<std::string> expected = scan.Matching(typed);
                ASSERT_EQ(Rows(*result), expected) << typed.toStdString();
                found += static_cast<int>(expected.size());
            }
        }
    }
    QuickIndex::SetSplitFrom(1 << 15);
    EXPECT_EQ(texts, 300);
    EXPECT_GT(found, texts); // the texts find rows, not only nothing
}

namespace {

// The numbers found, with what the status bar says of them.
using Shown = std::pair<QStringList, QString>;

Shown Searched(QuickSearcher &searcher, const QString &text)
{
    const std::optional<QuickResult> result = searcher.Search(QuickSide::Persons, text);
    Shown shown;
    if (!result || !result->rows)
        return shown;
    for (int r = 0; r < result->rows->rowCount(); ++r)
        shown.first.append(DecodeText(result->rows->text(r, 0), CipherKey).trimmed());
    shown.second = QuickStepNote(*result).Text();
    return shown;
}

class QuickStepsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        fixtures::WritePersons(m_dir.path(), {
            {u"100001"_s, u"ИВАНОВ ПЁТР"_s, u"ул. Мира"_s, u"1"_s, u"1"_s},
            {u"100002"_s, u"ИВАНОВА ЕЛЕНА"_s, u"ул. Мира"_s, u"2"_s, u"2"_s},
            {u"100003"_s, u"ИВНОВ ОЛЕГ"_s, u"ул. Труда"_s, u"3"_s, u"3"_s}, // one slip from "иванов", stored so
            {u"100004"_s, u"ГОНЧАРОВ ИЛЬЯ"_s, u"ул. Мира"_s, u"12"_s, u"4"_s},
            {u"100005"_s, u"БОРОВ СЕРГЕЙ"_s, u"ул. Мира"_s, u"5"_s, u"5"_s},
            {u"100006"_s, u"ROMA BAR"_s, u"ул. Мира"_s, u"6"_s, u"6"_s},
        });
    }
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(QuickStepsTest, ExactRowsFirstThenTheRussianLayoutThenSlipsNeverMixed)
{
    const QString layout = u"Показаны результаты для «гончаров»"_s;
    const QString similar = u"Показаны похожие слова"_s;
    const std::vector<std::pair<QString, Shown>> cases = {
        // Found as typed: no slips besides, and nothing said.
        {u"иванов"_s, {{u"100001"_s, u"100002"_s}, {}}},
        {u"ивнов"_s, {{u"100003"_s}, {}}},
        {u"roma"_s, {{u"100006"_s}, {}}},
        // Each kind of slip, when the typed text finds nothing.
        {u"гончраов"_s, {{u"100004"_s}, similar}},
        {u"гнчаров"_s, {{u"100004"_s}, similar}},
        {u"гонччаров"_s, {{u"100004"_s}, similar}},
        {u"гонкаров"_s, {{u"100004"_s}, similar}},
        {u"борв"_s, {{u"100005"_s}, similar}},
        {u"гнчраов"_s, {{}, {}}}, // two slips
        // Short words and numbers stay exact.
        {u"брв"_s, {{}, {}}},
        {u"гончраов 13"_s, {{}, {}}},
        {u"гончраов 12"_s, {{u"100004"_s}, similar}},
        {u"гончраов ил"_s, {{u"100004"_s}, similar}},
        {u"гончраов ли"_s, {{}, {}}},
        // The Russian layout, then its text with slips.
        {u"ujyxfhjd"_s, {{u"100004"_s}, layout}},
        {u"UJYXFHJD 12"_s, {{u"100004"_s}, u"Показаны результаты для «ГОНЧАРОВ 12»"_s}},
        {u"ujyxhfjd"_s, {{u"100004"_s}, similar}},
        {u"ujyxfhjd 13"_s, {{}, {}}},
    };
    for (const auto &[text, expected] : cases) {
        QuickSearcher fresh(m_dir.path());
        EXPECT_EQ(Searched(fresh, text), expected) << text.toStdString();
    }
}

TEST_F(QuickStepsTest, EveryKeystrokeIntoAndOutOfTheLaterStepsGivesWhatAFreshSearchGives)
{
    // Letter by letter into slips and back out to exact rows, on the Latin
    // layout and back, numbers added and taken away.
    const QStringList typed{u"г"_s, u"го"_s, u"гон"_s, u"гонч"_s, u"гончр"_s, u"гончра"_s, u"гончрао"_s,
                            u"гончраов"_s, u"гончраов 1"_s, u"гончраов 12"_s, u"гончраов 1"_s, u"гончраов"_s,
                            u"гончра"_s, u"гонч"_s, u"гонча"_s, u"u"_s, u"uj"_s, u"ujy"_s, u"ujyx"_s,
                            u"ujyxh"_s, u"ujyxhf"_s, u"ujyx"_s, u"ujyxf"_s, u"ujyxfh"_s, u"b"_s, u"bd"_s,
                            u"bdy"_s, u"bdyj"_s, u"bdyjd"_s, u"bdyj"_s, u"bdfyjd"_s, u"ив"_s, u"ивн"_s,
                            u"ивно"_s, u"ивнов"_s, u"ивно"_s, u"ивн"_s, u"ива"_s, u"иван"_s};
    QuickSearcher session(m_dir.path());
    for (const QString &text : typed) {
        QuickSearcher fresh(m_dir.path());
        EXPECT_EQ(Searched(session, text), Searched(fresh, text)) << text.toStdString();
    }
    // Back to exact rows, the note goes.
    EXPECT_EQ(Searched(session, u"гончраов"_s).second, u"Показаны похожие слова"_s);
    EXPECT_EQ(Searched(session, u"гонч"_s), (Shown{{u"100004"_s}, {}}));
}

TEST_F(QuickSearchTest, DeletedRecordsNeverAppearFreshNarrowedOrExtended)
{
    // Deleted twins of live rows, matching every text below.
    std::vector<fixtures::Person> persons = PersonRows();
    persons.insert(persons.begin() + 1, {u"234599"_s, u"ИВАНОВ ИВАН УДАЛЁН"_s, u"ул. Мира"_s, u"14"_s, u"145"_s, true});
    persons.push_back({u"234511"_s, u"ИВАНОВА АННА"_s, u"ул. Мира"_s, u"145"_s, u"14"_s, true});
    fixtures::WritePersons(m_dir.path(), persons);
    std::vector<fixtures::OrgPhone> orgs = OrgRows();
    orgs.insert(orgs.begin(), {u"400099"_s, u"ЗАВОД ИМ. КИРОВА"_s, u"ЗИК"_s, u"Приемная"_s, u"ул. Мира"_s, u"1"_s, true});
    fixtures::WriteOrgPhones(m_dir.path(), orgs);

    const std::vector<std::pair<QuickSide, QString>> typed = {
        {QuickSide::Persons, u"иванов ив уд"_s}, {QuickSide::Persons, u"2345 мира"_s},
        {QuickSide::Persons, u"1 14 145"_s},     {QuickSide::Orgs, u"завод 4000 прием"_s},
    };
    for (const auto &[side, text] : typed) {
        QuickSearcher session(m_dir.path());
        for (qsizetype n = 1; n <= text.size(); ++n) {
            const QStringList rows = Found(session, side, text.left(n));
            for (const QString &number : {u"234599"_s, u"234511"_s, u"400099"_s})
                EXPECT_FALSE(rows.contains(number)) << text.left(n).toStdString();
        }
    }
    // The live twins are found.
    EXPECT_EQ(Persons(u"2345 мира"_s), (QStringList{u"234567"_s, u"234500"_s}));
    EXPECT_EQ(Orgs(u"киров"_s), (QStringList{u"400001"_s, u"400003"_s}));
}

TEST_F(QuickSearchTest, ATableCopiedOverBetweenKeystrokesIsSearchedAsTheNewEdition)
{
    const QString path = QDir(m_dir.path()).filePath(u"sp09kw_n.dbf"_s);
    auto edition = [](const std::vector<fixtures::Person> &rows) {
        QTemporaryDir other;
        fixtures::WritePersons(other.path(), rows);
        return fixtures::ReadBytes(QDir(other.path()).filePath(u"sp09kw_n.dbf"_s));
    };
    const std::vector<fixtures::Person> first = {
        {u"100001"_s, u"ИВАНОВ АНДРЕЙ"_s, u"ул. Мира"_s, u"1"_s, u"1"_s},
        {u"100002"_s, u"ИВАНОВА ВЕРА"_s, u"ул. Мира"_s, u"2"_s, u"2"_s},
        {u"100003"_s, u"ПЕТРОВ ИВАН"_s, u"ул. Труда"_s, u"3"_s, u"3"_s},
        {u"100004"_s, u"СИДОРОВ ОЛЕГ"_s, u"ул. Ленина"_s, u"4"_s, u"4"_s},
    };
    // The same number of rows in the same widths: a file of the same size.
    const std::vector<fixtures::Person> second = {
        {u"200001"_s, u"КУЗНЕЦОВ ИВАН"_s, u"ул. Мира"_s, u"1"_s, u"1"_s},
        {u"200002"_s, u"ИВАНЕНКО ПЁТР"_s, u"ул. Мира"_s, u"2"_s, u"2"_s},
        {u"200003"_s, u"ОРЛОВ ИВАН"_s, u"ул. Труда"_s, u"3"_s, u"3"_s},
        {u"200004"_s, u"ИВАНОВ ЮРИЙ"_s, u"ул. Ленина"_s, u"4"_s, u"4"_s},
    };
    std::vector<fixtures::Person> third = second;
    third.push_back({u"300005"_s, u"ИВАНОВСКИЙ ЛЕВ"_s, u"ул. Мира"_s, u"5"_s, u"5"_s});
    third.push_back({u"300006"_s, u"ИВАНОВА ЗОЯ"_s, u"ул. Мира"_s, u"6"_s, u"6"_s});
    third[3].fio = u"ИВАНЧЕНКО ЮРИЙ"_s;

    fixtures::WritePersons(m_dir.path(), first);
    // The first edition has been in place a while: a copy over it gets a
    // modification time of its own even in the file system's coarsest grain.
    {
        QFile aged(path);
        ASSERT_TRUE(aged.open(QIODevice::ReadWrite));
        ASSERT_TRUE(aged.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    }
    QuickSearcher session(m_dir.path());
    const std::optional<QuickResult> before = session.Search(QuickSide::Persons, u"ива");
    ASSERT_TRUE(before && before->rows);
    ASSERT_EQ(before->count, 3);

    // Each copy rewrites the file in place, as cp does; the next keystroke narrows the text.
    const std::vector<std::tuple<QString, std::vector<fixtures::Person>, QStringList>> copies = {
        {u"иван"_s, second, {u"200002"_s, u"200004"_s, u"200001"_s, u"200003"_s}},
        {u"ивано"_s, third, {u"300006"_s, u"300005"_s}},
    };
    for (const auto &[text, rows, expected] : copies) {
        fixtures::WriteBytes(path, edition(rows));
        const std::optional<QuickResult> after = session.Search(QuickSide::Persons, text);
        ASSERT_TRUE(after);
        EXPECT_TRUE(after->rebuilt);
        EXPECT_FALSE(after->narrowed);
        EXPECT_EQ(Found(session, QuickSide::Persons, text), expected) << text.toStdString();
        EXPECT_EQ(Rows(*after), PlainScan(m_dir.path(), QuickSide::Persons).Matching(text));
    }
    // The rows found in the first edition read nothing from the later ones.
    EXPECT_EQ(before->rows->text(0, 1), QString());
    // The file unchanged since: the index is kept and the text narrowed.
    const std::optional<QuickResult> unchanged = session.Search(QuickSide::Persons, u"иванов"_s);
    ASSERT_TRUE(unchanged);
    EXPECT_FALSE(unchanged->rebuilt);
    EXPECT_TRUE(unchanged->narrowed);
}

namespace {

class QuickOrderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        fixtures::WritePersons(m_dir.path(), {
            {u"100001"_s, u"БЕЛОВ ОЛЕГ"_s, u"ул. Аннинская"_s, u"3"_s, u"4"_s},
            {u"100002"_s, u"АННИНА ВЕРА"_s, u"ул. Мира"_s, u"5"_s, u"6"_s},
            {u"100003"_s, u"ВОЛКОВА АННА"_s, u"ул. Мира"_s, u"14"_s, u"1"_s},
            {u"100004"_s, u"АБРАМОВА АННА"_s, u"ул. Труда"_s, u"2"_s, u"14"_s},
            {u"100005"_s, u"АННОВ ПЁТР"_s, u"ул. Мира"_s, u"7"_s, u"8"_s},
            {u"140006"_s, u"ЖУКОВ ИВАН"_s, u"ул. Мира"_s, u"9"_s, u"3"_s},
            {u"100007"_s, u"ЗУЕВ ИЛЬЯ"_s, u"ул. 14 Линия"_s, u"1"_s, u"1"_s},
            {u"100008"_s, u"ГРИГОРЬЕВ-ЛЕСНОЙ ИГОРЬ"_s, u"ул. Лесная"_s, u"1"_s, u"2"_s},
            {u"100009"_s, u"АБРАМОВА НАДЕЖДА ГРИГОРЬЕВНА"_s, u"ул. Лесная"_s, u"3"_s, u"4"_s},
            {u"100010"_s, u"РИМСКИЙ-КОРСАКОВ НИКОЛАЙ"_s, u"ул. 8-го Марта"_s, u"5"_s, u"6"_s},
        });
        fixtures::WriteOrgPhones(m_dir.path(), {
            {u"300001"_s, u"БАНК"_s, {}, u"Касса"_s, u"ул. Магазинная"_s, u"22"_s},
            {u"300002"_s, u"АПТЕКА"_s, {}, u"Магазин"_s, u"ул. Мира"_s, u"1"_s},
            {u"300003"_s, u"ЗАВОД"_s, u"МАГАЗИН ЗАВОДА"_s, u"Приемная"_s, u"ул. Мира"_s, u"2"_s},
            {u"300004"_s, u"ООО МАГАЗИН-СКЛАД"_s, {}, u"Склад"_s, u"ул. Мира"_s, u"3"_s},
            {u"300005"_s, u"МАГАЗИН №22"_s, {}, u"Касса"_s, u"ул. Мира"_s, u"4"_s},
            {u"220006"_s, u"ЯСЛИ"_s, {}, u"Группа"_s, u"ул. Мира"_s, u"5"_s},
        });
    }
    QStringList Found(QuickSide side, const QString &text) const
    {
        QuickSearcher searcher(m_dir.path());
        const std::optional<QuickResult> result = searcher.Search(side, text);
        QStringList rows;
        for (int r = 0; result && result->rows && r < result->rows->rowCount(); ++r)
            rows.append(DecodeText(result->rows->text(r, 0), CipherKey).trimmed());
        return rows;
    }
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(QuickOrderTest, RowsComeByWhereTheFirstWordOrNumberMatchedThenInTheListsOrder)
{
    const auto persons = [&](const QString &text) { return Found(QuickSide::Persons, text); };
    // The surname, another word of the name, the street; by name within each.
    const QStringList ann{u"100002"_s, u"100005"_s, u"100004"_s, u"100003"_s, u"100001"_s};
    EXPECT_EQ(persons(u"анн"_s), ann);
    EXPECT_EQ(persons(u"fyy"_s), ann); // the same on the Russian layout
    // One slip: the surname before the street.
    EXPECT_EQ(persons(u"авнин"_s), (QStringList{u"100002"_s, u"100001"_s}));
    // The telephone number, the house, the flat, a word.
    EXPECT_EQ(persons(u"14"_s), (QStringList{u"140006"_s, u"100003"_s, u"100004"_s, u"100007"_s}));
    // Only the first word or number orders; the others filter.
    EXPECT_EQ(persons(u"мира анн"_s), (QStringList{u"100002"_s, u"100005"_s, u"100003"_s}));
    EXPECT_EQ(persons(u"14 мира"_s), (QStringList{u"140006"_s, u"100003"_s}));
    EXPECT_EQ(persons(u"анна 14"_s), (QStringList{u"100004"_s, u"100003"_s}));

    const auto orgs = [&](const QString &text) { return Found(QuickSide::Orgs, text); };
    // The name's first word, another word of it, the second name, the department, the street.
    const QStringList shop{u"300005"_s, u"300004"_s, u"300003"_s, u"300002"_s, u"300001"_s};
    EXPECT_EQ(orgs(u"магазин"_s), shop);
    EXPECT_EQ(orgs(u"vfufpby"_s), shop);
    EXPECT_EQ(orgs(u"мгазин"_s), shop);
    // The telephone number, the house, a word.
    EXPECT_EQ(orgs(u"22"_s), (QStringList{u"220006"_s, u"300001"_s, u"300005"_s}));
}

TEST_F(QuickOrderTest, AHyphenBetweenLettersKeepsAWordWhole)
{
    const auto persons = [&](const QString &text) { return Found(QuickSide::Persons, text); };
    EXPECT_EQ(persons(u"григорьев-лесн"_s), QStringList{u"100008"_s});
    EXPECT_EQ(persons(u"Римский-К"_s), QStringList{u"100010"_s});
    EXPECT_EQ(persons(u"римский-ни"_s), QStringList{}); // not across the blank, even with a slip
    // The parts alone still find it; both parts are the surname.
    EXPECT_EQ(persons(u"григорьев"_s), (QStringList{u"100008"_s, u"100009"_s}));
    EXPECT_EQ(persons(u"лесн"_s), (QStringList{u"100008"_s, u"100009"_s}));
    EXPECT_EQ(persons(u"корсаков"_s), QStringList{u"100010"_s});
    // A hyphen not between letters splits as any other sign.
    EXPECT_EQ(persons(u"григорьев-"_s), persons(u"григорьев"_s));
    EXPECT_EQ(persons(u"8-го"_s), QStringList{u"100010"_s});
    EXPECT_EQ(ParseQuickText(u"а-б 8-го х-1"_s).words,
              (std::vector<std::string>{Codes(u"а"_s) + static_cast<char>(FoldHyphen) + Codes(u"б"_s), Codes(u"го"_s), Codes(u"х"_s)}));
    // Typed letter by letter, through the hyphen and back.
    QuickSearcher session(m_dir.path());
    for (const QString &text : {u"григ"_s, u"григорьев"_s, u"григорьев-"_s, u"григорьев-л"_s, u"григорьев-"_s,
                                u"григорьев"_s, u"григорьев-лесной"_s, u"григорьев-лесная"_s}) {
        const std::optional<QuickResult> result = session.Search(QuickSide::Persons, text);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->count, Found(QuickSide::Persons, text).size()) << text.toStdString();
    }
}
