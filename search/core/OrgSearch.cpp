#include "OrgSearch.h"

#include "Dataset.h"
#include "Searches.h"
#include "SearchRun.h"
#include "SearchText.h"
#include "UHelpFull.h"

namespace phonebook::search {

namespace {

using namespace Qt::StringLiterals;

// The first row's organisation, deciphered, for the organisation tab.
void CaptionFirst(Query &temp, SearchOutcome &outcome)
{
    temp.First();
    outcome.orgTabCaption = DecodeText(temp.FieldByName(u"naim"), CipherKey);
}

QString Pattern(bool anyWord, QStringView upperText)
{
    // Each word is enciphered from the start of the key, so "%" + word finds
    // a word that begins with the text anywhere in the name.
    return u'\'' + (anyWord ? u"%"_s : QString()) + SqlQuoted(EncodeText(upperText, CipherKey)) + u"%'"_s;
}

// Each word with its first letter kept and the rest in lower case, as
// departments are mostly written ("БУХГАЛТЕРИЯ" gives "Бухгалтерия").
QString Capitalised(QStringView upperText)
{
    QString text = upperText.toString();
    bool wordStart = true;
    for (QChar &c : text) {
        if (!wordStart)
            c = c.toLower();
        wordStart = !c.isLetterOrNumber();
    }
    return text;
}

} // namespace

QString OrgNameSql(OrgSearchMode mode, OrgNameField field, QStringView upperText)
{
    return u"SELECT DISTINCT naim,street,hous FROM sp09pr_n WHERE "_s
        + (field == OrgNameField::Naim ? u"naim"_s : u"knaim"_s) + u" LIKE "_s
        + Pattern(mode == OrgSearchMode::NameWord, upperText) + u" ORDER BY naim"_s;
}

QString DepartmentSql(QStringView upperText)
{
    return u"SELECT DISTINCT nt,naim,mesto,street,hous FROM sp09pr_n WHERE mesto LIKE "_s + Pattern(true, upperText)
        + u" ORDER BY naim"_s;
}

SearchOutcome OrgSearch(Query &temp, OrgSearchMode mode, QStringView upperText)
{
    SearchOutcome outcome;
    if (mode == OrgSearchMode::Department) {
        // Running the same statement again could only find nothing again.
        ReplaceSql(temp, DepartmentSql(upperText), outcome);
        // Department names are free text, mostly not in upper case: the text
        // as the box upper-cased it would miss them.
        const QString capitalised = Capitalised(upperText);
        if (temp.RecordCount() == 0 && capitalised != upperText)
            ReplaceSql(temp, DepartmentSql(capitalised), outcome);
        if (temp.RecordCount() == 0) {
            outcome.message = OrgNotFound.toString();
            return outcome;
        }
        outcome.fill = GridFill::Departments;
        CaptionFirst(temp, outcome);
        outcome.selectTab = OrgTabIndex;
        outcome.helpContext = HelpOrgSearch;
        return outcome;
    }

    ReplaceSql(temp, OrgNameSql(mode, OrgNameField::Naim, upperText), outcome);
    if (temp.RecordCount() == 0)
        ReplaceSql(temp, OrgNameSql(mode, OrgNameField::Knaim, upperText), outcome);
    if (temp.RecordCount() == 0) {
        outcome.message = OrgNotFound.toString();
        return outcome;
    }
    outcome.fill = OrgFill(temp.RecordCount());
    CaptionFirst(temp, outcome);
    outcome.helpContext = HelpOrgSearch;
    return outcome;
}

} // namespace phonebook::search
