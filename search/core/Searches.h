#pragma once
// The telephone-number search, the surname search and the listing of one
// organisation's numbers. Each replaces the statement of the query it is
// given (the main window's QTemp), runs it and describes what to show; the
// query is left open on the result, on the row the description names.
// Errors of the engine propagate as DatabaseError.

#include "SearchOutcome.h"

#include <QString>
#include <QStringView>

namespace phonebook {
class Query;
}

namespace phonebook::search {

// What these searches say when they find nothing.
inline constexpr char PhoneNotFound[] = CoreMessage("No such telephone number!!!");
inline constexpr char PersonNotFound[] = CoreMessage("No such person!!!");
inline constexpr char OrgNotFound[] = CoreMessage("No such organisation!!!");

// Statements, exactly as the searches issue them. `answer` is what was typed
// (after PhoneDigits or UpperCaseName); "%" alone lists every row.
QString PersonPhoneSql(QStringView answer);
QString OrgPhoneSql(QStringView digits);
// Every number of the organisation stored under `storedName`, by stored number.
QString OrgNumbersByPhoneSql(QStringView storedName);
QString SurnameSql(QStringView upperName);
// Every number of the organisation stored under `storedName` (the organisation tab's listing).
QString OrgNumbersSql(QStringView storedName);

// Individuals whose number begins with the digits typed.
SearchOutcome PhoneSearchPersons(Query &temp, QStringView answer);
// The organisation that owns the number typed: all its numbers, the one asked
// for highlighted, its name for the organisation tab.
SearchOutcome PhoneSearchOrgs(Query &temp, QStringView answer);
// Individuals whose full name begins with the text typed, in any letter case.
SearchOutcome SurnameSearch(Query &temp, QStringView answer);
// Every number of the organisation stored under `storedName` (as the table
// holds it, enciphered). Nothing to do for an empty name; OrgNotFound when no row has it.
SearchOutcome OrgNumbers(Query &temp, QStringView storedName);
// The same for a name as shown (deciphered). A name whose enciphering does not
// give back the stored one (a character outside the cipher's alphabet) is
// found by deciphering the stored names.
SearchOutcome OrgNumbersByShownName(Query &temp, QStringView shownName);

} // namespace phonebook::search
