#pragma once
// Archives that this system cannot run: a Windows self-extracting program, or
// a plain ZIP, RAR or 7-Zip file. libarchive reads them and the two tables are
// taken out of them directly.

#include <QString>
#include <QStringList>

#include "CoreResult.h"
#include "UpdateFiles.h"

#include <atomic>
#include <functional>

namespace phonebook::update {

enum class ArchiveKind {
    Program, // a program this system starts itself (ELF, or a "#!" script)
    Archive, // anything else: read with libarchive
};

// Decided by the file's first bytes.
ArchiveKind ArchiveKindOf(const QString &path);

struct Extraction {
    QStringList written;     // file names written into the directory
    QList<CoreError> faults; // why an entry named like a table was not written (a link, say)
    CoreError error;         // not set on success
};

// Writes the first entry named "sp09kw_n.dbf" and the first named
// "sp09pr_n.dbf" (in any folder of the archive, in any letter case) into the
// staging folder `staging` under their lower-case names; nothing else of the
// archive is written. An entry of a table's name that is not a plain file (a
// link, hard or symbolic, or a folder) is not written, and `faults` says so;
// a later entry of that name is not taken either. An entry larger than MaxTableSize, or one that would
// leave less than `minFree` bytes free on the file system, stops it with an error, as
// does a short write. `progress` receives the share of the archive read so
// far, 0 to 100. Stops with an error once `cancel` returns true. An archive
// holding neither table is an error. Safe to run on a worker thread.
Extraction ExtractTables(const QString &archive, const QString &staging, const std::function<bool()> &cancel,
                         const std::function<void(int)> &progress, qint64 minFree = MinFreeSpace);

} // namespace phonebook::update
