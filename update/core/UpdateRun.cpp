#include "UpdateRun.h"

#include "ArchiveReader.h"
#include "BackgroundBuild.h"
#include "PosixFile.h"
#include "UpdateSwap.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include "TableFiles.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace phonebook::update {

namespace {

// The archive program's process group while one runs; read by signal handlers.
std::atomic<pid_t> g_archiveGroup = 0;
static_assert(std::atomic<pid_t>::is_always_lock_free);

// Closes every descriptor above the standard three but `keep`.
void CloseAllBut(int keep) noexcept
{
#ifdef SYS_close_range
    if (::syscall(SYS_close_range, 3U, static_cast<unsigned>(keep - 1), 0U) == 0
        && ::syscall(SYS_close_range, static_cast<unsigned>(keep + 1), ~0U, 0U) == 0)
        return;
#endif
    for (int fd = 3; fd < 4096; ++fd) {
        if (fd != keep)
            ::close(fd);
    }
}

// Ends every process that works in `staging` or names it among its
// arguments, and says whether there was one. A sandbox's own first process
// can lose its parent before it has asked to die with it, and then lives on
// with the archive inside; it still names the folder. System calls only: it
// runs in a child forked from a process with threads.
bool KillWorkingIn(const char *staging, size_t length) noexcept
{
    const int proc = ::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (proc < 0)
        return false;
    const pid_t self = ::getpid();
    bool found = false;
    alignas(8) char entries[4096];
    char text[8192];
    for (;;) {
        const long got = ::syscall(SYS_getdents64, proc, entries, sizeof entries);
        if (got <= 0)
            break;
        for (long at = 0; at < got;) {
            const auto *entry = reinterpret_cast<const struct dirent64 *>(entries + at);
            at += entry->d_reclen;
            pid_t pid = 0;
            const char *c = entry->d_name;
            for (; *c >= '0' && *c <= '9'; ++c)
                pid = pid * 10 + (*c - '0');
            if (*c != '\0' || pid <= 0 || pid == self)
                continue;
            // "/proc/<pid>/cwd" and "/proc/<pid>/cmdline", written by hand.
            char path[48] = "/proc/";
            char digits[16];
            int n = 0;
            for (pid_t rest = pid; rest > 0; rest /= 10)
                digits[n++] = static_cast<char>('0' + rest % 10);
            size_t end = 6;
            while (n > 0)
                path[end++] = digits[--n];
            std::memcpy(path + end, "/cwd", 5);
            const ssize_t linked = ::readlink(path, text, sizeof text);
            bool ours = linked >= static_cast<ssize_t>(length) && std::memcmp(text, staging, length) == 0
                && (linked == static_cast<ssize_t>(length) || text[length] == '/' || text[length] == ' ');
            if (!ours) {
                std::memcpy(path + end, "/cmdline", 9);
                const int file = ::open(path, O_RDONLY | O_CLOEXEC);
                if (file >= 0) {
                    const ssize_t read = ::read(file, text, sizeof text);
                    ::close(file);
                    ours = read > 0 && ::memmem(text, static_cast<size_t>(read), staging, length) != nullptr;
                }
            }
            if (ours && ::kill(pid, SIGKILL) == 0)
                found = true;
        }
    }
    ::close(proc);
    return found;
}

// This process's children now, by process id.
QSet<qint64> Children()
{
    QSet<qint64> children;
    const qint64 self = ::getpid();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        // "pid (name) state ppid ...": the name may hold blanks and parentheses.
        const QList<QByteArray> words = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (words.size() > 1 && words[1].toLongLong() == self)
            children.insert(pid);
    }
    return children;
}

// The sandbox: the archive sees the file system read-only but its staging
// folder, which is its working directory and its TMPDIR.
QStringList SandboxArguments(const QString &staging, const QString &program)
{
    return {QStringLiteral("--unshare-all"), QStringLiteral("--die-with-parent"), QStringLiteral("--new-session"),
            QStringLiteral("--cap-drop"), QStringLiteral("ALL"),
            QStringLiteral("--ro-bind"), QStringLiteral("/"), QStringLiteral("/"),
            QStringLiteral("--dev"), QStringLiteral("/dev"), QStringLiteral("--proc"), QStringLiteral("/proc"),
            QStringLiteral("--bind"), staging, staging, QStringLiteral("--chdir"), staging,
            QStringLiteral("--setenv"), QStringLiteral("TMPDIR"), staging, QStringLiteral("--"), program};
}

// Whether the sandbox starts here (bubblewrap needs namespaces the system may refuse).
bool SandboxWorks(const QString &bwrap, const QString &staging)
{
    if (bwrap.isEmpty() || !QFileInfo(bwrap).isExecutable())
        return false;
    QProcess probe;
    probe.setProgram(bwrap);
    probe.setArguments(SandboxArguments(staging, QStringLiteral("true")));
    probe.setStandardInputFile(QProcess::nullDevice());
    probe.setStandardOutputFile(QProcess::nullDevice());
    probe.setStandardErrorFile(QProcess::nullDevice());
    probe.start();
    if (!probe.waitForFinished(10000)) {
        probe.kill();
        probe.waitForFinished();
        return false;
    }
    return probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
}

// A step's description for the user, in the language shown.
QString StepText(const char *source)
{
    return CoreError(source).Text();
}

} // namespace

void KillRunningArchive() noexcept
{
    const pid_t group = g_archiveGroup.load();
    if (group > 0)
        ::kill(-group, SIGKILL);
}

QStringList UpdateOutcome::Messages() const
{
    QStringList messages;
    if (!error.isEmpty())
        messages << error;
    for (Table table : Tables) {
        if (!delivered[static_cast<int>(table)])
            messages << NotUpdatedMessage(table).Text();
    }
    return messages;
}

namespace {

constexpr std::pair<UpdateOutcome::Status, QStringView> StatusNames[] = {
    {UpdateOutcome::Status::Replaced, u"replaced"},
    {UpdateOutcome::Status::Kept, u"kept"},
    {UpdateOutcome::Status::Error, u"error"},
};

} // namespace

QByteArray OutcomeLine(const UpdateOutcome &outcome)
{
    QJsonObject object;
    for (const auto &[status, name] : StatusNames) {
        if (status == outcome.status)
            object[QStringLiteral("status")] = name.toString();
    }
    QJsonArray delivered;
    for (Table table : Tables) {
        if (outcome.delivered[static_cast<int>(table)])
            delivered.append(TableBase(table));
    }
    object[QStringLiteral("replaced")] = delivered;
    object[QStringLiteral("error")] = outcome.error;
    object[QStringLiteral("details")] = QJsonArray::fromStringList(outcome.details);
    object[QStringLiteral("noWriteAccess")] = outcome.noWriteAccess;
    object[QStringLiteral("unconfined")] = outcome.unconfined;
    return QByteArray(OutcomeLinePrefix) + QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<UpdateOutcome> ParseOutcomeLine(const QByteArray &output)
{
    const QList<QByteArray> lines = output.split('\n');
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        if (!line->startsWith(OutcomeLinePrefix))
            continue;
        const QJsonDocument document = QJsonDocument::fromJson(line->mid(qsizetype(sizeof OutcomeLinePrefix) - 1));
        if (!document.isObject())
            return std::nullopt;
        const QJsonObject object = document.object();
        UpdateOutcome outcome;
        bool known = false;
        for (const auto &[status, name] : StatusNames) {
            if (object.value(QStringLiteral("status")).toString() == name) {
                outcome.status = status;
                known = true;
            }
        }
        if (!known)
            return std::nullopt;
        const QJsonArray delivered = object.value(QStringLiteral("replaced")).toArray();
        for (Table table : Tables)
            outcome.delivered[static_cast<int>(table)] = delivered.contains(TableBase(table));
        outcome.error = object.value(QStringLiteral("error")).toString();
        for (const QJsonValue &detail : object.value(QStringLiteral("details")).toArray())
            outcome.details << detail.toString();
        outcome.noWriteAccess = object.value(QStringLiteral("noWriteAccess")).toBool();
        outcome.unconfined = object.value(QStringLiteral("unconfined")).toBool();
        return outcome;
    }
    return std::nullopt;
}

UpdateRun::UpdateRun(const QString &directory, QObject *parent)
    : QObject(parent)
    , m_directory(QFileInfo(directory).absoluteFilePath())
    , m_sandbox(QStandardPaths::findExecutable(QStringLiteral("bwrap")))
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(m_timeLimit).count();
        m_stopReason = minutes > 0
            ? CoreError(CoreMessage("The archive did not finish within %1 min and was stopped."), {QString::number(minutes)})
            : CoreError(CoreMessage("The archive did not finish within %1 s and was stopped."),
                        {QString::number(std::chrono::duration_cast<std::chrono::seconds>(m_timeLimit).count())});
        stopProgram();
    });
    m_stagingWatch.setInterval(200);
    connect(&m_stagingWatch, &QTimer::timeout, this, &UpdateRun::watchStaging);
}

UpdateRun::~UpdateRun()
{
    m_cancel = true;
    if (m_process) {
        m_process->disconnect(this);
        stopProgram();
        m_process->waitForFinished(3000);
        killLeftovers();
    }
    m_worker = nullptr;
    StopBuilds(this); // an archive being read stops; its result is not used
    // The live tables are untouched until the swap, which runs to its end
    // once begun; what is left in the staging folder goes at the next update
    // or opening of the directory.
}

void UpdateRun::Start(const QString &archive)
{
    if (m_running)
        return;
    m_running = true;
    m_outcome = {};
    m_cancel = false;
    m_ranProgram = false;
    m_stopReason = {};

    if (const Result<void> writable = CheckWritable(m_directory); !writable) {
        m_outcome.noWriteAccess = true;
        end(writable.Error());
        return;
    }
    m_lock = std::make_unique<UpdateLock>(m_directory);
    if (m_lock->state() == UpdateLock::State::Busy) {
        end(CoreError(CoreMessage("An update is already running in the folder %1."), {QDir::toNativeSeparators(m_directory)}));
        return;
    }
    if (!m_lock->held()) {
        const int error = m_lock->error();
        m_outcome.noWriteAccess = error == EACCES || error == EPERM || error == EROFS;
        end(m_outcome.noWriteAccess ? NoWriteAccessMessage(m_directory)
                                    : CoreError(CoreMessage("Cannot begin the update in %1: %2."),
                                                {QDir::toNativeSeparators(m_directory), FileError(error).Text()}));
        return;
    }
    // The directory is made whole first, should an earlier update have been cut short.
    const RestoreReport restored = RecoverLocked(m_directory);
    m_outcome.details << restored.messages;
    if (restored.failed) {
        end(CoreError(CoreMessage("The previous update could not be finished; the new one was not begun.")));
        return;
    }
    // A table under two spellings: which one is live cannot be told, so nothing is replaced.
    for (Table table : Tables) {
        if (const Result<QString> live = FindTableFile(m_directory, TableFileName(table)); !live) {
            end(live.Error());
            return;
        }
    }

    CoreError error;
    m_staging = CreateStaging(m_directory, &error, &m_stagingMarker);
    if (m_staging.isEmpty()) {
        end(error);
        return;
    }
    emit Step(StepText(CoreMessage("Copying the archive")));
    emit Progress(0);
    const PlacedArchive placed = PlaceArchive(archive, m_directory, m_minFree, m_staging);
    if (placed.error.IsSet()) {
        end(placed.error);
        return;
    }
    emit Progress(100);
    if (ArchiveKindOf(placed.path) == ArchiveKind::Program)
        runProgram(placed.path);
    else
        extract(placed.path);
}

void UpdateRun::runProgram(const QString &archive)
{
    m_ranProgram = true;
    const bool sandboxed = SandboxWorks(m_sandbox, m_staging);
    if (!sandboxed) {
        m_outcome.unconfined = true;
        m_outcome.details << CoreError(CoreMessage("The archive ran without isolation: the program bwrap (package "
                                                   "bubblewrap) was not found or does not start here. Whatever the "
                                                   "archive left running has been stopped."))
                                 .Text();
    }
    emit Step(sandboxed ? StepText(CoreMessage("Unpacking the archive"))
                        : StepText(CoreMessage("Unpacking the archive (without isolation)")));
    emit Progress(-1);
    // Whatever the archive starts and leaves behind becomes this process's
    // child, to be found and ended once the archive is done.
    m_ownChildren = Children();
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    // An archive copied without its execute permission is still meant to run
    // (a file outside the folder, reached through a link, is left as it is).
    if (QFileInfo(archive).absolutePath() == QFileInfo(m_directory).canonicalFilePath())
        QFile::setPermissions(archive, QFile::permissions(archive) | QFileDevice::ExeOwner | QFileDevice::ExeUser);

    m_process = new QProcess(this);
    if (sandboxed) {
        m_process->setProgram(m_sandbox);
        m_process->setArguments(SandboxArguments(m_staging, QFileInfo(archive).absoluteFilePath()));
    } else {
        m_process->setProgram(archive);
    }
    // The archive writes the tables into its working directory: the staging
    // folder, where nothing it does can touch the live tables.
    m_process->setWorkingDirectory(m_staging);
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setStandardOutputFile(QProcess::nullDevice());
    m_process->setStandardErrorFile(QProcess::nullDevice());
    // The watchdog below learns that the update has ended, however it ended,
    // when the last writing end of this pipe closes: only the updater keeps one.
    int pipe[2] = {-1, -1};
    if (::pipe2(pipe, O_CLOEXEC) != 0) {
        archiveDone(CoreError(CoreMessage("Cannot start the archive: %1."), {FileError(errno).Text()}));
        return;
    }
    m_lifeline = PosixFile(pipe[1]);
    const int watchEnd = pipe[0];
    const pid_t updater = ::getpid();
    const QByteArray staging = QFile::encodeName(m_staging);
    m_process->setChildProcessModifier([watchEnd, updater, staging] {
        // Its own process group, so that stopping it stops whatever it started,
        // and killed with the updater, however the updater ends.
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != updater)
            ::_exit(127);
        // A watchdog in the group waits for the updater's end (even by
        // SIGKILL, which no handler sees) and then ends the group,
        // grandchildren too.
        if (::fork() == 0) {
            CloseAllBut(watchEnd);
            char byte = 0;
            while (::read(watchEnd, &byte, 1) < 0 && errno == EINTR) {
            }
            // Whatever still works in the staging folder, outside the group
            // too, until none has been seen for a moment.
            for (int quiet = 0, round = 0; quiet < 3 && round < 500; ++round) {
                quiet = KillWorkingIn(staging.constData(), static_cast<size_t>(staging.size())) ? 0 : quiet + 1;
                struct timespec pause {0, 20'000'000};
                ::nanosleep(&pause, nullptr);
            }
            ::kill(0, SIGKILL);
            ::_exit(0);
        }
    });
    connect(m_process, &QProcess::started, this, [this] {
        m_processGroup = m_process->processId();
        g_archiveGroup = static_cast<pid_t>(m_processGroup);
    });
    connect(m_process, &QProcess::errorOccurred, this, [this, archive](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        archiveDone(CoreError(CoreMessage("Cannot start the archive %1: %2"),
                              {QDir::toNativeSeparators(archive), m_process->errorString()}));
    });
    connect(m_process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        if (m_stopReason.IsSet())
            archiveDone(m_stopReason);
        else if (status == QProcess::CrashExit)
            archiveDone(CoreError(CoreMessage("The archive crashed.")));
        else if (code != 0)
            archiveDone(CoreError(CoreMessage("The archive ended with an error (code %1)."), {QString::number(code)}));
        else
            archiveDone(CoreError());
    });
    m_deadline.start(m_timeLimit);
    m_stagingWatch.start();
    m_process->start();
    ::close(watchEnd);
}

void UpdateRun::extract(const QString &archive)
{
    emit Step(StepText(CoreMessage("Unpacking the archive")));
    emit Progress(0);
    const QString staging = m_staging;
    const qint64 minFree = m_minFree;
    m_worker = StartBuild(
        this,
        [this, archive, staging, minFree](const StopCheck &stop) {
            const auto stopped = [this, &stop] { return m_cancel.load() || stop(); };
            const auto progress = [this](int percent) {
                QMetaObject::invokeMethod(this, [this, percent] { emit Progress(percent); }, Qt::QueuedConnection);
            };
            return ExtractTables(archive, staging, stopped, progress, minFree);
        },
        [this](BuildWatcher<Extraction> *watcher) {
            if (watcher != m_worker)
                return;
            m_worker = nullptr;
            watcher->deleteLater();
            CoreError error;
            try {
                const Extraction extraction = watcher->result().get();
                error = extraction.error;
                for (const CoreError &fault : extraction.faults)
                    m_outcome.details << fault.Text();
            } catch (const std::exception &e) {
                error = CoreError::AsWritten(QString::fromLocal8Bit(e.what()));
            }
            archiveDone(m_stopReason.IsSet() ? m_stopReason : error);
        });
    m_deadline.start(m_timeLimit);
}

void UpdateRun::watchStaging()
{
    // A program archive is not ours to bound while it writes; it is stopped
    // before it fills the disk or writes a table no reader would take.
    const qint64 free = FreeSpace(m_staging);
    if (free >= 0 && free < m_minFree) {
        m_stopReason = CoreError(CoreMessage("Less than %1 MB is left on the disk; the archive was stopped and the "
                                             "tables were left as they were."),
                                 {QString::number(std::max<qint64>(1, m_minFree >> 20))});
        stopProgram();
        return;
    }
    const QFileInfoList files = QDir(m_staging).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &file : files) {
        if (file.size() > MaxTableSize) {
            m_stopReason = CoreError(CoreMessage("The archive wrote a file %1 larger than 4 GB; the archive was stopped "
                                                 "and the tables were left as they were."),
                                     {file.fileName()});
            stopProgram();
            return;
        }
    }
}

void UpdateRun::Cancel()
{
    if (!m_running || (!m_process && !m_worker))
        return;
    m_stopReason = CoreError(CoreMessage("The update was interrupted by the user."));
    stopProgram();
}

void UpdateRun::stopProgram()
{
    m_cancel = true;
    m_stagingWatch.stop();
    if (m_processGroup > 0)
        ::kill(-static_cast<pid_t>(m_processGroup), SIGKILL);
    if (m_process && m_process->state() != QProcess::NotRunning)
        m_process->kill();
}

void UpdateRun::archiveDone(const CoreError &error)
{
    m_deadline.stop();
    m_stagingWatch.stop();
    if (m_process) {
        // Whatever the archive left running goes with it, its watchdog too.
        if (m_processGroup > 0)
            ::kill(-static_cast<pid_t>(m_processGroup), SIGKILL);
        g_archiveGroup = 0;
        m_processGroup = 0;
        m_lifeline.close();
        m_process->disconnect(this);
        m_process->deleteLater();
        m_process = nullptr;
        killLeftovers();
    }
    if (error.IsSet()) {
        end(error); // whatever a failed archive left is not taken
        return;
    }
    if (m_ranProgram) {
        // A program may have filled the disk between two looks of the watch.
        const qint64 free = FreeSpace(m_staging);
        if (free >= 0 && free < m_minFree) {
            end(CoreError(CoreMessage("Less than %1 MB is left on the disk; the tables were left as they were."),
                          {QString::number(std::max<qint64>(1, m_minFree >> 20))}));
            return;
        }
    }
    install();
}

void UpdateRun::killLeftovers()
{
    if (!m_ranProgram)
        return;
    // Each round ends the children found; their own children come to this
    // process in turn. A round that finds none ends it.
    for (int round = 0; round < 10000; ++round) {
        QSet<qint64> left = Children();
        left.subtract(m_ownChildren);
        if (left.isEmpty())
            break;
        for (qint64 pid : left)
            ::kill(static_cast<pid_t>(pid), SIGKILL);
        for (qint64 pid : left) {
            while (::waitpid(static_cast<pid_t>(pid), nullptr, 0) < 0 && errno == EINTR) {
            }
        }
    }
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}

void UpdateRun::install()
{
    emit Step(StepText(CoreMessage("Checking the tables")));
    std::vector<Table> sound;
    for (Table table : Tables) {
        const StagedTable staged = TakeStaged(m_staging, table, m_ranProgram, m_minFree);
        if (!staged.path.isEmpty())
            sound.push_back(table);
        else if (staged.fault.IsSet())
            m_outcome.details << staged.fault.Text();
    }
    if (!sound.empty() && !m_lock->StillAtPath()) {
        // Another update may have taken a new lock file meanwhile.
        end(CoreError(CoreMessage("The lock file %1 was removed or replaced during the update; the tables were left "
                                  "as they were. Run the update again."),
                      {QDir::toNativeSeparators(m_lock->path())}));
        return;
    }
    if (!sound.empty()) {
        emit Step(StepText(CoreMessage("Replacing the tables")));
        const SwapResult swapped = SwapIn(m_directory, m_staging, sound);
        for (Table table : Tables)
            m_outcome.delivered[static_cast<int>(table)] = swapped.swapped[static_cast<int>(table)];
        for (const CoreError &swapError : swapped.errors)
            m_outcome.details << swapError.Text();
    }
    end(CoreError());
}

void UpdateRun::end(const CoreError &error)
{
    if (!m_staging.isEmpty())
        RemoveStaging(m_staging);
    m_staging.clear();
    m_stagingMarker.close();
    // The outcome is read as text by the dialog and printed by the tool.
    m_outcome.error = error.IsSet() ? error.Text() : QString();
    if (error.IsSet())
        m_outcome.status = UpdateOutcome::Status::Error;
    else if (m_outcome.delivered[0] && m_outcome.delivered[1])
        m_outcome.status = UpdateOutcome::Status::Replaced;
    else
        m_outcome.status = UpdateOutcome::Status::Kept;
    m_lock.reset();
    m_running = false;
    emit Progress(0);
    emit Finished();
}

} // namespace phonebook::update
