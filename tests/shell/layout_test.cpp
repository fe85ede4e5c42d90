#include <windows.h>

#include <gtest/gtest.h>

#include <utility>
#include <vector>
#include <set>
#include <string>
#include <string_view>

#include "common/scaling.h"
#include "common/unique_handle.h"
#include "shell/layout.h"
#include "shell/shell_children.h"
#include "shell/shell_context.h"
#include "shell/shell_window.h"
#include "support/failing_allocations.h"
#include "support/shell_session.h"
#include "tovrak/renderer.h"

using namespace tovrak;
using namespace tovrak::test;

namespace {

using Field = HWND ShellContext::*;

const std::vector<std::pair<Field, const char*>>& ChildNames() {
    static const std::vector<std::pair<Field, const char*>> names = {
        {&ShellContext::primaryButton, "primary"},
        {&ShellContext::optionsButton, "options"},
        {&ShellContext::closeButton, "close"},
        {&ShellContext::agreementCheckbox, "agreement"},
        {&ShellContext::userAgreementLink, "userLink"},
        {&ShellContext::privacyPolicyLink, "privacyLink"},
        {&ShellContext::shortcutCheckbox, "shortcut"},
        {&ShellContext::browseButton, "browse"},
        {&ShellContext::pathEdit, "path"},
        {&ShellContext::copyDiagnosticsButton, "copy"},
        {&ShellContext::openLogButton, "log"},
        {&ShellContext::diagnosticsLabel, "diagnostics"},
        {&ShellContext::progressBar, "bar"},
        {&ShellContext::locationLabel, "location"},
        {&ShellContext::directoryNoteLabel, "note"},
    };
    return names;
}

// Shown by the layout; the window itself may still be hidden.
bool IsShown(HWND control) {
    return (::GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

std::string VisibleChildren() {
    std::string visible;
    for (const auto& [field, name] : ChildNames()) {
        if (IsShown(g_shell.get()->*field)) visible += std::string(visible.empty() ? "" : " ") + name;
    }
    return visible;
}

std::string Sorted(const std::string& names) {
    std::set<std::string> set;
    size_t start = 0;
    while (start < names.size()) {
        size_t end = names.find(' ', start);
        if (end == std::string::npos) end = names.size();
        set.insert(names.substr(start, end - start));
        start = end + 1;
    }
    std::string joined;
    for (const auto& name : set)
        joined += (joined.empty() ? "" : " ") + name;
    return joined;
}

// The child's left, top, width and height in the shell's client area, in 96-DPI units.
RECT PlacementInUnits(HWND control) {
    RECT rect{};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, g_shell->window, reinterpret_cast<POINT*>(&rect), 2);
    const UINT dpi = g_shell->dpi;
    return RECT{Unscale(rect.left, dpi), Unscale(rect.top, dpi), Unscale(rect.right - rect.left, dpi),
                Unscale(rect.bottom - rect.top, dpi)};
}

// The child's left, top, width and height in the shell's client area, in pixels.
RECT PixelRect(HWND control) {
    RECT rect{};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, g_shell->window, reinterpret_cast<POINT*>(&rect), 2);
    return RECT{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

int ClientHeightUnits() {
    RECT client{};
    ::GetClientRect(g_shell->window, &client);
    return Unscale(client.bottom, g_shell->dpi);
}

// The height the window may grow to: the design height, limited by the work area below the window.
int ExpectedHeight(int wanted) {
    RECT window{};
    ::GetWindowRect(g_shell->window, &window);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(g_shell->window, MONITOR_DEFAULTTONEAREST), &monitor);
    const int room = Unscale(monitor.rcWork.bottom - window.top, g_shell->dpi);
    return std::max(std::min(wanted, room), 500);
}

// Counts the moves, shows, hides and retitles of the shell window and its children on this thread.
class ChangeCounter {
  public:
    ChangeCounter() {
        count_ = 0;
        hook_ = ::SetWindowsHookExW(WH_CALLWNDPROC, Hook, nullptr, ::GetCurrentThreadId());
    }
    ~ChangeCounter() { ::UnhookWindowsHookEx(hook_); }
    int count() const { return count_; }

  private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && g_shell &&
            (message->hwnd == g_shell->window || ::GetParent(message->hwnd) == g_shell->window) &&
            (message->message == WM_WINDOWPOSCHANGING || message->message == WM_SETTEXT ||
             message->message == WM_SHOWWINDOW)) {
            ++count_;
        }
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static inline int count_ = 0;
    HHOOK hook_ = nullptr;
};

}  // namespace

TEST(LayoutShell, ShowsTheControlsOfEachScreen) {
    const struct {
        uint32_t mode;
        int kind;
        const wchar_t* diagnostics;
        bool expand;
        const char* visible;
    } cases[] = {
        {0, 0, L"", false, "primary close options agreement userLink privacyLink"},
        {0, 0, L"", true,
         "primary close options agreement userLink privacyLink location note path browse shortcut"},
        {1, 0, L"", false, "primary close options"},
        {1, 0, L"", true, "primary close options location path"},
        {1, 4, L"", true, "primary close options location path"},
        {0, 4, L"", false, "primary close"},
        {0, 1, L"", false, "bar close"},
        {0, 2, L"", false, "primary close"},
        {0, 2, L"错误码：5", false, "primary close options"},
        {0, 2, L"错误码：5", true, "primary close options diagnostics copy log"},
        {1, 2, L"错误码：5", true, "primary close options diagnostics copy"},
        {0, 3, L"", false, "primary close"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "mode " << c.mode << " kind " << c.kind << " expand " << c.expand);
        ShellSession session(c.mode);
        ASSERT_TRUE(session);
        ::ShellState(c.kind, 0, L"标题", L"", L"按钮", c.diagnostics);
        ASSERT_EQ(::ShellShow(), 0u);
        if (c.expand) ::SendMessageW(g_shell->optionsButton, BM_CLICK, 0, 0);
        EXPECT_EQ(g_shell->optionsExpanded, c.expand);
        EXPECT_EQ(Sorted(VisibleChildren()), Sorted(c.visible));
        const bool idle = c.kind == 0 || (c.kind == 4 && c.mode == 1);
        if (IsShown(g_shell->optionsButton)) {
            wchar_t text[16] = {};
            ::GetWindowTextW(g_shell->optionsButton, text, 16);
            EXPECT_STREQ(text, idle ? (c.mode == 1 ? L"安装位置" : L"更多选项") : L"诊断信息");
        }
    }
}

TEST(LayoutShell, WidensThePathFieldForUninstallAndPlacesTheBar) {
    for (uint32_t mode : {0u, 1u}) {
        ShellSession session(mode);
        ASSERT_TRUE(session);
        ::ShellState(1, 0, L"t", L"", L"c", L"");
        const RECT path = PlacementInUnits(g_shell->pathEdit);
        EXPECT_EQ(path.left, 50);
        EXPECT_EQ(path.right, mode == 1 ? 600 : 520);
        const RECT bar = PlacementInUnits(g_shell->progressBar);
        EXPECT_EQ(bar.left, 184);
        EXPECT_EQ(bar.top, 339);
        EXPECT_EQ(bar.right, 333);
        EXPECT_EQ(bar.bottom, 9);
        EXPECT_FALSE(::IsWindowEnabled(g_shell->closeButton));
    }
}

TEST(LayoutShell, ChangesNothingWhenNothingChanged) {
    ShellSession session;
    ASSERT_TRUE(session);
    ASSERT_EQ(::ShellShow(), 0u);
    const auto unchanged = [](const char* screen) {
        ChangeCounter counter;
        LayoutShell(*g_shell);
        EXPECT_EQ(counter.count(), 0) << screen;
    };
    unchanged("idle");
    ::SendMessageW(g_shell->optionsButton, BM_CLICK, 0, 0);
    unchanged("idle with the panel open");
    ::ShellState(2, 0, L"失败", L"", L"重试", L"失败步骤：下载\n错误码：5");
    ::SendMessageW(g_shell->optionsButton, BM_CLICK, 0, 0);
    ASSERT_TRUE(::IsWindowVisible(g_shell->diagnosticsLabel));
    LayoutShell(*g_shell);  // settles the measured height in units
    unchanged("failure with the diagnostics open");

    ChangeCounter counter;
    ::ShellState(2, 0, L"失败", L"", L"重试", L"失败步骤：下载\n错误码：5");
    ::ShellGate(1, L"", L"");
    ::ShellDirectory(L"C:\\Tovrak\\Sample", L"");
    EXPECT_EQ(counter.count(), 0) << "repeated host state";
}

TEST(LayoutShell, GrowsTheWindowForThePanelWithinTheWorkArea) {
    for (uint32_t mode : {0u, 1u}) {
        ShellSession session(mode);
        ASSERT_TRUE(session);
        ASSERT_EQ(::ShellShow(), 0u);
        EXPECT_EQ(ClientHeightUnits(), 500);
        ::SendMessageW(g_shell->optionsButton, BM_CLICK, 0, 0);
        EXPECT_EQ(g_shell->expandedHeight, 668);
        EXPECT_EQ(ClientHeightUnits(), ExpectedHeight(668));
        EXPECT_EQ(g_shell->logicalHeight, ClientHeightUnits());
        EXPECT_EQ(g_shell->scrollRange, 668);
        EXPECT_EQ(g_shell->transitionWindow, nullptr);
        ::SendMessageW(g_shell->optionsButton, BM_CLICK, 0, 0);
        EXPECT_EQ(ClientHeightUnits(), 500);
        EXPECT_EQ(g_shell->scrollRange, 0);
    }
}

TEST(LayoutShell, MeasuresTheDiagnosticsOnlyWhenTheTextOrTheDpiChanged) {
    ShellSession session;
    ASSERT_TRUE(session);
    ASSERT_EQ(::ShellShow(), 0u);
    ::ShellState(2, 0, L"失败", L"", L"重试", L"错误码：5");
    ::SendMessageW(g_shell->optionsButton, BM_CLICK, 0, 0);
    const int measured = g_shell->diagnosticsHeight;
    ASSERT_GT(measured, 0);
    EXPECT_EQ(PlacementInUnits(g_shell->copyDiagnosticsButton).top, measured + 544);
    EXPECT_EQ(PlacementInUnits(g_shell->openLogButton).top, measured + 544);
    EXPECT_EQ(g_shell->expandedHeight, measured + 604);

    // A cached measurement stands while text and DPI are the same: a very tall one caps the panel.
    g_shell->diagnosticsHeight = 700;
    LayoutShell(*g_shell);
    EXPECT_EQ(g_shell->diagnosticsHeight, 700);
    EXPECT_EQ(g_shell->expandedHeight, 1200);
    EXPECT_EQ(PlacementInUnits(g_shell->diagnosticsLabel).bottom, 700);
    EXPECT_EQ(PlacementInUnits(g_shell->openLogButton).top, 1244);
    EXPECT_EQ(ClientHeightUnits(), ExpectedHeight(1200));

    g_shell->diagnosticsDpi = 0;  // as after a DPI change
    LayoutShell(*g_shell);
    EXPECT_EQ(g_shell->diagnosticsHeight, measured);

    ::ShellState(2, 0, L"失败", L"", L"重试", L"错误码：5\n失败步骤：下载\n系统错误：拒绝访问");
    EXPECT_GT(g_shell->diagnosticsHeight, measured);
    EXPECT_EQ(g_shell->diagnosticsMeasured, g_shell->diagnosticsText);
    // A new screen kind closes the panel; the same kind keeps it.
    EXPECT_EQ(g_shell->optionsExpanded, 1);
    ::ShellState(0, 0, L"安装", L"", L"一键安装", L"");
    EXPECT_EQ(g_shell->optionsExpanded, 0);
    EXPECT_EQ(ClientHeightUnits(), 500);
}

TEST(LayoutShell, HidesEveryChildOfTheUpdateSurface) {
    ShellSession session(ShellModeUpdate, L"C:\\x", L"产品更新");
    ASSERT_TRUE(session);
    ASSERT_EQ(::ShellShow(), 0u);
    g_shell->optionsExpanded = 1;
    LayoutShell(*g_shell);
    EXPECT_EQ(VisibleChildren(), "");
    EXPECT_EQ(g_shell->optionsExpanded, 0);
    EXPECT_EQ(g_shell->scrollRange, 0);
    wchar_t title[32] = {};
    ::GetWindowTextW(session.window(), title, 32);
    EXPECT_STREQ(title, L"产品更新");
    // Nothing the user does there becomes a command.
    ::SendMessageW(session.window(), WM_CLOSE, 0, 0);
    ::SendMessageW(session.window(), WM_COMMAND,
                   MAKEWPARAM(static_cast<int>(ShellControlId::Close), BN_CLICKED),
                   reinterpret_cast<LPARAM>(g_shell->closeButton));
    EXPECT_EQ(::ShellPoll(), ShellCommandNone);
}

namespace {

BOOL CALLBACK CountTransitionStrip(HWND window, LPARAM counter) {
    wchar_t className[64] = {};
    ::GetClassNameW(window, className, 64);
    if (std::wstring_view(className) == kTransitionClassName) ++*reinterpret_cast<int*>(counter);
    return TRUE;
}

int TransitionStrips() {
    int count = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), CountTransitionStrip, reinterpret_cast<LPARAM>(&count));
    return count;
}

}  // namespace

// A layout that runs out of memory half-way gives the screen back all the same: the window's update
// lock is released and the strip that covers the growing window is gone.
TEST(LayoutShell, ReleasesTheUpdateLockAndTheStripWhenAnAllocationFails) {
    ShellSession session;
    ASSERT_TRUE(session);
    ASSERT_EQ(::ShellShow(), 0u);
    // Comparing this caption with the button's text takes a buffer of 2 KB, the one allocation of the
    // layout that large; it comes after the window has begun to grow.
    const std::wstring caption(1000, L'x');
    ::ShellState(ShellStateIdle, 0, L"", L"", caption.c_str(), L"");
    const std::size_t failuresBefore = FailingAllocations::failures();
    {
        FailingAllocations failing(1500);
        ::SendMessageW(session.window(), WM_COMMAND,
                       MAKEWPARAM(static_cast<int>(ShellControlId::Options), BN_CLICKED),
                       reinterpret_cast<LPARAM>(g_shell->optionsButton));
    }
    ASSERT_GT(FailingAllocations::failures(), failuresBefore) << "the layout allocated nothing large";
    ASSERT_TRUE(g_shell->optionsExpanded);
    EXPECT_EQ(TransitionStrips(), 0);
    // Another window can take the lock only while nobody holds it.
    UniqueWindow other(::CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 10,
                                         10, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(other);
    EXPECT_TRUE(::LockWindowUpdate(other.get()));
    ::LockWindowUpdate(nullptr);
}

// Only a button the user can see opens the panel: while the shell is hidden, its options button is
// none, whatever its own style says.
TEST(LayoutShell, OpensThePanelOnlyFromAButtonOnScreen) {
    ShellSession session;
    ASSERT_TRUE(session);
    ASSERT_TRUE(IsShown(g_shell->optionsButton));
    ::SendMessageW(g_shell->optionsButton, BM_CLICK, 0, 0);
    EXPECT_FALSE(g_shell->optionsExpanded) << "toggled in a hidden shell";
    ASSERT_EQ(::ShellShow(), 0u);
    ::SendMessageW(g_shell->optionsButton, BM_CLICK, 0, 0);
    EXPECT_TRUE(g_shell->optionsExpanded);
    ASSERT_EQ(::ShellHide(), 0u);
    ::SendMessageW(g_shell->optionsButton, BM_CLICK, 0, 0);
    EXPECT_TRUE(g_shell->optionsExpanded) << "toggled in a hidden shell";
}

TEST(LayoutShell, PlacesEveryControlAtItsRectangleOnEveryScreen) {
    const struct {
        uint32_t mode;
        int kind;
        const wchar_t* diagnostics;
        bool expand;
    } screens[] = {
        {0, 0, L"", false},          {0, 0, L"", true},          {1, 0, L"", false},
        {1, 0, L"", true},           {1, 4, L"", true},          {0, 4, L"", false},
        {0, 1, L"", false},          {1, 1, L"", false},         {0, 2, L"", false},
        {0, 2, L"错误码：5", false}, {0, 2, L"错误码：5", true}, {1, 2, L"错误码：5", true},
        {0, 3, L"", false},
    };
    for (const auto& screen : screens) {
        SCOPED_TRACE(::testing::Message() << "mode " << screen.mode << " kind " << screen.kind << " expand "
                                          << screen.expand << " diagnostics " << (*screen.diagnostics != 0));
        ShellSession session(screen.mode);
        ASSERT_TRUE(session);
        ::ShellState(screen.kind, 0, L"标题", L"", L"按钮", screen.diagnostics);
        ASSERT_EQ(::ShellShow(), 0u);  // the options button opens the panel only when on screen
        if (screen.expand) ::SendMessageW(g_shell->optionsButton, BM_CLICK, 0, 0);
        ASSERT_EQ(g_shell->optionsExpanded, screen.expand);

        // Until the diagnostics have been measured they have a default height and their buttons a
        // default row; a screen that shows them measures them first.
        const bool idle = screen.kind == 0 || (screen.kind == 4 && screen.mode == 1);
        const int diagnosticsHeight = idle ? 160 : g_shell->diagnosticsHeight;
        const int buttonsTop = idle ? 690 : g_shell->diagnosticsHeight + 544;
        const struct {
            Field field;
            RECT units;  // x, y, width, height
        } expected[] = {
            {&ShellContext::primaryButton, {184, 322, 333, 44}},
            {&ShellContext::closeButton, {656, 8, 36, 36}},
            {&ShellContext::optionsButton, {584, 450, 84, 27}},
            {&ShellContext::agreementCheckbox, {28, 450, 55, 27}},
            {&ShellContext::userAgreementLink, {83, 454, 78, 20}},
            {&ShellContext::privacyPolicyLink, {166, 454, 78, 20}},
            {&ShellContext::pathEdit, {50, 567, screen.mode == 1 ? 600 : 520, 20}},
            {&ShellContext::browseButton, {588, 561, 74, 32}},
            {&ShellContext::shortcutCheckbox, {28, 612, 209, 28}},
            {&ShellContext::copyDiagnosticsButton, {32, buttonsTop, 150, 28}},
            {&ShellContext::openLogButton, {200, buttonsTop, 160, 28}},
            {&ShellContext::diagnosticsLabel, {32, 520, 636, diagnosticsHeight}},
            {&ShellContext::locationLabel, {32, 526, 160, 20}},
            {&ShellContext::directoryNoteLabel, {250, 526, 418, 20}},
            {&ShellContext::progressBar, {184, 339, 333, 9}},
        };
        for (const auto& control : expected) {
            const char* name = "?";
            for (const auto& [field, childName] : ChildNames())
                if (field == control.field) name = childName;
            const RECT placed = PixelRect(g_shell.get()->*control.field);
            const UINT dpi = g_shell->dpi;
            EXPECT_EQ(placed.left, Scale(control.units.left, dpi)) << name;
            EXPECT_EQ(placed.top, Scale(control.units.top, dpi)) << name;
            EXPECT_EQ(placed.right, Scale(control.units.right, dpi)) << name << " width";
            EXPECT_EQ(placed.bottom, Scale(control.units.bottom, dpi)) << name << " height";
        }
    }
}
