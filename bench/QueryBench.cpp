// bench-query DIR STATEMENT [REPEATS]: runs one statement through a Query
// dataset as the windows do, and prints its row count and times. The first
// run is what a search costs in a fresh program; REPEATS more runs in the
// same process give the warm time (their median).

#include "BenchCommon.h"
#include "DatabaseError.h"
#include "Dataset.h"
#include "QueryResult.h"

#include <QCoreApplication>

using namespace phonebook;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        bench::Usage("bench-query DIR STATEMENT [REPEATS]");
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const QString sql = QString::fromLocal8Bit(argv[2]);
    const int repeats = argc > 3 ? std::atoi(argv[3]) : 0;
    try {
        Query query;
        query.SetDirectory(dir);
        query.AddSql(sql);
        QElapsedTimer timer;
        timer.start();
        query.Open();
        const int rows = query.RecordCount();
        const double first = bench::Milliseconds(timer);
        size_t bytes = 0;
        if (const auto *result = dynamic_cast<const QueryResult *>(query.Source().get()))
            bytes = result->memoryUsed();
        std::vector<double> again;
        for (int i = 0; i < repeats; ++i) {
            query.Close();
            timer.restart();
            query.Open();
            again.push_back(bench::Milliseconds(timer));
        }
        std::printf("rows %d first_ms %.2f again_ms %.2f result_bytes %zu\n", rows, first,
                    repeats > 0 ? bench::Median(again) : first, bytes);
    } catch (const DatabaseError &e) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(e.fullText()));
        return 2;
    }
    return 0;
}
