#include "QueryResult.h"

#include "DatabaseError.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

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

QueryResult::QueryResult(QStringList columnNames, QList<bool> storedColumns)
    : m_columns(std::move(columnNames))
    , m_stored(std::move(storedColumns))
{
}

void QueryResult::cover(size_t start, size_t length)
{
    const size_t last = (start + std::max<size_t>(length, 1) - 1) >> ChunkBits;
    if (last < m_chunkBase.size())
        return;
    TextBlock &added = m_blocks.emplace_back();
    added.firstChunk = m_chunkBase.size();
    const size_t count = last + 1 - added.firstChunk;
    added.block.reserve(count * ChunkSize);
    m_textBytes += added.block.capacity;
    for (size_t n = 0; n < count; ++n)
        m_chunkBase.push_back(added.block.data.get() + n * ChunkSize);
}

void QueryResult::appendCellSlowly(std::string_view utf8)
{
    if (m_finished)
        throw std::logic_error("QueryResult::appendCell after finish()");
    size_t start = m_size;
    uint32_t flag = 0;
    const size_t inChunk = start & (ChunkSize - 1);
    if (!utf8.empty() && inChunk != 0 && inChunk + utf8.size() > ChunkSize) {
        start = (start | (ChunkSize - 1)) + 1; // the next chunk
        flag = StartsChunk;
    }
    if (start + utf8.size() > OffsetMask)
        throw DatabaseError(CoreError(CoreMessage("The result of the statement is too large to hold (over 2 GB of text).")));
    if (!utf8.empty()) {
        cover(start, utf8.size());
        std::memcpy(m_chunkBase[start >> ChunkBits] + (start & (ChunkSize - 1)), utf8.data(), utf8.size());
    }
    m_size = start + utf8.size();
    m_ends.reserve(m_ends.size + 1);
    m_ends.data.get()[m_ends.size++] = static_cast<uint32_t>(m_size) | flag;
}

void QueryResult::finish()
{
    m_finished = true;
    m_ends.shrink();
    if (m_blocks.empty())
        return;
    // The last block is only partly used: give the rest back (a small result needs no whole chunk).
    TextBlock &last = m_blocks.back();
    m_textBytes -= last.block.capacity;
    last.block.size = std::max<size_t>(m_size - (last.firstChunk << ChunkBits), 1);
    last.block.shrink();
    m_textBytes += last.block.capacity;
    for (size_t n = last.firstChunk; n < m_chunkBase.size(); ++n)
        m_chunkBase[n] = last.block.data.get() + ((n - last.firstChunk) << ChunkBits);
}

std::string_view QueryResult::utf8(int row, int column) const
{
    const int columns = columnCount();
    if (row < 0 || row >= m_rows || column < 0 || column >= columns)
        return {};
    const size_t cell = static_cast<size_t>(row) * columns + column;
    const uint32_t entry = m_ends.data.get()[cell];
    const size_t end = entry & OffsetMask;
    size_t start = cell == 0 ? 0 : (m_ends.data.get()[cell - 1] & OffsetMask);
    if (entry & StartsChunk)
        start = (start | (ChunkSize - 1)) + 1;
    if (end == start)
        return {};
    return {m_chunkBase[start >> ChunkBits] + (start & (ChunkSize - 1)), end - start};
}

QString QueryResult::text(int row, int column) const
{
    const std::string_view cell = utf8(row, column);
    return QString::fromUtf8(cell.data(), static_cast<qsizetype>(cell.size()));
}

} // namespace phonebook
