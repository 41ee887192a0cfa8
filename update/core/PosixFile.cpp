#include "PosixFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace phonebook::update {

PosixFile &PosixFile::operator=(PosixFile &&other) noexcept
{
    if (this != &other) {
        close();
        m_fd = other.release();
    }
    return *this;
}

PosixFile::~PosixFile()
{
    close();
}

int PosixFile::release()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

int PosixFile::close()
{
    if (m_fd < 0)
        return 0;
    const int result = ::close(m_fd);
    m_fd = -1;
    return result == 0 ? 0 : errno;
}

TempFile::TempFile(const QString &directory, const QString &hint)
    : m_directory(QFile::encodeName(directory))
{
    QString safe = hint;
    safe.replace(u'/', u'_');
    m_path = QFile::encodeName(QDir(directory).filePath(QStringLiteral(".%1.XXXXXX").arg(safe.left(64))));
    const int fd = ::mkostemp(m_path.data(), O_CLOEXEC);
    if (fd < 0) {
        m_error = errno;
        return;
    }
    m_file = PosixFile(fd);
    m_created = true;
}

TempFile::~TempFile()
{
    m_file.close();
    if (m_created && !m_committed)
        ::unlink(m_path.constData());
}

int TempFile::Commit(const QString &target)
{
    if (!m_file.valid())
        return m_error ? m_error : EBADF;
    if (::fsync(m_file.fd()) != 0)
        return errno;
    if (const int error = m_file.close())
        return error;
    if (::rename(m_path.constData(), QFile::encodeName(target).constData()) != 0)
        return errno;
    m_committed = true;
    // The name now lives in the target's folder, which may not be the one the file was made in.
    const QString targetFolder = QFileInfo(target).absolutePath();
    return SyncDirectory(targetFolder);
}

int WriteAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (written == 0)
            return ENOSPC;
        data += written;
        size -= static_cast<size_t>(written);
    }
    return 0;
}

int CopyAll(int in, int out, qint64 expected)
{
    qint64 copied = 0;
    // In the kernel where the file systems allow it; the data never passes through here.
    for (;;) {
        const ssize_t got = ::copy_file_range(in, nullptr, out, nullptr, size_t(1) << 30, 0);
        if (got > 0) {
            copied += got;
            continue;
        }
        if (got == 0)
            return copied == expected ? 0 : EIO;
        if (errno == EINTR)
            continue;
        if (copied > 0 || (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP))
            return errno;
        break;
    }
    static constexpr size_t BufferSize = 1 << 20;
    QByteArray buffer(BufferSize, Qt::Uninitialized);
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), BufferSize);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (got == 0)
            break;
        if (const int error = WriteAll(out, buffer.constData(), static_cast<size_t>(got)))
            return error;
        copied += got;
    }
    return copied == expected ? 0 : EIO;
}

int SyncDirectory(const QString &directory)
{
    return SyncDirectory(QFile::encodeName(directory));
}

int SyncDirectory(const QByteArray &directory)
{
    PosixFile dir(::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid())
        return errno;
    return ::fsync(dir.fd()) == 0 ? 0 : errno;
}

} // namespace phonebook::update
