#include "ResultGrid.h"

#include "ColumnWidths.h"
#include "Dataset.h"
#include "GridCopy.h"
#include "ResultGridModel.h"

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
#include <QToolTip>

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

} // namespace

ResultGrid::ResultGrid(QWidget *parent)
    : QTableView(parent)
    , m_model(new ResultGridModel(this))
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

    QHeaderView *rows = verticalHeader();
    rows->setMinimumSectionSize(1);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setSectionsClickable(false);
    rows->setHighlightSections(false);
    rows->setDefaultAlignment(Qt::AlignCenter);

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
        return verticalHeader()->width();
    return horizontalHeader()->sectionSize(col - 1);
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
    if (!m_loadingInPaint)
        emit PageLoaded(first + 1, last + 1);
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

    ResultGridModel::Shape shape;
    shape.layout = plan.layout;
    shape.rowCount = plan.rowCount;
    shape.colCount = plan.colCount;
    const std::vector<LayoutColumn> columns = Columns(plan.layout);
    for (const LayoutColumn &column : columns)
        shape.headings.append(column.heading);
    shape.source = plan.source;
    shape.fieldColumns = plan.fieldColumns;
    m_movingFromCode = true;
    m_model->reshape(std::move(shape));
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
    for (LayoutColumn &column : columns)
        column.width = column.width * m_zoom / 100;
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
    const int height = RowHeightFor(metrics);
    verticalHeader()->setDefaultSectionSize(height);
    verticalHeader()->setFixedWidth(MarkerWidthFor(metrics));
    QHeaderView *header = horizontalHeader();
    header->setFixedHeight(height);
    const GridLayout layout = m_model->layout();
    const std::vector<LayoutColumn> columns = Columns(layout);
    m_stretching = true;
    for (size_t c = 0; c < columns.size() && c < m_baseWidths.size(); ++c) {
        m_baseWidths[c] = m_userWidths->WidthFor(layout, static_cast<int>(c), FittedColumnWidth(metrics, columns[c]));
        header->resizeSection(static_cast<int>(c), m_baseWidths[c]);
    }
    m_stretching = false;
    measureWideColumn();
    stretchLastColumn();
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
}

void ResultGrid::setRowValues(int row, const QStringList &values)
{
    m_model->setRow(row - 1, values);
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
    viewport()->update();
    if (userRow > 0 && Row() == userRow)
        emit RowSelected(userRow);
}

void ResultGrid::abortFill(int serial)
{
    if (serial != m_fillSerial || !m_filling)
        return;
    m_filling = false;
    m_userRowDuringFill = 0;
    viewport()->update();
}

void ResultGrid::paintEvent(QPaintEvent *event)
{
    int loadedFirst = -1;
    int loadedLast = -1;
    if (!m_filling && LayoutPageRows(m_model->layout()) > 0 && m_model->rowCount() > 0) {
        const QRect area = event->rect();
        const int first = rowAt(area.top());
        int last = rowAt(area.bottom());
        if (last < 0)
            last = m_model->rowCount() - 1;
        if (first >= 0) {
            m_loadingInPaint = true;
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
            m_loadingInPaint = false;
        }
    }
    QTableView::paintEvent(event);
    if (loadedFirst >= 0)
        emit PageLoaded(loadedFirst + 1, loadedLast + 1);
}

void ResultGrid::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles)
{
    // Rows loaded while painting are painted by that same paint event; rows
    // written by a fill are painted once when it ends.
    if (m_loadingInPaint || m_filling)
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
