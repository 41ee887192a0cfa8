#include "DbfTable.h"

#include "DatabaseError.h"
#include "Utf8.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <climits>
#include <cstring>
#include <condition_variable>
#include <list>
#include <mutex>

namespace phonebook {

namespace {

constexpr int kHeaderSize = 32;
constexpr int kDescriptorSize = 32;
constexpr int kVisualFoxProBacklink = 263; // after the field list of Visual FoxPro tables
constexpr unsigned char kFieldListEnd = 0x0D;
constexpr unsigned char kEndOfFile = 0x1A;
constexpr unsigned char kDeletedFlag = '*';
// Records looked at to judge the code page of an unmarked table, and the most
// text bytes looked at: enough to tell the code pages apart, small enough for
// opening to stay fast on a table of millions of records.
constexpr uint32_t kSampleRecords = 512;
constexpr size_t kSampleBytes = 64 * 1024;

// "1 record", "3 records" (Russian has three plural forms, chosen by the
// last two digits; a count beyond int is told by a stand-in of the same form).
QString Counted(qint64 n, const char *one, const char *many)
{
    const int form = n <= INT_MAX ? static_cast<int>(n) : static_cast<int>(100 + n % 100);
    QString text = QCoreApplication::translate("phonebook", n == 1 ? one : many, nullptr, form);
    if (form != n)
        text.replace(QString::number(form), QString::number(n));
    return text;
}
QString Records(qint64 n) { return Counted(n, QT_TRANSLATE_N_NOOP("phonebook", "%n record"), QT_TRANSLATE_N_NOOP("phonebook", "%n records")); }
QString Bytes(qint64 n) { return Counted(n, QT_TRANSLATE_N_NOOP("phonebook", "%n byte"), QT_TRANSLATE_N_NOOP("phonebook", "%n bytes")); }

uint16_t ReadLe16(const unsigned char *p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t ReadLe32(const unsigned char *p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16)
        | (static_cast<uint32_t>(p[3]) << 24);
}

QString Hex(unsigned value) { return QStringLiteral("0x") + QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper(); }

// Version bytes of the dBASE III / IV and FoxPro family, whose headers and
// 32-byte field descriptors this reader understands.
bool IsKnownVersion(unsigned char v)
{
    switch (v) {
    case 0x03: // dBASE III, FoxPro, FoxBASE+ without memo
    case 0x05: // dBASE 5 without memo
    case 0x30: // Visual FoxPro
    case 0x31: // Visual FoxPro with autoincrement
    case 0x32: // Visual FoxPro with varchar/varbinary
    case 0x43: // dBASE IV SQL table
    case 0x63: // dBASE IV SQL system file
    case 0x83: // dBASE III with memo
    case 0x8B: // dBASE IV with memo
    case 0x8E: // dBASE IV with SQL table
    case 0xCB: // dBASE IV SQL table with memo
    case 0xE5: // Clipper SIX driver with SMT memo
    case 0xF5: // FoxPro 2 with memo
    case 0xFB: // FoxBASE
        return true;
    default:
        return false;
    }
}

struct RawField {
    QByteArray name;
    char type = 'C';
    int offset = 0;
    int length = 0;
    int decimals = 0;
};

} // namespace

DbfTable::~DbfTable() = default;

namespace {

// The tables opened last, most recent first. Every statement opens its
// tables afresh, and the windows, the searches and the background lists
// open the same two files again and again, often at the same time: a table
// being opened is waited for and shared rather than read twice.
constexpr size_t KeptTables = 4;
std::mutex g_keptMutex;
std::condition_variable g_tableOpened;
std::vector<std::shared_ptr<const DbfTable>> g_kept;

// A table being opened, and the threads waiting for it.
struct Opening {
    QString path;
    std::shared_ptr<const DbfTable> table; // null until done, or when it failed
    bool done = false;
    int waiting = 0;
};
std::list<Opening> g_opening;

} // namespace

std::shared_ptr<const DbfTable> DbfTable::open(const QString &path)
{
    std::list<Opening>::iterator mine;
    {
        std::unique_lock lock(g_keptMutex);
        for (;;) {
            const auto kept = std::find_if(g_kept.begin(), g_kept.end(), [&](const auto &t) { return t->m_path == path; });
            if (kept != g_kept.end()) {
                std::shared_ptr<const DbfTable> table = *kept;
                g_kept.erase(kept);
                if (table->m_file.stillAt(path)) {
                    g_kept.insert(g_kept.begin(), table);
                    return table;
                }
            }
            const auto other = std::find_if(g_opening.begin(), g_opening.end(),
                                            [&](const Opening &o) { return o.path == path && !o.done; });
            if (other == g_opening.end())
                break;
            // Opened while this call waited: as fresh as opening it here. A
            // failure is not shared; the file is tried again for a message of
            // this call's own.
            ++other->waiting;
            g_tableOpened.wait(lock, [&] { return other->done; });
            std::shared_ptr<const DbfTable> table = other->table;
            if (--other->waiting == 0)
                g_opening.erase(other);
            if (table)
                return table;
        }
        mine = g_opening.insert(g_opening.end(), Opening{path, nullptr, false, 0});
    }
    const auto opened = [&](const std::shared_ptr<const DbfTable> &table, bool keep) {
        const std::lock_guard lock(g_keptMutex);
        mine->table = table;
        mine->done = true;
        if (mine->waiting == 0)
            g_opening.erase(mine);
        if (keep) {
            g_kept.insert(g_kept.begin(), table);
            if (g_kept.size() > KeptTables)
                g_kept.pop_back();
        }
        g_tableOpened.notify_all();
    };
    std::shared_ptr<const DbfTable> table;
    try {
        table = openFile(path);
    } catch (...) {
        opened(nullptr, false);
        throw;
    }
    // A memo file may change apart from its table: such tables are read
    // afresh, as are tables read into memory (every guard slot taken).
    const bool memo = std::any_of(table->m_fields.begin(), table->m_fields.end(), [](const DbfField &f) { return f.isMemo(); });
    opened(table, table->m_file.settled() && !memo && table->m_file.data() == table->m_data);
    return table;
}

std::shared_ptr<const DbfTable> DbfTable::openFile(const QString &path)
{
    std::shared_ptr<DbfTable> table(new DbfTable);
    table->m_path = path;
    QString error;
    if (!table->m_file.open(path, error))
        throw DatabaseError(QCoreApplication::translate("phonebook", "Cannot open the table %1: %2.").arg(QDir::toNativeSeparators(path), error),
                            path);
    table->m_size = table->m_file.size();
    table->m_data = table->m_file.data();
    table->parse();
    table->openMemo();
    if (table->changed())
        table->fail(QCoreApplication::translate("phonebook", "the file changed while it was being read"));
    return table;
}

std::shared_ptr<const DbfTable> DbfTable::fromBytes(QByteArray bytes, const QString &name, QByteArray memo)
{
    std::shared_ptr<DbfTable> table(new DbfTable);
    table->m_path = name;
    table->m_bytes = std::move(bytes);
    table->m_data = reinterpret_cast<const unsigned char *>(table->m_bytes.constData());
    table->m_size = table->m_bytes.size();
    table->parse();
    if (!memo.isEmpty()) {
        const unsigned char version = table->m_data[0];
        table->setMemo(std::move(memo), (version >= 0x30 && version <= 0x32) || version == 0xF5 || version == 0xFB);
    }
    return table;
}

std::shared_ptr<const DbfTable> DbfTable::openFirst(const QString &path, uint32_t records)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    QByteArray bytes = file.read(32);
    if (bytes.size() < 32)
        return nullptr;
    const auto byte = [&](int i) { return static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])); };
    const uint32_t headerCount = byte(4) | byte(5) << 8 | byte(6) << 16 | byte(7) << 24;
    const uint32_t headerLength = byte(8) | byte(9) << 8;
    const uint32_t recordLength = byte(10) | byte(11) << 8;
    if (headerLength <= 32 || recordLength == 0)
        return nullptr;
    const qint64 wanted = qint64(headerLength) + qint64(std::min(headerCount, records)) * recordLength;
    bytes += file.read(wanted - bytes.size());
    if (bytes.size() < qint64(headerLength))
        return nullptr;
    // The header's count, made the records read, so that the part reads as a sound table.
    const auto count = static_cast<uint32_t>((bytes.size() - headerLength) / recordLength);
    bytes.truncate(qint64(headerLength) + qint64(count) * recordLength);
    for (int i = 0; i < 4; ++i)
        bytes[4 + i] = static_cast<char>(count >> (8 * i));
    try {
        std::shared_ptr<const DbfTable> first = fromBytes(std::move(bytes), path);
        const bool memo = std::any_of(first->m_fields.begin(), first->m_fields.end(), [](const DbfField &f) { return f.isMemo(); });
        return memo ? nullptr : first;
    } catch (const DatabaseError &) {
        return nullptr;
    }
}

void DbfTable::fail(const QString &fault) const
{
    throw DatabaseError(QCoreApplication::translate("phonebook", "Cannot read the table %1: %2.").arg(QDir::toNativeSeparators(m_path), fault),
                        m_path);
}

int DbfTable::fieldIndex(QStringView name) const
{
    for (size_t i = 0; i < m_fields.size(); ++i)
        if (name.compare(m_fields[i].name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

void DbfTable::parse()
{
    if (m_size < kHeaderSize)
        fail(QCoreApplication::translate("phonebook", "the file is %1 long, shorter than a table header (%2 bytes)")
                 .arg(Bytes(m_size))
                 .arg(kHeaderSize));
    const unsigned char *d = m_data;
    const unsigned char version = d[0];
    if (version == 0x02)
        fail(QCoreApplication::translate("phonebook", "it is a dBase II file (version byte 0x02), a format this program does not read"));
    if (version == 0x04 || version == 0x8C)
        fail(QCoreApplication::translate("phonebook", "it is a dBase 7 file (version byte %1), a format this program does not read")
                 .arg(Hex(version)));
    if (!IsKnownVersion(version))
        fail(QCoreApplication::translate("phonebook", "it is not a dBASE or FoxPro table (version byte %1)").arg(Hex(version)));

    const uint32_t headerCount = ReadLe32(d + 4);
    m_headerLength = ReadLe16(d + 8);
    const int headerRecordLength = ReadLe16(d + 10);
    const unsigned char languageDriver = d[29];

    if (m_headerLength < kHeaderSize + kDescriptorSize)
        fail(QCoreApplication::translate("phonebook", "the header (%1 bytes) holds no field descriptions").arg(m_headerLength));
    if (m_headerLength > m_size)
        fail(QCoreApplication::translate("phonebook", "the header claims %1 bytes, the file holds only %2")
                 .arg(m_headerLength)
                 .arg(Bytes(m_size)));

    // Field descriptors run from byte 32 to the 0x0D that ends the list, or,
    // where a writer left it out, to the end of the header. Visual FoxPro
    // keeps a 263-byte area after the list.
    int descriptorsEnd = m_headerLength;
    const bool visualFoxPro = version >= 0x30 && version <= 0x32;
    if (visualFoxPro && m_headerLength - kVisualFoxProBacklink >= kHeaderSize + kDescriptorSize)
        descriptorsEnd = m_headerLength - kVisualFoxProBacklink;
    std::vector<RawField> raw;
    bool terminated = false;
    for (int pos = kHeaderSize; pos < descriptorsEnd; pos += kDescriptorSize) {
        if (d[pos] == kFieldListEnd) {
            terminated = true;
            break;
        }
        if (pos + kDescriptorSize > descriptorsEnd)
            break;
        RawField f;
        const char *name = reinterpret_cast<const char *>(d + pos);
        f.name = QByteArray(name, static_cast<qsizetype>(strnlen(name, 11)));
        f.type = static_cast<char>(d[pos + 11]);
        f.length = d[pos + 16];
        f.decimals = d[pos + 17];
        raw.push_back(std::move(f));
    }
    if (raw.empty())
        fail(QCoreApplication::translate("phonebook", "the header holds no field descriptions"));
    if (!terminated)
        m_warnings << QCoreApplication::translate("phonebook", "the field list in the header has no end mark (0x0D)");

    // Offsets follow from the lengths in order. Clipper stores the length of
    // a character field above 255 in the decimals byte; take that reading
    // only when the header's record length confirms it (other writers put a
    // decimal count there).
    int plain = 1;
    int clipper = 1;
    for (const RawField &f : raw) {
        plain += f.length;
        clipper += f.length + (f.type == 'C' ? f.decimals * 256 : 0);
    }
    const bool longCharacters = plain != headerRecordLength && clipper == headerRecordLength;
    int offset = 1;
    for (RawField &f : raw) {
        if (longCharacters && f.type == 'C')
            f.length += f.decimals * 256;
        f.offset = offset;
        offset += f.length;
    }
    m_recordLength = headerRecordLength;
    if (offset > headerRecordLength) {
        m_warnings << QCoreApplication::translate("phonebook", "the header gives records of %1 bytes, the fields need %2")
                          .arg(headerRecordLength)
                          .arg(offset);
        m_recordLength = offset;
    }

    countRecords(headerCount);

    std::vector<std::pair<int, int>> textFields;
    for (const RawField &f : raw)
        if (f.type == 'C')
            textFields.emplace_back(f.offset, f.length);
    chooseCodePage(languageDriver, textFields);
    for (const RawField &f : raw) {
        DbfField field;
        field.name = DecodeBytes(m_codePage, std::string_view(f.name.constData(), static_cast<size_t>(f.name.size())));
        field.type = f.type;
        field.offset = f.offset;
        field.length = f.length;
        field.decimals = f.decimals;
        field.kind = KindOfField(f.type, f.length, f.decimals);
        // Visual FoxPro's record of which fields hold NULL is not a column.
        if (f.type == '0' && field.name.compare(u"_NullFlags", Qt::CaseInsensitive) == 0)
            continue;
        if (field.kind == FieldKind::Unknown)
            m_warnings << QCoreApplication::translate("phonebook", "the field %1 has the type \"%2\", which this program does not read: it is left empty")
                              .arg(field.name, QString(QChar::fromLatin1(f.type)));
        m_fields.push_back(std::move(field));
    }
}

uint32_t DbfTable::readFlags(uint32_t count, uint32_t &deleted, unsigned &endMark) const
{
    // Touching one byte of every record through the mapping maps every page
    // of the file, three times slower on a large table than reading it: the
    // longest step of the start-up. Blocks of this size stay in the cache.
    constexpr size_t BlockBytes = 128 * 1024;
    if (!m_file.data())
        return 0;
    const size_t step = static_cast<size_t>(m_recordLength);
    const size_t perBlock = std::max<size_t>(1, BlockBytes / step);
    std::vector<unsigned char> block(perBlock * step);
    uint32_t done = 0;
    while (done < count) {
        const auto records = static_cast<uint32_t>(std::min<size_t>(perBlock, count - done));
        const size_t length = (records - 1) * step + 1;
        if (m_file.read(m_headerLength + static_cast<qint64>(done) * m_recordLength, block.data(), length)
            != static_cast<qint64>(length))
            break;
        for (size_t i = 0; i < records; ++i) {
            const unsigned char flag = block[i * step];
            deleted += flag == kDeletedFlag;
            endMark |= flag == kEndOfFile;
        }
        done += records;
    }
    return done;
}

void DbfTable::countRecords(uint32_t headerCount)
{
    const qint64 available = m_size - m_headerLength;
    const qint64 whole = std::min<qint64>(available / m_recordLength, UINT32_MAX);
    const unsigned char *first = m_data + m_headerLength;
    const size_t step = static_cast<size_t>(m_recordLength);

    // The one pass over the records: count the deletion flags, and notice an
    // end-of-file mark where a record should start.
    uint32_t n = static_cast<uint32_t>(std::min<qint64>(headerCount, whole));
    uint32_t deleted = 0;
    unsigned endMark = 0;
    for (uint32_t i = readFlags(n, deleted, endMark); i < n; ++i) {
        const unsigned char flag = first[static_cast<size_t>(i) * step];
        deleted += flag == kDeletedFlag;
        endMark |= flag == kEndOfFile;
    }
    if (endMark) {
        // The mark was seen through a read of the file; the mapping may have
        // changed since, so the search stops at the records it holds.
        uint32_t end = 0;
        while (end < n && first[static_cast<size_t>(end) * step] != kEndOfFile)
            ++end;
        n = end;
        deleted = 0;
        for (uint32_t i = 0; i < n; ++i)
            deleted += first[static_cast<size_t>(i) * step] == kDeletedFlag;
    } else {
        // Records beyond the header's count, up to the end mark or the end of the file.
        while (n < whole) {
            const unsigned char flag = first[static_cast<size_t>(n) * step];
            if (flag != ' ' && flag != kDeletedFlag)
                break;
            deleted += flag == kDeletedFlag;
            ++n;
        }
    }
    m_physicalCount = n;
    m_liveCount = n - deleted;
    if (n != headerCount) {
        m_warnings << QCoreApplication::translate("phonebook", "the header promises %1, the file holds %2")
                          .arg(Records(headerCount))
                          .arg(n);
        const qint64 rest = available - static_cast<qint64>(n) * m_recordLength;
        if (n < headerCount && n == whole && rest > 0 && first[static_cast<size_t>(n) * step] != kEndOfFile)
            m_warnings << QCoreApplication::translate("phonebook", "the file ends inside record %1 (%2 of its %3 bytes are present)")
                              .arg(n + 1)
                              .arg(rest)
                              .arg(m_recordLength);
    }
    if (deleted) {
        m_live.resize(m_liveCount);
        uint32_t k = 0;
        for (uint32_t i = 0; i < n; ++i)
            if (first[static_cast<size_t>(i) * step] != kDeletedFlag)
                m_live[k++] = i;
    }
}

void DbfTable::chooseCodePage(uint8_t languageDriver, const std::vector<std::pair<int, int>> &textFields)
{
    switch (languageDriver) {
    case 0x26:
    case 0x65: m_codePage = CodePage::Cp866; return;
    case 0xC9: m_codePage = CodePage::Windows1251; return;
    case 0x03: m_codePage = CodePage::Windows1252; return;
    default: break;
    }
    // Unmarked (or marked with something we cannot trust): judge by the bytes
    // of a sample of the character fields, records spread over the file.
    m_codePage = CodePage::Windows1251;
    size_t textPerRecord = 1;
    for (const auto &field : textFields)
        textPerRecord += static_cast<size_t>(field.second);
    const size_t samples = std::clamp<size_t>(kSampleBytes / textPerRecord, 1, kSampleRecords);
    const uint64_t stride = std::max<uint64_t>(1, m_physicalCount / samples);
    size_t seen = 0;
    size_t multibyte = 0;
    bool validUtf8 = true;
    size_t in866 = 0;  // bytes in cp866's letter ranges
    size_t in1251 = 0; // bytes in Windows-1251's letter range
    for (uint64_t r = 0; r < m_physicalCount && seen < kSampleBytes; r += stride) {
        const unsigned char *rec = record(static_cast<uint32_t>(r));
        for (const auto &[offset, length] : textFields) {
            const unsigned char *s = rec + offset;
            const size_t n = static_cast<size_t>(length);
            seen += n;
            for (size_t i = 0; i < n; ++i) {
                const unsigned char b = s[i];
                in866 += (b >= 0x80 && b <= 0xAF) || (b >= 0xE0 && b <= 0xEF);
                in1251 += b >= 0xC0;
            }
            for (size_t i = 0; validUtf8 && i < n;) {
                if (s[i] < 0x80) {
                    ++i;
                    continue;
                }
                // Well-formed, or cut short by the end of a fixed-width field.
                const Utf8Char c = DecodeUtf8(s + i, n - i);
                if (c.malformed() && !IsCutUtf8(s + i, n - i)) {
                    validUtf8 = false;
                } else {
                    ++multibyte;
                    i += c.malformed() ? n - i : c.length;
                }
            }
        }
    }
    if (validUtf8 && multibyte)
        m_codePage = CodePage::Utf8;
    else if (in866 > in1251)
        m_codePage = CodePage::Cp866;
}

} // namespace phonebook
