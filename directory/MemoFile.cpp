#include "MemoFile.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace phonebook {

namespace {

constexpr size_t HeaderSize = 512;
constexpr unsigned char EndOfText = 0x1A;

uint32_t readBe32(const unsigned char *p)
{
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}
uint32_t readLe32(const unsigned char *p)
{
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

} // namespace

std::shared_ptr<const MemoFile> MemoFile::fromBytes(QByteArray bytes, Format format)
{
    if (static_cast<size_t>(bytes.size()) < HeaderSize)
        return nullptr;
    auto memo = std::make_shared<MemoFile>();
    const auto *d = reinterpret_cast<const unsigned char *>(bytes.constData());
    memo->m_format = format;
    if (format == Format::FoxPro) {
        memo->m_blockSize = static_cast<uint32_t>((d[6] << 8) | d[7]);
    } else {
        // dBASE IV keeps its block size at byte 20; dBASE III leaves 0 there and uses 512.
        const uint32_t size = static_cast<uint32_t>(d[20] | (d[21] << 8));
        memo->m_blockSize = size >= 64 ? size : 512;
    }
    if (memo->m_blockSize == 0)
        return nullptr;
    memo->m_bytes = std::move(bytes);
    return memo;
}

bool MemoFile::text(uint64_t block, std::string_view &out) const
{
    const auto size = static_cast<uint64_t>(m_bytes.size());
    const uint64_t start = block * m_blockSize;
    if (block == 0 || block > size || start >= size)
        return false;
    const auto *d = reinterpret_cast<const unsigned char *>(m_bytes.constData()) + start;
    const uint64_t room = size - start;
    if (m_format == Format::FoxPro) {
        if (room < 8)
            return false;
        const uint64_t length = readBe32(d + 4);
        if (length > room - 8)
            return false;
        out = {reinterpret_cast<const char *>(d + 8), static_cast<size_t>(length)};
        return true;
    }
    // dBASE IV: FF FF 08 00, then the length counting these eight bytes.
    if (room >= 8 && d[0] == 0xFF && d[1] == 0xFF && d[2] == 0x08 && d[3] == 0x00) {
        const uint64_t length = readLe32(d + 4);
        if (length < 8 || length - 8 > room - 8)
            return false;
        out = {reinterpret_cast<const char *>(d + 8), static_cast<size_t>(length - 8)};
        return true;
    }
    // dBASE III: the text runs to its end mark.
    const auto *end = static_cast<const unsigned char *>(std::memchr(d, EndOfText, static_cast<size_t>(room)));
    out = {reinterpret_cast<const char *>(d), static_cast<size_t>(end ? end - d : static_cast<ptrdiff_t>(room))};
    return true;
}

QString FindMemoFile(const QString &tablePath, bool foxPro)
{
    const QFileInfo table(tablePath);
    const QString base = table.completeBaseName();
    const QString first = foxPro ? QStringLiteral("fpt") : QStringLiteral("dbt");
    const QString second = foxPro ? QStringLiteral("dbt") : QStringLiteral("fpt");
    const QFileInfoList entries = table.dir().entryInfoList(QDir::Files | QDir::Readable, QDir::Name);
    for (const QString &suffix : {first, second}) {
        for (const QFileInfo &entry : entries) {
            if (entry.completeBaseName().compare(base, Qt::CaseInsensitive) == 0
                && entry.suffix().compare(suffix, Qt::CaseInsensitive) == 0)
                return entry.absoluteFilePath();
        }
    }
    return {};
}

} // namespace phonebook
