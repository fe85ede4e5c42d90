// Closing the shell, as a host does at the end, ends the worker and everything it started.

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "common/unique_handle.h"
#include "support/shell_session.h"
#include "worker_fixture.h"

namespace tovrak::test {
namespace {

bool HandleIsOpen(HANDLE handle) {
    DWORD flags = 0;
    return handle && ::GetHandleInformation(handle, &flags) != 0;
}

TEST(ShellClose, EndsTheWorkerThatStillRunsAndWhatItStarted) {
    for (const char* worker : {"running", "ended, its output not yet taken"}) {
        SCOPED_TRACE(worker);
        const bool running = std::string(worker) == "running";
        std::optional<ShellSession> session(std::in_place);
        ASSERT_TRUE(*session);
        ASSERT_EQ(ShellStartWorker(EventWriterPath().c_str(),
                                   running ? L"grandchild wait" : L"grandchild emit:2:a:b emit:2:c:d exit:0"),
                  0u);
        const TakenEvent started = NextEvent();
        ASSERT_EQ(started.type, 5);
        UniqueHandleKernel workerProcess(
            ::OpenProcess(SYNCHRONIZE, FALSE, ::GetProcessId(g_shell->workerProcess.get())));
        UniqueHandleKernel grandchild(::OpenProcess(SYNCHRONIZE, FALSE, std::stoul(started.text)));
        ASSERT_TRUE(workerProcess && grandchild);
        if (!running) {
            ASSERT_TRUE(WorkerEnded());
        }
        const HANDLE handles[] = {g_shell->workerProcess.get(), g_shell->workerJob.get(),
                                  g_shell->eventPipe.get()};

        session.reset();  // ShellClose
        ASSERT_EQ(g_shell, nullptr);
        for (HANDLE handle : handles)
            EXPECT_FALSE(HandleIsOpen(handle));
        EXPECT_EQ(::WaitForSingleObject(workerProcess.get(), 5000), DWORD{WAIT_OBJECT_0});
        EXPECT_EQ(::WaitForSingleObject(grandchild.get(), 5000), DWORD{WAIT_OBJECT_0});
        EXPECT_EQ(ShellWorkerExit(), -1);
        EXPECT_EQ(ShellWorkerFailureStage(), 0u);

        // The next shell starts a worker of its own: nothing of the old one is left to refuse it.
        ShellSession next;
        ASSERT_TRUE(next);
        ASSERT_EQ(ShellStartWorker(EventWriterPath().c_str(), L"emit:2:x:y exit:3"), 0u);
        EXPECT_EQ(NextEvent().type, 2);
        EXPECT_EQ(WaitForWorkerExit(), 3);
    }
}

}  // namespace
}  // namespace tovrak::test
