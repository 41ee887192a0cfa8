#pragma once
// The organisation search: by the start of the name, by the start of any word
// of the name, or by department. It replaces the statement of the query it is
// given (the main window's QTemp), runs it and describes what to show.
// Errors of the engine propagate as DatabaseError.

#include "SearchOutcome.h"

#include <QString>
#include <QStringView>

namespace phonebook {
class Query;
}

namespace phonebook::search {

// The full organisation list of the main window.
inline constexpr QStringView FullOrgListSql =
    u"SELECT DISTINCT sp09pr_n.naim, sp09pr_n.street, sp09pr_n.hous FROM sp09pr_n ORDER BY naim";

enum class OrgSearchMode {
    NameStart = 1,  // the name begins with the text
    NameWord = 2,   // a word of the name begins with the text
    Department = 3, // the department's name holds a word beginning with the text
};

// Which name field a name search looks in: the name, or the second name it
// falls back to.
enum class OrgNameField { Naim, Knaim };

// Statements, exactly as the search issues them; `upperText` is the text as
// the dialog's box holds it (upper case), enciphered here.
QString OrgNameSql(OrgSearchMode mode, OrgNameField field, QStringView upperText);
QString DepartmentSql(QStringView upperText);

// The department statement that lists every department with a word beginning
// with each word of `text` in any letter case ("ё" as "е"); it reads the
// department names through `temp` to find them.
QString AnyCaseDepartmentSql(Query &temp, QStringView text, SearchOutcome &outcome);

// Runs the search. A name search that finds nothing by `naim` tries `knaim`;
// a department search runs the statement as given, and when that finds
// nothing lists the departments with a word beginning with the text in any
// letter case. Name results are organisations (paged over
// 100 rows); department results are every number found, with the organisation
// tab selected. In both the organisation tab is captioned with the first row's
// organisation. Nothing found gives OrgNotFound.
SearchOutcome OrgSearch(Query &temp, OrgSearchMode mode, QStringView upperText);

} // namespace phonebook::search
