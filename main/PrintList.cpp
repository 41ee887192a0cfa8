#include "PrintList.h"

#include "ColumnWidths.h"
#include "Dialogs.h"
#include "GridCopy.h"
#include "GridLayouts.h"
#include "ResultGrid.h"
#include "ShownList.h"
#include "UMain.h"

#include <QFontMetrics>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include <algorithm>
#include <limits>
#include <memory>

namespace phonebook {

namespace {

constexpr int BodyPointSize = 8; // small enough for a whole row of a list across a portrait page
constexpr int TitlePointSize = 10;

struct PageGeometry {
    QRect area;
    int lineHeight = 0;
    int titleHeight = 0;
    int headerHeight = 0; // headings and their rule
    int footerHeight = 0;
    QList<int> columnLefts;
    QList<int> columnWidths;
};

// Margins of less than the least a page is printed with are widened to it.
void WidenMargins(QPagedPaintDevice &device)
{
    const QMarginsF margins = device.pageLayout().margins(QPageLayout::Millimeter);
    const auto atLeast = [](qreal margin) { return std::max(margin, qreal(MinPageMarginMm)); };
    const QMarginsF wider(atLeast(margins.left()), atLeast(margins.top()), atLeast(margins.right()),
                          atLeast(margins.bottom()));
    if (wider != margins)
        device.setPageMargins(wider, QPageLayout::Millimeter);
}

PageGeometry measure(QPagedPaintDevice &device, QPainter &painter, const PrintJob &job)
{
    PageGeometry geometry;
    const int dpi = device.logicalDpiY();
    geometry.area = device.pageLayout().paintRectPixels(dpi);
    geometry.area.moveTopLeft(QPoint(0, 0));

    QFont body = painter.font();
    body.setPointSize(BodyPointSize);
    const QFontMetrics bodyMetrics(body, &device);
    geometry.lineHeight = bodyMetrics.height() * 6 / 5;
    QFont title = body;
    title.setPointSize(TitlePointSize);
    title.setBold(true);
    geometry.titleHeight = QFontMetrics(title, &device).height() * 2;
    geometry.headerHeight = geometry.lineHeight + geometry.lineHeight / 3;
    geometry.footerHeight = geometry.lineHeight * 2;

    // Each column as wide as its widest text (of the rows measured) or its
    // widest number; when that is more than the page holds, the widest text
    // columns are cut to one width, as wide as the page allows, so that the
    // narrower ones keep their whole text. Numbers are never cut.
    const int columns = static_cast<int>(job.headings.size());
    QFont bold = body;
    bold.setBold(true);
    const QFontMetrics boldMetrics(bold, &device);
    const int pad = bodyMetrics.averageCharWidth();
    const int digit = WidestDigitWidth(bodyMetrics);
    QList<int> wanted(columns, 0);
    QList<bool> numeric(columns, false);
    for (int c = 0; c < columns; ++c) {
        const int digits = c < job.digits.size() ? job.digits[c] : 0;
        numeric[c] = digits > 0;
        wanted[c] = std::max(boldMetrics.horizontalAdvance(job.headings[c]), digit * digits);
    }
    for (int r = 0; r < std::min(job.rowCount, MeasuredPrintRows); ++r) {
        const QStringList cells = job.row(r);
        for (int c = 0; c < columns && c < cells.size(); ++c)
            wanted[c] = std::max(wanted[c], bodyMetrics.horizontalAdvance(cells[c].trimmed()));
    }
    int fixed = 0;
    int flexible = 0;
    for (int c = 0; c < columns; ++c) {
        wanted[c] += 2 * pad;
        (numeric[c] ? fixed : flexible) += wanted[c];
    }
    int cap = std::numeric_limits<int>::max();
    if (flexible > geometry.area.width() - fixed) {
        QList<int> text;
        for (int c = 0; c < columns; ++c) {
            if (!numeric[c])
                text.append(wanted[c]);
        }
        std::sort(text.begin(), text.end());
        int room = std::max(0, geometry.area.width() - fixed);
        int left = static_cast<int>(text.size());
        for (int width : std::as_const(text)) {
            if (width * left > room) {
                cap = room / left;
                break;
            }
            room -= width;
            --left;
        }
    }
    int left = 0;
    for (int c = 0; c < columns; ++c) {
        const int printed = numeric[c] ? wanted[c] : std::min(wanted[c], cap);
        geometry.columnLefts.append(left);
        geometry.columnWidths.append(printed);
        left += printed;
    }
    return geometry;
}

PrintPages pagesOf(const PageGeometry &geometry)
{
    const int body = geometry.area.height() - geometry.headerHeight - geometry.footerHeight;
    PrintPages pages;
    pages.otherPageRows = std::max(1, body / std::max(1, geometry.lineHeight));
    pages.firstPageRows = std::max(1, (body - geometry.titleHeight) / std::max(1, geometry.lineHeight));
    return pages;
}

void drawCells(QPainter &painter, const PageGeometry &geometry, int top, const QStringList &cells)
{
    const QFontMetrics metrics = painter.fontMetrics();
    const int pad = metrics.averageCharWidth() / 2;
    for (int c = 0; c < geometry.columnWidths.size() && c < cells.size(); ++c) {
        const QRect cell(geometry.columnLefts[c] + pad, top, geometry.columnWidths[c] - 2 * pad, geometry.lineHeight);
        painter.drawText(cell, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         metrics.elidedText(cells[c].trimmed(), Qt::ElideRight, cell.width()));
    }
}

} // namespace

PrintColumns MeasurePrintColumns(QPagedPaintDevice &device, const PrintJob &job)
{
    WidenMargins(device);
    QPainter painter;
    if (!painter.begin(&device))
        return {};
    const PageGeometry geometry = measure(device, painter, job);
    return {geometry.columnWidths, geometry.area.width()};
}

int PrintPages::pageCount(int rowCount) const
{
    if (rowCount <= firstPageRows)
        return 1;
    return 1 + (rowCount - firstPageRows + otherPageRows - 1) / otherPageRows;
}

int PrintPages::firstRowOf(int page) const
{
    return page == 0 ? 0 : firstPageRows + (page - 1) * otherPageRows;
}

int PaintList(QPagedPaintDevice &device, const PrintJob &job)
{
    if (job.lost && job.lost())
        return 0; // rows that read as empty are not printed as such
    WidenMargins(device);
    QPainter painter;
    if (!painter.begin(&device))
        return 0;
    QFont body = painter.font();
    body.setPointSize(BodyPointSize);
    QFont bold = body;
    bold.setBold(true);
    QFont titleFont = bold;
    titleFont.setPointSize(TitlePointSize);

    const PageGeometry geometry = measure(device, painter, job);
    const PrintPages pages = pagesOf(geometry);
    const int pageCount = pages.pageCount(job.rowCount);
    for (int page = 0; page < pageCount; ++page) {
        if (page > 0 && !device.newPage())
            break;
        int top = 0;
        if (page == 0) {
            painter.setFont(titleFont);
            painter.drawText(QRect(0, 0, geometry.area.width(), geometry.titleHeight / 2),
                             Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, job.title);
            top = geometry.titleHeight;
        }
        painter.setFont(bold);
        drawCells(painter, geometry, top, job.headings);
        top += geometry.lineHeight;
        painter.drawLine(0, top, geometry.columnLefts.isEmpty() ? geometry.area.width()
                                                                 : geometry.columnLefts.back() + geometry.columnWidths.back(),
                         top);
        top += geometry.headerHeight - geometry.lineHeight;

        painter.setFont(body);
        const int first = pages.firstRowOf(page);
        const int last = std::min(job.rowCount, first + (page == 0 ? pages.firstPageRows : pages.otherPageRows));
        for (int row = first; row < last; ++row, top += geometry.lineHeight)
            drawCells(painter, geometry, top, job.row(row));

        const QRect footer(0, geometry.area.height() - geometry.lineHeight, geometry.area.width(), geometry.lineHeight);
        painter.drawText(footer, Qt::AlignHCenter | Qt::AlignVCenter,
                         QStringLiteral("Страница %1 из %2").arg(page + 1).arg(pageCount));
    }
    painter.end();
    return pageCount;
}

bool BuildPrintJob(TFrmMain &main, PrintJob &job)
{
    const ShownList shown = CurrentList(main);
    if (!shown.grid || shown.grid->RowCount() <= 1)
        return false;
    const ResultGrid &grid = *shown.grid;
    job.title = shown.title;
    const int columns = HeadedColumns(grid);
    job.headings = grid.Headings().mid(0, columns);
    job.digits.clear();
    const std::vector<LayoutColumn> layout = LayoutColumns(grid.Layout(), grid.WideWidth());
    for (int c = 1; c <= columns; ++c) {
        job.digits.append(c <= static_cast<int>(layout.size()) ? layout[static_cast<size_t>(c) - 1].digits : 0);
    }

    const int rowCount = grid.RowCount() - 1;
    const QList<int> selected = SelectedRows(grid);
    bool onlySelected = false;
    if (rowCount > LongPrintRows && !selected.isEmpty() && selected.size() < rowCount) {
        const auto answer = Dialogs::AskYesNoCancel(
            &main, QStringLiteral("В списке %1 строк. Напечатать только выделенные строки (%2)?\n"
                                  "«Нет» напечатает весь список.")
                       .arg(rowCount)
                       .arg(selected.size()));
        if (answer == QMessageBox::Cancel)
            return false;
        onlySelected = answer == QMessageBox::Yes;
    }
    // The rows of the result shown now, not the grid's: the preview lets
    // events through, and the grid may be filled again meanwhile.
    const ListRows rows = AllGridRows(grid);
    job.lost = rows.lost;
    if (onlySelected) {
        job.rowCount = static_cast<int>(selected.size());
        job.row = [read = rows.row, selected](int row) { return read(selected.at(row) - 1); };
    } else {
        job.rowCount = rows.rowCount;
        job.row = rows.row;
    }
    return true;
}

bool PrintShownList(TFrmMain &main)
{
    PrintJob job;
    if (!BuildPrintJob(main, job))
        return false;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(SafeFileName(job.title));
    printer.setPageOrientation(QPageLayout::Portrait);
    QPrintPreviewDialog preview(&printer, &main);
    preview.setWindowTitle(QStringLiteral("Печать: %1").arg(job.title));
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, [&job, &main](QPrinter *target) {
        if (PaintList(*target, job) == 0 && job.lost && job.lost())
            Dialogs::ShowMessage(&main,
                                 QStringLiteral("Таблица списка изменилась после того, как печать началась. "
                                                "Напечатайте список ещё раз."),
                                 QMessageBox::Warning);
    });
    return preview.exec() == QDialog::Accepted;
}

} // namespace phonebook
