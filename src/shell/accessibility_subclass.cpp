// Owner-drawn buttons look like push buttons to every accessibility client: the system's proxy
// cannot know that two of them are check boxes, two are links and one opens a panel, and the
// window's headline is painted, not a window. The window and each interactive child therefore answer
// WM_GETOBJECT(OBJID_CLIENT) with an object of their own, served through LresultFromObject, and raise
// WinEvents for what that object reports. This is the MSAA server that UI Automation's MSAA proxy
// also reads, so Narrator, NVDA and JAWS hear the same, and it is the one piece of oleacc that every
// client implements. On the children the hook is a second subclass beside the ones the shell already
// has; it keeps the accessible side apart from the painting side of the button subclass. The shell
// window, whose procedure is the library's own, hands the same messages over from that procedure.
// The hook also carries the Tab key, which the dialog manager would walk in the children's order of
// creation.

#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <array>
#include <new>

#include "common/comctl32_functions.h"
#include "common/export_guard.h"
#include "shell/accessibility.h"
#include "shell/accessible_facts.h"
#include "shell/accessible_object.h"
#include "shell/oleacc_functions.h"
#include "shell/shell_children.h"
#include "shell/shell_context.h"
#include "shell/shell_window.h"
#include "tovrak/renderer.h"

namespace tovrak {
namespace {

constexpr UINT_PTR kAccessibilitySubclassId = 2;
constexpr int kPercentMaximum = 100;

// Owned by the control's subclass and freed with the window, which goes before the shell's record.
struct AccessibleControl {
    AccessibleControl(ShellContext& owner, HWND control) noexcept : shell(owner), window(control) {}
    ShellContext& shell;
    HWND window;
    // Made when a client first asks; disconnected when the window goes.
    ComPtr<ShellAccessible> object;
    // What clients were last told (or found at creation).
    AccessibleFacts announced;
    int progressPercent = 0;
};

// The window itself and its children that have an object of their own.
constexpr size_t kAccessibleWindowCount =
    1 + CountShellChildren([](const ShellChild& child) { return child.accessibleRole != kSystemAccessible; });

// The window first, then those children in the order of the table.
std::array<HWND, kAccessibleWindowCount> AccessibleWindows(const ShellContext& shell) noexcept {
    std::array<HWND, kAccessibleWindowCount> windows{shell.window};
    size_t next = 1;
    for (const ShellChild& child : kShellChildren) {
        if (child.accessibleRole != kSystemAccessible) windows[next++] = shell.*child.window;
    }
    return windows;
}

// The records of the open shell's windows, in the order of AccessibleWindows: kept here rather than
// looked up through GetWindowSubclass, which walks the subclass list through a window property on
// every call (a round trip to the window server under Wine), at the end of every layout.
std::array<AccessibleControl*, kAccessibleWindowCount> g_records{};

AccessibleControl* RecordOf(HWND control) noexcept {
    if (!control) return nullptr;
    for (AccessibleControl* record : g_records)
        if (record && record->window == control) return record;
    return nullptr;
}

void Forget(const AccessibleControl* record) noexcept {
    for (AccessibleControl*& slot : g_records)
        if (slot == record) slot = nullptr;
}

bool DescribeControl(HWND control, AccessibleFacts& facts) noexcept {
    const AccessibleControl* record = RecordOf(control);
    if (!record) return false;
    return GuardExport(false, [&] {
        facts = DescribeShellControl(record->shell, control, record->progressPercent);
        return true;
    });
}

// Raises an event for each announced fact that differs from what clients were last told. `shown` is
// whether the control is on screen: a hidden control is announced by the system's show event when it
// appears, and until then its changes are only remembered.
void Announce(AccessibleControl& record, bool shown) noexcept {
    GuardExportVoid([&record, shown] {
        AccessibleFacts now = DescribeShellControl(record.shell, record.window, record.progressPercent,
                                                   FactsScope::Announcement);
        if (shown) {
            const AccessibleFacts& before = record.announced;
            if (now.name != before.name)
                ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, record.window, OBJID_CLIENT, CHILDID_SELF);
            if (now.state != before.state)
                ::NotifyWinEvent(EVENT_OBJECT_STATECHANGE, record.window, OBJID_CLIENT, CHILDID_SELF);
            if (now.value != before.value)
                ::NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, record.window, OBJID_CLIENT, CHILDID_SELF);
            if (now.description != before.description)
                ::NotifyWinEvent(EVENT_OBJECT_DESCRIPTIONCHANGE, record.window, OBJID_CLIENT, CHILDID_SELF);
        }
        record.announced = std::move(now);
    });
}

void Announce(AccessibleControl& record) noexcept {
    Announce(record, ::IsWindowVisible(record.window) != FALSE);
}

LRESULT ServeClientObject(AccessibleControl& record, WPARAM flags) noexcept {
    const OleaccFunctions& oleacc = Oleacc();
    if (!oleacc.complete() || !CanServeShellAccessible()) return 0;
    if (!record.object) record.object = CreateShellAccessible(record.window, DescribeControl, oleacc);
    if (!record.object) return 0;
    const LRESULT reference = oleacc.lresultFromObject(__uuidof(IAccessible), flags, record.object.get());
    // A failure is a negative HRESULT; the default processing answers then.
    return reference > 0 ? reference : 0;
}

// Lets the object go with its window: clients that still hold it get errors from then on.
void Release(AccessibleControl* record) noexcept {
    if (record->object) record->object->Disconnect();
    Forget(record);
    delete record;
}

LRESULT AccessibleMessage(AccessibleControl& record, HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                          NextWindowProcedure next) noexcept {
    ShellContext& shell = record.shell;
    switch (message) {
        case WM_GETOBJECT:
            // The object id travels as a DWORD, whatever the width of lParam.
            if (static_cast<LONG>(static_cast<DWORD>(lParam)) == OBJID_CLIENT) {
                if (const LRESULT reference = ServeClientObject(record, wParam)) return reference;
            }
            break;
        case WM_SETTEXT: {
            const LRESULT result = next(shell, control, message, wParam, lParam);
            Announce(record);
            return result;
        }
        case WM_ENABLE: {
            const LRESULT result = next(shell, control, message, wParam, lParam);
            Announce(record);
            if (!wParam) KeepFocusReachable(shell);
            return result;
        }
        case SetProgressMessage: {
            record.progressPercent = static_cast<int>(std::min<WPARAM>(wParam, kPercentMaximum));
            const LRESULT result = next(shell, control, message, wParam, lParam);
            Announce(record);
            return result;
        }
        case kAccessibleClickMessage: {
            // Shown and enabled when it arrives, as when the client asked; the style bits, so that a
            // host may act on a shell it has not shown yet.
            const LONG style = ::GetWindowLongW(control, GWL_STYLE);
            if ((style & WS_VISIBLE) && !(style & WS_DISABLED)) ::SendMessageW(control, BM_CLICK, 0, 0);
            return 0;
        }
        case WM_GETDLGCODE: {
            // Tab is claimed from the dialog manager, which would walk the Z-order instead.
            const LRESULT code = next(shell, control, message, wParam, lParam);
            const auto* key = reinterpret_cast<const MSG*>(lParam);
            return key && key->message == WM_KEYDOWN && key->wParam == VK_TAB ? code | DLGC_WANTTAB : code;
        }
        case WM_KEYDOWN:
            if (wParam != VK_TAB) break;
            MoveFocusInReadingOrder(shell, control == shell.window ? nullptr : control,
                                    ::GetKeyState(VK_SHIFT) < 0);
            return 0;
        default:
            break;
    }
    return next(shell, control, message, wParam, lParam);
}

LRESULT DefaultSubclassMessage(ShellContext&, HWND control, UINT message, WPARAM wParam,
                               LPARAM lParam) noexcept {
    return comctl32::DefSubclassProc(control, message, wParam, lParam);
}

LRESULT CALLBACK AccessibilitySubclassProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                           DWORD_PTR referenceData) {
    auto* record = reinterpret_cast<AccessibleControl*>(referenceData);
    if (message == WM_NCDESTROY) {
        Release(record);
        comctl32::RemoveWindowSubclass(control, AccessibilitySubclassProc, kAccessibilitySubclassId);
        return comctl32::DefSubclassProc(control, message, wParam, lParam);
    }
    return AccessibleMessage(*record, control, message, wParam, lParam, DefaultSubclassMessage);
}

// The shell window's procedure and the owner-drawn buttons' subclass are the library's own and hand
// their messages over (AccessibleWindowMessage). Asked of the button rather than assumed: a button
// whose subclass could not be installed would never pass on its WM_NCDESTROY, and its record would
// outlive it.
bool HandsOverItsMessages(const ShellContext& shell, HWND control) noexcept {
    if (control == shell.window) return true;
    DWORD_PTR unused = 0;
    return comctl32::GetWindowSubclass(control, ShellButtonSubclassProc, ShellButtonSubclassId(), &unused) !=
           FALSE;
}

void AttachTo(ShellContext& shell, HWND control, AccessibleControl*& slot) noexcept {
    if (!control) return;
    auto* record = new (std::nothrow) AccessibleControl(shell, control);
    if (!record) return;
    GuardExportVoid([&] {
        record->announced =
            DescribeShellControl(shell, control, record->progressPercent, FactsScope::Announcement);
    });
    // The other children (the path field, the diagnostics text, the progress bar) get a subclass.
    if (!HandsOverItsMessages(shell, control) &&
        !comctl32::SetWindowSubclass(control, AccessibilitySubclassProc, kAccessibilitySubclassId,
                                     reinterpret_cast<DWORD_PTR>(record))) {
        delete record;
        return;
    }
    slot = record;
}

}  // namespace

LRESULT AccessibleWindowMessage(ShellContext& shell, HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                NextWindowProcedure next) noexcept {
    AccessibleControl* record = RecordOf(window);
    if (!record) return next(shell, window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        Release(record);
        return next(shell, window, message, wParam, lParam);
    }
    return AccessibleMessage(*record, window, message, wParam, lParam, next);
}

void AttachShellAccessibility(ShellContext& shell) noexcept {
    const auto windows = AccessibleWindows(shell);
    for (size_t i = 0; i < windows.size(); ++i)
        AttachTo(shell, windows[i], g_records[i]);
}

void AnnounceShellChanges(const ShellContext& shell) noexcept {
    KeepFocusReachable(shell);
    // The children are on screen when the window is and their own style says shown: one question to
    // the window manager for all of them.
    const bool windowShown = shell.window && ::IsWindowVisible(shell.window);
    for (AccessibleControl* record : g_records) {
        if (!record) continue;
        const bool shown = record->window == shell.window
                               ? windowShown
                               : windowShown && (::GetWindowLongW(record->window, GWL_STYLE) & WS_VISIBLE);
        Announce(*record, shown);
    }
}

}  // namespace tovrak
