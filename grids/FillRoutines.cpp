#include "FillRoutines.h"

#include "DatabaseError.h"
#include "Dataset.h"
#include "FillPlan.h"
#include "GridFiller.h"
#include "ResultGrid.h"
#include "UHelpFull.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProgressBar>

#include <algorithm>

namespace phonebook {

namespace {

// Pending events are let through at most this often while a fill runs: often
// enough for a progress bar to move, rarely enough to cost nothing per row.
constexpr qint64 EventIntervalMs = 16;

// A fill plan without its result, which fill() takes from the dataset.
struct FillRequest {
    FillPlan plan;                  // colCount -1 for the dataset's field count
    int rowsToWrite = -1;           // -1 writes every row
    bool responsive = false;
    QProgressBar *bar = nullptr;
};

FillPlan planOf(GridLayout layout, int colCount, std::vector<int> fieldColumns, bool keepPosition = false)
{
    FillPlan plan;
    plan.layout = layout;
    plan.colCount = colCount;
    plan.fieldColumns = std::move(fieldColumns);
    plan.keepPosition = keepPosition;
    return plan;
}

std::vector<int> leadingOrdinals(int wanted, int available)
{
    std::vector<int> columns;
    for (int c = 0; c < std::min(wanted, available); ++c)
        columns.push_back(c);
    return columns;
}

std::vector<int> ordinalsByName(const RowSource &source, GridLayout layout)
{
    std::vector<int> columns;
    for (const QString &name : LayoutFields(layout)) {
        const int column = source.columnIndex(name);
        if (column < 0)
            throw DatabaseError(QStringLiteral("В результате нет поля «%1».").arg(name));
        columns.push_back(column);
    }
    return columns;
}

std::shared_ptr<const RowSource> requireRows(const Dataset &data)
{
    std::shared_ptr<const RowSource> source = data.Source();
    if (!source || source->rowCount() == 0 || data.RecNo() < 1)
        throw DatabaseError(QStringLiteral("Нет ни одной строки для показа: таблица результата пуста."));
    return source;
}

// Puts the dataset on record recNo (clamped) if it still holds the result the
// fill read; a dataset reopened meanwhile is left alone.
void moveTo(Dataset &data, const std::shared_ptr<const RowSource> &source, int recNo)
{
    if (data.Source() == source && data.RecNo() != recNo)
        data.MoveBy(recNo - data.RecNo());
}

class EventPump {
public:
    explicit EventPump(bool enabled)
        : m_enabled(enabled)
    {
        if (m_enabled)
            m_clock.start();
    }
    void beforeRow()
    {
        if (m_enabled && m_clock.elapsed() >= EventIntervalMs) {
            QCoreApplication::processEvents();
            m_clock.restart();
        }
    }

private:
    bool m_enabled;
    QElapsedTimer m_clock;
};

void fill(ResultGrid &grid, Dataset &data, const FillRequest &request)
{
    const std::shared_ptr<const RowSource> source = requireRows(data);
    const int rows = source->rowCount();

    FillPlan plan = request.plan;
    plan.rowCount = rows;
    if (plan.colCount < 0)
        plan.colCount = source->columnCount();
    plan.source = source;

    const int start = data.RecNo() - 1; // result row written into data row 1
    const int toWrite = request.rowsToWrite < 0 ? rows : std::min(request.rowsToWrite, rows);

    GridFiller filler(grid, plan);
    EventPump pump(request.responsive);
    int written = 0;
    for (; written < toWrite && start + written < rows; ++written) {
        pump.beforeRow();
        if (filler.superseded())
            return; // a newer fill of this grid took over while events ran
        filler.setRow(written + 1, start + written);
        if (request.bar) // a bar never set yet reads minimum - 1
            request.bar->setValue(std::max(request.bar->value(), request.bar->minimum()) + 1);
    }
    filler.finish();
    moveTo(data, source, std::min(start + written + 1, rows));
}

void append(ResultGrid &grid, Dataset &data, int first, int last, bool byName)
{
    const std::shared_ptr<const RowSource> source = data.Source();
    if (!source || data.RecNo() < 1)
        return;
    if (source != grid.Source())
        return; // the grid shows another result: its row numbers mean nothing here
    if (byName)
        ordinalsByName(*source, grid.Layout()); // throws when a field is missing
    first = std::max(first, 1);
    last = std::min(last, grid.RowCount() - 1);
    int row = data.RecNo() - 1;
    for (int gridRow = first; gridRow <= last && row < source->rowCount(); ++gridRow, ++row)
        GridFiller::writeRow(grid, gridRow, row);
    moveTo(data, source, std::min(row + 1, source->rowCount()));
}

// "YYYY-MM-DD..." as "DD.MM.YYYY..."; anything else as it is.
QString russianDate(const QString &iso)
{
    if (iso.size() < 10 || iso[4] != u'-' || iso[7] != u'-')
        return iso;
    return iso.mid(8, 2) + u'.' + iso.mid(5, 2) + u'.' + iso.left(4) + iso.mid(10);
}

} // namespace

QString ShownCell(const RowSource &source, int row, int column)
{
    const QString value = source.text(row, column);
    switch (source.columnKind(column)) {
    case ValueKind::Stored: return DecodeText(value, CipherKey);
    case ValueKind::Date:
    case ValueKind::DateTime: return russianDate(value);
    case ValueKind::Logical:
        if (value.isEmpty())
            return value;
        return value == u"0" ? QStringLiteral("Нет") : QStringLiteral("Да");
    case ValueKind::Number: break;
    }
    return value;
}

void FillOrgGrid(ResultGrid &grid, Dataset &data)
{
    const int fields = requireRows(data)->columnCount();
    fill(grid, data, {planOf(GridLayout::Organisations, -1, leadingOrdinals(3, fields))});
}

void FillOrgGridPaged(ResultGrid &grid, Dataset &data)
{
    FillOrgGridPaged(grid, data, nullptr);
}

void FillOrgGridPaged(ResultGrid &grid, Dataset &data, QProgressBar *bar)
{
    const int fields = requireRows(data)->columnCount();
    fill(grid, data, {planOf(GridLayout::Organisations, -1, leadingOrdinals(3, fields)), FirstPageRows, true, bar});
}

void AppendOrgRows(ResultGrid &grid, Dataset &data, int first, int last)
{
    append(grid, data, first, last, false);
}

void FillOrgPhonesGrid(ResultGrid &grid, Dataset &data)
{
    const int fields = requireRows(data)->columnCount();
    fill(grid, data, {planOf(GridLayout::OrgPhones, 4, leadingOrdinals(4, fields))});
}

void FillDeptGrid(ResultGrid &grid, Dataset &data)
{
    const int fields = requireRows(data)->columnCount();
    fill(grid, data, {planOf(GridLayout::Departments, -1, leadingOrdinals(5, fields)), -1, true});
}

void FillPersonGrid(ResultGrid &grid, Dataset &data)
{
    const int fields = requireRows(data)->columnCount();
    fill(grid, data, {planOf(GridLayout::Persons, -1, leadingOrdinals(5, fields))});
}

void FillPersonGridPaged(ResultGrid &grid, Dataset &data, QProgressBar *bar)
{
    const std::shared_ptr<const RowSource> source = requireRows(data);
    fill(grid, data, {planOf(GridLayout::Persons, -1, ordinalsByName(*source, GridLayout::Persons), true), FirstPageRows, true, bar});
}

void FillPersonGridPaged(ResultGrid &grid, Dataset &data)
{
    FillPersonGridPaged(grid, data, nullptr);
}

void AppendPersonRows(ResultGrid &grid, Dataset &data, int first, int last)
{
    append(grid, data, first, last, true);
}

} // namespace phonebook
