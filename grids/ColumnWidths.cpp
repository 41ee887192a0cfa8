#include "ColumnWidths.h"

#include "ResultGrid.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>

#include <algorithm>

namespace phonebook {

int WidestDigitWidth(const QFontMetrics &metrics)
{
    int digit = 0;
    for (char16_t c = u'0'; c <= u'9'; ++c)
        digit = std::max(digit, metrics.horizontalAdvance(QChar(c)));
    return digit;
}

namespace {
// Pixels between a row's text and its top and bottom edges.
constexpr int RowTextMargin = 2;
} // namespace

int RowHeightFor(const QFontMetrics &metrics)
{
    return std::max(GridRowHeight, metrics.height() + 2 * RowTextMargin);
}

int MarkerWidthFor(const QFontMetrics &metrics)
{
    return std::max(MarkerColumnWidth, metrics.horizontalAdvance(u'>') + 2 * CellPadding);
}

int CellWidthFor(const QFontMetrics &metrics, const QString &text)
{
    return metrics.horizontalAdvance(text) + 2 * CellPadding + 1;
}

int FittedColumnWidth(const QFontMetrics &metrics, const LayoutColumn &column)
{
    const int text = std::max(metrics.horizontalAdvance(column.heading), WidestDigitWidth(metrics) * column.digits);
    return std::max(column.width, text + 2 * CellPadding + 1);
}

ColumnWidths::ColumnWidths(ResultGrid &grid)
    : QObject(&grid)
    , m_grid(grid)
    , m_header(grid.horizontalHeader())
{
    // A drag of a divider, or a double-click on one, is the user's; the fills
    // resize the sections without a mouse button down.
    m_header->viewport()->installEventFilter(this);
    connect(m_header, &QHeaderView::sectionResized, this, &ColumnWidths::onSectionResized);
}

std::vector<int> ColumnWidths::Chosen(GridLayout layout) const
{
    const auto found = m_chosen.find(layout);
    return found == m_chosen.end() ? std::vector<int>{} : found->second;
}

void ColumnWidths::SetChosen(GridLayout layout, std::vector<int> widths)
{
    for (int &width : widths)
        width = width <= 0 ? 0 : std::clamp(width, MinWidth, MaxWidth);
    m_chosen[layout] = std::move(widths);
    if (m_grid.Layout() != layout)
        return;
    const std::vector<LayoutColumn> columns = m_grid.Columns(layout);
    for (int c = 0; c < m_header->count() && c < static_cast<int>(columns.size()); ++c)
        m_header->resizeSection(c, WidthFor(layout, c, FittedColumnWidth(m_grid.fontMetrics(), columns[static_cast<size_t>(c)])));
}

int ColumnWidths::WidthFor(GridLayout layout, int column, int layoutWidth) const
{
    const auto found = m_chosen.find(layout);
    if (found == m_chosen.end() || column < 0 || column >= static_cast<int>(found->second.size()))
        return layoutWidth;
    const int chosen = found->second[static_cast<size_t>(column)];
    return chosen > 0 ? chosen : layoutWidth;
}

bool ColumnWidths::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        m_dragging = true;
        break;
    case QEvent::MouseButtonRelease:
        m_dragging = false;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void ColumnWidths::onSectionResized(int column, int, int newSize)
{
    const GridLayout layout = m_grid.Layout();
    if (!m_dragging || m_grid.StretchingLastColumn() || layout == GridLayout::None || column < 0)
        return;
    std::vector<int> &widths = m_chosen[layout];
    if (static_cast<int>(widths.size()) <= column)
        widths.resize(static_cast<size_t>(column) + 1, 0);
    widths[static_cast<size_t>(column)] = std::clamp(newSize, MinWidth, MaxWidth);
}

} // namespace phonebook
