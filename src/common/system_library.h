#pragma once
// System DLLs that are not KnownDLLs, loaded at first use from the system directory only.
//
// The loader looks for every statically imported DLL that is not a KnownDLL in the host's own folder
// first. An installer runs from a Downloads folder, next to whatever else lies there, so a planted
// dwmapi.dll or bcrypt.dll would run inside it. The library therefore imports KnownDLLs only
// (scripts/known_dlls.txt) and reaches every other system DLL through this loader.
//
// One declaration per DLL and one per function, at namespace scope in a file of that DLL's own
// (common/dwmapi_functions.cpp is the smallest), beside the wrappers the rest of the library calls:
//
//     constinit SystemLibrary library(L"dwmapi.dll");
//     constinit SystemFunction<decltype(&::DwmFlush)> dwmFlush(library, "DwmFlush");
//     ...
//     if (const auto function = dwmFlush.get()) return function();
//     return HRESULT_FROM_WIN32(::GetLastError());
//
// A DLL is loaded once and never freed, so a resolved function stays valid for the life of the process.
// A DLL or function that cannot be had is an ordinary failure of the caller: get() returns null and the
// thread's last error says why. Being constinit, the objects are ready before any constructor of the
// library runs; they may be used from any thread.

#include <windows.h>

#include <atomic>

namespace tovrak {

class SystemLibrary {
  public:
    explicit constexpr SystemLibrary(const wchar_t* fileName) noexcept : fileName_(fileName) {}
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;

    // The module from the system directory, or null (with the last error set) when it cannot be loaded.
    HMODULE Module() noexcept;

  private:
    const wchar_t* fileName_;
    std::atomic<HMODULE> module_{nullptr};
};

// Resolves `name`, or, where a DLL exports the function by ordinal only, `ordinal`; null when neither.
FARPROC ResolveSystemFunction(SystemLibrary& library, const char* name, WORD ordinal) noexcept;

template <typename Pointer>
class SystemFunction {
  public:
    // `ordinal` is for DLLs whose older versions export the function without its name; 0 for none.
    constexpr SystemFunction(SystemLibrary& library, const char* name, WORD ordinal = 0) noexcept
        : library_(library), name_(name), ordinal_(ordinal) {}
    SystemFunction(const SystemFunction&) = delete;
    SystemFunction& operator=(const SystemFunction&) = delete;

    Pointer get() noexcept {
        if (const FARPROC known = address_.load(std::memory_order_acquire)) return Cast(known);
        const FARPROC found = ResolveSystemFunction(library_, name_, ordinal_);
        if (found) address_.store(found, std::memory_order_release);
        return Cast(found);
    }

  private:
    static Pointer Cast(FARPROC address) noexcept {
        // GetProcAddress returns every function as FARPROC; the declaration names its real type.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wcast-function-type"
        return reinterpret_cast<Pointer>(address);
#pragma GCC diagnostic pop
    }

    SystemLibrary& library_;
    const char* name_;
    WORD ordinal_;
    std::atomic<FARPROC> address_{nullptr};
};

}  // namespace tovrak
