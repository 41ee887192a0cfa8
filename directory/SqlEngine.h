#pragma once
// The SQL engine adapter: SQLite runs the statements, the table files reach
// it as virtual tables read in place, with our LIKE and our collation.

#include "LikePattern.h"
#include "StopCheck.h"

#include <QString>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace phonebook {

class QueryResult;

// Runs one statement over the table files of `directory` (any table file
// there is a table named by its base name, in any letter case) and returns
// its whole result. No table file stays open afterwards. Throws DatabaseError
// carrying the engine's message and the statement. `stop` is asked every few
// thousand rows read; once it says stop, DatabaseError says the statement was stopped.
std::shared_ptr<QueryResult> RunStatement(const QString &directory, const QString &sql, const StopCheck &stop = {});

} // namespace phonebook
