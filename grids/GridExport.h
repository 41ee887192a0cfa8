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
void AppendCsvLine(QByteArray &out, const QStringList &fields);

// What a list offers for saving: its headings and every row, read by number
// (0-based) in order.
struct ListRows {
    QStringList headings;
    int rowCount = 0;
    std::function<QStringList(int row)> row;
};

struct CsvOutcome {
    bool written = false;
    bool cancelled = false;
    QString error; // why the file could not be written; empty otherwise
};

// Writes the list as CSV for spreadsheets (UTF-8 with a byte-order mark,
// headings first) into `path` through a temporary file that replaces it only
// when every row was written: a failed or cancelled save leaves whatever was
// there before. `progress` is called every few thousand rows with the rows
// written so far; returning false cancels.
CsvOutcome WriteCsvFile(const QString &path, const ListRows &rows,
                        const std::function<bool(int written)> &progress = {});

// Rows written between two calls of the progress function.
inline constexpr int CsvProgressStep = 8192;

} // namespace phonebook
