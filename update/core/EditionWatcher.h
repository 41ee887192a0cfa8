#pragma once
// Notices a new edition of the directory copied into its folder by hand.
// GUI-free: the main window reloads its lists when told.

#include "FileEdition.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <chrono>

namespace phonebook::update {

// How long both table files must stay unchanged before they are read.
inline constexpr std::chrono::milliseconds SettleTime = std::chrono::seconds(1);

class EditionWatcher : public QObject {
    Q_OBJECT

public:
    // Watches `directory`; the tables there now count as the edition loaded.
    explicit EditionWatcher(const QString &directory, QObject *parent = nullptr);

    void SetSettleTime(std::chrono::milliseconds time) { m_settle.setInterval(time); }
    // While paused (during an update the program runs itself), changes are
    // ignored; resuming takes the tables found then as the edition loaded.
    void Pause();
    void Resume();

signals:
    // Both tables changed, stayed unchanged for the settle time and open
    // soundly: the lists should be read again.
    void NewEdition();
    // A change stayed for the settle time but a table is missing or not
    // sound: it is not taken (nor looked at again until the files change).
    void Rejected();

private:
    // Which file holds a table, and its edition; empty when it is missing.
    struct FileStamp {
        QString path;
        FileEdition edition;
        bool operator==(const FileStamp &) const = default;
    };
    using Stamp = std::array<FileStamp, 2>;

    Stamp current() const;
    void onChange();
    void onSettled();
    void rewatch();

    QString m_directory;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    Stamp m_loaded;   // the edition the lists show
    Stamp m_pending;  // what was seen when the settle time began
    Stamp m_rejected; // a settled edition that did not open soundly
    bool m_paused = false;
};

} // namespace phonebook::update
