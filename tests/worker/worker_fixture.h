#pragma once
// A ShellContext published in g_shell for the duration of a test, without a shell window, and a few
// helpers for driving a worker the way a host does.

#include <windows.h>

#include <string>

#include "shell/shell_context.h"
#include "support/environment.h"
#include "tovrak/renderer.h"
#include "worker/worker_channel.h"

namespace tovrak::test {

class ShellContextScope {
  public:
    ShellContextScope() {
        InstallShellRecord(AllocateShellContext());
        context_ = g_shell.get();
    }
    ~ShellContextScope() {
        if (!context_) return;
        ReleaseWorker(*context_);
        RemoveShellRecord();
    }
    ShellContextScope(const ShellContextScope&) = delete;
    ShellContextScope& operator=(const ShellContextScope&) = delete;
    ShellContext& operator*() const { return *context_; }
    ShellContext* operator->() const { return context_; }

  private:
    ShellContext* context_;
};

struct TakenEvent {
    int type = 0;
    std::wstring label;
    std::wstring text;
};

inline std::wstring EventWriterPath() {
    return ProgramPath(L"event_writer.exe");
}

// True when no further record can come: the stream is closed, or the worker has ended and its pipe
// and the buffer hold no whole record.
inline bool WorkerFinishedWriting() {
    if (!g_shell->eventPipe.get() || !g_shell->workerProcess.get()) return true;
    if (::WaitForSingleObject(g_shell->workerProcess.get(), 0) != WAIT_OBJECT_0) return false;
    DWORD waiting = 0;
    ::PeekNamedPipe(g_shell->eventPipe.get(), nullptr, 0, nullptr, &waiting, nullptr);
    return waiting == 0 && g_shell->eventBuffer.size() < sizeof(WorkerEvent);
}

// Calls ShellReadEvent until it returns a record or `timeoutMs` passes; type 0 when nothing came.
inline TakenEvent NextEvent(DWORD timeoutMs = 10000, int capacity = 1024) {
    std::wstring label(capacity, L'\0'), text(capacity, L'\0');
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    do {
        if (const int type = ShellReadEvent(label.data(), text.data(), capacity)) {
            return {type, label.c_str(), text.c_str()};
        }
        if (WorkerFinishedWriting()) return {};
        ::Sleep(1);
    } while (::GetTickCount64() < deadline);
    return {};
}

// Polls ShellWorkerExit (taking records as a host would when `drain` is set) until it reports an exit.
inline int WaitForWorkerExit(bool drain = true, DWORD timeoutMs = 10000) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    wchar_t label[16], text[16];
    for (;;) {
        if (drain) {
            while (ShellReadEvent(label, text, 16) != 0) {
            }
        }
        const int code = ShellWorkerExit();
        if (code != -1 || !g_shell->workerProcess.get() || ::GetTickCount64() >= deadline) return code;
        ::Sleep(2);
    }
}

// Waits until the worker process has ended, without taking anything from its stream.
inline bool WorkerEnded(DWORD timeoutMs = 10000) {
    return g_shell->workerProcess.get() &&
           ::WaitForSingleObject(g_shell->workerProcess.get(), timeoutMs) == WAIT_OBJECT_0;
}

}  // namespace tovrak::test
