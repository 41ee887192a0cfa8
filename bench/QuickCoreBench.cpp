// bench-quick DIR [ROUNDS]: the quick search without the window, typed
// letter by letter through one QuickSearcher as the search box does, each
// result's first screen of rows read as the grid paints it. Prints
// one line per keystroke, tab-separated: side, text, rows, narrowed (1/0),
// median ms, slowest ms, the step of the rule that gave the rows (exact,
// layout, slips). The indexes are built once, before the timing; their
// building time and the bytes they keep besides the tables go to stderr.

#include "BenchCommon.h"
#include "Dataset.h"
#include "QuickSearch.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace phonebook;
using namespace phonebook::search;

namespace {

// Reads and writes more memory than the caches hold, as painting the window
// between two keystrokes does, so that a search starts cold.
void EvictCaches()
{
    static std::vector<uint64_t> sweep(64u << 20 >> 3, 1);
    for (size_t i = 0; i < sweep.size(); i += 8)
        sweep[i] += 1;
}

// Reads every cell of the rows a window shows first.
void ReadFirstScreen(const RowSource &rows)
{
    constexpr int ScreenRows = 40;
    size_t length = 0;
    for (int r = 0; r < std::min(ScreenRows, rows.rowCount()); ++r) {
        for (int c = 0; c < rows.columnCount(); ++c)
            length += static_cast<size_t>(rows.text(r, c).size());
    }
    if (length == SIZE_MAX)
        std::abort(); // keeps the reading
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        bench::Usage("bench-quick DIR [ROUNDS]");
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    const bool cold = qEnvironmentVariableIsSet("BENCH_COLD");
    QuickSearcher searcher(dir);
    for (const QuickSide side : {QuickSide::Persons, QuickSide::Orgs}) {
        QElapsedTimer clock;
        clock.start();
        const auto index = searcher.Index(side);
        std::fprintf(stderr, "index of %s: built in %.0f ms, %.1f MB besides the table, %zu distinct words\n",
                     side == QuickSide::Persons ? "individuals" : "organisations", bench::Milliseconds(clock),
                     static_cast<double>(index->MemoryBytes()) / 1e6, index->WordCount());
    }
    const std::vector<std::pair<QuickSide, QString>> cases = {
        {QuickSide::Persons, QStringLiteral("иванов")},
        {QuickSide::Persons, QStringLiteral("гончаров")},
        {QuickSide::Persons, QStringLiteral("6792")},
        {QuickSide::Orgs, QStringLiteral("магазин")},
        {QuickSide::Persons, QStringLiteral("ujyxfhjd")},
        {QuickSide::Persons, QStringLiteral("гончраов")},
        {QuickSide::Persons, QStringLiteral("ujyxhfjd")},
        {QuickSide::Orgs, QStringLiteral("vfufpby")},
        {QuickSide::Orgs, QStringLiteral("мгазин")},
        {QuickSide::Persons, QStringLiteral("петрова анна")},
        {QuickSide::Persons, QStringLiteral("григорьев-лесн")},
        {QuickSide::Persons, QStringLiteral("14")},
    };
    for (const auto &[side, text] : cases) {
        const auto letters = static_cast<size_t>(text.size());
        std::vector<std::vector<double>> times(letters);
        std::vector<int> rows(letters);
        std::vector<bool> narrowed(letters);
        std::vector<QuickStep> steps(letters);
        for (int round = 0; round < rounds; ++round) {
            for (size_t i = 0; i < letters; ++i) {
                if (cold)
                    EvictCaches();
                QElapsedTimer clock;
                clock.start();
                const std::optional<QuickResult> result = searcher.Search(side, QStringView(text).left(static_cast<qsizetype>(i + 1)));
                if (result && result->rows)
                    ReadFirstScreen(*result->rows);
                times[i].push_back(bench::Milliseconds(clock));
                rows[i] = result ? result->count : -1;
                narrowed[i] = result && result->narrowed;
                steps[i] = result ? result->step : QuickStep::Exact;
            }
        }
        for (size_t i = 0; i < letters; ++i) {
            const char *step = steps[i] == QuickStep::Exact ? "exact" : steps[i] == QuickStep::Layout ? "layout" : "slips";
            std::printf("%s\t%s\t%d\t%d\t%.1f\t%.1f\t%s\n", side == QuickSide::Persons ? "individuals" : "organisations",
                        qUtf8Printable(text.left(static_cast<qsizetype>(i + 1))), rows[i], narrowed[i] ? 1 : 0,
                        bench::Median(times[i]), *std::max_element(times[i].begin(), times[i].end()), step);
        }
    }
    return 0;
}
