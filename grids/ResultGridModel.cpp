#include "ResultGridModel.h"

#include "Dataset.h"
#include "UHelpFull.h"

#include <algorithm>

namespace phonebook {

namespace {

// Deciphered text never holds this: DecodeText yields only alphabet
// characters and separators.
constexpr QChar CellSeparator(0x1F);

QStringView cellOf(QStringView joined, int column)
{
    qsizetype start = 0;
    for (int c = 0; c < column; ++c) {
        const qsizetype next = joined.indexOf(CellSeparator, start);
        if (next < 0)
            return {};
        start = next + 1;
    }
    const qsizetype end = joined.indexOf(CellSeparator, start);
    return end < 0 ? joined.mid(start) : joined.mid(start, end - start);
}

bool isTextRole(int role)
{
    return role == Qt::DisplayRole || role == Qt::AccessibleTextRole;
}

} // namespace

ResultGridModel::ResultGridModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void ResultGridModel::reshape(Shape shape)
{
    beginResetModel();
    m_shape = std::move(shape);
    m_rows.reset(m_shape.rowCount);
    endResetModel();
}

void ResultGridModel::setRow(int row, const QStringList &values)
{
    if (row < 0 || row >= m_shape.rowCount)
        return;
    m_rows.set(row, values.join(CellSeparator));
    if (m_shape.colCount > 0)
        emit dataChanged(index(row, 0), index(row, m_shape.colCount - 1), {Qt::DisplayRole});
}

QString ResultGridModel::text(int row, int column) const
{
    const QString *joined = m_rows.find(row);
    if (!joined || column < 0 || column >= m_shape.colCount)
        return {};
    return cellOf(*joined, column).toString();
}

bool ResultGridModel::isLoaded(int row) const
{
    const QString *joined = m_rows.find(row);
    return joined && !joined->isEmpty() && joined->front() != CellSeparator;
}

std::pair<int, int> ResultGridModel::loadPage(int row)
{
    const int pageRows = LayoutPageRows(m_shape.layout);
    const RowSource *source = m_shape.source.get();
    if (pageRows <= 0 || !source || row < 0 || row >= m_shape.rowCount)
        return {-1, -1};
    const int last = std::min({row + pageRows, m_shape.rowCount, source->rowCount()}) - 1;
    if (last < row)
        return {-1, -1};
    QString joined;
    for (int r = row; r <= last; ++r) {
        joined.clear();
        for (size_t c = 0; c < m_shape.fieldColumns.size(); ++c) {
            if (c > 0)
                joined += CellSeparator;
            joined += DecodeText(source->text(r, m_shape.fieldColumns[c]), CipherKey);
        }
        m_rows.set(r, joined);
    }
    if (m_shape.colCount > 0)
        emit dataChanged(index(row, 0), index(last, m_shape.colCount - 1), {Qt::DisplayRole});
    return {row, last};
}

int ResultGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_shape.rowCount;
}

int ResultGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_shape.colCount;
}

QVariant ResultGridModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || !isTextRole(role))
        return {};
    return text(index.row(), index.column());
}

QVariant ResultGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (!isTextRole(role) || section < 0)
        return {};
    if (orientation == Qt::Horizontal) {
        if (section >= m_shape.colCount)
            return {};
        return section < m_shape.headings.size() ? m_shape.headings.at(section) : QString();
    }
    if (section >= m_shape.rowCount)
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
