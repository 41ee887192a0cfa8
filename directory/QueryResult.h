#pragma once
// A statement's result, held compactly: the text of every cell in one UTF-8
// arena and one end offset per cell, no string object per cell.

#include "Dataset.h"

#include <QStringList>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace phonebook {

class QueryResult final : public RowSource {
public:
    explicit QueryResult(QStringList columnNames);

    int rowCount() const override { return m_rows; }
    int columnCount() const override { return static_cast<int>(m_columns.size()); }
    QString columnName(int column) const override { return m_columns.value(column); }
    QString text(int row, int column) const override;

    // The cell's UTF-8 bytes; empty outside the result. Valid while the result lives.
    std::string_view utf8(int row, int column) const;

    // Building: append each cell of a row in column order, then endRow().
    // Throws DatabaseError when the result outgrows what one arena can address.
    void appendCell(std::string_view utf8);
    void endRow() { ++m_rows; }
    // Gives back the spare room of the arena once the last row is in.
    void finish();

    // Bytes held: arena and offsets.
    size_t memoryUsed() const { return m_text.capacity + m_ends.capacity * sizeof(uint32_t); }

private:
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

    QStringList m_columns;
    int m_rows = 0;
    Block<char> m_text;
    Block<uint32_t> m_ends; // end of each cell in m_text; a cell starts where the previous ends
};

} // namespace phonebook
