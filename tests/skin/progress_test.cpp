// CreateProgress, its message and painting, and ResizeShell.

#include <gtest/gtest.h>

#include "skin/progress.h"
#include "skin/skin_fixtures.h"
#include "support/pixels.h"
#include "tovrak/renderer.h"

namespace tovrak::test {
namespace {

constexpr COLORREF kTrack = RGB(200, 200, 200);
constexpr COLORREF kFill = RGB(0, 0, 255);
constexpr COLORREF kHighlight = RGB(255, 0, 0);
constexpr COLORREF kBackground = RGB(0, 128, 0);

// Switches the system's client-area animations for the lifetime of the guard and restores them after.
class ClientAreaAnimation {
  public:
    explicit ClientAreaAnimation(BOOL allowed) {
        supported_ = ::SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &previous_, 0) && Set(allowed);
    }
    ~ClientAreaAnimation() {
        if (supported_) Set(previous_);
    }
    bool supported() const { return supported_; }
    static bool Set(BOOL allowed) {
        return ::SystemParametersInfoW(SPI_SETCLIENTAREAANIMATION, 0,
                                       reinterpret_cast<void*>(static_cast<INT_PTR>(allowed)), 0);
    }

  private:
    BOOL previous_ = FALSE;
    bool supported_ = false;
};

// KillTimer reports whether the timer was running; the probe stops it, so it is the last look at a state.
bool TimerRuns(HWND progress) {
    return ::KillTimer(progress, 1) != FALSE;
}

RECT PlacementInParent(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

TEST(ProgressWindow, SitsAtItsScaledPlace) {
    HostWindow host(0, 0, 800, 600);
    EXPECT_EQ(CreateProgress(nullptr, 96, 0, 0, 0, 0), nullptr);
    EXPECT_EQ(CreateProgress(host.get(), 95, 0, 0, 0, 0), nullptr);
    EXPECT_EQ(CreateProgress(host.get(), 769, 0, 0, 0, 0), nullptr);
    const struct {
        UINT dpi;
        RECT expected;
    } cases[] = {{96, {184, 339, 517, 348}}, {144, {276, 509, 776, 523}}};
    for (const auto& c : cases) {
        const HWND progress = CreateProgress(host.get(), c.dpi, kTrack, kFill, kHighlight, kBackground);
        ASSERT_NE(progress, nullptr);
        const RECT placed = PlacementInParent(progress);
        EXPECT_TRUE(::EqualRect(&placed, &c.expected)) << c.dpi << ": " << placed.left << ", " << placed.top
                                                       << ", " << placed.right << ", " << placed.bottom;
        EXPECT_FALSE(::IsWindowEnabled(progress));
        EXPECT_TRUE(::IsWindowVisible(progress));
        ::DestroyWindow(progress);
    }
}

TEST(ProgressWindow, PaintsTrackFillAndHighlightByPercentage) {
    ClientAreaAnimation off(FALSE);  // no band crossing the samples
    HostWindow host(0, 0, 700, 500);
    const HWND progress = CreateProgress(host.get(), 96, kTrack, kFill, kHighlight, kBackground);
    ASSERT_NE(progress, nullptr);
    const struct {
        WPARAM percent;
        COLORREF at5, at80, at160, at172, at328;
    } cases[] = {
        {0, kTrack, kTrack, kTrack, kTrack, kTrack},
        {50, kFill, kFill, kFill, kTrack, kTrack},
        {100, kHighlight, kHighlight, kHighlight, kHighlight, kHighlight},
        {250, kHighlight, kHighlight, kHighlight, kHighlight, kHighlight},
    };
    for (const auto& c : cases) {
        ::SendMessageW(progress, SetProgressMessage, c.percent, 0);
        Settle();
        const WindowCapture capture(progress);
        ASSERT_EQ(capture.width(), 333);
        EXPECT_PRED3(Near, capture.At(0, 0), FromColorref(kBackground), 2)
            << c.percent << "% outside the capsule";
        const struct {
            int x;
            COLORREF expected;
        } samples[] = {{5, c.at5}, {80, c.at80}, {160, c.at160}, {172, c.at172}, {328, c.at328}};
        for (const auto& s : samples)
            EXPECT_PRED3(Near, capture.At(s.x, 4), FromColorref(s.expected), 2)
                << c.percent << "% at " << s.x;
    }
}

TEST(ProgressWindow, AnimatesOnlyBetween1And99PercentWithAnimationsOn) {
    ClientAreaAnimation on(TRUE);
    if (!on.supported()) GTEST_SKIP() << "the platform has no client-area animation setting";
    HostWindow host(0, 0, 700, 500);
    const HWND progress = CreateProgress(host.get(), 96, kTrack, kFill, kHighlight, kBackground);
    ASSERT_NE(progress, nullptr);
    EXPECT_FALSE(TimerRuns(progress)) << "a new bar does not animate";
    const struct {
        WPARAM percent;
        bool runs;
    } cases[] = {{0, false}, {1, true}, {50, true}, {99, true}, {100, false}, {250, false}};
    for (const auto& c : cases) {
        ::SendMessageW(progress, SetProgressMessage, c.percent, 0);
        EXPECT_EQ(TimerRuns(progress), c.runs) << c.percent << "%";
    }

    ClientAreaAnimation::Set(FALSE);
    ::SendMessageW(progress, SetProgressMessage, 50, 0);
    EXPECT_FALSE(TimerRuns(progress)) << "animations switched off";
    ClientAreaAnimation::Set(TRUE);
    ::SendMessageW(progress, WM_SETTINGCHANGE, SPI_SETCLIENTAREAANIMATION, 0);
    EXPECT_TRUE(TimerRuns(progress)) << "a settings change that reaches the bar restarts it";
}

TEST(ProgressPainting, SweepsABandAcrossTheFilledPartOnly) {
    // A 333 × 9 bar at 50 % fills 166.5 units; the band is 127.8 wide. At phase 669.5 ms its middle
    // (highlight) stands at x = 83; after 2100 ms it rests.
    HostWindow host(0, 0, 400, 100);
    HDC screen = ::GetDC(host.get());
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 333, 9);
    ::SelectObject(memory, bitmap);
    // At phase 1112 ms the middle stands at x = 180, beyond the filled part, where the clip hides it.
    const struct {
        UINT percent;
        DWORD phase;
        COLORREF at83, at175, at250;
        int tolerance;
    } cases[] = {{50, 670, kHighlight, kTrack, kTrack, 16},
                 {50, 1112, kFill, kTrack, kTrack, 2},
                 {50, 2500, kFill, kTrack, kTrack, 2},
                 {99, 2500, kFill, kFill, kFill, 2},
                 {100, 670, kHighlight, kHighlight, kHighlight, 2}};
    for (const auto& c : cases) {
        skin::ProgressState state{c.percent,  ::GetTickCount() - c.phase, TRUE, kTrack, kFill, kHighlight,
                                  kBackground};
        skin::PaintProgress(memory, 333, 9, state);
        const struct {
            int x;
            COLORREF expected;
        } samples[] = {{83, c.at83}, {175, c.at175}, {250, c.at250}};
        for (const auto& s : samples) {
            const COLORREF pixel = ::GetPixel(memory, s.x, 4);
            EXPECT_PRED3(Near, FromColorref(pixel), FromColorref(s.expected), c.tolerance)
                << c.percent << "% phase " << c.phase << " at " << s.x;
        }
    }
    ::DeleteDC(memory);
    ::DeleteObject(bitmap);
    ::ReleaseDC(host.get(), screen);
}

TEST(ShellResize, KeepsTheWidthAndFitsTheHeightIntoTheWorkArea) {
    HostWindow host(100, 0, 300, 300);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(host.get(), MONITOR_DEFAULTTONEAREST), &monitor));
    const int bottom = monitor.rcWork.bottom;

    const struct {
        UINT dpi, height;
        int room;  // work-area bottom minus the window's top
        int result, width, expectedHeight;
    } cases[] = {
        {96, 800, 700, 1, 700, 700},     {96, 800, 300, 1, 700, 500},   {96, 600, 900, 1, 700, 600},
        {96, 499, 900, 0, 0, 0},         {96, 1201, 900, 0, 0, 0},      {95, 600, 900, 0, 0, 0},
        {144, 800, 1000, 1, 1050, 1000}, {144, 500, 100, 1, 1050, 750},
    };
    for (const auto& c : cases) {
        ::SetWindowPos(host.get(), nullptr, 100, bottom - c.room, 300, 300, SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_EQ(ResizeShell(host.get(), c.dpi, c.height), c.result) << c.dpi << " dpi, " << c.height;
        if (!c.result) continue;
        RECT rect{};
        ::GetWindowRect(host.get(), &rect);
        EXPECT_EQ(rect.right - rect.left, c.width);
        EXPECT_EQ(rect.bottom - rect.top, c.expectedHeight)
            << c.dpi << " dpi, " << c.height << ", room " << c.room;
        EXPECT_EQ(rect.top, bottom - c.room) << "the window does not move";
    }
    EXPECT_EQ(ResizeShell(nullptr, 96, 600), 0);
}

}  // namespace
}  // namespace tovrak::test
