// The two sides of the main window (individuals, organisations), the tab bar
// that switches between them and the tool-bar buttons each side shows.

#include "UMain.h"

#include "AppInfo.h"
#include "TablesStatePage.h"
#include "ErrorReport.h"
#include "QuickSearchBox.h"
#include "ResultGrid.h"
#include "UHelpFull.h"
#include "WindowHelpers.h"

#include <QApplication>
#include <QSignalBlocker>
#include <QTabBar>
#include <QToolButton>

namespace phonebook {

namespace {

// Runs a change of the tab bar made by the program: the tab-change handler
// stays out of it.
class TabChangeFromCode {
public:
    explicit TabChangeFromCode(int &depth)
        : m_depth(depth)
    {
        ++m_depth;
    }
    ~TabChangeFromCode() { --m_depth; }
    TabChangeFromCode(const TabChangeFromCode &) = delete;
    TabChangeFromCode &operator=(const TabChangeFromCode &) = delete;

private:
    int &m_depth;
};

// The page of the session a tab shows.
DirectoryPage PageOf(int tab)
{
    switch (tab) {
    case PersonsTab: return DirectoryPage::Persons;
    case OrgsTab: return DirectoryPage::Orgs;
    case OrgTab: return DirectoryPage::Organisation;
    default: return DirectoryPage::None;
    }
}

} // namespace

void TFrmMain::setSelectedTab(int index)
{
    m_selectedTab = index;
    m_session->SetPage(PageOf(index));
}

QString ButtonTip(const QToolButton &button, const QString &neededTabs)
{
    QString tip = button.accessibleName();
    if (!button.shortcut().isEmpty())
        tip += QStringLiteral(" (%1)").arg(button.shortcut().toString(QKeySequence::NativeText));
    if (!neededTabs.isEmpty())
        tip += QStringLiteral("\nРаботает на вкладке %1").arg(neededTabs);
    return tip;
}

void TFrmMain::syncTablesPage()
{
    const bool orgsSide = m_session->Side() == DirectorySide::Orgs;
    const size_t table = orgsSide ? 1 : 0;
    ResultGrid *full = orgsSide ? m_sgFullPred : m_sgFullFiz;
    const bool unread = !m_tableProblems[table].isEmpty();
    const bool noRecords = !unread && m_tableRecords[table] == 0;
    // In place of a full list only: a search's result shows as it is.
    const bool shown = m_sgTemp->isHidden() && (unread || noRecords);
    const bool hadFocus = m_tablesPage->isAncestorOf(QApplication::focusWidget());
    if (shown) {
        if (unread) {
            std::vector<TableFileState> files;
            for (size_t t = 0; t < 2; ++t)
                files.push_back({(t == 0 ? PersonsTableFile : OrgsTableFile).toString(), m_tableProblems[t]});
            m_tablesPage->ShowUnread(m_session->TablesFolder(), files);
        } else {
            m_tablesPage->ShowNoRecords();
        }
        full->hide();
        m_pageCovers = full;
        m_tablesPage->show();
        if (hadFocus || m_sgFullFiz->hasFocus() || m_sgFullPred->hasFocus())
            FocusVisibleGrid();
        return;
    }
    m_tablesPage->hide();
    // The list the page stood for comes back when its side is still shown.
    if (m_pageCovers == full && m_sgTemp->isHidden())
        full->show();
    m_pageCovers = nullptr;
    if (hadFocus)
        FocusVisibleGrid();
}

void TFrmMain::updateTabCommands()
{
    syncTablesPage();
    const bool onSide = m_selectedTab == PersonsTab || m_selectedTab == OrgsTab;
    const bool onOrgs = m_selectedTab == OrgsTab;
    const QString orgs = QStringLiteral("«%1»").arg(OrgsTabCaption);
    const QString sides = QStringLiteral("«%1» или %2").arg(PersonsTabCaption, orgs);
    const auto set = [this](int number, bool enabled, const QString &needed) {
        QToolButton &button = SpeedButton(number);
        button.setEnabled(enabled);
        button.setToolTip(ButtonTip(button, enabled ? QString() : needed));
    };
    set(1, onSide, sides);
    set(2, true, {});
    set(3, true, {});
    set(4, onOrgs, orgs);
    set(5, onOrgs, orgs);
    // Without the side's table there is nothing to search: the page says why.
    const bool unread = !m_tablesPage->isHidden() && m_tablesPage->Unread();
    if (unread) {
        for (int number = 1; number <= 5; ++number) {
            QToolButton &button = SpeedButton(number);
            button.setEnabled(false);
            button.setToolTip(ButtonTip(button, {}) + u'\n' + NoTablesTip.toString());
        }
    }
    m_quickSearch->setEnabled(!unread);
    m_quickSearch->setToolTip(QuickSearchBox::Tip() + (unread ? u'\n' + NoTablesTip.toString() : QString()));
    emit TabCommandsChanged();
}

void TFrmMain::SelectTab(int index)
{
    if (index < 0 || index >= m_tabs->count())
        return;
    const TabChangeFromCode fromCode(m_tabChangesFromCode);
    m_tabs->setCurrentIndex(index);
    setSelectedTab(index);
    updateTabCommands();
}

void TFrmMain::AddOrgTab(const QString &caption)
{
    const TabChangeFromCode fromCode(m_tabChangesFromCode);
    m_tabs->addTab(caption);
}

void TFrmMain::RemoveOrgTab()
{
    if (m_tabs->count() <= OrgTab)
        return;
    const TabChangeFromCode fromCode(m_tabChangesFromCode);
    m_tabs->removeTab(OrgTab);
    // The bar moves its highlight elsewhere; the program counts no tab as selected.
    if (m_selectedTab == OrgTab)
        setSelectedTab(-1);
    updateTabCommands();
}

void TFrmMain::onCurrentTabChanged(int index)
{
    if (m_tabChangesFromCode > 0 || index < 0 || index == m_selectedTab)
        return;
    setSelectedTab(index);
    updateTabCommands();
    ReportErrors(this, [this] { TabControl1Change(); });
}

void TFrmMain::onTabClicked(int index)
{
    // A click on the highlighted tab while none counts as selected (after the
    // selected organisation tab was removed) selects it; on the selected tab
    // it changes nothing. Other clicks arrive through currentChanged.
    if (m_selectedTab >= 0 || index < 0 || index != m_tabs->currentIndex())
        return;
    setSelectedTab(index);
    updateTabCommands();
    ReportErrors(this, [this] { TabControl1Change(); });
}

void TFrmMain::TabControl1Change()
{
    switch (m_selectedTab) {
    case PersonsTab:
        ShowPersonsSide();
        break;
    case OrgsTab:
        ShowOrgsSide();
        break;
    case OrgTab:
        ShowOrgNumbers();
        break;
    default:
        break;
    }
}

void TFrmMain::ShowPersonsSide()
{
    m_session->ShowSide(DirectorySide::Persons);
}

void TFrmMain::ShowOrgsSide()
{
    m_session->ShowSide(DirectorySide::Orgs);
}

void TFrmMain::onSideChanged(DirectorySide side)
{
    if (side == DirectorySide::Persons)
        showPersonsSide();
    else
        showOrgsSide();
}

void TFrmMain::showPersonsSide()
{
    setOrgListWaitCursor(false);
    RemoveOrgTab();
    SelectTab(PersonsTab);
    SpeedButton(2).show();
    SpeedButton(3).show();
    SpeedButton(4).hide();
    SpeedButton(5).hide();
    ArrangeToolButtons();
    m_sgFullFiz->show();
    m_sgFullPred->hide();
    m_sgTemp->hide();
    updateTabCommands();
    FocusVisibleGrid();
}

void TFrmMain::showOrgsSide()
{
    RemoveOrgTab();
    SelectTab(OrgsTab);
    // A list still being built shows empty under a busy cursor; its tab is
    // added when the list is there.
    addFirstOrgTab();
    setOrgListWaitCursor(OrgListPending());
    SpeedButton(2).hide();
    SpeedButton(3).hide();
    SpeedButton(4).show();
    SpeedButton(5).show();
    ArrangeToolButtons();
    m_sgFullPred->show();
    m_sgFullFiz->hide();
    m_sgTemp->hide();
    m_sgFullPred->setFocus(Qt::OtherFocusReason);
    updateTabCommands();
    FocusVisibleGrid();
}

void TFrmMain::addFirstOrgTab()
{
    // The tab is captioned with the first organisation of the full list; a
    // list that could not be read (or is not built yet) has none, and then
    // no organisation tab.
    Query &list = QFullPred();
    if (list.Active() && list.RecordCount() > 0) {
        list.First();
        AddOrgTab(DecodeText(list.FieldByName(u"naim"), CipherKey));
    }
}

void TFrmMain::ArrangeToolButtons()
{
    const DesignPixels px(*m_buttons[0]->parentWidget());
    int left = 0;
    for (QToolButton *button : m_buttons) {
        button->setFixedSize(px(QSize(ToolButtonWidth, ToolButtonHeight)));
        button->setIconSize(px(QSize(GlyphSize, GlyphSize)));
        if (button->isHidden())
            continue;
        button->move(left, px(ToolButtonTop));
        left += button->width();
    }
}

void TFrmMain::FocusVisibleGrid()
{
    // The page stands in place of a list: its first control takes the focus.
    FocusFirstVisible({m_sgFullFiz, m_sgFullPred, m_sgTemp,
                       m_tablesPage->isHidden() ? nullptr : m_tablesPage->FirstControl()});
}

} // namespace phonebook
