// save-bench: "Сохранить список…" on the full list of individuals: every row
// of the grid's result (one page loaded, the rest read for the file) written
// as CSV, timed; the file is kept for the reference run.
//
//   save-bench DIR OUT.csv [ROUNDS]
//
// Prints "rows N bytes B first_ms F median_ms M". Run on the offscreen platform.

#include "Dataset.h"
#include "FillRoutines.h"
#include "GridCopy.h"
#include "GridExport.h"
#include "ResultGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace phonebook;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: save-bench DIR OUT.csv [ROUNDS]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[2]);
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;

    TableCursor table;
    table.SetDirectory(QString::fromLocal8Bit(argv[1]));
    table.SetTableName(QStringLiteral("sp09kw_n"));
    table.Open();
    ResultGrid grid;
    FillPersonGridPaged(grid, table);

    std::vector<double> times;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer clock;
        clock.start();
        const CsvOutcome outcome = WriteCsvFile(out, AllGridRows(grid), [](int) { return true; });
        times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        if (!outcome.written) {
            std::fprintf(stderr, "save-bench: %s\n", qPrintable(outcome.error));
            return 1;
        }
    }
    const double first = times.front();
    std::sort(times.begin(), times.end());
    std::printf("rows %d bytes %lld first_ms %.1f median_ms %.1f\n", grid.RowCount() - 1,
                static_cast<long long>(QFileInfo(out).size()), first, times[times.size() / 2]);
    return 0;
}
