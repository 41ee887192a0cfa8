#pragma once
// Small helpers shared by the benchmark programs: timing and argument checks.

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace phonebook::bench {

inline double Milliseconds(const QElapsedTimer &timer) { return static_cast<double>(timer.nsecsElapsed()) / 1e6; }

inline double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

[[noreturn]] inline void Usage(const char *text)
{
    std::fprintf(stderr, "usage: %s\n", text);
    std::exit(2);
}

} // namespace phonebook::bench
