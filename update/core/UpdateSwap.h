#pragma once
// Swapping new tables into the directory, and finishing a swap that was cut
// short. An update works in a private staging folder inside the directory;
// only tables proven sound there are renamed over the live ones, with a
// journal, synced before the first rename, that names the staging folder and
// the live files being replaced. The live table's second name during the swap
// lives inside the staging folder too, so nothing of an update ever meets a
// file of someone else's. The next opening of the directory reads the journal
// and finishes the swap table by table. Nothing here deletes a file the update
// did not make. GUI-free.

#include "PosixFile.h"
#include "UpdateFiles.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace phonebook::update {

// Creates a new staging folder in `directory` (exclusively, mode 0700) with
// its marker; `held`, when given, receives the marker open and locked, so that
// no other update takes the folder for a dead one's while this one runs.
// Returns its path, or empty with `error` set.
QString CreateStaging(const QString &directory, CoreError *error, PosixFile *held = nullptr);
// Whether `name` in `directory` is a staging folder of the program's: a real
// folder (not a link) directly in `directory`, owned by this user, mode 0700,
// holding the marker written when it was made. `why` receives why not.
bool IsStagingFolder(const QString &directory, const QString &name, CoreError *why = nullptr);
// Removes a staging folder and what is in it (only one IsStagingFolder()
// accepts); links inside are removed, never followed. Returns false when
// something of it is left.
bool RemoveStaging(const QString &staging);

struct StagedTable {
    QString path;    // the table under its lower-case name in the staging folder; empty when not taken
    CoreError fault; // why not; not set when the archive did not deliver it at all
};
// Takes `table` from the staging folder, found in any letter case by the
// directory's one table look-up: a regular file (not a link) of at most
// MaxTableSize bytes. With `copy`, what was delivered is first copied into a
// new file the updater creates itself (an archive program's file may still be
// held by someone), leaving `minFree` bytes free; the table is then checked
// there (TableFault() for `table`), moved to its lower-case name and synced.
StagedTable TakeStaged(const QString &staging, Table table, bool copy = false, qint64 minFree = MinFreeSpace);

struct SwapResult {
    bool swapped[2] = {false, false}; // by Table
    QList<CoreError> errors;          // a table not swapped stays as it was
};
// Swaps the staged tables in (each staged under TableFileName in `staging`),
// then removes the journal and the staging folder with the replaced editions.
// Refused as a whole, with nothing changed, while the directory holds a table
// under two spellings. `stopAfter` (tests only) ends it after that many of its
// durable steps, as if the process had died there.
SwapResult SwapIn(const QString &directory, const QString &staging, const std::vector<Table> &tables,
                  int stopAfter = -1);

// What opening the directory found of an update that did not finish.
struct RestoreReport {
    // For the user, in the language shown (the main window and the update show
    // them as they are): one line per table finished or undone, or why nothing
    // could be done.
    QStringList messages;
    bool failed = false;  // something could not be made whole
};

// Run whenever the directory is opened for an update or by the program,
// before its tables are read. Finishes or undoes an interrupted swap only when
// the journal says one was interrupted and the update lock is free, and
// removes the staging folders of updates that died. Changes nothing while
// another update holds the lock.
RestoreReport RecoverInterruptedUpdate(const QString &directory);
// The same, for a caller that holds the update lock.
RestoreReport RecoverLocked(const QString &directory);
// Whether a journal says an update of `directory` was interrupted (read only;
// while an update runs, its journal may be there too: see UpdateLock::HeldInDirectory).
bool UpdateWasInterrupted(const QString &directory);

} // namespace phonebook::update
