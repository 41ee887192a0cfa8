// Long work asked to stop: a statement looks at its stop check every few
// thousand rows, and once told to stop gives no result, not part of one,
// whether the engine or the table itself orders the rows.

#include "DatabaseError.h"
#include "QueryResult.h"
#include "SqlEngine.h"

#include "../support/TableFixtures.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

using namespace phonebook;
using namespace phonebook::fixtures;

TEST(StopWork, AStatementLooksEveryFewThousandRowsAndStopsWhenTold)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    constexpr int Rows = 20000;
    std::vector<Row> rows;
    for (int i = 0; i < Rows; ++i)
        rows.push_back({{QString::number(1000000 + i), QStringLiteral("NAME %1").arg(i % 700)}});
    WriteTable(QDir(dir.path()).filePath(QStringLiteral("t.dbf")), CharFields({{"nt", 7}, {"fio", 20}}), rows);

    int looks = 0;
    const auto all = RunStatement(dir.path(), QStringLiteral("SELECT nt, fio FROM t"), [&looks] {
        ++looks;
        return false;
    });
    EXPECT_EQ(all->rowCount(), Rows);
    EXPECT_GE(looks, Rows / 4096);

    for (const QString &sql : {QStringLiteral("SELECT nt, fio FROM t"), QStringLiteral("SELECT DISTINCT fio FROM t ORDER BY fio"),
                               QStringLiteral("SELECT nt FROM t ORDER BY nt DESC"),
                               QStringLiteral("SELECT fio, count(*) FROM t GROUP BY fio ORDER BY 2")}) {
        int asked = 0;
        try {
            RunStatement(dir.path(), sql, [&asked] { return ++asked > 1; });
            ADD_FAILURE() << "not stopped: " << sql.toStdString();
        } catch (const DatabaseError &error) {
            EXPECT_EQ(error.message(), QStringLiteral("The statement was stopped.")) << sql.toStdString();
        }
    }
    // A check that never says stop changes nothing.
    EXPECT_EQ(RunStatement(dir.path(), QStringLiteral("SELECT DISTINCT fio FROM t ORDER BY fio"), [] { return false; })->rowCount(), 700);
}
