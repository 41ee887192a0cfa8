#pragma once
// The one way to write a ResultGrid's contents: the fill routines (and a list
// shown empty) go through a GridFiller; windows only read the grid.

#include "FillPlan.h"

namespace phonebook {

class ResultGrid;

class GridFiller {
public:
    using Plan = FillPlan;

    // Starts a fill: sizes the grid, sets headings and widths, forgets every
    // row. The grid loads no page until the fill ends.
    GridFiller(ResultGrid &grid, const FillPlan &plan);
    // A fill that did not reach finish() (an exception, a newer fill) still
    // releases the grid, so that it pages again.
    ~GridFiller();
    GridFiller(const GridFiller &) = delete;
    GridFiller &operator=(const GridFiller &) = delete;

    // Shows result row `sourceRow` (0-based) of the plan's source in data row `row` (1-based).
    void setRow(int row, int sourceRow);
    // Whether a newer fill of the same grid began while events ran; this one then stops.
    bool superseded() const;
    // Ends the fill: current cell (1,1) at the top, unless the plan kept the
    // position or the user chose a cell meanwhile (that choice is then reported).
    void finish();

    // Shows result row `sourceRow` of the grid's result in data row `row`, outside a fill (the Append routines).
    static void writeRow(ResultGrid &grid, int row, int sourceRow);

private:
    ResultGrid &m_grid;
    int m_serial = 0;
    bool m_finished = false;
};

// Shows only the headings of the layout: a list whose table is empty or unreadable.
void ShowEmptyGrid(ResultGrid &grid, GridLayout layout);

} // namespace phonebook
