#include "DbfWriter.h"

#include "DatabaseError.h"
#include "Utf8.h"

#include <QDate>
#include <QDir>

#include <algorithm>
#include <cstring>

namespace phonebook {

namespace {

constexpr int kHeaderSize = 32;
constexpr int kDescriptorSize = 32;
constexpr int kVisualFoxProBacklink = 263;
constexpr size_t kFlushSize = 1 << 20;

void PutLe16(std::string &s, size_t at, unsigned value)
{
    s[at] = static_cast<char>(value & 0xFF);
    s[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void PutLe32(std::string &s, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        s[at + static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

bool IsVisualFoxPro(uint8_t version) { return version >= 0x30 && version <= 0x32; }

// Drops the bytes of a UTF-8 character that a cut left incomplete.
size_t Utf8CutPoint(const std::string &s, size_t limit)
{
    if (s.size() <= limit)
        return s.size();
    size_t cut = limit;
    while (cut > 0 && !StartsUtf8Char(s, cut))
        --cut;
    return cut;
}

} // namespace

DbfWriter::DbfWriter(const QString &path, std::vector<DbfFieldSpec> fields, DbfWriterOptions options)
    : m_file(path), m_fields(std::move(fields)), m_options(options)
{
    for (const DbfFieldSpec &f : m_fields) {
        if (f.length < 1 || f.length > 255)
            fail(QStringLiteral("the field %1 has the length %2 (1 to 255 allowed)").arg(f.name).arg(f.length));
        m_recordLength += f.length;
    }
    if (m_recordLength > 0xFFFF)
        fail(QStringLiteral("a record of %1 bytes is too long").arg(m_recordLength));
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fail(m_file.errorString());
    m_buffer = header();
    m_record.reserve(static_cast<size_t>(m_recordLength));
}

DbfWriter::~DbfWriter()
{
    if (!m_finished && m_file.isOpen()) {
        try {
            finish();
        } catch (const DatabaseError &) {
            // A destructor must not throw; a caller who cares calls finish().
        }
    }
}

void DbfWriter::fail(const QString &fault) const
{
    throw DatabaseError(
        QStringLiteral("Cannot write the table %1: %2.").arg(QDir::toNativeSeparators(m_file.fileName()), fault),
        m_file.fileName());
}

std::string DbfWriter::header() const
{
    const size_t fieldCount = m_fields.size();
    size_t length = kHeaderSize + fieldCount * kDescriptorSize + 1;
    if (IsVisualFoxPro(m_options.version))
        length += kVisualFoxProBacklink;
    std::string h(length, '\0');
    const QDate today = QDate::currentDate();
    h[0] = static_cast<char>(m_options.version);
    h[1] = static_cast<char>(today.year() - 1900);
    h[2] = static_cast<char>(today.month());
    h[3] = static_cast<char>(today.day());
    PutLe32(h, 4, m_count);
    PutLe16(h, 8, static_cast<unsigned>(length));
    PutLe16(h, 10, static_cast<unsigned>(m_recordLength));
    h[29] = static_cast<char>(m_options.languageDriver);
    int offset = 1;
    for (size_t i = 0; i < fieldCount; ++i) {
        const DbfFieldSpec &f = m_fields[i];
        const size_t at = kHeaderSize + i * kDescriptorSize;
        const QByteArray name = f.name.toLatin1().left(10);
        std::memcpy(h.data() + at, name.constData(), static_cast<size_t>(name.size()));
        h[at + 11] = f.type;
        PutLe32(h, at + 12, static_cast<uint32_t>(offset));
        h[at + 16] = static_cast<char>(f.length);
        h[at + 17] = static_cast<char>(f.decimals);
        offset += f.length;
    }
    h[kHeaderSize + fieldCount * kDescriptorSize] = 0x0D;
    return h;
}

void DbfWriter::addRecord(const std::vector<QString> &values, bool deleted)
{
    if (m_finished)
        fail(QStringLiteral("a record was added after the table was finished"));
    m_record.assign(1, deleted ? '*' : ' ');
    std::string value;
    for (size_t i = 0; i < m_fields.size(); ++i) {
        const DbfFieldSpec &f = m_fields[i];
        const auto width = static_cast<size_t>(f.length);
        const QString text = i < values.size() ? values[i] : QString();
        value.clear();
        if (!EncodeText(m_options.codePage, text, value))
            fail(QStringLiteral("the value \"%1\" of the field %2 has a character that %3 cannot hold")
                     .arg(text, f.name, QLatin1String(CodePageName(m_options.codePage))));
        if (f.type == 'C') {
            const size_t cut = m_options.codePage == CodePage::Utf8 ? Utf8CutPoint(value, width) : std::min(value.size(), width);
            m_record.append(value, 0, cut);
            m_record.append(width - cut, ' ');
        } else {
            // Numbers right-aligned, dates and logicals as given. A cut
            // number would be another number: refuse it.
            if (value.size() > width)
                fail(QStringLiteral("the value \"%1\" does not fit the field %2 (%3 characters)")
                         .arg(text, f.name)
                         .arg(f.length));
            if (f.type == 'N' || f.type == 'F')
                m_record.append(width - value.size(), ' ').append(value);
            else
                m_record.append(value).append(width - value.size(), ' ');
        }
    }
    m_buffer += m_record;
    ++m_count;
    if (m_buffer.size() >= kFlushSize)
        flush();
}

void DbfWriter::flush()
{
    if (m_buffer.empty())
        return;
    if (m_file.write(m_buffer.data(), static_cast<qint64>(m_buffer.size())) != static_cast<qint64>(m_buffer.size()))
        fail(m_file.errorString());
    m_buffer.clear();
}

void DbfWriter::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_buffer.push_back('\x1A');
    flush();
    const std::string h = header();
    if (!m_file.seek(0) || m_file.write(h.data(), kHeaderSize) != kHeaderSize)
        fail(m_file.errorString());
    m_file.close();
    if (m_file.error() != QFileDevice::NoError)
        fail(m_file.errorString());
}

} // namespace phonebook
