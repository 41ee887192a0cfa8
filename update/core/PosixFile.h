#pragma once
// Small POSIX file helpers for the update, which must never follow a link it
// did not expect, never take a short write for a whole one, and sync what it
// relies on before it renames. Every function reports errno (0 for success).

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace phonebook::update {

// Owns one file descriptor.
class PosixFile {
public:
    PosixFile() = default;
    explicit PosixFile(int fd) : m_fd(fd) {}
    PosixFile(const PosixFile &) = delete;
    PosixFile &operator=(const PosixFile &) = delete;
    PosixFile(PosixFile &&other) noexcept : m_fd(other.release()) {}
    PosixFile &operator=(PosixFile &&other) noexcept;
    ~PosixFile();

    bool valid() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    int release();
    // Closes it; errno of a failed close, else 0.
    int close();

private:
    int m_fd = -1;
};

// A new file in `directory`, created exclusively under a temporary name made
// from `hint`; removed unless committed. It may be committed into another
// folder of the same file system.
class TempFile {
public:
    TempFile(const QString &directory, const QString &hint);
    ~TempFile();
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;

    bool valid() const { return m_file.valid(); }
    int fd() const { return m_file.fd(); }
    int error() const { return m_error; }
    const QByteArray &path() const { return m_path; }
    // Syncs and closes the file, renames it to `target` (replacing what is
    // there, a link itself and not its target) and syncs the target's folder.
    int Commit(const QString &target);

private:
    PosixFile m_file;
    QByteArray m_path;
    QByteArray m_directory;
    int m_error = 0;
    bool m_created = false;
    bool m_committed = false;
};

// Writes all of `size` bytes, retrying short writes.
int WriteAll(int fd, const char *data, size_t size);
// Copies `in` to its end into `out`; an error unless exactly `expected` bytes came.
int CopyAll(int in, int out, qint64 expected);
// Makes the names in `directory` (renames, removals) durable.
int SyncDirectory(const QString &directory);
int SyncDirectory(const QByteArray &directory);

} // namespace phonebook::update
