#pragma once
// A read-only view of a whole file, mapped, that stays safe to read when the
// file is cut short or rewritten under it. An administrator copying a new
// edition over a table truncates the file before writing it again: reading a
// mapped page past the new end would kill the process (SIGBUS). Such a page
// is replaced by zeros instead, and the view reports the change, so that a
// reader can drop what it read and stop reading.

#include "FileEdition.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

struct stat;

namespace phonebook {

class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    // Maps the file. Returns false and sets `error` (the system's words) when
    // it cannot be opened or read.
    bool open(const QString &path, QString &error);

    const unsigned char *data() const { return m_data; }
    qint64 size() const { return m_size; }
    // Reads bytes of the file itself, not through the mapping: for one pass
    // over a large file, cheaper than mapping every page of it. Returns the
    // bytes read (fewer at the file's end), or -1.
    qint64 read(qint64 offset, void *buffer, size_t length) const;

    // Whether the file changed since it was opened: a read met a page that is
    // gone, or the file's size or modification time differ. A few hundred
    // nanoseconds (one fstat).
    bool changed() const;
    // Whether a read met a page that is gone (the file was cut short). Cheap:
    // for checking right after a read.
    bool pagesLost() const;
    // Whether `path` still names this very file, unchanged (same file, size
    // and modification time, no page lost): the one test of "the file
    // changed" for whoever keeps what it read from the file (the table
    // cache, the quick search's indexes). One stat and one fstat.
    bool stillAt(const QString &path) const;
    // Whether the file had been left alone for a while when it was opened.
    // Modification times have a coarse grain: a file written just before it
    // was opened could be written again without its time changing, so only a
    // settled file can be told unchanged by stillAt().
    bool settled() const { return m_settled; }

private:
    void close();
    // Whether the file's status (size and modification time) is the one it had when opened.
    bool sameEdition(const struct stat &st) const;

    int m_fd = -1;
    const unsigned char *m_data = nullptr;
    qint64 m_size = 0;
    int m_slot = -1;        // guard slot of the mapping; -1 when the bytes were read into m_copy
    unsigned char *m_copy = nullptr;
    FileEdition m_edition; // of the file when it was opened
    bool m_settled = false;
};

} // namespace phonebook
