#pragma once
// One update of the directory from an archive, step by step: take the update
// lock, finish an update that was interrupted, place the archive in the
// program directory, let the archive deliver new tables into a private
// staging folder (run there in a sandbox, or read with libarchive), then swap
// in each delivered table that opens soundly and holds what the program
// reads; a table not delivered soundly stays exactly as it was. GUI-free: the
// dialog and phonebook-update present it.
//
// An archive program runs under bubblewrap: its own PID namespace (every
// process it starts dies with it, setsid or not), the whole file system
// read-only but its staging folder, which is its working directory, no
// network, a new session. Where bubblewrap is missing or cannot start, it
// runs unconfined, the updater a child subreaper that kills every process
// the archive left before the tables are looked at; the outcome says so.

#include "UpdateFiles.h"
#include "PosixFile.h"
#include "UpdateLock.h"

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QSet>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

namespace phonebook::update {

// How long an archive may run before it is stopped, by default and at most.
inline constexpr std::chrono::milliseconds DefaultTimeLimit = std::chrono::minutes(10);
inline constexpr std::chrono::seconds MaxTimeLimit = std::chrono::hours(24);

// Kills the process group of the archive program running now, if any.
// Async-signal-safe: for the handlers of SIGINT, SIGTERM and SIGHUP.
void KillRunningArchive() noexcept;

struct UpdateOutcome {
    enum class Status {
        Replaced, // both tables replaced
        Kept,     // the archive ran, but one or both tables were kept
        Error,    // nothing replaced: the directory could not be written, the archive could not be
                  // placed, started or read, failed, or was stopped
    };
    Status status = Status::Error;
    bool delivered[2] = {false, false}; // by Table
    QString error;                      // what failed, for Status::Error
    QStringList details;                // an interrupted update finished first; why a delivered table was not taken
    bool noWriteAccess = false;         // the error is that the directory may not be written
    bool unconfined = false;            // an archive program ran without the sandbox (details says so)
    // What the user is told, in order: the error, then the message of each table kept.
    QStringList Messages() const;
};

// phonebook-update's last line on stderr: this prefix, then the outcome as
// one line of JSON, for a program that ran it as another process (through
// pkexec, say) and must not read its messages to learn what happened.
inline constexpr char OutcomeLinePrefix[] = "phonebook-update-result: ";
QByteArray OutcomeLine(const UpdateOutcome &outcome);
// The outcome from the last such line of `output`; nothing when there is none.
std::optional<UpdateOutcome> ParseOutcomeLine(const QByteArray &output);

class UpdateRun : public QObject {
    Q_OBJECT

public:
    explicit UpdateRun(const QString &directory, QObject *parent = nullptr);
    ~UpdateRun() override;

    void SetTimeLimit(std::chrono::milliseconds limit) { m_timeLimit = limit; }
    // Free space the update never writes into (MinFreeSpace unless tests say otherwise).
    void SetMinFreeSpace(qint64 bytes) { m_minFree = bytes; }
    // The bubblewrap program (found in PATH unless set); an empty or unusable
    // one runs archive programs without the sandbox.
    void SetSandboxProgram(const QString &path) { m_sandbox = path; }

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
    void watchStaging();
    // `error` not set: the archive delivered what it could.
    void archiveDone(const CoreError &error);
    void stopProgram();
    void install();
    // `error` not set: the update ran to its end.
    void end(const CoreError &error);
    // Kills and reaps every process the archive left (they are this process's
    // children, as its subreaper), until none is left.
    void killLeftovers();

    QString m_directory;
    std::chrono::milliseconds m_timeLimit = DefaultTimeLimit;
    qint64 m_minFree = MinFreeSpace;
    bool m_running = false;
    UpdateOutcome m_outcome;
    std::unique_ptr<UpdateLock> m_lock;
    QString m_staging;
    PosixFile m_stagingMarker; // locked while this update runs
    QString m_sandbox;
    bool m_ranProgram = false;
    QSet<qint64> m_ownChildren; // this process's children before the archive started
    QProcess *m_process = nullptr;
    qint64 m_processGroup = 0;
    PosixFile m_lifeline; // the writing end of the archive watchdog's pipe
    QObject *m_worker = nullptr; // the archive being read, when it is read here
    QTimer m_deadline;
    QTimer m_stagingWatch;
    std::atomic<bool> m_cancel = false;
    CoreError m_stopReason; // why the archive was stopped, once it was
};

} // namespace phonebook::update
