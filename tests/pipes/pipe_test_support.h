#pragma once
// What the pipe tests share: a shell context published without a shell window, pipe identifiers,
// and starting the pipe client.

#include <windows.h>

#include <string>

#include "pipes/pipe_listener.h"
#include "shell/shell_context.h"
#include "support/environment.h"

namespace tovrak::test {

// Publishes a fresh context in g_shell for the lifetime of the scope; on the way out the listeners
// are reset the way ShellClose does and the record is freed.
class ShellContextScope {
  public:
    ShellContextScope();
    ~ShellContextScope();
    ShellContextScope(const ShellContextScope&) = delete;
    ShellContextScope& operator=(const ShellContextScope&) = delete;
    ShellContext& context() { return *context_; }

  private:
    ShellContext* context_;
};

// A new braced GUID, e.g. "{6B29FC40-CA47-1067-B31D-00DD010662DA}".
std::wstring NewPipeId();
// The GUID without its braces, as the pipe names carry it.
std::wstring PipeNameSuffix(const std::wstring& pipeId);

// Starts `program` (pipe_client.exe or a copy) on the pipe `name` with the further arguments.
ChildProcess StartPipeClient(const std::wstring& program, const std::wstring& name,
                             const std::wstring& arguments = L"");

// True once a client has connected and the listener has not yet dealt with it.
bool ClientWaiting(const PipeListener& listener);
// Waits until a client is waiting on `listener`, up to `timeoutMs`.
bool WaitForClient(const PipeListener& listener, DWORD timeoutMs);

}  // namespace tovrak::test
