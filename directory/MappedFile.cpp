#include "MappedFile.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace phonebook {

namespace {

// The mappings the bus-error handler may mend. A process holds a few tables
// at a time; past this many, a file is read into memory instead.
constexpr int GuardSlots = 64;

struct GuardSlot {
    std::atomic<uintptr_t> begin{0};
    std::atomic<size_t> length{0};
    std::atomic<bool> damaged{false};
};

GuardSlot g_slots[GuardSlots];

// How long a file must have been left alone to be settled: far more than the
// grain of any file system's modification times.
constexpr int64_t SettledNs = 2'000'000'000;
struct sigaction g_previous;
uintptr_t g_pageMask = 0;

// SIGBUS that is not ours, handled as it would be without us: by the handler
// that was there before, or by the default action (an inherited "ignore"
// too), which ends the process.
void passOn(int signal, siginfo_t *info, void *context)
{
    if (g_previous.sa_flags & SA_SIGINFO) {
        if (g_previous.sa_sigaction)
            g_previous.sa_sigaction(signal, info, context);
        return;
    }
    if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
        g_previous.sa_handler(signal);
        return;
    }
    struct sigaction fallback;
    std::memset(&fallback, 0, sizeof fallback);
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(SIGBUS, &fallback, nullptr);
    sigset_t bus;
    sigemptyset(&bus);
    sigaddset(&bus, SIGBUS);
    pthread_sigmask(SIG_UNBLOCK, &bus, nullptr);
    raise(SIGBUS);
}

// A read of a mapped page beyond the file's end: the rest of the mapping
// becomes zero pages (the faulting read then sees zeros), and the mapping is
// marked damaged. Only a fault the kernel raised for an address inside one of
// our mappings is mended; any other SIGBUS (another mapping's, one sent with
// kill) goes on as if we were not there.
void onBusError(int signal, siginfo_t *info, void *context)
{
    const int savedErrno = errno;
    const bool fault = info && (info->si_code == BUS_ADRERR || info->si_code == BUS_OBJERR);
    const auto address = fault ? reinterpret_cast<uintptr_t>(info->si_addr) : 0;
    for (GuardSlot &slot : g_slots) {
        if (!fault)
            break;
        const uintptr_t begin = slot.begin.load(std::memory_order_acquire);
        const size_t length = slot.length.load(std::memory_order_acquire);
        if (begin <= 1 || address < begin || address >= begin + length)
            continue;
        const uintptr_t page = address & g_pageMask;
        void *zeros = mmap(reinterpret_cast<void *>(page), begin + length - page, PROT_READ,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (zeros != MAP_FAILED) {
            slot.damaged.store(true, std::memory_order_release);
            errno = savedErrno;
            return;
        }
        break;
    }
    passOn(signal, info, context);
    errno = savedErrno;
}

void installHandler()
{
    static std::once_flag once;
    std::call_once(once, [] {
        g_pageMask = ~(static_cast<uintptr_t>(sysconf(_SC_PAGESIZE)) - 1);
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &g_previous);
    });
}

int claimSlot(const void *begin, size_t length)
{
    for (int n = 0; n < GuardSlots; ++n) {
        uintptr_t expected = 0;
        // A slot is claimed with a placeholder, filled, then published.
        if (g_slots[n].begin.compare_exchange_strong(expected, 1, std::memory_order_acq_rel)) {
            g_slots[n].damaged.store(false, std::memory_order_relaxed);
            g_slots[n].length.store(length, std::memory_order_release);
            g_slots[n].begin.store(reinterpret_cast<uintptr_t>(begin), std::memory_order_release);
            return n;
        }
    }
    return -1;
}

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

} // namespace

MappedFile::~MappedFile() { close(); }

void MappedFile::close()
{
    if (m_slot >= 0) {
        g_slots[m_slot].begin.store(0, std::memory_order_release);
        munmap(const_cast<unsigned char *>(m_data), static_cast<size_t>(m_size));
        m_slot = -1;
    }
    std::free(m_copy);
    m_copy = nullptr;
    m_data = nullptr;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool MappedFile::open(const QString &path, QString &error)
{
    close();
    const QByteArray name = path.toLocal8Bit();
    m_fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (m_fd < 0 || fstat(m_fd, &st) != 0) {
        error = systemError(errno);
        close();
        return false;
    }
    m_size = st.st_size;
    m_edition = FileEdition::Of(st);
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const int64_t nowNs = static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
    m_settled = nowNs - m_edition.modifiedNs > SettledNs;
    if (m_size == 0)
        return true;
    installHandler();
    void *mapped = mmap(nullptr, static_cast<size_t>(m_size), PROT_READ, MAP_SHARED, m_fd, 0);
    if (mapped == MAP_FAILED) {
        error = systemError(errno);
        close();
        return false;
    }
    m_slot = claimSlot(mapped, static_cast<size_t>(m_size));
    if (m_slot >= 0) {
        m_data = static_cast<const unsigned char *>(mapped);
        return true;
    }
    // Every guard slot is taken: read the file into memory instead.
    munmap(mapped, static_cast<size_t>(m_size));
    m_copy = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(m_size)));
    if (!m_copy) {
        error = systemError(ENOMEM);
        close();
        return false;
    }
    qint64 done = 0;
    while (done < m_size) {
        const ssize_t n = pread(m_fd, m_copy + done, static_cast<size_t>(m_size - done), done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    m_size = done; // a file cut short meanwhile: what was read
    m_data = m_copy;
    return true;
}

bool MappedFile::pagesLost() const
{
    return m_slot >= 0 && g_slots[m_slot].damaged.load(std::memory_order_acquire);
}

bool MappedFile::changed() const
{
    if (m_fd < 0)
        return false;
    if (pagesLost())
        return true;
    struct stat st;
    return fstat(m_fd, &st) != 0 || !sameEdition(st);
}

bool MappedFile::sameEdition(const struct stat &st) const
{
    return FileEdition::Of(st).sameContent(m_edition);
}

qint64 MappedFile::read(qint64 offset, void *buffer, size_t length) const
{
    if (m_fd < 0)
        return -1;
    size_t done = 0;
    while (done < length) {
        const ssize_t n = pread(m_fd, static_cast<char *>(buffer) + done, length - done, offset + static_cast<qint64>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return static_cast<qint64>(done);
}

bool MappedFile::stillAt(const QString &path) const
{
    if (m_fd < 0 || pagesLost())
        return false;
    struct stat opened;
    if (fstat(m_fd, &opened) != 0)
        return false;
    // The file the path names now is this one, and it is as it was when opened.
    const FileEdition now = FileEdition::Of(opened);
    return FileEdition::At(path) == now && now.sameContent(m_edition);
}

} // namespace phonebook
