#include "ResultGridModel.h"

#include "FillRoutines.h"

#include "Dataset.h"
#include "UHelpFull.h"

#include <algorithm>
#include <cstring>

namespace phonebook {

namespace {

// A loaded row is kept as one byte per character: deciphered text holds only
// characters of the cipher alphabet, so each is stored as its position
// (1..141) and a 0 byte ends a cell. That is half of what the same text costs
// as UTF-16. Text from elsewhere with characters outside the alphabet is kept
// as UTF-16 instead, its cells joined by U+001F; the first byte tells which.
constexpr char PackedTag = 'P';
constexpr char WideTag = 'U';
constexpr char16_t WideSeparator = 0x1F;

QByteArray packRow(const QStringList &values)
{
    QByteArray packed;
    qsizetype length = 1;
    for (const QString &value : values)
        length += value.size() + 1;
    packed.reserve(length);
    packed.append(PackedTag);
    for (qsizetype c = 0; c < values.size(); ++c) {
        if (c > 0)
            packed.append('\0');
        for (QChar ch : values[c]) {
            const int position = CipherPosition(ch.unicode());
            if (position == 0) {
                const QString joined = values.join(QChar(WideSeparator));
                QByteArray wide(1, WideTag);
                wide.append(reinterpret_cast<const char *>(joined.utf16()), joined.size() * 2);
                return wide;
            }
            packed.append(static_cast<char>(position));
        }
    }
    return packed;
}

QString wideText(const QByteArray &row)
{
    QString text(static_cast<qsizetype>((row.size() - 1) / 2), Qt::Uninitialized);
    std::memcpy(text.data(), row.constData() + 1, static_cast<size_t>(text.size()) * 2);
    return text;
}

QString cellOf(const QByteArray &row, int column)
{
    if (row.isEmpty())
        return {};
    if (row.front() == WideTag) {
        const QString text = wideText(row);
        return QStringView(text).split(QChar(WideSeparator)).value(column).toString();
    }
    qsizetype start = 1;
    for (int c = 0; c < column; ++c) {
        const qsizetype next = row.indexOf('\0', start);
        if (next < 0)
            return {};
        start = next + 1;
    }
    qsizetype end = row.indexOf('\0', start);
    if (end < 0)
        end = row.size();
    QString text(end - start, Qt::Uninitialized);
    QChar *out = text.data();
    for (qsizetype i = start; i < end; ++i)
        *out++ = CipherAlphabet[static_cast<unsigned char>(row[i]) - 1];
    return text;
}

bool firstCellEmpty(const QByteArray &row)
{
    if (row.size() < 2)
        return true;
    if (row.front() == WideTag) {
        if (row.size() < 3)
            return true;
        char16_t first = 0;
        std::memcpy(&first, row.constData() + 1, sizeof first);
        return first == WideSeparator;
    }
    return row[1] == '\0';
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
    m_rows.set(row, packRow(values));
    if (m_shape.colCount > 0)
        emit dataChanged(index(row, 0), index(row, m_shape.colCount - 1), {Qt::DisplayRole});
}

QString ResultGridModel::text(int row, int column) const
{
    const QByteArray *packed = m_rows.find(row);
    if (!packed || column < 0 || column >= m_shape.colCount)
        return {};
    return cellOf(*packed, column);
}

bool ResultGridModel::isLoaded(int row) const
{
    const QByteArray *packed = m_rows.find(row);
    return packed && !firstCellEmpty(*packed);
}

QStringList ResultGridModel::rowValues(int row) const
{
    QStringList values;
    values.reserve(m_shape.colCount);
    const RowSource *source = m_shape.source.get();
    if (!isLoaded(row) && source && row >= 0 && row < source->rowCount()) {
        for (int column : m_shape.fieldColumns)
            values.append(ShownCell(*source, row, column));
    } else {
        for (int c = 0; c < m_shape.colCount; ++c)
            values.append(text(row, c));
    }
    while (values.size() < m_shape.colCount)
        values.append(QString());
    return values;
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
    QStringList values;
    for (int r = row; r <= last; ++r) {
        values.clear();
        for (int column : m_shape.fieldColumns)
            values.append(ShownCell(*source, r, column));
        m_rows.set(r, packRow(values));
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
