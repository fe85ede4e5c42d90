#include "pipe_test_support.h"

#include <objbase.h>

namespace tovrak::test {

ShellContextScope::~ShellContextScope() {
    context_->readyListener.Reset();
    context_->surfaceReadyListener.Reset();
    context_->launchStatusListener.Reset();
    RemoveShellRecord();
}

std::wstring NewPipeId() {
    GUID guid{};
    ::CoCreateGuid(&guid);
    wchar_t text[64] = {};
    ::StringFromGUID2(guid, text, 64);
    return text;
}

std::wstring PipeName(const wchar_t* prefix, const std::wstring& pipeId) {
    return prefix + pipeId.substr(1, pipeId.size() - 2);
}

ChildProcess StartPipeClient(const std::wstring& program, const std::wstring& name,
                             const std::wstring& arguments) {
    ChildProcess client;
    client.Start(program, L"\"" + name + L"\" " + arguments);
    return client;
}

bool ClientWaiting(const PipeListener& listener, DWORD timeoutMs) {
    return listener.connectEvent &&
           ::WaitForSingleObject(listener.connectEvent.get(), timeoutMs) == WAIT_OBJECT_0;
}

}  // namespace tovrak::test
