// libFuzzer entry: any bytes are opened as a table, and every record and
// character field the reader accepts is read and decoded.

#include "CodePages.h"
#include "DatabaseError.h"
#include "DbfTable.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace phonebook;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // No copy: the reader sees exactly the fuzzer's buffer, so a read one
    // byte past the end is caught.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    std::string out;
    try {
        const auto table = DbfTable::fromBytes(bytes, QStringLiteral("fuzz.dbf"));
        const int fields = static_cast<int>(table->fields().size());
        for (uint32_t live = 0; live < table->liveCount(); ++live) {
            const uint32_t record = table->liveRecord(live);
            if (record >= table->physicalCount() || table->isDeleted(record))
                __builtin_trap();
            for (int f = 0; f < fields; ++f) {
                out.clear();
                AppendUtf8(table->codePage(), table->rawField(record, f), out);
                if (table->text(record, f).size() > table->fields()[static_cast<size_t>(f)].length)
                    __builtin_trap();
            }
        }
        for (const DbfField &field : table->fields())
            if (table->fieldIndex(field.name) < 0)
                __builtin_trap();
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
