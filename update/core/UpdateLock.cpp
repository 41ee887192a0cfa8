#include "UpdateLock.h"

#include "UpdateFiles.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace phonebook::update {

UpdateLock::UpdateLock(const QString &directory)
    : m_path(QDir(directory).filePath(LockFileName.toString()))
{
    m_fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (m_fd < 0) {
        m_error = errno;
        return;
    }
    while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        m_error = errno;
        m_state = errno == EWOULDBLOCK ? State::Busy : State::Failed;
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    m_state = State::Held;
}

UpdateLock::~UpdateLock()
{
    Release();
}

void UpdateLock::Release()
{
    if (m_fd >= 0)
        ::close(m_fd); // closing the last descriptor releases the flock
    m_fd = -1;
    if (m_state == State::Held)
        m_state = State::Failed;
}

} // namespace phonebook::update
