#include "GridCopy.h"

#include "Dataset.h"
#include "FillRoutines.h"
#include "GridExport.h"
#include "ResultGrid.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QItemSelectionModel>
#include <QMenu>

#include <algorithm>

namespace phonebook {

namespace {

void putOnClipboard(const QString &text)
{
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

// A row's headed cells without the blanks the table's fixed-width fields pad them with.
QStringList trimmedRow(const ResultGrid &grid, int row, int columns)
{
    QStringList values = grid.RowValues(row);
    values.resize(std::min(values.size(), static_cast<qsizetype>(columns)));
    for (QString &value : values)
        value = std::move(value).trimmed();
    return values;
}

} // namespace

int HeadedColumns(const ResultGrid &grid)
{
    return std::max(0, std::min(static_cast<int>(LayoutColumns(grid.Layout(), 0).size()), grid.ColCount() - 1));
}

int NumberColumn(const ResultGrid &grid)
{
    const std::vector<QString> fields = LayoutFields(grid.Layout());
    const auto found = std::find(fields.begin(), fields.end(), QStringLiteral("nt"));
    return found == fields.end() ? 0 : static_cast<int>(found - fields.begin()) + 1;
}

QString RowNumber(const ResultGrid &grid, int row)
{
    const int column = NumberColumn(grid);
    if (column == 0 || row < 1 || row >= grid.RowCount())
        return {};
    return grid.RowValues(row).value(column - 1).trimmed();
}

ListRows AllGridRows(const ResultGrid &grid)
{
    ListRows rows;
    const int columns = HeadedColumns(grid);
    rows.headings = grid.Headings().mid(0, columns);
    rows.rowCount = grid.RowCount() - 1;
    std::shared_ptr<const RowSource> source = grid.Source();
    std::vector<int> fields = grid.SourceColumns();
    if (!source || source->rowCount() < rows.rowCount || fields.size() < static_cast<size_t>(columns)) {
        // No result behind the rows (a list shown empty): they are copied now.
        auto copied = std::make_shared<std::vector<QStringList>>();
        for (int row = 1; row <= rows.rowCount; ++row)
            copied->push_back(trimmedRow(grid, row, columns));
        rows.row = [copied](int row) { return copied->at(static_cast<size_t>(row)); };
        return rows;
    }
    fields.resize(static_cast<size_t>(columns));
    for (int field : fields)
        rows.literal.push_back(source->columnKind(field) != ValueKind::Stored);
    rows.lost = [source] { return source->lost(); };
    rows.row = [source = std::move(source), fields = std::move(fields)](int row) {
        QStringList values;
        values.reserve(static_cast<qsizetype>(fields.size()));
        for (int field : fields)
            values.append(ShownCell(*source, row, field).trimmed());
        return values;
    };
    return rows;
}

QList<int> SelectedRows(const ResultGrid &grid)
{
    QList<int> rows;
    for (const QModelIndex &index : grid.selectionModel()->selectedIndexes())
        rows.append(index.row() + 1);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.isEmpty() && grid.Row() > 0)
        rows.append(grid.Row());
    return rows;
}

QString SelectionText(const ResultGrid &grid)
{
    const QModelIndexList selected = grid.selectionModel()->selectedIndexes();
    int firstColumn = 1;
    int lastColumn = HeadedColumns(grid);
    if (selected.size() > 1) {
        // The selection is one rectangle: its columns, and only those.
        firstColumn = lastColumn + 1;
        lastColumn = 0;
        for (const QModelIndex &index : selected) {
            firstColumn = std::min(firstColumn, index.column() + 1);
            lastColumn = std::max(lastColumn, index.column() + 1);
        }
        lastColumn = std::min(lastColumn, HeadedColumns(grid));
    }
    std::vector<QStringList> rows;
    const int columns = HeadedColumns(grid);
    for (int row : SelectedRows(grid)) {
        const QStringList values = trimmedRow(grid, row, columns);
        rows.push_back(values.mid(firstColumn - 1, std::max(0, lastColumn - firstColumn + 1)));
    }
    return TabSeparatedText(rows);
}

namespace {

// The grid's context menu: shown for the row under the mouse, or for the
// current row when opened from the keyboard.
class GridMenu : public QObject {
public:
    GridMenu(ResultGrid &grid, QAction *copy)
        : QObject(&grid)
        , m_grid(grid)
        , m_copy(copy)
    {
        grid.viewport()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::ContextMenu)
            return QObject::eventFilter(watched, event);
        auto *menuEvent = static_cast<QContextMenuEvent *>(event);
        const int mouseRow = m_grid.rowAt(menuEvent->pos().y());
        const int row = menuEvent->reason() == QContextMenuEvent::Mouse && mouseRow >= 0 ? mouseRow + 1 : m_grid.Row();
        QMenu menu(&m_grid);
        menu.setObjectName(QStringLiteral("GridMenu"));
        menu.addAction(m_copy);
        QAction *number = menu.addAction(CopyNumberText.toString());
        number->setObjectName(QStringLiteral("CopyNumberAction"));
        number->setShortcut(CopyNumberKey); // shown; the window answers the key
        const QString text = RowNumber(m_grid, row);
        number->setEnabled(!text.isEmpty());
        m_copy->setEnabled(m_grid.RowCount() > 1);
        if (menu.exec(menuEvent->globalPos()) == number)
            putOnClipboard(text);
        m_copy->setEnabled(true);
        return true;
    }

private:
    ResultGrid &m_grid;
    QAction *m_copy;
};

} // namespace

void AttachCopyCommands(ResultGrid &grid)
{
    auto *copy = new QAction(CopyText.toString(), &grid);
    copy->setObjectName(QStringLiteral("CopyAction"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    grid.addAction(copy);
    QObject::connect(copy, &QAction::triggered, &grid, [&grid] { putOnClipboard(SelectionText(grid)); });
    new GridMenu(grid, copy);
}

} // namespace phonebook
