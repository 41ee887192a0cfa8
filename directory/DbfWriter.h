#pragma once
// Writes FoxPro table files: the sample directory and the tests' fixtures.

#include "CodePages.h"

#include <QFile>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace phonebook {

struct DbfFieldSpec {
    QString name;      // at most 10 characters, ASCII
    char type = 'C';   // 'C' text, 'N' number, 'D' date (YYYYMMDD), 'L' logical
    int length = 10;
    int decimals = 0;
};

struct DbfWriterOptions {
    CodePage codePage = CodePage::Windows1251;
    uint8_t languageDriver = 0x00; // 0x00 unmarked, 0xC9 windows-1251, 0x26/0x65 cp866
    uint8_t version = 0x03;        // FoxPro/dBASE III without memo
};

class DbfWriter {
public:
    // Creates (truncating) the file. Throws DatabaseError when it cannot be written.
    DbfWriter(const QString &path, std::vector<DbfFieldSpec> fields, DbfWriterOptions options = {});
    ~DbfWriter(); // finishes the file if finish() was not called

    // One value per field, as text: character values are padded with blanks on
    // the right, numbers right-aligned. A character value longer than its field
    // is cut; a number, date or logical that does not fit throws DatabaseError,
    // as does a character that has no byte in the table's code page.
    void addRecord(const std::vector<QString> &values, bool deleted = false);
    // Writes the header with the final count and the end-of-file marker.
    void finish();

private:
    std::string header() const;
    void flush();
    [[noreturn]] void fail(const QString &fault) const;

    QFile m_file;
    std::vector<DbfFieldSpec> m_fields;
    DbfWriterOptions m_options;
    int m_recordLength = 1;
    uint32_t m_count = 0;
    bool m_finished = false;
    std::string m_record;
    std::string m_buffer; // records not yet written to the file
};

} // namespace phonebook
