#pragma once
// Swapping new tables into the directory, and finishing a swap that was cut
// short. An update works in a private staging folder inside the directory;
// only tables proven sound there are renamed over the live ones, with a
// journal, synced before the first rename, that names the staging folder and
// the live files being replaced. The next opening of the directory reads the
// journal and finishes the swap table by table. Nothing here deletes a file
// the update did not make. GUI-free.

#include "UpdateFiles.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace phonebook::update {

// Creates a new staging folder in `directory` (exclusively, mode 0700).
// Returns its path, or empty with `error` set.
QString CreateStaging(const QString &directory, QString *error);
// Removes a staging folder and what is in it; links inside are removed, never followed.
void RemoveStaging(const QString &staging);

struct StagedTable {
    QString path;  // the table under its lower-case name in the staging folder; empty when not taken
    QString fault; // why not, for the user; empty when the archive did not deliver it at all
};
// Takes `table` from the staging folder, found in any letter case: a regular
// file (not a link) of at most MaxTableSize bytes that the table reader
// opens without an error or a warning. It is moved to its lower-case name
// there and synced.
StagedTable TakeStaged(const QString &staging, Table table);

struct SwapResult {
    bool swapped[2] = {false, false}; // by Table
    QStringList errors;               // for the user; a table not swapped stays as it was
};
// Swaps the staged tables in (each staged under TableFileName in `staging`),
// then removes the ".old" copies, the journal and the staging folder. Refused
// as a whole, with nothing changed, while a ".old" name is taken.
// `stopAfter` (tests only) ends it after that many of its durable steps, as
// if the process had died there.
SwapResult SwapIn(const QString &directory, const QString &staging, const std::vector<Table> &tables,
                  int stopAfter = -1);

// What opening the directory found of an update that did not finish.
struct RestoreReport {
    QStringList messages; // for the user: one line per table finished or undone, or why nothing could be done
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
// Whether a journal says an update of `directory` was interrupted (read only).
bool UpdateWasInterrupted(const QString &directory);

} // namespace phonebook::update
