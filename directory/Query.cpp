#include "Dataset.h"

#include "QueryResult.h"
#include "SqlEngine.h"

namespace phonebook {

void Query::AddSql(const QString &line) { m_sql.append(line); }

void Query::Open() { Open(StopCheck{}); }

void Query::Open(const StopCheck &stop)
{
    Close();
    setSource(RunStatement(Directory(), Sql(), stop));
}

} // namespace phonebook
