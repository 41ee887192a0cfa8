#pragma once
// How every search runs a statement: the query is replaced (closed, its SQL
// cleared, the statement added as one line) and opened, and the statement is
// recorded in the outcome.

#include "Dataset.h"
#include "SearchOutcome.h"

namespace phonebook::search {

inline void ReplaceSql(Query &query, const QString &sql, SearchOutcome &outcome)
{
    query.Close();
    query.ClearSql();
    query.AddSql(sql);
    outcome.statements.append(sql);
    query.Open();
}

} // namespace phonebook::search
