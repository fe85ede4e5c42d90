#pragma once
// Scratch installation directories with copies of the owned_waiter program running from them.

#include <windows.h>

#include <string>
#include <string_view>

#include "support/environment.h"

namespace tovrak::test {

// The exit code of a waiter whose window was closed by WM_CLOSE.
inline constexpr DWORD kClosedByMessageExitCode = 10;

class InstallationDirectory {
  public:
    const std::wstring& path() const { return temp_.path(); }
    std::wstring Join(std::wstring_view relative) const { return temp_.Join(relative); }

    // Copies the waiter program to `relative` (creating its folders) unless it is there already, and
    // returns its full path, or an empty string when the copy failed.
    std::wstring Install(std::wstring_view relative) const;

    // Starts the waiter at `relative` with `arguments` (see tests/programs/owned_waiter.cpp); the
    // result's id() is 0 when it could not be started.
    ChildProcess Start(std::wstring_view relative, const std::wstring& arguments = L"") const;

  private:
    TempDirectory temp_;
};

// Waits until the process shows a top-level window; false when none appears in time.
bool WaitForTopLevelWindow(DWORD processId, DWORD timeoutMs);

// A process that has already ended; its handle stays open, so its identifier is not reused meanwhile.
ChildProcess StartEndedProcess(const InstallationDirectory& directory);

}  // namespace tovrak::test
