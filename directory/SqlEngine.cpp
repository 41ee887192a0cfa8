#include "SqlEngine.h"

#include "Collation.h"
#include "DatabaseError.h"
#include "DbfTable.h"
#include "LikePattern.h"
#include "QueryResult.h"
#include "TableFiles.h"
#include "TableModule.h"

#include <sqlite3.h>

#include <QCoreApplication>
#include <QDir>
#include <QSet>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace phonebook {

namespace {

// Engine steps between two looks at a statement's stop check.
constexpr int StopSteps = 8000;

int collationCompare(void *, int lengthA, const void *a, int lengthB, const void *b)
{
    return CompareStored({static_cast<const char *>(a), static_cast<size_t>(lengthA)},
                         {static_cast<const char *>(b), static_cast<size_t>(lengthB)});
}

// Statements may read and compute, nothing else: no ATTACH (which could
// create files), no PRAGMA, no writes.
int authorize(void *data, int action, const char *, const char *column, const char *, const char *)
{
    if (DeclaringTable())
        return SQLITE_OK;
    switch (action) {
    case SQLITE_READ:
        // Any alias of the rowid (rowid, oid, _rowid_) is reported as "ROWID".
        if (column && sqlite3_stricmp(column, "ROWID") == 0)
            static_cast<StatementReads *>(data)->rowid = true;
        return SQLITE_OK;
    case SQLITE_SELECT:
    case SQLITE_FUNCTION:
    case SQLITE_RECURSIVE:
        return SQLITE_OK;
    default:
        return SQLITE_DENY;
    }
}

struct Connection {
    StatementReads reads; // outlives db, whose tables point to it
    sqlite3 *db = nullptr;
    sqlite3_stmt *statement = nullptr;
    std::vector<std::pair<QString, QString>> tables; // table files: name, path
    QSet<QString> spellings;                          // names registered as modules
    std::vector<std::shared_ptr<const DbfTable>> opened; // outlives db too
    ~Connection()
    {
        sqlite3_finalize(statement);
        sqlite3_close_v2(db);
    }
};

QString engineMessage(sqlite3 *db, const QString &directory)
{
    QString message = QString::fromUtf8(sqlite3_errmsg(db));
    if (message.startsWith(u"no such table: "))
        message += QCoreApplication::translate("phonebook", " (no table file of that name in %1)").arg(directory);
    return message;
}

void registerTable(Connection &connection, const QString &name, const QString &path)
{
    connection.spellings.insert(name);
    sqlite3_create_module_v2(connection.db, name.toUtf8().constData(), &TableModule,
                             new TableFile{path, &connection.reads, &connection.opened}, [](void *p) { delete static_cast<TableFile *>(p); });
}

void openConnection(Connection &connection, const QString &directory, const QString &sql)
{
    // One connection per statement, used by one thread: no mutexes.
    if (sqlite3_open_v2(":memory:", &connection.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY | SQLITE_OPEN_NOMUTEX,
                        nullptr)
        != SQLITE_OK)
        throw DatabaseError(QCoreApplication::translate("phonebook", "The SQL engine cannot start: %1")
                                .arg(QString::fromUtf8(sqlite3_errmsg(connection.db))),
                            sql);
    sqlite3 *db = connection.db;
    // Collation and like() first: the tables' declarations name the collation.
    sqlite3_create_collation_v2(db, CollationName, SQLITE_UTF8, nullptr, collationCompare, nullptr);
    RegisterLike(db);
    for (auto &[name, path] : ListTableFiles(directory)) {
        if (connection.spellings.contains(name))
            continue; // "a.dbf" beside "A.DBF": the first one wins
        registerTable(connection, name, path);
        connection.tables.emplace_back(std::move(name), std::move(path));
    }
    sqlite3_set_authorizer(db, authorize, &connection.reads);
}

// SQLite matches table names ignoring the case of ASCII letters only. When it
// finds no table of a name that names a table file in another case of its
// other letters ("ЁЛКА" for "Ёлка.dbf"), the table is registered under that
// spelling too. Returns whether it was, so that the statement is prepared again.
bool registerSpelling(Connection &connection)
{
    const QString message = QString::fromUtf8(sqlite3_errmsg(connection.db));
    const QLatin1StringView prefix("no such table: ");
    if (!message.startsWith(prefix))
        return false;
    QString missing = message.mid(prefix.size());
    if (missing.startsWith(u"main.") && !connection.spellings.contains(missing.mid(5)))
        missing = missing.mid(5);
    if (connection.spellings.contains(missing))
        return false;
    for (const auto &[name, path] : connection.tables) {
        if (name.compare(missing, Qt::CaseInsensitive) == 0) {
            registerTable(connection, missing, path);
            return true;
        }
    }
    return false;
}

// What each result column holds, by the type its table column declares; an
// expression (no declared type) counts as a number until its first value says otherwise.
QList<ValueKind> ColumnKinds(sqlite3_stmt *statement)
{
    QList<ValueKind> kinds;
    for (int n = 0; n < sqlite3_column_count(statement); ++n) {
        const char *declared = sqlite3_column_decltype(statement, n);
        const QByteArray type = QByteArray(declared ? declared : "").toUpper();
        ValueKind kind = ValueKind::Number;
        if (type.startsWith("TEXT"))
            kind = ValueKind::Stored;
        else if (type == "DATE")
            kind = ValueKind::Date;
        else if (type == "DATETIME")
            kind = ValueKind::DateTime;
        else if (type == "LOGICAL")
            kind = ValueKind::Logical;
        kinds.append(kind);
    }
    return kinds;
}

} // namespace

std::shared_ptr<QueryResult> RunStatement(const QString &directory, const QString &sql, const StopCheck &stop)
{
    Connection connection;
    openConnection(connection, directory, sql);
    sqlite3 *db = connection.db;
    // The engine's steps ask the check now and then (a scan takes some tens
    // of steps a row); the tables' own ordering asks it through the thread.
    const ScopedStopCheck stopInTables(stop);
    if (stop) {
        sqlite3_progress_handler(db, StopSteps, [](void *check) { return (*static_cast<const StopCheck *>(check))() ? 1 : 0; },
                                 const_cast<StopCheck *>(&stop));
    }
    const QByteArray text = sql.toUtf8();
    const char *tail = nullptr;
    auto prepare = [&] {
        return sqlite3_prepare_v2(db, text.constData(), static_cast<int>(text.size()), &connection.statement, &tail);
    };
    int prepared = prepare();
    while (prepared != SQLITE_OK && registerSpelling(connection))
        prepared = prepare();
    if (prepared != SQLITE_OK)
        throw DatabaseError(engineMessage(db, directory), sql);
    if (!connection.statement)
        throw DatabaseError(QCoreApplication::translate("phonebook", "The statement is empty."), sql);
    if (tail && !QByteArray(tail).trimmed().isEmpty()) {
        // Anything after the first statement must be blanks, a ";" or a comment.
        sqlite3_stmt *next = nullptr;
        const int rc = sqlite3_prepare_v2(db, tail, -1, &next, nullptr);
        sqlite3_finalize(next);
        if (rc != SQLITE_OK || next)
            throw DatabaseError(QCoreApplication::translate("phonebook", "Only one statement can be run at a time."), sql);
    }
    sqlite3_stmt *statement = connection.statement;
    const int columns = sqlite3_column_count(statement);
    QStringList names;
    QList<bool> stored;
    for (int n = 0; n < columns; ++n) {
        names.append(QString::fromUtf8(sqlite3_column_name(statement, n)));
        // Only a column read from a table has a declared type; an expression
        // has none and is judged by its first value below.
        stored.append(sqlite3_column_decltype(statement, n) != nullptr);
    }
    auto result = std::make_shared<QueryResult>(names, stored);
    result->setColumnKinds(ColumnKinds(statement));
    int rc;
    bool firstRow = true;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        if (firstRow) {
            // An expression yields stored text (max(nt)) or a value of its own (count(*)).
            QList<ValueKind> kinds = ColumnKinds(statement);
            for (int n = 0; n < columns; ++n) {
                if (!stored[n] && sqlite3_column_type(statement, n) == SQLITE_TEXT)
                    kinds[n] = ValueKind::Stored;
            }
            result->setColumnKinds(std::move(kinds));
            firstRow = false;
        }
        for (int n = 0; n < columns; ++n) {
            // The cell's value read directly: the connection has no mutex
            // (NOMUTEX), so the value needs none to be read safely. Its blob
            // form is the text's bytes as they are; unlike sqlite3_value_text()
            // it does not need them NUL-terminated.
            sqlite3_value *value = sqlite3_column_value(statement, n);
            const auto *cell = static_cast<const char *>(sqlite3_value_blob(value));
            result->appendCell({cell ? cell : "", static_cast<size_t>(sqlite3_value_bytes(value))});
        }
        result->endRow();
    }
    // A table cut short or rewritten while the statement read it may have
    // given zeros or rows of another edition: no result rather than a wrong one.
    for (const auto &table : connection.opened) {
        if (table->changed())
            throw DatabaseError(QCoreApplication::translate("phonebook", "The table %1 changed while it was being read; run the statement again.")
                                    .arg(QDir::toNativeSeparators(table->path())),
                                sql);
    }
    // Stopped: the rows so far may be out of order (a table gave up ordering them).
    if (stop && stop())
        throw DatabaseError(QCoreApplication::translate("phonebook", "The statement was stopped."), sql);
    if (rc != SQLITE_DONE)
        throw DatabaseError(engineMessage(db, directory), sql);
    result->finish();
    return result;
}

} // namespace phonebook
