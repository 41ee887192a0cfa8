#pragma once
// The program's one way to work in the background: QtConcurrent's pool, with
// a stop check the work asks every few thousand rows. Used for the lists the
// windows show but need not wait for (the organisations, the streets: each
// statement on a connection of its own, handed to the window thread whole),
// the quick search, reading an update archive and opening the tables ahead at
// start-up. A build that a reload replaces is asked to stop and its result is
// never delivered; closing the owner of builds stops them and waits for them.

#include "StopCheck.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>
#include <exception>
#include <memory>
#include <type_traits>
#include <utility>

namespace phonebook {

// What a worker hands the window thread: the value, or why it could not be built.
template <typename T>
struct Built {
    T value{};
    std::exception_ptr error;

    // The value; what the worker met is thrown again here.
    T &get()
    {
        if (error)
            std::rethrow_exception(error);
        return value;
    }
};

// The stop request of one build, shared by the window thread and the worker.
class BuildStop {
public:
    virtual ~BuildStop() = default;
    void RequestStop() { m_stop->store(true); }
    bool StopRequested() const { return m_stop->load(); }
    // The check the worker asks; it keeps the request alive on its own.
    StopCheck Check() const
    {
        return [stop = m_stop] { return stop->load(std::memory_order_relaxed); };
    }

private:
    std::shared_ptr<std::atomic<bool>> m_stop = std::make_shared<std::atomic<bool>>(false);
};

// The watcher of one build's result, owned by the object that started it.
template <typename T>
class BuildWatcher final : public QFutureWatcher<Built<T>>, public BuildStop {
public:
    explicit BuildWatcher(QObject *owner) : QFutureWatcher<Built<T>>(owner) {}
};

// Runs `build(stop)` on a worker, `stop` being the StopCheck it asks every
// few thousand rows, and returns the watcher of its result, owned by `owner`.
// `done` is called on the window thread with that watcher when the build ends;
// a caller that started a newer build meanwhile compares it with the one it
// keeps and drops the old result.
template <typename Build, typename Done>
BuildWatcher<std::invoke_result_t<Build, const StopCheck &>> *StartBuild(QObject *owner, Build build, Done done)
{
    using Value = std::invoke_result_t<Build, const StopCheck &>;
    auto *watcher = new BuildWatcher<Value>(owner);
    QObject::connect(watcher, &QFutureWatcherBase::finished, owner, [watcher, done = std::move(done)] { done(watcher); });
    watcher->setFuture(QtConcurrent::run([build = std::move(build), stop = watcher->Check()] {
        Built<Value> built;
        if (stop())
            return built; // dropped while it waited for a worker: never delivered
        try {
            built.value = build(stop);
        } catch (...) {
            built.error = std::current_exception();
        }
        return built;
    }));
    return watcher;
}

// Runs `work(stop)` on a worker for its effect alone (warming a cache); no
// one waits for it and nothing is handed back.
template <typename Work>
void StartWork(Work work)
{
    [[maybe_unused]] auto future = QtConcurrent::run([work = std::move(work)] { work(StopCheck{}); });
}

// Asks the build to stop and forgets it: its result is never delivered, and
// its watcher goes once the worker has given up. `build` becomes null.
template <typename T>
void DropBuild(BuildWatcher<T> *&build)
{
    BuildWatcher<T> *old = std::exchange(build, nullptr);
    if (!old)
        return;
    old->RequestStop();
    QObject::disconnect(old, &QFutureWatcherBase::finished, nullptr, nullptr);
    if (old->isFinished())
        delete old;
    else
        QObject::connect(old, &QFutureWatcherBase::finished, old, &QObject::deleteLater);
}

// Asks every build `owner` started (current or dropped) to stop and waits for
// their workers: for closing the window, whose builds must not outlive it.
inline void StopBuilds(QObject *owner)
{
    const auto watchers = owner->findChildren<QFutureWatcherBase *>(Qt::FindDirectChildrenOnly);
    for (QFutureWatcherBase *watcher : watchers) {
        if (auto *stop = dynamic_cast<BuildStop *>(watcher))
            stop->RequestStop();
    }
    for (QFutureWatcherBase *watcher : watchers) {
        if (dynamic_cast<BuildStop *>(watcher))
            watcher->waitForFinished();
    }
}

} // namespace phonebook
