// Times the tool-bar searches as a user meets them: from the answer given to
// the result grid painted, in the real main window on the offscreen platform.
//
//   search-bench DIR [ROUNDS]     DIR holds sp09kw_n.dbf and sp09pr_n.dbf
//
// Prints one line per search, tab-separated: name, answer, rows, median ms,
// slowest ms, the median of the same search through the core alone (no
// window), then the statements the search ran (for bench/run.sh to time them
// with the sqlite3 shell on the plain tables).

#include "Dataset.h"
#include "Dialogs.h"
#include "ResultGrid.h"
#include "SearchButtons.h"
#include "Searches.h"
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
    const char *name;
    QString answer;
    bool orgs;
    int button;
};

QString FirstStored(const QString &dir, const QString &sql)
{
    Query query;
    query.SetDirectory(dir);
    query.AddSql(sql);
    query.Open();
    return query.RecordCount() > 0 ? DecodeText(query.Field(0), CipherKey).trimmed() : QString();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const auto [dir, rounds] = bench::ParseWindowBenchArgs(argc, argv, "search-bench DIR [ROUNDS]");
    const std::unique_ptr<TFrmMain> mainWindow = bench::ShowMainWindow(dir);
    TFrmMain &main = *mainWindow;

    const QString personNumber = FirstStored(dir, QStringLiteral("SELECT nt FROM sp09kw_n"));
    const QString orgNumber = FirstStored(dir, QStringLiteral("SELECT nt FROM sp09pr_n"));
    const std::vector<Case> cases = {
        {"phone, three-digit prefix", personNumber.left(3), false, 1},
        {"surname ГОНЧАРОВ", QStringLiteral("ГОНЧАРОВ"), false, 2},
        {"surname ИВАНОВ", QStringLiteral("ИВАНОВ"), false, 2},
        {"organisation's number", orgNumber, true, 1},
        {"phone \"%\", every individual", QStringLiteral("%"), false, 1},
    };
    for (const Case &c : cases) {
        std::vector<double> times;
        for (int round = 0; round < rounds; ++round) {
            if (c.orgs)
                main.ShowOrgsSide();
            else
                main.ShowPersonsSide();
            QApplication::processEvents();
            Dialogs::QueueInputAnswer(c.answer);
            QElapsedTimer clock;
            clock.start();
            if (c.button == 1)
                SpeedButton1Click(main.Session(), &main);
            else
                SpeedButton2Click(main.Session(), &main, main.Edit1());
            main.SGTemp().viewport()->repaint();
            times.push_back(bench::Milliseconds(clock));
        }
        if (!Dialogs::TakeShownMessages().isEmpty()) {
            std::fprintf(stderr, "search-bench: %s found nothing\n", c.name);
            return 2;
        }
        std::printf("%s\t%s\t%d\t%.1f\t%.1f", c.name, qUtf8Printable(c.answer), main.QTemp().RecordCount(),
                    bench::Median(times), *std::max_element(times.begin(), times.end()));
        // The same search through the core alone: its statements, and its time without the window.
        Query query;
        query.SetDirectory(dir);
        const auto run = [&] {
            return c.orgs ? search::PhoneSearchOrgs(query, c.answer)
                 : c.button == 1 ? search::PhoneSearchPersons(query, c.answer)
                                 : search::SurnameSearch(query, c.answer);
        };
        std::vector<double> coreTimes;
        search::SearchOutcome outcome;
        for (int round = 0; round < rounds; ++round) {
            QElapsedTimer clock;
            clock.start();
            outcome = run();
            coreTimes.push_back(bench::Milliseconds(clock));
        }
        std::printf("\t%.1f", bench::Median(coreTimes));
        for (const QString &statement : outcome.statements)
            std::printf("\t%s", qUtf8Printable(statement));
        std::printf("\n");
        std::fflush(stdout);
    }
    return 0;
}
