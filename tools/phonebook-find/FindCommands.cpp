#include "FindCommands.h"

#include "DatabaseError.h"
#include "AddressSearch.h"
#include "Dataset.h"
#include "OrgSearch.h"
#include "QuickSearch.h"
#include "Searches.h"
#include "SearchText.h"
#include "SqlEngine.h"
#include "UHelpFull.h"

#include <QCoreApplication>
#include <QDir>
#include <QTranslator>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>

namespace phonebook::find {
namespace {

using namespace Qt::StringLiterals;

// The searches' own words (what finding nothing says, the quick search's
// note) are the program's Russian texts, as its windows show them, whatever
// the locale; the engine's and the table reader's messages follow the locale.
QString ProgramText(const CoreError &text)
{
    static const std::unique_ptr<QTranslator> russian = [] {
        auto translator = std::make_unique<QTranslator>();
        if (!translator->load(u"phonebook_ru"_s, QDir(QCoreApplication::applicationDirPath()).filePath(u"translations"_s)))
            translator.reset();
        return translator;
    }();
    QString shown = russian ? russian->translate("phonebook", text.Source()) : QString();
    if (shown.isEmpty())
        return text.Text();
    for (const QString &argument : text.Arguments())
        shown = shown.arg(argument);
    return shown;
}

// Several words on the command line stand for one text with single spaces.
QString Joined(const QStringList &arguments) { return arguments.join(u' '); }

void PrintHeader(const QStringList &names, bool marker, Output &out)
{
    if (marker)
        out.tab();
    for (qsizetype c = 0; c < names.size(); ++c) {
        if (c > 0)
            out.tab();
        out.value(names[c]);
    }
    out.endLine();
}

// One row, each field deciphered unless --raw; values the statement computed
// (count(*), ...) were never enciphered.
void PrintRow(const FindContext &context, const RowSource &result, int row, Output &out)
{
    for (int c = 0; c < result.columnCount(); ++c) {
        if (c > 0)
            out.tab();
        const QString stored = result.text(row, c);
        const bool decipher = !context.raw && result.columnIsStored(c);
        out.value(decipher ? DecodeText(stored, CipherKey) : stored);
    }
    out.endLine();
}

// Prints every row of the result. With `markedRow` (1-based) an extra first
// column holds ">" on that row.
int PrintResult(const FindContext &context, const RowSource &result, Output &out, int markedRow = -1)
{
    const int columns = result.columnCount();
    const bool marker = markedRow >= 0;
    if (context.header) {
        QStringList names;
        for (int c = 0; c < columns; ++c)
            names.append(result.columnName(c));
        PrintHeader(names, marker, out);
    }
    const int rows = result.rowCount();
    for (int r = 0; r < rows && !StatementsInterrupted(); ++r) {
        if (marker) {
            if (r + 1 == markedRow)
                out.value(u">");
            out.tab();
        }
        PrintRow(context, result, r, out);
    }
    return rows > 0 ? Found : NothingFound;
}

// Prints the rows of a statement as the engine finds them; a failed write
// (the reader went away) stops the statement.
class RowPrinter final : public StatementSink {
public:
    RowPrinter(const FindContext &context, Output &out)
        : m_context(context)
        , m_out(out)
    {
    }
    void columns(const QStringList &names) override
    {
        if (m_context.header)
            PrintHeader(names, false, m_out);
    }
    bool row(const RowSource &row) override
    {
        PrintRow(m_context, row, 0, m_out);
        ++m_rows;
        m_out.flushIfDue();
        return !m_out.failed();
    }
    void working() override { m_out.flushIfDue(); }
    void warning(const QString &text) override
    {
        std::fprintf(stderr, "phonebook-find: warning: %s\n", qUtf8Printable(text));
    }
    int rows() const { return m_rows; }

private:
    const FindContext &m_context;
    Output &m_out;
    int m_rows = 0;
};

int RunStatement(const FindContext &context, const QString &sql, Output &out);

int RunSql(const FindContext &context, const QStringList &arguments, Output &out)
{
    return RunStatement(context, Joined(arguments), out);
}

// Runs one of the program's searches on a query over the directory and prints
// what it found; its message goes to stderr when it found nothing.
template <typename Search>
int RunSearch(const FindContext &context, const QString &answer, Output &out, Search search, bool marked = false)
{
    Query temp;
    temp.SetDirectory(context.directory);
    const search::SearchOutcome outcome = search(temp, answer);
    if (outcome.cancelled)
        throw DatabaseError(u"nothing to search for in \"%1\""_s.arg(answer));
    if (!outcome.found()) {
        std::fprintf(stderr, "phonebook-find: %s\n", qUtf8Printable(ProgramText(outcome.message)));
        return NothingFound;
    }
    return PrintResult(context, *temp.Source(), out, marked ? outcome.highlightRow : -1);
}

int RunPhone(const FindContext &context, const QStringList &arguments, Output &out)
{
    if (arguments.constFirst() == u"--org"_s) {
        if (arguments.size() < 2)
            throw DatabaseError(u"phone --org takes a telephone number"_s);
        return RunSearch(context, Joined(arguments.mid(1)), out, search::PhoneSearchOrgs, true);
    }
    return RunSearch(context, Joined(arguments), out, search::PhoneSearchPersons);
}

int RunSurname(const FindContext &context, const QStringList &arguments, Output &out)
{
    return RunSearch(context, Joined(arguments), out, search::SurnameSearch);
}

int RunOrgNumbers(const FindContext &context, const QStringList &arguments, Output &out)
{
    return RunSearch(context, Joined(arguments), out, search::OrgNumbersByShownName);
}

// The value of `--name VALUE` among the arguments (the last one given wins),
// or null when it is not there. A missing value is an error.
std::optional<QString> Option(const QStringList &arguments, QStringView name)
{
    std::optional<QString> value;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments.at(i) != name)
            continue;
        if (i + 1 >= arguments.size())
            throw DatabaseError(u"%1 needs a value"_s.arg(name));
        value = arguments.at(++i);
    }
    return value;
}

// Rejects anything but the options named (each with a value) and the flags named.
void OnlyOptions(const QStringList &arguments, std::initializer_list<QStringView> withValue,
                 std::initializer_list<QStringView> flags)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (std::find(withValue.begin(), withValue.end(), argument) != withValue.end())
            ++i;
        else if (std::find(flags.begin(), flags.end(), argument) == flags.end())
            throw DatabaseError(u"unexpected argument \"%1\""_s.arg(argument));
    }
}

int RunAddress(const FindContext &context, const QStringList &arguments, Output &out)
{
    const bool orgs = arguments.contains(u"--org"_s);
    if (orgs)
        OnlyOptions(arguments, {u"--street", u"--house"}, {u"--org"});
    else
        OnlyOptions(arguments, {u"--street", u"--house", u"--flat"}, {});
    const std::optional<QString> street = Option(arguments, u"--street");
    if (!street)
        throw DatabaseError(u"address needs --street"_s);
    const QString house = Option(arguments, u"--house").value_or(QString());
    const QString flat = Option(arguments, u"--flat").value_or(QString());
    return RunSearch(context, *street, out, [&](Query &temp, const QString &) {
        return orgs ? search::OrgAddressSearch(temp, *street, house)
                    : search::PersonAddressSearch(temp, *street, house, flat);
    });
}

int RunOrg(const FindContext &context, const QStringList &arguments, Output &out)
{
    QStringList words = arguments;
    auto mode = search::OrgSearchMode::NameStart;
    if (!words.isEmpty() && words.constFirst() == u"--mode"_s) {
        const QString number = words.value(1);
        if (number != u"1"_s && number != u"2"_s && number != u"3"_s)
            throw DatabaseError(u"--mode takes 1, 2 or 3, not \"%1\""_s.arg(number));
        mode = static_cast<search::OrgSearchMode>(number.toInt());
        words = words.mid(2);
    }
    // Upper-cased as the dialog's box does as the user types.
    const QString text = search::UpperCaseName(Joined(words));
    return RunSearch(context, text, out,
                     [mode](Query &temp, const QString &upper) { return search::OrgSearch(temp, mode, upper); });
}

int RunStatement(const FindContext &context, const QString &sql, Output &out)
{
    RowPrinter printer(context, out);
    StreamStatement(context.directory, sql, printer);
    return printer.rows() > 0 ? Found : NothingFound;
}

int RunStreets(const FindContext &context, const QStringList &arguments, Output &out)
{
    OnlyOptions(arguments, {}, {u"--org"});
    return RunStatement(context,
                        search::StreetListSql(arguments.contains(u"--org"_s) ? Table::Orgs
                                                                               : Table::Persons),
                        out);
}

int RunOrgs(const FindContext &context, const QStringList &arguments, Output &out)
{
    OnlyOptions(arguments, {}, {});
    return RunStatement(context, search::FullOrgListSql.toString(), out);
}

int RunQuick(const FindContext &context, const QStringList &arguments, Output &out)
{
    const bool org = arguments.constFirst() == u"--org"_s;
    const QString text = Joined(org ? arguments.mid(1) : arguments);
    search::QuickSearcher searcher(context.directory);
    const std::optional<search::QuickResult> result =
        searcher.Search(org ? search::QuickSide::Orgs : search::QuickSide::Persons, text);
    if (!result || !result->rows)
        throw DatabaseError(u"nothing to search for in \"%1\""_s.arg(text));
    // Which text or words the rows are for, as the status bar says it.
    if (const CoreError note = search::QuickStepNote(*result); note.IsSet())
        std::fprintf(stderr, "%s\n", qUtf8Printable(ProgramText(note)));
    return PrintResult(context, *result->rows, out);
}

int RunCount(const FindContext &context, const QStringList &arguments, Output &out)
{
    if (arguments.size() != 1)
        throw DatabaseError(u"count takes one table name"_s);
    TableCursor table;
    table.SetDirectory(context.directory);
    table.SetTableName(arguments.constFirst());
    table.Open();
    for (const QString &warning : table.Warnings())
        std::fprintf(stderr, "phonebook-find: warning: %s\n", qUtf8Printable(warning));
    const int count = table.RecordCount();
    out.value(QString::number(count));
    out.endLine();
    return count > 0 ? Found : NothingFound;
}

int RunEncode(const FindContext &, const QStringList &arguments, Output &out)
{
    out.value(EncodeText(Joined(arguments), CipherKey));
    out.endLine();
    return Found;
}

int RunDecode(const FindContext &, const QStringList &arguments, Output &out)
{
    out.value(DecodeText(Joined(arguments), CipherKey));
    out.endLine();
    return Found;
}

const Verb verbs[] = {
    {"sql", "STATEMENT", "Runs a statement over the tables; prints its rows, tab-separated, deciphered.", 1, RunSql},
    {"count", "TABLE", "Prints the number of records of a table (deleted ones not counted).", 1, RunCount},
    {"encode", "TEXT", "Prints the stored (enciphered) form of a text.", 1, RunEncode},
    {"decode", "TEXT", "Prints the plain text of a stored (enciphered) text.", 1, RunDecode},
    {"phone", "[--org] NUMBER",
     "Telephone-number search: individuals whose number begins with NUMBER (\"%\" lists all); with --org, every\n"
     "      number of the organisation that owns NUMBER, \">\" in an extra first column on that number.", 1, RunPhone},
    {"surname", "TEXT", "Surname search: individuals whose full name begins with TEXT, in any letter case.", 1,
     RunSurname},
    {"quick", "[--org] TEXT",
     "Quick search, as the program's search box: individuals (with --org, organisations' numbers) with a word\n"
     "      beginning with each word of TEXT; a number also matches the telephone number's beginning or the\n"
     "      house or flat number.", 1, RunQuick},
    {"org-numbers", "NAME", "Every number of the organisation named NAME (as the program shows it).", 1,
     RunOrgNumbers},
    {"address", "[--org] --street TEXT [--house H] [--flat F]",
     "Address search: individuals at exactly that street (house and flat when given); with --org,\n"
     "      organisations on a street beginning with TEXT (house when given; no flat).", 2, RunAddress},
    {"org", "[--mode 1|2|3] TEXT",
     "Organisation search, TEXT upper-cased: 1 the name begins with it (the default; an empty TEXT lists\n"
     "      every organisation), 2 a word of the name begins with it, 3 departments holding such a word.\n"
     "      Names found nowhere are looked for in the second name.", 0, RunOrg},
    {"streets", "[--org]", "The street list of the address dialog: individuals' streets, or with --org organisations'.",
     0, RunStreets},
    {"orgs", "", "The full organisation list: name, street, house.", 0, RunOrgs},
};

} // namespace

QString EscapeValue(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\': out += u"\\\\"_s; break;
        case u'\t': out += u"\\t"_s; break;
        case u'\n': out += u"\\n"_s; break;
        case u'\r': out += u"\\r"_s; break;
        default: out += c;
        }
    }
    return out;
}

void Output::value(QStringView text)
{
    const bool plain = std::none_of(text.begin(), text.end(), [](QChar c) {
        return c == u'\\' || c == u'\t' || c == u'\n' || c == u'\r';
    });
    const QByteArray utf8 = plain ? text.toUtf8() : EscapeValue(text).toUtf8();
    m_buffer.append(utf8.constData(), static_cast<size_t>(utf8.size()));
}

void Output::endLine()
{
    m_buffer.push_back('\n');
    if (m_buffer.size() >= 64 * 1024)
        flush();
}

void Output::flushIfDue()
{
    constexpr std::chrono::milliseconds Due{10};
    if (!m_buffer.empty() && std::chrono::steady_clock::now() - m_flushed >= Due)
        flush();
}

void Output::flush()
{
    m_flushed = std::chrono::steady_clock::now();
    errno = 0;
    const bool written = m_buffer.empty() || std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_stream) == m_buffer.size();
    m_buffer.clear();
    if ((!written || std::fflush(m_stream) != 0 || std::ferror(m_stream)) && m_error == 0)
        m_error = errno != 0 ? errno : EIO;
}

std::span<const Verb> Verbs() { return verbs; }

const Verb *FindVerb(QStringView name)
{
    for (const Verb &verb : verbs) {
        if (name == QLatin1StringView(verb.name))
            return &verb;
    }
    return nullptr;
}

} // namespace phonebook::find
