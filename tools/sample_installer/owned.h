#pragma once
// Owning wrappers for the sample's handles, one per kind: a traits type names the handle type, the
// value that means "empty" and how to release it. The sample is built as any host is, against the
// public header only, so it keeps these few of its own.

#include <windows.h>
#include <objbase.h>

#include <utility>

namespace sample {

template <typename Traits>
class Owned {
  public:
    using pointer = typename Traits::pointer;

    Owned() noexcept = default;
    explicit Owned(pointer value) noexcept : value_(value) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& other) noexcept : value_(other.release()) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~Owned() { reset(); }

    pointer get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::Empty(); }
    [[nodiscard]] pointer release() noexcept { return std::exchange(value_, Traits::Empty()); }
    void reset(pointer value = Traits::Empty()) noexcept {
        pointer old = std::exchange(value_, value);
        if (old != Traits::Empty()) Traits::Release(old);
    }
    // For the out-parameter of the call that creates the handle.
    pointer* put() noexcept {
        reset();
        return &value_;
    }

  private:
    pointer value_ = Traits::Empty();
};

struct KernelHandleTraits {  // null when empty: mutexes, processes
    using pointer = HANDLE;
    static pointer Empty() noexcept { return nullptr; }
    static void Release(pointer h) noexcept { ::CloseHandle(h); }
};

struct FileHandleTraits {  // INVALID_HANDLE_VALUE when empty: CreateFileW
    using pointer = HANDLE;
    static pointer Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Release(pointer h) noexcept { ::CloseHandle(h); }
};

struct FindHandleTraits {
    using pointer = HANDLE;
    static pointer Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Release(pointer h) noexcept { ::FindClose(h); }
};

struct RegistryKeyTraits {
    using pointer = HKEY;
    static pointer Empty() noexcept { return nullptr; }
    static void Release(pointer h) noexcept { ::RegCloseKey(h); }
};

struct CoTaskMemoryTraits {  // strings the shell allocates, such as SHGetKnownFolderPath's
    using pointer = wchar_t*;
    static pointer Empty() noexcept { return nullptr; }
    static void Release(pointer p) noexcept { ::CoTaskMemFree(p); }
};

template <typename Interface>
struct ComInterfaceTraits {
    using pointer = Interface*;
    static pointer Empty() noexcept { return nullptr; }
    static void Release(pointer p) noexcept { p->Release(); }
};

using OwnedHandle = Owned<KernelHandleTraits>;
using OwnedFile = Owned<FileHandleTraits>;
using OwnedFind = Owned<FindHandleTraits>;
using OwnedKey = Owned<RegistryKeyTraits>;
using OwnedCoTaskString = Owned<CoTaskMemoryTraits>;
template <typename Interface>
using OwnedCom = Owned<ComInterfaceTraits<Interface>>;

// A single-threaded COM apartment on the calling thread for the life of the object (the folder
// browser, the pipe identifiers, the shell link). A thread that already runs another apartment keeps
// it: the object then leaves it alone.
class ComApartment {
  public:
    ComApartment() : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (initialised_) ::CoUninitialize();
    }

  private:
    bool initialised_;
};

}  // namespace sample
