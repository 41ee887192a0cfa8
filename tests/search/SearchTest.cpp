#include "Dataset.h"
#include "DbfWriter.h"
#include "Fixtures.h"
#include "Searches.h"
#include "SearchText.h"
#include "UHelpFull.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace phonebook;
using namespace phonebook::search;
using namespace Qt::StringLiterals;

namespace {

QString Enc(const QString &plain) { return EncodeText(plain, CipherKey); }

// Deciphered value of one field of result row `row` (1-based).
QString Shown(const Query &query, int row, const QString &field)
{
    const auto source = query.Source();
    return DecodeText(source->text(row - 1, source->columnIndex(field)), CipherKey);
}

QStringList Column(const Query &query, const QString &field)
{
    QStringList values;
    for (int row = 1; row <= query.RecordCount(); ++row)
        values.append(Shown(query, row, field));
    return values;
}

class Searches : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        fixtures::WritePersons(m_dir.path(), {
            {u"234567"_s, u"ИВАНОВ ИВАН ИВАНОВИЧ"_s, u"ул. Мира"_s, u"1"_s, u"2"_s},
            {u"234500"_s, u"ИВАНОВА АННА"_s, u"ул. Мира"_s, u"3"_s, u"4"_s},
            {u"235111"_s, u"ИВАНОВ ПЕТР"_s, u"ул. Мира"_s, u"5"_s, u""_s},
            {u"511111"_s, u"ПЕТРОВ ИГОРЬ"_s, u"ул. Труда"_s, u"7"_s, u"1"_s},
            {u"522222"_s, u"Д'ЯКОНОВ ОЛЕГ"_s, u"ул. Труда"_s, u"9"_s, u"1"_s},
            {u"533333"_s, u"ЁЛКИН Ё."_s, u"ул. Труда"_s, u"9"_s, u"2"_s},
        });
        fixtures::WriteOrgPhones(m_dir.path(), {
            {u"400003"_s, u"ЗАВОД ИМ. КИРОВА"_s, {}, u"Приемная"_s, u"ул. Мира"_s, u"1"_s},
            {u"400001"_s, u"ЗАВОД ИМ. КИРОВА"_s, {}, u"Бухгалтерия"_s, u"ул. Мира"_s, u"1"_s},
            {u"400002"_s, u"ЗАВОД ИМ. КИРОВА"_s, {}, u"Отдел кадров"_s, u"ул. Мира"_s, u"1"_s},
            {u"400009"_s, u"ООО \"РОМАШКА\""_s, {}, u"Приемная"_s, u"ул. Труда"_s, u"2"_s},
            {u"400010"_s, u"КАФЕ r="_s, {}, u"Зал"_s, u"ул. Труда"_s, u"4"_s},
            {u"400011"_s, {}, {}, u"Без имени"_s, u"ул. Труда"_s, u"4"_s},
        });
        m_temp.SetDirectory(m_dir.path());
    }

    QTemporaryDir m_dir;
    Query m_temp;
};

} // namespace

TEST(SearchText, StatementsAreTheProgramsOwnTextForInputWithoutQuotes)
{
    const QString e = Enc(u"23"_s);
    const QString persons = u"SELECT sp09kw_n.nt,sp09kw_n.fio,sp09kw_n.street,sp09kw_n.hous,sp09kw_n.flat FROM sp09kw_n WHERE "_s;
    EXPECT_EQ(PersonPhoneSql(u"23"), persons + u"sp09kw_n.nt LIKE '"_s + e + u"%' ORDER BY nt,fio"_s);
    EXPECT_EQ(PersonPhoneSql(u"%"), persons + u"sp09kw_n.nt LIKE '%' ORDER BY nt,fio"_s);
    EXPECT_EQ(SurnameSql(u"ИВАНОВ И"), persons + u"sp09kw_n.fio LIKE '"_s + Enc(u"ИВАНОВ И"_s) + u"%' ORDER BY fio"_s);
    EXPECT_EQ(SurnameSql(u"%"), persons + u"sp09kw_n.fio LIKE '%' ORDER BY fio"_s);
    EXPECT_EQ(OrgPhoneSql(u"400001"),
              u"SELECT sp09pr_n.nt,sp09pr_n.street,sp09pr_n.naim,sp09pr_n.mesto,sp09pr_n.hous FROM sp09pr_n WHERE "
              u"sp09pr_n.nt LIKE '"_s + Enc(u"  400001"_s) + u"' ORDER BY naim"_s);
    EXPECT_EQ(OrgNumbersByPhoneSql(u"ABC"),
              u"SELECT sp09pr_n.nt,sp09pr_n.mesto,sp09pr_n.street,sp09pr_n.hous, sp09pr_n.naim FROM sp09pr_n WHERE "
              u"sp09pr_n.naim LIKE 'ABC' ORDER BY nt"_s);
    EXPECT_EQ(OrgNumbersSql(u"ABC"),
              u"SELECT sp09pr_n.nt,sp09pr_n.mesto,sp09pr_n.street,sp09pr_n.hous,sp09pr_n.knaim,sp09pr_n.naim "
              u"FROM sp09pr_n WHERE sp09pr_n.naim LIKE 'ABC' ORDER BY sp09pr_n.naim"_s);
    // A stored name from a file can hold a quote: it stays inside the literal.
    EXPECT_EQ(OrgNumbersSql(u"A'B"), OrgNumbersSql(u"A'B").section(u"LIKE"_s, 0, 0) + u"LIKE 'A''B' ORDER BY sp09pr_n.naim"_s);
}

TEST(SearchText, AnswersAreNormalised)
{
    EXPECT_EQ(PhoneDigits(u"23-45-67"), u"234567"_s);
    EXPECT_EQ(PhoneDigits(u"(23) 45 67"), u"234567"_s);
    EXPECT_EQ(PhoneDigits(u" -() "), QString());
    EXPECT_EQ(PhoneDigits(u"%"), u"%"_s);
    EXPECT_EQ(UpperCaseName(u"иванов ёж abc-z"), u"ИВАНОВ ЁЖ ABC-Z"_s);
    // Only the letters the directory stores in upper case change; nothing changes length.
    EXPECT_EQ(UpperCaseName(u"straße ї é"), u"STRAßE ї é"_s);
    EXPECT_EQ(SqlQuoted(u"a'b''"), u"a''b''''"_s);
}

TEST_F(Searches, PhoneOnTheIndividualsSideIsAPrefixOfTheNumber)
{
    SearchOutcome found = PhoneSearchPersons(m_temp, u"2345");
    ASSERT_TRUE(found.found());
    EXPECT_EQ(found.fill, GridFill::Persons);
    EXPECT_EQ(found.helpContext, 1);
    EXPECT_EQ(found.statements, QStringList{PersonPhoneSql(u"2345")});
    EXPECT_EQ(Column(m_temp, u"nt"_s), (QStringList{u"234500"_s, u"234567"_s}));

    // Any usual spelling of a number finds it.
    EXPECT_EQ(PhoneSearchPersons(m_temp, u"23-45 (67)").fill, GridFill::Persons);
    EXPECT_EQ(Column(m_temp, u"nt"_s), QStringList{u"234567"_s});

    // "%" lists everybody; a number nobody has gives the message; nothing typed changes nothing.
    EXPECT_TRUE(PhoneSearchPersons(m_temp, u"%").found());
    EXPECT_EQ(m_temp.RecordCount(), 6);
    const SearchOutcome missing = PhoneSearchPersons(m_temp, u"9");
    EXPECT_FALSE(missing.found());
    EXPECT_EQ(missing.message.Text(), u"Указанный телефон не найден!!!"_s);
    EXPECT_TRUE(PhoneSearchPersons(m_temp, u" - ").cancelled);
    EXPECT_TRUE(PhoneSearchPersons(m_temp, u"").cancelled);
}

TEST(SearchFill, LargeResultsArePaged)
{
    EXPECT_EQ(PersonFill(200), GridFill::Persons);
    EXPECT_EQ(PersonFill(201), GridFill::PersonsPaged);
    EXPECT_EQ(OrgFill(100), GridFill::Orgs);
    EXPECT_EQ(OrgFill(101), GridFill::OrgsPaged);
}

TEST_F(Searches, PhoneOnTheOrganisationsSideListsTheOwnerAndHighlightsTheNumber)
{
    const SearchOutcome found = PhoneSearchOrgs(m_temp, u"400-002");
    ASSERT_TRUE(found.found());
    EXPECT_EQ(found.fill, GridFill::OrgPhones);
    // All of the organisation's numbers, in the order of the stored numbers.
    QStringList numbers = Column(m_temp, u"nt"_s);
    EXPECT_EQ(numbers.size(), 3);
    QStringList storedOrder{Enc(u"  400001"_s), Enc(u"  400002"_s), Enc(u"  400003"_s)};
    std::sort(storedOrder.begin(), storedOrder.end());
    QStringList expected;
    for (const QString &stored : storedOrder)
        expected.append(DecodeText(stored, CipherKey));
    EXPECT_EQ(numbers, expected);
    ASSERT_GT(found.highlightRow, 0);
    EXPECT_EQ(numbers.at(found.highlightRow - 1), u"  400002"_s);
    EXPECT_EQ(m_temp.RecNo(), found.highlightRow);
    EXPECT_EQ(found.orgTabCaption, std::optional<QString>(u"ЗАВОД ИМ. КИРОВА"_s));
    EXPECT_EQ(found.listing(), Listing::OrgNumbers);
    EXPECT_EQ(found.helpContext, 4);
    ASSERT_EQ(found.statements.size(), 2);
    EXPECT_EQ(found.statements.at(1), OrgNumbersByPhoneSql(Enc(u"ЗАВОД ИМ. КИРОВА"_s)));

    // The match is on the whole number; an unknown one never lists the rows without a name.
    const SearchOutcome partial = PhoneSearchOrgs(m_temp, u"40000");
    EXPECT_FALSE(partial.found());
    EXPECT_EQ(partial.message.Text(), u"Указанный телефон не найден!!!"_s);
    EXPECT_EQ(partial.listing(), Listing::Nothing);
    EXPECT_EQ(partial.statements.size(), 1);

    // A name whose cipher output holds a separator is taken as stored, not re-enciphered.
    const SearchOutcome bar = PhoneSearchOrgs(m_temp, u"400010");
    ASSERT_TRUE(bar.found());
    EXPECT_EQ(m_temp.RecordCount(), 1);
    EXPECT_EQ(bar.orgTabCaption, std::optional<QString>(DecodeText(Enc(u"КАФЕ r="_s), CipherKey)));
}

TEST_F(Searches, SurnameIsAPrefixOfTheFullNameInAnyLetterCase)
{
    const SearchOutcome found = SurnameSearch(m_temp, u"иванов");
    ASSERT_TRUE(found.found());
    EXPECT_EQ(found.helpContext, 2);
    EXPECT_EQ(found.statements, QStringList{SurnameSql(u"ИВАНОВ")});
    EXPECT_EQ(m_temp.RecordCount(), 3); // ИВАНОВА too

    // The word after a space starts the key again, so an initial narrows the list.
    ASSERT_TRUE(SurnameSearch(m_temp, u"Иванов И").found());
    EXPECT_EQ(Column(m_temp, u"fio"_s), QStringList{u"ИВАНОВ ИВАН ИВАНОВИЧ"_s});
    ASSERT_TRUE(SurnameSearch(m_temp, u"ёлкин").found());
    EXPECT_EQ(m_temp.RecordCount(), 1);
    // A quote typed is enciphered like any character outside the alphabet, as the table was.
    ASSERT_TRUE(SurnameSearch(m_temp, u"д'яконов").found());
    EXPECT_EQ(m_temp.RecordCount(), 1);

    EXPECT_TRUE(SurnameSearch(m_temp, u"%").found());
    EXPECT_EQ(m_temp.RecordCount(), 6);
    EXPECT_EQ(SurnameSearch(m_temp, u"СИДОРОВ").message.Text(), u"Указанный человек не найден!!!"_s);
    EXPECT_TRUE(SurnameSearch(m_temp, u"").cancelled);
}

TEST_F(Searches, OrganisationNumbersByStoredAndByShownName)
{
    const SearchOutcome listed = OrgNumbers(m_temp, Enc(u"ООО \"РОМАШКА\""_s));
    ASSERT_TRUE(listed.found());
    EXPECT_EQ(listed.fill, GridFill::OrgPhones);
    EXPECT_EQ(Column(m_temp, u"mesto"_s), QStringList{u"Приемная"_s});
    EXPECT_TRUE(OrgNumbers(m_temp, QString()).cancelled);

    // A stored name with a quote in it neither breaks nor changes the statement.
    const SearchOutcome quoted = OrgNumbers(m_temp, u"X' OR 'a'='a"_s);
    EXPECT_FALSE(quoted.found());
    EXPECT_TRUE(quoted.message.IsSet());

    // Shown names whose enciphering is not the stored name are found as well.
    const QString shown = DecodeText(Enc(u"КАФЕ r="_s), CipherKey);
    ASSERT_NE(Enc(shown), Enc(u"КАФЕ r="_s));
    ASSERT_TRUE(OrgNumbersByShownName(m_temp, shown).found());
    EXPECT_EQ(Column(m_temp, u"nt"_s), QStringList{u"  400010"_s});
    EXPECT_TRUE(OrgNumbersByShownName(m_temp, u"ЗАВОД ИМ. КИРОВА").found());
    EXPECT_EQ(m_temp.RecordCount(), 3);
    EXPECT_FALSE(OrgNumbersByShownName(m_temp, u"НЕТ ТАКОЙ").found());
}
