#pragma once
// The rows a grid has loaded, out of a result of known length. No widgets, no
// SQL: an unloaded row costs one index, a loaded row its value.

#include <cstdint>
#include <deque>
#include <limits>
#include <stdexcept>
#include <utility>
#include <vector>

namespace phonebook {

template <typename T>
class RowStore {
public:
    // Forgets every row and sizes the store for rowCount rows (0-based), none loaded.
    void reset(int rowCount)
    {
        if (rowCount < 0)
            throw std::out_of_range("RowStore: negative row count");
        m_slots.assign(static_cast<size_t>(rowCount), NoSlot);
        m_values.clear();
    }

    int rowCount() const { return static_cast<int>(m_slots.size()); }
    int loadedCount() const { return static_cast<int>(m_values.size()); }

    bool contains(int row) const { return inRange(row) && m_slots[static_cast<size_t>(row)] != NoSlot; }

    // The row's value, or nullptr when it is not loaded (or out of range).
    // The pointer stays valid until the next reset().
    const T *find(int row) const
    {
        if (!contains(row))
            return nullptr;
        return &m_values[m_slots[static_cast<size_t>(row)]];
    }

    // Stores (or replaces) the value of a row. Throws std::out_of_range outside the store.
    void set(int row, T value)
    {
        if (!inRange(row))
            throw std::out_of_range("RowStore: row out of range");
        uint32_t &slot = m_slots[static_cast<size_t>(row)];
        if (slot == NoSlot) {
            slot = static_cast<uint32_t>(m_values.size());
            m_values.push_back(std::move(value));
        } else {
            m_values[slot] = std::move(value);
        }
    }

    // Bytes held per row that is not loaded.
    static constexpr size_t bytesPerUnloadedRow() { return sizeof(uint32_t); }

private:
    static constexpr uint32_t NoSlot = std::numeric_limits<uint32_t>::max();

    bool inRange(int row) const { return row >= 0 && static_cast<size_t>(row) < m_slots.size(); }

    std::vector<uint32_t> m_slots;
    // A deque never moves its elements as it grows: loading a page costs the
    // same however many rows are loaded already.
    std::deque<T> m_values;
};

} // namespace phonebook
