#include "GridFiller.h"

#include "ResultGrid.h"

namespace phonebook {

GridFiller::GridFiller(ResultGrid &grid, const Plan &plan)
    : m_grid(grid)
{
    ResultGrid::FillPlan gridPlan;
    gridPlan.layout = plan.layout;
    gridPlan.rowCount = plan.rowCount;
    gridPlan.colCount = plan.colCount;
    gridPlan.source = plan.source;
    gridPlan.fieldColumns = plan.fieldColumns;
    gridPlan.keepPosition = plan.keepPosition;
    m_serial = m_grid.beginFill(gridPlan);
}

GridFiller::~GridFiller()
{
    if (!m_finished)
        m_grid.abortFill(m_serial);
}

void GridFiller::setRow(int row, const QStringList &values)
{
    m_grid.setRowValues(row, values);
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

void GridFiller::writeRow(ResultGrid &grid, int row, const QStringList &values)
{
    grid.setRowValues(row, values);
}

void ShowEmptyGrid(ResultGrid &grid, GridLayout layout)
{
    GridFiller::Plan plan;
    plan.layout = layout;
    plan.colCount = static_cast<int>(LayoutFields(layout).size());
    GridFiller filler(grid, plan);
    filler.finish();
}

} // namespace phonebook
