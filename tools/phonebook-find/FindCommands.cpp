#include "FindCommands.h"

#include "DatabaseError.h"
#include "Dataset.h"
#include "UHelpFull.h"

#include <algorithm>
#include <cerrno>

namespace phonebook::find {
namespace {

using namespace Qt::StringLiterals;

// Several words on the command line stand for one text with single spaces.
QString Joined(const QStringList &arguments) { return arguments.join(u' '); }

int RunSql(const FindContext &context, const QStringList &arguments, Output &out)
{
    Query query;
    query.SetDirectory(context.directory);
    query.AddSql(Joined(arguments));
    query.Open();
    const std::shared_ptr<const RowSource> result = query.Source();
    const int columns = result->columnCount();
    if (context.header) {
        for (int c = 0; c < columns; ++c) {
            if (c > 0)
                out.tab();
            out.value(result->columnName(c));
        }
        out.endLine();
    }
    const int rows = result->rowCount();
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            if (c > 0)
                out.tab();
            // Values the statement computed (count(*), ...) were never enciphered.
            const QString stored = result->text(r, c);
            const bool decipher = !context.raw && result->columnIsStored(c);
            out.value(decipher ? DecodeText(stored, CipherKey) : stored);
        }
        out.endLine();
    }
    return rows > 0 ? Found : NothingFound;
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
