// Loading the two full lists: start-up and, later, after an update.

#include "UMain.h"

#include "AppInfo.h"
#include "BackgroundBuild.h"
#include "Dialogs.h"
#include "ErrorReport.h"
#include "FillRoutines.h"
#include "GridFiller.h"
#include "GridLayouts.h"
#include "ResultGrid.h"
#include "TableFiles.h"

#include <QApplication>
#include <QProgressBar>
#include <QTabBar>

#include <utility>

namespace phonebook {

namespace {

// What a failed list says before the error: which list, from which file.
QString NotLoaded(const QString &list, QStringView table)
{
    return QStringLiteral("%1 не загружен из файла %2.dbf.").arg(list, table);
}

// A table that opened with faults (cut short, a header that disagrees with
// its records) shows what could be read; the user is told what is wrong.
QString DamageText(QStringView table, const QStringList &warnings)
{
    return QStringLiteral("Файл %1.dbf повреждён, показано то, что удалось прочесть.\n\n%2")
        .arg(table, warnings.join(u'\n'));
}

void Advance(QProgressBar *bar, int steps)
{
    if (bar)
        bar->setValue(bar->value() + steps);
}

constexpr int PersonsIndex = 0;
constexpr int OrgsIndex = 1;

} // namespace

template <typename Body>
bool TFrmMain::readTable(int table, Body &&body, const QString &what)
{
    QString problem;
    QString text;
    try {
        std::forward<Body>(body)();
        return true;
    } catch (const DatabaseError &error) {
        problem = error.message();
        text = error.fullText();
    } catch (const std::exception &error) {
        problem = text = QString::fromLocal8Bit(error.what());
    }
    const QStringView base = table == PersonsIndex ? PersonsTable : OrgsTable;
    // A missing file is the common case (a folder without a directory): the page says it shortly.
    m_tableProblems[static_cast<size_t>(table)] =
        FindTableFile(m_paths.tables, base).isEmpty() ? QStringLiteral("не найден") : problem;
    m_loadMessages.append(what + QStringLiteral("\n") + text);
    m_loadFailed = true;
    return false;
}

bool TFrmMain::TableRead(QStringView table) const
{
    return m_tableProblems[table == PersonsTable ? PersonsIndex : OrgsIndex].isEmpty();
}

void TFrmMain::loadPersons(QProgressBar *bar)
{
    const int barStart = bar ? bar->value() : 0;
    SetStatusText(0, PersonsCountText.toString() + QString::number(0));
    m_tableProblems[PersonsIndex].clear();
    m_tableRecords[PersonsIndex] = -1;
    const bool loaded = readTable(PersonsIndex, [&] {
        m_tFullFiz.Close();
        m_tFullFiz.SetTableName(PersonsTable.toString());
        m_tFullFiz.Open();
        if (!m_tFullFiz.Warnings().isEmpty())
            m_loadMessages.append(DamageText(PersonsTable, m_tFullFiz.Warnings()));
        m_tableRecords[PersonsIndex] = m_tFullFiz.RecordCount();
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
    // A list still being built for the files read before is stopped, its result unseen.
    ++m_orgGeneration;
    DropBuild(m_orgBuild);
    m_qFullPred.Close();
    ShowEmptyGrid(*m_sgFullPred, GridLayout::Organisations);
    SetStatusText(1, OrgPhonesCountText.toString() + QString::number(0));
    m_tableProblems[OrgsIndex].clear();
    m_tableRecords[OrgsIndex] = -1;
    const bool counted = readTable(OrgsIndex, [&] {
        // Every number of an organisation counts once: the table's own rows.
        // The table cursor counts them without building a result of every
        // field of every row, as "SELECT * FROM sp09pr_n" would.
        TableCursor orgPhones;
        orgPhones.SetDirectory(m_paths.tables);
        orgPhones.SetTableName(OrgsTable.toString());
        orgPhones.Open();
        if (!orgPhones.Warnings().isEmpty())
            m_loadMessages.append(DamageText(OrgsTable, orgPhones.Warnings()));
        m_tableRecords[OrgsIndex] = orgPhones.RecordCount();
        SetStatusText(1, OrgPhonesCountText.toString() + QString::number(orgPhones.RecordCount()));
        orgPhones.Close();
    }, NotLoaded(QStringLiteral("Список организаций"), OrgsTable));
    if (bar)
        Advance(bar, barStart + SplashSteps / 2 - bar->value());
    if (!counted) {
        setOrgListWaitCursor(false);
        return;
    }

    // The distinct list takes a while on a large directory: it is built on a
    // connection of its own on a worker thread, which shares nothing with
    // this one but the table files mapped read-only, while the window shows.
    m_orgBuild = StartBuild(
        this,
        [directory = m_paths.tables, sql = OrgListSql.toString()](const StopCheck &stop) {
            Query list;
            list.SetDirectory(directory);
            list.AddSql(sql);
            list.Open(stop);
            return list;
        },
        [this](auto *build) {
            if (build == m_orgBuild)
                finishOrgList();
        });
}

void TFrmMain::WaitForOrgList()
{
    if (!m_orgBuild)
        return;
    m_orgBuild->waitForFinished();
    finishOrgList();
}

void TFrmMain::finishOrgList()
{
    BuildWatcher<Query> *build = std::exchange(m_orgBuild, nullptr);
    Built<Query> built = build->result();
    build->deleteLater();
    const int generation = m_orgGeneration;
    const bool loaded = ReportErrors(this, [&] {
        m_qFullPred = built.get();
        if (m_qFullPred.RecordCount() == 0) {
            ShowEmptyGrid(*m_sgFullPred, GridLayout::Organisations);
            return;
        }
        FillOrgGridPaged(*m_sgFullPred, m_qFullPred);
    }, NotLoaded(QStringLiteral("Список организаций"), OrgsTable));
    // The message box let events through: a reload meanwhile owns the list now.
    if (generation != m_orgGeneration)
        return;
    if (!loaded) {
        m_qFullPred.Close();
        ShowEmptyGrid(*m_sgFullPred, GridLayout::Organisations);
        m_tableProblems[OrgsIndex] = QStringLiteral("не прочитан");
        updateTabCommands();
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
