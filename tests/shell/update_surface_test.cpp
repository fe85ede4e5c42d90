#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <utility>
#include <string>

#include "common/unique_handle.h"
#include "shell/painter.h"
#include "shell/shell_context.h"
#include "shell/update_surface.h"
#include "shell/update_surface_config.h"
#include "shell_face.h"
#include "support/failing_allocations.h"
#include "tovrak/renderer.h"

namespace tovrak {
namespace {

using test::Near;
using test::Rgb;
using test::ShellFace;
using test::WindowCapture;

// A 1000 x 700 surface at 96 DPI puts the 60-pixel logo at (470, 320)-(530, 380).
constexpr int kLogoLeft = 470;
constexpr int kLogoTop = 320;
constexpr int kLogoSize = 60;
// A column through the logo's plain body, left of its letter.
constexpr int kBodyColumn = kLogoLeft + 8;
// A column that crosses the logo from its top edge to its bottom edge, clear of the rounded corners.
constexpr int kFillColumn = kLogoLeft + 20;

bool Differs(const Rgb& a, const Rgb& b) {
    return !Near(a, b, 6);
}

void RepaintSurface() {
    ::RedrawWindow(g_shell->window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

HWND OpenSurface(ShellFace& face, const wchar_t* language, int startPercent) {
    ShellConfigureUpdateSurface(L"", L"1000x700");
    ShellConfigureUpdateSurfacePresentation(language, startPercent);
    const HWND window = face.Open(ShellModeUpdate);
    // Without the sheen, so that only the fill changes the logo.
    if (window) g_shell->surfaceAnimating = 0;
    return window;
}

TEST(UpdateSurfaceConfiguration, StoresTheStartPercentageClamped) {
    for (const auto& [given, stored] : {std::pair(50, 50), {95, 95}, {120, 95}, {-3, 0}, {INT_MIN, 0}}) {
        ASSERT_EQ(ShellConfigureUpdateSurfacePresentation(nullptr, given), 0u);
        EXPECT_EQ(TakePendingSurfaceConfiguration().startPercent, stored) << given;
    }
}

TEST(UpdateSurfaceConfiguration, IsConsumedByTheNextOpenWhateverItsMode) {
    {
        ShellFace face;
        ASSERT_TRUE(OpenSurface(face, L"en", 40));
        EXPECT_EQ(g_shell->logicalWidth, 1000);
        EXPECT_EQ(g_shell->logicalHeight, 700);
        EXPECT_EQ(g_shell->englishSurface, 1);
        EXPECT_EQ(g_shell->surfaceStartPercent, 40);
        EXPECT_EQ(ShellConfigureUpdateSurface(L"C:\\later", L"1200x800"), 170u);
        EXPECT_EQ(ShellConfigureUpdateSurfacePresentation(L"en", 10), 170u);
    }
    const PendingSurfaceConfiguration untouched = TakePendingSurfaceConfiguration();
    EXPECT_TRUE(untouched.directory.empty() && untouched.size.empty() && untouched.language.empty());

    ShellConfigureUpdateSurface(L"", L"1000x700");
    ShellConfigureUpdateSurfacePresentation(L"en", 40);
    {
        ShellFace install;
        ASSERT_TRUE(install.Open(ShellModeInstall));
    }
    ShellFace update;
    ASSERT_TRUE(update.Open(ShellModeUpdate));
    EXPECT_EQ(g_shell->englishSurface, 0);
    EXPECT_EQ(g_shell->surfaceStartPercent, 0);
    EXPECT_NE(g_shell->logicalWidth, 1000);
}

TEST(UpdateSurfaceConfiguration, SelectsEnglishOnlyForExactlyEn) {
    for (const wchar_t* language : {L"EN", L"en-US"}) {
        ShellFace face;
        ASSERT_TRUE(OpenSurface(face, language, 0));
        EXPECT_EQ(g_shell->englishSurface, 0);
    }
}

TEST(UpdateSurfaceText, FollowsCompletionProgressAndLanguage) {
    ShellContext shell;
    const struct {
        bool english;
        bool complete;
        int progress;
        const wchar_t* text;
    } cases[] = {
        {true, false, 0, L"Updating, please wait"},
        {false, false, 0, L"正在更新，请稍候"},
        {true, false, 50, L"Installing update 50%"},
        {false, false, 7, L"正在安装更新 7%"},
        {true, true, 3, L"Starting"},
        {false, true, 100, L"正在启动"},
    };
    for (const auto& c : cases) {
        shell.englishSurface = c.english;
        shell.surfaceComplete = c.complete;
        shell.surfaceProgress = c.progress;
        EXPECT_EQ(UpdateSurfaceText(shell).view(), c.text);
    }
}

TEST(UpdateSurface, FillsTheLogoFromTheBottomUpToNinetyFivePercent) {
    std::optional<WindowCapture> unfilled;
    {
        ShellFace face;
        ASSERT_TRUE(OpenSurface(face, L"en", 0));
        unfilled.emplace(face.Capture());
    }
    const struct {
        int startPercent;
        int hostPercent;  // 74 shows 50, 100 shows 100
        int filledRows;
    } cases[] = {{0, 0, 0}, {1, 0, 0}, {40, 0, 24}, {40, 74, 40}, {0, 100, 57}};
    for (const auto& c : cases) {
        ShellFace face;
        ASSERT_TRUE(OpenSurface(face, L"en", c.startPercent));
        if (c.hostPercent > 0) ShellProgress(c.hostPercent);
        const WindowCapture filled = face.Capture();
        // Rows of the logo (inside its rounded outline) that the fill changed.
        int firstFilled = -1;
        for (int y = kLogoTop + 3; y < kLogoTop + kLogoSize - 2 && firstFilled < 0; ++y)
            if (Differs(filled.At(kFillColumn, y), unfilled->At(kFillColumn, y))) firstFilled = y;
        const int expected = c.filledRows == 0 ? -1 : kLogoTop + kLogoSize - c.filledRows;
        EXPECT_EQ(firstFilled, expected) << "start " << c.startPercent << ", host " << c.hostPercent;
    }
}

TEST(UpdateSurface, SweepsTheSheenAndStopsAfterItsTime) {
    ShellFace face;
    ASSERT_TRUE(OpenSurface(face, L"en", 0));
    const WindowCapture plain = face.Capture();

    // At 1100 ms the bands are centred on the logo's middle column.
    g_shell->surfaceAnimating = 1;
    g_shell->shownTick = ::GetTickCount64() - 1100;
    ::KillTimer(g_shell->window, kSurfaceTimerId);
    RepaintSurface();
    const WindowCapture sheen(g_shell->window);
    const int middleX = kLogoLeft + kLogoSize / 2;
    const int middleY = kLogoTop + kLogoSize / 2;
    EXPECT_TRUE(Differs(sheen.At(middleX - 1, middleY), plain.At(middleX - 1, middleY)));
    EXPECT_EQ(sheen.At(kBodyColumn, middleY), plain.At(kBodyColumn, middleY)) << "outside the bands";

    // The timer runs out: its last tick stops it and still paints a frame without the sheen.
    g_shell->shownTick = ::GetTickCount64() - 6500;
    ::SetTimer(g_shell->window, kSurfaceTimerId, kSurfaceTimerPeriodMs, nullptr);
    test::PumpMessages(400);
    EXPECT_EQ(g_shell->surfaceAnimating, 0);
    EXPECT_FALSE(::KillTimer(g_shell->window, kSurfaceTimerId)) << "the timer still ran";
    const WindowCapture last(g_shell->window);
    EXPECT_EQ(last.At(middleX - 1, middleY), plain.At(middleX - 1, middleY));
}

TEST(UpdateSurface, PaintsNothingForADirtyRectangleOutsideTheClient) {
    ShellFace face;
    ASSERT_TRUE(OpenSurface(face, L"en", 0));
    WindowDc windowDc(g_shell->window);
    UniqueMemoryDc dc(::CreateCompatibleDC(windowDc.get()));
    UniqueBitmap bitmap(::CreateCompatibleBitmap(windowDc.get(), 1100, 800));
    SelectGuard select(dc.get(), bitmap.get());
    const RECT everything{0, 0, 1100, 800};
    UniqueBrush marker(::CreateSolidBrush(RGB(1, 2, 3)));
    ::FillRect(dc.get(), &everything, marker.get());

    for (const RECT& outside : {RECT{-50, -50, -1, -1}, RECT{1000, 0, 1100, 700}, RECT{0, 700, 1000, 800},
                                RECT{300, 300, 200, 400}}) {
        PaintUpdateSurface(dc.get(), &outside);
        for (POINT probe : {POINT{0, 0}, POINT{1050, 100}, POINT{500, 750}, POINT{250, 350}})
            EXPECT_EQ(::GetPixel(dc.get(), probe.x, probe.y), RGB(1, 2, 3));
    }
    const RECT corner{-20, -20, 10, 10};
    PaintUpdateSurface(dc.get(), &corner);
    EXPECT_NE(::GetPixel(dc.get(), 5, 5), RGB(1, 2, 3)) << "the part inside the client is painted";
    EXPECT_EQ(::GetPixel(dc.get(), 15, 15), RGB(1, 2, 3));
}

}  // namespace
}  // namespace tovrak

// A copy that fails for want of memory is a failure without a system error code, and leaves what was
// configured before whole.
TEST(UpdateSurfaceConfiguration, ReportsAFailedCopyAsAGeneralFailure) {
    ASSERT_EQ(ShellConfigureUpdateSurface(L"C:\\earlier", L"1000x700"), 0u);
    ASSERT_EQ(ShellConfigureUpdateSurfacePresentation(L"en", 40), 0u);
    const std::wstring longText(200, L'd');  // beyond any short-string buffer: copying it allocates
    uint32_t surface = 0;
    uint32_t presentation = 0;
    {
        tovrak::test::FailingAllocations failing;
        surface = ShellConfigureUpdateSurface(longText.c_str(), longText.c_str());
        presentation = ShellConfigureUpdateSurfacePresentation(longText.c_str(), 10);
    }
    EXPECT_EQ(surface, 31u);
    EXPECT_EQ(presentation, 31u);
    const tovrak::PendingSurfaceConfiguration kept = tovrak::TakePendingSurfaceConfiguration();
    EXPECT_EQ(kept.directory, L"C:\\earlier");
    EXPECT_EQ(kept.size, L"1000x700");
    EXPECT_EQ(kept.language, L"en");
    EXPECT_EQ(kept.startPercent, 40);
}
