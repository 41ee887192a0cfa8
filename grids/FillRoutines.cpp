#include "FillRoutines.h"

#include "DatabaseError.h"
#include "Dataset.h"
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

struct FillRequest {
    GridLayout layout = GridLayout::None;
    int colCount = 0;               // data columns; -1 for the dataset's field count
    std::vector<int> fieldColumns;  // result column per data column
    int rowsToWrite = -1;           // -1 writes every row
    bool responsive = false;
    QProgressBar *bar = nullptr;
    bool keepPosition = false;
};

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

QStringList rowValues(const RowSource &source, int row, const std::vector<int> &columns)
{
    QStringList values;
    values.reserve(static_cast<qsizetype>(columns.size()));
    for (int column : columns)
        values.append(ShownCell(source, row, column));
    return values;
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

    GridFiller::Plan plan;
    plan.layout = request.layout;
    plan.rowCount = rows;
    plan.colCount = request.colCount < 0 ? source->columnCount() : request.colCount;
    plan.source = source;
    plan.fieldColumns = request.fieldColumns;
    plan.keepPosition = request.keepPosition;

    const int start = data.RecNo() - 1; // result row written into data row 1
    const int toWrite = request.rowsToWrite < 0 ? rows : std::min(request.rowsToWrite, rows);

    GridFiller filler(grid, plan);
    EventPump pump(request.responsive);
    int written = 0;
    for (; written < toWrite && start + written < rows; ++written) {
        pump.beforeRow();
        if (filler.superseded())
            return; // a newer fill of this grid took over while events ran
        filler.setRow(written + 1, rowValues(*source, start + written, request.fieldColumns));
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
    const GridLayout layout = grid.Layout();
    const std::vector<int> columns = byName
        ? ordinalsByName(*source, layout)
        : leadingOrdinals(static_cast<int>(LayoutFields(layout).size()), source->columnCount());
    first = std::max(first, 1);
    last = std::min(last, grid.RowCount() - 1);
    int row = data.RecNo() - 1;
    for (int gridRow = first; gridRow <= last && row < source->rowCount(); ++gridRow, ++row)
        GridFiller::writeRow(grid, gridRow, rowValues(*source, row, columns));
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
    fill(grid, data, {GridLayout::Organisations, -1, leadingOrdinals(3, fields), -1, false, nullptr, false});
}

void FillOrgGridPaged(ResultGrid &grid, Dataset &data)
{
    FillOrgGridPaged(grid, data, nullptr);
}

void FillOrgGridPaged(ResultGrid &grid, Dataset &data, QProgressBar *bar)
{
    const int fields = requireRows(data)->columnCount();
    fill(grid, data, {GridLayout::Organisations, -1, leadingOrdinals(3, fields), FirstPageRows, true, bar, false});
}

void AppendOrgRows(ResultGrid &grid, Dataset &data, int first, int last)
{
    append(grid, data, first, last, false);
}

void FillOrgPhonesGrid(ResultGrid &grid, Dataset &data)
{
    const int fields = requireRows(data)->columnCount();
    fill(grid, data, {GridLayout::OrgPhones, 4, leadingOrdinals(4, fields), -1, false, nullptr, false});
}

void FillDeptGrid(ResultGrid &grid, Dataset &data)
{
    const int fields = requireRows(data)->columnCount();
    fill(grid, data, {GridLayout::Departments, -1, leadingOrdinals(5, fields), -1, true, nullptr, false});
}

void FillPersonGrid(ResultGrid &grid, Dataset &data)
{
    const int fields = requireRows(data)->columnCount();
    fill(grid, data, {GridLayout::Persons, -1, leadingOrdinals(5, fields), -1, false, nullptr, false});
}

void FillPersonGridPaged(ResultGrid &grid, Dataset &data, QProgressBar *bar)
{
    const std::shared_ptr<const RowSource> source = requireRows(data);
    fill(grid, data,
         {GridLayout::Persons, -1, ordinalsByName(*source, GridLayout::Persons), FirstPageRows, true, bar, true});
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
