#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "common/scaling.h"
#include "common/unique_handle.h"
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

TEST(ShellPainter, ShowsTheFaceColourWhereTheBackgroundIsTransparent) {
    ShellFace face;
    ASSERT_TRUE(
        test::WriteSolidPng(face.assets() + L"\\installer-background.png", 700, 500, kTestBackground, 350));
    ASSERT_TRUE(face.Open(ShellModeInstall));
    const WindowCapture capture = face.Capture();
    EXPECT_TRUE(Near(capture.At(100, 100), {30, 32, 38})) << capture.At(100, 100);
    EXPECT_TRUE(Near(capture.At(600, 100), kTestBackground)) << capture.At(600, 100);
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

constexpr Rgb kBrowseFace{51, 53, 64};
constexpr Rgb kBrowseFill{26, 28, 34};
constexpr Rgb kQuietCaption{188, 188, 190};
constexpr Rgb kShortcutCaption{155, 159, 162};
constexpr Rgb kActionCaption{213, 215, 217};
constexpr Rgb kFocusedCaption{255, 255, 255};
constexpr UINT kSingleLine = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;

COLORREF AsColorref(const Rgb& c) {
    return RGB(c.red, c.green, c.blue);
}

// A text drawn by the test the way the painter is to draw it (DrawTextW, transparent, over a flat
// colour) into a bitmap of its own, to compare with what the window shows in `area`.
class ReferenceText {
  public:
    ReferenceText(HWND window, RECT area, Rgb background) : area_(area), background_(background) {
        WindowDc windowDc(window);
        dc_.reset(::CreateCompatibleDC(windowDc.get()));
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = area.right - area.left;
        info.bmiHeader.biHeight = -(area.bottom - area.top);
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        bitmap_.reset(::CreateDIBSection(windowDc.get(), &info, DIB_RGB_COLORS, &bits_, nullptr, 0));
        ::SelectObject(dc_.get(), bitmap_.get());
        const RECT all{0, 0, area.right - area.left, area.bottom - area.top};
        UniqueBrush brush(::CreateSolidBrush(AsColorref(background)));
        ::FillRect(dc_.get(), &all, brush.get());
        // Client coordinates from here on.
        ::SetViewportOrgEx(dc_.get(), -area.left, -area.top, nullptr);
    }

    // `rect` in client pixels.
    void Draw(HFONT font, const std::wstring& text, const Rgb& colour, RECT rect, UINT format) {
        SelectGuard selectFont(dc_.get(), font);
        ::SetBkMode(dc_.get(), TRANSPARENT);
        ::SetTextColor(dc_.get(), AsColorref(colour));
        ::DrawTextW(dc_.get(), text.c_str(), static_cast<int>(text.size()), &rect, format);
        ::GdiFlush();
    }

    Rgb At(int x, int y) const {
        const int width = area_.right - area_.left;
        const std::uint32_t value =
            static_cast<const std::uint32_t*>(bits_)[(y - area_.top) * width + (x - area_.left)];
        return {static_cast<int>((value >> 16) & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                static_cast<int>(value & 0xFF)};
    }

    // Pixels that the text changed, and pixels of `capture` that differ from the reference.
    int TextPixels() const {
        int count = 0;
        for (int y = area_.top; y < area_.bottom; ++y)
            for (int x = area_.left; x < area_.right; ++x)
                count += !Near(At(x, y), background_, 8);
        return count;
    }
    int Mismatches(const WindowCapture& capture) const {
        int count = 0;
        for (int y = area_.top; y < area_.bottom; ++y)
            for (int x = area_.left; x < area_.right; ++x)
                count += !Near(capture.At(x, y), At(x, y), 24);
        return count;
    }

  private:
    RECT area_;
    Rgb background_;
    UniqueMemoryDc dc_;
    UniqueBitmap bitmap_;
    void* bits_ = nullptr;
};

RECT PlacementOf(HWND control) {
    RECT rect{};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, g_shell->window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

struct Caption {
    HWND ShellContext::*field;
    const wchar_t* text;
    bool medium;
    Rgb colour;
    Rgb background;
};

// Compares the caption of one button with the caption drawn as it should be: the boxes' words left
// aligned beside their images, the options button's beside its arrow, every other caption centred
// in its button.
void ExpectCaption(const WindowCapture& capture, const Caption& caption) {
    SCOPED_TRACE(::testing::Message() << "caption " << ::testing::PrintToString(std::wstring(caption.text)));
    const HWND button = g_shell.get()->*caption.field;
    ASSERT_TRUE(::IsWindowVisible(button));
    const RECT placement = PlacementOf(button);
    const UINT dpi = g_shell->dpi;
    const auto s = [dpi](int units) { return Scale(units, dpi); };
    RECT text = placement;
    UINT format = kSingleLine;
    int inset = 0;  // where a rounded shape shows what lies beneath
    if (button == g_shell->agreementCheckbox || button == g_shell->shortcutCheckbox) {
        text =
            RECT{placement.left + s(29), placement.top + s(4), placement.right, placement.top + s(4) + s(20)};
        format &= ~DT_CENTER;
    } else if (button == g_shell->optionsButton) {
        text =
            RECT{placement.left + s(6), placement.top + s(4), placement.left + s(64), placement.top + s(24)};
    } else if (button == g_shell->primaryButton) {
        inset = s(4);
    } else if (button == g_shell->browseButton) {
        inset = s(3);
    }
    RECT inside = placement;
    ::InflateRect(&inside, -inset, -inset);
    RECT area{};
    ::IntersectRect(&area, &text, &inside);
    ReferenceText reference(g_shell->window, area, caption.background);
    reference.Draw(caption.medium ? g_shell->mediumFont.get() : g_shell->bodyFont.get(), caption.text,
                   caption.colour, text, format);
    ASSERT_GT(reference.TextPixels(), 10);
    EXPECT_EQ(reference.Mismatches(capture), 0);
}

TEST(ShellPainter, DrawsEveryCaptionInItsTextFontAndColour) {
    ShellFace face;
    ASSERT_TRUE(face.Open(ShellModeInstall));
    ASSERT_EQ(::GetFocus(), g_shell->primaryButton);
    // The two boxes read their fixed words whatever their window texts say.
    ::SetWindowTextW(g_shell->agreementCheckbox, L"Agree");
    ::SetWindowTextW(g_shell->shortcutCheckbox, L"Shortcut");
    ::SendMessageW(g_shell->optionsButton, BM_CLICK, 0, 0);
    ASSERT_TRUE(g_shell->optionsExpanded);
    const Rgb bg = kTestBackground;
    const Caption idle[] = {
        {&ShellContext::primaryButton, L"一键安装", true, {0, 0, 0}, {255, 255, 255}},
        {&ShellContext::optionsButton, L"更多选项", false, kQuietCaption, bg},
        {&ShellContext::agreementCheckbox, L"同意", false, kQuietCaption, bg},
        {&ShellContext::userAgreementLink, L"《用户协议》", false, kQuietCaption, bg},
        {&ShellContext::privacyPolicyLink, L"《隐私政策》", false, kQuietCaption, bg},
        {&ShellContext::shortcutCheckbox, L"创建桌面快捷方式", false, kShortcutCaption, kPanel},
        {&ShellContext::browseButton, L"更改", true, kActionCaption, kBrowseFace},
    };
    const WindowCapture capture = face.Capture();
    for (const Caption& caption : idle)
        ExpectCaption(capture, caption);

    // A focused caption turns white, the shortcut's grey and the browse button's light grey too.
    for (const Caption& focused : {idle[5], idle[6]}) {
        ::SetFocus(g_shell.get()->*focused.field);
        Repaint();
        Caption white = focused;
        white.colour = kFocusedCaption;
        ExpectCaption(face.Capture(), white);
    }

    ::SetFocus(g_shell->primaryButton);
    ShellState(ShellStateFailed, 0, L"Failed", L"", L"Retry", L"Code 42");
    ::SendMessageW(g_shell->optionsButton, BM_CLICK, 0, 0);
    ASSERT_TRUE(g_shell->optionsExpanded);
    const Caption failed[] = {
        {&ShellContext::optionsButton, L"诊断信息", false, kQuietCaption, bg},
        {&ShellContext::copyDiagnosticsButton, L"复制诊断信息", false, kActionCaption, kPanel},
        {&ShellContext::openLogButton, L"打开日志目录", false, kActionCaption, kPanel},
    };
    const WindowCapture failure = face.Capture();
    for (const Caption& caption : failed)
        ExpectCaption(failure, caption);
}

TEST(ShellPainter, DrawsTheHeadlineTheWrappingStatusAndThePercentage) {
    ShellFace face;
    ASSERT_TRUE(face.Open(ShellModeInstall));
    const std::wstring status =
        L"Copying the program files into the installation directory, then registering the components "
        L"and writing the shortcuts";
    ShellState(ShellStateRunning, 42, L"Installing Demo", status.c_str(), L"", L"");
    const WindowCapture capture = face.Capture();
    const UINT dpi = g_shell->dpi;
    const struct {
        const char* text;
        HFONT font;
        std::wstring content;
        Rgb colour;
        RECT units;
        UINT format;
    } texts[] = {
        {"headline",
         g_shell->titleFont.get(),
         L"Installing Demo",
         {255, 255, 255},
         {32, 240, 668, 262},
         kSingleLine},
        {"status",
         g_shell->bodyFont.get(),
         status,
         kQuietCaption,
         {32, 274, 668, 314},
         DT_CENTER | DT_WORDBREAK | DT_NOPREFIX},
        {"percentage", g_shell->bodyFont.get(), L"42%", kQuietCaption, {184, 360, 517, 380}, kSingleLine},
    };
    for (const auto& t : texts) {
        SCOPED_TRACE(t.text);
        const RECT area{Scale(t.units.left, dpi), Scale(t.units.top, dpi), Scale(t.units.right, dpi),
                        Scale(t.units.bottom, dpi)};
        ReferenceText reference(g_shell->window, area, kTestBackground);
        reference.Draw(t.font, t.content, t.colour, area, t.format);
        ASSERT_GT(reference.TextPixels(), 10);
        EXPECT_EQ(reference.Mismatches(capture), 0);
    }
    // The status is long enough for a second line.
    EXPECT_GT(CountPixels(capture, RECT{32, 292, 668, 314}, IsCaptionGrey), 0);
}

TEST(ShellPainter, ShowsTheBoxArrowAndCloseImagesByState) {
    ShellFace face;
    const struct {
        const wchar_t* picture;
        Rgb colour;
    } pictures[] = {
        {L"installer-footer-checked.png", {200, 40, 40}},
        {L"installer-footer-unchecked.png", {40, 40, 200}},
        {L"installer-option-checked.png", {200, 200, 40}},
        {L"installer-option-unchecked.png", {40, 200, 200}},
        {L"installer-arrow-down.png", {200, 40, 200}},
        {L"installer-arrow-up.png", {250, 130, 20}},
        {L"installer-close-alpha.png", {20, 250, 20}},
    };
    for (const auto& p : pictures)
        ASSERT_TRUE(face.ReplacePicture(p.picture, p.colour));
    ASSERT_TRUE(face.Open(ShellModeInstall));
    // The middles of the images: the agreement box at (4, 6) in its button at (28, 450), the arrow
    // at (69, 7) in the options button at (584, 450), the close image at (10, 10) in its button at
    // (656, 8), the shortcut box at (4, 6) in its button at (28, 612); each 16 units (the arrow 14).
    const POINT agreement{40, 464}, arrow{660, 464}, close{674, 26}, shortcut{40, 626};
    const struct {
        const char* step;
        void (*apply)();
        POINT point;
        Rgb colour;
    } steps[] = {
        {"agreement ticked", [] {}, agreement, pictures[0].colour},
        {"panel closed", [] {}, arrow, pictures[4].colour},
        {"close", [] {}, close, pictures[6].colour},
        {"agreement cleared", [] { ::SendMessageW(g_shell->agreementCheckbox, BM_CLICK, 0, 0); }, agreement,
         pictures[1].colour},
        {"panel open", [] { ::SendMessageW(g_shell->optionsButton, BM_CLICK, 0, 0); }, arrow,
         pictures[5].colour},
        {"shortcut ticked", [] {}, shortcut, pictures[2].colour},
        {"shortcut cleared", [] { ::SendMessageW(g_shell->shortcutCheckbox, BM_CLICK, 0, 0); }, shortcut,
         pictures[3].colour},
        {"agreement ticked again", [] { ::SendMessageW(g_shell->agreementCheckbox, BM_CLICK, 0, 0); },
         agreement, pictures[0].colour},
    };
    for (const auto& step : steps) {
        step.apply();
        Repaint();
        const WindowCapture capture = face.Capture();
        const UINT dpi = g_shell->dpi;
        const Rgb seen = capture.At(Scale(step.point.x, dpi), Scale(step.point.y, dpi));
        EXPECT_TRUE(Near(seen, step.colour, 4)) << step.step << ": " << seen;
    }
}

TEST(ShellPainter, FillsTheBrowseButtonWithARoundedBorder) {
    ShellFace face;
    ASSERT_TRUE(face.Open(ShellModeInstall));
    ::SendMessageW(g_shell->optionsButton, BM_CLICK, 0, 0);
    const WindowCapture capture = face.Capture();
    const RECT button = PlacementOf(g_shell->browseButton);
    // The rounded outline and the inside share one colour; the corners outside the rounding show
    // the fill beneath.
    const struct {
        const char* where;
        POINT point;
        Rgb colour;
    } samples[] = {
        {"top-left corner", {button.left, button.top}, kBrowseFill},
        {"top-right corner", {button.right - 1, button.top}, kBrowseFill},
        {"bottom-left corner", {button.left, button.bottom - 1}, kBrowseFill},
        {"bottom-right corner", {button.right - 1, button.bottom - 1}, kBrowseFill},
        {"left edge", {button.left, (button.top + button.bottom) / 2}, kBrowseFace},
        {"top edge", {(button.left + button.right) / 2, button.top}, kBrowseFace},
        {"inside, beside the caption", {button.left + 4, (button.top + button.bottom) / 2}, kBrowseFace},
        {"inside, below the caption", {(button.left + button.right) / 2, button.bottom - 3}, kBrowseFace},
    };
    for (const auto& sample : samples) {
        const Rgb seen = capture.At(sample.point.x, sample.point.y);
        EXPECT_TRUE(Near(seen, sample.colour)) << sample.where << ": " << seen;
    }
}

}  // namespace
}  // namespace tovrak
