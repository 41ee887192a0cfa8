// The guard against files cut short mends only faults in our own mappings;
// any other SIGBUS ends the process as it would without the guard. Each case
// runs in a child process that never had a mapping before, so that the guard
// is installed over the disposition the case sets up.

#include "MappedFile.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace phonebook;

namespace {

// A file of `pages` pages of "x".
void writePages(const QString &path, int pages)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        _exit(10);
    file.write(QByteArray(static_cast<qsizetype>(sysconf(_SC_PAGESIZE)) * pages, 'x'));
}

enum class Action { ReadOwnCut, Kill, ReadForeignCut };

// The child's exit status, or the signal that ended it (negative).
int RunChild(const QString &dir, Action action, bool inheritIgnore)
{
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(20); // a fault handled in a loop would end here, by SIGALRM
        const rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        if (inheritIgnore)
            signal(SIGBUS, SIG_IGN);
        const long page = sysconf(_SC_PAGESIZE);
        const QString own = dir + QStringLiteral("/own");
        writePages(own, 2);
        MappedFile file; // installs the guard
        QString error;
        if (!file.open(own, error))
            _exit(11);
        switch (action) {
        case Action::ReadOwnCut: {
            if (truncate(own.toLocal8Bit().constData(), 0) != 0)
                _exit(12);
            const volatile unsigned char byte = file.data()[page + 1];
            _exit(byte == 0 && file.pagesLost() ? 0 : 13);
        }
        case Action::Kill:
            kill(getpid(), SIGBUS);
            _exit(0);
        case Action::ReadForeignCut: {
            const QString other = dir + QStringLiteral("/other");
            writePages(other, 2);
            const int fd = open(other.toLocal8Bit().constData(), O_RDONLY);
            auto *mapped = static_cast<const volatile unsigned char *>(mmap(nullptr, 2 * page, PROT_READ, MAP_SHARED, fd, 0));
            if (mapped == MAP_FAILED || ftruncate(open(other.toLocal8Bit().constData(), O_WRONLY), 0) != 0)
                _exit(14);
            const unsigned char byte = mapped[page + 1];
            _exit(byte == 0 ? 15 : 16);
        }
        }
        _exit(17);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
}

} // namespace

TEST(MappedFile, GuardMendsOnlyItsOwnFaults)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case {
        const char *what;
        Action action;
        bool inheritIgnore;
        int expected; // exit status, or minus the signal
    };
    const Case cases[] = {
        {"own mapping cut short reads zeros", Action::ReadOwnCut, false, 0},
        {"own mapping cut short, SIGBUS ignored before", Action::ReadOwnCut, true, 0},
        {"SIGBUS sent with kill", Action::Kill, false, -SIGBUS},
        {"SIGBUS sent with kill, ignored before", Action::Kill, true, -SIGBUS},
        {"another mapping cut short", Action::ReadForeignCut, false, -SIGBUS},
        {"another mapping cut short, SIGBUS ignored before", Action::ReadForeignCut, true, -SIGBUS},
    };
    for (const Case &c : cases)
        EXPECT_EQ(RunChild(dir.path(), c.action, c.inheritIgnore), c.expected) << c.what;
}
