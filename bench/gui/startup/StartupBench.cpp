// Times the program's start-up as a user meets it: from starting the process
// to the main window painted with the individuals' first page written (the
// organisations' list is built in the background meanwhile), on
// the offscreen platform. Each round starts a fresh process; a reference
// process that paints an empty maximised window with a table view runs in
// the same rounds, so the figures can be read as a ratio too.
//
//   startup-bench DIR [ROUNDS]     DIR holds sp09kw_n.dbf and sp09pr_n.dbf
//
// Prints the medians, the ratio to the reference and the peak memory of the
// program beside the size of the two table files.

#include "DirectorySession.h"
#include "ResultGrid.h"
#include "StartUp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QPointer>
#include <QProcess>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int DefaultRounds = 7;

// Peak resident memory of this process in kilobytes.
long PeakKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// CPU time (user and system) this process has used so far, in milliseconds.
double CpuMilliseconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Reports, after the first paint of `target` has finished, and quits.
class FirstPaint : public QObject {
public:
    FirstPaint(QElapsedTimer &clock)
        : m_clock(clock)
    {
    }
    // Runs after the report instead of quitting.
    void then(std::function<void()> next) { m_then = std::move(next); }
    void watch(QWidget *target)
    {
        m_target = target;
        target->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_target && event->type() == QEvent::Paint && !m_done) {
            m_done = true;
            QTimer::singleShot(0, qApp, [this] {
                std::printf("painted %.3f %ld %.3f\n", static_cast<double>(m_clock.nsecsElapsed()) / 1e6,
                            PeakKilobytes(), CpuMilliseconds());
                std::fflush(stdout);
                if (m_then)
                    m_then();
                else
                    QCoreApplication::exit(0);
            });
        }
        return false;
    }

private:
    QElapsedTimer &m_clock;
    QPointer<QWidget> m_target;
    std::function<void()> m_then;
    bool m_done = false;
};

int RunChild(int argc, char *argv[], const QString &mode, const QString &dir)
{
    QElapsedTimer clock;
    clock.start();
    QApplication app(argc, argv);
    FirstPaint painted(clock);
    if (mode == QLatin1StringView("--reference")) {
        QMainWindow window;
        auto *view = new QTableView(&window);
        window.setCentralWidget(view);
        painted.watch(view->viewport());
        window.showMaximized();
        return QApplication::exec();
    }
    phonebook::PrepareApplication(app);
    // The grid is created inside the start-up; watch paints application-wide.
    struct Finder : QObject {
        FirstPaint &painted;
        explicit Finder(FirstPaint &p)
            : painted(p)
        {
        }
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::Paint && watched->isWidgetType()) {
                auto *widget = static_cast<QWidget *>(watched);
                auto *grid = qobject_cast<phonebook::ResultGrid *>(widget->parentWidget());
                if (grid && grid->objectName() == QLatin1StringView("SGFullFiz") && widget == grid->viewport()) {
                    qApp->removeEventFilter(this);
                    painted.watch(widget);
                    return painted.eventFilter(watched, event);
                }
            }
            return false;
        }
    } finder(painted);
    app.installEventFilter(&finder);
    // Started as the first time: no window layout kept from the user's earlier runs.
    const QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    const auto main = phonebook::StartUp({dir, dir + QStringLiteral("/help")});
    // Then the time until both tables are counted and their lists loaded.
    phonebook::DirectorySession &session = main->Session();
    const auto counted = [&clock] {
        std::printf("counted %.3f %ld %.3f\n", static_cast<double>(clock.nsecsElapsed()) / 1e6, PeakKilobytes(),
                    CpuMilliseconds());
        std::fflush(stdout);
        QCoreApplication::exit(0);
    };
    painted.then([&session, counted] {
        if (!session.LoadPending())
            counted();
        else
            QObject::connect(&session, &phonebook::DirectorySession::ListsReloaded, qApp, counted);
    });
    return QApplication::exec();
}

struct Sample {
    double wallMs = 0;   // process start to first paint, measured by the parent
    double insideMs = 0; // main() to first paint
    double cpuMs = 0;    // CPU time of the whole process up to the first paint
    long peakKb = 0;
    double countedMs = 0;   // main() to both tables counted and their lists loaded
    long countedPeakKb = 0;
};

Sample RunOnce(const QString &self, const QStringList &arguments)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer wall;
    wall.start();
    child.start(self, arguments);
    Sample sample;
    while (child.waitForReadyRead(60000)) {
        const QByteArray line = child.readLine();
        if (line.startsWith("painted ")) {
            sample.wallMs = static_cast<double>(wall.nsecsElapsed()) / 1e6;
            const QList<QByteArray> parts = line.trimmed().split(' ');
            sample.insideMs = parts.value(1).toDouble();
            sample.peakKb = parts.value(2).toLong();
            sample.cpuMs = parts.value(3).toDouble();
            if (arguments.first() == QLatin1StringView("--reference"))
                break;
        } else if (line.startsWith("counted ")) {
            const QList<QByteArray> parts = line.trimmed().split(' ');
            sample.countedMs = parts.value(1).toDouble();
            sample.countedPeakKb = parts.value(2).toLong();
            break;
        }
    }
    child.waitForFinished(60000);
    return sample;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc >= 2 && (qstrcmp(argv[1], "--child") == 0 || qstrcmp(argv[1], "--reference") == 0))
        return RunChild(argc, argv, QString::fromLocal8Bit(argv[1]), argc >= 3 ? QString::fromLocal8Bit(argv[2]) : QString());
    if (argc < 2) {
        std::fprintf(stderr, "usage: startup-bench DIR [ROUNDS]\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const int rounds = argc >= 3 ? std::max(1, std::atoi(argv[2])) : DefaultRounds;
    const QString self = QCoreApplication::applicationFilePath();
    const qint64 tableBytes = QFileInfo(dir + QStringLiteral("/sp09kw_n.dbf")).size()
        + QFileInfo(dir + QStringLiteral("/sp09pr_n.dbf")).size();

    std::vector<double> wall, inside, cpu, referenceWall, referenceCpu, counted;
    long peakKb = 0, countedPeakKb = 0;
    RunOnce(self, {QStringLiteral("--child"), dir}); // warm the file cache
    for (int round = 0; round < rounds; ++round) {
        const Sample reference = RunOnce(self, {QStringLiteral("--reference")});
        const Sample sample = RunOnce(self, {QStringLiteral("--child"), dir});
        if (sample.wallMs <= 0 || reference.wallMs <= 0) {
            std::fprintf(stderr, "a round did not paint\n");
            return 1;
        }
        referenceWall.push_back(reference.wallMs);
        referenceCpu.push_back(reference.cpuMs);
        wall.push_back(sample.wallMs);
        inside.push_back(sample.insideMs);
        cpu.push_back(sample.cpuMs);
        peakKb = std::max(peakKb, sample.peakKb);
        counted.push_back(sample.countedMs);
        countedPeakKb = std::max(countedPeakKb, sample.countedPeakKb);
    }
    const double tableMb = static_cast<double>(tableBytes) / (1024.0 * 1024.0);
    const double peakMb = static_cast<double>(peakKb) / 1024.0;
    QTextStream out(stdout);
    out << "directory: " << dir << " (tables " << QString::number(tableMb, 'f', 1) << " MiB), " << rounds
        << " rounds\n";
    out << "process start to first paint, program:   " << QString::number(Median(wall), 'f', 1) << " ms (median; "
        << QString::number(Median(inside), 'f', 1) << " ms of it after main() began)\n";
    out << "process start to first paint, reference: " << QString::number(Median(referenceWall), 'f', 1)
        << " ms (empty maximised window with a table view)\n";
    out << "ratio program / reference: " << QString::number(Median(wall) / Median(referenceWall), 'f', 2) << "\n";
    // On a busy machine the wall clock waits for other processes; CPU time does not.
    out << "CPU time to first paint: program " << QString::number(Median(cpu), 'f', 1) << " ms, reference "
        << QString::number(Median(referenceCpu), 'f', 1) << " ms\n";
    out << "peak memory: " << QString::number(peakMb, 'f', 1) << " MiB = "
        << QString::number(peakMb / tableMb, 'f', 2) << " x the tables\n";
    // The first paint may show the individuals' first records before the tables are counted.
    out << "main() to both lists loaded and counted: " << QString::number(Median(counted), 'f', 1)
        << " ms (median), peak memory by then " << QString::number(static_cast<double>(countedPeakKb) / 1024.0, 'f', 1)
        << " MiB\n";
    return 0;
}
