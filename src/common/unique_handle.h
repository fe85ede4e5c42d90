#pragma once
// One owning wrapper per kind of handle. A traits type names the handle type, the value that means
// "empty" and how to release it; UniqueHandle does the rest.

#include <windows.h>

#include <utility>

namespace tovrak {

template <typename Traits>
class UniqueHandle {
  public:
    using pointer = typename Traits::pointer;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(pointer value) noexcept : value_(value) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    pointer get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::invalid(); }

    [[nodiscard]] pointer release() noexcept { return std::exchange(value_, Traits::invalid()); }

    void reset(pointer value = Traits::invalid()) noexcept {
        pointer old = std::exchange(value_, value);
        if (old != Traits::invalid()) Traits::close(old);
    }

    // For out-parameters of the API that creates the handle; releases what was held before.
    pointer* put() noexcept {
        reset();
        return &value_;
    }

  private:
    pointer value_ = Traits::invalid();
};

struct KernelHandleTraits {  // null when empty: processes, threads, events, jobs, pipes
    using pointer = HANDLE;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::CloseHandle(h); }
};

struct FileHandleTraits {  // INVALID_HANDLE_VALUE when empty: CreateFileW, CreateNamedPipeW, snapshots
    using pointer = HANDLE;
    static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(pointer h) noexcept { ::CloseHandle(h); }
};

struct FindHandleTraits {
    using pointer = HANDLE;
    static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(pointer h) noexcept { ::FindClose(h); }
};

template <typename T>
struct GdiObjectTraits {  // fonts, brushes, pens, bitmaps, regions
    using pointer = T;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::DeleteObject(h); }
};

struct MemoryDcTraits {  // CreateCompatibleDC
    using pointer = HDC;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::DeleteDC(h); }
};

struct RegistryKeyTraits {
    using pointer = HKEY;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::RegCloseKey(h); }
};

struct WindowTraits {
    using pointer = HWND;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::DestroyWindow(h); }
};

using UniqueHandleKernel = UniqueHandle<KernelHandleTraits>;
using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniqueFind = UniqueHandle<FindHandleTraits>;
using UniqueFont = UniqueHandle<GdiObjectTraits<HFONT>>;
using UniqueBrush = UniqueHandle<GdiObjectTraits<HBRUSH>>;
using UniquePen = UniqueHandle<GdiObjectTraits<HPEN>>;
using UniqueBitmap = UniqueHandle<GdiObjectTraits<HBITMAP>>;
using UniqueRegion = UniqueHandle<GdiObjectTraits<HRGN>>;
using UniqueMemoryDc = UniqueHandle<MemoryDcTraits>;
using UniqueRegistryKey = UniqueHandle<RegistryKeyTraits>;
using UniqueWindow = UniqueHandle<WindowTraits>;

// A window's DC from GetDC, given back with ReleaseDC.
class WindowDc {
  public:
    explicit WindowDc(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_) ::ReleaseDC(window_, dc_);
    }
    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

  private:
    HWND window_;
    HDC dc_;
};

// Selects an object into a DC for the lifetime of the guard.
class SelectGuard {
  public:
    SelectGuard(HDC dc, HGDIOBJ object) noexcept
        : dc_(dc), previous_(object ? ::SelectObject(dc, object) : nullptr) {}
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;
    ~SelectGuard() {
        if (previous_) ::SelectObject(dc_, previous_);
    }

  private:
    HDC dc_;
    HGDIOBJ previous_;
};

// Saves a DC's state for the lifetime of the guard.
class SavedDcState {
  public:
    explicit SavedDcState(HDC dc) noexcept : dc_(dc), state_(::SaveDC(dc)) {}
    SavedDcState(const SavedDcState&) = delete;
    SavedDcState& operator=(const SavedDcState&) = delete;
    ~SavedDcState() {
        if (state_) ::RestoreDC(dc_, state_);
    }

  private:
    HDC dc_;
    int state_;
};

}  // namespace tovrak
