#pragma once
// The shell window's child controls, described once: what each is, what it shows, when it is shown
// and enabled, what a click on it does and how the painter draws it. Construction, the window
// procedure, the layout, the painter, the accessibility and the Tab key walk this table instead of
// naming the children themselves, so a new control is a new row (and, when it is shown, a placement
// in layout_placements.h).

#include <windows.h>
#include <oleacc.h>

#include <cstddef>
#include <optional>
#include <string_view>

#include "common/shell_texts.h"
#include "common/wide_string.h"
#include "shell/screen_rules.h"
#include "shell/shell_context.h"
#include "shell/user_actions.h"
#include "tovrak/renderer.h"

namespace tovrak {

// The children's control ids: what WM_COMMAND and GetDlgItem know them by.
enum class ShellControlId : int {
    // A child that is never told apart by its id.
    None = 0,
    Primary = 0x65,
    Options = 0x66,
    Close = 0x67,
    Agreement = 0x68,
    UserAgreement = 0x69,
    PrivacyPolicy = 0x6a,
    Shortcut = 0x6b,
    Browse = 0x6c,
    CopyDiagnostics = 0x6d,
    OpenLog = 0x6e,
    PathField = 0x6f,
    DiagnosticsText = 0x70,
};

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

// How the painter draws an owner-drawn button.
enum class ItemLook : unsigned char {
    // Not an owner-drawn button.
    None,
    // The white rounded button with the primary caption.
    Primary,
    // The close image alone.
    Close,
    // A caption and an arrow that points where the panel goes.
    PanelToggle,
    // The agreement's box and the words before its links.
    AgreementBox,
    // The panel's box with its caption.
    OptionBox,
    Link,
    // A framed button in the panel.
    FramedAction,
    // A plain caption in the panel.
    Action,
};

// A child's text: fixed, taken from the record, or chosen by the screen.
struct ShellChildText {
    using Chooser = ShellText (*)(const ShellContext& shell) noexcept;

    constexpr ShellChildText(ShellText fixedText) noexcept : fixed(fixedText) {}
    constexpr ShellChildText(WideString ShellContext::*recordText) noexcept : field(recordText) {}
    constexpr ShellChildText(Chooser chooseText) noexcept : choose(chooseText) {}
    // No text.
    constexpr ShellChildText() noexcept = default;

    std::wstring_view In(const ShellContext& shell) const noexcept {
        if (field) return shell.*field;
        if (choose) return shell.texts[choose(shell)];
        return fixed ? shell.texts[*fixed] : std::wstring_view();
    }
    // Whether the text follows the record or the screen, so that the layout brings it up to date.
    constexpr bool Changes() const noexcept { return field || choose; }

    std::optional<ShellText> fixed;
    WideString ShellContext::*field = nullptr;
    Chooser choose = nullptr;
};

// The options button names what its panel holds on each screen.
inline ShellText PanelToggleText(const ShellContext& shell) noexcept {
    if (!IsIdleScreen(shell)) return ShellText::Diagnostics;
    return shell.mode == ShellModeUninstall ? ShellText::InstallLocation : ShellText::MoreOptions;
}

// Accessible role of a child that keeps the object the system makes for it.
constexpr LONG kSystemAccessible = 0;
// Reading position of a child that Tab never reaches.
constexpr int kNotInReadingOrder = -1;

struct ShellChild {
    HWND ShellContext::*window;
    ShellControlId id;
    ShellChildKind kind;
    ShellChildText text;
    // Unused for the progress bar.
    DWORD style;
    LONG accessibleRole;
    // Its place when Tab walks the face: top to bottom, left to right.
    int readingPosition;
    // When the layout shows it, and when it enables it (null: its enabled state is never changed).
    ScreenRule shown;
    ScreenRule enabled = nullptr;
    ShellClick click = {};
    ItemLook look = ItemLook::None;
    // The choice a check box shows and toggles.
    bool ShellContext::*checked = nullptr;
    // The words the painter draws, when they are fixed rather than the window's text.
    std::optional<ShellText> painted = std::nullopt;
    // Words the painter draws after the child's own, in the same row (the agreement's joiner).
    std::optional<ShellText> trailing = std::nullopt;
};

// In the order of creation, which is also the Z-order: the dialog manager and the system's accessible
// proxy list the children in it. The painter composes the owner-drawn buttons in this order too.
inline constexpr ShellChild kShellChildren[] = {
    {&ShellContext::primaryButton,
     ShellControlId::Primary,
     ShellChildKind::OwnerDrawnButton,
     &ShellContext::primaryCaption,
     kOwnerDrawnButtonStyle,
     ROLE_SYSTEM_PUSHBUTTON,
     1,
     screen::UnlessRunning,
     screen::PrimaryAllowed,
     {PressPrimary},
     ItemLook::Primary},
    {&ShellContext::optionsButton,
     ShellControlId::Options,
     ShellChildKind::OwnerDrawnButton,
     PanelToggleText,
     kOwnerDrawnButtonStyle,
     ROLE_SYSTEM_PUSHBUTTON,
     5,
     screen::WithPanel,
     nullptr,
     {ToggleOptions},
     ItemLook::PanelToggle},
    {&ShellContext::closeButton,
     ShellControlId::Close,
     ShellChildKind::OwnerDrawnButton,
     ShellText::CloseInstaller,
     kOwnerDrawnButtonStyle,
     ROLE_SYSTEM_PUSHBUTTON,
     0,
     screen::Always,
     screen::UnlessRunning,
     {PressClose},
     ItemLook::Close},
    {&ShellContext::agreementCheckbox,
     ShellControlId::Agreement,
     ShellChildKind::OwnerDrawnButton,
     ShellText::AgreementSentence,
     kOwnerDrawnButtonStyle,
     ROLE_SYSTEM_CHECKBUTTON,
     2,
     screen::OnIdleInstall,
     nullptr,
     {ToggleAgreement},
     ItemLook::AgreementBox,
     &ShellContext::agreementAccepted,
     ShellText::AgreementPrefix},
    {&ShellContext::userAgreementLink,
     ShellControlId::UserAgreement,
     ShellChildKind::OwnerDrawnButton,
     ShellText::UserAgreement,
     kOwnerDrawnButtonStyle,
     ROLE_SYSTEM_LINK,
     3,
     screen::OnIdleInstall,
     nullptr,
     {nullptr, ShellCommandOpenUserAgreement},
     ItemLook::Link},
    {&ShellContext::privacyPolicyLink,
     ShellControlId::PrivacyPolicy,
     ShellChildKind::OwnerDrawnButton,
     ShellText::PrivacyPolicy,
     kOwnerDrawnButtonStyle,
     ROLE_SYSTEM_LINK,
     4,
     screen::OnIdleInstall,
     nullptr,
     {nullptr, ShellCommandOpenPrivacyPolicy},
     ItemLook::Link},
    {&ShellContext::shortcutCheckbox,
     ShellControlId::Shortcut,
     ShellChildKind::OwnerDrawnButton,
     ShellText::CreateShortcut,
     kOwnerDrawnButtonStyle,
     ROLE_SYSTEM_CHECKBUTTON,
     8,
     screen::InIdleInstallPanel,
     nullptr,
     {ToggleShortcut},
     ItemLook::OptionBox,
     &ShellContext::createShortcut,
     ShellText::CreateShortcut},
    {&ShellContext::browseButton,
     ShellControlId::Browse,
     ShellChildKind::OwnerDrawnButton,
     ShellText::ChangeLocation,
     kOwnerDrawnButtonStyle,
     ROLE_SYSTEM_PUSHBUTTON,
     7,
     screen::InIdleInstallPanel,
     nullptr,
     {BrowseForDirectory},
     ItemLook::FramedAction},
    {&ShellContext::copyDiagnosticsButton,
     ShellControlId::CopyDiagnostics,
     ShellChildKind::OwnerDrawnButton,
     ShellText::CopyDiagnostics,
     kOwnerDrawnButtonStyle,
     ROLE_SYSTEM_PUSHBUTTON,
     9,
     screen::InDiagnosticsPanel,
     nullptr,
     {CopyDiagnostics},
     ItemLook::Action},
    {&ShellContext::openLogButton,
     ShellControlId::OpenLog,
     ShellChildKind::OwnerDrawnButton,
     ShellText::OpenLogFolder,
     kOwnerDrawnButtonStyle,
     ROLE_SYSTEM_PUSHBUTTON,
     10,
     screen::InInstallDiagnosticsPanel,
     nullptr,
     {nullptr, ShellCommandOpenLogDirectory},
     ItemLook::Action},
    {&ShellContext::pathEdit, ShellControlId::PathField, ShellChildKind::Edit,
     &ShellContext::installDirectory, kPathEditStyle, ROLE_SYSTEM_TEXT, 6, screen::InIdlePanel},
    {&ShellContext::diagnosticsLabel, ShellControlId::DiagnosticsText, ShellChildKind::Static,
     &ShellContext::diagnosticsText, WS_CHILD, ROLE_SYSTEM_STATICTEXT, kNotInReadingOrder,
     screen::InDiagnosticsPanel},
    // The two plain labels keep the system's objects: the path field is named after the first.
    {&ShellContext::locationLabel, ShellControlId::None, ShellChildKind::Static, ShellText::InstallLocation,
     WS_CHILD | SS_CENTERIMAGE, kSystemAccessible, kNotInReadingOrder, screen::InIdlePanel},
    {&ShellContext::directoryNoteLabel, ShellControlId::None, ShellChildKind::Static,
     &ShellContext::directoryNote, WS_CHILD | SS_CENTERIMAGE | SS_RIGHT, kSystemAccessible,
     kNotInReadingOrder, screen::InIdleInstallPanel},
    {&ShellContext::progressBar,
     ShellControlId::None,
     ShellChildKind::Progress,
     {},
     0,
     ROLE_SYSTEM_PROGRESSBAR,
     kNotInReadingOrder,
     screen::WhileRunning},
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
// The row of a control id; null for an id no child has.
const ShellChild* FindShellChild(int controlId) noexcept;

}  // namespace tovrak
