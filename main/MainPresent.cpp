// Presenting a search's outcome in the main window: what the searches of the
// tool bar, the organisation tab and the search dialogs share.

#include "UMain.h"

#include "AppInfo.h"
#include "Dialogs.h"
#include "FillRoutines.h"
#include "QuickSearchBox.h"
#include "ResultGrid.h"
#include "SearchOutcome.h"

namespace phonebook {

void TFrmMain::PresentSearch(const search::SearchOutcome &outcome)
{
    if (outcome.cancelled)
        return;
    if (!outcome.found()) {
        if (!outcome.message.isEmpty())
            Dialogs::ShowMessage(this, outcome.message);
        if (outcome.selectTab >= 0)
            SelectTab(outcome.selectTab);
        FocusVisibleGrid();
        return;
    }

    ResultGrid &grid = *m_sgTemp;
    // The grid shows the whole result from its first row, whichever row the search left current.
    m_qTemp.First();
    switch (outcome.fill) {
    case search::GridFill::Persons: FillPersonGrid(grid, m_qTemp); break;
    case search::GridFill::PersonsPaged: FillPersonGridPaged(grid, m_qTemp); break;
    case search::GridFill::Orgs: FillOrgGrid(grid, m_qTemp); break;
    case search::GridFill::OrgsPaged: FillOrgGridPaged(grid, m_qTemp); break;
    case search::GridFill::OrgPhones: FillOrgPhonesGrid(grid, m_qTemp); break;
    case search::GridFill::Departments: FillDeptGrid(grid, m_qTemp); break;
    case search::GridFill::None: break;
    }
    if (outcome.orgTabCaption) {
        RemoveOrgTab();
        AddOrgTab(*outcome.orgTabCaption);
    }
    if (outcome.selectTab >= 0)
        SelectTab(outcome.selectTab);
    m_sgTemp->show();
    m_sgFullFiz->hide();
    m_sgFullPred->hide();
    if (outcome.helpContext > 0)
        grid.SetHelpContext(outcome.helpContext);
    // Read out, printed and saved as what it lists.
    grid.setAccessibleName(outcome.title.isEmpty() ? SearchResultName.toString() : outcome.title);
    // The status bar counts what was found and says what was searched.
    m_quickSearch->ShowFound(grid.RowCount() - 1, outcome.note);
    updateTabCommands();
    FocusVisibleGrid();
    if (outcome.highlightRow > 0) {
        m_qTemp.MoveBy(outcome.highlightRow - m_qTemp.RecNo());
        grid.SelectRowAcross(outcome.highlightRow);
    }
}

} // namespace phonebook
