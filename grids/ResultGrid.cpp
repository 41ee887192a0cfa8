#include "ResultGrid.h"

#include "ColumnWidths.h"
#include "Dataset.h"
#include "DesignFont.h"
#include "GridCopy.h"
#include "ResultGridModel.h"

#include <QAbstractButton>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QHelpEvent>
#include <QHeaderView>
#include <QPainter>
#include <QPaintEvent>
#include <QScreen>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QStyleOption>
#include <QTimer>
#include <QToolTip>

#include <algorithm>

namespace phonebook {

namespace {

// Draws a cell as a string grid does: its text ending in "…" where the cell
// cuts it, the selection and the focused cell marked. The general delegate lays out and
// elides every cell's text, which costs several times as much per repaint.
class GridCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        const bool active = option.state.testFlag(QStyle::State_Active);
        const QPalette::ColorGroup group = !option.state.testFlag(QStyle::State_Enabled) ? QPalette::Disabled
                                           : active                                      ? QPalette::Active
                                                                                         : QPalette::Inactive;
        if (selected)
            painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
        const QString text = index.data(Qt::DisplayRole).toString();
        if (!text.isEmpty()) {
            painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
            const QRect area = textArea(option.rect);
            painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                              fits(option.fontMetrics, text, area.width())
                                  ? text
                                  : option.fontMetrics.elidedText(text, Qt::ElideRight, area.width()));
        }
        if (option.state.testFlag(QStyle::State_HasFocus)) {
            QPen pen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
            pen.setStyle(Qt::DotLine);
            painter->setPen(pen);
            painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
        }
    }

    // A value cut short shows whole in a tip; one that fits shows none.
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override
    {
        if (event->type() != QEvent::ToolTip)
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        const QString text = index.data(Qt::DisplayRole).toString();
        if (!text.isEmpty() && !fits(view->fontMetrics(), text, textArea(option.rect).width())) {
            QToolTip::showText(event->globalPos(), text, view, option.rect);
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }

private:
    static QRect textArea(const QRect &cell) { return cell.adjusted(CellPadding, 0, -1, 0); }
    // Most cells are short: their length bounds their width without laying the text out.
    static bool fits(const QFontMetrics &metrics, const QString &text, int width)
    {
        return text.size() * metrics.maxWidth() <= width || metrics.horizontalAdvance(text) <= width;
    }
};

// The marker column left of the rows: a header section per row in view, ">"
// in the first row's. Painted from the grid's scroll position, so that it
// keeps nothing per row.
class MarkerColumn : public QWidget {
public:
    explicit MarkerColumn(ResultGrid &grid)
        : QWidget(&grid)
        , m_grid(grid)
    {
        setObjectName(QStringLiteral("markerColumn"));
        setAccessibleName(QStringLiteral("Столбец-маркер"));
        setAccessibleDescription(QStringLiteral("Знак «>» отмечает первую строку списка"));
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        const int height = m_grid.RowHeight();
        const int top = m_grid.verticalScrollBar()->value();
        const int rows = m_grid.model()->rowCount();
        const int first = std::max(0, event->rect().top() / height);
        const int last = std::min(rows - 1 - top, event->rect().bottom() / height);
        for (int shown = first; shown <= last; ++shown) {
            QStyleOptionHeader option;
            option.initFrom(this);
            option.rect = QRect(0, shown * height, width(), height);
            option.orientation = Qt::Vertical;
            option.section = top + shown;
            option.position = QStyleOptionHeader::Middle;
            option.text = m_grid.model()->headerData(top + shown, Qt::Vertical).toString();
            option.textAlignment = Qt::AlignCenter;
            style()->drawControl(QStyle::CE_Header, &option, &painter, this);
        }
    }

private:
    ResultGrid &m_grid;
};

} // namespace

ResultGrid::ResultGrid(QWidget *parent)
    : QTableView(parent)
    , m_model(new ResultGridModel(this))
    , m_marker(new MarkerColumn(*this))
{
    setModel(m_model);
    setItemDelegate(new GridCellDelegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(false);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);

    // The row header would keep a section per row; it stays hidden and
    // empty, and the grid places rows and paints the marker column itself.
    verticalHeader()->hide();
    verticalHeader()->setModel(nullptr);
    // The view's corner button sits above the marker column.
    for (QAbstractButton *button : findChildren<QAbstractButton *>(Qt::FindDirectChildrenOnly))
        m_corner = button;
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);

    QHeaderView *columns = horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setSectionsClickable(false);
    columns->setHighlightSections(false);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &ResultGrid::onCurrentChanged);

    m_userWidths = new ColumnWidths(*this);
    followFont();
    // The last column reaches the window's edge; a column the user drags
    // wider or narrower takes its room from it.
    connect(columns, &QHeaderView::sectionResized, this, [this](int column, int, int newSize) {
        if (m_stretching)
            return;
        if (column == roomColumn()) {
            if (column < static_cast<int>(m_baseWidths.size()) && m_userWidths->Dragging())
                m_baseWidths[static_cast<size_t>(column)] = newSize;
            return;
        }
        stretchLastColumn();
    });
    AttachCopyCommands(*this);
}

ResultGrid::~ResultGrid() = default;

int ResultGrid::RowCount() const
{
    return m_model->rowCount() + 1;
}

int ResultGrid::ColCount() const
{
    return m_model->columnCount() + 1;
}

QString ResultGrid::Cells(int col, int row) const
{
    if (col < 0 || row < 0 || col >= ColCount() || row >= RowCount())
        return {};
    if (row == 0)
        return col == 0 ? QString() : m_model->headerData(col - 1, Qt::Horizontal).toString();
    if (col == 0)
        return m_model->headerData(row - 1, Qt::Vertical).toString();
    return m_model->text(row - 1, col - 1);
}

int ResultGrid::ColWidth(int col) const
{
    if (col == 0)
        return m_markerWidth;
    return horizontalHeader()->sectionSize(col - 1);
}

int ResultGrid::RowHeight() const
{
    return m_rowHeight;
}

int ResultGrid::rowAt(int y) const
{
    if (y < 0)
        return -1;
    const int row = (y + verticalOffset()) / RowHeight();
    return row < m_model->rowCount() ? row : -1;
}

int ResultGrid::rowHeight(int row) const
{
    return row >= 0 && row < m_model->rowCount() ? RowHeight() : 0;
}

int ResultGrid::Row() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() + 1 : 0;
}

int ResultGrid::Col() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.column() + 1 : 0;
}

void ResultGrid::SetCurrentCell(int col, int row)
{
    if (m_model->rowCount() == 0 || m_model->columnCount() == 0)
        return;
    const int r = std::clamp(row, 1, m_model->rowCount()) - 1;
    const int c = std::clamp(col, 1, m_model->columnCount()) - 1;
    const QModelIndex target = m_model->index(r, c);
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    scrollTo(target);
}

int ResultGrid::TopRow() const
{
    const int row = rowAt(0);
    return row < 0 ? 0 : row + 1;
}

GridLayout ResultGrid::Layout() const
{
    return m_model->layout();
}

int ResultGrid::WideWidth() const
{
    if (m_wideOverride > 0)
        return m_wideOverride;
    const QScreen *screen = QGuiApplication::primaryScreen();
    return WideColumnWidth(screen ? screen->geometry().width() : 0);
}

bool ResultGrid::IsRowLoaded(int row) const
{
    return m_model->isLoaded(row - 1);
}

int ResultGrid::loadedRowCount() const
{
    return m_model->loadedCount();
}

std::shared_ptr<const RowSource> ResultGrid::Source() const
{
    return m_model->source();
}

std::vector<int> ResultGrid::SourceColumns() const
{
    return m_model->fieldColumns();
}

QStringList ResultGrid::RowValues(int row) const
{
    return m_model->rowValues(row - 1);
}

QStringList ResultGrid::Headings() const
{
    QStringList headings;
    for (int c = 1; c < ColCount(); ++c)
        headings.append(Cells(c, 0));
    return headings;
}

void ResultGrid::SelectRowAcross(int row)
{
    const int rows = m_model->rowCount();
    const int cols = m_model->columnCount();
    if (rows == 0 || cols == 0)
        return;
    const int r = std::clamp(row, 1, rows) - 1;
    QItemSelectionModel *selection = selectionModel();
    // The anchor on the first data column, as a shift-extension from there leaves it.
    selection->setCurrentIndex(m_model->index(r, 0), QItemSelectionModel::ClearAndSelect);
    selection->setCurrentIndex(m_model->index(r, cols - 1), QItemSelectionModel::NoUpdate);
    selection->select(QItemSelection(m_model->index(r, 0), m_model->index(r, cols - 1)),
                      QItemSelectionModel::ClearAndSelect);
    scrollTo(m_model->index(r, 0));
}

void ResultGrid::LoadPageAt(int row)
{
    if (m_filling || m_model->isLoaded(row - 1))
        return;
    const auto [first, last] = m_model->loadPage(row - 1);
    if (first < 0)
        return;
    ++m_pageLoads;
    emit PageLoaded(first + 1, last + 1);
}

int ResultGrid::rowsInView() const
{
    const int height = RowHeight();
    return std::max(1, (viewport()->height() + height - 1) / height);
}

std::pair<int, int> ResultGrid::rowRangeInView() const
{
    const int rows = m_model->rowCount();
    const int first = verticalScrollBar()->value();
    if (rows == 0 || first >= rows)
        return {-1, -1};
    return {first, std::min(rows, first + rowsInView()) - 1};
}

void ResultGrid::fetchRowsSoon()
{
    if (m_fetchQueued)
        return;
    m_fetchQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_fetchQueued = false;
        fetchRowsInView();
    });
}

void ResultGrid::fetchRowsInView()
{
    if (m_painting) {
        fetchRowsSoon();
        return;
    }
    if (m_filling || !isVisible() || LayoutPageRows(m_model->layout()) <= 0)
        return;
    const auto [first, last] = rowRangeInView();
    if (first < 0)
        return;
    int loadedFirst = -1;
    int loadedLast = -1;
    for (int row = first; row <= last; ++row) {
        if (m_model->isLoaded(row))
            continue;
        const auto [pageFirst, pageLast] = m_model->loadPage(row);
        if (pageFirst < 0)
            break;
        ++m_pageLoads;
        if (loadedFirst < 0)
            loadedFirst = pageFirst;
        loadedLast = pageLast;
        row = pageLast;
    }
    if (loadedFirst >= 0)
        emit PageLoaded(loadedFirst + 1, loadedLast + 1);
}

int ResultGrid::beginFill(const FillPlan &plan)
{
    m_filling = true;
    m_userRowDuringFill = 0;
    m_keepPosition = plan.keepPosition;
    if (m_keepPosition) {
        m_savedRow = Row();
        m_savedCol = Col();
        m_savedTop = verticalScrollBar()->value();
        m_savedLeft = horizontalScrollBar()->value();
    }

    const std::vector<LayoutColumn> columns = Columns(plan.layout);
    m_movingFromCode = true;
    m_model->reshape(plan);
    m_movingFromCode = false;
    m_pageLoads = 0;

    QHeaderView *header = horizontalHeader();
    const QFontMetrics metrics = fontMetrics();
    m_baseWidths.assign(static_cast<size_t>(plan.colCount), 0);
    for (int c = 0; c < plan.colCount; ++c) {
        const bool headed = c < static_cast<int>(columns.size());
        const int width = headed ? m_userWidths->WidthFor(plan.layout, c,
                                                          FittedColumnWidth(metrics, columns[static_cast<size_t>(c)]))
                                 : header->defaultSectionSize();
        m_baseWidths[static_cast<size_t>(c)] = width;
        // Columns a table has beyond the layout's stay empty: they are not shown.
        setColumnHidden(c, !headed);
        header->resizeSection(c, width);
    }
    measureWideColumn();
    stretchLastColumn();
    return ++m_fillSerial;
}

int ResultGrid::lastShownColumn() const
{
    for (int c = m_model->columnCount() - 1; c >= 0; --c) {
        if (!isColumnHidden(c))
            return c;
    }
    return -1;
}

void ResultGrid::SetZoom(int percent)
{
    if (percent <= 0 || percent == m_zoom)
        return;
    m_zoom = percent;
    followFont();
}

std::vector<LayoutColumn> ResultGrid::Columns(GridLayout layout) const
{
    std::vector<LayoutColumn> columns = LayoutColumns(layout, WideWidth());
    // The layouts' widths are for the design font: they grow with the font
    // the grid has at 100 %, then with the zoom.
    QFont usual = font();
    if (usual.pointSizeF() > 0)
        usual.setPointSizeF(usual.pointSizeF() * 100 / m_zoom);
    else
        usual.setPixelSize(std::max(1, usual.pixelSize() * 100 / m_zoom));
    const qreal scale = FontScale(usual, *this);
    for (LayoutColumn &column : columns)
        column.width = static_cast<int>(column.width * scale * m_zoom / 100);
    return columns;
}

int ResultGrid::roomColumn() const
{
    const GridLayout layout = m_model->layout();
    const std::vector<LayoutColumn> columns = LayoutColumns(layout, 0);
    const std::vector<int> chosen = m_userWidths->Chosen(layout);
    for (size_t c = 0; c < columns.size(); ++c) {
        const bool userChose = c < chosen.size() && chosen[c] > 0;
        if (columns[c].wide && !userChose && !isColumnHidden(static_cast<int>(c)))
            return static_cast<int>(c);
    }
    return lastShownColumn();
}

void ResultGrid::stretchLastColumn()
{
    // A grid not shown keeps its own widths: it is sized when it is shown.
    const int last = lastShownColumn();
    if (last < 0 || m_stretching || !isVisible())
        return;
    const int room = roomColumn();
    const bool wide = room != last;
    QHeaderView *header = horizontalHeader();
    int used = 0;
    for (int c = 0; c <= last; ++c) {
        if (c != room)
            used += header->sectionSize(c); // hidden sections count 0
    }
    const int base = wide                                        ? m_wideNeed
                     : room < static_cast<int>(m_baseWidths.size()) ? m_baseWidths[static_cast<size_t>(room)]
                                                                    : header->sectionSize(room);
    m_stretching = true;
    header->resizeSection(room, std::max(base, viewport()->width() - used));
    m_stretching = false;
}

void ResultGrid::measureWideColumn()
{
    const std::vector<LayoutColumn> columns = LayoutColumns(m_model->layout(), 0);
    const QFontMetrics metrics = fontMetrics();
    m_wideNeed = 0;
    for (size_t c = 0; c < columns.size(); ++c) {
        if (!columns[c].wide)
            continue;
        const int column = static_cast<int>(c);
        m_wideNeed = CellWidthFor(metrics, columns[c].heading);
        const int rows = std::min(m_model->rowCount(), FirstPageRows);
        for (int r = 0; r < rows; ++r) {
            if (m_model->isLoaded(r))
                m_wideNeed = std::max(m_wideNeed, CellWidthFor(metrics, m_model->text(r, column)));
        }
    }
}

void ResultGrid::followFont()
{
    const QFontMetrics metrics = fontMetrics();
    m_rowHeight = RowHeightFor(metrics);
    m_markerWidth = MarkerWidthFor(metrics);
    QHeaderView *header = horizontalHeader();
    header->setFixedHeight(m_rowHeight);
    const GridLayout layout = m_model->layout();
    const std::vector<LayoutColumn> columns = Columns(layout);
    m_stretching = true;
    for (size_t c = 0; c < columns.size() && c < m_baseWidths.size(); ++c) {
        m_baseWidths[c] = m_userWidths->WidthFor(layout, static_cast<int>(c), FittedColumnWidth(metrics, columns[c]));
        header->resizeSection(static_cast<int>(c), m_baseWidths[c]);
    }
    m_stretching = false;
    measureWideColumn();
    updateGeometries();
    stretchLastColumn();
    viewport()->update();
    m_marker->update();
}

void ResultGrid::changeEvent(QEvent *event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        followFont();
}

void ResultGrid::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    stretchLastColumn();
}

void ResultGrid::showEvent(QShowEvent *event)
{
    QTableView::showEvent(event);
    stretchLastColumn();
    fetchRowsSoon();
}

void ResultGrid::setSourceRow(int row, int sourceRow)
{
    m_model->setRow(row - 1, sourceRow);
}

void ResultGrid::endFill(int serial)
{
    if (serial != m_fillSerial)
        return;
    measureWideColumn();
    stretchLastColumn();
    updateGeometries();
    const int userRow = m_userRowDuringFill;
    m_movingFromCode = true;
    if (userRow > 0) {
        // The user chose a cell while the fill let events run: it stays chosen.
    } else if (m_keepPosition && m_savedRow > 0) {
        SetCurrentCell(m_savedCol, m_savedRow);
        verticalScrollBar()->setValue(m_savedTop);
        horizontalScrollBar()->setValue(m_savedLeft);
    } else if (m_model->rowCount() > 0 && m_model->columnCount() > 0) {
        selectionModel()->setCurrentIndex(m_model->index(0, 0), QItemSelectionModel::ClearAndSelect);
        verticalScrollBar()->setValue(0);
        horizontalScrollBar()->setValue(0);
    }
    m_movingFromCode = false;
    m_filling = false;
    m_userRowDuringFill = 0;
    fetchRowsInView();
    viewport()->update();
    m_marker->update();
    if (userRow > 0 && Row() == userRow)
        emit RowSelected(userRow);
}

void ResultGrid::abortFill(int serial)
{
    if (serial != m_fillSerial || !m_filling)
        return;
    m_filling = false;
    m_userRowDuringFill = 0;
    fetchRowsSoon();
    viewport()->update();
}

void ResultGrid::paintEvent(QPaintEvent *event)
{
    const auto [firstRow, lastRow] = rowRangeInView();
    if (firstRow < 0)
        return;
    m_painting = true;
    QPainter painter(viewport());
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QStyle::State baseState = option.state;
    const QModelIndex current = currentIndex();
    const bool focused = hasFocus() || viewport()->hasFocus();
    QItemSelectionModel *selection = selectionModel();
    const QRect area = event->rect();
    QHeaderView *header = horizontalHeader();
    const int firstColumn = std::max(0, header->visualIndexAt(area.left()));
    int lastColumn = header->visualIndexAt(area.right());
    if (lastColumn < 0)
        lastColumn = header->count() - 1;
    const int height = RowHeight();
    for (int row = std::max(firstRow, rowAt(area.top())); row <= lastRow; ++row) {
        const int y = row * height - verticalOffset();
        if (y > area.bottom())
            break;
        for (int visual = firstColumn; visual <= lastColumn; ++visual) {
            const int column = header->logicalIndex(visual);
            if (column < 0 || header->isSectionHidden(column))
                continue;
            const QModelIndex index = m_model->index(row, column);
            option.rect = QRect(header->sectionViewportPosition(column), y, header->sectionSize(column), height);
            option.state = baseState;
            if (selection && selection->isSelected(index))
                option.state |= QStyle::State_Selected;
            if (index == current && focused)
                option.state |= QStyle::State_HasFocus;
            itemDelegateForIndex(index)->paint(&painter, option, index);
        }
    }
    m_painting = false;
}

QRect ResultGrid::visualRect(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != m_model || isColumnHidden(index.column()))
        return {};
    const QHeaderView *header = horizontalHeader();
    const qint64 y = static_cast<qint64>(index.row()) * RowHeight() - verticalOffset();
    const int clamped = static_cast<int>(std::clamp<qint64>(y, -0x3fffffff, 0x3fffffff));
    return QRect(header->sectionViewportPosition(index.column()), clamped, header->sectionSize(index.column()),
                 RowHeight());
}

QModelIndex ResultGrid::indexAt(const QPoint &point) const
{
    const int row = rowAt(point.y());
    const int column = horizontalHeader()->logicalIndexAt(point.x());
    if (row < 0 || column < 0)
        return {};
    return m_model->index(row, column);
}

void ResultGrid::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    if (!index.isValid() || index.model() != m_model)
        return;
    QScrollBar *rows = verticalScrollBar();
    const int fullRows = std::max(1, viewport()->height() / RowHeight());
    const int top = rows->value();
    const int row = index.row();
    switch (hint) {
    case PositionAtTop: rows->setValue(row); break;
    case PositionAtBottom: rows->setValue(row - fullRows + 1); break;
    case PositionAtCenter: rows->setValue(row - fullRows / 2); break;
    case EnsureVisible:
        if (row < top)
            rows->setValue(row);
        else if (row >= top + fullRows)
            rows->setValue(row - fullRows + 1);
        break;
    }
    const int column = index.column();
    if (!isColumnHidden(column)) {
        QHeaderView *header = horizontalHeader();
        const int left = header->sectionPosition(column);
        const int right = left + header->sectionSize(column);
        QScrollBar *columns = horizontalScrollBar();
        const int width = viewport()->width();
        if (left < columns->value() || right - left > width)
            columns->setValue(left);
        else if (right > columns->value() + width)
            columns->setValue(right - width);
    }
    update(index);
}

QModelIndex ResultGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const int rows = m_model->rowCount();
    const int columns = m_model->columnCount();
    if (rows == 0 || columns == 0)
        return {};
    const QHeaderView *header = horizontalHeader();
    // The first shown column from visual position `from` on, in `step` direction; -1 when none.
    const auto shownColumn = [&](int from, int step) {
        for (int visual = from; visual >= 0 && visual < columns; visual += step) {
            const int logical = header->logicalIndex(visual);
            if (!header->isSectionHidden(logical))
                return logical;
        }
        return -1;
    };
    QModelIndex current = currentIndex();
    if (!current.isValid()) {
        const int first = shownColumn(0, 1);
        return first < 0 ? QModelIndex() : m_model->index(0, first);
    }
    int row = current.row();
    int column = current.column();
    const int visual = header->visualIndex(column);
    const int page = std::max(1, viewport()->height() / RowHeight());
    switch (action) {
    case MoveUp: row = std::max(0, row - 1); break;
    case MoveDown: row = std::min(rows - 1, row + 1); break;
    case MovePageUp: row = std::max(0, row - page); break;
    case MovePageDown: row = std::min(rows - 1, row + page); break;
    case MoveLeft:
    case MovePrevious: {
        const int left = shownColumn(visual - 1, -1);
        if (left >= 0)
            column = left;
        break;
    }
    case MoveRight:
    case MoveNext: {
        const int right = shownColumn(visual + 1, 1);
        if (right >= 0)
            column = right;
        break;
    }
    case MoveHome:
        column = std::max(0, shownColumn(0, 1));
        if (modifiers & Qt::ControlModifier)
            row = 0;
        break;
    case MoveEnd:
        column = std::max(0, shownColumn(columns - 1, -1));
        if (modifiers & Qt::ControlModifier)
            row = rows - 1;
        break;
    }
    return m_model->index(row, column);
}

int ResultGrid::verticalOffset() const
{
    return verticalScrollBar()->value() * RowHeight();
}

bool ResultGrid::isIndexHidden(const QModelIndex &index) const
{
    return isColumnHidden(index.column());
}

void ResultGrid::setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command)
{
    const int rows = m_model->rowCount();
    const int columns = m_model->columnCount();
    if (rows == 0 || columns == 0 || !selectionModel())
        return;
    const QRect area = rect.normalized();
    const QHeaderView *header = horizontalHeader();
    const auto rowOf = [&](int y) { return std::clamp((y + verticalOffset()) / RowHeight(), 0, rows - 1); };
    const auto columnOf = [&](int x) {
        const int column = header->logicalIndexAt(x);
        if (column >= 0)
            return column;
        return x < 0 ? header->logicalIndex(0) : header->logicalIndex(columns - 1);
    };
    const int top = rowOf(area.top());
    const int bottom = rowOf(area.bottom());
    int left = columnOf(area.left());
    int right = columnOf(area.right());
    if (left > right)
        std::swap(left, right);
    selectionModel()->select(QItemSelection(m_model->index(top, left), m_model->index(bottom, right)), command);
}

QRegion ResultGrid::visualRegionForSelection(const QItemSelection &selection) const
{
    QRegion region;
    const QRect shown = viewport()->rect();
    for (const QItemSelectionRange &range : selection) {
        if (!range.isValid() || range.model() != m_model)
            continue;
        const QRect topLeft = visualRect(m_model->index(range.top(), range.left()));
        const QRect bottomRight = visualRect(m_model->index(range.bottom(), range.right()));
        QRect united = topLeft.united(bottomRight);
        if (topLeft.isNull() || bottomRight.isNull()) {
            // A hidden column at an end: the whole rows of the range.
            united = QRect(0, topLeft.isNull() ? bottomRight.top() : topLeft.top(), shown.width(),
                           (range.bottom() - range.top() + 1) * RowHeight());
        }
        region += united.intersected(shown);
    }
    return region;
}

void ResultGrid::updateGeometries()
{
    if (m_updatingGeometries)
        return;
    m_updatingGeometries = true;
    QHeaderView *header = horizontalHeader();
    const int headerHeight = header->isHidden() ? 0 : RowHeight();
    setViewportMargins(m_markerWidth, headerHeight, 0, 0);
    const QRect area = viewport()->geometry();
    header->setGeometry(area.left(), area.top() - headerHeight, area.width(), headerHeight);
    m_marker->setGeometry(area.left() - m_markerWidth, area.top(), m_markerWidth, area.height());
    if (m_corner)
        m_corner->setGeometry(area.left() - m_markerWidth, area.top() - headerHeight, m_markerWidth, headerHeight);

    QScrollBar *columns = horizontalScrollBar();
    columns->setPageStep(area.width());
    columns->setRange(0, std::max(0, header->length() - area.width()));
    columns->setSingleStep(std::max(2, area.width() / 20));
    header->setOffset(columns->value());

    QScrollBar *rows = verticalScrollBar();
    const int fullRows = std::max(1, area.height() / RowHeight());
    rows->setPageStep(fullRows);
    rows->setSingleStep(1);
    rows->setRange(0, std::max(0, m_model->rowCount() - fullRows));
    m_updatingGeometries = false;
    QAbstractItemView::updateGeometries();
    m_marker->update();
    fetchRowsSoon();
}

void ResultGrid::scrollContentsBy(int dx, int dy)
{
    if (dx)
        horizontalHeader()->setOffset(horizontalScrollBar()->value());
    if (dy) {
        // The rows in view load before they are painted.
        fetchRowsInView();
        m_marker->update();
    }
    QAbstractItemView::scrollContentsBy(dx, dy * RowHeight());
}

int ResultGrid::sizeHintForColumn(int column) const
{
    // Measured on the rows in view only: a long list is never read whole for a width.
    const auto [first, last] = rowRangeInView();
    int width = 0;
    if (first >= 0 && !isColumnHidden(column)) {
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        for (int row = first; row <= last; ++row)
            width = std::max(width, itemDelegate()->sizeHint(option, m_model->index(row, column)).width());
    }
    return width;
}

void ResultGrid::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles)
{
    // Rows written by a fill are painted once when it ends.
    if (m_filling)
        return;
    QTableView::dataChanged(topLeft, bottomRight, roles);
}

void ResultGrid::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && mods == Qt::NoModifier) {
        emit EnterPressed();
        return;
    }
    if ((key == Qt::Key_Menu && mods == Qt::NoModifier) || (key == Qt::Key_F10 && mods == Qt::ShiftModifier)) {
        const QModelIndex current = currentIndex();
        const QRect cell = current.isValid() ? visualRect(current) : QRect();
        const QPoint at = cell.isValid() ? cell.center() : QPoint(0, 0);
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(viewport(), &menu);
        return;
    }
    QTableView::keyPressEvent(event);
}

void ResultGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    QTableView::mouseDoubleClickEvent(event);
    emit GridDoubleClicked();
}

void ResultGrid::onCurrentChanged(const QModelIndex &current, const QModelIndex &)
{
    if (!current.isValid() || m_movingFromCode)
        return;
    if (m_filling) {
        // Told when the fill ends, once the rows it writes are there.
        m_userRowDuringFill = current.row() + 1;
        return;
    }
    emit RowSelected(current.row() + 1);
}

} // namespace phonebook
