// Loading the two full lists: start-up and, later, after an update.

#include "UMain.h"

#include "AppInfo.h"
#include "Dialogs.h"
#include "ErrorReport.h"
#include "FillRoutines.h"
#include "GridFiller.h"
#include "GridLayouts.h"
#include "ResultGrid.h"

#include <QProgressBar>

namespace phonebook {

namespace {

// What a failed list says before the error: which list, from which file.
QString NotLoaded(const QString &list, QStringView table)
{
    return QStringLiteral("%1 не загружен из файла %2.dbf.").arg(list, table);
}

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

void Advance(QProgressBar *bar, int steps)
{
    if (bar)
        bar->setValue(bar->value() + steps);
}

} // namespace

void TFrmMain::loadPersons(QProgressBar *bar)
{
    const int barStart = bar ? bar->value() : 0;
    SetStatusText(0, PersonsCountText.toString() + QString::number(0));
    const bool loaded = ReportErrors(this, [&] {
        m_tFullFiz.Close();
        m_tFullFiz.SetTableName(PersonsTable.toString());
        m_tFullFiz.Open();
        ReportDamage(this, PersonsTable, m_tFullFiz.Warnings());
        SetStatusText(0, PersonsCountText.toString() + QString::number(m_tFullFiz.RecordCount()));
        if (m_tFullFiz.RecordCount() == 0) {
            ShowEmptyGrid(*m_sgFullFiz, GridLayout::Persons);
            return;
        }
        FillPersonGridPaged(*m_sgFullFiz, m_tFullFiz, bar); // a null bar counts nothing
    }, NotLoaded(QStringLiteral("Список физических лиц"), PersonsTable));
    if (!loaded) {
        // The count is of the list shown, which stays empty.
        m_tFullFiz.Close();
        SetStatusText(0, PersonsCountText.toString() + QString::number(0));
        ShowEmptyGrid(*m_sgFullFiz, GridLayout::Persons);
    }
    // The bar counts this list's first page as written, whatever it held.
    if (bar)
        Advance(bar, barStart + SplashSteps / 2 - bar->value());
}

void TFrmMain::loadOrgs(QProgressBar *bar)
{
    const int barStart = bar ? bar->value() : 0;
    SetStatusText(1, OrgPhonesCountText.toString() + QString::number(0));
    const bool loaded = ReportErrors(this, [&] {
        // Every number of an organisation counts once: the table's own rows.
        // The table cursor counts them without building a result of every
        // field of every row, as "SELECT * FROM sp09pr_n" would.
        TableCursor orgPhones;
        orgPhones.SetDirectory(m_paths.tables);
        orgPhones.SetTableName(OrgsTable.toString());
        orgPhones.Open();
        ReportDamage(this, OrgsTable, orgPhones.Warnings());
        SetStatusText(1, OrgPhonesCountText.toString() + QString::number(orgPhones.RecordCount()));
        orgPhones.Close();

        m_qFullPred.Close();
        m_qFullPred.ClearSql();
        m_qFullPred.AddSql(OrgListSql.toString());
        m_qFullPred.Open();
        if (m_qFullPred.RecordCount() == 0) {
            ShowEmptyGrid(*m_sgFullPred, GridLayout::Organisations);
            return;
        }
        FillOrgGridPaged(*m_sgFullPred, m_qFullPred, bar);
    }, NotLoaded(QStringLiteral("Список организаций"), OrgsTable));
    if (!loaded) {
        m_qFullPred.Close();
        ShowEmptyGrid(*m_sgFullPred, GridLayout::Organisations);
    }
    if (bar)
        Advance(bar, barStart + SplashSteps / 2 - bar->value());
}

} // namespace phonebook
