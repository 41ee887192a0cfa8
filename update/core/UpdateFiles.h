#pragma once
// The file side of an update, in the program directory: the names the update
// owns, judging a delivered table, the checks made before anything changes,
// and placing the archive beside the tables. GUI-free.

#include "CoreResult.h"
#include "TableFiles.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <optional>

namespace phonebook::update {

using phonebook::Table;
using phonebook::Tables;

// "sp09kw_n" or "sp09pr_n".
QString TableBase(Table table);
// "sp09kw_n.dbf": the name a table is given when the update writes it.
QString TableFileName(Table table);
// "sp09kw_n.old": the live table's second name, inside the staging folder,
// while its replacement is swapped in.
QString OldFileName(Table table);
// What the user is told when a table was not replaced.
CoreError NotUpdatedMessage(Table table);

// The lock an update holds in the directory while it runs (an flock, never deleted).
inline constexpr QStringView LockFileName = u"phonebook-update.lock";
// Written before the first table is swapped, removed after the last: says
// what an interrupted update was swapping.
inline constexpr QStringView JournalFileName = u"phonebook-update.journal";
// Every update's private folder inside the directory starts so.
inline constexpr QStringView StagingPrefix = u".phonebook-update-";
// Written into a staging folder when it is made (and locked while its update
// runs): a folder without it is not the program's.
inline constexpr QStringView StagingMarkerName = u"phonebook-update.staging";

// No table file is larger; an archive entry that is, is refused.
inline constexpr qint64 MaxTableSize = qint64(4) << 30;
// An update never leaves less free space than this on the directory's file system.
inline constexpr qint64 MinFreeSpace = qint64(64) << 20;

// Why the table reader would not take the file as a sound table (an error,
// or a tolerated disagreement such as a file cut short); nothing when sound.
std::optional<CoreError> TableFault(const QString &path);
// The same, and why the file cannot serve as `table`: a field the program
// reads is missing or not of character type, no record is left undeleted, or
// it is the other table. Messages name the table by TableFileName(table).
std::optional<CoreError> TableFault(const QString &path, Table table);

// Whether `name` (a file name, any letter case) is one of the program's own
// files: a table, its memo or ".old" copy, the journal, the lock, a program
// or a staging folder. An archive may not be called so.
bool IsProgramFileName(QStringView name);

// Bytes an ordinary user may still write on the file system holding `path`;
// -1 when it cannot be told.
qint64 FreeSpace(const QString &path);
// The user's words for a failed file operation's errno: a reason that other
// messages take as an argument, in the language shown (FileError(e).Text()).
CoreError FileError(int error);
// That the directory may not be written.
CoreError NoWriteAccessMessage(const QString &directory);
// Succeeds when files can be created and renamed in `directory`; else says why not.
Result<void> CheckWritable(const QString &directory);

struct PlacedArchive {
    QString path;        // the archive in the directory; empty on an error
    bool copied = false; // false when the archive already lay there
    CoreError error;     // not set on success
};

// Brings the archive into the directory under its own name. An archive that
// is already there, however its path is spelled (relative, a link), is used
// where it is. A copy is written to a new temporary file, checked to be
// complete and synced (and leaves `minFree` bytes free), then renamed over the name: a link of that name is
// replaced, never written through, and a failed copy changes nothing.
// The copy's temporary file is made in `scratch` (a folder on the same file
// system; the directory itself when empty).
PlacedArchive PlaceArchive(const QString &archive, const QString &directory, qint64 minFree = MinFreeSpace,
                           const QString &scratch = {});

// Whether `path` names the same bytes once decoded in the locale's encoding
// and encoded again: a path that does not is refused before anything is touched.
bool SurvivesLocaleEncoding(const QByteArray &path);

} // namespace phonebook::update
