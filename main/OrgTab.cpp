// The organisation tab: captioned with the organisation of the selected row of
// an organisation list, and listing that organisation's numbers when selected.

#include "UMain.h"

#include "AppInfo.h"
#include "ErrorReport.h"
#include "GridLayouts.h"
#include "ResultGrid.h"
#include "Searches.h"
#include "UHelpFull.h"

#include <QTabBar>

namespace phonebook {

void TFrmMain::connectOrgTab()
{
    connect(m_sgFullPred, &ResultGrid::RowSelected, this,
            [this](int row) { ReportErrors(this, [&] { SGFullPredSelectCell(row); }); });
    connect(m_sgTemp, &ResultGrid::RowSelected, this,
            [this](int row) { ReportErrors(this, [&] { SGTempSelectCell(row); }); });
    connect(m_sgFullPred, &ResultGrid::GridDoubleClicked, this,
            [this] { ReportErrors(this, [&] { SGFullPredDblClick(); }); });
    connect(m_sgTemp, &ResultGrid::GridDoubleClicked, this,
            [this] { ReportErrors(this, [&] { SGTempDblClick(); }); });
    // Enter on an organisation lists its numbers, as a double-click does.
    connect(m_sgFullPred, &ResultGrid::EnterPressed, this,
            [this] { ReportErrors(this, [&] { SGFullPredDblClick(); }); });
    connect(m_sgTemp, &ResultGrid::EnterPressed, this, [this] {
        if (m_sgTemp->Layout() == GridLayout::Organisations)
            ReportErrors(this, [&] { SGTempDblClick(); });
    });
}

QString TFrmMain::selectOrganisationRow(ResultGrid &grid, Dataset &data, int row)
{
    // The organisation is the one of the result row the grid shows there, not
    // a search for the grid's deciphered text, which need not encipher back
    // to the stored name.
    grid.LoadPageAt(row);
    const std::shared_ptr<const RowSource> source = grid.Source();
    if (!source || row < 1 || row > source->rowCount())
        return {};
    const int naim = source->columnIndex(u"naim");
    if (naim < 0)
        return {};
    if (data.Source() == source && data.RecNo() != row)
        data.MoveBy(row - data.RecNo());
    return source->text(row - 1, naim);
}

void TFrmMain::SGFullPredSelectCell(int row)
{
    RemoveOrgTab();
    AddOrgTab(DecodeText(selectOrganisationRow(*m_sgFullPred, QFullPred(), row), CipherKey));
}

void TFrmMain::SGTempSelectCell(int row)
{
    // On the organisations tab SGTemp holds a search result in the
    // organisations layout, or the quick search's numbers in the department layout.
    if (m_selectedTab == OrgsTab
        && (m_sgTemp->Layout() == GridLayout::Organisations || m_sgTemp->Layout() == GridLayout::Departments)) {
        RemoveOrgTab();
        AddOrgTab(DecodeText(selectOrganisationRow(*m_sgTemp, QTemp(), row), CipherKey));
    } else if (m_selectedTab == OrgTab && m_sgTemp->Layout() == GridLayout::Departments) {
        // Removing the selected tab leaves none selected: the user lists the
        // organisation's numbers by selecting its tab.
        RemoveOrgTab();
        AddOrgTab(DecodeText(selectOrganisationRow(*m_sgTemp, QTemp(), row), CipherKey));
    }
}

void TFrmMain::SGFullPredDblClick()
{
    SelectTab(OrgTab);
    ShowOrgNumbers();
}

void TFrmMain::SGTempDblClick()
{
    if (m_selectedTab != OrgsTab)
        return;
    SelectTab(OrgTab);
    ShowOrgNumbers();
}

QString TFrmMain::CurrentOrganisation() const
{
    const bool temp = !m_sgTemp->isHidden();
    const ResultGrid &grid = temp ? *m_sgTemp : *m_sgFullPred;
    const Query &data = temp ? m_session->QTemp() : m_session->QFullPred();
    const std::shared_ptr<const RowSource> source = grid.Source();
    if (!source)
        return {};
    const int naim = source->columnIndex(u"naim");
    if (naim < 0)
        return {};
    // The dataset's row while it holds the list shown; the grid's own current
    // row when a search that found nothing replaced the dataset's result.
    const int row = data.Source() == source ? data.RecNo() : grid.Row();
    if (row < 1 || row > source->rowCount())
        return {};
    return source->text(row - 1, naim);
}

void TFrmMain::ShowOrgNumbers()
{
    PresentSearch(search::OrgNumbers(QTemp(), CurrentOrganisation()));
}

} // namespace phonebook
