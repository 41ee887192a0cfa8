#include "FindCommands.h"

#include "DatabaseError.h"
#include "Dataset.h"
#include "Searches.h"
#include "UHelpFull.h"

#include <algorithm>
#include <cerrno>

namespace phonebook::find {
namespace {

using namespace Qt::StringLiterals;

// Several words on the command line stand for one text with single spaces.
QString Joined(const QStringList &arguments) { return arguments.join(u' '); }

// Prints every row of the result, each field deciphered unless --raw. With
// `markedRow` (1-based) an extra first column holds ">" on that row.
int PrintResult(const FindContext &context, const RowSource &result, Output &out, int markedRow = -1)
{
    const int columns = result.columnCount();
    const bool marker = markedRow >= 0;
    if (context.header) {
        if (marker)
            out.tab();
        for (int c = 0; c < columns; ++c) {
            if (c > 0)
                out.tab();
            out.value(result.columnName(c));
        }
        out.endLine();
    }
    const int rows = result.rowCount();
    for (int r = 0; r < rows; ++r) {
        if (marker) {
            if (r + 1 == markedRow)
                out.value(u">");
            out.tab();
        }
        for (int c = 0; c < columns; ++c) {
            if (c > 0)
                out.tab();
            // Values the statement computed (count(*), ...) were never enciphered.
            const QString stored = result.text(r, c);
            const bool decipher = !context.raw && result.columnIsStored(c);
            out.value(decipher ? DecodeText(stored, CipherKey) : stored);
        }
        out.endLine();
    }
    return rows > 0 ? Found : NothingFound;
}

int RunSql(const FindContext &context, const QStringList &arguments, Output &out)
{
    Query query;
    query.SetDirectory(context.directory);
    query.AddSql(Joined(arguments));
    query.Open();
    return PrintResult(context, *query.Source(), out);
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
        std::fprintf(stderr, "phonebook-find: %s\n", qUtf8Printable(outcome.message));
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
    {"org-numbers", "NAME", "Every number of the organisation named NAME (as the program shows it).", 1,
     RunOrgNumbers},
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

void Output::flush()
{
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
