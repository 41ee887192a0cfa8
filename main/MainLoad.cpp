// Showing the two full lists the session loaded: at start-up and, later,
// after an update or a new edition copied in by hand.

#include "UMain.h"

#include "AppInfo.h"
#include "Dialogs.h"
#include "ErrorReport.h"
#include "FillRoutines.h"
#include "GridFiller.h"
#include "GridLayouts.h"
#include "ResultGrid.h"

#include <QApplication>
#include <QProgressBar>
#include <QTabBar>

namespace phonebook {

namespace {

// What a failed list says before the error: which list, from which file.
QString NotLoaded(const QString &list, QStringView table)
{
    return QStringLiteral("%1 не загружен из файла %2.dbf.").arg(list, table);
}

QString PersonsNotLoaded() { return NotLoaded(QStringLiteral("Список физических лиц"), PersonsTable); }
QString OrgsNotLoaded() { return NotLoaded(QStringLiteral("Список организаций"), OrgsTable); }

// A table that opened with faults (cut short, a header that disagrees with
// its records) shows what could be read; the user is told what is wrong.
void ReportDamage(QWidget *parent, QStringView table, const QStringList &warnings)
{
    if (warnings.isEmpty())
        return;
    Dialogs::ShowMessage(parent,
                         QStringLiteral("Файл %1.dbf повреждён, показано то, что удалось прочесть.\n\n%2")
                             .arg(table, warnings.join(u'\n')),
                         QMessageBox::Warning);
}

// Moves the bar to `value`, the steps of the lists written so far.
void AdvanceTo(QProgressBar *bar, int value)
{
    if (bar)
        bar->setValue(std::max(bar->value(), value));
}

} // namespace

void TFrmMain::onListsReloaded(const DirectoryCounts &counts)
{
    QProgressBar *bar = m_loadBar;
    const int generation = m_session->Generation();
    // The organisation list is empty until its build is there.
    ShowEmptyGrid(*m_sgFullPred, GridLayout::Organisations);
    SetStatusText(0, PersonsCountText.toString() + QString::number(counts.persons));
    SetStatusText(1, OrgPhonesCountText.toString() + QString::number(counts.orgPhones));

    const TableLoad &persons = m_session->PersonsLoad();
    if (persons.error)
        ShowError(this, *persons.error, PersonsNotLoaded());
    ReportDamage(this, PersonsTable, persons.warnings);
    // A message box lets events through: a reload meanwhile shows its own lists.
    if (generation != m_session->Generation())
        return;
    const bool shown = !persons.error && ReportErrors(this, [&] {
        if (TFullFiz().RecordCount() == 0) {
            ShowEmptyGrid(*m_sgFullFiz, GridLayout::Persons);
            return;
        }
        FillPersonGridPaged(*m_sgFullFiz, TFullFiz(), bar); // a null bar counts nothing
    }, PersonsNotLoaded());
    if (!shown) {
        // The count is of the list shown, which stays empty.
        m_session->DropPersons();
        SetStatusText(0, PersonsCountText.toString() + QString::number(0));
        ShowEmptyGrid(*m_sgFullFiz, GridLayout::Persons);
    }
    // The bar counts each list's first page as written, whatever it held.
    AdvanceTo(bar, SplashSteps / 2);

    const TableLoad &orgs = m_session->OrgsLoad();
    if (orgs.error)
        ShowError(this, *orgs.error, OrgsNotLoaded());
    ReportDamage(this, OrgsTable, orgs.warnings);
    AdvanceTo(bar, SplashSteps);
    if (generation != m_session->Generation())
        return;
    if (orgs.error)
        setOrgListWaitCursor(false);
    emit DirectoryLoaded();
}

void TFrmMain::onOrgListBuilt()
{
    const int generation = m_session->Generation();
    Query &list = QFullPred();
    bool loaded = false;
    if (const auto &error = m_session->OrgListError()) {
        ShowError(this, *error, OrgsNotLoaded());
    } else {
        loaded = ReportErrors(this, [&] {
            if (list.RecordCount() == 0) {
                ShowEmptyGrid(*m_sgFullPred, GridLayout::Organisations);
                return;
            }
            FillOrgGridPaged(*m_sgFullPred, list);
        }, OrgsNotLoaded());
    }
    // The message box let events through: a reload meanwhile owns the list now.
    if (generation != m_session->Generation())
        return;
    if (!loaded) {
        m_session->DropOrgList();
        ShowEmptyGrid(*m_sgFullPred, GridLayout::Organisations);
    }
    // The organisations side asked for while the list was built gets its tab now.
    if (m_selectedTab == OrgsTab && m_tabs->count() < 3 && !m_sgFullPred->isHidden())
        addFirstOrgTab();
    setOrgListWaitCursor(false);
    emit OrgListLoaded();
}

void TFrmMain::setOrgListWaitCursor(bool on)
{
    if (on == m_orgWaitCursor)
        return;
    m_orgWaitCursor = on;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

} // namespace phonebook
