// bench-load-plain DIR OUT.db: copies the stored (enciphered) rows of every
// table file in DIR into plain SQLite tables of the same names and columns
// (TEXT, default collation, no index), the reference the engine is measured
// against. Deleted records are left out and trailing blanks dropped, as the
// engine shows them.

#include "BenchCommon.h"
#include "DatabaseError.h"
#include "DbfTable.h"
#include "TableFiles.h"

#include <QCoreApplication>
#include <QFile>

#include <sqlite3.h>

#include <string>

using namespace phonebook;

namespace {

void Check(sqlite3 *db, int rc, const char *what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw DatabaseError(QStringLiteral("%1: %2").arg(QString::fromUtf8(what), QString::fromUtf8(sqlite3_errmsg(db))));
}

void Exec(sqlite3 *db, const std::string &sql) { Check(db, sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), sql.c_str()); }

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        bench::Usage("bench-load-plain DIR OUT.db");
    const QString out = QString::fromLocal8Bit(argv[2]);
    QFile::remove(out);
    sqlite3 *db = nullptr;
    try {
        if (sqlite3_open(out.toUtf8().constData(), &db) != SQLITE_OK)
            throw DatabaseError(QStringLiteral("Cannot create the database"), out);
        Exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN");
        for (const auto &[name, path] : ListTableFiles(QString::fromLocal8Bit(argv[1]))) {
            const auto table = DbfTable::open(path);
            std::string create = "CREATE TABLE \"" + name.toStdString() + "\" (";
            std::string insert = "INSERT INTO \"" + name.toStdString() + "\" VALUES (";
            for (size_t f = 0; f < table->fields().size(); ++f) {
                create += (f ? ", \"" : "\"") + table->fields()[f].name.toLower().toStdString() + "\" TEXT";
                insert += f ? ", ?" : "?";
            }
            Exec(db, create + ")");
            sqlite3_stmt *statement = nullptr;
            Check(db, sqlite3_prepare_v2(db, (insert + ")").c_str(), -1, &statement, nullptr), "prepare");
            const int fields = static_cast<int>(table->fields().size());
            for (uint32_t live = 0; live < table->liveCount(); ++live) {
                const uint32_t r = table->liveRecord(live);
                for (int f = 0; f < fields; ++f) {
                    const QByteArray text = table->text(r, f).toUtf8();
                    sqlite3_bind_text(statement, f + 1, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
                }
                Check(db, sqlite3_step(statement), "insert");
                sqlite3_reset(statement);
            }
            sqlite3_finalize(statement);
            std::printf("%s: %u rows\n", qUtf8Printable(name), table->liveCount());
        }
        Exec(db, "COMMIT");
        sqlite3_close(db);
    } catch (const DatabaseError &e) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(e.fullText()));
        sqlite3_close(db);
        return 2;
    }
    return 0;
}
