#include "UpdateRun.h"

#include "ArchiveReader.h"
#include "TableFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace phonebook::update {

QStringList UpdateOutcome::Messages() const
{
    QStringList messages;
    if (!error.isEmpty())
        messages << error;
    for (Table table : Tables) {
        if (!delivered[static_cast<int>(table)])
            messages << NotUpdatedMessage(table);
    }
    return messages;
}

UpdateRun::UpdateRun(const QString &directory, QObject *parent)
    : QObject(parent)
    , m_directory(QFileInfo(directory).absoluteFilePath())
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(m_timeLimit).count();
        m_stopReason = minutes > 0 ? QStringLiteral("Архив не закончил работу за %1 мин. и остановлен.").arg(minutes)
                                   : QStringLiteral("Архив не закончил работу за %1 с и остановлен.")
                                         .arg(std::chrono::duration_cast<std::chrono::seconds>(m_timeLimit).count());
        stopProgram();
    });
}

UpdateRun::~UpdateRun()
{
    m_cancel = true;
    if (m_process) {
        m_process->disconnect(this);
        if (m_process->state() != QProcess::NotRunning)
            ::kill(-static_cast<pid_t>(m_process->processId()), SIGKILL);
        m_process->kill();
        m_process->waitForFinished(3000);
    }
    if (m_worker) {
        m_worker->disconnect(this);
        m_worker->wait();
        delete m_worker;
    }
    // Tables still set aside are put back at the next opening of the directory.
}

void UpdateRun::Start(const QString &archive)
{
    if (m_running)
        return;
    m_running = true;
    m_outcome = {};
    m_cancel = false;
    m_stopReason.clear();

    // The directory is made whole first, should an earlier update have been cut short.
    RestoreSetAsideTables(m_directory);
    m_lock = std::make_unique<QLockFile>(QDir(m_directory).filePath(LockFileName.toString()));
    if (!m_lock->tryLock(0)) {
        m_lock.reset();
        m_outcome.error = QStringLiteral("В папке %1 уже идёт обновление.").arg(QDir::toNativeSeparators(m_directory));
        m_running = false;
        emit Finished();
        return;
    }

    emit Step(QStringLiteral("Копирование архива"));
    emit Progress(0);
    const PlacedArchive placed = PlaceArchive(archive, m_directory);
    if (!placed.error.isEmpty()) {
        // Nothing was set aside yet: the directory stays as it was.
        m_outcome.error = placed.error;
        m_lock.reset();
        m_running = false;
        emit Finished();
        return;
    }
    emit Progress(100);

    for (Table table : Tables) {
        if (const auto error = SetAside(m_directory, table)) {
            finish(*error);
            return;
        }
    }
    if (ArchiveKindOf(placed.path) == ArchiveKind::Program)
        runProgram(placed.path);
    else
        extract(placed.path);
}

void UpdateRun::runProgram(const QString &archive)
{
    emit Step(QStringLiteral("Распаковка архива"));
    emit Progress(-1);
    // An archive copied without its execute permission is still meant to run.
    QFile::setPermissions(archive, QFile::permissions(archive) | QFileDevice::ExeOwner | QFileDevice::ExeUser);

    m_process = new QProcess(this);
    m_process->setProgram(archive);
    m_process->setWorkingDirectory(m_directory);
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setStandardOutputFile(QProcess::nullDevice());
    m_process->setStandardErrorFile(QProcess::nullDevice());
    // Its own process group, so that stopping it stops whatever it started.
    m_process->setChildProcessModifier([] { ::setpgid(0, 0); });
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        archiveDone(QStringLiteral("Не удалось запустить архив %1: %2")
                        .arg(QDir::toNativeSeparators(m_process->program()), m_process->errorString()));
    });
    connect(m_process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        if (!m_stopReason.isEmpty())
            archiveDone(m_stopReason);
        else if (status == QProcess::CrashExit)
            archiveDone(QStringLiteral("Архив аварийно завершился."));
        else if (code != 0)
            archiveDone(QStringLiteral("Архив завершился с ошибкой (код %1).").arg(code));
        else
            archiveDone({});
    });
    m_deadline.start(m_timeLimit);
    m_process->start();
}

void UpdateRun::extract(const QString &archive)
{
    emit Step(QStringLiteral("Распаковка архива"));
    emit Progress(0);
    auto error = std::make_shared<QString>();
    const QString directory = m_directory;
    m_worker = QThread::create([this, archive, directory, error] {
        const Extraction extraction = ExtractTables(archive, directory, m_cancel, [this](int percent) {
            QMetaObject::invokeMethod(this, [this, percent] { emit Progress(percent); }, Qt::QueuedConnection);
        });
        *error = extraction.error;
    });
    connect(m_worker, &QThread::finished, this, [this, error] {
        m_worker->deleteLater();
        m_worker = nullptr;
        archiveDone(m_stopReason.isEmpty() ? *error : m_stopReason);
    });
    m_deadline.start(m_timeLimit);
    m_worker->start();
}

void UpdateRun::Cancel()
{
    if (!m_running || (!m_process && !m_worker))
        return;
    m_stopReason = QStringLiteral("Обновление прервано пользователем.");
    stopProgram();
}

void UpdateRun::stopProgram()
{
    m_cancel = true;
    if (m_process && m_process->state() != QProcess::NotRunning) {
        ::kill(-static_cast<pid_t>(m_process->processId()), SIGKILL);
        m_process->kill();
    }
}

void UpdateRun::archiveDone(const QString &error)
{
    m_deadline.stop();
    if (m_process) {
        m_process->disconnect(this);
        m_process->deleteLater();
        m_process = nullptr;
    }
    finish(error);
}

void UpdateRun::finish(const QString &error)
{
    emit Step(QStringLiteral("Проверка таблиц"));
    m_outcome.error = error;
    for (Table table : Tables) {
        const QString delivered = FindTableFile(m_directory, TableBase(table));
        std::optional<QString> fault;
        if (!error.isEmpty())
            fault = error; // whatever a failed archive left is not taken
        else if (delivered.isEmpty())
            fault = QStringLiteral("архив не записал файл %1").arg(TableFileName(table));
        else
            fault = TableFault(delivered);

        if (!fault) {
            DropOld(m_directory, table);
            m_outcome.delivered[static_cast<int>(table)] = true;
            continue;
        }
        if (error.isEmpty() && !delivered.isEmpty())
            m_outcome.details << QStringLiteral("%1: %2").arg(TableFileName(table), *fault);
        // A table that is not taken is not left behind either: the old one
        // goes back in its place, or, when there was none, nothing does.
        if (!delivered.isEmpty())
            QFile::remove(delivered);
        if (const auto putBack = PutBack(m_directory, table))
            m_outcome.details << *putBack;
    }
    if (!error.isEmpty())
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
