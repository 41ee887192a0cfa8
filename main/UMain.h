#pragma once
// TFrmMain: the main window. It shows the directory session (the datasets,
// the side, the current result and the counts, main/core) in the three result
// grids, the tool bar, the tab bar, the menu and the status bar, and decides
// which grid and which buttons are visible (the individuals side or the
// organisations side). It follows the session's signals; the other windows
// speak to the session, never to it.

#include "DirectorySession.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QTabBar;
class QToolButton;

namespace phonebook {

namespace search {
struct SearchOutcome;
}

class HelpWindow;
class ListZoom;
class MainEventFilter;
class QuickSearchBox;
class ResultGrid;
class TablesStatePage;
class TFrmSplash;

// Where the program finds its tables and its help pages: normally both beside
// the program itself.
struct ProgramPaths {
    QString tables;
    QString help;
    static ProgramPaths BesideProgram();
};

// Commands whose windows or searches are created after the main window. Until
// one is attached, its button or menu item does nothing.
enum class Command {
    PhoneSearch,         // SpeedButton1
    SurnameSearch,       // SpeedButton2
    PersonAddressSearch, // SpeedButton3
    OrgSearch,           // SpeedButton4
    OrgAddressSearch,    // SpeedButton5
    Update,              // N7
    About,               // N11
};
inline constexpr int CommandCount = 7;

class TFrmMain : public QMainWindow {
    Q_OBJECT

public:
    // Builds the window and its session over the tables in paths.tables, and
    // loads both lists (the start-up steps). A missing or damaged table is
    // reported in a message box and leaves its list empty. With a splash, its
    // progress bar counts the rows written.
    explicit TFrmMain(const ProgramPaths &paths, TFrmSplash *splash = nullptr, QWidget *parent = nullptr);
    // The same over a session made before (its tables perhaps being opened
    // ahead); its folder is the one the lists are read from.
    TFrmMain(std::unique_ptr<DirectorySession> session, const ProgramPaths &paths, TFrmSplash *splash = nullptr,
             QWidget *parent = nullptr);
    ~TFrmMain() override;

    // --- components -----------------------------------------------------------
    ResultGrid &SGFullFiz() const { return *m_sgFullFiz; }
    ResultGrid &SGFullPred() const { return *m_sgFullPred; }
    ResultGrid &SGTemp() const { return *m_sgTemp; }
    // The session the window shows; it lives as long as the window.
    DirectorySession &Session() const { return *m_session; }
    TableCursor &TFullFiz() { return m_session->TFullFiz(); }
    Query &QFullPred() { return m_session->QFullPred(); }
    Query &QTemp() { return m_session->QTemp(); }
    QTabBar &TabControl1() const { return *m_tabs; }
    QLineEdit &Edit1() const { return *m_edit1; }
    QToolButton &SpeedButton(int number) const { return *m_buttons.at(number - 1); }
    const ProgramPaths &Paths() const { return m_paths; }

    // Status bar panel 0, 1 or 2.
    QString StatusText(int panel) const;
    void SetStatusText(int panel, const QString &text);
    // What a screen reader says of the panel besides its text.
    void SetStatusDescription(int panel, const QString &text);

    // --- tabs -----------------------------------------------------------------
    // The selected tab: 0 individuals, 1 organisations, 2 the organisation tab;
    // -1 when the selected tab was removed and none is selected yet.
    int TabIndex() const { return m_selectedTab; }
    // Selecting, adding or removing tabs from code never runs TabControl1Change.
    void SelectTab(int index);
    // Adds the organisation tab (index 2) with this caption, not selected.
    void AddOrgTab(const QString &caption);
    // Deletes the tab at index 2 if there are more than two tabs.
    void RemoveOrgTab();
    // What the user's selection of another tab runs.
    void TabControl1Change();

    // --- sides ----------------------------------------------------------------
    // Individuals side: tab 0, buttons 2 and 3, SGFullFiz, no organisation
    // tab. Asked of the session, whose SideChanged the window follows.
    void ShowPersonsSide();
    // Organisations side: tab 1, buttons 4 and 5, SGFullPred, and the
    // organisation tab captioned with the first organisation of the list.
    void ShowOrgsSide();
    // Places the visible tool-bar buttons side by side from the left, sized
    // for the font (DesignPixels).
    void ArrangeToolButtons();

    // Focus to the first visible grid of SGFullFiz, SGFullPred, SGTemp.
    void FocusVisibleGrid();

    // --- the organisation tab -------------------------------------------------
    // The user moved the selection to data row `row`: the organisation tab is
    // captioned anew with that row's organisation, and its dataset put on it.
    void SGFullPredSelectCell(int row);
    void SGTempSelectCell(int row);
    // Double-clicks list the current organisation's numbers (SGTemp: on tab 1 only).
    void SGFullPredDblClick();
    void SGTempDblClick();
    // The organisation tab selected: lists every number of the current organisation.
    void ShowOrgNumbers();
    // The current organisation's name as stored (enciphered): of the current
    // row of QTemp while SGTemp is visible, else of QFullPred; empty for none.
    QString CurrentOrganisation() const;

    // --- searches -------------------------------------------------------------
    // Has the session present what a search found in QTemp; the window shows
    // it (see the session's ResultChanged): the message when it found nothing,
    // else SGTemp filled and shown with its help topic, the organisation tab,
    // the highlighted row. A cancelled search changes nothing.
    void PresentSearch(const search::SearchOutcome &outcome);

    // The quick-search box at the right end of the tool bar.
    QuickSearchBox &QuickSearch() const { return *m_quickSearch; }
    // The size of the lists and the quick-search box ("Вид" menu).
    ListZoom &Zoom() const { return *m_zoom; }

    // --- commands, help and exit ----------------------------------------------
    // Attaches what a command does; an empty function detaches it.
    void SetCommand(Command command, std::function<void()> action);
    void RunCommand(Command command);
    // Every character typed in the main window is passed here before the
    // focused control sees it; the character still reaches the control.
    void SetKeyPreview(std::function<void(QChar)> handler) { m_keyPreview = std::move(handler); }
    void FormKeyPress(QChar key);

    void ShowHelpContents();
    void ShowHelpTopic(int context);
    // The help window shown last: over a modal window its own, which lives
    // until it is closed; otherwise the main window's, null until first asked for.
    HelpWindow *Help() const;

    // Has the session read both tables again (start-up steps 3 to 7; see
    // DirectorySession::Reload); the window shows them as the session says:
    // each list that fails is reported and left empty, tables an update left
    // set aside are restored first (and the user told). The bar, when given,
    // runs from 0 to 200 as the first pages are written. The individuals list
    // is shown at once; the organisation list when its build is finished.
    void LoadDirectory(QProgressBar *bar);
    // Whether the last load read the table (PersonsTable or OrgsTable): found
    // and opened, whatever it holds.
    bool TableRead(QStringView table) const;
    // The page shown in place of a full list whose table was not read or holds no records.
    TablesStatePage &TablesPage() const { return *m_tablesPage; }

    // Whether the organisation list is still being built; SGFullPred is empty meanwhile.
    bool OrgListPending() const { return m_session->OrgListPending(); }
    // Waits for the organisation list being built, then shows it.
    void WaitForOrgList() { m_session->WaitForOrgList(); }

signals:
    // Both lists were read from the tables again and the individuals' list is
    // shown (at start-up, after an update, or a new edition copied in by hand).
    void DirectoryLoaded();
    // The organisation list built in the background is shown (or its failure reported).
    void OrgListLoaded();
    // The searches that act on the selected tab were enabled or disabled anew.
    void TabCommandsChanged();

protected:
    void showEvent(QShowEvent *event) override;
    // A change of the font sizes the tool bar's buttons and the status bar's panels anew.
    void changeEvent(QEvent *event) override;
    // Closing the main window ends the program, whatever other windows are open.
    void closeEvent(QCloseEvent *event) override;

private:
    void createToolBar(QWidget *parent);
    void createMenu();
    void createStatusBar();
    void sizeStatusPanels();
    void createTabArea(QWidget *parent);
    // The session's signals.
    void onListsReloaded(const DirectoryCounts &counts);
    void onPersonsPreviewed();
    void onOrgListBuilt();
    void onSideChanged(DirectorySide side);
    void showSearch(const search::SearchOutcome &outcome);
    void showPersonsSide();
    void showOrgsSide();
    // The selected tab, as the window and the session count it.
    void setSelectedTab(int index);
    // Keeps for the page what the session's reload of table 0 (individuals)
    // or 1 (organisations) left: why it was not read, or its records.
    void noteTableLoad(int table, const TableLoad &load, int records);
    // Shows the page in place of the side's full list when its table was not
    // read or holds no records, and the list again when it can.
    void syncTablesPage();
    // The organisation tab captioned with the first organisation of the full list.
    void addFirstOrgTab();
    void setOrgListWaitCursor(bool on);
    void connectOrgTab();
    // Row `row` of the grid's result: loaded into the grid, its dataset put on
    // it when the dataset still holds that result; returns its stored name.
    QString selectOrganisationRow(ResultGrid &grid, Dataset &data, int row);
    void onCurrentTabChanged(int index);
    // Enables the searches that act on the selected tab and disables the
    // others, their tips naming the tab they need.
    void updateTabCommands();
    // Of a search's tool buttons (on the individuals side, on the organisations
    // side), the one that runs it on the side shown now; 0 when none does.
    int runnableButton(const std::array<int, 2> &buttons) const;
    // The grid shown now; null when none is.
    ResultGrid *visibleGrid() const;
    // The help window to show a page in (see Help()).
    HelpWindow &helpWindow();
    void onTabClicked(int index);

    ProgramPaths m_paths;
    std::unique_ptr<DirectorySession> m_session;
    // The bar the lists being loaded count on; null but while LoadDirectory() runs.
    QProgressBar *m_loadBar = nullptr;

    ResultGrid *m_sgFullFiz = nullptr;
    ResultGrid *m_sgFullPred = nullptr;
    ResultGrid *m_sgTemp = nullptr;
    QTabBar *m_tabs = nullptr;
    QLineEdit *m_edit1 = nullptr;
    std::array<QToolButton *, 6> m_buttons{};
    std::array<QLabel *, 3> m_panels{};
    QPointer<HelpWindow> m_help;
    QPointer<HelpWindow> m_modalHelp;
    MainEventFilter *m_eventFilter = nullptr;
    QuickSearchBox *m_quickSearch = nullptr;
    TablesStatePage *m_tablesPage = nullptr;
    ListZoom *m_zoom = nullptr;
    // The full list the page stands in place of; null when it is not shown.
    ResultGrid *m_pageCovers = nullptr;
    // Per table (individuals, organisations): what kept the last load from
    // reading it (empty when it was read), and its records (-1 when unknown).
    std::array<QString, 2> m_tableProblems;
    QString m_loadMessage; // what the last load of the lists reported
    bool m_previewShown = false; // the individuals' list shows the first records only
    std::array<int, 2> m_tableRecords{-1, -1};

    std::array<std::function<void()>, CommandCount> m_commands;
    std::function<void(QChar)> m_keyPreview;
    int m_selectedTab = 0;
    int m_tabChangesFromCode = 0;
    bool m_shown = false;
    bool m_orgWaitCursor = false;
};

// A tool button's tip: its hint and its key, and, when `neededTabs` is not
// empty, the tabs it works on.
QString ButtonTip(const QToolButton &button, const QString &neededTabs);

// The one main window, while it exists.
extern TFrmMain *FrmMain;

} // namespace phonebook
