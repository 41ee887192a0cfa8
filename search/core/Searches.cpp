#include "Searches.h"

#include "Dataset.h"
#include "SearchRun.h"
#include "SearchText.h"
#include "UHelpFull.h"

namespace phonebook::search {

namespace {

using namespace Qt::StringLiterals;

constexpr QStringView PersonFields =
    u"SELECT sp09kw_n.nt,sp09kw_n.fio,sp09kw_n.street,sp09kw_n.hous,sp09kw_n.flat FROM sp09kw_n WHERE ";

// One organisation's numbers are titled with its name alone.
constexpr char OrganisationTitle[] = "%1";
// What the status bar says of a search by number, whichever list it fills.
constexpr char NumberNote[] = CoreMessage("Search by number: %1");

// The two blanks every stored organisation number begins with.
constexpr QStringView OrgPhonePadding = u"  ";

QString Literal(QStringView text)
{
    return u'\'' + SqlQuoted(text) + u'\'';
}

// "%" alone stays a wildcard; anything else is a prefix of the stored text.
QString PrefixPattern(QStringView answer)
{
    return answer == u"%" ? answer.toString() : EncodeText(answer, CipherKey) + u'%';
}

SearchOutcome NotFound(const char *message, SearchOutcome outcome)
{
    outcome.message = CoreError(message);
    return outcome;
}

} // namespace

QString PersonPhoneSql(QStringView answer)
{
    return PersonFields.toString() + u"sp09kw_n.nt LIKE "_s + Literal(PrefixPattern(answer)) + u" ORDER BY nt,fio"_s;
}

QString OrgPhoneSql(QStringView digits)
{
    return u"SELECT sp09pr_n.nt,sp09pr_n.street,sp09pr_n.naim,sp09pr_n.mesto,sp09pr_n.hous FROM sp09pr_n "
           u"WHERE sp09pr_n.nt LIKE "_s
        + Literal(EncodeText(OrgPhonePadding.toString() + digits.toString(), CipherKey)) + u" ORDER BY naim"_s;
}

QString OrgNumbersByPhoneSql(QStringView storedName)
{
    return u"SELECT sp09pr_n.nt,sp09pr_n.mesto,sp09pr_n.street,sp09pr_n.hous, sp09pr_n.naim FROM sp09pr_n "
           u"WHERE sp09pr_n.naim LIKE "_s
        + Literal(storedName) + u" ORDER BY nt"_s;
}

QString SurnameSql(QStringView upperName)
{
    return PersonFields.toString() + u"sp09kw_n.fio LIKE "_s + Literal(PrefixPattern(upperName)) + u" ORDER BY fio"_s;
}

QString OrgNumbersSql(QStringView storedName)
{
    return u"SELECT sp09pr_n.nt,sp09pr_n.mesto,sp09pr_n.street,sp09pr_n.hous,sp09pr_n.knaim,sp09pr_n.naim "
           u"FROM sp09pr_n WHERE sp09pr_n.naim LIKE "_s
        + Literal(storedName) + u" ORDER BY sp09pr_n.naim"_s;
}

SearchOutcome PhoneSearchPersons(Query &temp, QStringView answer)
{
    SearchOutcome outcome;
    const QString digits = PhoneDigits(answer);
    if (digits.isEmpty()) {
        outcome.cancelled = true;
        return outcome;
    }
    ReplaceSql(temp, PersonPhoneSql(digits), outcome);
    if (temp.RecordCount() == 0)
        return NotFound(PhoneNotFound, std::move(outcome));
    outcome.fill = PersonFill(temp.RecordCount());
    outcome.helpContext = HelpPersons;
    outcome.title = CoreError(CoreMessage("Search by number %1"), {digits});
    outcome.note = CoreError(NumberNote, {digits});
    return outcome;
}

SearchOutcome PhoneSearchOrgs(Query &temp, QStringView answer)
{
    SearchOutcome outcome;
    const QString digits = PhoneDigits(answer);
    if (digits.isEmpty()) {
        outcome.cancelled = true;
        return outcome;
    }
    ReplaceSql(temp, OrgPhoneSql(digits), outcome);
    // An unknown number has no organisation: its empty name would list the
    // rows whose name is blank.
    if (temp.RecordCount() == 0)
        return NotFound(PhoneNotFound, std::move(outcome));
    temp.First();
    const QString storedName = temp.FieldByName(u"naim");

    ReplaceSql(temp, OrgNumbersByPhoneSql(storedName), outcome);
    if (temp.RecordCount() == 0)
        return NotFound(PhoneNotFound, std::move(outcome));
    temp.First();
    temp.Locate(u"nt", EncodeText(OrgPhonePadding.toString() + digits, CipherKey));
    outcome.fill = GridFill::OrgPhones;
    outcome.highlightRow = temp.RecNo();
    outcome.orgTabCaption = DecodeText(temp.FieldByName(u"naim"), CipherKey);
    outcome.helpContext = HelpOrgs;
    outcome.title = CoreError(OrganisationTitle, {*outcome.orgTabCaption});
    outcome.note = CoreError(NumberNote, {digits});
    return outcome;
}

SearchOutcome SurnameSearch(Query &temp, QStringView answer)
{
    SearchOutcome outcome;
    const QString name = UpperCaseName(answer);
    if (name.isEmpty()) {
        outcome.cancelled = true;
        return outcome;
    }
    ReplaceSql(temp, SurnameSql(name), outcome);
    if (temp.RecordCount() == 0)
        return NotFound(PersonNotFound, std::move(outcome));
    outcome.fill = PersonFill(temp.RecordCount());
    outcome.helpContext = HelpSurname;
    outcome.title = CoreError(CoreMessage("Search by surname %1"), {name});
    outcome.note = CoreError(CoreMessage("Search by surname: %1"), {name});
    return outcome;
}

SearchOutcome OrgNumbers(Query &temp, QStringView storedName)
{
    SearchOutcome outcome;
    if (storedName.trimmed().isEmpty()) {
        outcome.cancelled = true;
        return outcome;
    }
    ReplaceSql(temp, OrgNumbersSql(storedName), outcome);
    if (temp.RecordCount() == 0)
        return NotFound(OrgNotFound, std::move(outcome));
    outcome.fill = GridFill::OrgPhones;
    outcome.helpContext = HelpOrgs;
    outcome.title = CoreError(OrganisationTitle, {DecodeText(storedName, CipherKey).trimmed()});
    return outcome;
}

SearchOutcome OrgNumbersByShownName(Query &temp, QStringView shownName)
{
    SearchOutcome outcome = OrgNumbers(temp, EncodeText(shownName, CipherKey));
    if (outcome.found() || shownName.trimmed().isEmpty())
        return outcome;
    // The stored name may not be the enciphering of what it deciphers to.
    Query names;
    names.SetDirectory(temp.Directory());
    names.AddSql(u"SELECT DISTINCT sp09pr_n.naim FROM sp09pr_n"_s);
    names.Open();
    const auto source = names.Source();
    for (int row = 0; row < source->rowCount(); ++row) {
        const QString stored = source->text(row, 0);
        if (DecodeText(stored, CipherKey) == shownName) {
            SearchOutcome found = OrgNumbers(temp, stored);
            found.statements = outcome.statements + found.statements;
            return found;
        }
    }
    return outcome;
}

} // namespace phonebook::search
