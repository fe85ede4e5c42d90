#pragma once
// A shell opened with the project's sample pictures for the lifetime of the object, as a host would
// open it; closed again when the object goes away.

#include <windows.h>

#include <cstdint>
#include <string>

namespace tovrak::test {

// The folder of the sample pictures in the source tree.
std::wstring SampleAssets();

class ShellSession {
  public:
    // Opens the shell; window() is null when ShellOpen refused.
    explicit ShellSession(std::uint32_t mode = 0,
                          const std::wstring& installDirectory = L"C:\\Tovrak\\Sample",
                          const std::wstring& displayName = L"Tovrak",
                          const std::wstring& assets = SampleAssets());
    ~ShellSession();
    ShellSession(const ShellSession&) = delete;
    ShellSession& operator=(const ShellSession&) = delete;

    HWND window() const { return window_; }
    explicit operator bool() const { return window_ != nullptr; }

  private:
    HWND window_ = nullptr;
};

}  // namespace tovrak::test
