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
    {.window = &ShellContext::primaryButton,
     .id = ShellControlId::Primary,
     .kind = ShellChildKind::OwnerDrawnButton,
     .text = &ShellContext::primaryCaption,
     .style = kOwnerDrawnButtonStyle,
     .accessibleRole = ROLE_SYSTEM_PUSHBUTTON,
     .readingPosition = 1,
     .shown = screen::UnlessRunning,
     .enabled = screen::PrimaryAllowed,
     .click = {PressPrimary},
     .look = ItemLook::Primary},
    {.window = &ShellContext::optionsButton,
     .id = ShellControlId::Options,
     .kind = ShellChildKind::OwnerDrawnButton,
     .text = PanelToggleText,
     .style = kOwnerDrawnButtonStyle,
     .accessibleRole = ROLE_SYSTEM_PUSHBUTTON,
     .readingPosition = 5,
     .shown = screen::WithPanel,
     .click = {ToggleOptions},
     .look = ItemLook::PanelToggle},
    {.window = &ShellContext::closeButton,
     .id = ShellControlId::Close,
     .kind = ShellChildKind::OwnerDrawnButton,
     .text = ShellText::CloseInstaller,
     .style = kOwnerDrawnButtonStyle,
     .accessibleRole = ROLE_SYSTEM_PUSHBUTTON,
     .readingPosition = 0,
     .shown = screen::Always,
     .enabled = screen::UnlessRunning,
     .click = {PressClose},
     .look = ItemLook::Close},
    {.window = &ShellContext::agreementCheckbox,
     .id = ShellControlId::Agreement,
     .kind = ShellChildKind::OwnerDrawnButton,
     .text = ShellText::AgreementSentence,
     .style = kOwnerDrawnButtonStyle,
     .accessibleRole = ROLE_SYSTEM_CHECKBUTTON,
     .readingPosition = 2,
     .shown = screen::OnIdleInstall,
     .click = {ToggleAgreement},
     .look = ItemLook::AgreementBox,
     .checked = &ShellContext::agreementAccepted,
     .painted = ShellText::AgreementPrefix},
    {.window = &ShellContext::userAgreementLink,
     .id = ShellControlId::UserAgreement,
     .kind = ShellChildKind::OwnerDrawnButton,
     .text = ShellText::UserAgreement,
     .style = kOwnerDrawnButtonStyle,
     .accessibleRole = ROLE_SYSTEM_LINK,
     .readingPosition = 3,
     .shown = screen::OnIdleInstall,
     .click = {nullptr, ShellCommandOpenUserAgreement},
     .look = ItemLook::Link,
     .trailing = ShellText::AgreementJoiner},
    {.window = &ShellContext::privacyPolicyLink,
     .id = ShellControlId::PrivacyPolicy,
     .kind = ShellChildKind::OwnerDrawnButton,
     .text = ShellText::PrivacyPolicy,
     .style = kOwnerDrawnButtonStyle,
     .accessibleRole = ROLE_SYSTEM_LINK,
     .readingPosition = 4,
     .shown = screen::OnIdleInstall,
     .click = {nullptr, ShellCommandOpenPrivacyPolicy},
     .look = ItemLook::Link},
    {.window = &ShellContext::shortcutCheckbox,
     .id = ShellControlId::Shortcut,
     .kind = ShellChildKind::OwnerDrawnButton,
     .text = ShellText::CreateShortcut,
     .style = kOwnerDrawnButtonStyle,
     .accessibleRole = ROLE_SYSTEM_CHECKBUTTON,
     .readingPosition = 8,
     .shown = screen::InIdleInstallPanel,
     .click = {ToggleShortcut},
     .look = ItemLook::OptionBox,
     .checked = &ShellContext::createShortcut,
     .painted = ShellText::CreateShortcut},
    {.window = &ShellContext::browseButton,
     .id = ShellControlId::Browse,
     .kind = ShellChildKind::OwnerDrawnButton,
     .text = ShellText::ChangeLocation,
     .style = kOwnerDrawnButtonStyle,
     .accessibleRole = ROLE_SYSTEM_PUSHBUTTON,
     .readingPosition = 7,
     .shown = screen::InIdleInstallPanel,
     .click = {BrowseForDirectory},
     .look = ItemLook::FramedAction},
    {.window = &ShellContext::copyDiagnosticsButton,
     .id = ShellControlId::CopyDiagnostics,
     .kind = ShellChildKind::OwnerDrawnButton,
     .text = ShellText::CopyDiagnostics,
     .style = kOwnerDrawnButtonStyle,
     .accessibleRole = ROLE_SYSTEM_PUSHBUTTON,
     .readingPosition = 9,
     .shown = screen::InDiagnosticsPanel,
     .click = {CopyDiagnostics},
     .look = ItemLook::Action},
    {.window = &ShellContext::openLogButton,
     .id = ShellControlId::OpenLog,
     .kind = ShellChildKind::OwnerDrawnButton,
     .text = ShellText::OpenLogFolder,
     .style = kOwnerDrawnButtonStyle,
     .accessibleRole = ROLE_SYSTEM_PUSHBUTTON,
     .readingPosition = 10,
     .shown = screen::InInstallDiagnosticsPanel,
     .click = {nullptr, ShellCommandOpenLogDirectory},
     .look = ItemLook::Action},
    {.window = &ShellContext::pathEdit,
     .id = ShellControlId::PathField,
     .kind = ShellChildKind::Edit,
     .text = &ShellContext::installDirectory,
     .style = kPathEditStyle,
     .accessibleRole = ROLE_SYSTEM_TEXT,
     .readingPosition = 6,
     .shown = screen::InIdlePanel},
    {.window = &ShellContext::diagnosticsLabel,
     .id = ShellControlId::DiagnosticsText,
     .kind = ShellChildKind::Static,
     .text = &ShellContext::diagnosticsText,
     .style = WS_CHILD,
     .accessibleRole = ROLE_SYSTEM_STATICTEXT,
     .readingPosition = kNotInReadingOrder,
     .shown = screen::InDiagnosticsPanel},
    // The two plain labels keep the system's objects: the path field is named after the first.
    {.window = &ShellContext::locationLabel,
     .id = ShellControlId::None,
     .kind = ShellChildKind::Static,
     .text = ShellText::InstallLocation,
     .style = WS_CHILD | SS_CENTERIMAGE,
     .accessibleRole = kSystemAccessible,
     .readingPosition = kNotInReadingOrder,
     .shown = screen::InIdlePanel},
    {.window = &ShellContext::directoryNoteLabel,
     .id = ShellControlId::None,
     .kind = ShellChildKind::Static,
     .text = &ShellContext::directoryNote,
     .style = WS_CHILD | SS_CENTERIMAGE | SS_RIGHT,
     .accessibleRole = kSystemAccessible,
     .readingPosition = kNotInReadingOrder,
     .shown = screen::InIdleInstallPanel},
    {.window = &ShellContext::progressBar,
     .id = ShellControlId::None,
     .kind = ShellChildKind::Progress,
     .text = {},
     .style = 0,
     .accessibleRole = ROLE_SYSTEM_PROGRESSBAR,
     .readingPosition = kNotInReadingOrder,
     .shown = screen::WhileRunning},
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
