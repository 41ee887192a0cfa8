#pragma once
// The companion file of a table with memo fields: ".dbt" of dBASE III and IV,
// ".fpt" of FoxPro. Read whole when the table is opened (memo files of the
// tables this program meets are small).

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <string_view>

namespace phonebook {

class MemoFile {
public:
    enum class Format { DBase, FoxPro };

    // Checks the header; null when it is not a memo file of that format.
    static std::shared_ptr<const MemoFile> fromBytes(QByteArray bytes, Format format);

    // The text of the memo starting at `block`; false when the block lies
    // outside the file or its header is damaged.
    bool text(uint64_t block, std::string_view &out) const;

private:
    QByteArray m_bytes;
    Format m_format = Format::DBase;
    uint32_t m_blockSize = 512;
};

// The companion memo file of the table at `tablePath`, in any letter case,
// the kind its version byte names first; empty when there is none.
QString FindMemoFile(const QString &tablePath, bool foxPro);

} // namespace phonebook
