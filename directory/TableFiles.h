#pragma once
// Finding the directory's table files by name, whatever their letter case:
// tables from DOS-era archives arrive as "SP09KW_N.DBF".

#include <QString>
#include <QStringView>

#include <array>
#include <utility>
#include <vector>

namespace phonebook {

// The directory's two tables, by their base names, and their file names as
// the program and its update write them.
inline constexpr QStringView PersonsTable = u"sp09kw_n";
inline constexpr QStringView OrgsTable = u"sp09pr_n";
inline constexpr QStringView PersonsTableFile = u"sp09kw_n.dbf";
inline constexpr QStringView OrgsTableFile = u"sp09pr_n.dbf";

// The directory's two tables: the individuals and the organisations' numbers.
enum class Table { Persons, Orgs };
inline constexpr std::array<Table, 2> Tables = {Table::Persons, Table::Orgs};
// The table's base name, PersonsTable or OrgsTable.
constexpr QStringView TableName(Table table) { return table == Table::Persons ? PersonsTable : OrgsTable; }

// Path of the table named `name` (base name, or file name with ".dbf") in
// `directory`, matched in any letter case; empty when there is none.
QString FindTableFile(const QString &directory, QStringView name);

// Every table file in `directory`, as (base name in lower case, path) pairs.
std::vector<std::pair<QString, QString>> ListTableFiles(const QString &directory);

} // namespace phonebook
