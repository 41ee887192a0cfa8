#include "GridFiller.h"

#include "ResultGrid.h"

namespace phonebook {

GridFiller::GridFiller(ResultGrid &grid, const FillPlan &plan)
    : m_grid(grid)
    , m_serial(grid.beginFill(plan))
{
}

GridFiller::~GridFiller()
{
    if (!m_finished)
        m_grid.abortFill(m_serial);
}

void GridFiller::setRow(int row, int sourceRow)
{
    m_grid.setSourceRow(row, sourceRow);
}

bool GridFiller::superseded() const
{
    return m_grid.m_fillSerial != m_serial;
}

void GridFiller::finish()
{
    m_finished = true;
    m_grid.endFill(m_serial);
}

void GridFiller::writeRow(ResultGrid &grid, int row, int sourceRow)
{
    grid.setSourceRow(row, sourceRow);
}

void ShowEmptyGrid(ResultGrid &grid, GridLayout layout)
{
    FillPlan plan;
    plan.layout = layout;
    plan.colCount = static_cast<int>(LayoutFields(layout).size());
    GridFiller filler(grid, plan);
    filler.finish();
}

} // namespace phonebook
