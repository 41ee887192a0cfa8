#pragma once
// The SQL engine adapter: SQLite runs the statements, the table files reach
// it as virtual tables read in place, with our LIKE and our collation.

#include "LikePattern.h"
#include "StopCheck.h"

#include <QString>
#include <QStringList>

#include <cstdint>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace phonebook {

class QueryResult;
class RowSource;

// Runs one statement over the table files of `directory` (any table file
// there is a table named by its base name, in any letter case) and returns
// its whole result. No table file stays open afterwards. Throws DatabaseError
// carrying the engine's message and the statement. `stop` is asked every few
// thousand rows read; once it says stop, DatabaseError says the statement was stopped.
std::shared_ptr<QueryResult> RunStatement(const QString &directory, const QString &sql, const StopCheck &stop = {});

// What StreamStatement hands the rows of a statement to, as the engine
// yields them.
class StatementSink {
public:
    virtual ~StatementSink() = default;
    // The result's column names, before the first row.
    virtual void columns(const QStringList &names) { Q_UNUSED(names); }
    // One row: row 0 of `row`, which lives for the call only; a computed
    // column's kind is judged by the first row. Returns false to stop.
    virtual bool row(const RowSource &row) = 0;
    // Called now and then while the engine works towards the next row.
    virtual void working() {}
    // A warning of a table the statement reads (see DbfTable::warnings()),
    // before the first row.
    virtual void warning(const QString &text) { Q_UNUSED(text); }
};

// Runs one statement as RunStatement does, but hands each row to `sink` as
// the engine yields it instead of holding the result. Throws DatabaseError
// as RunStatement does; what `sink` throws is passed on.
void StreamStatement(const QString &directory, const QString &sql, StatementSink &sink);

// Stops the statements running now, on any thread, and every one started
// later in the process: they throw DatabaseError at the engine's next step.
// Safe to call from any thread, but not from a signal handler itself.
void InterruptStatements();
// Whether InterruptStatements() was called.
bool StatementsInterrupted();

// Bounds the memory the engine takes for the statements of the whole process
// (sorting, grouping, values it builds) to `bytes`; 0 lifts the bound. A
// statement that needs more fails with a message that names the bound.
void LimitStatementMemory(int64_t bytes);

} // namespace phonebook
