#pragma once
// Counters of a ResultGrid that only tests and benchmarks read.

#include "ResultGrid.h"

namespace phonebook {

struct GridTestAccess {
    // Page loads since the last fill.
    static int pageLoads(const ResultGrid &grid) { return grid.m_pageLoads; }
    // Data rows written by a fill or a page load.
    static int loadedRowCount(const ResultGrid &grid) { return grid.loadedRowCount(); }
    // Whether a fill is under way.
    static bool filling(const ResultGrid &grid) { return grid.m_filling; }
};

} // namespace phonebook
