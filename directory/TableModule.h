#pragma once
// The module that shows the engine each table file as a table.

#include <sqlite3.h>

#include <QString>

#include <memory>
#include <vector>

namespace phonebook {

class DbfTable;

// What the statement being prepared reads, as the authorizer reports it.
struct StatementReads {
    // colUsed never reports the rowid, so an expression on it (rowid % 3 = 0)
    // is seen only here.
    bool rowid = false;
};

struct TableFile {
    QString path;
    const StatementReads *reads;
    // Every table the statement opened, to learn afterwards whether one of
    // them changed while it was read.
    std::vector<std::shared_ptr<const DbfTable>> *opened;
};

// Registered once per table name, with a TableFile as its client data.
extern const sqlite3_module TableModule;

// Whether a table is declaring its columns right now: the authorizer lets
// that CREATE TABLE pass.
bool DeclaringTable();

} // namespace phonebook
