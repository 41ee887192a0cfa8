// grid-bench: how fast a result grid loads pages and repaints while the user
// pages through the full list of individuals, and what an unloaded row costs.
//
//   grid-bench [--dir DIR] [--persons N] [--step-rows N]
//
// DIR holding sp09kw_n.dbf is used as it is; without it a directory of N
// individuals (default 1 000 000) is written to a temporary folder first.
// Run on the offscreen platform (QT_QPA_PLATFORM=offscreen) for repeatable figures.

#include "Dataset.h"
#include "FillRoutines.h"
#include "GridLayouts.h"
#include "GridTestAccess.h"
#include "ResultGrid.h"
#include "ResultGridModel.h"
#include "SampleDirectory.h"
#include "TableFiles.h"
#include "UHelpFull.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace Qt::StringLiterals;
using namespace phonebook;

namespace {

constexpr double PageBudgetMs = 2.0;
constexpr double RepaintBudgetMs = 16.0;

double ms(qint64 ns)
{
    return static_cast<double>(ns) / 1e6;
}

// CPU time of this thread: what the work itself costs, without the time the
// scheduler gave to other programs (the figures are taken on shared machines).
qint64 cpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<qint64>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// Resident memory of this process in bytes.
qint64 residentBytes()
{
    QFile statm(u"/proc/self/statm"_s);
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = statm.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toLongLong() * 4096 : 0;
}

struct Stats {
    std::vector<double> samples;
    void add(double value) { samples.push_back(value); }
    double percentile(double p)
    {
        if (samples.empty())
            return 0;
        std::sort(samples.begin(), samples.end());
        const size_t at = std::min(samples.size() - 1, static_cast<size_t>(p * static_cast<double>(samples.size())));
        return samples[at];
    }
    double max() { return samples.empty() ? 0 : *std::max_element(samples.begin(), samples.end()); }
    double mean()
    {
        double sum = 0;
        for (double s : samples)
            sum += s;
        return samples.empty() ? 0 : sum / static_cast<double>(samples.size());
    }
};

// A result of many rows whose text costs nothing: what the grid itself keeps per row.
class CheapSource : public RowSource {
public:
    explicit CheapSource(int rows)
        : m_rows(rows)
    {
    }
    int rowCount() const override { return m_rows; }
    int columnCount() const override { return 5; }
    QString columnName(int column) const override
    {
        static const QStringList names{u"nt"_s, u"fio"_s, u"street"_s, u"hous"_s, u"flat"_s};
        return names.value(column);
    }
    QString text(int, int) const override { return u"1"_s; }

private:
    int m_rows;
};

class CheapDataset : public Dataset {
public:
    explicit CheapDataset(int rows)
        : m_rows(rows)
    {
    }
    void Open() override { setSource(std::make_shared<CheapSource>(m_rows)); }

private:
    int m_rows;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption dirOption(u"dir"_s, u"Directory holding sp09kw_n.dbf."_s, u"DIR"_s);
    const QCommandLineOption personsOption(u"persons"_s, u"Individuals to generate without --dir."_s, u"N"_s,
                                           u"1000000"_s);
    const QCommandLineOption stepOption(u"step-rows"_s, u"Rows per scroll step (default: one page of the view)."_s,
                                        u"N"_s, u"0"_s);
    const QCommandLineOption maxStepsOption(u"max-steps"_s, u"Stop after this many scroll steps (default: the whole list)."_s,
                                            u"N"_s, u"0"_s);
    parser.addOptions({dirOption, personsOption, stepOption, maxStepsOption});
    parser.process(app);

    QTemporaryDir scratch;
    QString directory = parser.value(dirOption);
    if (directory.isEmpty() || FindTableFile(directory, u"sp09kw_n"_s).isEmpty()) {
        if (directory.isEmpty())
            directory = scratch.path();
        sample::SampleOptions options;
        options.directory = directory;
        options.persons = parser.value(personsOption).toInt();
        options.orgNumbers = 1000;
        QElapsedTimer writing;
        writing.start();
        sample::WriteSampleDirectory(options);
        std::printf("wrote %d individuals to %s in %.0f ms\n", options.persons, qPrintable(directory),
                    ms(writing.nsecsElapsed()));
    }

    // --- memory per unloaded row ---------------------------------------------
    {
        constexpr int Rows = 1'000'000;
        ResultGrid grid;
        grid.resize(1280, 960);
        CheapDataset small(1);
        small.Open();
        FillPersonGridPaged(grid, small);
        const qint64 before = residentBytes();
        CheapDataset large(Rows);
        large.Open();
        FillPersonGridPaged(grid, large);
        const qint64 after = residentBytes();
        const double perRow = static_cast<double>(after - before) / Rows;
        std::printf("memory per unloaded row: %.1f bytes (the model's own count: %zu)\n", perRow,
                    ResultGridModel::bytesPerUnloadedRow());
    }

    TableCursor table;
    table.SetDirectory(directory);
    table.SetTableName(u"sp09kw_n"_s);
    table.Open();
    const int rows = table.RecordCount();

    ResultGrid grid;
    grid.resize(1280, 960); // a maximised main window's grid
    grid.show();
    QCoreApplication::processEvents();

    QProgressBar bar;
    bar.setRange(0, 200);
    bar.setValue(0);
    QElapsedTimer timer;
    timer.start();
    FillPersonGridPaged(grid, table, &bar);
    const double fillMs = ms(timer.nsecsElapsed());
    std::printf("rows: %d; first page fill (FillPersonGridPaged, sized for all rows): %.2f ms\n", rows, fillMs);

    // --- page loads, against reading and deciphering the same rows directly ---
    {
        std::shared_ptr<const RowSource> source = table.Source();
        const std::vector<int> columns{source->columnIndex(u"nt"), source->columnIndex(u"fio"),
                                       source->columnIndex(u"street"), source->columnIndex(u"hous"),
                                       source->columnIndex(u"flat")};
        QRandomGenerator random(7);
        Stats load;
        Stats loadCpu;
        Stats reference;
        for (int i = 0; i < 2000; ++i) {
            const int row = 200 + static_cast<int>(random.bounded(static_cast<quint32>(rows - 300)));
            if (grid.IsRowLoaded(row))
                continue;
            timer.restart();
            QStringList sink;
            for (int r = row - 1; r < std::min(row - 1 + PersonPageRows, rows); ++r)
                for (int c : columns)
                    sink.append(DecodeText(source->text(r, c), CipherKey));
            reference.add(ms(timer.nsecsElapsed()));
            const qint64 cpuStart = cpuNs();
            timer.restart();
            grid.LoadPageAt(row);
            load.add(ms(timer.nsecsElapsed()));
            loadCpu.add(ms(cpuNs() - cpuStart));
        }
        std::printf("page load (%d rows), wall clock: mean %.3f ms, p99 %.3f ms, max %.3f ms\n", PersonPageRows,
                    load.mean(), load.percentile(0.99), load.max());
        std::printf("  thread CPU time: mean %.3f ms, p99 %.3f ms, max %.3f ms (budget %.1f ms) %s\n", loadCpu.mean(),
                    loadCpu.percentile(0.99), loadCpu.max(), PageBudgetMs, loadCpu.max() <= PageBudgetMs ? "OK" : "OVER");
        std::printf("  reference, reading and deciphering the same rows: mean %.3f ms; ratio %.2f\n",
                    reference.mean(), load.mean() / std::max(reference.mean(), 1e-9));
    }

    // --- paging through the whole list with the view --------------------------
    {
        table.First();
        FillPersonGridPaged(grid, table);
        grid.SetCurrentCell(1, 1);
        grid.verticalScrollBar()->setValue(0);
        QCoreApplication::processEvents();
        QScrollBar *bar = grid.verticalScrollBar();
        int step = parser.value(stepOption).toInt();
        if (step <= 0)
            step = bar->pageStep();
        Stats repaint;
        Stats repaintCpu;
        Stats withLoad;
        int loadsBefore = GridTestAccess::pageLoads(grid);
        QElapsedTimer total;
        total.start();
        const int maxSteps = parser.value(maxStepsOption).toInt();
        for (int value = 0;; value += step) {
            if (maxSteps > 0 && static_cast<int>(repaint.samples.size()) >= maxSteps)
                break;
            value = std::min(value, bar->maximum());
            const qint64 cpuStart = cpuNs();
            timer.restart();
            bar->setValue(value); // schedules the repaint of the view
            QCoreApplication::processEvents();
            const double took = ms(timer.nsecsElapsed());
            repaint.add(took);
            repaintCpu.add(ms(cpuNs() - cpuStart));
            if (GridTestAccess::pageLoads(grid) != loadsBefore)
                withLoad.add(took);
            loadsBefore = GridTestAccess::pageLoads(grid);
            if (value == bar->maximum())
                break;
        }
        std::printf("paging through %d rows, %d rows a step, %zu repaints in %.1f s (view %dx%d, %d rows in view)\n",
                    rows, step, repaint.samples.size(), ms(total.nsecsElapsed()) / 1000, grid.width(),
                    grid.height(), bar->pageStep());
        std::printf("  repaint, wall clock: mean %.2f ms, p99 %.2f ms, max %.2f ms\n", repaint.mean(),
                    repaint.percentile(0.99), repaint.max());
        std::printf("  thread CPU time per repaint: mean %.2f ms, p99 %.2f ms, max %.2f ms (budget %.0f ms) %s\n",
                    repaintCpu.mean(), repaintCpu.percentile(0.99), repaintCpu.max(), RepaintBudgetMs,
                    repaintCpu.max() < RepaintBudgetMs ? "OK" : "OVER");
        std::printf("  repaints that loaded a page: %zu, mean %.2f ms, max %.2f ms\n", withLoad.samples.size(),
                    withLoad.mean(), withLoad.max());
        std::printf("  loaded rows at the end: %d of %d; resident memory then %.0f MB\n", GridTestAccess::loadedRowCount(grid), rows,
                    static_cast<double>(residentBytes()) / 1e6);

        // Reference: the same repaints over rows already loaded, with the grid's
        // cell painter and with the general item delegate of the toolkit.
        auto paintPass = [&](int steps) {
            Stats pass;
            for (int i = 0; i < steps; ++i) {
                timer.restart();
                bar->setValue((i * step) % std::max(1, bar->maximum()));
                QCoreApplication::processEvents();
                pass.add(ms(timer.nsecsElapsed()));
            }
            return pass;
        };
        constexpr int ReferenceSteps = 1000;
        QAbstractItemDelegate *own = grid.itemDelegate();
        Stats ownPass = paintPass(ReferenceSteps);
        QStyledItemDelegate general;
        grid.setItemDelegate(&general);
        Stats generalPass = paintPass(ReferenceSteps);
        grid.setItemDelegate(own);
        std::printf("  repaint of loaded rows: grid's cell painter mean %.2f ms, general delegate mean %.2f ms; "
                    "ratio %.2f\n",
                    ownPass.mean(), generalPass.mean(), ownPass.mean() / std::max(generalPass.mean(), 1e-9));
    }
    return 0;
}
