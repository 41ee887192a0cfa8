#pragma once
// Archives that this system cannot run: a Windows self-extracting program, or
// a plain ZIP, RAR or 7-Zip file. libarchive reads them and the two tables are
// taken out of them directly.

#include <QString>
#include <QStringList>

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
    QStringList written; // file names written into the directory
    QString error;       // empty on success
};

// Writes every entry named "sp09kw_n.dbf" or "sp09pr_n.dbf" (in any folder of
// the archive, in any letter case) into `directory` under its lower-case name.
// Each file appears under its name only once complete. `progress` receives
// the share of the archive read so far, 0 to 100. Stops with an error when
// `cancel` becomes true. An archive holding neither table is an error.
// Safe to run on a worker thread.
Extraction ExtractTables(const QString &archive, const QString &directory, const std::atomic<bool> &cancel,
                         const std::function<void(int)> &progress);

} // namespace phonebook::update
