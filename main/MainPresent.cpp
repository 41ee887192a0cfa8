// Presenting a search's outcome in the main window: what the searches of the
// tool bar, the organisation tab and the search dialogs share. The session
// hands the outcome over; the window chooses the tab for what it lists.

#include "UMain.h"

#include "AppInfo.h"
#include "Dialogs.h"
#include "FillRoutines.h"
#include "QuickSearchBox.h"
#include "ResultGrid.h"
#include "SearchOutcome.h"

#include <QTabBar>

namespace phonebook {

void TFrmMain::PresentSearch(const search::SearchOutcome &outcome)
{
    m_session->Present(outcome);
}

void TFrmMain::showSearch(const search::SearchOutcome &outcome)
{
    if (!outcome.found()) {
        if (outcome.message.IsSet())
            Dialogs::ShowMessage(this, outcome.message.Text());
        FocusVisibleGrid();
        return;
    }

    ResultGrid &grid = *m_sgTemp;
    Query &temp = QTemp();
    // The grid shows the whole result from its first row, whichever row the search left current.
    temp.First();
    switch (outcome.fill) {
    case search::GridFill::Persons: FillPersonGrid(grid, temp); break;
    case search::GridFill::PersonsPaged: FillPersonGridPaged(grid, temp); break;
    case search::GridFill::Orgs: FillOrgGrid(grid, temp); break;
    case search::GridFill::OrgsPaged: FillOrgGridPaged(grid, temp); break;
    case search::GridFill::OrgPhones: FillOrgPhonesGrid(grid, temp); break;
    case search::GridFill::Departments: FillDeptGrid(grid, temp); break;
    case search::GridFill::None: break;
    }
    if (outcome.orgTabCaption && (!outcome.renameOrgTabOnly || m_tabs->count() > OrgTab)) {
        RemoveOrgTab();
        AddOrgTab(*outcome.orgTabCaption);
    }
    switch (outcome.listing()) {
    case search::Listing::OrgNumbers:
    case search::Listing::Departments:
        SelectTab(OrgTab);
        break;
    case search::Listing::Organisations:
        // Organisations are listed on the organisations tab, so that the
        // list pages and re-captions the organisation tab as usual, even when
        // a department result left the organisation tab (or no tab) selected.
        if (m_selectedTab == OrgTab || m_selectedTab < 0)
            SelectTab(OrgsTab);
        break;
    case search::Listing::Persons:
    case search::Listing::Nothing:
        break;
    }
    m_sgTemp->show();
    m_sgFullFiz->hide();
    m_sgFullPred->hide();
    if (outcome.helpContext > 0)
        grid.SetHelpContext(outcome.helpContext);
    // Read out, printed and saved as what it lists.
    grid.setAccessibleName(outcome.title.IsSet() ? outcome.title.Text() : SearchResultName.toString());
    // The status bar counts what was found and says what was searched.
    m_quickSearch->ShowFound(grid.RowCount() - 1, outcome.note.IsSet() ? outcome.note.Text() : QString());
    updateTabCommands();
    FocusVisibleGrid();
    if (outcome.highlightRow > 0) {
        temp.MoveBy(outcome.highlightRow - temp.RecNo());
        grid.SelectRowAcross(outcome.highlightRow);
    }
}

} // namespace phonebook
