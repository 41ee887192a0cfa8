#include "UMain.h"

#include "AppInfo.h"
#include "BackgroundBuild.h"
#include "Dialogs.h"
#include "ErrorReport.h"
#include "ListZoom.h"
#include "FillRoutines.h"
#include "GridCopy.h"
#include "MainEventFilter.h"
#include "PrintList.h"
#include "QuickSearchBox.h"
#include "Resources.h"
#include "ResultGrid.h"
#include "SaveList.h"
#include "TablesStatePage.h"
#include "SearchText.h"
#include "USplash.h"
#include "UHelpFull.h"
#include "WindowHelpers.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QCoreApplication>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace phonebook {

TFrmMain *FrmMain = nullptr;

using namespace Qt::StringLiterals;

namespace {

struct ButtonSpec {
    const char16_t *hint;
    Glyph glyph;
    bool disabledLook;
    Command command; // unused by the exit button
};

constexpr int ExitButton = 6;

// SpeedButton1 to SpeedButton6.
constexpr ButtonSpec ToolButtons[6] = {
    {u"Поиск по телефонному номеру", Glyph::PhoneSearch, true, Command::PhoneSearch},
    {u"Поиск по фамилии абонента", Glyph::PersonSearch, true, Command::SurnameSearch},
    {u"Поиск по адресу абонента", Glyph::HouseSearch, true, Command::PersonAddressSearch},
    {u"Поиск по наименованию предприятия", Glyph::OrgSearch, false, Command::OrgSearch},
    {u"Поиск по адресу предприятия", Glyph::OrgAddressSearch, true, Command::OrgAddressSearch},
    {u"Выход из программы", Glyph::Exit, true, Command::PhoneSearch},
};

// Whether tool-bar button `number` (1 to 6) is shown on the side.
bool ShownOnSide(int number, DirectorySide side)
{
    switch (number) {
    case 2:
    case 3: return side == DirectorySide::Persons;
    case 4:
    case 5: return side == DirectorySide::Orgs;
    default: return true;
    }
}

// Keys of the tool-bar searches. The two address buttons share theirs: only
// one of them is shown at a time.
QKeySequence SearchKey(Command command)
{
    switch (command) {
    case Command::PhoneSearch: return QKeySequence(Qt::CTRL | Qt::Key_T);
    // Ctrl+F is the quick-search box's.
    case Command::SurnameSearch: return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F);
    case Command::PersonAddressSearch:
    case Command::OrgAddressSearch: return QKeySequence(Qt::CTRL | Qt::Key_D);
    case Command::OrgSearch: return QKeySequence(Qt::CTRL | Qt::Key_O);
    default: return {};
    }
}

ResultGrid *MakeGrid(const QString &name, const QString &spokenName, int helpContext, QWidget *parent)
{
    auto *grid = new ResultGrid(parent);
    grid->setObjectName(name);
    // What a screen reader calls the list.
    grid->setAccessibleName(spokenName);
    grid->SetHelpContext(helpContext);
    return grid;
}

} // namespace

ProgramPaths ProgramPaths::BesideProgram()
{
    const QString folder = QCoreApplication::applicationDirPath();
    return {folder, folder + QStringLiteral("/help")};
}

TFrmMain::TFrmMain(const ProgramPaths &paths, TFrmSplash *splash, QWidget *parent)
    : TFrmMain(std::make_unique<DirectorySession>(paths.tables), paths, splash, parent)
{
}

TFrmMain::TFrmMain(std::unique_ptr<DirectorySession> session, const ProgramPaths &paths, TFrmSplash *splash,
                   QWidget *parent)
    : QMainWindow(parent)
    , m_paths(paths)
    , m_session(std::move(session))
{
    FrmMain = this;
    setObjectName(QStringLiteral("FrmMain"));
    setWindowTitle(MainCaption.toString());

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    createToolBar(central);
    createTabArea(central);
    setCentralWidget(central);
    createMenu();
    createStatusBar();

    connectOrgTab();
    // A quick-search result shows in place of the page; the full list back, the page again.
    connect(m_quickSearch, &QuickSearchBox::ResultShown, this, &TFrmMain::updateTabCommands);
    connect(m_quickSearch, &QuickSearchBox::IndexRebuilding, this, &TFrmMain::updateTabCommands);
    // After the quick-search box, which follows the same signals and must
    // forget its results before the lists are shown anew.
    connect(m_session.get(), &DirectorySession::UpdateRecovered, this, [this](const update::RestoreReport &restored) {
        Dialogs::ShowMessage(this, restored.messages.join(u'\n'),
                             restored.failed ? QMessageBox::Warning : QMessageBox::Information);
    });
    connect(m_session.get(), &DirectorySession::ListsReloaded, this, &TFrmMain::onListsReloaded);
    connect(m_session.get(), &DirectorySession::PersonsPreviewed, this, &TFrmMain::onPersonsPreviewed);
    connect(m_session.get(), &DirectorySession::OrgListBuilt, this, &TFrmMain::onOrgListBuilt);
    connect(m_session.get(), &DirectorySession::SideChanged, this, &TFrmMain::onSideChanged);
    connect(m_session.get(), &DirectorySession::ResultChanged, this, &TFrmMain::showSearch);
    connect(m_session.get(), &DirectorySession::NewEditionLoaded, this,
            [this] { SetStatusText(2, QString::fromUtf16(NewEditionStatus)); });
    m_eventFilter = new MainEventFilter(*this);
    qApp->installEventFilter(m_eventFilter);

    // Tab and Shift+Tab go round the tool bar's buttons, the quick-search box,
    // the tab bar and the list (or the page in its place).
    QWidget *previous = nullptr;
    for (QToolButton *button : m_buttons) {
        button->setFocusPolicy(Qt::TabFocus);
        if (previous)
            setTabOrder(previous, button);
        previous = button;
    }
    m_quickSearch->setFocusPolicy(Qt::StrongFocus);
    for (QWidget *next : std::initializer_list<QWidget *>{m_quickSearch, m_tabs, m_sgFullFiz, m_sgFullPred, m_sgTemp}) {
        setTabOrder(previous, next);
        previous = next;
    }
    setTabOrder(previous, m_tablesPage->FirstControl());

    // The individuals side until the user chooses otherwise.
    m_sgFullPred->hide();
    m_sgTemp->hide();
    SpeedButton(4).hide();
    SpeedButton(5).hide();
    ArrangeToolButtons();
    updateTabCommands();

    QProgressBar *bar = splash ? splash->ProgressBar1() : nullptr;
    LoadDirectory(bar);
}

TFrmMain::~TFrmMain()
{
    // The session's builds end before the window they report to does.
    m_session->disconnect(this);
    StopBuilds(m_session.get());
    setOrgListWaitCursor(false);
    qApp->removeEventFilter(m_eventFilter);
    delete m_eventFilter;
    if (FrmMain == this)
        FrmMain = nullptr;
}

void TFrmMain::createToolBar(QWidget *parent)
{
    auto *toolBar = new QFrame(parent);
    toolBar->setObjectName(QStringLiteral("ToolBar1"));
    toolBar->setFixedHeight(ToolBarHeight);
    for (int i = 0; i < 6; ++i) {
        const ButtonSpec &definition = ToolButtons[i];
        auto *button = new QToolButton(toolBar);
        button->setObjectName(QStringLiteral("SpeedButton%1").arg(i + 1));
        button->setAutoRaise(true);
        button->setIcon(GlyphIcon(definition.glyph, definition.disabledLook));
        button->setToolTip(QString::fromUtf16(definition.hint));
        // A button without text is named by its hint for screen readers.
        button->setAccessibleName(button->toolTip());
        // Their searches are reached by key as well.
        if (const QKeySequence key = SearchKey(definition.command); !key.isEmpty() && i + 1 != ExitButton) {
            button->setShortcut(key);
            button->setAccessibleDescription(key.toString(QKeySequence::NativeText));
        }
        button->setToolTip(ButtonTip(*button, {}));
        m_buttons[i] = button;
        if (i + 1 == ExitButton) {
            connect(button, &QToolButton::clicked, this, &QWidget::close);
        } else {
            const Command command = definition.command;
            connect(button, &QToolButton::clicked, this, [this, command] { RunCommand(command); });
        }
    }

    // Zero-width and upper-casing: the surname search passes its answer through it.
    m_edit1 = new QLineEdit(toolBar);
    m_edit1->setObjectName(QStringLiteral("Edit1"));
    m_edit1->setFocusPolicy(Qt::NoFocus);
    m_edit1->setGeometry(0, 0, 0, ToolButtonHeight);
    connect(m_edit1, &QLineEdit::textChanged, m_edit1, [edit = m_edit1](const QString &text) {
        const QString upper = search::UpperCaseName(text);
        if (upper != text)
            edit->setText(upper);
    });

    m_quickSearch = new QuickSearchBox(*this, toolBar);

    parent->layout()->addWidget(toolBar);
}

void TFrmMain::createTabArea(QWidget *parent)
{
    m_tabs = new QTabBar(parent);
    m_tabs->setObjectName(QStringLiteral("TabControl1"));
    m_tabs->setExpanding(false);
    m_tabs->setDrawBase(true);
    m_tabs->setFocusPolicy(Qt::TabFocus);
    m_tabs->setAttribute(Qt::WA_Hover); // hot-tracking tabs
    {
        const QSignalBlocker quiet(m_tabs);
        m_tabs->addTab(PersonsTabCaption.toString());
        m_tabs->addTab(OrgsTabCaption.toString());
        m_tabs->setCurrentIndex(PersonsTab);
    }
    m_selectedTab = PersonsTab;
    connect(m_tabs, &QTabBar::currentChanged, this, &TFrmMain::onCurrentTabChanged);
    connect(m_tabs, &QTabBar::tabBarClicked, this, &TFrmMain::onTabClicked);

    // The three grids lie on top of one another; only one is visible.
    auto *page = new QFrame(parent);
    page->setObjectName(QStringLiteral("TabPage"));
    page->setFrameShape(QFrame::StyledPanel);
    auto *stack = new QGridLayout(page);
    stack->setContentsMargins(2, 2, 2, 2);
    m_sgFullFiz = MakeGrid(QStringLiteral("SGFullFiz"), PersonsTabCaption.toString(), HelpPersons, page);
    m_sgFullPred = MakeGrid(QStringLiteral("SGFullPred"), OrgsTabCaption.toString(), HelpOrgs, page);
    m_sgTemp = MakeGrid(QStringLiteral("SGTemp"), SearchResultName.toString(), 0, page);
    stack->addWidget(m_sgFullFiz, 0, 0);
    stack->addWidget(m_sgFullPred, 0, 0);
    stack->addWidget(m_sgTemp, 0, 0);
    m_tablesPage = new TablesStatePage(page);
    m_tablesPage->hide();
    stack->addWidget(m_tablesPage, 0, 0);
    connect(m_tablesPage, &TablesStatePage::UpdateRequested, this, [this] { RunCommand(Command::Update); });
    connect(m_tablesPage, &TablesStatePage::HelpRequested, this, &TFrmMain::ShowHelpContents);

    auto *layout = static_cast<QVBoxLayout *>(parent->layout());
    layout->addWidget(m_tabs);
    layout->addWidget(page, 1);
}

void TFrmMain::createMenu()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto addMenu = [bar](const char16_t *title, const char *name) {
        QMenu *menu = bar->addMenu(QString::fromUtf16(title));
        menu->setObjectName(QLatin1StringView(name));
        return menu;
    };
    auto addItem = [this](QMenu *menu, const char16_t *text, const char *name, QKeySequence key = {}) {
        QAction *action = menu->addAction(QString::fromUtf16(text));
        action->setObjectName(QLatin1StringView(name));
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action); // shortcuts work while the menu bar is closed
        return action;
    };

    QMenu *file = addMenu(u"&Файл", "N1");
    QAction *save = addItem(file, u"&Сохранить список…", "SaveListItem", QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(save, &QAction::triggered, this, [this] { WaitForOrgList(); ReportErrors(this, [this] { SaveShownList(*this); }); });
    QAction *print = addItem(file, u"&Печать…", "PrintItem", QKeySequence(Qt::CTRL | Qt::Key_P));
    connect(print, &QAction::triggered, this, [this] { WaitForOrgList(); ReportErrors(this, [this] { PrintShownList(*this); }); });
    file->addSeparator();
    QAction *exit = addItem(file, u"&Выход", "N2", QKeySequence(Qt::Key_F10));
    exit->setIcon(GlyphIcon(Glyph::Exit));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu *subscribers = addMenu(u"&Абоненты", "N3");
    QAction *persons = addItem(subscribers, u"&Физ. лица", "N4", QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(persons, &QAction::triggered, this, &TFrmMain::ShowPersonsSide);
    QAction *orgs = addItem(subscribers, u"&Юр. лица", "N5", QKeySequence(Qt::CTRL | Qt::Key_W));
    connect(orgs, &QAction::triggered, this, &TFrmMain::ShowOrgsSide);

    // Items that name a key the tool bar, the grids or the quick-search box
    // already answer show it without taking it.
    auto addNamed = [](QMenu *menu, const QString &text, const char *name, const QKeySequence &key) {
        QAction *action = menu->addAction(text + u'\t' + key.toString(QKeySequence::NativeText));
        action->setObjectName(QLatin1StringView(name));
        return action;
    };
    QMenu *edit = addMenu(u"Пра&вка", "EditMenu");
    QAction *copy = addNamed(edit, CopyText.toString(), "CopyItem", QKeySequence::Copy);
    connect(copy, &QAction::triggered, this, [this] {
        if (ResultGrid *grid = visibleGrid())
            QGuiApplication::clipboard()->setText(SelectionText(*grid));
    });
    QAction *copyNumber = addItem(edit, CopyNumberText.utf16(), "CopyNumberItem", CopyNumberKey);
    connect(copyNumber, &QAction::triggered, this, [this] {
        if (ResultGrid *grid = visibleGrid(); grid && !RowNumber(*grid, grid->Row()).isEmpty())
            QGuiApplication::clipboard()->setText(RowNumber(*grid, grid->Row()));
    });
    connect(edit, &QMenu::aboutToShow, this, [this, copy, copyNumber] {
        ResultGrid *grid = visibleGrid();
        copy->setEnabled(grid && grid->RowCount() > 1);
        copyNumber->setEnabled(grid && !RowNumber(*grid, grid->Row()).isEmpty());
    });

    // The size of the lists: three commands of their own.
    QMenu *view = addMenu(u"В&ид", "ViewMenu");
    m_zoom = new ListZoom({m_sgFullFiz, m_sgFullPred, m_sgTemp, m_quickSearch}, *view, this);
    for (QAction *action : view->actions())
        addAction(action);

    QMenu *find = addMenu(u"П&оиск", "SearchMenu");
    struct SearchItem {
        const char16_t *text;
        const char *name;
        std::array<int, 2> buttons; // the tool buttons that run it: on the individuals side, on the organisations side
    };
    constexpr SearchItem SearchItems[] = {
        {u"По &номеру телефона…", "PhoneSearchItem", {1, 1}},
        {u"По &фамилии…", "SurnameSearchItem", {2, 2}},
        {u"По &адресу…", "AddressSearchItem", {3, 5}},
        {u"&Предприятия…", "OrgSearchItem", {4, 4}},
    };
    std::vector<std::pair<QAction *, std::array<int, 2>>> searchItems;
    for (const SearchItem &item : SearchItems) {
        const std::array<int, 2> buttons = item.buttons;
        QAction *action = addNamed(find, QString::fromUtf16(item.text), item.name,
                                   SpeedButton(buttons[0]).shortcut());
        connect(action, &QAction::triggered, this, [this, buttons] {
            if (const int number = runnableButton(buttons))
                RunCommand(ToolButtons[number - 1].command);
        });
        searchItems.emplace_back(action, buttons);
    }
    find->addSeparator();
    QAction *quick = addNamed(find, u"&Быстрый поиск"_s, "QuickSearchItem", QKeySequence(Qt::CTRL | Qt::Key_F));
    connect(quick, &QAction::triggered, this, [this] {
        m_quickSearch->setFocus(Qt::ShortcutFocusReason);
        m_quickSearch->selectAll();
    });
    // A search shows as it can run: on its side's tab.
    const auto syncSearchItems = [this, searchItems] {
        for (const auto &[action, buttons] : searchItems)
            action->setEnabled(runnableButton(buttons) != 0);
    };
    connect(find, &QMenu::aboutToShow, this, syncSearchItems);
    connect(this, &TFrmMain::TabCommandsChanged, this, syncSearchItems);

    QMenu *service = addMenu(u"&Сервис", "N6");
    QAction *update = addItem(service, u"&Обновление из архива", "N7");
    connect(update, &QAction::triggered, this, [this] { RunCommand(Command::Update); });

    QMenu *help = addMenu(u"&Помощь", "N8");
    // F1 itself is answered by the window's event filter, with the topic of the focused control.
    QAction *contents = addNamed(help, u"Помощь"_s, "N9", QKeySequence(Qt::Key_F1));
    connect(contents, &QAction::triggered, this, &TFrmMain::ShowHelpContents);
    help->addSeparator()->setObjectName(QStringLiteral("N10"));
    QAction *about = addItem(help, u"О программе", "N11");
    connect(about, &QAction::triggered, this, [this] { RunCommand(Command::About); });
}

int TFrmMain::runnableButton(const std::array<int, 2> &buttons) const
{
    const DirectorySide side = m_session->Side();
    const int number = buttons[side == DirectorySide::Persons ? 0 : 1];
    return ShownOnSide(number, side) && SpeedButton(number).isEnabled() ? number : 0;
}

ResultGrid *TFrmMain::visibleGrid() const
{
    for (ResultGrid *grid : {m_sgFullFiz, m_sgFullPred, m_sgTemp}) {
        if (!grid->isHidden())
            return grid;
    }
    return nullptr;
}

void TFrmMain::createStatusBar()
{
    QStatusBar *status = statusBar();
    status->setObjectName(QStringLiteral("StatusBar1"));
    for (int i = 0; i < 3; ++i) {
        auto *panel = new QLabel(status);
        panel->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(i));
        status->addWidget(panel);
        m_panels[i] = panel;
    }
    sizeStatusPanels();
}

void TFrmMain::sizeStatusPanels()
{
    // At least the panel's width, grown with the font; wider when a font does
    // not fit the count into it.
    const DesignPixels px(*statusBar());
    for (int i = 0; i < 3; ++i)
        m_panels[i]->setMinimumWidth(px(StatusPanelWidths[i]));
}

QString TFrmMain::StatusText(int panel) const
{
    return m_panels.at(panel)->text();
}

void TFrmMain::SetStatusText(int panel, const QString &text)
{
    m_panels.at(panel)->setText(text);
}

void TFrmMain::SetStatusDescription(int panel, const QString &text)
{
    m_panels.at(panel)->setAccessibleDescription(text);
}

void TFrmMain::LoadDirectory(QProgressBar *bar)
{
    if (bar) {
        bar->setRange(0, SplashSteps);
        bar->setValue(0);
    }
    m_loadBar = bar;
    m_session->Reload();
    m_loadBar = nullptr;
}

} // namespace phonebook
