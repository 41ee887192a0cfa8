// Times the quick-search box as a user meets it: from a keystroke in the box
// to the result grid painted, in the real main window on the offscreen
// platform, letter by letter.
//
//   quick-bench DIR [ROUNDS]     DIR holds sp09kw_n.dbf and sp09pr_n.dbf
//
// QUICK_BENCH_TEXT, when set, times only the cases that type that text.
//
// Prints one line per keystroke, tab-separated: name, text, rows, median ms,
// slowest ms, then the nearest LIKE statement on the plain tables (for
// bench/run.sh to time with the sqlite3 shell). The first line is the
// building of both indexes, which start-up runs in the background.

#include "Dialogs.h"
#include "QuickSearchBox.h"
#include "ResultGrid.h"
#include "UHelpFull.h"
#include "UMain.h"
#include "WindowBench.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace phonebook;

namespace {

struct Case {
    const char *side;
    QString text;   // typed letter by letter
    bool orgs;
    // The nearest statement for the plain tables, with %1 for the text enciphered (upper case).
    QString nearest;
};

int WaitForResult(QuickSearchBox &box, TFrmMain &main)
{
    // Sleeps until the search's result arrives, as the program's own event
    // loop does: spinning here would take a core from the search's threads.
    while (box.Searching())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    main.SGTemp().viewport()->repaint();
    return main.SGTemp().isHidden() ? 0 : main.SGTemp().RowCount() - 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const auto [dir, rounds] = bench::ParseWindowBenchArgs(argc, argv, "quick-bench DIR [ROUNDS]");
    const std::unique_ptr<TFrmMain> mainWindow = bench::ShowMainWindow(dir);
    TFrmMain &main = *mainWindow;
    QuickSearchBox &box = main.QuickSearch();

    // The first search on each side waits for its index, built once
    // start-up's own background work (the organisation list) is done, as
    // the program starts building them.
    main.Session().WaitForOrgList();
    {
        QElapsedTimer clock;
        clock.start();
        box.setText(QStringLiteral("я"));
        WaitForResult(box, main);
        main.ShowOrgsSide();
        box.setText(QStringLiteral("я"));
        WaitForResult(box, main);
        std::printf("indexes of both sides (background after start-up)\t-\t-\t%.1f\t%.1f\t-\n", bench::Milliseconds(clock),
                    bench::Milliseconds(clock));
        std::fflush(stdout);
    }

    const QString persons = QStringLiteral(
        "SELECT nt,fio,street,hous,flat FROM sp09kw_n WHERE fio LIKE '%1%' ORDER BY fio,nt");
    const QString orgs = QStringLiteral(
        "SELECT nt,naim,mesto,street,hous FROM sp09pr_n WHERE naim LIKE '%%1%' ORDER BY naim,nt");
    const QString phones = QStringLiteral(
        "SELECT nt,fio,street,hous,flat FROM sp09kw_n WHERE nt LIKE '%1%' ORDER BY fio,nt");
    const std::vector<Case> cases = {
        {"individuals", QStringLiteral("иванов"), false, persons},
        {"individuals", QStringLiteral("гончаров"), false, persons},
        {"individuals, number", QStringLiteral("6792"), false, phones},
        {"organisations", QStringLiteral("магазин"), true, orgs},
        // Typed on the Latin layout, with a slip, and both: found by the later steps of the rule.
        {"individuals, Latin layout", QStringLiteral("ujyxfhjd"), false, {}},
        {"individuals, a slip", QStringLiteral("гончраов"), false, {}},
        {"individuals, Latin layout and a slip", QStringLiteral("ujyxhfjd"), false, {}},
        {"organisations, Latin layout", QStringLiteral("vfufpby"), true, {}},
        {"organisations, a slip", QStringLiteral("мгазин"), true, {}},
        {"individuals, two words", QStringLiteral("петрова анна"), false, {}},
        {"individuals, hyphenated", QStringLiteral("григорьев-лесн"), false, {}},
        {"individuals, a house", QStringLiteral("14"), false, {}},
    };
    const QString only = qEnvironmentVariable("QUICK_BENCH_TEXT");
    for (const Case &c : cases) {
        if (!only.isEmpty() && c.text != only)
            continue;
        const int letters = static_cast<int>(c.text.size());
        std::vector<std::vector<double>> times(static_cast<size_t>(letters));
        std::vector<int> rows(static_cast<size_t>(letters));
        for (int round = 0; round < rounds; ++round) {
            if (c.orgs)
                main.ShowOrgsSide();
            else
                main.ShowPersonsSide();
            box.setFocus();
            QApplication::processEvents();
            for (int i = 0; i < letters; ++i) {
                QElapsedTimer clock;
                clock.start();
                box.insert(QString(c.text[i]));
                rows[static_cast<size_t>(i)] = WaitForResult(box, main);
                times[static_cast<size_t>(i)].push_back(bench::Milliseconds(clock));
            }
        }
        for (int i = 0; i < letters; ++i) {
            const QString typed = c.text.left(i + 1);
            const auto &t = times[static_cast<size_t>(i)];
            std::printf("%s, %s\t%s\t%d\t%.1f\t%.1f\t%s\n", c.side, i == 0 ? "first letter" : "extending",
                        qUtf8Printable(typed), rows[static_cast<size_t>(i)], bench::Median(t),
                        *std::max_element(t.begin(), t.end()),
                        c.nearest.isEmpty() ? "-" : qUtf8Printable(c.nearest.arg(EncodeText(typed.toUpper(), CipherKey))));
        }
        std::fflush(stdout);
    }
    return 0;
}
