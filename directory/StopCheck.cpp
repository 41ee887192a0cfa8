#include "StopCheck.h"

namespace phonebook {

namespace {
thread_local const StopCheck *t_check = nullptr;
} // namespace

ScopedStopCheck::ScopedStopCheck(const StopCheck &check) : m_previous(t_check) { t_check = &check; }

ScopedStopCheck::~ScopedStopCheck() { t_check = m_previous; }

bool StopRequested() { return t_check && *t_check && (*t_check)(); }

StopCheck CurrentStopCheck()
{
    if (!t_check || !*t_check)
        return {};
    return [check = t_check] { return (*check)(); };
}

} // namespace phonebook
