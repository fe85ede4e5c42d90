// Runs in a Wine prefix whose display reports 144 DPI (scripts/test.sh, label dpi144): the shell
// opens at the system's DPI, not through a DPI change.

#include <functional>

#include <gtest/gtest.h>

#include "shell/shell_context.h"
#include "shell/shell_face.h"
#include "shell/shell_window.h"
#include "tovrak/renderer.h"

namespace tovrak {
namespace {

using test::Near;
using test::ShellFace;
using test::WindowCapture;

// A host declares itself DPI aware in its manifest; a test program does it at run time.
void BecomeDpiAware() {
    if (!::SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) &&
        !::SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE))
        ::SetProcessDPIAware();
}

LONG FontHeight(HFONT font) {
    LOGFONTW description{};
    ::GetObjectW(font, sizeof(description), &description);
    return description.lfHeight;
}

TEST(SystemDpi, OpensTheInstallWindowScaledToTheSystemDpi) {
    BecomeDpiAware();
    if (::GetDpiForSystem() != 144) GTEST_SKIP() << "the display does not report 144 DPI";
    ShellFace face;
    ASSERT_TRUE(face.Open(ShellModeInstall));
    EXPECT_EQ(g_shell->dpi, 144u);

    RECT client{};
    ::GetClientRect(g_shell->window, &client);
    EXPECT_EQ(client.right, 1050);
    EXPECT_EQ(client.bottom, 750);
    EXPECT_EQ(FontHeight(g_shell->bodyFont.get()), -20);
    EXPECT_EQ(FontHeight(g_shell->mediumFont.get()), -21);
    EXPECT_EQ(FontHeight(g_shell->titleFont.get()), -24);

    // The options panel grows the window to s(668) = 1002 where the work area allows (so start at the
    // top of the screen), and the path field's picture starts at s(555) = 833.
    ::SetWindowPos(g_shell->window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(g_shell->optionsButton, BM_CLICK, 0, 0);
    WindowCapture capture = face.Capture();
    if (capture.height() < 1002) GTEST_SKIP() << "the work area is too low for the whole panel";
    EXPECT_TRUE(Near(capture.At(750, 834), test::kTestPathField)) << capture.At(750, 834);
    EXPECT_FALSE(Near(capture.At(750, 831), test::kTestPathField)) << capture.At(750, 831);
}

// A window placed low on the screen cannot grow to the whole options panel: the band below the line
// scrolls, and every step and the bar are scaled, not only the layout.
TEST(SystemDpi, ScrollsTheOptionsPanelInScaledSteps) {
    BecomeDpiAware();
    if (::GetDpiForSystem() != 144) GTEST_SKIP() << "the display does not report 144 DPI";
    ShellFace face;
    ASSERT_TRUE(face.Open(ShellModeInstall));
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(g_shell->window, MONITOR_DEFAULTTONEAREST), &monitor));
    ::SetWindowPos(g_shell->window, nullptr, monitor.rcWork.left, monitor.rcWork.bottom - 850, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(g_shell->optionsButton, BM_CLICK, 0, 0);
    const HWND bar = ::FindWindowExW(g_shell->window, nullptr, L"ScrollBar", L"展开内容");
    ASSERT_NE(bar, nullptr);
    RECT client{}, rect{};
    ::GetClientRect(g_shell->window, &client);
    ::GetWindowRect(bar, &rect);
    ::MapWindowPoints(nullptr, g_shell->window, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, 1050 - 21);
    EXPECT_EQ(rect.right, 1050);
    EXPECT_EQ(rect.top, 741);  // s(494)
    ASSERT_GE(1002 - client.bottom, 108) << "the panel (s(668) = 1002) scrolls far enough";

    POINT inBand{100, 800};
    ::ClientToScreen(g_shell->window, &inBand);
    const auto line = [&](WORD code) {
        ::SendMessageW(g_shell->window, WM_VSCROLL, code, reinterpret_cast<LPARAM>(bar));
    };
    const auto wheel = [&](short delta) {
        ::SendMessageW(g_shell->window, WM_MOUSEWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(inBand.x, inBand.y));
    };
    const struct {
        const char* step;
        std::function<void()> act;
        int position;
    } steps[] = {
        {"line down, s(24)", [&] { line(SB_LINEDOWN); }, 36},
        {"a notch towards the user, s(48)", [&] { wheel(-WHEEL_DELTA); }, 108},
        {"line up", [&] { line(SB_LINEUP); }, 72},
        {"a notch away from the user", [&] { wheel(WHEEL_DELTA); }, 0},
    };
    for (const auto& step : steps) {
        step.act();
        EXPECT_EQ(::GetScrollPos(bar, SB_CTL), step.position) << step.step;
    }

    // The thumb is inset s(4) = 6 on each side of the s(14) = 21 pixel track.
    test::PumpMessages(150);
    SCROLLBARINFO info{};
    info.cbSize = sizeof(info);
    if (!::GetScrollBarInfo(bar, OBJID_CLIENT, &info) || info.xyThumbBottom <= info.xyThumbTop)
        GTEST_SKIP() << "the platform does not report the scroll bar's thumb";
    const WindowCapture capture(bar);
    const int middle = (info.xyThumbTop + info.xyThumbBottom) / 2;
    // The shell paints its track in the background colour and its thumb in the muted text colour.
    const test::Rgb track = test::FromColorref(kBackgroundColour),
                    thumb = test::FromColorref(kMutedTextColour);
    for (const int x : {5, 15})
        EXPECT_TRUE(Near(capture.At(x, middle), track)) << x << ": " << capture.At(x, middle);
    for (const int x : {7, 12})
        EXPECT_TRUE(Near(capture.At(x, middle), thumb)) << x << ": " << capture.At(x, middle);
}

}  // namespace
}  // namespace tovrak
