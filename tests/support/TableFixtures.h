#pragma once
// Small table files for tests, written with our own writer into a temporary
// directory, and helpers to damage them on purpose.

#include "DbfWriter.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <stdexcept>
#include <vector>

namespace phonebook::fixtures {

struct Row {
    std::vector<QString> values;
    bool deleted = false;
};

// Character fields of the given names and widths.
inline std::vector<DbfFieldSpec> CharFields(std::initializer_list<std::pair<const char *, int>> fields)
{
    std::vector<DbfFieldSpec> specs;
    for (const auto &[name, length] : fields)
        specs.push_back({QString::fromLatin1(name), 'C', length, 0});
    return specs;
}

// Writes the table to path and returns path.
inline QString WriteTable(const QString &path, const std::vector<DbfFieldSpec> &fields, const std::vector<Row> &rows,
                          DbfWriterOptions options = {})
{
    DbfWriter writer(path, fields, options);
    for (const Row &row : rows)
        writer.addRecord(row.values, row.deleted);
    writer.finish();
    return path;
}

inline QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return file.readAll();
}

inline void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

// Little-endian 16- and 32-bit header values.
inline void PutLe16(QByteArray &bytes, int at, unsigned value)
{
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

inline void PutLe32(QByteArray &bytes, int at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

} // namespace phonebook::fixtures
