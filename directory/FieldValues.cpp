// Reading the values of every field type of a table: numbers, dates,
// logical values and memo text, besides the character fields of DbfTable.h.

#include "DbfTable.h"

#include "MemoFile.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace phonebook {

namespace {

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\0'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.remove_suffix(1);
    return s;
}

int32_t le32(const unsigned char *p)
{
    return static_cast<int32_t>(uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24));
}
int64_t le64(const unsigned char *p)
{
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    return static_cast<int64_t>(v);
}
double leDouble(const unsigned char *p)
{
    const uint64_t bits = static_cast<uint64_t>(le64(p));
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// A number written in digits ("  12.50", "-3", "2.0"); false when blank or not a number.
bool parseNumber(std::string_view s, double &out)
{
    s = trimmed(s);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    if (s.empty() || s == ".")
        return false;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), out);
    return error == std::errc() && end == s.data() + s.size() && std::isfinite(out);
}

// A whole number of at most 18 digits with an optional sign, read without
// going through floating point; false for anything else.
bool parseWholeNumber(std::string_view s, int64_t &out)
{
    s = trimmed(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty() || s.size() > 18)
        return false;
    int64_t value = 0;
    for (const char c : s) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    out = negative ? -value : value;
    return true;
}

int digitsValue(std::string_view s)
{
    int value = 0;
    for (const char c : s)
        value = value * 10 + (c - '0');
    return value;
}

bool allDigits(std::string_view s)
{
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return !s.empty();
}

} // namespace

FieldKind KindOfField(char type, int length, int decimals)
{
    switch (type) {
    case 'C':
    case 'M':
    case 'G':
        return FieldKind::Text;
    case 'N':
    case 'F':
        return decimals == 0 ? FieldKind::Integer : FieldKind::Real;
    case 'I':
    case '+':
        return length == 4 ? FieldKind::Integer : FieldKind::Unknown;
    case 'Y':
    case 'O':
        return length == 8 ? FieldKind::Real : FieldKind::Unknown;
    case 'B':
        return FieldKind::Real; // a double when 8 bytes long, else a dBASE binary memo (as text)
    case 'D':
        return FieldKind::Date;
    case 'T':
    case '@':
        return length == 8 ? FieldKind::DateTime : FieldKind::Unknown;
    case 'L':
        return FieldKind::Logical;
    default:
        return FieldKind::Unknown;
    }
}

void DbfTable::openMemo()
{
    bool any = false;
    for (const DbfField &f : m_fields)
        any |= f.isMemo();
    if (!any || m_path.isEmpty())
        return;
    const unsigned char version = m_data[0];
    const bool foxPro = (version >= 0x30 && version <= 0x32) || version == 0xF5 || version == 0xFB;
    const QString memoPath = FindMemoFile(m_path, foxPro);
    if (memoPath.isEmpty()) {
        m_warnings << QCoreApplication::translate("phonebook", "the memo file (.dbt or .fpt) beside it is missing: memo fields are left empty");
        return;
    }
    QFile file(memoPath);
    if (!file.open(QIODevice::ReadOnly)) {
        m_warnings << QCoreApplication::translate("phonebook", "the memo file %1 cannot be read: %2")
                          .arg(QDir::toNativeSeparators(memoPath), file.errorString());
        return;
    }
    const bool fpt = memoPath.endsWith(QLatin1String(".fpt"), Qt::CaseInsensitive);
    m_memo = MemoFile::fromBytes(file.readAll(), fpt ? MemoFile::Format::FoxPro : MemoFile::Format::DBase);
    if (!m_memo)
        m_warnings << QCoreApplication::translate("phonebook", "the memo file %1 is damaged: memo fields are left empty")
                          .arg(QDir::toNativeSeparators(memoPath));
    checkMemoPointers();
}

void DbfTable::setMemo(QByteArray bytes, bool foxPro)
{
    m_memo = MemoFile::fromBytes(std::move(bytes), foxPro ? MemoFile::Format::FoxPro : MemoFile::Format::DBase);
    checkMemoPointers();
}

uint64_t DbfTable::memoBlock(uint32_t physical, int field) const
{
    const DbfField &f = m_fields[static_cast<size_t>(field)];
    const auto *p = record(physical) + f.offset;
    if (f.length == 4)
        return static_cast<uint32_t>(le32(p)); // Visual FoxPro: the block number in binary
    const std::string_view digits = trimmed(std::string_view(reinterpret_cast<const char *>(p), static_cast<size_t>(f.length)));
    uint64_t block = 0;
    if (!allDigits(digits) || digits.size() > 12)
        return 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), block);
    return block;
}

void DbfTable::checkMemoPointers()
{
    if (!m_memo)
        return;
    // Each row named, up to a few; a file of many such rows is summed up.
    constexpr int NamedRows = 5;
    const QString table = QFileInfo(m_path).fileName();
    int bad = 0;
    std::string_view text;
    for (uint32_t physical = 0; physical < m_physicalCount; ++physical) {
        if (isDeleted(physical))
            continue;
        for (int field = 0; field < static_cast<int>(m_fields.size()); ++field) {
            if (!m_fields[static_cast<size_t>(field)].isMemo())
                continue;
            const uint64_t block = memoBlock(physical, field);
            if (block == 0 || m_memo->text(block, text))
                continue;
            if (++bad <= NamedRows)
                m_warnings << QCoreApplication::translate("phonebook", "the memo of the field %1 in row %2 of %3 lies past the end of the memo file: it is read as NULL")
                                  .arg(m_fields[static_cast<size_t>(field)].name)
                                  .arg(physical + 1)
                                  .arg(table);
        }
    }
    if (bad > NamedRows)
        m_warnings << QCoreApplication::translate("phonebook", "%1 more memos of %2 lie past the end of the memo file")
                          .arg(bad - NamedRows)
                          .arg(table);
}

FieldValue DbfTable::value(uint32_t physical, int field, std::string &scratch) const
{
    const DbfField &f = m_fields[static_cast<size_t>(field)];
    const auto *p = record(physical) + f.offset;
    const std::string_view raw(reinterpret_cast<const char *>(p), static_cast<size_t>(f.length));
    FieldValue v;
    if (f.isCharacter()) {
        v.type = FieldValue::Text;
        v.text = rawField(physical, field);
        return v;
    }
    if (f.isMemo()) {
        const uint64_t block = memoBlock(physical, field);
        std::string_view text;
        if (block == 0 || !m_memo || !m_memo->text(block, text))
            return v;
        v.type = FieldValue::Text;
        v.text = text;
        return v;
    }
    switch (f.kind) {
    case FieldKind::Integer:
    case FieldKind::Real:
        if (f.type == 'I' || f.type == '+') {
            v.type = FieldValue::Integer;
            v.integer = le32(p);
        } else if (f.type == 'Y') {
            v.type = FieldValue::Real;
            v.real = static_cast<double>(le64(p)) / 10000.0;
        } else if (f.type == 'B' || f.type == 'O') {
            v.type = FieldValue::Real;
            v.real = leDouble(p);
            if (!std::isfinite(v.real))
                v.type = FieldValue::Null;
        } else if (f.kind == FieldKind::Integer && parseWholeNumber(raw, v.integer)) {
            v.type = FieldValue::Integer;
        } else {
            double number = 0;
            if (!parseNumber(raw, number))
                return v;
            if (f.kind == FieldKind::Integer && number == std::trunc(number) && std::fabs(number) < 9.0e15) {
                v.type = FieldValue::Integer;
                v.integer = static_cast<int64_t>(number);
            } else {
                v.type = FieldValue::Real;
                v.real = number;
            }
        }
        return v;
    case FieldKind::Date: {
        const std::string_view digits = trimmed(raw);
        if (digits.size() != 8 || !allDigits(digits))
            return v;
        if (!QDate::isValid(digitsValue(digits.substr(0, 4)), digitsValue(digits.substr(4, 2)), digitsValue(digits.substr(6, 2))))
            return v;
        // Written into the kept buffer: no allocation once it has grown.
        scratch.resize(10);
        std::memcpy(scratch.data(), digits.data(), 4);
        scratch[4] = '-';
        std::memcpy(scratch.data() + 5, digits.data() + 4, 2);
        scratch[7] = '-';
        std::memcpy(scratch.data() + 8, digits.data() + 6, 2);
        v.type = FieldValue::Text;
        v.text = scratch;
        return v;
    }
    case FieldKind::DateTime: {
        const int32_t day = le32(p);
        const int32_t ms = le32(p + 4);
        const QDate date = QDate::fromJulianDay(day);
        if (day <= 0 || !date.isValid() || ms < 0 || ms >= 86400000)
            return v;
        const int seconds = ms / 1000;
        char text[32];
        const int n = std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", date.year(), date.month(),
                                    date.day(), seconds / 3600, seconds / 60 % 60, seconds % 60);
        if (n != 19 || date.year() < 1)
            return v;
        scratch.assign(text, 19);
        v.type = FieldValue::Text;
        v.text = scratch;
        return v;
    }
    case FieldKind::Logical: {
        const char c = f.length > 0 ? static_cast<char>(p[0]) : ' ';
        if (c == 'T' || c == 't' || c == 'Y' || c == 'y')
            v.integer = 1;
        else if (c == 'F' || c == 'f' || c == 'N' || c == 'n')
            v.integer = 0;
        else
            return v; // "?" or blank: not known
        v.type = FieldValue::Integer;
        return v;
    }
    case FieldKind::Text:
    case FieldKind::Unknown:
        break;
    }
    return v;
}

QString DbfTable::shownText(uint32_t physical, int field) const
{
    const DbfField &f = m_fields[static_cast<size_t>(field)];
    if (f.isCharacter())
        return text(physical, field);
    std::string scratch;
    const FieldValue v = value(physical, field, scratch);
    switch (v.type) {
    case FieldValue::Null:
        return {};
    case FieldValue::Integer:
        return QString::number(v.integer);
    case FieldValue::Real:
        if (f.type == 'N' || f.type == 'F') // as written in the table
        {
            const std::string_view written = trimmed(std::string_view(
                reinterpret_cast<const char *>(record(physical) + f.offset), static_cast<size_t>(f.length)));
            return QString::fromLatin1(written.data(), static_cast<qsizetype>(written.size()));
        }
        return QString::number(v.real, 'g', QLocale::FloatingPointShortest);
    case FieldValue::Text:
        return DecodeBytes(m_codePage, v.text);
    }
    return {};
}

} // namespace phonebook
