#pragma once
// Copying from a result grid: Ctrl+C and the context menu's "Копировать" put
// the selected cells on the clipboard as tab-separated text (a single
// selected cell copies its whole row), each value without the blanks that pad
// it in the table; "Копировать номер" copies the
// telephone number of the row under the mouse. Rows not loaded yet are read
// from the grid's result for the copy.

#include "GridExport.h"

#include <QKeySequence>
#include <QString>

class QPoint;

namespace phonebook {

class ResultGrid;

// The copy commands' names, in the context menu and the "Правка" menu.
inline constexpr QStringView CopyText = u"Копировать";
inline constexpr QStringView CopyNumberText = u"Копировать номер";
// The key of "Копировать номер" (the main window's "Правка" menu answers it).
inline const QKeySequence CopyNumberKey{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C)};

// Adds the copy key and the context menu to the grid.
void AttachCopyCommands(ResultGrid &grid);

// What Ctrl+C copies from the grid now; empty for a grid without data rows.
QString SelectionText(const ResultGrid &grid);
// The telephone number of data row `row` (1-based); empty when the layout has
// no number column or there is no such row.
QString RowNumber(const ResultGrid &grid, int row);
// Data column (1-based) of the telephone number in the grid's layout, or 0.
int NumberColumn(const ResultGrid &grid);

// The whole list for saving and printing: the grid's headings and every row
// of the result it shows now, loaded or not, each value without its padding.
// The rows are read from that result alone, never from the grid: a later fill
// of the grid (a newer search, a new edition) does not change them.
ListRows AllGridRows(const ResultGrid &grid);

// The data columns with a heading (the layout's); a grid sized by a result's
// field count has empty columns after them, which are not copied, saved or printed.
int HeadedColumns(const ResultGrid &grid);

// Selected data rows (1-based, ascending); the current row when nothing is selected.
QList<int> SelectedRows(const ResultGrid &grid);

} // namespace phonebook
