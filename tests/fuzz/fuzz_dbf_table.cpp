// libFuzzer entry: any bytes are opened as a table (and as its memo file),
// every field of every record the reader accepts is read, and the
// directory's kinds of statement run over it through the engine.

#include "CodePages.h"
#include "Collation.h"
#include "DatabaseError.h"
#include "DbfTable.h"
#include "QueryResult.h"
#include "SqlEngine.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using namespace phonebook;

namespace {

QString quotedName(const QString &name)
{
    QString out = name;
    out.replace(u'"', QStringLiteral("\"\""));
    return u'"' + out + u'"';
}

QString quotedText(QString text)
{
    text.replace(u'\'', QStringLiteral("''"));
    return u'\'' + text + u'\'';
}

int sign(int n) { return (n > 0) - (n < 0); }

// The collation is a strict order on the values it met: antisymmetric,
// irreflexive, transitive.
void checkStrictOrder(const std::vector<std::string> &values)
{
    const size_t n = std::min<size_t>(values.size(), 24);
    for (size_t a = 0; a < n; ++a) {
        if (CompareStored(values[a], values[a]) != 0)
            __builtin_trap();
        for (size_t b = 0; b < n; ++b) {
            const int ab = sign(CompareStored(values[a], values[b]));
            if (ab != -sign(CompareStored(values[b], values[a])))
                __builtin_trap();
            for (size_t c = 0; ab < 0 && c < n; ++c) {
                if (CompareStored(values[b], values[c]) < 0 && CompareStored(values[a], values[c]) >= 0)
                    __builtin_trap();
            }
        }
    }
}

void runStatements(const QByteArray &bytes, const DbfTable &table)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.dbf"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return;
    file.close();
    int text = -1;
    for (size_t f = 0; f < table.fields().size() && text < 0; ++f)
        if (table.fields()[f].isCharacter())
            text = static_cast<int>(f);
    std::vector<QString> statements{QStringLiteral("SELECT * FROM t")};
    QString column;
    if (text >= 0) {
        column = quotedName(table.fields()[static_cast<size_t>(text)].name);
        const QString first = table.liveCount() ? table.text(table.liveRecord(0), text) : QString();
        for (const QString &pattern : {first.left(2) + u'%', u'%' + first.mid(1, 2) + u'%', first, first + u' '})
            statements.push_back(QStringLiteral("SELECT %1 FROM t WHERE %1 LIKE %2").arg(column, quotedText(pattern)));
        statements.push_back(QStringLiteral("SELECT DISTINCT %1 FROM t ORDER BY %1").arg(column));
    }
    for (const QString &sql : statements) {
        try {
            const auto result = RunStatement(dir.path(), sql);
            if (!sql.startsWith(u"SELECT DISTINCT"))
                continue;
            std::vector<std::string> values;
            for (int row = 0; row < result->rowCount(); ++row)
                values.emplace_back(result->utf8(row, 0));
            // Distinct and in order: each value strictly after the one before.
            for (size_t i = 1; i < values.size(); ++i)
                if (CompareStored(values[i - 1], values[i]) >= 0)
                    __builtin_trap();
            checkStrictOrder(values);
        } catch (const DatabaseError &) {
            // A statement the engine refuses (a field name it cannot take): fine.
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // No copy: the reader sees exactly the fuzzer's buffer, so a read one
    // byte past the end is caught.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    std::string out;
    try {
        // The same bytes stand for the memo file too: its header and blocks
        // are parsed wherever the records point.
        const auto table = DbfTable::fromBytes(bytes, QStringLiteral("fuzz.dbf"), QByteArray(bytes.constData(), bytes.size()));
        const int fields = static_cast<int>(table->fields().size());
        std::string scratch;
        for (uint32_t live = 0; live < table->liveCount(); ++live) {
            const uint32_t record = table->liveRecord(live);
            if (record >= table->physicalCount() || table->isDeleted(record))
                __builtin_trap();
            for (int f = 0; f < fields; ++f) {
                const DbfField &field = table->fields()[static_cast<size_t>(f)];
                const FieldValue value = table->value(record, f, scratch);
                out.clear();
                if (value.type == FieldValue::Text)
                    AppendUtf8(table->codePage(), value.text, out);
                if (field.isCharacter() && table->text(record, f).size() > field.length)
                    __builtin_trap();
                table->shownText(record, f);
            }
        }
        for (const DbfField &field : table->fields())
            if (table->fieldIndex(field.name) < 0)
                __builtin_trap();
        runStatements(bytes, *table);
    } catch (const DatabaseError &) {
        // Refused: fine, as long as it did not crash.
    }
    // The code-page converters on arbitrary input.
    const std::string_view raw(reinterpret_cast<const char *>(data), size);
    for (CodePage page : {CodePage::Cp866, CodePage::Windows1251, CodePage::Windows1252, CodePage::Utf8}) {
        out.clear();
        AppendUtf8(page, raw, out);
        std::string back;
        if (page != CodePage::Utf8 && (!EncodeUtf8(page, out, back) || back != raw))
            __builtin_trap();
    }
    return 0;
}
