#pragma once
// Asking long work on a worker thread to stop early: the work asks a check
// every few thousand rows and gives up, and its result is not used.

#include <cstdint>
#include <functional>

namespace phonebook {

// Returns true once the work should stop. An empty check never does.
using StopCheck = std::function<bool()>;

// Rows a long loop handles between two looks at its check.
inline constexpr uint32_t StopStride = 4096;

// While one lives, StopRequested() on its thread asks `check`: for work the
// engine calls back into (a table ordering its records), which no parameter
// reaches. Nested ones stack; `check` must outlive it.
class ScopedStopCheck {
public:
    explicit ScopedStopCheck(const StopCheck &check);
    ~ScopedStopCheck();
    ScopedStopCheck(const ScopedStopCheck &) = delete;
    ScopedStopCheck &operator=(const ScopedStopCheck &) = delete;

private:
    const StopCheck *m_previous;
};

// Whether the check in force on this thread says stop; false without one.
bool StopRequested();

// The check in force on this thread, for work it shares out to other
// threads (each puts it in force with a ScopedStopCheck, and ends before
// this thread's does).
StopCheck CurrentStopCheck();

} // namespace phonebook
