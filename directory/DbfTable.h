#pragma once
// Read-only access to one FoxPro/dBASE table file, memory-mapped.

#include "CodePages.h"
#include "MappedFile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace phonebook {

// What a field's values are, as the engine and the windows show them.
enum class FieldKind {
    Text,     // C, and memo text (M, G): in the table's code page
    Integer,  // N and F without decimals, I, +
    Real,     // N and F with decimals, Y, B and O
    Date,     // D: "YYYY-MM-DD"
    DateTime, // T and @: "YYYY-MM-DD HH:MM:SS"
    Logical,  // L: 1 or 0
    Unknown,  // a type this reader does not know: always NULL
};

struct DbfField {
    QString name;       // as stored (upper case in most files)
    char type = 'C';
    int offset = 0;     // from the start of the record, its deletion flag byte included
    int length = 0;
    int decimals = 0;
    FieldKind kind = FieldKind::Text;
    bool isCharacter() const { return type == 'C'; }
    bool isMemo() const { return type == 'M' || type == 'G' || (type == 'B' && length != 8); }
};

// One field's value read from a record.
struct FieldValue {
    enum Type { Null, Integer, Real, Text } type = Null;
    int64_t integer = 0;
    double real = 0;
    std::string_view text; // Text: in the table's code page (dates and numbers are ASCII)
};

class MemoFile;

// The kind of a field of that type, length and decimal count.
FieldKind KindOfField(char type, int length, int decimals);

class DbfTable {
public:
    // Maps and validates the file. Throws DatabaseError naming the file and
    // the fault when it is not a readable table of this family. The last few
    // tables opened are kept: opening one again while its file is unchanged
    // gives the same table without reading the file again (counting the
    // records of a large table touches every page of it).
    static std::shared_ptr<const DbfTable> open(const QString &path);
    // The same checks over bytes held in memory; `name` stands for the file
    // in messages; `memo` holds the bytes of its memo file, if any.
    static std::shared_ptr<const DbfTable> fromBytes(QByteArray bytes, const QString &name, QByteArray memo = {});
    // The file's first `records` records (fewer when it holds fewer), read
    // into memory as a table of its own: a first page to show while the whole
    // file is counted. Null for a table with memo fields or a file that cannot
    // be read; the whole file's faults are for open() to find.
    static std::shared_ptr<const DbfTable> openFirst(const QString &path, uint32_t records);

    ~DbfTable();
    DbfTable(const DbfTable &) = delete;
    DbfTable &operator=(const DbfTable &) = delete;

    const QString &path() const { return m_path; }
    // Every field in table order, but Visual FoxPro's hidden _NullFlags.
    const std::vector<DbfField> &fields() const { return m_fields; }
    // Index into fields() of the field named so in any letter case, or -1.
    int fieldIndex(QStringView name) const;
    CodePage codePage() const { return m_codePage; }
    // Each disagreement between the header and the file that was tolerated.
    const QStringList &warnings() const { return m_warnings; }
    // Whether the file was cut short or rewritten since it was opened; what
    // is read from it afterwards may be zeros or another edition's bytes.
    bool changed() const { return m_file.changed(); }
    // Whether a read met a page cut off the file; cheap, for checking after a read.
    bool pagesLost() const { return m_file.pagesLost(); }
    // Whether path() still names the very file this table was read from,
    // unchanged (see MappedFile::stillAt); always true for a table held in memory.
    bool stillCurrent() const { return !m_bytes.isNull() || m_file.stillAt(m_path); }

    // Records present in the file, deleted ones included.
    uint32_t physicalCount() const { return m_physicalCount; }
    // Records not marked deleted.
    uint32_t liveCount() const { return m_liveCount; }
    // Physical index (0-based) of the live record number `live` (0-based).
    uint32_t liveRecord(uint32_t live) const { return m_live.empty() ? live : m_live[live]; }
    bool isDeleted(uint32_t physical) const { return record(physical)[0] == '*'; }

    int recordLength() const { return m_recordLength; }
    // The record's bytes, starting with its deletion flag.
    const unsigned char *record(uint32_t physical) const
    {
        return m_data + m_headerLength + static_cast<size_t>(physical) * m_recordLength;
    }
    // Any field's value; `scratch` holds the text of a value that is not
    // stored as it is shown (a date, a memo) until the next call.
    FieldValue value(uint32_t physical, int field, std::string &scratch) const;
    // Any field's value as text: stored text as it is, a number as written,
    // a date "YYYY-MM-DD", a logical "1" or "0"; NULL is empty.
    QString shownText(uint32_t physical, int field) const;

    // A character field's stored bytes, trailing blanks (and NULs) dropped.
    // Every cell the engine reads comes through here: the padding is found a
    // word at a time.
    std::string_view rawField(uint32_t physical, int field) const
    {
        const DbfField &f = m_fields[static_cast<size_t>(field)];
        const char *p = reinterpret_cast<const char *>(record(physical)) + f.offset;
        size_t length = static_cast<size_t>(f.length);
        if constexpr (std::endian::native == std::endian::little) {
            // With bit 5 of every byte cleared, blanks and NULs are the zero
            // bytes; the value's last byte is the word's most significant.
            while (length >= 8) {
                uint64_t word;
                std::memcpy(&word, p + length - 8, 8);
                word &= ~0x2020202020202020ULL;
                if (word != 0)
                    return {p, length - static_cast<size_t>(std::countl_zero(word) / 8)};
                length -= 8;
            }
        }
        while (length > 0 && (p[length - 1] == ' ' || p[length - 1] == '\0'))
            --length;
        return {p, length};
    }
    // The same, decoded from the table's code page.
    QString text(uint32_t physical, int field) const { return DecodeBytes(m_codePage, rawField(physical, field)); }

private:
    DbfTable() = default;
    static std::shared_ptr<const DbfTable> openFile(const QString &path);
    // Validates the header at m_data[0..m_size) and counts the records.
    void parse();
    void countRecords(uint32_t headerCount);
    // Counts the deletion flags of the first `count` records, and notices an
    // end-of-file mark, reading the file in blocks; returns how many records
    // were looked at (fewer when the file could not be read).
    uint32_t readFlags(uint32_t count, uint32_t &deleted, unsigned &endMark) const;
    void openMemo();
    void setMemo(QByteArray bytes, bool foxPro);
    // The memo block a memo field of the record points to; 0 for none.
    uint64_t memoBlock(uint32_t physical, int field) const;
    // Warns of each live record whose memo lies outside the memo file.
    void checkMemoPointers();
    void chooseCodePage(uint8_t languageDriver, const std::vector<std::pair<int, int>> &textFields);
    [[noreturn]] void fail(const QString &fault) const;

    QString m_path;
    MappedFile m_file;
    QByteArray m_bytes; // the table's bytes when it was not read from a file
    const unsigned char *m_data = nullptr;
    qint64 m_size = 0;
    int m_headerLength = 0;
    int m_recordLength = 0;
    uint32_t m_physicalCount = 0;
    uint32_t m_liveCount = 0;
    std::vector<uint32_t> m_live; // empty when no record is deleted
    std::vector<DbfField> m_fields;
    CodePage m_codePage = CodePage::Windows1251;
    QStringList m_warnings;
    std::shared_ptr<const MemoFile> m_memo; // null when the table has no memo field or its file is unusable
};

} // namespace phonebook
