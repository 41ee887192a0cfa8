#include "QueryResult.h"

#include "DatabaseError.h"

#include <cstring>
#include <limits>
#include <new>

namespace phonebook {

template <typename T>
void QueryResult::Block<T>::reserve(size_t wanted)
{
    if (wanted <= capacity)
        return;
    // Grow by half: the spare room stays within the budget of 1.5 times the text.
    size_t grown = std::max<size_t>(wanted, capacity + capacity / 2);
    grown = std::max<size_t>(grown, 4096 / sizeof(T));
    void *p = std::realloc(data.get(), grown * sizeof(T));
    if (!p)
        throw std::bad_alloc();
    (void)data.release();
    data.reset(static_cast<T *>(p));
    capacity = grown;
}

template <typename T>
void QueryResult::Block<T>::shrink()
{
    if (size == capacity || size == 0)
        return;
    if (void *p = std::realloc(data.get(), size * sizeof(T))) {
        (void)data.release();
        data.reset(static_cast<T *>(p));
        capacity = size;
    }
}

QueryResult::QueryResult(QStringList columnNames)
    : m_columns(std::move(columnNames))
{
}

void QueryResult::appendCell(std::string_view utf8)
{
    if (m_text.size + utf8.size() > std::numeric_limits<uint32_t>::max())
        throw DatabaseError(QStringLiteral("The result of the statement is too large to hold (over 4 GB of text)."));
    m_text.reserve(m_text.size + utf8.size());
    if (!utf8.empty())
        std::memcpy(m_text.data.get() + m_text.size, utf8.data(), utf8.size());
    m_text.size += utf8.size();
    m_ends.reserve(m_ends.size + 1);
    m_ends.data.get()[m_ends.size++] = static_cast<uint32_t>(m_text.size);
}

void QueryResult::finish()
{
    m_text.shrink();
    m_ends.shrink();
}

std::string_view QueryResult::utf8(int row, int column) const
{
    const int columns = columnCount();
    if (row < 0 || row >= m_rows || column < 0 || column >= columns)
        return {};
    const size_t cell = static_cast<size_t>(row) * columns + column;
    const uint32_t end = m_ends.data.get()[cell];
    const uint32_t start = cell == 0 ? 0 : m_ends.data.get()[cell - 1];
    return {m_text.data.get() + start, end - start};
}

QString QueryResult::text(int row, int column) const
{
    const std::string_view cell = utf8(row, column);
    return QString::fromUtf8(cell.data(), static_cast<qsizetype>(cell.size()));
}

} // namespace phonebook
