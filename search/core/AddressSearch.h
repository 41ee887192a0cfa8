#pragma once
// The address searches (individuals by street, house and flat; organisations
// by street and house) and the street lists the address dialog offers. Like
// the other searches they replace the statement of the query they are given
// (the main window's QTemp), run it and describe what to show.
// Errors of the engine propagate as DatabaseError.

#include "SearchOutcome.h"
#include "StopCheck.h"
#include "TableFiles.h"

#include <QString>
#include <QStringList>
#include <QStringView>

namespace phonebook {
class Query;
}

namespace phonebook::search {

// What the address searches say when they find nothing.
inline constexpr char AddressNotFound[] = CoreMessage("No such address!!!");

// Stored widths houses and flats are right-aligned in.
inline constexpr int HouseWidth = 7;
inline constexpr int FlatWidth = 3;

// `text` padded on the left with blanks to `width` characters; a text that
// long or longer comes back unchanged.
QString PadLeft(QStringView text, int width);

// Statements, exactly as the searches issue them. An empty house or flat is
// left out of the statement. The individuals' street must match whole; the
// organisations' street is a prefix.
QString PersonAddressSql(QStringView street, QStringView house, QStringView flat);
QString OrgAddressSql(QStringView street, QStringView house);

// Individuals living at the address; their grid's help topic is 6.
SearchOutcome PersonAddressSearch(Query &temp, QStringView street, QStringView house, QStringView flat);
// Organisations on a street beginning with `street` (and in the house, when
// given); the organisation tab is captioned with the first of them.
SearchOutcome OrgAddressSearch(Query &temp, QStringView street, QStringView house);

// The two street lists: the DISTINCT statements over each table.
QString StreetListSql(Table table);
// Every street of the list, deciphered, in the engine's order of the stored
// (enciphered) values: not re-sorted. Throws DatabaseError, also once `stop`
// says stop (asked every few thousand rows).
QStringList LoadStreetList(const QString &directory, Table table, const StopCheck &stop = {});

} // namespace phonebook::search
