#pragma once
// An owned reference to a COM interface: released when the holder goes away or is reset.

#include <unknwn.h>

#include <utility>

namespace tovrak {

template <typename Interface>
class ComPtr {
  public:
    ComPtr() noexcept = default;
    // Takes over a reference the caller already holds.
    explicit ComPtr(Interface* owned) noexcept : pointer_(owned) {}
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) reset(std::exchange(other.pointer_, nullptr));
        return *this;
    }
    ~ComPtr() { reset(); }

    Interface* get() const noexcept { return pointer_; }
    Interface* operator->() const noexcept { return pointer_; }
    explicit operator bool() const noexcept { return pointer_ != nullptr; }

    void reset(Interface* owned = nullptr) noexcept {
        if (Interface* old = std::exchange(pointer_, owned)) old->Release();
    }
    [[nodiscard]] Interface* release() noexcept { return std::exchange(pointer_, nullptr); }
    // For out-parameters of the API that hands out a reference; releases what was held before.
    Interface** put() noexcept {
        reset();
        return &pointer_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

  private:
    Interface* pointer_ = nullptr;
};

}  // namespace tovrak
