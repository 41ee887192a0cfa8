// The address and organisation searches on a tiny directory, without windows.

#include "AddressSearch.h"
#include "DatabaseError.h"
#include "Dataset.h"
#include "Fixtures.h"
#include "OrgSearch.h"
#include "Searches.h"
#include "UHelpFull.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace phonebook;
using namespace phonebook::search;
using namespace Qt::StringLiterals;

namespace {

QString Enc(const QString &plain) { return EncodeText(plain, CipherKey); }

QStringList Column(const Query &query, const QString &field)
{
    const auto source = query.Source();
    QStringList values;
    for (int row = 0; row < source->rowCount(); ++row)
        values.append(DecodeText(source->text(row, source->columnIndex(field)), CipherKey).trimmed());
    return values;
}

class DialogSearches : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        fixtures::WritePersons(m_dir.path(), {
            {u"200001"_s, u"АНДРЕЕВ А"_s, u"ул. Мира"_s, u"5"_s, u"7"_s},
            {u"200002"_s, u"БОРИСОВ Б"_s, u"ул. Мира"_s, u"15"_s, u"7"_s},
            {u"200003"_s, u"ВАСИЛЬЕВ В"_s, u"ул. Мира"_s, u"5"_s, u"17"_s},
            {u"200004"_s, u"ГРИГОРЬЕВ Г"_s, u"ул. Мира"_s, u"5"_s, u""_s},
            {u"200005"_s, u"ДМИТРИЕВ Д"_s, u"ул. Мирная"_s, u"5"_s, u"7"_s},
            {u"200006"_s, u"ЕГОРОВ Е"_s, u"ул. Труда"_s, u"12/3"_s, u"7"_s},
        });
        fixtures::WriteOrgPhones(m_dir.path(), {
            {u"400001"_s, u"ЗАВОД ИМ. КИРОВА"_s, {}, u"Бухгалтерия"_s, u"ул. Мира"_s, u"15"_s},
            {u"400002"_s, u"ЗАВОД ИМ. КИРОВА"_s, {}, u"ОТДЕЛ КАДРОВ"_s, u"ул. Мира"_s, u"15"_s},
            {u"400003"_s, u"ООО \"РОМАШКА\""_s, u"РОМАШКА"_s, u"Приемная"_s, u"ул. Мирная"_s, u"5"_s},
            {u"400004"_s, u"МБОУ СОШ № 12"_s, u"ШКОЛА № 12"_s, u"Учительская"_s, u"ул. Труда"_s, u"5"_s},
            {u"400005"_s, u"ЗАВОД ИМ. КИРОВА"_s, {}, u"Гл. бухгалтер"_s, u"ул. Мира"_s, u"15"_s},
            {u"400006"_s, u"ЗАВОД ИМ. КИРОВА"_s, {}, u"Бухгалтерия, расчётный отдел"_s, u"ул. Мира"_s, u"15"_s},
        });
        m_temp.SetDirectory(m_dir.path());
    }

    QTemporaryDir m_dir;
    Query m_temp;
};

} // namespace

TEST(AddressSql, EveryCombinationOfHouseAndFlatIsTheProgramsOwnText)
{
    const QString base = u"SELECT sp09kw_n.nt,sp09kw_n.fio,sp09kw_n.street,sp09kw_n.hous,sp09kw_n.flat FROM sp09kw_n "
                         u"WHERE sp09kw_n.street LIKE '"_s + Enc(u"ул. Мира"_s) + u"'"_s;
    const QString house = Enc(u"      5"_s) + u"%'"_s;
    const QString flat = Enc(u"  7"_s) + u"%'"_s;
    EXPECT_EQ(PersonAddressSql(u"ул. Мира", u"5", u"7"),
              base + u" AND (sp09kw_n.hous LIKE '"_s + house + u" AND sp09kw_n.flat LIKE '"_s + flat
                  + u") ORDER BY fio,street,hous"_s);
    EXPECT_EQ(PersonAddressSql(u"ул. Мира", u"5", u""),
              base + u" AND (sp09kw_n.hous LIKE '"_s + house + u") ORDER BY fio,street,hous"_s);
    EXPECT_EQ(PersonAddressSql(u"ул. Мира", u"", u"7"),
              base + u" AND (sp09kw_n.flat LIKE '"_s + flat + u") ORDER BY fio,street,hous"_s);
    EXPECT_EQ(PersonAddressSql(u"ул. Мира", u"", u""), base + u" ORDER BY fio,street,hous"_s);

    EXPECT_EQ(OrgAddressSql(u"ул. Ми", u""), u"SELECT DISTINCT naim,street,hous FROM sp09pr_n WHERE street LIKE '"_s
                                                   + Enc(u"ул. Ми"_s) + u"%' ORDER BY naim"_s);
    EXPECT_EQ(OrgAddressSql(u"ул. Ми", u"15"), u"SELECT DISTINCT naim,street,hous FROM sp09pr_n WHERE street LIKE '"_s
                                                     + Enc(u"ул. Ми"_s) + u"%' AND (hous LIKE '"_s
                                                     + Enc(u"     15"_s) + u"%') ORDER BY naim"_s);

    // Padding: blanks on the left, nothing added to an entry that is long enough.
    EXPECT_EQ(PadLeft(u"5", HouseWidth), u"      5"_s);
    EXPECT_EQ(PadLeft(u"1234567", HouseWidth), u"1234567"_s);
    EXPECT_EQ(PadLeft(u"12345678", HouseWidth), u"12345678"_s);
    EXPECT_EQ(PadLeft(u"7", FlatWidth), u"  7"_s);
    EXPECT_TRUE(PersonAddressSql(u"x", u"12345678", u"").contains(Enc(u"12345678"_s) + u"%'"_s));
}

TEST(OrgSql, ModesAreTheProgramsOwnText)
{
    const QString e = Enc(u"ЗАВОД"_s);
    EXPECT_EQ(OrgNameSql(OrgSearchMode::NameStart, OrgNameField::Naim, u"ЗАВОД"),
              u"SELECT DISTINCT naim,street,hous FROM sp09pr_n WHERE naim LIKE '"_s + e + u"%' ORDER BY naim"_s);
    EXPECT_EQ(OrgNameSql(OrgSearchMode::NameWord, OrgNameField::Naim, u"ЗАВОД"),
              u"SELECT DISTINCT naim,street,hous FROM sp09pr_n WHERE naim LIKE '%"_s + e + u"%' ORDER BY naim"_s);
    EXPECT_EQ(OrgNameSql(OrgSearchMode::NameStart, OrgNameField::Knaim, u"ЗАВОД"),
              u"SELECT DISTINCT naim,street,hous FROM sp09pr_n WHERE knaim LIKE '"_s + e + u"%' ORDER BY naim"_s);
    EXPECT_EQ(OrgNameSql(OrgSearchMode::NameWord, OrgNameField::Knaim, u"ЗАВОД"),
              u"SELECT DISTINCT naim,street,hous FROM sp09pr_n WHERE knaim LIKE '%"_s + e + u"%' ORDER BY naim"_s);
    EXPECT_EQ(DepartmentSql(u"ЗАВОД"),
              u"SELECT DISTINCT nt,naim,mesto,street,hous FROM sp09pr_n WHERE mesto LIKE '%"_s + e + u"%' ORDER BY naim"_s);
}

TEST_F(DialogSearches, AddressOfIndividualsMatchesTheStreetWholeAndPaddedNumbers)
{
    const SearchOutcome house5 = PersonAddressSearch(m_temp, u"ул. Мира", u"5", u"");
    ASSERT_TRUE(house5.found());
    EXPECT_EQ(house5.fill, GridFill::Persons);
    EXPECT_EQ(house5.helpContext, 6);
    // House 5 is not house 15, and ул. Мирная is another street.
    EXPECT_EQ(Column(m_temp, u"fio"_s), (QStringList{u"АНДРЕЕВ А"_s, u"ВАСИЛЬЕВ В"_s, u"ГРИГОРЬЕВ Г"_s}));
    ASSERT_TRUE(PersonAddressSearch(m_temp, u"ул. Мира", u"5", u"7").found());
    EXPECT_EQ(Column(m_temp, u"fio"_s), QStringList{u"АНДРЕЕВ А"_s});
    // A flat without a house: that flat in every house of the street.
    ASSERT_TRUE(PersonAddressSearch(m_temp, u"ул. Мира", u"", u"7").found());
    EXPECT_EQ(Column(m_temp, u"fio"_s), (QStringList{u"АНДРЕЕВ А"_s, u"БОРИСОВ Б"_s}));
    ASSERT_TRUE(PersonAddressSearch(m_temp, u"ул. Труда", u"12/3", u"").found());
    EXPECT_EQ(m_temp.RecordCount(), 1);

    // A street typed by hand must be exact on this side.
    const SearchOutcome partial = PersonAddressSearch(m_temp, u"ул. Мир", u"", u"");
    EXPECT_FALSE(partial.found());
    EXPECT_EQ(partial.message.Text(), u"Такого адреса не найдено!!!"_s);
    EXPECT_FALSE(PersonAddressSearch(m_temp, u"ул.", u"", u"").found());
}

TEST_F(DialogSearches, AddressOfOrganisationsTakesTheStreetAsAPrefix)
{
    const SearchOutcome found = OrgAddressSearch(m_temp, u"ул. Мир", u"");
    ASSERT_TRUE(found.found());
    EXPECT_EQ(found.fill, GridFill::Orgs);
    EXPECT_EQ(Column(m_temp, u"naim"_s), (QStringList{u"ЗАВОД ИМ. КИРОВА"_s, u"ООО \"РОМАШКА\""_s}));
    EXPECT_EQ(found.orgTabCaption, std::optional<QString>(u"ЗАВОД ИМ. КИРОВА"_s));
    EXPECT_EQ(found.helpContext, 6);
    ASSERT_TRUE(OrgAddressSearch(m_temp, u"ул. Мир", u"5").found());
    EXPECT_EQ(Column(m_temp, u"naim"_s), QStringList{u"ООО \"РОМАШКА\""_s});
    EXPECT_EQ(OrgAddressSearch(m_temp, u"пр. Мира", u"").message.Text(), u"Такого адреса не найдено!!!"_s);
}

TEST_F(DialogSearches, OrganisationNamesByStartByWordAndBySecondName)
{
    ASSERT_TRUE(OrgSearch(m_temp, OrgSearchMode::NameStart, u"ЗАВОД").found());
    EXPECT_EQ(Column(m_temp, u"naim"_s), QStringList{u"ЗАВОД ИМ. КИРОВА"_s});
    // A word in the middle of the name: only by word.
    EXPECT_FALSE(OrgSearch(m_temp, OrgSearchMode::NameStart, u"КИРОВА").found());
    const SearchOutcome word = OrgSearch(m_temp, OrgSearchMode::NameWord, u"КИРОВА");
    ASSERT_TRUE(word.found());
    EXPECT_EQ(word.orgTabCaption, std::optional<QString>(u"ЗАВОД ИМ. КИРОВА"_s));
    EXPECT_EQ(word.listing(), Listing::Organisations);
    EXPECT_EQ(word.helpContext, 5);
    EXPECT_EQ(word.statements.size(), 1);
    EXPECT_FALSE(OrgSearch(m_temp, OrgSearchMode::NameWord, u"ИРОВ").found()); // not the start of a word

    // Found only by the second name, listed by the first.
    const SearchOutcome second = OrgSearch(m_temp, OrgSearchMode::NameStart, u"ШКОЛА");
    ASSERT_TRUE(second.found());
    EXPECT_EQ(second.statements,
              (QStringList{OrgNameSql(OrgSearchMode::NameStart, OrgNameField::Naim, u"ШКОЛА"),
                           OrgNameSql(OrgSearchMode::NameStart, OrgNameField::Knaim, u"ШКОЛА")}));
    EXPECT_EQ(Column(m_temp, u"naim"_s), QStringList{u"МБОУ СОШ № 12"_s});
    ASSERT_TRUE(OrgSearch(m_temp, OrgSearchMode::NameWord, u"12").found());

    // An empty text lists every organisation.
    ASSERT_TRUE(OrgSearch(m_temp, OrgSearchMode::NameStart, u"").found());
    EXPECT_EQ(m_temp.RecordCount(), 3);
    const SearchOutcome missing = OrgSearch(m_temp, OrgSearchMode::NameWord, u"ФАБРИКА");
    EXPECT_EQ(missing.message.Text(), u"Указанная организация не найдена!!!"_s);
    EXPECT_EQ(missing.statements.size(), 2);
}

TEST_F(DialogSearches, DepartmentsAreListedWithTheOrganisationTabSelected)
{
    const SearchOutcome upper = OrgSearch(m_temp, OrgSearchMode::Department, u"КАДРОВ");
    ASSERT_TRUE(upper.found());
    EXPECT_EQ(upper.fill, GridFill::Departments);
    EXPECT_EQ(upper.listing(), Listing::Departments);
    EXPECT_EQ(upper.orgTabCaption, std::optional<QString>(u"ЗАВОД ИМ. КИРОВА"_s));
    EXPECT_EQ(upper.statements, QStringList{DepartmentSql(u"КАДРОВ")});
    EXPECT_EQ(Column(m_temp, u"nt"_s), QStringList{u"400002"_s});

    // Departments in ordinary case are found from the upper-cased box by the
    // start of any word, "ё" as "е"; the statement as given is tried first.
    const auto numbers = [this] {
        QStringList found = Column(m_temp, u"nt"_s);
        found.sort();
        return found;
    };
    const SearchOutcome accounts = OrgSearch(m_temp, OrgSearchMode::Department, u"БУХГ");
    ASSERT_TRUE(accounts.found());
    EXPECT_EQ(numbers(), (QStringList{u"400001"_s, u"400005"_s, u"400006"_s}));
    // Printed and saved as the search and what was typed, not as an organisation.
    EXPECT_EQ(accounts.title.Text(), u"Поиск по отделу БУХГ"_s);
    EXPECT_EQ(accounts.note.Text(), u"Поиск по отделу: БУХГ"_s);
    const SearchOutcome settlement = OrgSearch(m_temp, OrgSearchMode::Department, u"РАСЧЕТ");
    ASSERT_TRUE(settlement.found());
    EXPECT_EQ(settlement.statements.first(), DepartmentSql(u"РАСЧЕТ"));
    EXPECT_EQ(numbers(), QStringList{u"400006"_s});
    EXPECT_EQ(Column(m_temp, u"mesto"_s), QStringList{u"Бухгалтерия, расчётный отдел"_s});
    ASSERT_TRUE(OrgSearch(m_temp, OrgSearchMode::Department, u"ГЛ БУХ").found());
    EXPECT_EQ(numbers(), QStringList{u"400005"_s});
    // A fragment from the middle of a word is no word's beginning.
    EXPECT_FALSE(OrgSearch(m_temp, OrgSearchMode::Department, u"ГАЛТЕР").found());

    const SearchOutcome missing = OrgSearch(m_temp, OrgSearchMode::Department, u"СКЛАД");
    EXPECT_EQ(missing.message.Text(), u"Указанная организация не найдена!!!"_s);
    EXPECT_EQ(missing.statements.first(), DepartmentSql(u"СКЛАД"));
}

TEST_F(DialogSearches, StreetListsAreDecipheredInTheStoredOrder)
{
    const QStringList persons = LoadStreetList(m_dir.path(), Table::Persons);
    ASSERT_EQ(persons.size(), 3);
    EXPECT_TRUE(persons.contains(u"ул. Мирная"_s));
    EXPECT_EQ(LoadStreetList(m_dir.path(), Table::Orgs).size(), 3);
    // A list asked to stop gives no list, not a part of one.
    EXPECT_THROW(LoadStreetList(m_dir.path(), Table::Orgs, [] { return true; }), DatabaseError);
}
