#include "EditionWatcher.h"

#include "TableFiles.h"
#include "UpdateFiles.h"


namespace phonebook::update {

EditionWatcher::EditionWatcher(const QString &directory, QObject *parent)
    : QObject(parent)
    , m_directory(directory)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleTime);
    connect(&m_settle, &QTimer::timeout, this, &EditionWatcher::onSettled);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &EditionWatcher::onChange);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &EditionWatcher::onChange);
    m_watcher.addPath(m_directory);
    m_loaded = current();
    rewatch();
}

void EditionWatcher::Pause()
{
    m_paused = true;
    m_settle.stop();
}

void EditionWatcher::Resume()
{
    m_paused = false;
    m_loaded = current();
    m_rejected = {};
    rewatch();
}

EditionWatcher::Stamp EditionWatcher::current() const
{
    Stamp stamp;
    for (Table table : Tables) {
        FileStamp &file = stamp[static_cast<size_t>(table)];
        // A table under two spellings is no edition to load: the readers refuse it.
        const Result<QString> found = FindTableFile(m_directory, TableBase(table));
        file.path = found ? found.Value() : QString();
        file.edition = FileEdition::At(file.path);
    }
    return stamp;
}

void EditionWatcher::rewatch()
{
    // A file replaced by a rename is a new file: watch it again.
    for (const FileStamp &file : current()) {
        if (!file.path.isEmpty() && !m_watcher.files().contains(file.path))
            m_watcher.addPath(file.path);
    }
}

void EditionWatcher::onChange()
{
    if (m_paused)
        return;
    rewatch();
    const Stamp now = current();
    if (now == m_loaded || now == m_rejected) {
        m_settle.stop();
        return;
    }
    m_pending = now;
    m_settle.start();
}

void EditionWatcher::onSettled()
{
    if (m_paused)
        return;
    const Stamp now = current();
    if (now != m_pending) {
        // Still being written.
        m_pending = now;
        m_settle.start();
        return;
    }
    if (now == m_loaded || now == m_rejected)
        return;
    for (const FileStamp &file : now) {
        if (file.path.isEmpty() || TableFault(file.path)) {
            m_rejected = now;
            emit Rejected();
            return;
        }
    }
    m_loaded = now;
    emit NewEdition();
}

} // namespace phonebook::update
