#include "GridExport.h"

#include "Utf8.h"

#include <QSaveFile>

namespace phonebook {

namespace {

bool isBreakOrTab(QChar ch)
{
    return ch == u'\t' || ch == u'\n' || ch == u'\r';
}

bool needsQuotes(QStringView field)
{
    if (field.isEmpty())
        return false;
    if (field.front() == u' ' || field.back() == u' ')
        return true;
    for (QChar ch : field) {
        if (ch == u';' || ch == u'"' || ch == u'\n' || ch == u'\r')
            return true;
    }
    return false;
}

// UTF-8 straight into the line, without a temporary array per field.
void appendUtf8(QByteArray &out, QStringView text, bool doubleQuotes)
{
    const char16_t *p = text.utf16();
    const char16_t *end = p + text.size();
    for (; p < end; ++p) {
        char32_t c = *p;
        if (c < 0x80) {
            if (c == u'"' && doubleQuotes)
                out.append('"');
            out.append(static_cast<char>(c));
            continue;
        }
        if (QChar::isHighSurrogate(c) && p + 1 < end && QChar::isLowSurrogate(p[1]))
            c = QChar::surrogateToUcs4(static_cast<char16_t>(c), *++p);
        char bytes[4];
        out.append(bytes, EncodeUtf8(c, bytes));
    }
}

void appendField(QByteArray &out, const QString &field, bool literal)
{
    const bool guarded = !literal && LooksLikeFormula(field);
    if (!needsQuotes(field)) {
        if (guarded)
            out.append('\'');
        appendUtf8(out, field, false);
        return;
    }
    out.append('"');
    if (guarded)
        out.append('\'');
    appendUtf8(out, field, true);
    out.append('"');
}

} // namespace

QString TabSeparatedText(const std::vector<QStringList> &rows)
{
    QString text;
    for (size_t r = 0; r < rows.size(); ++r) {
        if (r > 0)
            text.append(u'\n');
        const QStringList &cells = rows[r];
        for (qsizetype c = 0; c < cells.size(); ++c) {
            if (c > 0)
                text.append(u'\t');
            QString cell = cells[c];
            for (QChar &ch : cell) {
                if (isBreakOrTab(ch))
                    ch = u' ';
            }
            text.append(cell);
        }
    }
    return text;
}

bool LooksLikeFormula(QStringView text)
{
    if (text.isEmpty())
        return false;
    const QChar first = text.front();
    if (first == u'=' || first == u'@')
        return true;
    if (first != u'+' && first != u'-')
        return false;
    // A number or a telephone number: nothing a formula could name or call.
    bool digit = false;
    for (QChar ch : text.mid(1)) {
        if (ch >= u'0' && ch <= u'9')
            digit = true;
        else if (ch != u' ' && ch != u'(' && ch != u')' && ch != u'-' && ch != u'.' && ch != u'/' && ch != u',')
            return true;
    }
    return !digit && text.size() > 1;
}

void AppendCsvLine(QByteArray &out, const QStringList &fields, const std::vector<bool> &literal)
{
    for (qsizetype c = 0; c < fields.size(); ++c) {
        if (c > 0)
            out.append(';');
        appendField(out, fields[c], static_cast<size_t>(c) < literal.size() && literal[static_cast<size_t>(c)]);
    }
    out.append("\r\n");
}

CsvOutcome WriteCsvFile(const QString &path, const ListRows &rows, const std::function<bool(int)> &progress)
{
    CsvOutcome outcome;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        outcome.error = file.errorString();
        return outcome;
    }
    QByteArray chunk;
    constexpr qsizetype ChunkBytes = 1 << 20;
    chunk.reserve(ChunkBytes + 4096);
    chunk.append("\xEF\xBB\xBF");
    AppendCsvLine(chunk, rows.headings);
    auto flush = [&] {
        if (file.write(chunk) != chunk.size())
            return false;
        chunk.clear();
        return true;
    };
    for (int r = 0; r < rows.rowCount; ++r) {
        if (progress && r % CsvProgressStep == 0 && r > 0 && !progress(r)) {
            file.cancelWriting();
            outcome.cancelled = true;
            return outcome;
        }
        AppendCsvLine(chunk, rows.row(r), rows.literal);
        if (chunk.size() >= ChunkBytes && !flush())
            break;
    }
    if (!chunk.isEmpty())
        flush();
    if (rows.lost && rows.lost()) {
        file.cancelWriting();
        outcome.error = QStringLiteral("таблица списка изменилась во время сохранения; сохраните список ещё раз");
        return outcome;
    }
    // commit() reports a write that failed earlier as well, and then removes the temporary file.
    if (!file.commit()) {
        outcome.error = file.errorString();
        return outcome;
    }
    outcome.written = true;
    outcome.rows = rows.rowCount;
    return outcome;
}

} // namespace phonebook
