#pragma once
// A list's rows as text for other programs: tab-separated for the clipboard
// and CSV for spreadsheets. No widgets: the rows come through a function, so
// that a grid, a result or a test can supply them.

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QIODevice;

namespace phonebook {

// Rows one per line, cells separated by tabs. A tab or line break inside a
// value becomes a space, so that the lines and cells stay where they are.
QString TabSeparatedText(const std::vector<QStringList> &rows);

// One CSV line (";" between fields, CR LF at the end), UTF-8. A field with
// ";", '"', a line break, or a space at either end is quoted, its quotes doubled.
// A text that a spreadsheet would take for a formula (see LooksLikeFormula)
// gets an apostrophe in front, so that it stays text; the fields marked in
// `literal` (numbers, dates) are written as they are.
void AppendCsvLine(QByteArray &out, const QStringList &fields, const std::vector<bool> &literal = {});

// Whether a spreadsheet would compute the text rather than show it: it
// begins with "=", "+", "-" or "@", and is not a number or a telephone
// number ("-5", "+7 (495) 123-45-67": a sign, then digits, blanks and "()-./,").
bool LooksLikeFormula(QStringView text);

// What a list offers for saving: its headings and every row, read by number
// (0-based) in order.
struct ListRows {
    QStringList headings;
    int rowCount = 0;
    std::function<QStringList(int row)> row;
    // Per column: whether its values are numbers, dates or logical values,
    // which are written as they are; missing columns hold text.
    std::vector<bool> literal;
    // Whether the rows could no longer be read (their table changed or was
    // let go meanwhile); null when they always can.
    std::function<bool()> lost;
};

struct CsvOutcome {
    bool written = false;
    bool cancelled = false;
    int rows = 0;  // data rows written (headings not counted)
    QString error; // why the file could not be written; empty otherwise
};

// Writes the list as CSV for spreadsheets (UTF-8 with a byte-order mark,
// headings first) into `path` through a temporary file that replaces it only
// when every row was written: a failed or cancelled save leaves whatever was
// there before, and so does a list whose rows were lost while it was written. `progress` is called every few thousand rows with the rows
// written so far; returning false cancels.
CsvOutcome WriteCsvFile(const QString &path, const ListRows &rows,
                        const std::function<bool(int written)> &progress = {});

// Rows written between two calls of the progress function.
inline constexpr int CsvProgressStep = 8192;

} // namespace phonebook
