#pragma once
// ResultGrid: the string grid every list of the program is shown in. Row 0 is
// the header row, column 0 the 10-pixel marker column with ">" in row 1; data
// rows and columns count from 1, as the fill routines and the windows speak.
//
// The grid keeps a handle to the result it was filled from. Rows not written
// by a fill are loaded from that result, by row number, when they come into
// view (a scroll, a resize, the end of a fill), before they are painted; no
// dataset moves when that happens.
//
// Every row has the same height, so the grid places rows itself and keeps
// nothing per row: the view's row header is hidden and empty, and the marker
// column is painted by the grid.

#include "FillPlan.h"

#include <QStringList>
#include <QTableView>

#include <memory>
#include <utility>
#include <vector>

namespace phonebook {

class ColumnWidths;
class RowSource;
class ResultGridModel;

class ResultGrid : public QTableView {
    Q_OBJECT

public:
    explicit ResultGrid(QWidget *parent = nullptr);
    ~ResultGrid() override;

    // Result rows + 1 (the header row); 1 before the first fill.
    int RowCount() const;
    // Data columns + 1 (the marker column), as the layout gives it.
    int ColCount() const;
    // What cell (col, row) shows: row 0 the headings, column 0 the marker
    // (">" in row 1), empty for rows not loaded and cells outside the grid.
    QString Cells(int col, int row) const;
    int ColWidth(int col) const;
    // Height of every row, the header row's too: the one place it is decided,
    // from the grid's font.
    int RowHeight() const;

    // The current cell (1-based data row and column); 0 when the grid has no data rows.
    int Row() const;
    int Col() const;
    // Moves the current cell (clamped to the grid) and scrolls it into view.
    void SetCurrentCell(int col, int row);
    // First data row visible at the top.
    int TopRow() const;

    // Layout of the last fill.
    GridLayout Layout() const;

    // Help topic shown for F1 while the grid has the focus.
    int HelpContext() const { return m_helpContext; }
    void SetHelpContext(int context) { m_helpContext = context; }

    // The lists' size in per cent (100 usual): the layout's own widths of its
    // columns are scaled by it; what a font needs (numbers, headings, row
    // height) follows the grid's font.
    void SetZoom(int percent);
    // The layout's columns with their widths at the grid's zoom.
    std::vector<LayoutColumn> Columns(GridLayout layout) const;

    // Width of the "wide" columns from the next fill on; 0 (the default) takes
    // it from the primary screen.
    void SetWideColumnWidth(int pixels) { m_wideOverride = pixels; }
    int WideWidth() const;

    // Whether data row `row` was written by a fill or a page load, whatever its values.
    bool IsRowLoaded(int row) const;

    // Loads the page starting at data row `row` if that row is not loaded;
    // what coming into view does for the first unloaded row it meets.
    void LoadPageAt(int row);

    QRect visualRect(const QModelIndex &index) const override;
    QModelIndex indexAt(const QPoint &point) const override;
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    // Model row (0-based) at viewport height y, or -1 below the last row.
    int rowAt(int y) const;
    // Height of model row `row`; 0 outside the grid.
    int rowHeight(int row) const;

    // The result the grid was filled from (grid row R is result row R - 1);
    // null before the first fill and for a list shown empty.
    std::shared_ptr<const RowSource> Source() const;
    // The result column shown in data column 1, 2, ... (index 0 for column 1).
    std::vector<int> SourceColumns() const;

    // Every data cell of data row `row` (1-based), deciphered; a row not
    // loaded yet is read from the result without being stored.
    QStringList RowValues(int row) const;
    // The headings of the data columns.
    QStringList Headings() const;
    // The column widths the user dragged, per layout.
    ColumnWidths &UserWidths() const { return *m_userWidths; }

    // Whether the last column is being widened to the edge now (no user's width).
    bool StretchingLastColumn() const { return m_stretching; }

    // Selects data row `row` across every data column and scrolls it into
    // view; the current cell is the row's last data column.
    void SelectRowAcross(int row);

signals:
    // The current cell moved (to another row or another column of the same
    // row); `row` is its 1-based data row. Not sent for the fills' own moves;
    // a cell the user chose while a fill let events run is sent when it ends.
    void RowSelected(int row);
    // The grid was double-clicked; the current cell tells where.
    void GridDoubleClicked();
    // Enter was pressed on the grid's current row.
    void EnterPressed();
    // Data rows first..last (inclusive) were loaded as they came into view. A page load
    // never moves the keyboard focus: the list may be scrolled behind an open
    // search dialog, which keeps the focus.
    void PageLoaded(int first, int last);

protected:
    void paintEvent(QPaintEvent *event) override;
    // Row geometry: rows are placed by RowHeight(), the vertical scroll bar counts rows.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex &index) const override;
    void setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection &selection) const override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    int sizeHintForColumn(int column) const override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    // A new font (the lists zoomed, the desktop's font changed) sizes the rows
    // and fits the columns to it again.
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    // Enter reports EnterPressed; Shift+F10 and the Menu key open the context
    // menu of the current cell.
    void keyPressEvent(QKeyEvent *event) override;
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QList<int> &roles = QList<int>()) override;

public:
    // Typed characters never search the grid.
    void keyboardSearch(const QString &) override {}

private:
    // Filling goes through GridFiller only; tests read the counters through GridTestAccess.
    friend class GridFiller;
    friend struct GridTestAccess;

    // Starts a fill: sizes the grid, sets headings and widths, forgets every
    // row. Page loads are held off until endFill(). Returns the fill's serial.
    int beginFill(const FillPlan &plan);
    // Shows result row `sourceRow` (0-based) in data row `row` (1-based).
    void setSourceRow(int row, int sourceRow);
    // Ends the fill `serial`: current cell (1,1) at the top unless the plan kept
    // the position or the user chose a cell while the fill let events run.
    void endFill(int serial);
    // Releases the grid from a fill `serial` that stopped half-way.
    void abortFill(int serial);
    int loadedRowCount() const;
    // Data column (0-based) shown last; -1 when none is.
    int lastShownColumn() const;
    // Widens the last shown column to the viewport's edge, never below its own
    // width; in a layout with a "wide" column whose width the user did not
    // choose, that column takes the room instead, never less than its first
    // page needs.
    void stretchLastColumn();
    // The column that takes the room left: the wide one, else the last shown.
    int roomColumn() const;
    // Row height, heading height and marker width from the font; the
    // layout's widths fitted to it again.
    void followFont();
    // Width the wide column's first page needs (its heading, its values).
    void measureWideColumn();

    void onCurrentChanged(const QModelIndex &current, const QModelIndex &previous);
    // Loads the pages of the rows in view that are not loaded yet.
    void fetchRowsInView();
    // The same on the next turn of the event loop (asked from layout code, or while painting).
    void fetchRowsSoon();
    // Rows fully or partly in the viewport's height.
    int rowsInView() const;
    // First and last model rows in view; {-1, -1} when there are none.
    std::pair<int, int> rowRangeInView() const;

    ResultGridModel *m_model = nullptr;
    ColumnWidths *m_userWidths = nullptr;
    int m_helpContext = 0;
    int m_wideOverride = 0;
    int m_pageLoads = 0;
    bool m_filling = false;
    int m_fillSerial = 0;
    bool m_painting = false;
    bool m_updatingGeometries = false;
    bool m_fetchQueued = false;
    QWidget *m_marker = nullptr;
    QWidget *m_corner = nullptr;
    bool m_keepPosition = false;
    bool m_movingFromCode = false;
    int m_userRowDuringFill = 0;
    int m_savedRow = 0;
    int m_savedCol = 0;
    int m_savedTop = 0;
    int m_savedLeft = 0;
    std::vector<int> m_baseWidths; // per data column, before stretching
    int m_wideNeed = 0;
    int m_rowHeight = GridRowHeight;
    int m_markerWidth = MarkerColumnWidth;
    int m_zoom = 100;
    bool m_stretching = false;
};

} // namespace phonebook
