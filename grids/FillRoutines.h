#pragma once
// Filling a ResultGrid from a dataset. Every routine reads from the dataset's
// current row on (the first row of a freshly opened dataset), writes values
// deciphered with DecodeText, and leaves the dataset advanced past the rows it
// wrote (on its last row at most). A dataset with no rows raises DatabaseError:
// callers test for an empty result first. The grid keeps the dataset's result
// for its page loads; later moves or reopening of the dataset do not affect it.

#include <QString>

class QProgressBar;

namespace phonebook {

class Dataset;
class ResultGrid;
class RowSource;

// One cell as the grids show it: stored text deciphered, dates as
// "ДД.ММ.ГГГГ", logical values as "Да" / "Нет", numbers as written.
QString ShownCell(const RowSource &source, int row, int column);

// Organisations layout, every row; fields by ordinal.
void FillOrgGrid(ResultGrid &grid, Dataset &data);
// Organisations layout, rows 1 to 100, the rest loaded when painted. Keeps the
// window responsive; with a bar, adds 1 to it per row written.
void FillOrgGridPaged(ResultGrid &grid, Dataset &data);
void FillOrgGridPaged(ResultGrid &grid, Dataset &data, QProgressBar *bar);
// Writes data rows first..last (inclusive, 1-based, clamped to the grid) in the
// grid's layout, by ordinal.
void AppendOrgRows(ResultGrid &grid, Dataset &data, int first, int last);

// Organisation-numbers layout (5 columns), every row; the first four fields.
void FillOrgPhonesGrid(ResultGrid &grid, Dataset &data);
// Department-search layout, every row; keeps the window responsive.
void FillDeptGrid(ResultGrid &grid, Dataset &data);

// Individuals layout, every row; fields by ordinal.
void FillPersonGrid(ResultGrid &grid, Dataset &data);
// Individuals layout, rows 1 to 100, fields nt, fio, street, hous, flat by
// name; keeps the window responsive. With a bar (the full list from its
// table) adds 1 to it per row written. Keeps the current cell and scroll
// position where they still fit. Throws DatabaseError when a field is missing.
void FillPersonGridPaged(ResultGrid &grid, Dataset &data, QProgressBar *bar);
void FillPersonGridPaged(ResultGrid &grid, Dataset &data);
// Writes data rows first..last (inclusive, 1-based, clamped) by field name.
void AppendPersonRows(ResultGrid &grid, Dataset &data, int first, int last);

} // namespace phonebook
