#pragma once
// Payload paths in drive-letter form and the directory handles that hold a verified tree in place.

#include <vector>

#include "common/unique_handle.h"
#include "common/wide_string.h"

namespace tovrak {

constexpr std::size_t kPayloadPathMaxUnits = 32760;
constexpr std::wstring_view kLongPathPrefix = L"\\\\?\\";

// Open directory handles, appended root-first and closed in reverse order.
class PinList {
  public:
    PinList() = default;
    PinList(const PinList&) = delete;
    PinList& operator=(const PinList&) = delete;
    ~PinList() { Clear(); }

    void Append(UniqueFile pin) { pins_.push_back(std::move(pin)); }
    std::size_t Count() const noexcept { return pins_.size(); }
    void Clear() noexcept {
        while (!pins_.empty())
            pins_.pop_back();
    }

  private:
    std::vector<UniqueFile> pins_;
};

// An absolute drive-letter path ("X:\" or "X:/" followed by anything) made full, with no trailing
// backslash except in a bare drive root. UNC and "\\?\" forms are refused.
bool NormalizePayloadPath(const wchar_t* path, WideString& normalized);

// Opens `path` (a normalised payload path) as a directory that cannot be moved, renamed or removed
// while the handle is open, and appends the handle. False when it is not a real directory, whether
// its handle or, below a drive root, its name shows the link.
bool PinDirectory(const WideString& path, PinList& pins);

// Pins the drive root of `path`, every directory between it and `path`, and `path` itself; false when
// one of them is not a real directory, whether its handle or its name shows the link.
bool PinDirectoryChain(const WideString& path, PinList& pins);

// directory + "\" + name, without doubling the backslash of a drive root.
WideString JoinPath(const WideString& directory, std::wstring_view name);

}  // namespace tovrak
