#include "Dataset.h"

#include "QueryResult.h"
#include "SqlEngine.h"

namespace phonebook {

void Query::AddSql(const QString &line) { m_sql.append(line); }

void Query::Open()
{
    Close();
    setSource(RunStatement(Directory(), Sql()));
}

} // namespace phonebook
