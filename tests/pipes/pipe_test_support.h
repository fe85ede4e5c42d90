#pragma once
// What the pipe tests share: a shell context published without a shell window, pipe identifiers
// and names, and the pipe client.

#include <windows.h>

#include <string>

#include "pipes/pipe_listener.h"
#include "shell/shell_context.h"
#include "support/environment.h"

namespace tovrak::test {

inline constexpr wchar_t kReadyPrefix[] = L"\\\\.\\pipe\\tovrak-installer-ready-";
inline constexpr wchar_t kSurfaceReadyPrefix[] = L"\\\\.\\pipe\\tovrak-installer-surface-ready-";
inline constexpr wchar_t kStatusPrefix[] = L"\\\\.\\pipe\\tovrak-installer-status-";

// Publishes a fresh context in g_shell for the lifetime of the scope; on the way out the listeners
// are reset as ShellClose does and the record is freed.
class ShellContextScope {
  public:
    ShellContextScope() {
        InstallShellRecord(AllocateShellContext());
        context_ = g_shell.get();
    }
    ~ShellContextScope();
    ShellContextScope(const ShellContextScope&) = delete;
    ShellContextScope& operator=(const ShellContextScope&) = delete;
    ShellContext& context() { return *context_; }

  private:
    ShellContext* context_;
};

// A new braced GUID, e.g. "{6B29FC40-CA47-1067-B31D-00DD010662DA}".
std::wstring NewPipeId();
// `prefix` followed by the identifier without its braces.
std::wstring PipeName(const wchar_t* prefix, const std::wstring& pipeId);
// Starts `program` (pipe_client.exe or a copy) as a client of the pipe `name`.
ChildProcess StartPipeClient(const std::wstring& program, const std::wstring& name,
                             const std::wstring& arguments);
// Waits up to `timeoutMs` for a client that the listener has not dealt with yet.
bool ClientWaiting(const PipeListener& listener, DWORD timeoutMs = 0);

}  // namespace tovrak::test
