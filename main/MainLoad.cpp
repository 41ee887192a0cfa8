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
#include "TableFiles.h"

#include <QApplication>
#include <QMessageBox>
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

QString PersonsNotLoaded() { return NotLoaded(QStringLiteral("Список физических лиц"), PersonsTable); }
QString OrgsNotLoaded() { return NotLoaded(QStringLiteral("Список организаций"), OrgsTable); }

// What a load has to tell, gathered into one message box when it ends.
class LoadMessages {
public:
    // A list that could not be read: what it is, then why.
    void Fail(const QString &what, const QString &text)
    {
        m_texts.append(what + u'\n' + text);
        m_failed = true;
    }
    // A table that opened with faults (cut short, a header that disagrees
    // with its records) shows what could be read; the user is told what is wrong.
    void Damage(QStringView table, const QStringList &warnings)
    {
        if (!warnings.isEmpty())
            m_texts.append(QStringLiteral("Файл %1.dbf повреждён, показано то, что удалось прочесть.\n\n%2")
                               .arg(table, warnings.join(u'\n')));
    }
    QString Text() const { return m_texts.join(QStringLiteral("\n\n")); }
    void Show(QWidget *parent) const
    {
        if (!m_texts.isEmpty())
            Dialogs::ShowMessage(parent, Text(), m_failed ? QMessageBox::Critical : QMessageBox::Warning);
    }

private:
    QStringList m_texts;
    bool m_failed = false;
};

// Moves the bar to `value`, the steps of the lists written so far.
void AdvanceTo(QProgressBar *bar, int value)
{
    if (bar)
        bar->setValue(std::max(bar->value(), value));
}

constexpr int PersonsIndex = 0;
constexpr int OrgsIndex = 1;

} // namespace

bool TFrmMain::TableRead(QStringView table) const
{
    return m_tableProblems[table == PersonsTable ? PersonsIndex : OrgsIndex].isEmpty();
}

void TFrmMain::noteTableLoad(int table, const TableLoad &load, int records)
{
    const auto index = static_cast<size_t>(table);
    if (!load.error) {
        m_tableProblems[index].clear();
        m_tableRecords[index] = records;
        return;
    }
    // A missing file is the common case (a folder without a directory): the page says it shortly.
    const QStringView base = table == PersonsIndex ? PersonsTable : OrgsTable;
    const Result<QString> found = FindTableFile(m_session->TablesFolder(), base);
    m_tableProblems[index] = found && found.Value().isEmpty() ? QStringLiteral("не найден") : load.error->message();
    m_tableRecords[index] = -1;
}

void TFrmMain::onPersonsPreviewed()
{
    // The first records while the tables are counted; the counts come with the lists.
    ShowEmptyGrid(*m_sgFullPred, GridLayout::Organisations);
    SetStatusText(0, PersonsCountText.toString());
    SetStatusText(1, OrgPhonesCountText.toString());
    try {
        FillPersonGridPaged(*m_sgFullFiz, TFullFiz(), nullptr);
        m_previewShown = true;
    } catch (const std::exception &error) {
        // The whole table is read next, and what is wrong with it reported then.
        qWarning("The first records of the individuals were not shown: %s", error.what());
        ShowEmptyGrid(*m_sgFullFiz, GridLayout::Persons);
    }
}

void TFrmMain::onListsReloaded(const DirectoryCounts &counts)
{
    QProgressBar *bar = m_loadBar;
    const int generation = m_session->Generation();
    const bool afterPreview = std::exchange(m_previewShown, false);
    // The organisation list is empty until its build is there.
    ShowEmptyGrid(*m_sgFullPred, GridLayout::Organisations);
    SetStatusText(0, PersonsCountText.toString() + QString::number(counts.persons));
    SetStatusText(1, OrgPhonesCountText.toString() + QString::number(counts.orgPhones));

    const TableLoad &persons = m_session->PersonsLoad();
    const TableLoad &orgs = m_session->OrgsLoad();
    noteTableLoad(PersonsIndex, persons, counts.persons);
    noteTableLoad(OrgsIndex, orgs, counts.orgPhones);
    // One message for the whole load, however many tables it concerns.
    LoadMessages messages;
    if (persons.error)
        messages.Fail(PersonsNotLoaded(), persons.error->fullText());
    messages.Damage(PersonsTable, persons.warnings);
    bool shown = !persons.error;
    if (shown) {
        try {
            // Where the user went in the first records shown, the same records now.
            const int previewRow = afterPreview ? m_sgFullFiz->Row() : 0;
            const int previewCol = m_sgFullFiz->Col();
            if (TFullFiz().RecordCount() == 0)
                ShowEmptyGrid(*m_sgFullFiz, GridLayout::Persons);
            else
                FillPersonGridPaged(*m_sgFullFiz, TFullFiz(), bar); // a null bar counts nothing
            if (previewRow > 1)
                m_sgFullFiz->SetCurrentCell(previewCol, previewRow);
        } catch (const DatabaseError &error) {
            shown = false;
            messages.Fail(PersonsNotLoaded(), error.fullText());
            m_tableProblems[PersonsIndex] = error.message();
        } catch (const std::exception &error) {
            shown = false;
            messages.Fail(PersonsNotLoaded(), QString::fromLocal8Bit(error.what()));
            m_tableProblems[PersonsIndex] = QString::fromLocal8Bit(error.what());
        }
    }
    if (!shown) {
        // The count is of the list shown, which stays empty.
        m_session->DropPersons();
        SetStatusText(0, PersonsCountText.toString() + QString::number(0));
        ShowEmptyGrid(*m_sgFullFiz, GridLayout::Persons);
    }
    // The bar counts each list's first page as written, whatever it held.
    AdvanceTo(bar, SplashSteps / 2);

    if (orgs.error)
        messages.Fail(OrgsNotLoaded(), orgs.error->fullText());
    messages.Damage(OrgsTable, orgs.warnings);
    AdvanceTo(bar, SplashSteps);
    // A reload that finds the same faults (an update that changed nothing, say)
    // does not repeat them: the page in the list's place still says so.
    // A message box lets events through: a reload meanwhile shows its own lists.
    const QString said = std::exchange(m_loadMessage, messages.Text());
    if (m_loadMessage != said)
        messages.Show(this);
    if (generation != m_session->Generation())
        return;
    if (orgs.error)
        setOrgListWaitCursor(false);
    updateTabCommands(); // the page too
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
