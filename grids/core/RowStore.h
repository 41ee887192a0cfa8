#pragma once
// The rows a grid has loaded, out of a result of known length. No widgets, no
// SQL: an unloaded row costs one index, a loaded row its value. The indexes
// are taken from the system zeroed, so that sizing the store for millions of
// rows writes nothing and the pages of rows never loaded stay untouched.

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>

namespace phonebook {

template <typename T>
class RowStore {
public:
    // Forgets every row and sizes the store for rowCount rows (0-based), none loaded.
    void reset(int rowCount)
    {
        if (rowCount < 0)
            throw std::out_of_range("RowStore: negative row count");
        m_slots.reset();
        m_values.clear();
        m_rowCount = 0;
        if (rowCount > 0) {
            m_slots.reset(static_cast<uint32_t *>(std::calloc(static_cast<size_t>(rowCount), sizeof(uint32_t))));
            if (!m_slots)
                throw std::bad_alloc();
        }
        m_rowCount = rowCount;
    }

    int rowCount() const { return m_rowCount; }
    int loadedCount() const { return static_cast<int>(m_values.size()); }

    bool contains(int row) const { return inRange(row) && m_slots[static_cast<size_t>(row)] != NotLoaded; }

    // The row's value, or nullptr when it is not loaded (or out of range).
    // The pointer stays valid until the next reset().
    const T *find(int row) const
    {
        if (!contains(row))
            return nullptr;
        return &m_values[m_slots[static_cast<size_t>(row)] - 1];
    }

    // Stores (or replaces) the value of a row. Throws std::out_of_range outside the store.
    void set(int row, T value)
    {
        if (!inRange(row))
            throw std::out_of_range("RowStore: row out of range");
        uint32_t &slot = m_slots[static_cast<size_t>(row)];
        if (slot == NotLoaded) {
            m_values.push_back(std::move(value));
            slot = static_cast<uint32_t>(m_values.size());
        } else {
            m_values[slot - 1] = std::move(value);
        }
    }

    // Bytes held per row that is not loaded (address space; memory only once
    // a neighbouring row is loaded).
    static constexpr size_t bytesPerUnloadedRow() { return sizeof(uint32_t); }

private:
    // A slot holds the value's position + 1.
    static constexpr uint32_t NotLoaded = 0;
    struct Free {
        void operator()(uint32_t *indexes) const { std::free(indexes); }
    };

    bool inRange(int row) const { return row >= 0 && row < m_rowCount; }

    std::unique_ptr<uint32_t[], Free> m_slots;
    int m_rowCount = 0;
    // A deque never moves its elements as it grows: loading a page costs the
    // same however many rows are loaded already.
    std::deque<T> m_values;
};

} // namespace phonebook
