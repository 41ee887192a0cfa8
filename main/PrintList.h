#pragma once
// "Файл" → "Печать…": the list shown, through the print dialog with a preview.
// Every page repeats the column headings and carries its number; the first
// page begins with the title (the side or the search).

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QPagedPaintDevice;

namespace phonebook {

class TFrmMain;

struct PrintJob {
    QString title;
    QStringList headings;
    QList<int> digits;                       // per column: characters of its widest number, 0 for text
    int rowCount = 0;
    std::function<QStringList(int)> row;     // row 0, 1, ... of what is printed
    std::function<bool()> lost;              // whether the rows can no longer be read; may be null
};

// How many rows each page holds: the first page less the title lines.
struct PrintPages {
    int firstPageRows = 1;
    int otherPageRows = 1;
    int pageCount(int rowCount) const;
    // First row (0-based) printed on page `page` (0-based).
    int firstRowOf(int page) const;
};

// Lays the job out on the device's pages and paints them; returns the page
// count (0 when the device could not be painted on, or the job's rows were lost).
int PaintList(QPagedPaintDevice &device, const PrintJob &job);
// The printed columns' widths in device pixels, and the width the page gives them.
struct PrintColumns {
    QList<int> widths;
    int pageWidth = 0;
};
PrintColumns MeasurePrintColumns(QPagedPaintDevice &device, const PrintJob &job);

// Narrowest page margin, in millimetres.
inline constexpr double MinPageMarginMm = 10.0;
// Rows read to measure the columns' text.
inline constexpr int MeasuredPrintRows = 2000;

// Lists longer than this are offered for printing only their selected rows.
inline constexpr int LongPrintRows = 500;

// Builds the job from the list shown (asking about the selected rows when the
// list is long) and opens the print preview, from which the print dialog is
// reached. Returns false when there was nothing to print or the user cancelled.
bool PrintShownList(TFrmMain &main);
// What PrintShownList would print: empty rows and title when cancelled.
bool BuildPrintJob(TFrmMain &main, PrintJob &job);

} // namespace phonebook
