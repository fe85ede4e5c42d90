#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <utility>
#include <string>
#include <vector>

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
        EXPECT_EQ(ShellConfigureUpdateSurface(L"C:\\later", L"1200x800"), TOVRAK_ERROR_BUSY);
        EXPECT_EQ(ShellConfigureUpdateSurfacePresentation(L"en", 10), TOVRAK_ERROR_BUSY);
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
        PaintUpdateSurface(*g_shell, dc.get(), &outside);
        for (POINT probe : {POINT{0, 0}, POINT{1050, 100}, POINT{500, 750}, POINT{250, 350}})
            EXPECT_EQ(::GetPixel(dc.get(), probe.x, probe.y), RGB(1, 2, 3));
    }
    const RECT corner{-20, -20, 10, 10};
    PaintUpdateSurface(*g_shell, dc.get(), &corner);
    EXPECT_NE(::GetPixel(dc.get(), 5, 5), RGB(1, 2, 3)) << "the part inside the client is painted";
    EXPECT_EQ(::GetPixel(dc.get(), 15, 15), RGB(1, 2, 3));
}

// The surface painted for one moment of the sheen's clock, read back pixel by pixel. The logo is a
// flat white square, so that every logo pixel comes out in the tint and the bands can be told apart
// by their opacity alone.
class SheenFrames {
  public:
    static constexpr Rgb kTint{155, 159, 162};

    bool Open() {
        face_.ReplacePicture(L"installer-logo.png", {255, 255, 255}, 64);
        if (!OpenSurface(face_, L"en", 0)) return false;
        ::KillTimer(g_shell->window, kSurfaceTimerId);  // nothing but these frames paints the logo
        WindowDc windowDc(g_shell->window);
        dc_.reset(::CreateCompatibleDC(windowDc.get()));
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = -kHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        bitmap_.reset(::CreateDIBSection(windowDc.get(), &info, DIB_RGB_COLORS, &bits_, nullptr, 0));
        if (!dc_ || !bitmap_) return false;
        ::SelectObject(dc_.get(), bitmap_.get());
        Paint(0, false);
        plain_.assign(static_cast<const std::uint32_t*>(bits_),
                      static_cast<const std::uint32_t*>(bits_) + kWidth * kHeight);
        return true;
    }

    // Paints the logo square as it looks `elapsedMs` after the window was shown. The clock goes on
    // while the frame is painted: drift() tells by how much at most the frame is later.
    void Paint(std::uint64_t elapsedMs, bool animating = true) {
        g_shell->surfaceAnimating = animating ? 1 : 0;
        const ULONGLONG before = ::GetTickCount64();
        g_shell->shownTick = before - elapsedMs;
        const RECT logo{kLogoLeft, kLogoTop, kLogoLeft + kLogoSize, kLogoTop + kLogoSize};
        PaintUpdateSurface(*g_shell, dc_.get(), &logo);
        ::GdiFlush();
        drift_ = ::GetTickCount64() - before;
    }
    std::uint64_t drift() const { return drift_; }

    Rgb At(int x, int y) const { return Unpack(static_cast<const std::uint32_t*>(bits_)[y * kWidth + x]); }
    Rgb PlainAt(int x, int y) const { return Unpack(plain_[y * kWidth + x]); }

    // How many of the three bands cover the pixel: 0 outside them, 3 inside the narrowest. Each band
    // lays the tinted logo over what is there with its own opacity, widest and faintest first.
    int BandsAt(int x, int y) const {
        static constexpr float kOpacities[] = {0.10f, 0.24f, 0.52f};
        const Rgb actual = At(x, y);
        float r = static_cast<float>(PlainAt(x, y).red), g = static_cast<float>(PlainAt(x, y).green),
              b = static_cast<float>(PlainAt(x, y).blue);
        if (Near(actual, PlainAt(x, y), 2)) return 0;
        for (int bands = 1; bands <= 3; ++bands) {
            const float a = kOpacities[bands - 1];
            r = r * (1 - a) + kTint.red * a;
            g = g * (1 - a) + kTint.green * a;
            b = b * (1 - a) + kTint.blue * a;
            if (Near(actual,
                     Rgb{static_cast<int>(r + 0.5f), static_cast<int>(g + 0.5f), static_cast<int>(b + 0.5f)},
                     4))
                return bands;
        }
        return -1;  // a colour no band combination gives
    }

    // The pixels of row `y` inside the logo that at least `bands` bands cover: their count and the
    // mean of their centres.
    struct Run {
        int width = 0;
        double centre = 0;
        bool foreign = false;
    };
    Run Covered(int y, int bands) const {
        Run run;
        double sum = 0;
        for (int x = kLogoLeft + 2; x < kLogoLeft + kLogoSize - 2; ++x) {
            const int covering = BandsAt(x, y);
            if (covering < 0) run.foreign = true;
            if (covering >= bands) {
                ++run.width;
                sum += x + 0.5;
            }
        }
        run.centre = run.width ? sum / run.width : 0;
        return run;
    }

  private:
    static constexpr int kWidth = 1000;
    static constexpr int kHeight = 700;
    static Rgb Unpack(std::uint32_t value) {
        return {static_cast<int>((value >> 16) & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                static_cast<int>(value & 0xFF)};
    }
    ShellFace face_;
    UniqueMemoryDc dc_;
    UniqueBitmap bitmap_;
    void* bits_ = nullptr;
    std::vector<std::uint32_t> plain_;
    std::uint64_t drift_ = 0;
};

// The band centre in pixels of the 1000 x 700 surface, at `phase` ms into a sweep.
double SheenCentre(std::uint64_t phaseMs) {
    return (static_cast<double>(phaseMs) / 2200.0 * -1.8 + 1.4) * kLogoSize + kLogoLeft;
}

// A measured centre lies within a pixel of where the bands were at some moment of the frame's
// painting: from `phaseMs` to `phaseMs` + `driftMs` (the bands move left as time goes on).
::testing::AssertionResult CentredWithin(double measured, double offset, std::uint64_t phaseMs,
                                         std::uint64_t driftMs) {
    const double latest = SheenCentre(phaseMs + driftMs) + offset - 1.0;
    const double earliest = SheenCentre(phaseMs) + offset + 1.0;
    if (measured >= latest && measured <= earliest) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "centre " << measured << " outside " << latest << " to " << earliest;
}

TEST(UpdateSurfaceSheen, SweepsFromRightToLeftThreeTimesInItsBands) {
    SheenFrames frames;
    ASSERT_TRUE(frames.Open());
    // The dim logo of the backdrop: the tint at 0.3 over the background.
    const Rgb plain = frames.PlainAt(kLogoLeft + 30, kLogoTop + 30);
    const auto over = [](int below, int tint, float alpha) {
        return static_cast<int>(below * (1 - alpha) + tint * alpha + 0.5f);
    };
    EXPECT_TRUE(
        Near(plain,
             {over(test::kTestBackground.red, 155, 0.3f), over(test::kTestBackground.green, 159, 0.3f),
              over(test::kTestBackground.blue, 162, 0.3f)},
             3))
        << plain;

    const int middleRow = kLogoTop + kLogoSize / 2;
    const struct {
        std::uint64_t elapsedMs;
        bool drawn;
        std::uint64_t phaseMs;
    } moments[] = {
        {733, true, 733},   {1100, true, 1100}, {1467, true, 1467},  // first sweep, right to left
        {2933, true, 733},  {5867, true, 1467},                      // second and third
        {0, false, 0},      {2199, false, 0},                        // both ends lie beside the logo
        {5500, true, 1100}, {7700, false, 0},                        // the sheen lasts 6.6 s
    };
    for (const auto& moment : moments) {
        SCOPED_TRACE(::testing::Message() << moment.elapsedMs << " ms");
        frames.Paint(moment.elapsedMs);
        const SheenFrames::Run outer = frames.Covered(middleRow, 1);
        EXPECT_FALSE(outer.foreign) << "a colour that no band gives";
        if (!moment.drawn) {
            EXPECT_EQ(outer.width, 0);
            for (int y = kLogoTop + 2; y < kLogoTop + kLogoSize - 2; y += 5)
                EXPECT_EQ(frames.Covered(y, 1).width, 0) << "row " << y;
            continue;
        }
        // Each band is as wide as its share of the logo, with the narrower ones inside.
        const struct {
            int bands;
            double width;
        } nested[] = {{1, 0.23 * kLogoSize}, {2, 0.12 * kLogoSize}, {3, 0.045 * kLogoSize}};
        for (const auto& band : nested) {
            const SheenFrames::Run run = frames.Covered(middleRow, band.bands);
            EXPECT_NEAR(run.width, band.width, 1.0) << band.bands << " bands";
            EXPECT_TRUE(CentredWithin(run.centre, 0, moment.phaseMs, frames.drift()))
                << band.bands << " bands";
        }
    }

    // Without the animation flag nothing sweeps, even within the time.
    frames.Paint(1100, false);
    EXPECT_EQ(frames.Covered(middleRow, 1).width, 0);
}

TEST(UpdateSurfaceSheen, LeansLikeABackslash) {
    SheenFrames frames;
    ASSERT_TRUE(frames.Open());
    frames.Paint(1100);
    // The top edge is shifted left and the bottom edge right by 0.18 logo widths.
    const double slant = 0.18 * kLogoSize;
    for (const int offset : {3, 15, 30, 45, 56}) {
        const int y = kLogoTop + offset;
        const SheenFrames::Run run = frames.Covered(y, 1);
        EXPECT_TRUE(
            CentredWithin(run.centre, -slant + 2 * slant * (offset + 0.5) / kLogoSize, 1100, frames.drift()))
            << "row " << offset;
        EXPECT_NEAR(run.width, 0.23 * kLogoSize, 1.0) << "row " << offset;
    }
}

// Records the area of every paint of a window and validates it without painting, so that a frame
// costs nothing and the clock barely moves while the timer's tick runs.
class PaintAreas {
  public:
    explicit PaintAreas(HWND window) : window_(window) {
        ::SetWindowSubclass(window_, Record, 12, reinterpret_cast<DWORD_PTR>(this));
    }
    ~PaintAreas() { ::RemoveWindowSubclass(window_, Record, 12); }
    std::vector<RECT> areas;

  private:
    static LRESULT CALLBACK Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                   DWORD_PTR self) {
        if (message == WM_PAINT) {
            RECT area{};
            ::GetUpdateRect(window, &area, FALSE);
            reinterpret_cast<PaintAreas*>(self)->areas.push_back(area);
            ::ValidateRect(window, nullptr);
            return 0;
        }
        return ::DefSubclassProc(window, message, wParam, lParam);
    }
    HWND window_;
};

TEST(UpdateSurfaceTimer, StopsAt6600MsAndRedrawsTheSquareAroundTheLogoOnEveryTick) {
    ShellFace face;
    ASSERT_TRUE(OpenSurface(face, L"en", 0));
    face.Capture();
    ::UpdateWindow(g_shell->window);
    // 88 units around the centre of the 1000 x 700 surface.
    const RECT square{456, 306, 544, 394};

    const struct {
        std::uint64_t elapsedMs;
        bool animating;
        bool keepsRunning;
    } ticks[] = {
        {100, true, true},
        {6599, true, true},
        {6600, true, false},
        {100, false, false},  // the sheen was stopped before: the timer goes too
    };
    for (const auto& tick : ticks) {
        SCOPED_TRACE(::testing::Message() << tick.elapsedMs << " ms, animating " << tick.animating);
        bool measured = false;
        // The tick must see exactly the elapsed time: only a try within one tick of the clock counts.
        for (int attempt = 0; attempt < 200 && !measured; ++attempt) {
            ::SetTimer(g_shell->window, kSurfaceTimerId, 100000, nullptr);
            g_shell->surfaceAnimating = tick.animating ? 1 : 0;
            PaintAreas paints(g_shell->window);
            const ULONGLONG before = ::GetTickCount64();
            g_shell->shownTick = before - tick.elapsedMs;
            ::SendMessageW(g_shell->window, WM_TIMER, kSurfaceTimerId, 0);
            measured = ::GetTickCount64() == before;
            const bool timerLeft = ::KillTimer(g_shell->window, kSurfaceTimerId) != FALSE;
            if (!measured) continue;
            EXPECT_EQ(timerLeft, tick.keepsRunning);
            EXPECT_EQ(g_shell->surfaceAnimating, tick.keepsRunning ? 1 : 0);
            ASSERT_EQ(paints.areas.size(), 1u) << "the tick paints at once";
            EXPECT_TRUE(::EqualRect(&paints.areas[0], &square))
                << paints.areas[0].left << ", " << paints.areas[0].top << " - " << paints.areas[0].right
                << ", " << paints.areas[0].bottom;
        }
        EXPECT_TRUE(measured) << "the tick count moved during every try";
    }
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
    EXPECT_EQ(surface, TOVRAK_ERROR_GEN_FAILURE);
    EXPECT_EQ(presentation, TOVRAK_ERROR_GEN_FAILURE);
    const tovrak::PendingSurfaceConfiguration kept = tovrak::TakePendingSurfaceConfiguration();
    EXPECT_EQ(kept.directory, L"C:\\earlier");
    EXPECT_EQ(kept.size, L"1000x700");
    EXPECT_EQ(kept.language, L"en");
    EXPECT_EQ(kept.startPercent, 40);
}
