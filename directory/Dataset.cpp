#include "Dataset.h"

#include "TableReadGuard.h"

#include "DatabaseError.h"
#include "DbfTable.h"
#include "QueryResult.h"
#include "TableFiles.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>

namespace phonebook {

int RowSource::columnIndex(QStringView name) const
{
    const int columns = columnCount();
    for (int n = 0; n < columns; ++n) {
        if (columnName(n).compare(name, Qt::CaseInsensitive) == 0)
            return n;
    }
    return -1;
}

void Dataset::setSource(std::shared_ptr<const RowSource> source)
{
    m_source = std::move(source);
    m_recNo = m_source && m_source->rowCount() > 0 ? 1 : 0;
    m_eof = m_recNo == 0;
}

void Dataset::Close()
{
    m_source.reset();
    m_recNo = 0;
    m_eof = true;
    releaseSource();
}

int Dataset::RecordCount() const { return m_source ? m_source->rowCount() : 0; }

void Dataset::First()
{
    m_recNo = RecordCount() > 0 ? 1 : 0;
    m_eof = m_recNo == 0;
}

void Dataset::Next()
{
    if (m_recNo < RecordCount())
        ++m_recNo;
    else
        m_eof = true;
}

void Dataset::MoveBy(int distance)
{
    const int count = RecordCount();
    if (count == 0)
        return;
    const qint64 target = static_cast<qint64>(m_recNo) + distance;
    m_recNo = static_cast<int>(std::clamp<qint64>(target, 1, count));
    m_eof = target > count;
}

bool Dataset::Eof() const { return m_eof || RecordCount() == 0; }

int Dataset::FieldCount() const { return m_source ? m_source->columnCount() : 0; }

QString Dataset::FieldName(int ordinal) const { return m_source ? m_source->columnName(ordinal) : QString(); }

int Dataset::FieldIndex(QStringView name) const { return m_source ? m_source->columnIndex(name) : -1; }

QString Dataset::Field(int ordinal) const
{
    if (!m_source || m_recNo == 0 || ordinal < 0 || ordinal >= m_source->columnCount())
        return {};
    return m_source->text(m_recNo - 1, ordinal);
}

QString Dataset::FieldByName(QStringView name) const
{
    const int ordinal = FieldIndex(name);
    if (ordinal < 0)
        throw DatabaseError(CoreError(CoreMessage("Field \"%1\" not found."), {name.toString()}));
    return Field(ordinal);
}

bool Dataset::Locate(QStringView field, QStringView value)
{
    const int ordinal = FieldIndex(field);
    if (ordinal < 0)
        throw DatabaseError(CoreError(CoreMessage("Field \"%1\" not found."), {field.toString()}));
    const int count = RecordCount();
    int found = -1;
    if (const auto *result = dynamic_cast<const QueryResult *>(m_source.get())) {
        // Compare the UTF-8 bytes in place: no string per row.
        const QByteArray prefix = value.toUtf8();
        const std::string_view wanted(prefix.constData(), static_cast<size_t>(prefix.size()));
        for (int row = 0; row < count && found < 0; ++row) {
            if (result->utf8(row, ordinal).starts_with(wanted))
                found = row;
        }
    } else {
        for (int row = 0; row < count && found < 0; ++row) {
            if (m_source->text(row, ordinal).startsWith(value))
                found = row;
        }
    }
    if (found < 0)
        return false;
    m_recNo = found + 1;
    m_eof = false;
    return true;
}

static ValueKind KindShown(FieldKind kind)
{
    switch (kind) {
    case FieldKind::Text: return ValueKind::Stored;
    case FieldKind::Date: return ValueKind::Date;
    case FieldKind::DateTime: return ValueKind::DateTime;
    case FieldKind::Logical: return ValueKind::Logical;
    case FieldKind::Integer:
    case FieldKind::Real:
    case FieldKind::Unknown: break;
    }
    return ValueKind::Number;
}

// The live records of a table file, read in place while the cursor is open.
class TableSource final : public RowSource {
public:
    explicit TableSource(std::shared_ptr<const DbfTable> table)
        : m_table(std::move(table))
    {
    }

    int rowCount() const override { return m_table ? static_cast<int>(m_table->liveCount()) : 0; }
    int columnCount() const override { return m_table ? static_cast<int>(m_table->fields().size()) : 0; }
    QString columnName(int column) const override
    {
        return column >= 0 && column < columnCount() ? m_table->fields()[column].name : QString();
    }
    QString text(int row, int column) const override
    {
        if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount() || !m_guard.MayRead(*m_table, row))
            return {};
        QString value = m_table->shownText(m_table->liveRecord(static_cast<uint32_t>(row)), column);
        if (!m_guard.ReadSound(*m_table))
            return {};
        return value;
    }
    ValueKind columnKind(int column) const override
    {
        if (column < 0 || column >= columnCount())
            return ValueKind::Stored;
        return KindShown(m_table->fields()[static_cast<size_t>(column)].kind);
    }
    // Whether the file changed since it was opened (checked now).
    bool changed() const { return m_guard.Changed(m_table.get()); }
    bool lost() const override { return !m_table || changed(); }
    // Unmaps the file; the source reads as empty from then on.
    void release() { m_table.reset(); }

private:

    std::shared_ptr<const DbfTable> m_table;
    TableReadGuard m_guard;
};

TableCursor::~TableCursor() { releaseSource(); }

void TableCursor::Open()
{
    Close();
    m_warnings.clear();
    const QString path = FindTableFile(Directory(), m_tableName);
    if (path.isEmpty())
        throw DatabaseError(CoreError(CoreMessage("Table \"%1\" not found in %2."), {m_tableName, Directory()}));
    Open(DbfTable::open(path));
}

void TableCursor::Open(std::shared_ptr<const DbfTable> table)
{
    Close();
    m_warnings = table->warnings();
    m_table = std::make_shared<TableSource>(std::move(table));
    setSource(m_table);
}

bool TableCursor::FileChanged() const { return m_table && m_table->changed(); }

void TableCursor::releaseSource()
{
    if (m_table) {
        m_table->release();
        m_table.reset();
    }
}

} // namespace phonebook
