#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "worker_fixture.h"

namespace tovrak::test {
namespace {

TEST(WorkerLaunch, EveryWorkerExportIsInertWithoutAShell) {
    ASSERT_EQ(g_shell, nullptr);
    EXPECT_EQ(ShellStartWorker(EventWriterPath().c_str(), L""), TOVRAK_ERROR_INVALID_HANDLE);
    EXPECT_EQ(ShellWorkerFailureStage(), 0u);
    EXPECT_EQ(ShellWorkerExit(), -1);
    wchar_t label[8] = L"keep", text[8] = L"keep";
    EXPECT_EQ(ShellReadEvent(label, text, 8), 0);
    EXPECT_STREQ(label, L"keep");
    EXPECT_EQ(ShellEventTime(0), 0u);
    EXPECT_EQ(ShellEventTime(1), 0u);
}

TEST(WorkerLaunch, ReportsTheExitCodeOnceAfterTheOutputIsTaken) {
    ShellContextScope shell;
    ASSERT_EQ(ShellStartWorker(EventWriterPath().c_str(), L"emit:2:a:b exit:7"), 0u);
    EXPECT_EQ(ShellWorkerFailureStage(), 0u);
    ASSERT_TRUE(WorkerEnded());

    // Ended, but its record still waits in the pipe.
    EXPECT_EQ(ShellWorkerExit(), -1);
    EXPECT_NE(shell->workerProcess.get(), nullptr);
    EXPECT_EQ(NextEvent().type, 2);
    EXPECT_EQ(ShellWorkerExit(), 7);
    EXPECT_EQ(shell->workerProcess.get(), nullptr);
    EXPECT_EQ(shell->workerJob.get(), nullptr);
    EXPECT_EQ(shell->eventPipe.get(), nullptr);
    EXPECT_EQ(ShellWorkerExit(), -1);
}

TEST(WorkerLaunch, AnExitCodeOfAllOnesReadsAsRunningButReleasesTheWorker) {
    ShellContextScope shell;
    ASSERT_EQ(ShellStartWorker(EventWriterPath().c_str(), L"exit:0xFFFFFFFF"), 0u);
    ASSERT_TRUE(WorkerEnded());
    EXPECT_EQ(ShellWorkerExit(), -1);
    EXPECT_EQ(shell->workerProcess.get(), nullptr);
    EXPECT_EQ(shell->workerJob.get(), nullptr);
    EXPECT_EQ(shell->eventPipe.get(), nullptr);
    // Released, so a new worker may start.
    ASSERT_EQ(ShellStartWorker(EventWriterPath().c_str(), L"exit:3"), 0u);
    EXPECT_EQ(WaitForWorkerExit(), 3);
}

TEST(WorkerLaunch, ASecondStartIsRefusedWhileAWorkerExists) {
    ShellContextScope shell;
    UniqueHandleKernel release(::CreateEventW(nullptr, TRUE, FALSE, L"tovrak-worker-test-release"));
    ASSERT_EQ(ShellStartWorker(EventWriterPath().c_str(), L"hold:tovrak-worker-test-release exit:5"), 0u);
    const HANDLE process = shell->workerProcess.get(), job = shell->workerJob.get(),
                 pipe = shell->eventPipe.get();

    for (const bool ended : {false, true}) {
        SCOPED_TRACE(ended ? "after the worker ended" : "while the worker runs");
        if (ended) {
            ::SetEvent(release.get());
            ASSERT_TRUE(WorkerEnded());
        }
        shell->eventsTaken = 4;
        shell->exitOverride = 13;
        EXPECT_EQ(ShellStartWorker(EventWriterPath().c_str(), L""), TOVRAK_ERROR_BUSY);
        EXPECT_EQ(ShellWorkerFailureStage(), 9u);
        EXPECT_EQ(shell->eventsTaken, 0u);
        EXPECT_EQ(shell->exitOverride, 0u);
        EXPECT_EQ(shell->workerProcess.get(), process);
        EXPECT_EQ(shell->workerJob.get(), job);
        EXPECT_EQ(shell->eventPipe.get(), pipe);
    }
    EXPECT_EQ(WaitForWorkerExit(), 5);
    // The stage stays until the next start.
    EXPECT_EQ(ShellWorkerFailureStage(), 9u);
}

TEST(WorkerLaunch, StartsThatFailAtCreationLeaveNoHandle) {
    ShellContextScope shell;
    TempDirectory folder;
    const std::wstring missing = folder.Join(L"missing.exe");
    const struct {
        const wchar_t* application;
        DWORD result;
    } cases[] = {
        {missing.c_str(), ERROR_FILE_NOT_FOUND},
        {nullptr, ERROR_INVALID_PARAMETER},
    };
    // The first round lets the platform and the test framework set up what they keep for good.
    DWORD before = 0;
    for (int round = 0; round < 10; ++round) {
        if (round == 1) before = HandleCount();
        for (const auto& c : cases) {
            SCOPED_TRACE(c.application ? c.application : L"(null)");
            EXPECT_EQ(ShellStartWorker(c.application, L"x"), c.result);
            EXPECT_EQ(ShellWorkerFailureStage(), 8u);
            EXPECT_EQ(shell->workerProcess.get(), nullptr);
            EXPECT_EQ(shell->workerJob.get(), nullptr);
            EXPECT_EQ(shell->eventPipe.get(), nullptr);
        }
    }
    EXPECT_EQ(HandleCount(), before);
}

TEST(WorkerLaunch, StartAndExitCyclesLeakNoHandles) {
    ShellContextScope shell;
    const auto cycle = [] {
        ASSERT_EQ(ShellStartWorker(EventWriterPath().c_str(), L"emit:3:x:y partial:10"), 0u);
        EXPECT_EQ(WaitForWorkerExit(), 13);
    };
    cycle();
    const DWORD before = HandleCount();
    for (int i = 0; i < 15; ++i)
        cycle();
    EXPECT_EQ(HandleCount(), before);
}

// The records that "cmdline" writes: type -> text.
std::map<int, std::wstring> StartReport(const std::wstring& arguments) {
    std::map<int, std::wstring> report;
    if (ShellStartWorker(EventWriterPath().c_str(), arguments.c_str()) != 0) return report;
    for (TakenEvent event = NextEvent(); event.type != 0; event = NextEvent())
        report[event.type] = event.text;
    WaitForWorkerExit();
    return report;
}

std::wstring WithoutTrailingSlash(std::wstring path) {
    if (path.size() > 3 && path.back() == L'\\') path.pop_back();
    return path;
}

TEST(WorkerLaunch, QuotesOnlyTheProgramAndRunsHiddenInTheTemporaryDirectory) {
    ShellContextScope shell;
    const std::wstring program = EventWriterPath();
    const struct {
        const wchar_t* arguments;
    } cases[] = {{L""}, {L"cmdline"}, {L"cmdline  two\"quote \"a b\" \\\\ end "}};
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    wchar_t longTemp[MAX_PATH + 1] = {};
    ::GetLongPathNameW(temp, longTemp, MAX_PATH + 1);

    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const std::map<int, std::wstring> report = StartReport(c.arguments);
        ASSERT_EQ(report.count(6), 1u);
        EXPECT_EQ(report.at(6), L"\"" + program + L"\" " + c.arguments);
        const std::wstring cwd = WithoutTrailingSlash(report.at(7));
        EXPECT_TRUE(::lstrcmpiW(cwd.c_str(), WithoutTrailingSlash(temp).c_str()) == 0 ||
                    ::lstrcmpiW(cwd.c_str(), WithoutTrailingSlash(longTemp).c_str()) == 0)
            << cwd;
        std::wistringstream startup(report.at(8));
        DWORD flags = 0, show = 99;
        startup >> flags >> show;
        EXPECT_EQ(flags & (STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW),
                  DWORD{STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW});
        EXPECT_EQ(show, DWORD{SW_HIDE});
    }
}

// "value=Type:detail;" entries of the "handles" report.
std::map<std::uintptr_t, std::wstring> ParseHandles(const std::wstring& text) {
    std::map<std::uintptr_t, std::wstring> handles;
    std::wistringstream entries(text);
    std::wstring entry;
    while (std::getline(entries, entry, L';')) {
        const std::size_t equals = entry.find(L'=');
        if (equals != std::wstring::npos)
            handles[std::stoul(entry.substr(0, equals))] = entry.substr(equals + 1);
    }
    return handles;
}

TEST(WorkerLaunch, TheWorkerInheritsOnlyItsOutputPipeAndTheNulDevice) {
    ShellContextScope shell;
    // An inheritable handle of the host that the worker must not receive.
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    UniqueHandleKernel bait(::CreateEventW(&inheritable, TRUE, FALSE, L"tovrak-worker-test-bait"));
    ASSERT_TRUE(bait);

    ASSERT_EQ(ShellStartWorker(EventWriterPath().c_str(), L"handles hold:tovrak-worker-test-never"), 0u);
    const DWORD workerId = ::GetProcessId(shell->workerProcess.get());
    std::map<std::uintptr_t, std::wstring> handles;
    std::wstring stdValues;
    for (TakenEvent event = NextEvent(); event.type != 0; event = NextEvent(2000)) {
        if (event.label == L"handles") handles.merge(ParseHandles(event.text));
        if (event.label == L"std") {
            stdValues = event.text;
            break;
        }
    }
    ASSERT_FALSE(stdValues.empty());
    std::wistringstream values(stdValues);
    std::uintptr_t input = 0, output = 0, error = 0;
    values >> input >> output >> error;

    EXPECT_EQ(handles[output], L"File:pipe-client");
    EXPECT_EQ(input, error);
    EXPECT_NE(handles[input].find(L"File:char:"), std::wstring::npos) << handles[input];
    int pipeClients = 0;
    for (const auto& [value, object] : handles) {
        SCOPED_TRACE(std::to_wstring(value) + L"=" + object);
        pipeClients += object == L"File:pipe-client";
        EXPECT_NE(object, L"File:pipe-server");  // the host's read end
        EXPECT_NE(object, L"Job:member");        // the worker's own job
        EXPECT_NE(object, L"Process:" + std::to_wstring(workerId));
        EXPECT_EQ(object.find(L"tovrak-worker-test-bait"), std::wstring::npos);
    }
    EXPECT_EQ(pipeClients, 1);
}

TEST(WorkerLaunch, ReleasingTheWorkerEndsWhatItStarted) {
    for (const bool byExit : {false, true}) {
        SCOPED_TRACE(byExit ? "ShellWorkerExit" : "closing the shell");
        ShellContextScope shell;
        ASSERT_EQ(
            ShellStartWorker(EventWriterPath().c_str(), byExit ? L"grandchild exit:0" : L"grandchild wait"),
            0u);
        const TakenEvent started = NextEvent();
        ASSERT_EQ(started.type, 5);
        UniqueHandleKernel grandchild(::OpenProcess(SYNCHRONIZE, FALSE, std::stoul(started.text)));
        ASSERT_TRUE(grandchild);
        EXPECT_EQ(::WaitForSingleObject(grandchild.get(), 200), DWORD{WAIT_TIMEOUT});
        if (byExit) {
            EXPECT_EQ(WaitForWorkerExit(), 0);
        } else {
            ReleaseWorker(*shell);
        }
        EXPECT_EQ(::WaitForSingleObject(grandchild.get(), 5000), DWORD{WAIT_OBJECT_0});
    }
}

TEST(WorkerLaunch, ATemporaryPathMustFitIn32767Characters) {
    ShellContextScope shell;
    wchar_t saved[MAX_PATH + 1] = {};
    const DWORD savedLength = ::GetEnvironmentVariableW(L"TMP", saved, MAX_PATH + 1);
    // GetTempPathW adds the trailing backslash to the variable's value.
    const struct {
        std::size_t pathLength;
        bool accepted;
    } cases[] = {{32767, true}, {32768, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pathLength);
        std::wstring path = L"C:\\";
        path.append(c.pathLength - 1 - path.size(), L'a');
        ::SetEnvironmentVariableW(L"TMP", path.c_str());
        const DWORD result = ShellStartWorker(EventWriterPath().c_str(), L"exit:0");
        const DWORD stage = ShellWorkerFailureStage();
        ::SetEnvironmentVariableW(L"TMP", savedLength ? saved : nullptr);
        if (stage == 7 && result != ERROR_INSUFFICIENT_BUFFER)
            GTEST_SKIP() << "GetTempPathW caps the temporary path at MAX_PATH (error " << result << ")";
        if (c.accepted) {
            EXPECT_NE(stage, 7u);
        } else {
            EXPECT_EQ(stage, 7u);
            EXPECT_EQ(result, DWORD{ERROR_INSUFFICIENT_BUFFER});
        }
        WaitForWorkerExit();
    }
}

}  // namespace
}  // namespace tovrak::test
