#pragma once
// Files, folders, programs and resource counts for tests.

#include <windows.h>

#include <string>
#include <string_view>

#include "common/unique_handle.h"

namespace tovrak::test {

// The folder of the running test program (where the helper programs and the DLL are built).
std::wstring ExecutableDirectory();
// Full path of a helper program built beside the tests, e.g. ProgramPath(L"pipe_client.exe").
std::wstring ProgramPath(std::wstring_view fileName);
// A path inside the source tree (for example the sample assets), in Windows form.
std::wstring SourcePath(std::wstring_view relative);

// A fresh, empty folder under the temporary directory, removed with everything in it when destroyed.
class TempDirectory {
  public:
    TempDirectory();
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;
    const std::wstring& path() const { return path_; }
    // path() + "\" + relative
    std::wstring Join(std::wstring_view relative) const;

  private:
    std::wstring path_;
};

bool WriteBytes(const std::wstring& path, std::string_view bytes);
std::string ReadBytes(const std::wstring& path);
bool CreateDirectories(const std::wstring& path);
bool RemoveTree(const std::wstring& path);

// Kernel handles open in this process.
DWORD HandleCount();

// A started process; terminated (if still running) and closed when destroyed.
class ChildProcess {
  public:
    ChildProcess() = default;
    // Starts `program` with `arguments` (the command line is "\"program\" arguments").
    bool Start(const std::wstring& program, const std::wstring& arguments, DWORD flags = 0);
    // Starts `program` without a window, its standard output (and, with `errorsToo`, its standard
    // error) on a pipe whose read end goes to `output`. The child holds the only writing end, so the
    // pipe ends when the child does.
    bool StartWithOutputPipe(const std::wstring& program, const std::wstring& arguments, bool errorsToo,
                             UniqueHandleKernel& output);
    ~ChildProcess();
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&&) = delete;
    HANDLE handle() const { return process_; }
    DWORD id() const { return id_; }
    // Waits for the exit; returns the exit code or STILL_ACTIVE when the wait timed out.
    DWORD Wait(DWORD milliseconds);
    void Terminate();

  private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

}  // namespace tovrak::test
