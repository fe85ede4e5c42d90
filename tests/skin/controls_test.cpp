// SetActionText, SetIcon, SetSurface, SetLabel and SetPath, as a host uses them.

#include <gtest/gtest.h>

#include <string>

#include "skin/skin_fixtures.h"
#include "support/environment.h"
#include "support/pixels.h"
#include "tovrak/renderer.h"

namespace tovrak::test {
namespace {

constexpr COLORREF kNormal = RGB(0, 0, 255);
constexpr COLORREF kActive = RGB(255, 0, 0);
constexpr COLORREF kFill = RGB(0, 255, 0);

RECT ClientOf(HWND window) {
    RECT rect{};
    ::GetClientRect(window, &rect);
    return rect;
}

int TextPixels(HWND window, COLORREF colour) {
    Settle();
    const WindowCapture capture(window);
    return CountPixels(capture, ClientOf(window), colour, 0);
}

void MoveCursorTo(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    ::SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    Settle(150);
}

TEST(SkinExports, RefuseWhatIsNotAWindowOrAnUnsupportedDpi) {
    HostWindow host(40, 40, 300, 200);
    const HWND control = host.AddChild(L"STATIC", L"", 0, 10, 10, 50, 50);
    TempDirectory folder;
    const std::wstring image = folder.Join(L"image.png");
    ASSERT_TRUE(WritePng(image, 8, 8, kFill));

    EXPECT_EQ(SetActionText(nullptr, control, 0, 0, 0), 0);
    EXPECT_EQ(SetActionText(control, nullptr, 0, 0, 0), 0);
    EXPECT_EQ(SetPath(nullptr, 0, 0), 0);
    EXPECT_EQ(SetIcon(nullptr, L"", image.c_str(), 0, 0, 96), 0);
    EXPECT_EQ(SetSurface(control, image.c_str(), 95), 0);
    EXPECT_EQ(SetSurface(control, image.c_str(), 769), 0);
    EXPECT_EQ(SetLabel(control, image.c_str(), 0, 0, 0, 0), 0);
    EXPECT_EQ(SetIcon(control, nullptr, nullptr, 0, 0, 96), 0);
    EXPECT_EQ(SetSurface(control, image.c_str(), 768), 1);
}

constexpr int kActionHostWidth = 700;
constexpr int kActionHostHeight = 290;

RECT WorkArea() {
    RECT work{};
    if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
        work = RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    return work;
}

// Where the pointer rests while it is to be over none of the fixture's windows: the opposite corner
// of the work area.
void ParkCursor() {
    const RECT work = WorkArea();
    ::SetCursorPos(work.left + 5, work.top + 5);
}

class ActionText : public ::testing::Test {
  protected:
    void SetUp() override {
        trigger = host.AddChild(L"BUTTON", L"go", BS_PUSHBUTTON, 20, 20, 120, 40);
        other = host.AddChild(L"BUTTON", L"other", BS_PUSHBUTTON, 20, 200, 120, 40);
        label = host.AddChild(L"STATIC", L"HHHHHHHH", 0, 200, 20, 300, 30);
        ParkCursor();
        ::SetFocus(other);
        Settle();
    }
    // Topmost in the bottom-right corner of the work area, whatever the display's size, so that the
    // windows of tests running beside this one neither cover the trigger nor repaint the label.
    HostWindow host{WorkArea().right - kActionHostWidth, WorkArea().bottom - kActionHostHeight,
                    kActionHostWidth, kActionHostHeight, WS_EX_TOPMOST};
    HWND trigger = nullptr, other = nullptr, label = nullptr;
};

TEST_F(ActionText, KeepsTheFirstColoursWhenCalledAgain) {
    ASSERT_EQ(SetActionText(trigger, label, kNormal, kActive, kFill), 1);
    EXPECT_EQ(SetActionText(trigger, label, RGB(1, 2, 3), RGB(4, 5, 6), RGB(7, 8, 9)), 1);
    ::InvalidateRect(label, nullptr, FALSE);
    Settle();
    const WindowCapture capture(label);
    EXPECT_PRED3(Near, capture.At(298, 1), FromColorref(kFill), 2);
    EXPECT_GT(CountPixels(capture, ClientOf(label), kNormal, 0), 0);
}

TEST_F(ActionText, RepaintsOnHoverInAndOutButNotOnMouseOutWhileFocused) {
    ASSERT_EQ(SetActionText(trigger, label, kNormal, kActive, kFill), 1);
    Settle();
    PaintCounter paints(label);

    MoveCursorTo(trigger);
    if (paints.count() == 0) GTEST_SKIP() << "the platform sends no WM_MOUSEMOVE for a moved cursor";
    EXPECT_EQ(paints.count(), 1);
    EXPECT_GT(TextPixels(label, kActive), 0);
    // The leave notice comes from a timer that checks the pointer about every 400 ms.
    ParkCursor();
    Settle(600);
    EXPECT_EQ(paints.count(), 2);
    EXPECT_GT(TextPixels(label, kNormal), 0);
    EXPECT_EQ(TextPixels(label, kActive), 0);

    // The focus is given by message: a window of another process taking the activation would take it away.
    ::SendMessageW(trigger, WM_SETFOCUS, 0, 0);
    Settle();
    EXPECT_EQ(paints.count(), 3);
    MoveCursorTo(trigger);
    ParkCursor();
    Settle(600);
    EXPECT_EQ(paints.count(), 3) << "the label stays active while the trigger has the focus";
    EXPECT_GT(TextPixels(label, kActive), 0);
}

TEST_F(ActionText, DrawsTheFirst127CharactersOfTheLabel) {
    ::MoveWindow(label, 0, 100, 700, 30, TRUE);
    ASSERT_EQ(SetActionText(trigger, label, kNormal, kActive, kFill), 1);
    const struct {
        int spaces;
        bool visible;
    } cases[] = {{126, true}, {127, false}};
    for (const auto& c : cases) {
        const std::wstring text = std::wstring(c.spaces, L' ') + std::wstring(200 - c.spaces, L'H');
        ::SetWindowTextW(label, text.c_str());
        EXPECT_EQ(TextPixels(label, kNormal) > 0, c.visible) << c.spaces << " leading spaces";
    }
}

TEST_F(ActionText, SurvivesEitherWindowBeingDestroyedFirst) {
    ASSERT_EQ(SetActionText(trigger, label, kNormal, kActive, kFill), 1);
    ::DestroyWindow(label);
    ::SetFocus(trigger);
    ::SetFocus(other);
    ::DestroyWindow(trigger);

    const HWND trigger2 = host.AddChild(L"BUTTON", L"b", 0, 20, 100, 50, 20);
    const HWND label2 = host.AddChild(L"STATIC", L"HHHH", 0, 200, 100, 100, 20);
    ASSERT_EQ(SetActionText(trigger2, label2, kNormal, kActive, kFill), 1);
    ::DestroyWindow(trigger2);
    ::SetWindowTextW(label2, L"HHHHHH");
    EXPECT_EQ(TextPixels(label2, kNormal), 0) << "the label is plain again once its trigger is gone";
}

TEST_F(ActionText, ALabelTakenOverByASecondTriggerStaysSkinnedWhenTheFirstDies) {
    const HWND trigger2 = host.AddChild(L"BUTTON", L"b", 0, 20, 100, 50, 20);
    ASSERT_EQ(SetActionText(trigger, label, kNormal, kActive, kFill), 1);
    ASSERT_EQ(SetActionText(trigger2, label, kActive, kNormal, kFill), 1);
    ::DestroyWindow(trigger);
    ::InvalidateRect(label, nullptr, FALSE);
    EXPECT_GT(TextPixels(label, kActive), 0) << "drawn by the second pair in its normal colour";
}

class ImageSkins : public ::testing::Test {
  protected:
    void SetUp() override {
        background = folder.Join(L"background.png");
        icon = folder.Join(L"icon.png");
        other = folder.Join(L"other.png");
        ASSERT_TRUE(WriteQuadrantPng(background, 700, 500, kQuadrants));
        ASSERT_TRUE(WritePng(icon, 200, 150, RGB(200, 100, 50)));
        ASSERT_TRUE(WritePng(other, 700, 500, RGB(90, 90, 90)));
    }
    static constexpr COLORREF kQuadrants[4] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255),
                                               RGB(255, 255, 0)};
    TempDirectory folder;
    std::wstring background, icon, other;
    HostWindow host{0, 0, 1100, 800};
};

TEST_F(ImageSkins, DrawTheScaledBackgroundSliceUnderTheControl) {
    // At 144 DPI the 700 × 500 image is drawn at (-30, -45) with size 1050 × 750: its middle lands at
    // (495, 330) in the control.
    const HWND control = host.AddChild(L"STATIC", L"", 0, 30, 45, 700, 500);
    ASSERT_EQ(SetIcon(control, L"", background.c_str(), 20, 30, 144), 1);
    Settle();
    const WindowCapture capture(control);
    const struct {
        int x, y;
        COLORREF expected;
    } samples[] = {{2, 2, kQuadrants[0]},     {489, 324, kQuadrants[0]}, {501, 324, kQuadrants[1]},
                   {489, 336, kQuadrants[2]}, {501, 336, kQuadrants[3]}, {690, 490, kQuadrants[3]}};
    for (const auto& s : samples)
        EXPECT_PRED3(Near, capture.At(s.x, s.y), FromColorref(s.expected), 2) << s.x << ", " << s.y;
}

TEST_F(ImageSkins, StretchAnIconOverTheSliceAndRebuildOnResize) {
    const HWND control = host.AddChild(L"STATIC", L"", 0, 10, 10, 100, 60);
    ASSERT_EQ(SetIcon(control, icon.c_str(), background.c_str(), 0, 0, 96), 1);
    ::MoveWindow(control, 10, 10, 400, 300, TRUE);
    Settle();
    const WindowCapture capture(control);
    EXPECT_PRED3(Near, capture.At(50, 30), FromColorref(RGB(200, 100, 50)), 2);
    EXPECT_PRED3(Near, capture.At(385, 285), FromColorref(RGB(200, 100, 50)), 2);

    const HWND surface = host.AddChild(L"STATIC", L"", 0, 500, 10, 100, 100);
    ASSERT_EQ(SetSurface(surface, background.c_str(), 96), 1);
    Settle();
    const WindowCapture stretched(surface);
    EXPECT_PRED3(Near, stretched.At(10, 10), FromColorref(kQuadrants[0]), 2);
    EXPECT_PRED3(Near, stretched.At(90, 90), FromColorref(kQuadrants[3]), 2);
}

TEST_F(ImageSkins, AFailedCallChangesNothing) {
    const HWND fresh = host.AddChild(L"STATIC", L"", 0, 10, 10, 100, 60);
    ::SetWindowLongW(fresh, GWL_EXSTYLE, ::GetWindowLongW(fresh, GWL_EXSTYLE) | WS_EX_TRANSPARENT);
    const std::wstring missing = folder.Join(L"missing.png");
    EXPECT_EQ(SetIcon(fresh, missing.c_str(), background.c_str(), 0, 0, 96), 0);
    EXPECT_NE(::GetWindowLongW(fresh, GWL_EXSTYLE) & WS_EX_TRANSPARENT, 0);

    const HWND skinned = host.AddChild(L"STATIC", L"", 0, 200, 10, 100, 60);
    ASSERT_EQ(SetIcon(skinned, L"", background.c_str(), 0, 0, 96), 1);
    EXPECT_EQ(SetIcon(skinned, missing.c_str(), other.c_str(), 0, 0, 96), 0);
    EXPECT_EQ(SetIcon(skinned, L"", missing.c_str(), 0, 0, 96), 0);
    ::InvalidateRect(skinned, nullptr, FALSE);
    Settle();
    EXPECT_PRED3(Near, WindowCapture(skinned).At(50, 30), FromColorref(kQuadrants[0]), 2);
}

TEST_F(ImageSkins, ALabelKeepsItsTextApartFromTheControlsOwn) {
    constexpr COLORREF kText = RGB(0, 0, 0);
    const HWND label = host.AddChild(L"STATIC", L"", 0, 10, 10, 200, 40);
    ASSERT_EQ(SetLabel(label, other.c_str(), 0, 0, 96, kText), 1);
    EXPECT_EQ(TextPixels(label, kText), 0);

    ::SetWindowTextW(label, L"HHHH");
    EXPECT_GT(TextPixels(label, kText), 0);
    wchar_t text[16] = {};
    EXPECT_EQ(::GetWindowTextW(label, text, 16), 4);
    EXPECT_STREQ(text, L"HHHH");
    EXPECT_EQ(::GetWindowTextW(label, text, 3), 2);
    EXPECT_STREQ(text, L"HH");
    EXPECT_EQ(::InternalGetWindowText(label, text, 16), 0) << "the control's own text is untouched";

    // A later SetIcon rebuilds the picture and keeps the text mode and the text.
    ASSERT_EQ(SetIcon(label, L"", background.c_str(), 0, 0, 96), 1);
    EXPECT_GT(TextPixels(label, kText), 0);
    EXPECT_EQ(::GetWindowTextLengthW(label), 4);
}

TEST(PathSkin, EndsInAnEllipsisOnlyWithoutTheFocus) {
    constexpr COLORREF kText = RGB(255, 255, 255);
    constexpr COLORREF kBackground = RGB(20, 40, 160);
    HostWindow host(60, 60, 400, 200);
    const HWND edit =
        host.AddChild(L"EDIT", std::wstring(120, L'H').c_str(), ES_AUTOHSCROLL, 10, 10, 300, 24);
    const HWND other = host.AddChild(L"BUTTON", L"x", 0, 10, 100, 60, 24);
    ::SetFocus(other);
    ASSERT_EQ(SetPath(edit, kText, kBackground), 1);
    EXPECT_EQ(SetPath(edit, RGB(1, 1, 1), RGB(2, 2, 2)), 1);
    Settle();

    WindowCapture unfocused(edit);
    EXPECT_PRED3(Near, unfocused.At(1, 1), FromColorref(kBackground), 2) << "the first colours stay";
    const int middle = unfocused.height() / 2;
    // Middle rows: the Hs reach the left half but not the last pixels, where only the dots stand.
    EXPECT_GT(CountPixels(unfocused, {0, middle - 1, 150, middle + 2}, kText), 0);
    EXPECT_EQ(CountPixels(unfocused, {294, 0, 300, middle + 1}, kText), 0);
    EXPECT_GT(CountPixels(unfocused, {240, 0, 300, 24}, kText), 0);

    ::SetFocus(edit);
    Settle();
    const WindowCapture focused(edit);
    EXPECT_EQ(CountPixels(focused, {0, 0, 300, 24}, kBackground), 0)
        << "the edit paints itself with the focus";
    ::SetFocus(other);
    Settle();
    EXPECT_PRED3(Near, WindowCapture(edit).At(1, 1), FromColorref(kBackground), 2);
}

}  // namespace
}  // namespace tovrak::test
