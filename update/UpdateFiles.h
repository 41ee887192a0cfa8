#pragma once
// The file side of an update, in the program directory: setting the two
// tables aside as ".old" copies, putting them back, judging a delivered
// table, and placing the archive beside them. GUI-free.

#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <optional>

namespace phonebook::update {

enum class Table { Persons, Orgs };
inline constexpr std::array<Table, 2> Tables = {Table::Persons, Table::Orgs};

// "sp09kw_n" or "sp09pr_n".
QString TableBase(Table table);
// "sp09kw_n.dbf": the name a table is given when the update writes it.
QString TableFileName(Table table);
// "sp09kw_n.old": the copy set aside while an update runs.
QString OldFileName(Table table);
// What the user is told when a table was not replaced.
QString NotUpdatedMessage(Table table);

// Name of the lock file an update holds in the directory while it runs.
inline constexpr QStringView LockFileName = u"phonebook-update.lock";

// Why the table reader would not take the file as a sound table (an error,
// or a tolerated disagreement such as a file cut short); nothing when sound.
std::optional<QString> TableFault(const QString &path);

// Moves the table (found in any letter case) to its ".old" name, replacing an
// older ".old". Returns an error text, or nothing when done or when there was
// no table to set aside.
std::optional<QString> SetAside(const QString &directory, Table table);
// Puts the ".old" copy back under the table's name, replacing whatever file
// is there. Returns an error text, or nothing when done or when there was no
// ".old" copy.
std::optional<QString> PutBack(const QString &directory, Table table);
// Removes the ".old" copy, if any.
void DropOld(const QString &directory, Table table);

// What opening the directory found of an update that did not finish.
struct RestoreReport {
    QStringList messages; // one line per table restored or per failure, for the user
    bool failed = false;  // some table could not be restored
};

// Run whenever the directory is opened, before its tables are read. A table
// that is missing, or damaged while its ".old" copy is sound, is restored from
// that copy; beside a sound table a ".old" copy is the rest of an update that
// got as far as delivering it and is removed. Does nothing while another
// process holds the update lock.
RestoreReport RestoreSetAsideTables(const QString &directory);

struct PlacedArchive {
    QString path;        // the archive in the directory; empty on an error
    bool copied = false; // false when the archive already lay there
    QString error;
};

// Brings the archive into the directory under its own name. An archive that
// is already there, however its path is spelled (relative, a link), is left
// as it is. A copy goes through a temporary file, so that a failed copy never
// destroys a file of that name.
PlacedArchive PlaceArchive(const QString &archive, const QString &directory);

} // namespace phonebook::update
