// Lists built in the background: a reload's new build stops the one it
// replaces, whose result never arrives; closing stops every build and waits
// for its worker.

#include "BackgroundBuild.h"

#include <QTest>

#include <chrono>
#include <thread>

using namespace phonebook;

namespace {

constexpr int NeverBegun = 0; // a build dropped before a worker took it up
constexpr int Stopped = 1;
constexpr int NotStopped = 2;
constexpr int Fresh = 3;

// Works until asked to stop (ten seconds at most, so that a fault fails the
// test rather than hanging it); says whether it was asked.
int WorkUntilStopped(const StopCheck &stop)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
        if (stop())
            return Stopped;
        std::this_thread::yield();
    }
    return NotStopped;
}

} // namespace

class BackgroundBuildTest : public QObject {
    Q_OBJECT

private slots:
    void aReplacedBuildStopsAndIsNeverDelivered();
    void closingStopsAndWaitsForEveryBuild();
};

void BackgroundBuildTest::aReplacedBuildStopsAndIsNeverDelivered()
{
    QObject owner;
    QList<int> delivered;
    auto done = [&delivered](BuildWatcher<int> *build) {
        delivered.append(build->result().get());
        build->deleteLater();
    };
    BuildWatcher<int> *current = StartBuild(&owner, WorkUntilStopped, done);
    QFuture<Built<int>> stale = current->future();
    // The reload: the old build dropped, a new one started.
    DropBuild(current);
    QVERIFY(current == nullptr);
    current = StartBuild(&owner, [](const StopCheck &) { return Fresh; }, done);
    QTRY_COMPARE(delivered, QList<int>{Fresh});
    stale.waitForFinished();
    QVERIFY(stale.result().value == Stopped || stale.result().value == NeverBegun);
    QCoreApplication::processEvents();
    QCOMPARE(delivered, QList<int>{Fresh});
}

void BackgroundBuildTest::closingStopsAndWaitsForEveryBuild()
{
    auto owner = std::make_unique<QObject>();
    bool delivered = false;
    auto done = [&delivered](BuildWatcher<int> *) { delivered = true; };
    BuildWatcher<int> *dropped = StartBuild(owner.get(), WorkUntilStopped, done);
    QFuture<Built<int>> first = dropped->future();
    DropBuild(dropped);
    QFuture<Built<int>> second = StartBuild(owner.get(), WorkUntilStopped, done)->future();
    StopBuilds(owner.get());
    QVERIFY(first.isFinished());
    QVERIFY(second.isFinished());
    QVERIFY(first.result().value == Stopped || first.result().value == NeverBegun);
    QVERIFY(second.result().value == Stopped || second.result().value == NeverBegun);
    owner.reset();
    QCoreApplication::processEvents();
    QVERIFY(!delivered);
}

QTEST_GUILESS_MAIN(BackgroundBuildTest)
#include "BackgroundBuildTest.moc"
