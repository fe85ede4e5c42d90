#include <gtest/gtest.h>

#include "shell/shell_context.h"
#include "shell_face.h"
#include "tovrak/renderer.h"

namespace tovrak {
namespace {

using test::CountPixels;
using test::IsNearBlack;
using test::IsNearWhite;
using test::kTestBackground;
using test::kTestPathField;
using test::Near;
using test::Rgb;
using test::ShellFace;
using test::WindowCapture;

constexpr Rgb kPanel{33, 35, 40};
constexpr RECT kHeadlineBand{32, 240, 668, 262};
constexpr RECT kPercentBand{184, 360, 517, 380};

bool IsCaptionGrey(const Rgb& c) {
    return c.green >= 120 && c.blue >= 120;
}

void Repaint() {
    ::RedrawWindow(g_shell->window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

TEST(ShellPainter, ChoosesTheHeadlineByScreenAndMode) {
    const struct {
        const char* screen;
        unsigned mode;
        int kind;
        const wchar_t* gateReason;
        bool headline;
    } cases[] = {
        {"idle install shows the gate's headline", ShellModeInstall, 0, L"Ready to install", true},
        {"idle install without one shows no title", ShellModeInstall, 0, L"", false},
        {"failed install shows the title", ShellModeInstall, 2, L"", true},
        {"idle uninstall shows the title", ShellModeUninstall, 0, L"", true},
    };
    for (const auto& c : cases) {
        ShellFace face;
        ASSERT_TRUE(face.Open(c.mode)) << c.screen;
        if (c.kind != 0) ShellState(c.kind, 0, L"Demo could not be installed", L"", L"Retry", L"");
        ShellGate(1, c.gateReason, L"");
        const int white = CountPixels(face.Capture(), kHeadlineBand, IsNearWhite);
        EXPECT_EQ(white > 0, c.headline) << c.screen << ": " << white << " white pixels";
    }
}

TEST(ShellPainter, ShowsThePercentageOnlyWhileInstalling) {
    for (unsigned mode : {ShellModeInstall, ShellModeUninstall}) {
        ShellFace face;
        ASSERT_TRUE(face.Open(mode));
        ShellState(ShellStateRunning, 42, L"Working", L"Copying files", L"", L"");
        const int text = CountPixels(face.Capture(), kPercentBand, IsCaptionGrey);
        EXPECT_EQ(text > 0, mode == ShellModeInstall) << "mode " << mode << ": " << text << " text pixels";
    }
}

TEST(ShellPainter, GreysThePrimaryButtonByStateWithABlackCaption) {
    ShellFace face;
    ASSERT_TRUE(face.Open(ShellModeInstall));
    const HWND primary = g_shell->primaryButton;
    const RECT caption{300, 334, 400, 354};

    WindowCapture enabled = face.Capture();
    EXPECT_TRUE(Near(enabled.At(192, 330), {255, 255, 255})) << enabled.At(192, 330);
    EXPECT_GT(CountPixels(enabled, caption, IsNearBlack), 0);

    ::SendMessageW(primary, BM_SETSTATE, TRUE, 0);
    Repaint();
    WindowCapture pressed = face.Capture();
    EXPECT_TRUE(Near(pressed.At(192, 330), {221, 221, 221})) << pressed.At(192, 330);
    ::SendMessageW(primary, BM_SETSTATE, FALSE, 0);

    ShellGate(0, L"Not yet", L"");
    WindowCapture disabled = face.Capture();
    EXPECT_TRUE(Near(disabled.At(192, 330), {143, 143, 143})) << disabled.At(192, 330);
    EXPECT_GT(CountPixels(disabled, caption, IsNearBlack), 0);
}

TEST(ShellPainter, DrawsAFocusedCaptionWhite) {
    ShellFace face;
    ASSERT_TRUE(face.Open(ShellModeInstall));
    const RECT optionsCaption{590, 454, 648, 474};
    EXPECT_EQ(CountPixels(face.Capture(), optionsCaption, IsNearWhite), 0);
    ::SetFocus(g_shell->optionsButton);
    Repaint();
    EXPECT_GT(CountPixels(face.Capture(), optionsCaption, IsNearWhite), 0);
}

TEST(ShellPainter, FillsThePanelAndShowsThePathFieldOnlyWhileIdle) {
    ShellFace face;
    ASSERT_TRUE(face.Open(ShellModeInstall));
    ::SendMessageW(g_shell->optionsButton, BM_CLICK, 0, 0);
    ASSERT_TRUE(g_shell->optionsExpanded);
    WindowCapture idle = face.Capture();
    ASSERT_GE(idle.height(), 668);
    // Right of the shortcut box's caption: the panel's flat colour, not the picture.
    EXPECT_TRUE(Near(idle.At(232, 636), kPanel)) << idle.At(232, 636);
    // Right of the agreement box's caption, above the panel: the picture.
    EXPECT_TRUE(Near(idle.At(80, 455), kTestBackground)) << idle.At(80, 455);
    // Below the path edit, inside the path field's picture.
    EXPECT_TRUE(Near(idle.At(500, 594), kTestPathField)) << idle.At(500, 594);
    // The path edit paints itself (dark field) and is not covered by the face's copy.
    EXPECT_TRUE(Near(idle.At(560, 577), {26, 28, 34})) << idle.At(560, 577);

    ShellState(ShellStateFailed, 0, L"Failed", L"", L"Retry",
               L"Code\xFF1A"
               L"42");
    ::SendMessageW(g_shell->optionsButton, BM_CLICK, 0, 0);
    ASSERT_TRUE(g_shell->optionsExpanded);
    WindowCapture failed = face.Capture();
    const int freeRow = 520 + g_shell->diagnosticsHeight + 2;
    if (freeRow > 597) GTEST_SKIP() << "the diagnostics cover the path field's place";
    EXPECT_TRUE(Near(failed.At(500, freeRow), kPanel)) << failed.At(500, freeRow);
}

TEST(ShellPainter, ScalesEveryCoordinateAt144Dpi) {
    ShellFace face;
    ASSERT_TRUE(face.Open(ShellModeInstall));
    // At the top of the screen, so that the open panel has room to grow to its full height.
    RECT suggested{0, 0, 1050, 750};
    ::SendMessageW(g_shell->window, WM_DPICHANGED, MAKEWPARAM(144, 144),
                   reinterpret_cast<LPARAM>(&suggested));
    if (g_shell->dpi != 144) GTEST_SKIP() << "the window did not take the new DPI";
    ::SendMessageW(g_shell->optionsButton, BM_CLICK, 0, 0);
    WindowCapture capture = face.Capture();
    ASSERT_GE(capture.height(), 1002);
    // The path field's picture starts at s(555) = 833 (MulDiv rounds 832.5 up) and ends at s(599).
    EXPECT_TRUE(Near(capture.At(750, 832), kPanel)) << capture.At(750, 832);
    EXPECT_TRUE(Near(capture.At(750, 834), kTestPathField)) << capture.At(750, 834);
    // The primary button spans (276, 483)-(776, 549).
    EXPECT_TRUE(Near(capture.At(280, 487), {255, 255, 255})) << capture.At(280, 487);
    EXPECT_TRUE(Near(capture.At(280, 481), kTestBackground)) << capture.At(280, 481);
}

}  // namespace
}  // namespace tovrak
