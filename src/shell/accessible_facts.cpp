#include "shell/accessible_facts.h"

#include <oleacc.h>

#include <string>

#include "shell/percent_text.h"
#include "shell/shell_children.h"
#include "shell/shell_context.h"
#include "shell/window_text.h"

namespace tovrak {
namespace {

// The verbs Windows itself uses for these roles, in the language of the shell's face. Every text of
// the table ends where its view ends, so the view's data is a terminated string.
const wchar_t* Action(const ShellContext& shell, ShellText verb) noexcept {
    return shell.texts[verb].data();
}

// The states every window-backed control shares, as the system's own proxies report them.
LONG WindowState(HWND control, FactsScope scope) noexcept {
    const LONG style = ::GetWindowLongW(control, GWL_STYLE);
    LONG state = 0;
    const bool enabled = (style & WS_DISABLED) == 0;
    if (!enabled) state |= STATE_SYSTEM_UNAVAILABLE;
    if (enabled && (style & WS_TABSTOP)) state |= STATE_SYSTEM_FOCUSABLE;
    if (scope == FactsScope::Announcement) return state;
    if (!::IsWindowVisible(control)) state |= STATE_SYSTEM_INVISIBLE;
    if (::GetFocus() == control) state |= STATE_SYSTEM_FOCUSED;
    return state;
}

LONG ButtonState(HWND button, FactsScope scope) noexcept {
    LONG state = WindowState(button, scope);
    if (scope == FactsScope::Announcement) return state;
    if (::SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED) state |= STATE_SYSTEM_PRESSED;
    return state;
}

// A window's own text: read from the window record for an announcement, asked for a client.
std::wstring CaptionOf(HWND window, FactsScope scope) {
    return scope == FactsScope::Announcement ? StoredWindowText(window) : WindowText(window);
}

void DescribeCheckBox(const ShellContext& shell, AccessibleFacts& facts, HWND box, bool checked,
                      FactsScope scope) {
    facts.name = CaptionOf(box, scope);
    facts.state = ButtonState(box, scope) | (checked ? STATE_SYSTEM_CHECKED : 0);
    facts.defaultAction = Action(shell, checked ? ShellText::ActionUncheck : ShellText::ActionCheck);
}

// The headline the painter draws: the gate's reason on the idle install screen, the title elsewhere.
const std::wstring& PaintedHeadline(const ShellContext& shell) noexcept {
    return IsIdleInstallScreen(shell) ? shell.gateReason : shell.windowTitle;
}

}  // namespace

AccessibleFacts DescribeShellControl(const ShellContext& shell, HWND control, int progressPercent,
                                     FactsScope scope) {
    AccessibleFacts facts;
    if (control == shell.window) {
        // Named by its title; the headline and the line under it are painted, not windows, so they
        // are what the window says about itself.
        facts.name = CaptionOf(control, scope);
        facts.role = ROLE_SYSTEM_CLIENT;
        facts.state = WindowState(control, scope) | STATE_SYSTEM_FOCUSABLE;
        facts.container = true;
        if (shell.mode != ShellModeUpdate) {
            facts.hasDescription = true;
            facts.description = PaintedHeadline(shell);
            if (!shell.statusText.empty()) facts.description += L"\n" + shell.statusText;
        }
        return facts;
    }
    const ShellChild* child = FindShellChild(shell, control);
    // Only the children with an object of their own are described; anything else reads as a button.
    facts.role =
        child && child->accessibleRole != kSystemAccessible ? child->accessibleRole : ROLE_SYSTEM_PUSHBUTTON;
    switch (facts.role) {
        case ROLE_SYSTEM_CHECKBUTTON:
            // The agreement box itself paints only the words before its links; its window text is the
            // whole sentence the links complete.
            DescribeCheckBox(shell, facts, control, child->checked && shell.*child->checked, scope);
            break;
        case ROLE_SYSTEM_LINK:
            facts.name = CaptionOf(control, scope);
            facts.state = ButtonState(control, scope) | STATE_SYSTEM_LINKED;
            facts.defaultAction = Action(shell, ShellText::ActionJump);
            break;
        case ROLE_SYSTEM_TEXT:
            // The path field, labelled by the location label beside it, which is shown whenever the
            // field is.
            facts.name = CaptionOf(shell.locationLabel, scope);
            facts.state = WindowState(control, scope) | STATE_SYSTEM_READONLY;
            facts.hasValue = true;
            // An edit control keeps its text to itself and raises its own value change.
            if (scope == FactsScope::Client) facts.value = WindowText(control);
            break;
        case ROLE_SYSTEM_PROGRESSBAR:
            // Labelled by the headline above it.
            facts.name = shell.windowTitle;
            facts.state = WindowState(control, scope) | STATE_SYSTEM_READONLY;
            facts.hasValue = true;
            facts.value = PercentText(progressPercent).view();
            break;
        case ROLE_SYSTEM_STATICTEXT:
            // The diagnostics text.
            // The panel is opened by the button that reads this, and it is what the text is.
            facts.name = shell.texts[ShellText::Diagnostics];
            facts.state = WindowState(control, scope) | STATE_SYSTEM_READONLY;
            facts.hasValue = true;
            facts.value = shell.diagnosticsText;
            break;
        default:
            if (child && child->look == ItemLook::PanelToggle) {
                // It opens and closes a panel below it: expanded and collapsed are what it shows with its
                // arrow.
                const bool expanded = shell.optionsExpanded;
                facts.name = CaptionOf(control, scope);
                facts.state =
                    ButtonState(control, scope) | (expanded ? STATE_SYSTEM_EXPANDED : STATE_SYSTEM_COLLAPSED);
                facts.defaultAction =
                    Action(shell, expanded ? ShellText::ActionCollapse : ShellText::ActionExpand);
                break;
            }
            // The primary, close, change, copy and log buttons; the close button's caption is drawn as
            // an image, its window text still names it.
            facts.name = CaptionOf(control, scope);
            facts.state = ButtonState(control, scope);
            facts.defaultAction = Action(shell, ShellText::ActionPress);
            break;
    }
    return facts;
}

}  // namespace tovrak
