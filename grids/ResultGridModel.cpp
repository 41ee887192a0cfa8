#include "ResultGridModel.h"

#include "Dataset.h"
#include "FillRoutines.h"

#include <QtGlobal>

#include <algorithm>
#include <exception>

namespace phonebook {

namespace {

bool isTextRole(int role)
{
    return role == Qt::DisplayRole || role == Qt::AccessibleTextRole;
}

} // namespace

ResultGridModel::ResultGridModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void ResultGridModel::reshape(const FillPlan &plan)
{
    beginResetModel();
    m_plan = plan;
    m_headings.clear();
    for (const LayoutColumn &column : LayoutColumns(plan.layout, 0))
        m_headings.append(column.heading);
    m_rows.reset(plan.rowCount);
    m_shown.assign(ShownRowsKept, ShownRow());
    endResetModel();
}

QStringList ResultGridModel::readRow(int sourceRow) const
{
    QStringList cells;
    cells.reserve(m_plan.colCount);
    const RowSource *source = m_plan.source.get();
    if (source && sourceRow >= 0 && sourceRow < source->rowCount()) {
        for (int column : m_plan.fieldColumns)
            cells.append(ShownCell(*source, sourceRow, column));
    }
    while (cells.size() < m_plan.colCount)
        cells.append(QString());
    return cells;
}

const QStringList &ResultGridModel::shownRow(int row) const
{
    ShownRow &kept = m_shown[static_cast<size_t>(row % ShownRowsKept)];
    if (kept.row != row) {
        try {
            kept.cells = readRow(*m_rows.find(row));
        } catch (const std::exception &error) {
            // Asked while painting: the row shows empty rather than ending the program.
            qWarning("Row %d of the list could not be read: %s", row + 1, error.what());
            kept.cells = QStringList(m_plan.colCount, QString());
        }
        kept.row = row;
    }
    return kept.cells;
}

void ResultGridModel::setRow(int row, int sourceRow)
{
    if (row < 0 || row >= m_plan.rowCount || sourceRow < 0)
        return;
    // Read now, so that a result that cannot be read fails the fill that writes it.
    ShownRow &kept = m_shown[static_cast<size_t>(row % ShownRowsKept)];
    kept.row = -1;
    kept.cells = readRow(sourceRow);
    m_rows.set(row, sourceRow);
    kept.row = row;
    if (m_plan.colCount > 0)
        emit dataChanged(index(row, 0), index(row, m_plan.colCount - 1), {Qt::DisplayRole});
}

QString ResultGridModel::text(int row, int column) const
{
    if (!isLoaded(row) || column < 0 || column >= m_plan.colCount)
        return {};
    return shownRow(row).value(column);
}

QStringList ResultGridModel::rowValues(int row) const
{
    if (isLoaded(row))
        return shownRow(row);
    if (row < 0 || row >= m_plan.rowCount)
        return QStringList(m_plan.colCount, QString());
    return readRow(row);
}

std::pair<int, int> ResultGridModel::loadPage(int row)
{
    const int pageRows = LayoutPageRows(m_plan.layout);
    const RowSource *source = m_plan.source.get();
    if (pageRows <= 0 || !source || row < 0 || row >= m_plan.rowCount)
        return {-1, -1};
    const int last = std::min({row + pageRows, m_plan.rowCount, source->rowCount()}) - 1;
    if (last < row)
        return {-1, -1};
    for (int r = row; r <= last; ++r) {
        m_rows.set(r, r);
        ShownRow &kept = m_shown[static_cast<size_t>(r % ShownRowsKept)];
        if (kept.row == r)
            kept.row = -1;
    }
    if (m_plan.colCount > 0)
        emit dataChanged(index(row, 0), index(last, m_plan.colCount - 1), {Qt::DisplayRole});
    return {row, last};
}

int ResultGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_plan.rowCount;
}

int ResultGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_plan.colCount;
}

QVariant ResultGridModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || !isTextRole(role))
        return {};
    return text(index.row(), index.column());
}

QVariant ResultGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::AccessibleDescriptionRole && orientation == Qt::Vertical && section == 0 && m_plan.rowCount > 0)
        return QStringLiteral("Первая строка списка");
    if (!isTextRole(role) || section < 0)
        return {};
    if (orientation == Qt::Horizontal) {
        if (section >= m_plan.colCount)
            return {};
        return m_headings.value(section);
    }
    if (section >= m_plan.rowCount)
        return {};
    return section == 0 ? QStringLiteral(">") : QString();
}

Qt::ItemFlags ResultGridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

} // namespace phonebook
