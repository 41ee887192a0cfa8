#include "OrgSearch.h"

#include "Dataset.h"
#include "QuickRule.h"
#include "Searches.h"
#include "SearchRun.h"
#include "SearchText.h"
#include "UHelpFull.h"

#include <algorithm>
#include <string>
#include <vector>

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

// The folded words of a deciphered text: its runs of letters and digits.
std::vector<std::string> FoldedWords(QStringView text)
{
    std::vector<std::string> words(1);
    for (const char32_t c : text.toUcs4()) {
        const uint8_t code = FoldChar(c);
        if (code == FoldNone) {
            if (!words.back().empty())
                words.emplace_back();
        } else {
            words.back().push_back(static_cast<char>(code));
        }
    }
    if (words.back().empty())
        words.pop_back();
    return words;
}

// Whether every word and number of `query` begins a word of `words`.
bool BeginsWords(const QuickQuery &query, const std::vector<std::string> &words)
{
    const auto begins = [&words](const std::string &prefix) {
        return std::any_of(words.begin(), words.end(), [&prefix](const std::string &word) {
            return word.compare(0, prefix.size(), prefix) == 0;
        });
    };
    return std::all_of(query.words.begin(), query.words.end(), begins)
        && std::all_of(query.numbers.begin(), query.numbers.end(), begins);
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

QString AnyCaseDepartmentSql(Query &temp, QStringView text, SearchOutcome &outcome)
{
    const QuickQuery query = ParseQuickText(text);
    QStringList stored;
    if (!query.empty()) {
        ReplaceSql(temp, u"SELECT DISTINCT mesto FROM sp09pr_n"_s, outcome);
        for (temp.First(); !temp.Eof(); temp.Next()) {
            const QString mesto = temp.FieldByName(u"mesto");
            if (BeginsWords(query, FoldedWords(DecodeText(mesto, CipherKey))))
                stored.append(u'\'' + SqlQuoted(mesto) + u'\'');
        }
    }
    return u"SELECT DISTINCT nt,naim,mesto,street,hous FROM sp09pr_n WHERE mesto IN ("_s + stored.join(u',')
        + u") ORDER BY naim"_s;
}

SearchOutcome OrgSearch(Query &temp, OrgSearchMode mode, QStringView upperText)
{
    SearchOutcome outcome;
    if (mode == OrgSearchMode::Department) {
        // Running the same statement again could only find nothing again.
        ReplaceSql(temp, DepartmentSql(upperText), outcome);
        // Department names are free text in any letter case: the text as the
        // box upper-cased it misses most of them.
        if (temp.RecordCount() == 0)
            ReplaceSql(temp, AnyCaseDepartmentSql(temp, upperText, outcome), outcome);
        if (temp.RecordCount() == 0) {
            outcome.message = CoreError(OrgNotFound);
            return outcome;
        }
        outcome.fill = GridFill::Departments;
        outcome.title = CoreError(CoreMessage("Search by department %1"), {upperText.toString()});
        outcome.note = CoreError(CoreMessage("Search by department: %1"), {upperText.toString()});
        CaptionFirst(temp, outcome);
        outcome.helpContext = HelpOrgSearch;
        return outcome;
    }

    ReplaceSql(temp, OrgNameSql(mode, OrgNameField::Naim, upperText), outcome);
    if (temp.RecordCount() == 0)
        ReplaceSql(temp, OrgNameSql(mode, OrgNameField::Knaim, upperText), outcome);
    if (temp.RecordCount() == 0) {
        outcome.message = CoreError(OrgNotFound);
        return outcome;
    }
    outcome.fill = OrgFill(temp.RecordCount());
    CaptionFirst(temp, outcome);
    outcome.title = CoreError(CoreMessage("Search for the organisation %1"), {upperText.toString()});
    outcome.note = CoreError(CoreMessage("Search for the organisation: %1"), {upperText.toString()});
    outcome.helpContext = HelpOrgSearch;
    return outcome;
}

} // namespace phonebook::search
