#ifndef QIRN_TESTS_BENCH_COMMON_H
#define QIRN_TESTS_BENCH_COMMON_H

// Timing for the benchmark programs: a millisecond clock, medians and the spread of repeated runs.
// Figures go to standard output as "name: ratio"; the details behind them go to standard error.

#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <vector>

namespace qebench {

inline double nowMs() {
    LARGE_INTEGER frequency, count;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&count);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Milliseconds that one call of the function takes.
template <typename F>
double timeMs(F&& f) {
    const double start = nowMs();
    f();
    return nowMs() - start;
}

inline double median(std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    const size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : 0.5 * (v[m - 1] + v[m]);
}

inline double lowest(const std::vector<double>& v) { return v.empty() ? 0.0 : *std::min_element(v.begin(), v.end()); }
inline double highest(const std::vector<double>& v) { return v.empty() ? 0.0 : *std::max_element(v.begin(), v.end()); }

// The ratios of paired runs: a / b run by run.
inline std::vector<double> ratios(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> r;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) r.push_back(b[i] > 0 ? a[i] / b[i] : 0.0);
    return r;
}

inline void figure(const char* name, double value) {
    std::printf("%s: %.2f\n", name, value);
    std::fflush(stdout);
}

inline void detail(const char* format, ...) __attribute__((format(printf, 1, 2)));
inline void detail(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fflush(stderr);
}

}  // namespace qebench

#endif
