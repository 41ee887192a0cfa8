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
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <string_view>

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

// The connections running a statement, for InterruptStatements().
std::mutex g_runningMutex;
std::vector<sqlite3 *> g_running;
std::atomic<bool> g_interrupted{false};
std::atomic<int64_t> g_memoryLimit{0};

struct Connection {
    StatementReads reads; // outlives db, whose tables point to it
    sqlite3 *db = nullptr;
    sqlite3_stmt *statement = nullptr;
    std::vector<std::pair<QString, QString>> tables; // table files: name, path
    QSet<QString> spellings;                          // names registered as modules
    std::vector<std::shared_ptr<const DbfTable>> opened; // outlives db too
    bool running = false;
    ~Connection()
    {
        if (running) {
            const std::lock_guard lock(g_runningMutex);
            g_running.erase(std::find(g_running.begin(), g_running.end(), db));
        }
        sqlite3_finalize(statement);
        sqlite3_close_v2(db);
    }
};

CoreError interruptedMessage() { return CoreError(CoreMessage("The statement was interrupted.")); }

CoreError memoryMessage()
{
    return CoreError(CoreMessage("The statement needs more memory than the %1 MiB allowed to it."),
                     {QString::number(g_memoryLimit.load() / (1024 * 1024))});
}

// The engine's own words are shown as they are.
CoreError engineMessage(sqlite3 *db, const QString &directory)
{
    if (g_interrupted.load() && sqlite3_errcode(db) == SQLITE_INTERRUPT)
        return interruptedMessage();
    if (g_memoryLimit.load() > 0 && sqlite3_errcode(db) == SQLITE_NOMEM)
        return memoryMessage();
    const QString message = QString::fromUtf8(sqlite3_errmsg(db));
    if (message.startsWith(u"no such table: "))
        return CoreError(CoreMessage("%1 (no table file of that name in %2)"), {message, directory});
    return DatabaseError(message).error();
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
    const int opened = sqlite3_open_v2(":memory:", &connection.db,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY | SQLITE_OPEN_NOMUTEX, nullptr);
    if (opened == SQLITE_NOMEM && g_memoryLimit.load() > 0)
        throw DatabaseError(memoryMessage(), sql);
    if (opened != SQLITE_OK)
        throw DatabaseError(CoreError(CoreMessage("The SQL engine cannot start: %1"),
                                      {QString::fromUtf8(sqlite3_errmsg(connection.db))}),
                            sql);
    sqlite3 *db = connection.db;
    {
        const std::lock_guard lock(g_runningMutex);
        g_running.push_back(db);
        connection.running = true;
    }
    if (g_interrupted.load())
        throw DatabaseError(interruptedMessage(), sql);
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

// Prepares the one statement of `sql` on a fresh connection over the directory.
void prepareStatement(Connection &connection, const QString &directory, const QString &sql)
{
    openConnection(connection, directory, sql);
    sqlite3 *db = connection.db;
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
        throw DatabaseError(CoreError(CoreMessage("The statement is empty.")), sql);
    if (tail && !QByteArray(tail).trimmed().isEmpty()) {
        // Anything after the first statement must be blanks, a ";" or a comment.
        sqlite3_stmt *next = nullptr;
        const int rc = sqlite3_prepare_v2(db, tail, -1, &next, nullptr);
        sqlite3_finalize(next);
        if (rc != SQLITE_OK || next)
            throw DatabaseError(CoreError(CoreMessage("Only one statement can be run at a time.")), sql);
    }
}

QStringList columnNames(sqlite3_stmt *statement)
{
    QStringList names;
    for (int n = 0; n < sqlite3_column_count(statement); ++n)
        names.append(QString::fromUtf8(sqlite3_column_name(statement, n)));
    return names;
}

// Only a column read from a table has a declared type; an expression has
// none and is judged by its first value.
QList<bool> storedColumns(sqlite3_stmt *statement)
{
    QList<bool> stored;
    for (int n = 0; n < sqlite3_column_count(statement); ++n)
        stored.append(sqlite3_column_decltype(statement, n) != nullptr);
    return stored;
}

// The kinds once the first row is there: an expression yields stored text
// (max(nt)) or a value of its own (count(*)).
QList<ValueKind> firstRowKinds(sqlite3_stmt *statement, const QList<bool> &stored)
{
    QList<ValueKind> kinds = ColumnKinds(statement);
    for (int n = 0; n < kinds.size(); ++n) {
        if (!stored[n] && sqlite3_column_type(statement, n) == SQLITE_TEXT)
            kinds[n] = ValueKind::Stored;
    }
    return kinds;
}

// The cell's value read directly: the connection has no mutex (NOMUTEX), so
// the value needs none to be read safely. Its blob form is the text's bytes
// as they are; unlike sqlite3_value_text() it does not need them NUL-terminated.
std::string_view cellOf(sqlite3_stmt *statement, int column)
{
    sqlite3_value *value = sqlite3_column_value(statement, column);
    const auto *cell = static_cast<const char *>(sqlite3_value_blob(value));
    return {cell ? cell : "", static_cast<size_t>(sqlite3_value_bytes(value))};
}

// After the last step: a table cut short or rewritten while the statement
// read it may have given zeros or rows of another edition, so no result
// rather than a wrong one; then the engine's own failure, if any.
void finishStatement(const Connection &connection, int rc, const QString &directory, const QString &sql,
                     const StopCheck &stop = {})
{
    for (const auto &table : connection.opened) {
        if (table->changed())
            throw DatabaseError(CoreError(CoreMessage("The table %1 changed while it was being read; run the statement again."),
                                          {QDir::toNativeSeparators(table->path())}),
                                sql);
    }
    // Stopped: the rows so far may be out of order (a table gave up ordering them).
    if (stop && stop())
        throw DatabaseError(CoreError(CoreMessage("The statement was stopped.")), sql);
    if (rc != SQLITE_DONE)
        throw DatabaseError(engineMessage(connection.db, directory), sql);
}

// One row of a statement being streamed.
class StatementRow final : public RowSource {
public:
    explicit StatementRow(QStringList names)
        : m_names(std::move(names))
        , m_cells(static_cast<size_t>(m_names.size()))
    {
    }
    int rowCount() const override { return 1; }
    int columnCount() const override { return static_cast<int>(m_names.size()); }
    QString columnName(int column) const override { return m_names.value(column); }
    QString text(int row, int column) const override
    {
        if (row != 0 || column < 0 || column >= columnCount())
            return {};
        const std::string &cell = m_cells[static_cast<size_t>(column)];
        return QString::fromUtf8(cell.data(), static_cast<qsizetype>(cell.size()));
    }
    ValueKind columnKind(int column) const override { return m_kinds.value(column, ValueKind::Stored); }

    void setKinds(QList<ValueKind> kinds) { m_kinds = std::move(kinds); }
    void setCell(int column, std::string_view utf8) { m_cells[static_cast<size_t>(column)].assign(utf8); }

private:
    QStringList m_names;
    std::vector<std::string> m_cells;
    QList<ValueKind> m_kinds;
};

// Engine steps between two calls of the progress handler.
constexpr int ProgressSteps = 10000;

struct Progress {
    StatementSink *sink = nullptr;
    std::exception_ptr failure;
};

int onProgress(void *data)
{
    auto *progress = static_cast<Progress *>(data);
    if (g_interrupted.load())
        return 1;
    try {
        progress->sink->working();
    } catch (...) {
        progress->failure = std::current_exception(); // no exception crosses SQLite's frames
        return 1;
    }
    return 0;
}

} // namespace

std::shared_ptr<QueryResult> RunStatement(const QString &directory, const QString &sql, const StopCheck &stop)
{
    Connection connection;
    prepareStatement(connection, directory, sql);
    // The engine's steps ask the check now and then (a scan takes some tens
    // of steps a row); the tables' own ordering asks it through the thread.
    const ScopedStopCheck stopInTables(stop);
    if (stop) {
        sqlite3_progress_handler(connection.db, StopSteps,
                                 [](void *check) { return (*static_cast<const StopCheck *>(check))() ? 1 : 0; },
                                 const_cast<StopCheck *>(&stop));
    }
    sqlite3_stmt *statement = connection.statement;
    const int columns = sqlite3_column_count(statement);
    const QList<bool> stored = storedColumns(statement);
    auto result = std::make_shared<QueryResult>(columnNames(statement), stored);
    result->setColumnKinds(ColumnKinds(statement));
    int rc;
    bool firstRow = true;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        if (firstRow) {
            result->setColumnKinds(firstRowKinds(statement, stored));
            firstRow = false;
        }
        for (int n = 0; n < columns; ++n)
            result->appendCell(cellOf(statement, n));
        result->endRow();
    }
    finishStatement(connection, rc, directory, sql, stop);
    result->finish();
    return result;
}

void StreamStatement(const QString &directory, const QString &sql, StatementSink &sink)
{
    Connection connection;
    prepareStatement(connection, directory, sql);
    sqlite3_stmt *statement = connection.statement;
    Progress progress{&sink, nullptr};
    sqlite3_progress_handler(connection.db, ProgressSteps, onProgress, &progress);
    const int columns = sqlite3_column_count(statement);
    const QList<bool> stored = storedColumns(statement);
    for (const auto &table : connection.opened) {
        for (const QString &warning : table->warnings())
            sink.warning(warning);
    }
    const QStringList names = columnNames(statement);
    sink.columns(names);
    StatementRow row(names);
    int rc;
    bool firstRow = true;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        if (firstRow) {
            row.setKinds(firstRowKinds(statement, stored));
            firstRow = false;
        }
        for (int n = 0; n < columns; ++n)
            row.setCell(n, cellOf(statement, n));
        if (g_interrupted.load())
            throw DatabaseError(interruptedMessage(), sql);
        if (!sink.row(row))
            return;
    }
    if (progress.failure)
        std::rethrow_exception(progress.failure);
    finishStatement(connection, rc, directory, sql);
}

void InterruptStatements()
{
    const std::lock_guard lock(g_runningMutex);
    g_interrupted.store(true);
    for (sqlite3 *db : g_running)
        sqlite3_interrupt(db);
}

bool StatementsInterrupted() { return g_interrupted.load(); }

void LimitStatementMemory(int64_t bytes)
{
    g_memoryLimit.store(bytes > 0 ? bytes : 0);
    sqlite3_hard_heap_limit64(bytes > 0 ? bytes : 0);
}

} // namespace phonebook
