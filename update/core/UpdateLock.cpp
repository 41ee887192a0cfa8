#include "UpdateLock.h"

#include "UpdateFiles.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace phonebook::update {

namespace {

bool SameFile(int fd, const QByteArray &path)
{
    struct stat held {}, named {};
    return ::fstat(fd, &held) == 0 && ::lstat(path.constData(), &named) == 0 && held.st_dev == named.st_dev
        && held.st_ino == named.st_ino;
}

} // namespace

UpdateLock::UpdateLock(const QString &directory)
    : m_path(QDir(directory).filePath(LockFileName.toString()))
{
    const QByteArray path = QFile::encodeName(m_path);
    // A lock file removed or replaced between the open and the flock is not
    // the lock any longer: the next attempt opens the one now at the path.
    for (int attempt = 0; attempt < 20; ++attempt) {
        m_fd = ::open(path.constData(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (m_fd < 0) {
            m_error = errno;
            return;
        }
        int locked = 0;
        while ((locked = ::flock(m_fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
        }
        if (locked != 0) {
            m_error = errno;
            m_state = m_error == EWOULDBLOCK ? State::Busy : State::Failed;
            ::close(m_fd);
            m_fd = -1;
            return;
        }
        if (SameFile(m_fd, path)) {
            m_state = State::Held;
            return;
        }
        ::close(m_fd);
        m_fd = -1;
    }
    m_error = EAGAIN;
}

UpdateLock::~UpdateLock()
{
    Release();
}

bool UpdateLock::StillAtPath() const
{
    return m_fd >= 0 && SameFile(m_fd, QFile::encodeName(m_path));
}

void UpdateLock::Release()
{
    if (m_fd >= 0)
        ::close(m_fd); // closing the last descriptor releases the flock
    m_fd = -1;
    if (m_state == State::Held)
        m_state = State::Failed;
}

bool UpdateLock::HeldInDirectory(const QString &directory)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(QDir(directory).filePath(LockFileName.toString())).constData(), &st) != 0)
        return false;
    // The kernel's list of locks names each locked file by device and inode
    // ("1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"); reading it takes no lock.
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return false;
    const QByteArray wanted = QByteArray::number(major(st.st_dev), 16).rightJustified(2, '0') + ':'
        + QByteArray::number(minor(st.st_dev), 16).rightJustified(2, '0') + ':' + QByteArray::number(qulonglong(st.st_ino));
    const QList<QByteArray> lines = locks.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.size() >= 6 && words[1] == "FLOCK" && words[5] == wanted)
            return true;
    }
    return false;
}

} // namespace phonebook::update
