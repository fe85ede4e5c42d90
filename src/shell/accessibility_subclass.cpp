// Owner-drawn buttons look like push buttons to every accessibility client: the system's proxy
// cannot know that two of them are check boxes, two are links and one opens a panel, and the
// window's headline is painted, not a window. The window and each interactive child therefore answer
// WM_GETOBJECT(OBJID_CLIENT) with an object of their own, served through LresultFromObject, and raise
// WinEvents for what that object reports. This is the MSAA server that UI Automation's MSAA proxy
// also reads, so Narrator, NVDA and JAWS hear the same, and it is the one piece of oleacc that every
// client implements. The hook is a second subclass on the windows the shell already subclasses; it
// keeps the accessible side apart from the painting side of the button subclass. It also carries the
// Tab key, which the dialog manager would walk in the children's order of creation.

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
#include "shell/shell_context.h"
#include "tovrak/renderer.h"

namespace tovrak {
namespace {

constexpr UINT_PTR kAccessibilitySubclassId = 2;
constexpr int kPercentMaximum = 100;

// Owned by the control's subclass and freed with the window.
struct AccessibleControl {
    explicit AccessibleControl(HWND window) noexcept : window(window) {}
    HWND window;
    // Made when a client first asks; disconnected when the window goes.
    ComPtr<ShellAccessible> object;
    // What clients were last told (or found at creation).
    AccessibleFacts announced;
    int progressPercent = 0;
    // An edit control raises its own value change when its text changes.
    bool announcesValue = true;
};

LRESULT CALLBACK AccessibilitySubclassProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR subclassId, DWORD_PTR referenceData);

// The window itself and its interactive children; the two plain labels keep the system's objects.
std::array<HWND, 14> AccessibleWindows(const ShellContext& shell) noexcept {
    return {shell.window,
            shell.primaryButton,
            shell.optionsButton,
            shell.closeButton,
            shell.agreementCheckbox,
            shell.userAgreementLink,
            shell.privacyPolicyLink,
            shell.shortcutCheckbox,
            shell.browseButton,
            shell.copyDiagnosticsButton,
            shell.openLogButton,
            shell.pathEdit,
            shell.diagnosticsLabel,
            shell.progressBar};
}

AccessibleControl* RecordOf(HWND control) noexcept {
    DWORD_PTR record = 0;
    if (!control ||
        !comctl32::GetWindowSubclass(control, AccessibilitySubclassProc, kAccessibilitySubclassId, &record))
        return nullptr;
    return reinterpret_cast<AccessibleControl*>(record);
}

bool DescribeControl(HWND control, AccessibleFacts& facts) noexcept {
    const AccessibleControl* record = RecordOf(control);
    if (!g_shell || !record) return false;
    return GuardExport(false, [&] {
        facts = DescribeShellControl(*g_shell, control, record->progressPercent);
        return true;
    });
}

void Announce(AccessibleControl& record) noexcept {
    if (!g_shell) return;
    GuardExportVoid([&record] {
        AccessibleFacts now = DescribeShellControl(*g_shell, record.window, record.progressPercent);
        // A hidden control is announced by the system's show event when it appears; until then its
        // changes are only remembered.
        if (::IsWindowVisible(record.window)) {
            const AccessibleFacts& before = record.announced;
            if (now.name != before.name)
                ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, record.window, OBJID_CLIENT, CHILDID_SELF);
            if (AnnouncedState(now.state) != AnnouncedState(before.state))
                ::NotifyWinEvent(EVENT_OBJECT_STATECHANGE, record.window, OBJID_CLIENT, CHILDID_SELF);
            if (record.announcesValue && now.value != before.value)
                ::NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, record.window, OBJID_CLIENT, CHILDID_SELF);
            if (now.description != before.description)
                ::NotifyWinEvent(EVENT_OBJECT_DESCRIPTIONCHANGE, record.window, OBJID_CLIENT, CHILDID_SELF);
        }
        record.announced = std::move(now);
    });
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

void Detach(HWND control, AccessibleControl* record) noexcept {
    if (record->object) record->object->Disconnect();
    delete record;
    comctl32::RemoveWindowSubclass(control, AccessibilitySubclassProc, kAccessibilitySubclassId);
}

LRESULT CALLBACK AccessibilitySubclassProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                           DWORD_PTR referenceData) {
    auto* record = reinterpret_cast<AccessibleControl*>(referenceData);
    switch (message) {
        case WM_GETOBJECT:
            // The object id travels as a DWORD, whatever the width of lParam.
            if (static_cast<LONG>(static_cast<DWORD>(lParam)) == OBJID_CLIENT) {
                if (const LRESULT reference = ServeClientObject(*record, wParam)) return reference;
            }
            break;
        case WM_SETTEXT: {
            const LRESULT result = comctl32::DefSubclassProc(control, message, wParam, lParam);
            Announce(*record);
            return result;
        }
        case WM_ENABLE: {
            const LRESULT result = comctl32::DefSubclassProc(control, message, wParam, lParam);
            Announce(*record);
            if (!wParam && g_shell) KeepFocusReachable(*g_shell);
            return result;
        }
        case SetProgressMessage: {
            record->progressPercent = static_cast<int>(std::min<WPARAM>(wParam, kPercentMaximum));
            const LRESULT result = comctl32::DefSubclassProc(control, message, wParam, lParam);
            Announce(*record);
            return result;
        }
        case WM_GETDLGCODE: {
            // Tab is claimed from the dialog manager, which would walk the Z-order instead.
            const LRESULT code = comctl32::DefSubclassProc(control, message, wParam, lParam);
            const auto* key = reinterpret_cast<const MSG*>(lParam);
            return key && key->message == WM_KEYDOWN && key->wParam == VK_TAB ? code | DLGC_WANTTAB : code;
        }
        case WM_KEYDOWN:
            if (wParam != VK_TAB || !g_shell) break;
            MoveFocusInReadingOrder(*g_shell, control == g_shell->window ? nullptr : control,
                                    ::GetKeyState(VK_SHIFT) < 0);
            return 0;
        case WM_NCDESTROY:
            Detach(control, record);
            break;
        default:
            break;
    }
    return comctl32::DefSubclassProc(control, message, wParam, lParam);
}

void AttachTo(const ShellContext& shell, HWND control) noexcept {
    if (!control) return;
    auto* record = new (std::nothrow) AccessibleControl(control);
    if (!record) return;
    record->announcesValue = control != shell.pathEdit;
    GuardExportVoid(
        [&] { record->announced = DescribeShellControl(shell, control, record->progressPercent); });
    if (!comctl32::SetWindowSubclass(control, AccessibilitySubclassProc, kAccessibilitySubclassId,
                                     reinterpret_cast<DWORD_PTR>(record))) {
        delete record;
    }
}

}  // namespace

void AttachShellAccessibility(ShellContext& shell) noexcept {
    for (HWND control : AccessibleWindows(shell))
        AttachTo(shell, control);
}

void AnnounceShellChanges(const ShellContext& shell) noexcept {
    KeepFocusReachable(shell);
    for (HWND control : AccessibleWindows(shell)) {
        if (AccessibleControl* record = RecordOf(control)) Announce(*record);
    }
}

}  // namespace tovrak
