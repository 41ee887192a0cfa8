// bench-open-count DIR TABLE [REPEATS]: opens a table cursor (the full list
// of individuals) and reads its record count, as the main window does at
// start-up. Prints the first time and the median of REPEATS more.

#include "BenchCommon.h"
#include "DatabaseError.h"
#include "Dataset.h"

#include <QCoreApplication>

using namespace phonebook;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        bench::Usage("bench-open-count DIR TABLE [REPEATS]");
    const int repeats = argc > 3 ? std::atoi(argv[3]) : 0;
    try {
        TableCursor table;
        table.SetDirectory(QString::fromLocal8Bit(argv[1]));
        table.SetTableName(QString::fromLocal8Bit(argv[2]));
        QElapsedTimer timer;
        timer.start();
        table.Open();
        const int rows = table.RecordCount();
        const double first = bench::Milliseconds(timer);
        std::vector<double> again;
        for (int i = 0; i < repeats; ++i) {
            table.Close();
            timer.restart();
            table.Open();
            if (table.RecordCount() != rows)
                return 2;
            again.push_back(bench::Milliseconds(timer));
        }
        std::printf("rows %d first_ms %.2f again_ms %.2f\n", rows, first, repeats > 0 ? bench::Median(again) : first);
    } catch (const DatabaseError &e) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(e.fullText()));
        return 2;
    }
    return 0;
}
