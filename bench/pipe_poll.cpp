// What polling the hand-over pipes costs a host that polls every frame: one idle poll of each
// listener (listening, no client) and one whole ready cycle (listen, a client connects, the poll
// identifies it and resets the listener). The benchmark is its own client, so no process start is
// measured. Prints medians in microseconds and their ratio to the 0.1 ms budget of an idle poll.

#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "common/unique_handle.h"
#include "shell/shell_context.h"
#include "tovrak/renderer.h"

namespace {

constexpr double kIdlePollBudgetUs = 100.0;
// Idle polls are timed in batches: one poll is close to the timer's resolution.
constexpr int kIdleBatches = 2000;
constexpr int kPollsPerBatch = 100;
constexpr int kCycles = 500;

double Microseconds(LONGLONG ticks) {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER value;
        ::QueryPerformanceFrequency(&value);
        return value.QuadPart;
    }();
    return static_cast<double>(ticks) * 1e6 / static_cast<double>(frequency);
}

LONGLONG Now() {
    LARGE_INTEGER value;
    ::QueryPerformanceCounter(&value);
    return value.QuadPart;
}

double Median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples.empty() ? 0.0 : samples[samples.size() / 2];
}

// The median time of one step, timed `perSample` steps at a time.
double MedianOf(int samplesWanted, int perSample, const std::function<void()>& step) {
    std::vector<double> samples;
    samples.reserve(samplesWanted);
    for (int i = 0; i < samplesWanted; ++i) {
        const LONGLONG start = Now();
        for (int j = 0; j < perSample; ++j)
            step();
        samples.push_back(Microseconds(Now() - start) / perSample);
    }
    return Median(samples);
}

std::wstring NewPipeId() {
    GUID guid{};
    ::CoCreateGuid(&guid);
    wchar_t text[64] = {};
    ::StringFromGUID2(guid, text, 64);
    return text;
}

std::wstring Suffix(const std::wstring& pipeId) {
    return pipeId.substr(1, pipeId.size() - 2);
}

void ReportIdle(const char* label, double medianUs) {
    std::printf("idle poll, %-14s median %8.3f us   ratio to budget %.5f\n", label, medianUs,
                medianUs / kIdlePollBudgetUs);
}

}  // namespace

int wmain() {
    tovrak::InstallShellRecord(tovrak::AllocateShellContext());
    if (!tovrak::ShellIsOpen()) return 1;
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);

    const std::wstring ready = NewPipeId(), surface = NewPipeId(), status = NewPipeId();
    if (ShellListenReady(ready.c_str(), self) || ShellListenSurfaceReady(surface.c_str(), self) ||
        ShellListenLaunchStatus(status.c_str(), self)) {
        std::printf("listening failed\n");
        return 1;
    }
    ReportIdle("ready", MedianOf(kIdleBatches, kPollsPerBatch, [] { ShellPollReady(); }));
    ReportIdle("surface ready", MedianOf(kIdleBatches, kPollsPerBatch, [] { ShellPollSurfaceReady(); }));
    ReportIdle("launch status", MedianOf(kIdleBatches, kPollsPerBatch, [] { ShellPollLaunchStatus(); }));
    ShellCancelReady();
    ShellCancelSurfaceReady();
    ShellCancelLaunchStatus();

    int reported = 0;
    const double cycleUs = MedianOf(kCycles, 1, [&] {
        const std::wstring id = NewPipeId();
        ShellListenReady(id.c_str(), self);
        const std::wstring name = L"\\\\.\\pipe\\tovrak-installer-ready-" + Suffix(id);
        tovrak::UniqueFile client(
            ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        if (ShellPollReady() == 1) ++reported;
    });
    std::printf("ready cycle (listen, connect, identify, reset) median %8.2f us   %d of %d reported\n",
                cycleUs, reported, kCycles);
    std::printf("idle poll budget %.0f us\n", kIdlePollBudgetUs);

    tovrak::RemoveShellRecord();
    return 0;
}
