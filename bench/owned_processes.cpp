// What the owned-process enumeration costs beside the platform's floor: a bare walk of the same
// process snapshot that only opens each process and reads its image path. Measured with 10 and with 50
// unrelated processes running beside 5 owned ones, for FindOwnedProcesses finding an owned process
// (it stops at the first) and finding none (it looks at every process). Goal: within 1.2x of the walk.

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "support/environment.h"
#include "tovrak/renderer.h"

namespace {

using tovrak::test::ChildProcess;

constexpr int kRounds = 200;
constexpr int kOwnedProcesses = 5;
constexpr DWORD kQueryLimited = PROCESS_QUERY_LIMITED_INFORMATION;

// The floor: one snapshot, and for every process an open and an image-path read.
int BareWalk() {
    static std::vector<wchar_t> buffer(32768);
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    int read = 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
        HANDLE process = ::OpenProcess(kQueryLimited, FALSE, entry.th32ProcessID);
        if (!process) continue;
        DWORD size = static_cast<DWORD>(buffer.size());
        if (::QueryFullProcessImageNameW(process, 0, buffer.data(), &size)) ++read;
        ::CloseHandle(process);
    }
    ::CloseHandle(snapshot);
    return read;
}

int SnapshotSize() {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    int count = 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry))
        ++count;
    ::CloseHandle(snapshot);
    return count;
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency{};
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The three are run in turn within each round, so that drift in the system's load falls on all alike;
// the result is each one's median in microseconds.
std::vector<double> MedianMicroseconds(const std::vector<std::function<void()>>& contenders) {
    std::vector<std::vector<double>> samples(contenders.size());
    for (int round = 0; round < kRounds; ++round) {
        for (size_t i = 0; i < contenders.size(); ++i) {
            LARGE_INTEGER start{}, end{};
            ::QueryPerformanceCounter(&start);
            contenders[i]();
            ::QueryPerformanceCounter(&end);
            samples[i].push_back(1e6 * Seconds(start, end));
        }
    }
    std::vector<double> medians;
    for (std::vector<double>& series : samples) {
        std::nth_element(series.begin(), series.begin() + series.size() / 2, series.end());
        medians.push_back(series[series.size() / 2]);
    }
    return medians;
}

bool StartCopies(const std::wstring& program, int count, std::vector<ChildProcess>& processes) {
    for (int i = 0; i < count; ++i) {
        processes.emplace_back();
        if (!processes.back().Start(program, L"--exit-after 600000")) return false;
    }
    return true;
}

}  // namespace

int wmain() {
    tovrak::test::TempDirectory root;
    const std::wstring installation = root.Join(L"Tool");
    const std::wstring elsewhere = root.Join(L"Other");
    const std::wstring empty = root.Join(L"Empty");
    for (const std::wstring& directory : {installation, elsewhere, empty})
        ::CreateDirectoryW(directory.c_str(), nullptr);
    const std::wstring waiter = tovrak::test::ProgramPath(L"owned_waiter.exe");
    const std::wstring owned = installation + L"\\owned.exe";
    const std::wstring unrelated = elsewhere + L"\\unrelated.exe";
    if (!::CopyFileW(waiter.c_str(), owned.c_str(), FALSE) ||
        !::CopyFileW(waiter.c_str(), unrelated.c_str(), FALSE)) {
        std::printf("cannot copy owned_waiter.exe\n");
        return 1;
    }

    std::vector<ChildProcess> processes;
    processes.reserve(60);
    int unrelatedRunning = 0;
    std::printf("%-10s %-9s %14s %14s %14s %10s %10s\n", "unrelated", "snapshot", "find-first us",
                "find-none us", "bare walk us", "first/bare", "none/bare");
    for (const int unrelatedWanted : {10, 50}) {
        // The unrelated processes start first, so that the owned ones are not simply first in the snapshot.
        if (!StartCopies(unrelated, unrelatedWanted - unrelatedRunning, processes)) return 1;
        unrelatedRunning = unrelatedWanted;
        if (unrelatedWanted == 10 && !StartCopies(owned, kOwnedProcesses, processes)) return 1;
        if (FindOwnedProcesses(installation.c_str(), nullptr, 0, 0, 0) != 0 ||
            FindOwnedProcesses(empty.c_str(), nullptr, 0, 0, 0) != 1) {
            std::printf("unexpected enumeration result\n");
            return 1;
        }
        const std::vector<double> medians = MedianMicroseconds({
            [&] { FindOwnedProcesses(installation.c_str(), nullptr, 0, 0, 0); },
            [&] { FindOwnedProcesses(empty.c_str(), nullptr, 0, 0, 0); },
            [] { BareWalk(); },
        });
        std::printf("%-10d %-9d %14.1f %14.1f %14.1f %9.2fx %9.2fx\n", unrelatedWanted, SnapshotSize(),
                    medians[0], medians[1], medians[2], medians[0] / medians[2], medians[1] / medians[2]);
    }
    processes.clear();  // ended before the directory they run from is removed
    return 0;
}
