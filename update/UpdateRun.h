#pragma once
// One update of the directory from an archive, step by step: place the
// archive in the program directory, set both tables aside, let the archive
// deliver new ones (run as a child process there, or read with libarchive),
// then keep each delivered table that opens soundly and put the old one back
// for any other. GUI-free: the dialog and phonebook-update present it.

#include "UpdateFiles.h"

#include <QElapsedTimer>
#include <QLockFile>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <memory>

namespace phonebook::update {

// How long an archive may run before it is stopped.
inline constexpr std::chrono::milliseconds DefaultTimeLimit = std::chrono::minutes(10);

struct UpdateOutcome {
    enum class Status {
        Replaced, // both tables replaced
        Kept,     // the archive ran, but one or both tables were kept
        Error,    // nothing replaced: the archive could not be placed, started or read, failed, or was stopped
    };
    Status status = Status::Error;
    bool delivered[2] = {false, false}; // by Table
    QString error;                      // what failed, for Status::Error
    QStringList details;                // why a table the archive delivered was not taken
    // What the user is told, in order: the error, then the message of each table kept.
    QStringList Messages() const;
};

class UpdateRun : public QObject {
    Q_OBJECT

public:
    explicit UpdateRun(const QString &directory, QObject *parent = nullptr);
    ~UpdateRun() override;

    void SetTimeLimit(std::chrono::milliseconds limit) { m_timeLimit = limit; }

    // Starts the update; returns at once. Finished() follows exactly once,
    // possibly before Start() returns.
    void Start(const QString &archive);
    // Stops a running archive; the tables are put back and Finished() follows.
    void Cancel();
    bool Running() const { return m_running; }
    const UpdateOutcome &Outcome() const { return m_outcome; }

signals:
    // A step begins: its description for the user.
    void Step(const QString &text);
    // Share of the current step done, 0 to 100; -1 while the archive runs on
    // its own and no share can be known.
    void Progress(int percent);
    void Finished();

private:
    void runProgram(const QString &archive);
    void extract(const QString &archive);
    void archiveDone(const QString &error);
    void stopProgram();
    void finish(const QString &error);

    QString m_directory;
    std::chrono::milliseconds m_timeLimit = DefaultTimeLimit;
    bool m_running = false;
    UpdateOutcome m_outcome;
    std::unique_ptr<QLockFile> m_lock;
    QProcess *m_process = nullptr;
    QThread *m_worker = nullptr;
    QTimer m_deadline;
    std::atomic<bool> m_cancel = false;
    QString m_stopReason;
};

} // namespace phonebook::update
