#pragma once
// The four column layouts of the result grids and every number the grids fix.

#include <QString>

#include <vector>


namespace phonebook {

enum class GridLayout {
    None,           // never filled
    Organisations,  // naim, street, hous
    OrgPhones,      // nt, mesto, street, hous: one organisation's numbers
    Departments,    // nt, naim, mesto, street, hous: department search
    Persons,        // nt, fio, street, hous, flat
};

// Column 0 holds only the ">" of row 1.
inline constexpr int MarkerColumnWidth = 10;
// Row height at the interface font; a larger font makes rows taller.
inline constexpr int GridRowHeight = 18;

// A paged fill writes rows 1 to FirstPageRows; later pages start at the first
// unloaded row painted.
inline constexpr int FirstPageRows = 100;
inline constexpr int PersonPageRows = 102;
inline constexpr int OrgPageRows = 101;

// Results up to these sizes are filled whole; longer ones page by page.
inline constexpr int PersonFullFillLimit = 200;
inline constexpr int OrgFullFillLimit = 100;

// "Wide" columns (organisation names): narrower on a 640-pixel screen.
inline constexpr int SmallScreenWidth = 640;
inline constexpr int WideColumnSmallScreen = 350;
inline constexpr int WideColumnNormal = 512;

// The department-search layout is recognised by this heading of column 1.
inline constexpr QStringView DeptPhoneHeading = u"№ тел.";

// 350 on a screen exactly 640 pixels wide, 512 on any other.
constexpr int WideColumnWidth(int screenWidth)
{
    return screenWidth == SmallScreenWidth ? WideColumnSmallScreen : WideColumnNormal;
}

struct LayoutColumn {
    QString heading;
    int width = 0;
    // Characters of the column's widest value when it holds digits only (a
    // telephone number, a house, a flat); 0 for free text, which is elided.
    int digits = 0;
    // A "wide" column (an organisation's name) takes the room the others leave.
    bool wide = false;
};

// Space a cell leaves on each side of its text.
inline constexpr int CellPadding = 2;

// Headed columns after the marker column, in order (column 1 first).
std::vector<LayoutColumn> LayoutColumns(GridLayout layout, int wideWidth);

// Field names shown by the layout, in column order (lower case).
std::vector<QString> LayoutFields(GridLayout layout);

// Rows one page load writes in this layout; 0 when the layout is always filled whole.
int LayoutPageRows(GridLayout layout);

} // namespace phonebook
