// phonebook-gen: writes a synthetic directory (the individuals' and the
// organisations' tables, enciphered) for trying the program and measuring it.

#include "CoreTranslation.h"
#include "DatabaseError.h"
#include "SampleDirectory.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocale>

#include <cstdio>
#include <limits>

using namespace Qt::StringLiterals;
using namespace phonebook;

namespace {

// A text of --help in the user's language (English when there is no translation).
QString Help(const char *text) { return QCoreApplication::translate("phonebook-gen", text); }

int Fail(const QString &message)
{
    std::fprintf(stderr, "phonebook-gen: %s\n", qUtf8Printable(message));
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"phonebook-gen"_s);
    InstallCoreTranslation(QLocale::system()); // --help in the user's language

    QCommandLineParser parser;
    parser.setApplicationDescription(Help(
        "Writes a synthetic telephone directory: sp09kw_n.dbf (individuals) and sp09pr_n.dbf\n"
        "(organisations' numbers), every text value enciphered. The same options and seed\n"
        "write the same files. cp1251 tables are marked with language byte 0xC9, cp866\n"
        "tables with 0x26; --unmarked writes 0x00, as most real tables carry."));
    parser.addHelpOption();
    const QCommandLineOption outOption(u"out"_s, Help("Folder to write the tables into (created if missing)."), u"DIR"_s);
    const QCommandLineOption personsOption(u"persons"_s, Help("Individuals, not counting deleted records (default %1).").arg(sample::DefaultPersons), u"N"_s);
    const QCommandLineOption orgOption(u"org-numbers"_s, Help("Organisations' numbers, not counting deleted records (default %1).").arg(sample::DefaultOrgNumbers), u"N"_s);
    const QCommandLineOption seedOption(u"seed"_s, Help("Seed of the random choices (default 1)."), u"N"_s);
    const QCommandLineOption codePageOption(u"codepage"_s, Help("cp1251 (default) or cp866."), u"NAME"_s);
    const QCommandLineOption unmarkedOption(u"unmarked"_s, Help("Write language byte 0x00 (no code-page mark)."));
    const QCommandLineOption deletedOption(u"deleted"_s, Help("Share of each file's records marked deleted, 0 to 0.9 (default 0)."), u"FRACTION"_s);
    const QCommandLineOption madeUpOption(u"made-up-surnames"_s, Help("Make up half the surnames from syllables (hundreds of thousands of distinct words)."));
    parser.addOptions({outOption, personsOption, orgOption, seedOption, codePageOption, unmarkedOption, deletedOption, madeUpOption});
    parser.process(app);

    if (!parser.positionalArguments().isEmpty())
        return Fail(u"unexpected argument \"%1\" (see --help)"_s.arg(parser.positionalArguments().constFirst()));
    if (!parser.isSet(outOption))
        return Fail(u"--out DIR is required (see --help)"_s);

    sample::SampleOptions options;
    options.directory = parser.value(outOption);
    bool ok = true;
    auto number = [&](const QCommandLineOption &option, auto fallback) {
        if (!parser.isSet(option))
            return static_cast<decltype(fallback)>(fallback);
        bool valid = false;
        const auto value = parser.value(option).toLongLong(&valid);
        if (!valid || value < 0 || value > std::numeric_limits<int>::max()) {
            ok = false;
            std::fprintf(stderr, "phonebook-gen: --%s needs a whole number, not \"%s\"\n",
                         qUtf8Printable(option.names().constFirst()), qUtf8Printable(parser.value(option)));
        }
        return static_cast<decltype(fallback)>(value);
    };
    options.persons = number(personsOption, sample::DefaultPersons);
    options.orgNumbers = number(orgOption, sample::DefaultOrgNumbers);
    if (parser.isSet(seedOption)) {
        options.seed = parser.value(seedOption).toULongLong(&ok);
        if (!ok)
            return Fail(u"--seed needs a whole number, not \"%1\""_s.arg(parser.value(seedOption)));
    }
    if (!ok)
        return 2;
    if (parser.isSet(deletedOption)) {
        options.deletedShare = parser.value(deletedOption).toDouble(&ok);
        if (!ok)
            return Fail(u"--deleted needs a fraction such as 0.05, not \"%1\""_s.arg(parser.value(deletedOption)));
    }
    const QString codePage = parser.value(codePageOption).toLower();
    if (codePage.isEmpty() || codePage == u"cp1251"_s || codePage == u"windows-1251"_s)
        options.codePage = CodePage::Windows1251;
    else if (codePage == u"cp866"_s)
        options.codePage = CodePage::Cp866;
    else
        return Fail(u"--codepage is cp1251 or cp866, not \"%1\""_s.arg(parser.value(codePageOption)));
    options.unmarked = parser.isSet(unmarkedOption);
    options.madeUpSurnames = parser.isSet(madeUpOption);

    try {
        QElapsedTimer timer;
        timer.start();
        const sample::SampleSummary s = sample::WriteSampleDirectory(options);
        std::printf("%s: %d individuals (%d more marked deleted)\n%s: %d numbers of %d organisations (%d more marked deleted)\n"
                    "written in %.1f s\n",
                    qUtf8Printable(s.personsPath), s.persons, s.personsDeleted, qUtf8Printable(s.organisationsPath),
                    s.orgNumbers, s.organisations, s.orgNumbersDeleted, timer.elapsed() / 1000.0);
    } catch (const DatabaseError &e) {
        return Fail(e.fullText());
    }
    return 0;
}
