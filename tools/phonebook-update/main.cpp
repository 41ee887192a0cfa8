// phonebook-update: installs a new edition of the directory from an update
// archive, from a terminal, with the same steps as the program's dialog.

#include "CoreTranslation.h"
#include "UpdateRun.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLocale>
#include <QTimer>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace phonebook;

namespace {

enum Exit { Replaced = 0, Kept = 1, Failed = 2 };

void Say(const QString &line)
{
    std::fprintf(stderr, "%s\n", qUtf8Printable(line));
}

int Fail(const QString &message)
{
    Say(u"phonebook-update: "_s + message);
    return Failed;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"phonebook-update"_s);
    // The same messages as the program's dialog: the table reader's faults in Russian too.
    InstallCoreTranslation(QLocale(QLocale::Russian));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Installs a new edition of the telephone directory from an update archive: the archive is\n"
        "copied beside the tables, the tables are set aside as .old copies, the archive delivers new\n"
        "ones, and each table that was not delivered soundly is put back.\n"
        "Progress and messages go to stderr. Exit status: 0 both tables replaced, 1 one or both\n"
        "kept, 2 an error (nothing replaced)."_s);
    parser.addHelpOption();
    const QCommandLineOption dirOption(u"dir"_s, u"Folder of the table files (default: the folder of this program)."_s, u"DIR"_s);
    const QCommandLineOption timeoutOption(u"timeout"_s, u"Stop an archive that runs longer (default: 600)."_s, u"SECONDS"_s);
    parser.addOptions({dirOption, timeoutOption});
    parser.addPositionalArgument(u"archive"_s, u"The update archive (up*.exe, or a ZIP, RAR or 7-Zip file)."_s);
    if (!parser.parse(QCoreApplication::arguments()))
        return Fail(parser.errorText());
    if (parser.isSet(u"help"_s)) {
        std::fputs(qUtf8Printable(parser.helpText()), stdout);
        return Replaced;
    }
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 1)
        return Fail(u"usage: phonebook-update [--dir DIR] [--timeout SECONDS] ARCHIVE"_s);

    update::UpdateRun run(parser.isSet(dirOption) ? parser.value(dirOption) : QCoreApplication::applicationDirPath());
    if (parser.isSet(timeoutOption)) {
        bool ok = false;
        const double seconds = parser.value(timeoutOption).toDouble(&ok);
        if (!ok || seconds <= 0)
            return Fail(u"--timeout wants a number of seconds above 0, not \"%1\""_s.arg(parser.value(timeoutOption)));
        run.SetTimeLimit(std::chrono::milliseconds(static_cast<qint64>(seconds * 1000)));
    }

    int lastPercent = -2;
    QObject::connect(&run, &update::UpdateRun::Step, &app, [&lastPercent](const QString &text) {
        Say(text + u"..."_s);
        lastPercent = -2;
    });
    QObject::connect(&run, &update::UpdateRun::Progress, &app, [&lastPercent](int percent) {
        // Every tenth, so that a log stays short.
        if (percent >= 0 && percent / 10 != lastPercent / 10 && percent > 0) {
            Say(u"  %1%"_s.arg(percent));
            lastPercent = percent;
        }
    });
    QObject::connect(&run, &update::UpdateRun::Finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    QTimer::singleShot(0, &run, [&run, &arguments] { run.Start(arguments.first()); });
    QCoreApplication::exec();

    const update::UpdateOutcome &outcome = run.Outcome();
    for (const QString &detail : outcome.details)
        Say(detail);
    for (const QString &message : outcome.Messages())
        Say(message);
    switch (outcome.status) {
    case update::UpdateOutcome::Status::Replaced:
        Say(u"Обе таблицы заменены."_s);
        return Replaced;
    case update::UpdateOutcome::Status::Kept:
        return Kept;
    case update::UpdateOutcome::Status::Error:
        break;
    }
    return Failed;
}
