#pragma once
// DirectorySession: the directory as the windows share it. It owns the three
// datasets (the individuals' table TFullFiz, the organisation list QFullPred,
// the current search QTemp), knows which side and page the main window shows,
// holds the last search's outcome and the counts of both tables, runs the
// recovery of an interrupted update and every reload (the organisation list
// built in the background, a new edition noticed in the folder), and says
// what changed by its signals. GUI-free: the windows follow its signals and
// ask it, never one another.

#include "Dataset.h"
#include "DatabaseError.h"
#include "SearchOutcome.h"
#include "TableFiles.h"
#include "UpdateSwap.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>

namespace phonebook {

class DbfTable;
template <typename T>
class BuildWatcher;

namespace update {
class EditionWatcher;
}

// The two sides of the directory.
enum class DirectorySide { Persons, Orgs };

// What the main window's selected tab shows: a side's list (or a search made
// on it), the organisation page with one organisation's numbers, or nothing
// (the selected organisation page was removed and no tab is selected yet).
enum class DirectoryPage { Persons, Orgs, Organisation, None };

// Rows of each table as the status bar counts them; 0 for a table not read.
struct DirectoryCounts {
    int persons = 0;
    int orgPhones = 0;
    bool operator==(const DirectoryCounts &) const = default;
};

// How reading one table went: the error that left its list empty, and what a
// damaged but readable file lacks.
struct TableLoad {
    std::optional<DatabaseError> error;
    QStringList warnings;
};

class DirectorySession : public QObject {
    Q_OBJECT

public:
    // The tables are looked for in `tablesFolder`; nothing is read until Reload().
    explicit DirectorySession(QString tablesFolder, QObject *parent = nullptr);
    // Stops the organisation list still being built and waits for it.
    ~DirectorySession() override;

    const QString &TablesFolder() const { return m_tables; }

    // Opens both table files on a worker now (counting a large table's
    // records is the longest step of the start-up), while the windows are
    // made; the next Reload() takes the tables from it, waiting for it if
    // need be. A table it could not open (or whose file changed since) is
    // opened again by Reload(), which reports why. The first Reload() does
    // not wait for it: it shows the individuals' first records at once
    // (PersonsPreviewed) and loads the lists when the tables are counted.
    // `whileOpening`, when given, runs on the worker first (tests hold the
    // opening with it).
    void OpenTablesAhead(std::function<void()> whileOpening = {});
    // Whether the lists are still to be loaded, by a Reload() waiting for the
    // tables opened ahead: ListsReloaded follows.
    bool LoadPending() const { return m_previewing; }

    TableCursor &TFullFiz() { return m_tFullFiz; }
    Query &QFullPred() { return m_qFullPred; }
    Query &QTemp() { return m_qTemp; }
    const Query &QFullPred() const { return m_qFullPred; }
    const Query &QTemp() const { return m_qTemp; }

    // --- what is shown --------------------------------------------------------
    DirectoryPage Page() const { return m_page; }
    // The side of the page: the organisation page (and none) are on the organisations side.
    DirectorySide Side() const { return m_page == DirectoryPage::Persons ? DirectorySide::Persons : DirectorySide::Orgs; }
    // Asks for a side's full list (a menu item, a tab, the update dialog):
    // the page becomes that side's and SideChanged is emitted, also when it
    // already was (the full list comes back over a search result).
    void ShowSide(DirectorySide side);
    // The main window says which page its selected tab shows now.
    void SetPage(DirectoryPage page) { m_page = page; }

    // --- the current search ---------------------------------------------------
    // Hands a search's outcome (run on QTemp) to whoever shows it: it becomes
    // the current result and ResultChanged is emitted. A cancelled search
    // changes nothing.
    void Present(const search::SearchOutcome &outcome);
    // The outcome presented last; a default one before any.
    const search::SearchOutcome &Result() const { return m_result; }

    // --- loading ----------------------------------------------------------------
    // Reads both tables again: finishes or undoes an update that was
    // interrupted (UpdateRecovered, when it had something to say), opens the
    // individuals' table and counts both, forgets the quick search's and the
    // streets' lists (ListsReloaded), and builds the organisation list on a
    // worker (OrgListBuilt when it is there; a build still running for the
    // files read before is dropped unseen). Resumes the folder watch. The
    // start-up's first Reload() may show the first records before that (see
    // OpenTablesAhead).
    void Reload();
    // How reading each table went at the last Reload().
    const TableLoad &PersonsLoad() const { return m_personsLoad; }
    const TableLoad &OrgsLoad() const { return m_orgsLoad; }
    // The organisation list's build failed, or its list could not be shown: why.
    const std::optional<DatabaseError> &OrgListError() const { return m_orgListError; }
    const DirectoryCounts &Counts() const { return m_counts; }
    // The individuals' list could not be shown after all: its dataset closes,
    // its count becomes 0.
    void DropPersons();
    // The same for the organisation list (its count of numbers stays).
    void DropOrgList();

    // Whether the organisation list is still being built; QFullPred is closed meanwhile.
    bool OrgListPending() const { return m_orgBuild != nullptr; }
    // Waits for the organisation list being built; OrgListBuilt is emitted before it returns.
    void WaitForOrgList();
    // Counts the reloads: a handler that let events through compares it
    // before and after to know whether a reload took over meanwhile.
    int Generation() const { return m_generation; }

    // Lets go of every table (closes the three datasets) and pauses the folder
    // watch, so that an update can set the files aside; Reload() takes them up again.
    void ReleaseTables();

    // Watches the folder: a new edition copied in by hand (both tables changed
    // and settled) is loaded with Reload(), then NewEditionLoaded is emitted.
    void WatchFolder();
    // The watch, once WatchFolder() started it (tests shorten its settle time).
    update::EditionWatcher *FolderWatch() const { return m_watch; }

signals:
    // An interrupted update was finished or undone before the tables were read.
    void UpdateRecovered(const update::RestoreReport &report);
    // Both tables were read again (the organisation list is still being built):
    // whatever shows the directory reloads.
    void ListsReloaded(const DirectoryCounts &counts);
    // The first Reload() of a start-up, while the tables are still counted:
    // TFullFiz() holds the individuals' first records only, the counts are
    // not known yet. ListsReloaded follows.
    void PersonsPreviewed();
    // The organisation list is built: QFullPred holds it, or OrgListError() says why not.
    void OrgListBuilt();
    // ShowSide() was asked for.
    void SideChanged(DirectorySide side);
    // A search's outcome was presented (Present()).
    void ResultChanged(const search::SearchOutcome &outcome);
    // A new edition noticed by the folder watch was loaded.
    void NewEditionLoaded();

private:
    // Both tables opened ahead, by Table; null for one that could not be.
    using TablesAhead = std::array<std::shared_ptr<const DbfTable>, 2>;

    // The table opened ahead for `table`, once; null when there is none to use.
    std::shared_ptr<const DbfTable> takeAhead(Table table);
    void loadPersons();
    // TFullFiz() on the first records of the individuals' table; false when
    // they cannot be read so (the whole load will say why).
    bool previewPersons();
    // Reload() after recovery: both tables read, the lists started.
    void loadLists();
    bool countOrgPhones();
    void startOrgList();
    void finishOrgList();

    QString m_tables;
    TableCursor m_tFullFiz;
    Query m_qFullPred;
    Query m_qTemp;
    DirectoryPage m_page = DirectoryPage::Persons;
    search::SearchOutcome m_result;
    DirectoryCounts m_counts;
    TableLoad m_personsLoad;
    TableLoad m_orgsLoad;
    std::optional<DatabaseError> m_orgListError;
    BuildWatcher<Query> *m_orgBuild = nullptr;
    BuildWatcher<TablesAhead> *m_ahead = nullptr;
    TablesAhead m_aheadTables;
    bool m_previewAllowed = false; // the next Reload() may preview
    bool m_previewing = false;     // a Reload() waits for the tables opened ahead
    int m_generation = 0;
    update::EditionWatcher *m_watch = nullptr;
};

} // namespace phonebook
