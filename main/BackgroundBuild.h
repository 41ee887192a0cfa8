#pragma once
// Lists the windows show but need not wait for (the organisations, the
// streets): built on a worker thread, each statement on a connection of its
// own, and handed to the window thread whole.

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

#include <exception>
#include <type_traits>
#include <utility>

namespace phonebook {

// What a worker hands the window thread: the value, or why it could not be built.
template <typename T>
struct Built {
    T value;
    std::exception_ptr error;

    // The value; what the worker met is thrown again here.
    T &get()
    {
        if (error)
            std::rethrow_exception(error);
        return value;
    }
};

// Runs `build` on a worker and returns the watcher of its result, owned by
// `owner`. `done` is called on the window thread with that watcher when the
// build ends; a caller that started a newer build meanwhile (or deleted the
// watcher) compares it with the one it keeps and drops the old result.
template <typename Build, typename Done>
QFutureWatcher<Built<std::invoke_result_t<Build>>> *StartBuild(QObject *owner, Build build, Done done)
{
    using Result = Built<std::invoke_result_t<Build>>;
    auto *watcher = new QFutureWatcher<Result>(owner);
    QObject::connect(watcher, &QFutureWatcherBase::finished, owner, [watcher, done = std::move(done)] { done(watcher); });
    watcher->setFuture(QtConcurrent::run([build = std::move(build)] {
        Result built;
        try {
            built.value = build();
        } catch (...) {
            built.error = std::current_exception();
        }
        return built;
    }));
    return watcher;
}

} // namespace phonebook
