// phonebook-find: searches the directory's tables from the command line.

#include "CoreTranslation.h"
#include "DatabaseError.h"
#include "FindCommands.h"
#include "SqlEngine.h"
#include "UpdateSwap.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <thread>

#include <pthread.h>

using namespace Qt::StringLiterals;
using namespace phonebook;

namespace {

int Fail(const QString &message)
{
    std::fprintf(stderr, "phonebook-find: %s\n", qUtf8Printable(message));
    return find::Failed;
}

// Memory the engine may take for a statement unless --memory says otherwise.
constexpr int64_t DefaultMemoryLimit = int64_t{1} << 30;

// "SIZE" of --memory: bytes, or a number with K, M or G (binary); -1 when unreadable.
int64_t MemorySize(QString text)
{
    text = text.trimmed().toUpper();
    int shift = 0;
    if (text.endsWith(u'K'))
        shift = 10;
    else if (text.endsWith(u'M'))
        shift = 20;
    else if (text.endsWith(u'G'))
        shift = 30;
    if (shift > 0)
        text.chop(1);
    bool ok = false;
    const qint64 number = text.toLongLong(&ok);
    if (!ok || number <= 0 || number > (int64_t{1} << (62 - shift)))
        return -1;
    return number << shift;
}

// Ctrl+C: SIGINT is taken by a thread of its own (never in a signal
// handler), which stops the running statement; a second Ctrl+C ends the
// program at once. Called before any other thread starts, so that every
// thread leaves SIGINT to that one.
void WatchInterrupt()
{
    struct sigaction inherited;
    if (sigaction(SIGINT, nullptr, &inherited) != 0 || inherited.sa_handler == SIG_IGN)
        return; // started to ignore Ctrl+C (in the background): it still does
    sigset_t interrupt;
    sigemptyset(&interrupt);
    sigaddset(&interrupt, SIGINT);
    if (pthread_sigmask(SIG_BLOCK, &interrupt, nullptr) != 0)
        return;
    std::thread([interrupt] {
        int signal = 0;
        if (sigwait(&interrupt, &signal) != 0)
            return;
        InterruptStatements();
        if (sigwait(&interrupt, &signal) == 0)
            std::_Exit(find::Interrupted);
    }).detach();
}

// A text of --help in the user's language (English when there is no translation).
QString Help(const char *text) { return QCoreApplication::translate("phonebook-find", text); }

QString VerbList()
{
    QString text = Help("Verbs:") + u'\n';
    for (const find::Verb &verb : find::Verbs())
        text += u"  %1 %2\n      %3\n"_s.arg(QLatin1StringView(verb.name), QLatin1StringView(verb.arguments), Help(verb.summary));
    return text;
}

} // namespace

int main(int argc, char *argv[])
{
    WatchInterrupt();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"phonebook-find"_s);
    InstallCoreTranslation(QLocale::system()); // the core's messages in the user's language

    QCommandLineParser parser;
    parser.setApplicationDescription(
        Help("Searches the telephone directory's tables.") + u"\n\n"_s + VerbList() + u'\n'
        + Help("Values print as UTF-8, one row a line, tab-separated; a tab, line break or backslash\n"
               "inside a value prints as \\t, \\n or \\\\. Rows print as the statement finds them. Exit status:\n"
               "0 rows found, 1 none, 2 an error, 130 stopped by Ctrl+C."));
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    parser.addHelpOption();
    const QCommandLineOption dirOption(u"dir"_s, Help("Folder of the table files (default: the folder of this program)."), u"DIR"_s);
    const QCommandLineOption rawOption(u"raw"_s, Help("Print values as stored (enciphered)."));
    const QCommandLineOption headerOption(u"header"_s, Help("Print the field names first."));
    const QCommandLineOption memoryOption(
        u"memory"_s, Help("Most memory a statement may take: bytes, or a number with K, M or G (default 1G)."), u"SIZE"_s);
    parser.addOptions({dirOption, rawOption, headerOption, memoryOption});
    parser.addPositionalArgument(u"verb"_s, Help("What to do (see Verbs)."), u"VERB ARGUMENTS..."_s);
    if (!parser.parse(QCoreApplication::arguments()))
        return Fail(parser.errorText());
    if (parser.isSet(u"help"_s) || parser.isSet(u"help-all"_s)) {
        std::fputs(qUtf8Printable(parser.helpText()), stdout);
        return find::Found;
    }

    const int64_t memory = parser.isSet(memoryOption) ? MemorySize(parser.value(memoryOption)) : DefaultMemoryLimit;
    if (memory < 0)
        return Fail(u"--memory takes a size such as 512M or 2G, not \"%1\""_s.arg(parser.value(memoryOption)));
    LimitStatementMemory(memory);

    QStringList arguments = parser.positionalArguments();
    if (arguments.isEmpty())
        return Fail(u"no verb given (see --help)"_s);
    const QString name = arguments.takeFirst();
    const find::Verb *verb = find::FindVerb(name);
    if (!verb)
        return Fail(u"unknown verb \"%1\" (see --help)"_s.arg(name));
    if (arguments.size() < verb->minArguments)
        return Fail(u"usage: phonebook-find [--dir DIR] [--raw] [--header] %1 %2"_s.arg(
            QLatin1StringView(verb->name), QLatin1StringView(verb->arguments)));

    find::FindContext context;
    context.directory = parser.isSet(dirOption) ? parser.value(dirOption) : QCoreApplication::applicationDirPath();
    context.raw = parser.isSet(rawOption);
    context.header = parser.isSet(headerOption);
    // Searching never changes the folder: an interrupted update is only told of,
    // and what is there is read (the program or phonebook-update finishes it).
    if (update::UpdateWasInterrupted(context.directory))
        std::fprintf(stderr, "phonebook-find: %s\n",
                     qUtf8Printable(u"обновление справочника в этой папке было прервано; читаются таблицы, какие есть"_s));
    try {
        find::Output out(stdout);
        const int status = verb->run(context, arguments, out);
        out.flush();
        if (StatementsInterrupted()) {
            std::fprintf(stderr, "phonebook-find: interrupted\n");
            return find::Interrupted;
        }
        if (out.failed())
            return Fail(u"cannot write the output: %1"_s.arg(QString::fromLocal8Bit(std::strerror(out.error()))));
        return status;
    } catch (const DatabaseError &e) {
        std::fflush(stdout);
        if (StatementsInterrupted()) {
            std::fprintf(stderr, "phonebook-find: interrupted\n");
            return find::Interrupted;
        }
        return Fail(e.fullText());
    } catch (const std::exception &e) {
        std::fflush(stdout);
        return Fail(QString::fromLocal8Bit(e.what()));
    }
}
