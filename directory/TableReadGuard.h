#pragma once
// What a list kept open over a table file does before and after each read:
// a file replaced or cut short is read no further, so the rows loaded before
// stay and no other edition's bytes show up at the old records' places. The
// file is asked once per block of rows, or once the last answer is a few
// milliseconds old: a page, or a whole-list export, pays one fstat per block.

#include "DbfTable.h"

#include <chrono>

namespace phonebook {

class TableReadGuard {
public:
    // Whether row `row` of `table` may be read; false from the first change on.
    bool MayRead(const DbfTable &table, int row) const
    {
        if (m_changed)
            return false;
        const int block = row / CheckBlockRows;
        const auto now = std::chrono::steady_clock::now();
        if (block != m_checkedBlock || now - m_checkedAt > CheckInterval) {
            if (table.changed()) {
                m_changed = true;
                return false;
            }
            m_checkedBlock = block;
            m_checkedAt = now;
        }
        return true;
    }
    // After a read: whether it met no lost page (the file cut short under it).
    bool ReadSound(const DbfTable &table) const
    {
        if (table.pagesLost())
            m_changed = true;
        return !m_changed;
    }
    // Whether the file changed, asking it now.
    bool Changed(const DbfTable *table) const
    {
        if (!m_changed && table && table->changed())
            m_changed = true;
        return m_changed;
    }

private:
    static constexpr int CheckBlockRows = 256;
    static constexpr std::chrono::milliseconds CheckInterval{5};

    mutable int m_checkedBlock = -1;
    mutable std::chrono::steady_clock::time_point m_checkedAt;
    mutable bool m_changed = false;
};

} // namespace phonebook
