// bench-decode DIR TABLE [ROUNDS]: DecodeText on every character cell of a
// table's live records, beside the floor of reading the same cells as text
// without deciphering them. Prints nanoseconds per cell for both (medians of
// ROUNDS passes).

#include "BenchCommon.h"
#include "DatabaseError.h"
#include "DbfTable.h"
#include "TableFiles.h"
#include "UHelpFull.h"

#include <QCoreApplication>

using namespace phonebook;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        bench::Usage("bench-decode DIR TABLE [ROUNDS]");
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    try {
        const Result<QString> found = FindTableFile(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
        const QString path = found ? found.Value() : QString();
        if (path.isEmpty())
            throw DatabaseError(QStringLiteral("No such table"), QString::fromLocal8Bit(argv[2]));
        const auto table = DbfTable::open(path);
        const int fields = static_cast<int>(table->fields().size());
        const uint32_t records = table->liveCount();
        // Texts read once, so that the decode pass measures DecodeText alone.
        std::vector<QString> cells;
        cells.reserve(static_cast<size_t>(records) * static_cast<size_t>(fields));
        std::vector<double> readTimes, decodeTimes;
        qsizetype checksum = 0;
        for (int round = 0; round < rounds; ++round) {
            cells.clear();
            QElapsedTimer timer;
            timer.start();
            for (uint32_t live = 0; live < records; ++live) {
                const uint32_t r = table->liveRecord(live);
                for (int f = 0; f < fields; ++f)
                    cells.push_back(table->text(r, f));
            }
            readTimes.push_back(bench::Milliseconds(timer));
            timer.restart();
            for (const QString &cell : cells)
                checksum += DecodeText(cell, CipherKey).size();
            decodeTimes.push_back(bench::Milliseconds(timer));
        }
        const double perCell = 1e6 / static_cast<double>(std::max<size_t>(cells.size(), 1));
        std::printf("cells %zu read_ns %.1f decode_ns %.1f checksum %lld\n", cells.size(),
                    bench::Median(readTimes) * perCell, bench::Median(decodeTimes) * perCell,
                    static_cast<long long>(checksum));
    } catch (const DatabaseError &e) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(e.fullText()));
        return 2;
    }
    return 0;
}
