#pragma once
// The shell window's child controls, described once. Construction, the painter, the accessibility,
// the Tab key and the layout's hiding walk this table instead of naming the children themselves, so
// a new control is a new row (and, when it is shown, a placement in layout_placements.h).

#include <windows.h>
#include <oleacc.h>

#include <cstddef>

#include "common/wide_string.h"
#include "shell/shell_context.h"

namespace tovrak {

constexpr DWORD kOwnerDrawnButtonStyle = WS_CHILD | WS_TABSTOP | BS_OWNERDRAW;
constexpr DWORD kPathEditStyle = WS_CHILD | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL;

enum class ShellChildKind : unsigned char {
    // Drawn by the painter into the window's face; the button itself paints nothing.
    OwnerDrawnButton,
    // The path field, a skinned edit control.
    Edit,
    Static,
    // Made by CreateProgress, which chooses its own class and style.
    Progress,
};

// The children that paint themselves: the painter's copy of the face goes around them.
constexpr bool PaintsItself(ShellChildKind kind) noexcept {
    return kind != ShellChildKind::OwnerDrawnButton;
}

// The children that show text in the body font; the buttons' captions are drawn by the painter.
constexpr bool TakesBodyFont(ShellChildKind kind) noexcept {
    return kind == ShellChildKind::Edit || kind == ShellChildKind::Static;
}

// A child's text at creation: fixed, or taken from the record.
struct ShellChildText {
    constexpr ShellChildText(const wchar_t* fixedText) noexcept : fixed(fixedText) {}
    constexpr ShellChildText(WideString ShellContext::*recordText) noexcept : field(recordText) {}

    const wchar_t* In(const ShellContext& shell) const noexcept {
        return field ? (shell.*field).c_str() : fixed;
    }

    const wchar_t* fixed = L"";
    WideString ShellContext::*field = nullptr;
};

// Accessible role of a child that keeps the object the system makes for it.
constexpr LONG kSystemAccessible = 0;
// Reading position of a child that Tab never reaches.
constexpr int kNotInReadingOrder = -1;

struct ShellChild {
    HWND ShellContext::*window;
    // 0 for a child that is never told apart by its id.
    int controlId;
    ShellChildKind kind;
    ShellChildText text;
    // Unused for the progress bar.
    DWORD style;
    LONG accessibleRole;
    // Its place when Tab walks the face: top to bottom, left to right.
    int readingPosition;
};

// In the order of creation, which is also the Z-order: the dialog manager and the system's accessible
// proxy list the children in it. The painter composes the owner-drawn buttons in this order too.
inline constexpr ShellChild kShellChildren[] = {
    // window, control id, kind, text, style, accessible role, reading position
    {&ShellContext::primaryButton, 0x65, ShellChildKind::OwnerDrawnButton, &ShellContext::primaryCaption,
     kOwnerDrawnButtonStyle, ROLE_SYSTEM_PUSHBUTTON, 1},
    {&ShellContext::optionsButton, 0x66, ShellChildKind::OwnerDrawnButton, L"更多选项",
     kOwnerDrawnButtonStyle, ROLE_SYSTEM_PUSHBUTTON, 5},
    {&ShellContext::closeButton, 0x67, ShellChildKind::OwnerDrawnButton, L"关闭安装器",
     kOwnerDrawnButtonStyle, ROLE_SYSTEM_PUSHBUTTON, 0},
    {&ShellContext::agreementCheckbox, 0x68, ShellChildKind::OwnerDrawnButton, L"同意用户协议与隐私政策",
     kOwnerDrawnButtonStyle, ROLE_SYSTEM_CHECKBUTTON, 2},
    {&ShellContext::userAgreementLink, 0x69, ShellChildKind::OwnerDrawnButton, L"《用户协议》",
     kOwnerDrawnButtonStyle, ROLE_SYSTEM_LINK, 3},
    {&ShellContext::privacyPolicyLink, 0x6a, ShellChildKind::OwnerDrawnButton, L"《隐私政策》",
     kOwnerDrawnButtonStyle, ROLE_SYSTEM_LINK, 4},
    {&ShellContext::shortcutCheckbox, 0x6b, ShellChildKind::OwnerDrawnButton, L"创建桌面快捷方式",
     kOwnerDrawnButtonStyle, ROLE_SYSTEM_CHECKBUTTON, 8},
    {&ShellContext::browseButton, 0x6c, ShellChildKind::OwnerDrawnButton, L"更改", kOwnerDrawnButtonStyle,
     ROLE_SYSTEM_PUSHBUTTON, 7},
    {&ShellContext::copyDiagnosticsButton, 0x6d, ShellChildKind::OwnerDrawnButton, L"复制诊断信息",
     kOwnerDrawnButtonStyle, ROLE_SYSTEM_PUSHBUTTON, 9},
    {&ShellContext::openLogButton, 0x6e, ShellChildKind::OwnerDrawnButton, L"打开日志目录",
     kOwnerDrawnButtonStyle, ROLE_SYSTEM_PUSHBUTTON, 10},
    {&ShellContext::pathEdit, 0x6f, ShellChildKind::Edit, &ShellContext::installDirectory, kPathEditStyle,
     ROLE_SYSTEM_TEXT, 6},
    {&ShellContext::diagnosticsLabel, 0x70, ShellChildKind::Static, L"", WS_CHILD, ROLE_SYSTEM_STATICTEXT,
     kNotInReadingOrder},
    // The two plain labels keep the system's objects: the path field is named after the first.
    {&ShellContext::locationLabel, 0, ShellChildKind::Static, L"安装位置", WS_CHILD | SS_CENTERIMAGE,
     kSystemAccessible, kNotInReadingOrder},
    {&ShellContext::directoryNoteLabel, 0, ShellChildKind::Static, L"", WS_CHILD | SS_CENTERIMAGE | SS_RIGHT,
     kSystemAccessible, kNotInReadingOrder},
    {&ShellContext::progressBar, 0, ShellChildKind::Progress, L"", 0, ROLE_SYSTEM_PROGRESSBAR,
     kNotInReadingOrder},
};

// How many rows `wanted` picks; usable where a size must be known at compile time.
template <typename Predicate>
constexpr std::size_t CountShellChildren(Predicate wanted) noexcept {
    std::size_t count = 0;
    for (const ShellChild& child : kShellChildren) {
        if (wanted(child)) ++count;
    }
    return count;
}

// The row of a child window of the open shell; null for any other window.
const ShellChild* FindShellChild(const ShellContext& shell, HWND window) noexcept;

}  // namespace tovrak
