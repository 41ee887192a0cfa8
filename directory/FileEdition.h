#pragma once
// One edition of a file: which file a path names (device and inode), its
// size and its modification time. The program's one test of "the file
// changed": the table mapping's guard, the table cache, the quick search's
// indexes, the lists and the folder watch all compare these.

#include <QString>

#include <cstdint>

struct stat;

namespace phonebook {

struct FileEdition {
    bool exists = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = -1;
    int64_t modifiedNs = 0;

    static FileEdition Of(const struct stat &st);
    // The file `path` names now, links followed; `exists` is false when there is none.
    static FileEdition At(const QString &path);

    // Same size and modification time: the same content, as far as a file
    // system can tell (the file itself may have been replaced by a copy).
    bool sameContent(const FileEdition &other) const
    {
        return exists == other.exists && size == other.size && modifiedNs == other.modifiedNs;
    }
    // The very same file, unchanged.
    bool operator==(const FileEdition &) const = default;
};

} // namespace phonebook
