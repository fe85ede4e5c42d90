// The host's side of the worker event stream: how fast records are taken, what an empty poll costs,
// and how long a record waits between ShellEmit in the worker and ShellReadEvent in a host that
// polls every 8 ms. Goals: an empty call under 0.05 ms; 512 records drained within 100 ms of the
// last write.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/unique_handle.h"
#include "shell/shell_context.h"
#include "support/environment.h"
#include "tovrak/renderer.h"
#include "worker/worker_channel.h"

namespace {

using namespace tovrak;

constexpr DWORD kHostPollMs = 8;

double Seconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Milliseconds from a record's own time stamp to now, on the one clock both processes share.
double MillisecondsSinceStamp(std::uint64_t stamp) {
    FILETIME now{};
    ::GetSystemTimePreciseAsFileTime(&now);
    const std::uint64_t hundredNs = (std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
    return static_cast<double>(static_cast<std::int64_t>(hundredNs - stamp)) / 10000.0;
}

bool Start(const wchar_t* arguments) {
    const std::wstring writer = test::ProgramPath(L"event_writer.exe");
    const DWORD result = ShellStartWorker(writer.c_str(), arguments);
    if (result != 0)
        std::printf("ShellStartWorker failed: %lu (stage %u)\n", result, ShellWorkerFailureStage());
    return result == 0;
}

void Finish() {
    wchar_t label[8], text[8];
    for (int i = 0; i < 10000 && ShellWorkerExit() == -1; ++i) {
        while (ShellReadEvent(label, text, 8) != 0) {
        }
        ::Sleep(1);
    }
    ReleaseWorker(*g_shell);
}

void Throughput() {
    if (!Start(L"many:512:2")) return;
    wchar_t label[1024], text[1024];
    int taken = 0;
    double first = 0, last = 0;
    while (taken < 512) {
        if (ShellReadEvent(label, text, 1024) == 0) continue;
        last = Seconds();
        if (taken++ == 0) first = last;
    }
    std::printf("throughput:   %d records in %.2f ms after the first: %.0f records/s (%.1f MB/s)\n", taken,
                (last - first) * 1000, (taken - 1) / (last - first),
                (taken - 1) * sizeof(WorkerEvent) / (last - first) / 1e6);
    Finish();
}

void EmptyCall() {
    const std::wstring eventName = L"tovrak-bench-release-" + std::to_wstring(::GetCurrentProcessId());
    UniqueHandleKernel release(::CreateEventW(nullptr, TRUE, FALSE, eventName.c_str()));
    const std::wstring arguments = L"hold:" + eventName;
    if (!Start(arguments.c_str())) return;
    wchar_t label[64], text[64];
    constexpr int kCalls = 200000;
    const double begin = Seconds();
    for (int i = 0; i < kCalls; ++i)
        ShellReadEvent(label, text, 64);
    const double perCall = (Seconds() - begin) / kCalls * 1000;
    // The floor: the one system call an empty poll has to make.
    const double peekBegin = Seconds();
    for (int i = 0; i < kCalls; ++i) {
        DWORD waiting = 0;
        ::PeekNamedPipe(g_shell->eventPipe.get(), nullptr, 0, nullptr, &waiting, nullptr);
    }
    const double perPeek = (Seconds() - peekBegin) / kCalls * 1000;
    std::printf(
        "empty call:   %.5f ms per ShellReadEvent with nothing waiting (goal < 0.05 ms: %.2fx of goal); "
        "a bare PeekNamedPipe %.5f ms (call / peek %.2f)\n",
        perCall, perCall / 0.05, perPeek, perCall / perPeek);
    ::SetEvent(release.get());
    Finish();
}

void Latency(const wchar_t* arguments, const char* name) {
    if (!Start(arguments)) return;
    wchar_t label[1024], text[1024];
    std::vector<double> delays;
    double lastDelay = 0;
    while (delays.size() < 512) {
        while (ShellReadEvent(label, text, 1024) != 0) {
            lastDelay = MillisecondsSinceStamp(ShellEventTime(0));
            delays.push_back(lastDelay);
        }
        if (!g_shell->eventPipe.get()) break;
        ::Sleep(kHostPollMs);
    }
    std::sort(delays.begin(), delays.end());
    double sum = 0;
    for (double d : delays)
        sum += d;
    std::printf(
        "%s %zu records, emit-to-read mean %.2f ms, median %.2f ms, max %.2f ms; "
        "last record read %.2f ms after its write (goal < 100 ms: %.2fx of goal)\n",
        name, delays.size(), sum / delays.size(), delays[delays.size() / 2], delays.back(), lastDelay,
        lastDelay / 100);
    Finish();
}

}  // namespace

int wmain() {
    InstallShellRecord(AllocateShellContext());
    if (!g_shell) return 1;
    Throughput();
    EmptyCall();
    Latency(L"many:512:2", "burst, 8 ms poll: ");
    Latency(L"paced:512:2", "paced 2 ms, 8 ms poll:");
    ReleaseWorker(*g_shell);
    RemoveShellRecord();
    return 0;
}
