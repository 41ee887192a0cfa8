// The telephone directory: finds its tables and its help beside itself.

#include "CoreTranslation.h"
#include "StartUp.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLocale>

#include <cstdio>
#include <string_view>

namespace {

// --help and --version are answered before any window-system connection is
// made, so that they work without a display and never open a window.
bool AsksForHelpOrVersion(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--")
            break;
        if (argument == "-h" || argument == "--help" || argument == "--help-all" || argument == "-v" || argument == "--version")
            return true;
    }
    return false;
}

int AnswerCommandLine(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("phonebook"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PHONEBOOK_VERSION));
    phonebook::InstallCoreTranslation(QLocale::system()); // the help in the user's language

    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "phonebook",
        "Telephone directory of the city telephone network: finds subscribers by number, name,\n"
        "address, organisation or department, and installs new editions of the directory.\n"
        "The tables sp09kw_n.dbf (individuals) and sp09pr_n.dbf (organisations' numbers) are read\n"
        "from the program's folder. Searches from a terminal: phonebook-find; an update from a\n"
        "terminal: phonebook-update."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    // Options of Qt's own (-platform, -style, ...) are no error here: the window takes them.
    parser.parse(QCoreApplication::arguments());
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(qUtf8Printable(parser.helpText()), stdout);
        return 0;
    }
    std::printf("%s %s\n", qUtf8Printable(QCoreApplication::applicationName()),
                qUtf8Printable(QCoreApplication::applicationVersion()));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (AsksForHelpOrVersion(argc, argv))
        return AnswerCommandLine(argc, argv);
    QApplication app(argc, argv);
    phonebook::PrepareApplication(app);
    const auto mainWindow = phonebook::StartUp(phonebook::ProgramPaths::BesideProgram());
    return phonebook::RunEventLoop(*mainWindow);
}
