// Times the address and organisation dialogs as a user meets them: loading
// both street lists, and each search from "ОК" to the result grid painted, in
// the real windows on the offscreen platform.
//
//   dialog-bench DIR [ROUNDS]     DIR holds sp09kw_n.dbf and sp09pr_n.dbf
//
// Prints one line per case in search-bench's format: name, what was typed,
// rows, median ms, slowest ms, the median through the core alone, then the
// statements run (for bench/run.sh to time with the sqlite3 shell).

#include "AddressSearch.h"
#include "Dataset.h"
#include "Dialogs.h"
#include "OrgSearch.h"
#include "ResultGrid.h"
#include "StreetBox.h"
#include "UAdress.h"
#include "UMain.h"
#include "UPred.h"
#include "WindowBench.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRadioButton>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

using namespace phonebook;

namespace {

struct Case {
    QString name;
    QString typed;
    std::function<void()> prepare;                           // sets the dialog's boxes and the main window's side
    std::function<void()> run;                               // what "ОК" does
    std::function<search::SearchOutcome(Query &)> core;      // the same through the core alone
};

void Report(const Case &c, int rounds, const QString &dir, TFrmMain &main)
{
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        c.prepare();
        QApplication::processEvents();
        QElapsedTimer clock;
        clock.start();
        c.run();
        main.SGTemp().viewport()->repaint();
        times.push_back(bench::Milliseconds(clock));
    }
    if (!Dialogs::TakeShownMessages().isEmpty()) {
        std::fprintf(stderr, "dialog-bench: %s found nothing\n", qUtf8Printable(c.name));
        std::exit(2);
    }
    std::printf("%s\t%s\t%d\t%.1f\t%.1f", qUtf8Printable(c.name), qUtf8Printable(c.typed), main.QTemp().RecordCount(),
                bench::Median(times), *std::max_element(times.begin(), times.end()));
    Query query;
    query.SetDirectory(dir);
    std::vector<double> coreTimes;
    search::SearchOutcome outcome;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        outcome = c.core(query);
        coreTimes.push_back(bench::Milliseconds(clock));
    }
    std::printf("\t%.1f", bench::Median(coreTimes));
    for (const QString &statement : outcome.statements)
        std::printf("\t%s", qUtf8Printable(statement));
    std::printf("\n");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const auto [dir, rounds] = bench::ParseWindowBenchArgs(argc, argv, "dialog-bench DIR [ROUNDS]");
    const std::unique_ptr<TFrmMain> mainWindow = bench::ShowMainWindow(dir);
    TFrmMain &main = *mainWindow;
    auto *address = new TFrmAdress(main.Session(), &main);
    auto *org = new TFrmPred(main.Session(), &main);

    // The street lists, both, as after start-up or an update.
    {
        std::vector<double> times, coreTimes;
        for (int round = 0; round < rounds; ++round) {
            QElapsedTimer clock;
            clock.start();
            address->ReloadStreets();
            address->WaitForStreets();
            times.push_back(bench::Milliseconds(clock));
            clock.restart();
            const int rows = search::LoadStreetList(dir, Table::Persons).size()
                + search::LoadStreetList(dir, Table::Orgs).size();
            coreTimes.push_back(bench::Milliseconds(clock));
            (void)rows;
        }
        std::printf("street lists, both\t-\t%lld\t%.1f\t%.1f\t%.1f\t%s\t%s\n",
                    static_cast<long long>(address->ComboBox1().streets().size() + address->ComboBox2().streets().size()),
                    bench::Median(times), *std::max_element(times.begin(), times.end()), bench::Median(coreTimes),
                    qUtf8Printable(search::StreetListSql(Table::Persons)),
                    qUtf8Printable(search::StreetListSql(Table::Orgs)));
        std::fflush(stdout);
    }

    const QString street = address->ComboBox1().streets().value(address->ComboBox1().streets().size() / 2);
    const QString orgStreet = address->ComboBox2().streets().value(0);
    const auto persons = [&](QString house, QString flat) {
        return [&main, address, street, house, flat] {
            main.ShowPersonsSide();
            address->ShowPersonsMode();
            address->ComboBox1().setText(street);
            address->Edit1().setText(house);
            address->Edit2().setText(flat);
        };
    };
    const auto orgAddress = [&](QString streetText, QString house) {
        return [&main, address, streetText, house] {
            main.ShowOrgsSide();
            address->ShowOrgsMode();
            address->ComboBox2().setText(streetText);
            address->Edit1().setText(house);
        };
    };
    const auto orgMode = [&](int mode, QString text) {
        return [&main, org, mode, text] {
            main.ShowOrgsSide();
            org->Open();
            org->RadioButton(mode).setChecked(true);
            org->Edit1().setText(text);
        };
    };
    const auto pressAddress = [address] { address->Button1Click(); };
    const auto pressOrg = [org] { org->Button1Click(); };
    using search::OrgSearchMode;

    const std::vector<Case> cases = {
        {QStringLiteral("address: street"), street, persons({}, {}), pressAddress,
         [&](Query &q) { return search::PersonAddressSearch(q, street, u"", u""); }},
        {QStringLiteral("address: street, house 5"), street + QStringLiteral(", 5"), persons(QStringLiteral("5"), {}),
         pressAddress, [&](Query &q) { return search::PersonAddressSearch(q, street, u"5", u""); }},
        {QStringLiteral("address: street, flat 7"), street + QStringLiteral(", кв. 7"), persons({}, QStringLiteral("7")),
         pressAddress, [&](Query &q) { return search::PersonAddressSearch(q, street, u"", u"7"); }},
        {QStringLiteral("address: street, house 5, flat 7"), street + QStringLiteral(", 5, кв. 7"),
         persons(QStringLiteral("5"), QStringLiteral("7")), pressAddress,
         [&](Query &q) { return search::PersonAddressSearch(q, street, u"5", u"7"); }},
        {QStringLiteral("address of organisations: \"ул.\""), QStringLiteral("ул."), orgAddress(QStringLiteral("ул."), {}),
         pressAddress, [&](Query &q) { return search::OrgAddressSearch(q, u"ул.", u""); }},
        {QStringLiteral("address of organisations: street, house 5"), orgStreet + QStringLiteral(", 5"),
         orgAddress(orgStreet, QStringLiteral("5")), pressAddress,
         [&](Query &q) { return search::OrgAddressSearch(q, orgStreet, u"5"); }},
        {QStringLiteral("organisation, mode 1"), QStringLiteral("ЗАВОД"), orgMode(1, QStringLiteral("ЗАВОД")), pressOrg,
         [&](Query &q) { return search::OrgSearch(q, OrgSearchMode::NameStart, u"ЗАВОД"); }},
        {QStringLiteral("organisation, mode 1, empty: every one"), QStringLiteral("(пусто)"), orgMode(1, QString()), pressOrg,
         [&](Query &q) { return search::OrgSearch(q, OrgSearchMode::NameStart, u""); }},
        {QStringLiteral("organisation, mode 2"), QStringLiteral("МАГАЗИН"), orgMode(2, QStringLiteral("МАГАЗИН")),
         pressOrg, [&](Query &q) { return search::OrgSearch(q, OrgSearchMode::NameWord, u"МАГАЗИН"); }},
        {QStringLiteral("organisation, mode 1, second name"), QStringLiteral("ШКОЛА"), orgMode(1, QStringLiteral("ШКОЛА")),
         pressOrg, [&](Query &q) { return search::OrgSearch(q, OrgSearchMode::NameStart, u"ШКОЛА"); }},
        {QStringLiteral("department"), QStringLiteral("БУХГАЛТЕРИЯ"), orgMode(3, QStringLiteral("БУХГАЛТЕРИЯ")),
         pressOrg, [&](Query &q) { return search::OrgSearch(q, OrgSearchMode::Department, u"БУХГАЛТЕРИЯ"); }},
    };
    for (const Case &c : cases)
        Report(c, rounds, dir, main);
    return 0;
}
