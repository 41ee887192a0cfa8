#pragma once
// Editions and update archives made by the tests: small directories written
// with our table writer, "up*.exe" scripts that deliver (or fail to deliver)
// them, and self-extracting ZIP archives made of a stub and a ZIP file.

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace phonebook::fixtures {

// Writes both tables into `directory`: `persons` individuals and `orgPhones`
// organisation numbers.
void WriteEdition(const QString &directory, int persons, int orgPhones);
// Live rows of the table file; -1 when it is missing or does not open.
int CountRows(const QString &path);

// What an archive script does, run in the program directory.
enum class Script {
    BothTables,   // copies both tables of the edition
    OrgsOnly,     // only the organisations table
    DamagedTable, // a cut-short individuals table and a sound organisations table
    Nothing,      // writes nothing and succeeds
    Fails,        // writes both tables, then ends with status 3
    RunsLong,     // writes both tables and "archive.running" beside them, then keeps running
};
// Writes an executable "#!/bin/sh" archive at `path` that delivers from `edition`.
QString WriteScriptArchive(const QString &path, Script script, const QString &edition);

// Whether an archive of `directory`'s update runs now: a RunsLong script has
// written its "archive.running" into the update's staging folder.
bool ArchiveRunningIn(const QString &directory);

// Processes (not yet ended) whose command line holds `argument`.
QList<qint64> ProcessesWith(const QString &argument);

// A ZIP file holding `entries` (name inside the archive, file to store),
// behind a Windows program's stub: a self-extracting archive.
QString WriteSelfExtractingZip(const QString &path, const std::vector<std::pair<QString, QString>> &entries);

} // namespace phonebook::fixtures
