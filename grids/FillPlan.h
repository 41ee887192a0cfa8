#pragma once
// What a fill of a ResultGrid shows: the layout, the result it reads and
// which of the result's columns go where. The fill routines build one, the
// grid and its model keep it.

#include "GridLayouts.h"

#include <memory>
#include <vector>

namespace phonebook {

class RowSource;

struct FillPlan {
    GridLayout layout = GridLayout::None;
    int rowCount = 0;                        // data rows (the result's row count)
    int colCount = 0;                        // data columns (without the marker)
    std::shared_ptr<const RowSource> source; // read for every cell shown; may be null
    std::vector<int> fieldColumns;           // result column per data column 1, 2, ...
    bool keepPosition = false;               // keep current cell and scroll position
};

} // namespace phonebook
