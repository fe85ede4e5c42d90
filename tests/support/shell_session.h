#pragma once
// A shell opened with the project's sample pictures for the lifetime of the object, as a host would
// open it; closed again when the object goes away.

#include <windows.h>

#include <cstdint>
#include <string>

#include "tovrak/renderer.h"

namespace tovrak::test {

// The folder of the sample pictures in the source tree.
std::wstring SampleAssets();

class ShellSession {
  public:
    // Opens the shell; window() is null when ShellOpen refused. Inline, so that the shell's exports are
    // referenced from the test's own object and the linker takes them from the shell library whatever
    // the order of the libraries on its command line.
    explicit ShellSession(std::uint32_t mode = 0,
                          const std::wstring& installDirectory = L"C:\\Tovrak\\Sample",
                          const std::wstring& displayName = L"Tovrak",
                          const std::wstring& assets = SampleAssets())
        : window_(::ShellOpen(assets.c_str(), installDirectory.c_str(), displayName.c_str(),
                              L"Microsoft YaHei", mode)) {}
    ~ShellSession() {
        if (window_) ::ShellClose();
    }
    ShellSession(const ShellSession&) = delete;
    ShellSession& operator=(const ShellSession&) = delete;

    HWND window() const { return window_; }
    explicit operator bool() const { return window_ != nullptr; }

  private:
    HWND window_ = nullptr;
};

}  // namespace tovrak::test
