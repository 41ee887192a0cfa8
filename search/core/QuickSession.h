#pragma once
// The quick search as the box runs it: texts searched in the background as
// they are typed, each newer text (or a reset) cancelling the search still
// running, the indexes built ahead, and what each search found (or why it
// failed) reported on the thread the session lives on. GUI-free: the box only
// shows what it is told.

#include "QuickSearch.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>

namespace phonebook::search {

class QuickSession : public QObject {
    Q_OBJECT

public:
    explicit QuickSession(const QString &directory, QObject *parent = nullptr);
    // Stops the work still running and waits for it.
    ~QuickSession() override;

    // Searches `text` on `side` in the background; Found, Rebuilding or
    // Failed follow with the returned generation, unless a newer Search,
    // Cancel or Reset came first.
    int Search(QuickSide side, const QString &text);
    // Nothing started before is reported any more.
    void Cancel();
    // Builds both sides' indexes in the background. A search typed meanwhile
    // takes over, and waits for the index being built when it needs that one.
    void Prepare();
    // The tables were replaced: the indexes and results are forgotten, and a
    // search or build still running stops.
    void Reset();

    // The generation of the newest search, cancel or reset.
    int Generation() const { return m_generation.load(); }
    // Whether nothing is running: whatever the work had to report is already posted.
    bool Idle() const { return m_running.load() == 0; }

signals:
    void Found(int generation, const phonebook::search::QuickResult &result);
    // The side's table changed: its index is being built again before the search answers.
    void Rebuilding(int generation, phonebook::search::QuickSide side);
    void Failed(int generation, const QString &message);

private:
    // Runs `work` on a worker with the searcher to itself (after any reset asked for).
    template <typename Work>
    void run(Work work);

    std::unique_ptr<QuickSearcher> m_searcher; // used by one worker at a time, under m_searcherMutex
    std::mutex m_searcherMutex;
    std::atomic<int> m_generation{0};
    std::atomic<int> m_running{0};
    std::atomic<bool> m_reset{false};
    std::atomic<int> m_searches{0};      // searches asked for so far
    std::atomic<int> m_searchedSide{-1}; // the side of the newest
};

} // namespace phonebook::search
