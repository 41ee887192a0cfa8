#include "DirectorySession.h"

#include "BackgroundBuild.h"
#include "DbfTable.h"
#include "EditionWatcher.h"
#include "OrgSearch.h"
#include "TableFiles.h"

#include <exception>
#include <utility>

namespace phonebook {

namespace {

// The individuals' records shown before the table is counted: more than a
// maximised window's first page at the smallest zoom.
constexpr uint32_t PreviewRecords = 256;

// Runs body(); a failure becomes the error kept for the window to report.
template <typename Body>
std::optional<DatabaseError> Attempt(Body &&body)
{
    try {
        body();
        return std::nullopt;
    } catch (const DatabaseError &error) {
        return error;
    } catch (const std::exception &error) {
        return DatabaseError(QString::fromLocal8Bit(error.what()));
    }
}

} // namespace

DirectorySession::DirectorySession(QString tablesFolder, QObject *parent)
    : QObject(parent)
    , m_tables(std::move(tablesFolder))
{
    for (Dataset *data : {static_cast<Dataset *>(&m_tFullFiz), static_cast<Dataset *>(&m_qFullPred),
                          static_cast<Dataset *>(&m_qTemp)})
        data->SetDirectory(m_tables);
}

DirectorySession::~DirectorySession()
{
    StopBuilds(this);
}

void DirectorySession::OpenTablesAhead(std::function<void()> whileOpening)
{
    if (m_ahead)
        return;
    m_previewAllowed = true;
    m_ahead = StartBuild(
        this,
        [directory = m_tables, whileOpening = std::move(whileOpening)](const StopCheck &) {
            if (whileOpening)
                whileOpening();
            TablesAhead tables;
            for (const Table table : Tables) {
                try {
                    const phonebook::Result<QString> path = FindTableFile(directory, TableName(table));
                    if (path && !path.Value().isEmpty())
                        tables[static_cast<size_t>(table)] = DbfTable::open(path.Value());
                } catch (const std::exception &error) {
                    // Opened again, and the failure reported, when the lists are read.
                    qWarning("The table %s was not opened ahead: %s", qUtf8Printable(TableName(table).toString()),
                             error.what());
                }
            }
            return tables;
        },
        [this](auto *build) {
            // The Reload() that showed the first records loads the lists now.
            if (build == m_ahead && std::exchange(m_previewing, false))
                loadLists();
        });
}

std::shared_ptr<const DbfTable> DirectorySession::takeAhead(Table table)
{
    if (m_ahead) {
        BuildWatcher<TablesAhead> *ahead = std::exchange(m_ahead, nullptr);
        ahead->waitForFinished();
        m_aheadTables = ahead->result().value;
        delete ahead;
    }
    std::shared_ptr<const DbfTable> opened = std::exchange(m_aheadTables[static_cast<size_t>(table)], nullptr);
    // A file replaced or changed since is read afresh.
    const phonebook::Result<QString> path = opened ? FindTableFile(m_tables, TableName(table)) : phonebook::Result<QString>(QString());
    const bool current = opened && opened->stillCurrent() && path && opened->path() == path.Value();
    return current ? opened : nullptr;
}

void DirectorySession::ShowSide(DirectorySide side)
{
    m_page = side == DirectorySide::Persons ? DirectoryPage::Persons : DirectoryPage::Orgs;
    emit SideChanged(side);
}

void DirectorySession::Present(const search::SearchOutcome &outcome)
{
    if (outcome.cancelled)
        return;
    m_result = outcome;
    emit ResultChanged(m_result);
}

void DirectorySession::Reload()
{
    ++m_generation;
    const update::RestoreReport restored = update::RecoverInterruptedUpdate(m_tables);
    if (!restored.messages.isEmpty())
        emit UpdateRecovered(restored);
    // Counting a large table's records takes longer than making the windows:
    // the start-up shows the first records meanwhile.
    m_previewing = false;
    if (std::exchange(m_previewAllowed, false) && m_ahead && !m_ahead->isFinished() && previewPersons()) {
        m_previewing = true;
        emit PersonsPreviewed();
        return;
    }
    loadLists();
}

bool DirectorySession::previewPersons()
{
    const phonebook::Result<QString> path = FindTableFile(m_tables, TableName(Table::Persons));
    if (!path || path.Value().isEmpty())
        return false;
    std::shared_ptr<const DbfTable> first = DbfTable::openFirst(path.Value(), PreviewRecords);
    if (!first)
        return false;
    m_personsLoad = {};
    m_counts = {};
    m_tFullFiz.Close();
    m_tFullFiz.SetTableName(PersonsTable.toString());
    m_tFullFiz.Open(std::move(first));
    return true;
}

void DirectorySession::loadLists()
{
    loadPersons();
    // A list still being built for the files read before is stopped, its result unseen.
    DropBuild(m_orgBuild);
    m_qFullPred.Close();
    m_orgListError.reset();
    const bool counted = countOrgPhones();
    if (counted)
        startOrgList();
    if (m_watch)
        m_watch->Resume();
    emit ListsReloaded(m_counts);
}

void DirectorySession::loadPersons()
{
    m_personsLoad = {};
    m_counts.persons = 0;
    m_tFullFiz.Close();
    m_personsLoad.error = Attempt([this] {
        m_tFullFiz.SetTableName(PersonsTable.toString());
        if (std::shared_ptr<const DbfTable> ahead = takeAhead(Table::Persons))
            m_tFullFiz.Open(std::move(ahead));
        else
            m_tFullFiz.Open();
        m_personsLoad.warnings = m_tFullFiz.Warnings();
        m_counts.persons = m_tFullFiz.RecordCount();
    });
    if (m_personsLoad.error)
        m_tFullFiz.Close();
}

bool DirectorySession::countOrgPhones()
{
    m_orgsLoad = {};
    m_counts.orgPhones = 0;
    m_orgsLoad.error = Attempt([this] {
        // Every number of an organisation counts once: the table's own rows.
        // The table cursor counts them without building a result of every
        // field of every row, as "SELECT * FROM sp09pr_n" would.
        TableCursor orgPhones;
        orgPhones.SetDirectory(m_tables);
        orgPhones.SetTableName(OrgsTable.toString());
        if (std::shared_ptr<const DbfTable> ahead = takeAhead(Table::Orgs))
            orgPhones.Open(std::move(ahead));
        else
            orgPhones.Open();
        m_orgsLoad.warnings = orgPhones.Warnings();
        m_counts.orgPhones = orgPhones.RecordCount();
    });
    return !m_orgsLoad.error;
}

void DirectorySession::startOrgList()
{
    // The distinct list takes a while on a large directory: it is built on a
    // connection of its own on a worker thread, which shares nothing with
    // this one but the table files mapped read-only, while the windows show.
    m_orgBuild = StartBuild(
        this,
        [directory = m_tables, sql = search::FullOrgListSql.toString()](const StopCheck &stop) {
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

void DirectorySession::WaitForOrgList()
{
    if (!m_orgBuild)
        return;
    m_orgBuild->waitForFinished();
    finishOrgList();
}

void DirectorySession::finishOrgList()
{
    BuildWatcher<Query> *build = std::exchange(m_orgBuild, nullptr);
    Built<Query> built = build->result();
    build->deleteLater();
    m_orgListError = Attempt([&] { m_qFullPred = std::move(built.get()); });
    if (m_orgListError)
        m_qFullPred.Close();
    emit OrgListBuilt();
}

void DirectorySession::DropPersons()
{
    m_tFullFiz.Close();
    m_counts.persons = 0;
}

void DirectorySession::DropOrgList()
{
    m_qFullPred.Close();
}

void DirectorySession::ReleaseTables()
{
    DropBuild(m_orgBuild);
    m_tFullFiz.Close();
    m_qFullPred.Close();
    m_qTemp.Close();
    if (m_watch)
        m_watch->Pause();
}

void DirectorySession::WatchFolder()
{
    if (m_watch)
        return;
    m_watch = new update::EditionWatcher(m_tables, this);
    connect(m_watch, &update::EditionWatcher::NewEdition, this, [this] {
        Reload();
        emit NewEditionLoaded();
    });
}

} // namespace phonebook
