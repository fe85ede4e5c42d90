#include <windows.h>

#include <cstring>

#include "common/unique_handle.h"
#include "shell/shell_context.h"
#include "shell/user_actions.h"

namespace tovrak {
namespace {

struct GlobalMemoryTraits {  // GlobalAlloc, until the clipboard takes the memory over
    using pointer = HGLOBAL;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer memory) noexcept { ::GlobalFree(memory); }
};
using UniqueGlobalMemory = UniqueHandle<GlobalMemoryTraits>;

// The clipboard, open for the lifetime of the object.
class OpenedClipboard {
  public:
    explicit OpenedClipboard(HWND owner) noexcept : open_(::OpenClipboard(owner) != FALSE) {}
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;
    ~OpenedClipboard() {
        if (open_) ::CloseClipboard();
    }
    explicit operator bool() const noexcept { return open_; }

  private:
    bool open_;
};

}  // namespace

void CopyDiagnosticsToClipboard(const ShellContext& shell) noexcept {
    OpenedClipboard clipboard(shell.window);
    if (!clipboard) return;

    const WideString& text = shell.diagnosticsText;
    const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
    UniqueGlobalMemory memory(::GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!memory) return;
    void* target = ::GlobalLock(memory.get());
    // Whatever is on the clipboard stays there unless the new text is ready to replace it.
    if (!target) return;
    std::memcpy(target, text.c_str(), bytes);
    ::GlobalUnlock(memory.get());

    ::EmptyClipboard();
    if (::SetClipboardData(CF_UNICODETEXT, memory.get())) {
        [[maybe_unused]] const HGLOBAL owned = memory.release();  // the clipboard owns it now
    }
}

}  // namespace tovrak
