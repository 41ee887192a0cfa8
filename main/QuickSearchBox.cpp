#include "QuickSearchBox.h"

#include "AppInfo.h"
#include "Dataset.h"
#include "GridFiller.h"
#include "ResultGrid.h"
#include "UHelpFull.h"
#include "UMain.h"
#include "WindowHelpers.h"

#include <QAction>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QApplication>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace phonebook {

namespace {

using search::QuickSide;

// The box's name and what it shows while empty.
constexpr QStringView QuickBoxName = u"Быстрый поиск";
constexpr QStringView QuickBoxPlaceholder = u"Номер, фамилия, улица или организация";
// Status panel that counts the rows found.
constexpr int CountPanel = 2;
constexpr int BoxMargin = 4;

QString FoundText(int count) { return QStringLiteral("Найдено: %1").arg(count); }

} // namespace

QuickSearchBox::QuickSearchBox(TFrmMain &main, QWidget *toolBar)
    : QLineEdit(toolBar)
    , m_main(main)
    , m_toolBar(toolBar)
    , m_session(main.Session().TablesFolder())
    , m_note(new QLabel(main.statusBar()))
{
    m_note->setObjectName(QStringLiteral("QuickSearchNote"));
    m_note->setTextInteractionFlags(Qt::TextSelectableByKeyboard);
    m_note->hide(); // placed after the status bar's panels when first needed
    setObjectName(QStringLiteral("QuickSearch"));
    setAccessibleName(QuickBoxName.toString());
    setPlaceholderText(QuickBoxPlaceholder.toString());
    setToolTip(Tip());
    setClearButtonEnabled(true);
    setFocusPolicy(Qt::ClickFocus);
    toolBar->installEventFilter(this);
    placeOnToolBar();

    auto *focus = new QAction(&main);
    focus->setObjectName(QStringLiteral("QuickSearchFocus"));
    focus->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    focus->setShortcutContext(Qt::WindowShortcut);
    main.addAction(focus);
    connect(focus, &QAction::triggered, this, [this] {
        setFocus(Qt::ShortcutFocusReason);
        selectAll();
    });
    connect(this, &QLineEdit::textChanged, this, &QuickSearchBox::onTextChanged);
    connect(&m_session, &search::QuickSession::Found, this, &QuickSearchBox::present);
    connect(&m_session, &search::QuickSession::Rebuilding, this, &QuickSearchBox::showRebuilding);
    connect(&m_session, &search::QuickSession::Failed, this, &QuickSearchBox::showError);
    const DirectorySession &directory = main.Session();
    connect(&directory, &DirectorySession::SideChanged, this, &QuickSearchBox::SideChanged);
    connect(&directory, &DirectorySession::ListsReloaded, this, &QuickSearchBox::TablesReloaded);
}

QuickSearchBox::~QuickSearchBox() = default;

void QuickSearchBox::placeOnToolBar()
{
    // A larger font (the lists zoomed) makes the box wider and taller, and the tool bar with it.
    const DesignPixels px(*m_toolBar);
    const int barHeight = std::max(px(ToolBarHeight), sizeHint().height() + 2);
    m_toolBar->setFixedHeight(barHeight);
    const int height = std::min(sizeHint().height(), barHeight - 2);
    const qreal usual = QApplication::font(this).pointSizeF();
    const int width = usual > 0 && font().pointSizeF() > 0 ? qRound(px(BoxWidth) * font().pointSizeF() / usual)
                                                            : px(BoxWidth);
    setGeometry(m_toolBar->width() - width - px(BoxMargin), (barHeight - height) / 2, width, height);
}

void QuickSearchBox::changeEvent(QEvent *event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        placeOnToolBar();
}

bool QuickSearchBox::eventFilter(QObject *watched, QEvent *event)
{
    // The tool bar's font changes the design pixels as well.
    if (watched == m_toolBar && (event->type() == QEvent::Resize || event->type() == QEvent::FontChange))
        placeOnToolBar();
    return QLineEdit::eventFilter(watched, event);
}

QuickSide QuickSearchBox::currentSide() const
{
    return m_main.Session().Side() == DirectorySide::Persons ? QuickSide::Persons : QuickSide::Orgs;
}

void QuickSearchBox::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        clear();
        m_main.FocusVisibleGrid();
        return;
    case Qt::Key_Down:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_main.FocusVisibleGrid();
        return;
    default:
        QLineEdit::keyPressEvent(event);
    }
}

void QuickSearchBox::onTextChanged(const QString &text)
{
    if (text.trimmed().isEmpty()) {
        // Nothing to wait for: the full list comes back at once.
        m_session.Cancel();
        m_waitingFor = 0;
        setBusy(false);
        restoreFullList();
        return;
    }
    m_waitingFor = m_session.Search(currentSide(), text);
    setBusy(true);
}

void QuickSearchBox::SideChanged()
{
    m_session.Cancel();
    m_waitingFor = 0;
    setBusy(false);
    m_showing = false;
    m_shown.reset();
    {
        const QSignalBlocker quiet(this);
        clear();
    }
    m_main.SetStatusText(CountPanel, QString());
    setNote({});
}

void QuickSearchBox::TablesReloaded()
{
    m_session.Reset();
    // The search cancelled above, or the result shown, is of the old edition.
    if (!text().trimmed().isEmpty() && (m_waitingFor != 0 || m_showing))
        onTextChanged(text());
}

void QuickSearchBox::Prepare()
{
    m_session.Prepare();
}

void QuickSearchBox::ShowFound(int count, const QString &note)
{
    m_main.SetStatusText(CountPanel, FoundText(count));
    setNote(note);
}

QString QuickSearchBox::Tip()
{
    return QStringLiteral("%1 (%2)").arg(QuickBoxName.toString(),
                                         QKeySequence(QKeySequence::Find).toString(QKeySequence::NativeText));
}

QString QuickSearchBox::Note() const
{
    return m_note->text();
}

void QuickSearchBox::setNote(const QString &note)
{
    if (!note.isEmpty() && !m_noteAdded) {
        m_main.statusBar()->addWidget(m_note, 1);
        m_note->show();
        m_noteAdded = true;
    }
    m_note->setText(note);
    m_note->setAccessibleName(note);
    m_main.SetStatusDescription(CountPanel, note);
}

void QuickSearchBox::setBusy(bool busy)
{
    if (busy)
        m_main.setCursor(Qt::BusyCursor);
    else
        m_main.unsetCursor();
}

void QuickSearchBox::present(int generation, const search::QuickResult &result)
{
    if (generation != m_session.Generation() || result.side != currentSide())
        return; // a newer text, or the other side, took over
    m_waitingFor = 0;
    setBusy(false);
    if (!result.rows) {
        restoreFullList();
        return;
    }
    const bool persons = result.side == QuickSide::Persons;
    ResultGrid &grid = m_main.SGTemp();
    const GridLayout layout = persons ? GridLayout::Persons : GridLayout::Departments;
    if (result.count == 0) {
        ShowEmptyGrid(grid, layout);
    } else {
        GridFiller::Plan plan;
        plan.layout = layout;
        plan.rowCount = result.count;
        plan.colCount = result.rows->columnCount();
        plan.source = result.rows;
        for (int c = 0; c < plan.colCount; ++c)
            plan.fieldColumns.push_back(c);
        GridFiller filler(grid, plan);
        // Small results are written whole; longer ones load the rest as they are painted.
        const int fullLimit = persons ? PersonFullFillLimit : OrgFullFillLimit;
        const int written = result.count <= fullLimit ? result.count : FirstPageRows;
        for (int r = 0; r < written; ++r)
            filler.setRow(r + 1, r);
        filler.finish();
    }
    m_shown = grid.Source();
    m_showing = true;
    grid.SetHelpContext(persons ? HelpPersons : HelpOrgSearch);
    grid.setAccessibleName(QStringLiteral("%1 %2").arg(QuickBoxName, result.text.trimmed()));
    grid.show();
    m_main.SGFullFiz().hide();
    m_main.SGFullPred().hide();
    m_main.SetStatusText(CountPanel, FoundText(result.count));
    setNote(search::QuickStepNote(result).Text());
    // The organisation tab names the organisation of the row the list starts on.
    if (!persons && result.count > 0) {
        m_main.RemoveOrgTab();
        m_main.AddOrgTab(DecodeText(result.rows->text(0, result.rows->columnIndex(u"naim")), CipherKey));
    }
    emit ResultShown(result.count);
}

void QuickSearchBox::showRebuilding(int generation, QuickSide side)
{
    if (generation != m_session.Generation() || side != currentSide())
        return;
    // Never a part of a list, nor the old edition's: empty until the new index answers.
    ResultGrid &grid = m_main.SGTemp();
    ShowEmptyGrid(grid, side == QuickSide::Persons ? GridLayout::Persons : GridLayout::Departments);
    m_shown = grid.Source();
    m_showing = true;
    grid.show();
    m_main.SGFullFiz().hide();
    m_main.SGFullPred().hide();
    m_main.SetStatusText(CountPanel, QString());
    setNote({});
    setBusy(true);
    emit IndexRebuilding();
}

void QuickSearchBox::showError(int generation, const QString &message)
{
    if (generation != m_session.Generation())
        return;
    m_waitingFor = 0;
    setBusy(false);
    m_main.SetStatusText(CountPanel, message);
    setNote({});
}

void QuickSearchBox::restoreFullList()
{
    m_main.SetStatusText(CountPanel, QString());
    setNote({});
    ResultGrid &grid = m_main.SGTemp();
    // Only the quick search's own result gives way; another search's stays.
    const bool ours = m_showing && grid.Source() == m_shown && !grid.isHidden();
    m_showing = false;
    m_shown.reset();
    if (!ours)
        return;
    grid.hide();
    if (currentSide() == QuickSide::Persons) {
        m_main.SGFullFiz().show();
    } else {
        if (m_main.TabIndex() != OrgsTab)
            m_main.SelectTab(OrgsTab);
        m_main.SGFullPred().show();
        m_main.SGFullPredSelectCell(std::max(1, m_main.SGFullPred().Row()));
    }
    emit ResultShown(-1);
}

} // namespace phonebook
