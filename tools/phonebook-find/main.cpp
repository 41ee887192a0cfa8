// phonebook-find: searches the directory's tables from the command line.

#include "CoreTranslation.h"
#include "DatabaseError.h"
#include "FindCommands.h"
#include "UpdateSwap.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <exception>

using namespace Qt::StringLiterals;
using namespace phonebook;

namespace {

int Fail(const QString &message)
{
    std::fprintf(stderr, "phonebook-find: %s\n", qUtf8Printable(message));
    return find::Failed;
}

QString VerbList()
{
    QString text = u"Verbs:\n"_s;
    for (const find::Verb &verb : find::Verbs()) {
        text += u"  %1 %2\n      %3\n"_s.arg(QLatin1StringView(verb.name), QLatin1StringView(verb.arguments),
                                           QLatin1StringView(verb.summary));
    }
    return text;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"phonebook-find"_s);
    InstallCoreTranslation(QLocale::system()); // the core's messages in the user's language

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Searches the telephone directory's tables.\n\n"_s + VerbList()
        + u"\nValues print as UTF-8, one row a line, tab-separated; a tab, line break or backslash\n"
          "inside a value prints as \\t, \\n or \\\\. Exit status: 0 rows found, 1 none, 2 an error."_s);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    parser.addHelpOption();
    const QCommandLineOption dirOption(u"dir"_s, u"Folder of the table files (default: the folder of this program)."_s, u"DIR"_s);
    const QCommandLineOption rawOption(u"raw"_s, u"Print values as stored (enciphered)."_s);
    const QCommandLineOption headerOption(u"header"_s, u"Print the field names first."_s);
    parser.addOptions({dirOption, rawOption, headerOption});
    parser.addPositionalArgument(u"verb"_s, u"What to do (see Verbs)."_s, u"VERB ARGUMENTS..."_s);
    if (!parser.parse(QCoreApplication::arguments()))
        return Fail(parser.errorText());
    if (parser.isSet(u"help"_s) || parser.isSet(u"help-all"_s)) {
        std::fputs(qUtf8Printable(parser.helpText()), stdout);
        return find::Found;
    }

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
        if (out.failed())
            return Fail(u"cannot write the output: %1"_s.arg(QString::fromLocal8Bit(std::strerror(out.error()))));
        return status;
    } catch (const DatabaseError &e) {
        std::fflush(stdout);
        return Fail(e.fullText());
    } catch (const std::exception &e) {
        std::fflush(stdout);
        return Fail(QString::fromLocal8Bit(e.what()));
    }
}
