#pragma once
// The column widths the user dragged in a grid, per layout. A fill sets the
// layout's own widths; a width the user chose for that layout's column
// replaces it, in this fill and the next ones, and is kept across runs by the
// window settings.

#include "GridLayouts.h"

#include <QObject>

#include <map>
#include <vector>

class QFontMetrics;
class QHeaderView;

namespace phonebook {

class ResultGrid;

// Advance of the font's widest digit: a number's width is at most that many times its length.
int WidestDigitWidth(const QFontMetrics &metrics);
// Height of a grid's rows and of its heading row in a grid font: the text's
// height with a little room above and below, never less than GridRowHeight.
int RowHeightFor(const QFontMetrics &metrics);
// Width of the marker column in a grid font: room for its ">", never less than MarkerColumnWidth.
int MarkerWidthFor(const QFontMetrics &metrics);
// Width of a cell holding `text` whole in a grid font.
int CellWidthFor(const QFontMetrics &metrics, const QString &text);
// Width the column needs in a grid font: the given width, or more when the
// heading or the widest number (in the font's widest digit) does not fit.
int FittedColumnWidth(const QFontMetrics &metrics, const LayoutColumn &column);

class ColumnWidths : public QObject {
    Q_OBJECT

public:
    explicit ColumnWidths(ResultGrid &grid);

    // Widths by data column (0-based) for the layout; 0 where the user chose none.
    std::vector<int> Chosen(GridLayout layout) const;
    // Replaces the chosen widths of a layout (values of 0 or below count as none);
    // applied from the next fill in that layout, and at once when the grid shows it.
    void SetChosen(GridLayout layout, std::vector<int> widths);
    // Width of column `column` (0-based) in a fill of the layout.
    int WidthFor(GridLayout layout, int column, int layoutWidth) const;

    // Whether the user is dragging a divider now.
    bool Dragging() const { return m_dragging; }

    // Widths a user may choose.
    static constexpr int MinWidth = 4;
    static constexpr int MaxWidth = 4000;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onSectionResized(int column, int oldSize, int newSize);

    ResultGrid &m_grid;
    QHeaderView *m_header = nullptr;
    bool m_dragging = false;
    std::map<GridLayout, std::vector<int>> m_chosen;
};

} // namespace phonebook
