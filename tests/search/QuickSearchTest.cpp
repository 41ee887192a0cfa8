// The quick search's rule, on tiny directories written enciphered.

#include "DatabaseError.h"
#include "Dataset.h"
#include "Fixtures.h"
#include "QuickSearch.h"
#include "UHelpFull.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

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
    // 14: house 14Б and 14, flat 14; not house 145, nor "/14" (no leading digits).
    // In the collation's order Ё comes with Е, before И.
    EXPECT_EQ(Persons(u"14"_s), (QStringList{u"522222"_s, u"234567"_s, u"511111"_s}));
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
    EXPECT_EQ(Orgs(u"5"_s), (QStringList{u"400010"_s, u"512345"_s})); // a number after "№" is a word
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
