#pragma once
// A statement's result, held compactly: the text of every cell in one UTF-8
// arena and one end offset per cell, no string object per cell.

#include "Dataset.h"

#include <QStringList>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace phonebook {

class QueryResult final : public RowSource {
public:
    // `storedColumns` marks the columns read from a table; empty marks them all.
    explicit QueryResult(QStringList columnNames, QList<bool> storedColumns = {});

    int rowCount() const override { return m_rows; }
    int columnCount() const override { return static_cast<int>(m_columns.size()); }
    QString columnName(int column) const override { return m_columns.value(column); }
    QString text(int row, int column) const override;
    ValueKind columnKind(int column) const override
    {
        if (column >= 0 && column < m_kinds.size())
            return m_kinds[column];
        return m_stored.value(column, true) ? ValueKind::Stored : ValueKind::Number;
    }

    // The cell's UTF-8 bytes; empty outside the result. Valid while the result lives.
    std::string_view utf8(int row, int column) const;

    // Building: append each cell of a row in column order, then endRow().
    // Throws DatabaseError when the result outgrows what one arena can address.
    void appendCell(std::string_view utf8)
    {
        // Most cells fit in the chunk already started, beside room already reserved.
        const size_t inChunk = m_size & (ChunkSize - 1);
        if (inChunk != 0 && inChunk + utf8.size() <= ChunkSize && m_ends.size < m_ends.capacity && !m_finished
            && m_size + utf8.size() <= OffsetMask) {
            if (!utf8.empty())
                std::memcpy(m_chunkBase[m_size >> ChunkBits] + inChunk, utf8.data(), utf8.size());
            m_size += utf8.size();
            m_ends.data.get()[m_ends.size++] = static_cast<uint32_t>(m_size);
            return;
        }
        appendCellSlowly(utf8);
    }
    void endRow() { ++m_rows; }
    // Marks whether a column holds values as the tables store them.
    void setColumnStored(int column, bool stored)
    {
        if (column >= 0 && column < m_stored.size())
            m_stored[column] = stored;
    }
    // The kind of every column, in order; overrides the stored marks.
    void setColumnKinds(QList<ValueKind> kinds) { m_kinds = std::move(kinds); }
    // Gives back the spare room of the arena once the last row is in; no
    // cell may be appended afterwards.
    void finish();

    // Bytes held: text chunks and offsets.
    size_t memoryUsed() const { return m_textBytes + m_ends.capacity * sizeof(uint32_t); }

private:
    // The text lives in chunks that never move, so the arena grows without
    // copying. A cell never straddles two chunks: one that does not fit in
    // what is left of a chunk starts the next one, and its end offset carries
    // StartsChunk. A cell longer than a chunk gets consecutive chunks of its own.
    static constexpr int ChunkBits = 20;
    static constexpr size_t ChunkSize = size_t{1} << ChunkBits;
    static constexpr uint32_t StartsChunk = 0x80000000u;
    static constexpr uint32_t OffsetMask = 0x7FFFFFFFu;

    // A growable block; realloc lets a large block grow and shrink in place.
    template <typename T>
    struct Block {
        struct Free {
            void operator()(T *p) const { std::free(p); }
        };
        std::unique_ptr<T, Free> data;
        size_t size = 0;
        size_t capacity = 0;
        void reserve(size_t wanted);
        void shrink();
    };

    void appendCellSlowly(std::string_view utf8);
    // Makes sure chunks cover the offsets [start, start + length).
    void cover(size_t start, size_t length);

    QStringList m_columns;
    QList<bool> m_stored;
    QList<ValueKind> m_kinds;
    int m_rows = 0;
    struct TextBlock {
        Block<char> block;
        size_t firstChunk = 0;
    };
    std::vector<TextBlock> m_blocks; // owns the chunks
    std::vector<char *> m_chunkBase; // start of chunk i
    size_t m_textBytes = 0;          // allocated for text
    bool m_finished = false;
    size_t m_size = 0;                             // offset after the last cell
    Block<uint32_t> m_ends; // end of each cell, and StartsChunk; a cell otherwise starts where the previous ends
};

} // namespace phonebook
