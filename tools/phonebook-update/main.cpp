// phonebook-update: installs a new edition of the directory from an update
// archive, from a terminal, with the same steps as the program's dialog.

#include "CoreTranslation.h"
#include "UpdateRun.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace phonebook;

namespace {

enum Exit { Replaced = 0, Kept = 1, Failed = 2 };

void Say(const QString &line)
{
    std::fprintf(stderr, "%s\n", qUtf8Printable(line));
}

// A text of --help in the user's language (English when there is no translation).
QString Help(const char *text) { return QCoreApplication::translate("phonebook-update", text); }

int Fail(const QString &message)
{
    Say(u"phonebook-update: "_s + message);
    return Failed;
}

// SIGINT, SIGTERM and SIGHUP end the archive's process group at once, from
// the handler, then stop the update through the event loop.
int g_signalPipe[2] = {-1, -1};

void OnStopSignal(int signal)
{
    update::KillRunningArchive();
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

void CatchStopSignals()
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"phonebook-update"_s);
    // --help in the user's language; the update's own messages are Russian
    // whatever the locale (below).
    const bool userLanguage = InstallCoreTranslation(QLocale::system());

    QCommandLineParser parser;
    parser.setApplicationDescription(Help(
        "Installs a new edition of the telephone directory from an update archive: the archive is\n"
        "copied beside the tables and delivers new ones into a private folder there; each new table\n"
        "that opens soundly replaces the live one, and any other table stays exactly as it was.\n"
        "An interrupted update is finished (or undone) the next time the folder is opened.\n"
        "Progress and messages go to stderr. Exit status: 0 both tables replaced, 1 one or both\n"
        "kept, 2 an error (nothing replaced)."));
    parser.addHelpOption();
    const QCommandLineOption dirOption(u"dir"_s, Help("Folder of the table files (default: the folder of this program)."), u"DIR"_s);
    const QCommandLineOption timeoutOption(u"timeout"_s, Help("Stop an archive that runs longer: whole seconds from 1 to 86400 (default: 600)."), u"SECONDS"_s);
    parser.addOptions({dirOption, timeoutOption});
    parser.addPositionalArgument(u"archive"_s, Help("The update archive (up*.exe, or a ZIP, RAR or 7-Zip file)."));
    if (!parser.parse(QCoreApplication::arguments()))
        return Fail(parser.errorText());
    if (parser.isSet(u"help"_s)) {
        std::fputs(qUtf8Printable(parser.helpText()), stdout);
        return Replaced;
    }
    // The same messages as the program's dialog: the table reader's faults in Russian too.
    if (!userLanguage)
        InstallCoreTranslation(QLocale(QLocale::Russian));
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 1)
        return Fail(u"usage: phonebook-update [--dir DIR] [--timeout SECONDS] ARCHIVE"_s);

    std::chrono::seconds timeLimit = std::chrono::duration_cast<std::chrono::seconds>(update::DefaultTimeLimit);
    if (parser.isSet(timeoutOption)) {
        const QString text = parser.value(timeoutOption);
        static const QRegularExpression wholeSeconds(u"^[0-9]{1,5}$"_s);
        const int seconds = wholeSeconds.match(text).hasMatch() ? text.toInt() : 0;
        if (seconds < 1 || seconds > update::MaxTimeLimit.count())
            return Fail(u"--timeout wants whole seconds from 1 to %1, not \"%2\""_s.arg(update::MaxTimeLimit.count()).arg(text));
        timeLimit = std::chrono::seconds(seconds);
    }
    update::UpdateRun run(parser.isSet(dirOption) ? parser.value(dirOption) : QCoreApplication::applicationDirPath());
    run.SetTimeLimit(timeLimit);

    CatchStopSignals();
    int stoppedBy = 0;
    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&run, &stoppedBy] {
        unsigned char byte = 0;
        while (::read(g_signalPipe[0], &byte, 1) == 1)
            stoppedBy = byte;
        if (run.Running())
            run.Cancel();
        else
            QCoreApplication::quit();
    });

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
    if (stoppedBy != 0 && !run.Running() && outcome.status == update::UpdateOutcome::Status::Error) {
        Say(outcome.error);
        return 128 + stoppedBy;
    }
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
