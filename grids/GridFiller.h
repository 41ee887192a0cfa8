#pragma once
// The one way to write a ResultGrid's contents: the fill routines (and a list
// shown empty) go through a GridFiller; windows only read the grid.

#include "GridLayouts.h"

#include <QStringList>

#include <memory>
#include <vector>

namespace phonebook {

class ResultGrid;
class RowSource;

class GridFiller {
public:
    struct Plan {
        GridLayout layout = GridLayout::None;
        int rowCount = 0;                   // data rows (the result's row count)
        int colCount = 0;                   // data columns (without the marker)
        std::shared_ptr<const RowSource> source; // read by later page loads; may be null
        std::vector<int> fieldColumns;      // result column per data column 1, 2, ...
        bool keepPosition = false;          // keep current cell and scroll position
    };

    // Starts a fill: sizes the grid, sets headings and widths, forgets every
    // row. The grid loads no page until the fill ends.
    GridFiller(ResultGrid &grid, const Plan &plan);
    // A fill that did not reach finish() (an exception, a newer fill) still
    // releases the grid, so that it pages again.
    ~GridFiller();
    GridFiller(const GridFiller &) = delete;
    GridFiller &operator=(const GridFiller &) = delete;

    // Writes data row `row` (1-based) with deciphered values for columns 1, 2, ...
    void setRow(int row, const QStringList &values);
    // Whether a newer fill of the same grid began while events ran; this one then stops.
    bool superseded() const;
    // Ends the fill: current cell (1,1) at the top, unless the plan kept the
    // position or the user chose a cell meanwhile (that choice is then reported).
    void finish();

    // Writes one data row outside a fill (the Append routines).
    static void writeRow(ResultGrid &grid, int row, const QStringList &values);

private:
    ResultGrid &m_grid;
    int m_serial = 0;
    bool m_finished = false;
};

// Shows only the headings of the layout: a list whose table is empty or unreadable.
void ShowEmptyGrid(ResultGrid &grid, GridLayout layout);

} // namespace phonebook
