#pragma once
// Timing for the benchmarks: the median of many calls, after a few unmeasured warm-up calls.

#include <windows.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace tovrak::bench {

// Median time of `call(i)` in microseconds over `samples` calls.
inline double MedianMicroseconds(const std::function<void(int)>& call, int samples, int warmUps = 4) {
    LARGE_INTEGER frequency{};
    ::QueryPerformanceFrequency(&frequency);
    for (int i = 0; i < warmUps; ++i)
        call(i);
    std::vector<double> times;
    times.reserve(samples);
    for (int i = 0; i < samples; ++i) {
        LARGE_INTEGER start{}, end{};
        ::QueryPerformanceCounter(&start);
        call(i);
        ::QueryPerformanceCounter(&end);
        times.push_back(1e6 * static_cast<double>(end.QuadPart - start.QuadPart) /
                        static_cast<double>(frequency.QuadPart));
    }
    std::nth_element(times.begin(), times.begin() + samples / 2, times.end());
    return times[samples / 2];
}

}  // namespace tovrak::bench
