// ConfigureScroll: the band below the line scrolls by moving and clipping the children.

#include <gtest/gtest.h>

#include "skin/skin_fixtures.h"
#include "support/pixels.h"
#include "tovrak/renderer.h"

namespace tovrak::test {
namespace {

constexpr COLORREF kTrack = RGB(230, 230, 230);
constexpr COLORREF kThumb = RGB(40, 80, 200);

// A 700 × 700 host: the band runs from 494 to 700; content of 1000 units scrolls at most 300.
class Scroll : public ::testing::Test {
  public:  // the steps of a table reach the helpers
    void SetUp() override {
        above = host.AddChild(L"BUTTON", L"above", 0, 10, 100, 100, 30);
        straddling = host.AddChild(L"BUTTON", L"straddling", 0, 150, 480, 100, 40);
        excluded = host.AddChild(L"BUTTON", L"excluded", 0, 500, 600, 100, 30);
        upper = host.AddChild(L"EDIT", L"upper", WS_TABSTOP, 10, 520, 200, 30);
        middle = host.AddChild(L"STATIC", L"middle", 0, 300, 560, 100, 60);
        lower = host.AddChild(L"EDIT", L"lower", WS_TABSTOP, 10, 900, 200, 40);
        ::SetWindowRgn(lower, ::CreateRectRgn(0, 0, 100, 40), FALSE);
    }

    int Configure(int content) { return ConfigureScroll(host.get(), excluded, 96, content, kTrack, kThumb); }
    HWND Bar() const { return ::FindWindowExW(host.get(), nullptr, L"ScrollBar", L"展开内容"); }
    int Position() const { return ::GetScrollPos(Bar(), SB_CTL); }
    void Send(WORD code) { ::SendMessageW(host.get(), WM_VSCROLL, code, reinterpret_cast<LPARAM>(Bar())); }
    void Wheel(short delta, int y = 600) {
        ::SendMessageW(host.get(), WM_MOUSEWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(100, y));
    }
    int TopOf(HWND child) const {
        RECT rect{};
        ::GetWindowRect(child, &rect);
        ::MapWindowPoints(nullptr, host.get(), reinterpret_cast<POINT*>(&rect), 2);
        return rect.top;
    }
    // The child's window region box, or an empty rectangle with left -1 when it has no region.
    RECT RegionOf(HWND child) const {
        RECT box{-1, 0, 0, 0};
        HRGN region = ::CreateRectRgn(0, 0, 0, 0);
        if (::GetWindowRgn(child, region) != ERROR) ::GetRgnBox(region, &box);
        ::DeleteObject(region);
        return box;
    }

    HostWindow host{0, 0, 700, 700};
    HWND above = nullptr, straddling = nullptr, excluded = nullptr, upper = nullptr, middle = nullptr,
         lower = nullptr;
};

TEST_F(Scroll, SetsUpTheBarForTheBand) {
    EXPECT_EQ(ConfigureScroll(nullptr, nullptr, 96, 1000, 0, 0), 0);
    EXPECT_EQ(ConfigureScroll(host.get(), nullptr, 95, 1000, 0, 0), 0);
    ASSERT_EQ(Configure(1000), 1);
    const HWND bar = Bar();
    ASSERT_NE(bar, nullptr);
    RECT rect{};
    ::GetWindowRect(bar, &rect);
    EXPECT_EQ(rect.left, 686);
    EXPECT_EQ(rect.top, 494);
    EXPECT_EQ(rect.bottom - rect.top, 206);
    SCROLLINFO info{sizeof(info), SIF_ALL, 0, 0, 0, 0, 0};
    ASSERT_TRUE(::GetScrollInfo(bar, SB_CTL, &info));
    EXPECT_EQ(info.nMin, 0);
    EXPECT_EQ(info.nMax, 505);
    EXPECT_EQ(info.nPage, 206u);
    EXPECT_EQ(info.nPos, 0);
}

TEST_F(Scroll, TheShellsExampleGivesRange173AndPage6) {
    ::SetWindowPos(host.get(), nullptr, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_EQ(ConfigureScroll(host.get(), nullptr, 96, 668, kTrack, kThumb), 1);
    SCROLLINFO info{sizeof(info), SIF_ALL, 0, 0, 0, 0, 0};
    ASSERT_TRUE(::GetScrollInfo(Bar(), SB_CTL, &info));
    EXPECT_EQ(info.nMax, 173);
    EXPECT_EQ(info.nPage, 6u);
    Send(SB_BOTTOM);
    EXPECT_EQ(Position(), 168);
}

TEST_F(Scroll, ClampsEveryWayOfScrolling) {
    ASSERT_EQ(Configure(1000), 1);
    const struct {
        const char* step;
        void (*act)(Scroll&);
        int position;
    } steps[] = {
        {"line up at the start", [](Scroll& s) { s.Send(SB_LINEUP); }, 0},
        {"line down", [](Scroll& s) { s.Send(SB_LINEDOWN); }, 24},
        {"page down", [](Scroll& s) { s.Send(SB_PAGEDOWN); }, 230},
        {"page down past the end", [](Scroll& s) { s.Send(SB_PAGEDOWN); }, 300},
        {"page up", [](Scroll& s) { s.Send(SB_PAGEUP); }, 94},
        {"page up past the start", [](Scroll& s) { s.Send(SB_PAGEUP); }, 0},
        {"bottom", [](Scroll& s) { s.Send(SB_BOTTOM); }, 300},
        {"top", [](Scroll& s) { s.Send(SB_TOP); }, 0},
        {"wheel towards the user", [](Scroll& s) { s.Wheel(-120); }, 48},
        {"wheel far towards the user", [](Scroll& s) { s.Wheel(-1200); }, 300},
        {"wheel far away from the user", [](Scroll& s) { s.Wheel(1200); }, 0},
        {"wheel above the band", [](Scroll& s) { s.Wheel(-120, 400); }, 0},
        {"line down four times",
         [](Scroll& s) {
             for (int i = 0; i < 4; ++i)
                 s.Send(SB_LINEDOWN);
         },
         96},
        {"a third of a notch", [](Scroll& s) { s.Wheel(40); }, 96},
        {"two thirds of a notch", [](Scroll& s) { s.Wheel(40); }, 96},
        {"a whole notch", [](Scroll& s) { s.Wheel(40); }, 48},
    };
    for (const auto& step : steps) {
        step.act(*this);
        EXPECT_EQ(Position(), step.position) << step.step;
        EXPECT_EQ(TopOf(upper), 520 - step.position) << step.step;
    }
    EXPECT_EQ(TopOf(above), 100);
    EXPECT_EQ(TopOf(straddling), 480);
    EXPECT_EQ(TopOf(excluded), 600);
}

TEST_F(Scroll, ClipsChildrenToTheBandWithinTheirOwnRegions) {
    ASSERT_EQ(Configure(1000), 1);
    for (int i = 0; i < 4; ++i)
        Send(SB_LINEDOWN);  // position 96
    const struct {
        HWND child;
        RECT region;
    } clips[] = {
        {upper, {0, 30, 200, 30}},   // top 424: wholly above the band (empty)
        {middle, {0, 30, 100, 60}},  // top 464: its lower half shows
        {lower, {0, 0, 0, 0}},       // top 804: wholly below the band (empty)
    };
    for (const auto& c : clips) {
        const RECT box = RegionOf(c.child);
        if (::IsRectEmpty(&c.region)) {
            EXPECT_TRUE(::IsRectEmpty(&box));
        } else {
            EXPECT_TRUE(::EqualRect(&box, &c.region))
                << box.left << ", " << box.top << ", " << box.right << ", " << box.bottom;
        }
    }
    ::SetFocus(lower);  // bottom 940 meets 700: position 240, its own region still cuts it
    EXPECT_EQ(Position(), 240);
    RECT box = RegionOf(lower);
    const RECT own{0, 0, 100, 40};
    EXPECT_TRUE(::EqualRect(&box, &own));
    ::SetFocus(upper);  // top 520 meets 494
    EXPECT_EQ(Position(), 26);

    ASSERT_EQ(Configure(0), 1);
    EXPECT_EQ(Bar(), nullptr);
    EXPECT_EQ(TopOf(upper), 520);
    EXPECT_EQ(TopOf(lower), 900);
    EXPECT_EQ(RegionOf(upper).left, -1) << "no region of its own";
    box = RegionOf(lower);
    EXPECT_TRUE(::EqualRect(&box, &own)) << "its own region is given back";
}

TEST_F(Scroll, NeedsNoBarWhenTheContentFits) {
    const struct {
        UINT dpi;
        int content;
    } cases[] = {{96, 700}, {96, 600}, {144, 1000}};  // at 144 DPI the line (741) lies below the client area
    for (const auto& c : cases) {
        ASSERT_EQ(Configure(1000), 1);
        Send(SB_BOTTOM);
        EXPECT_EQ(ConfigureScroll(host.get(), excluded, c.dpi, c.content, kTrack, kThumb), 1);
        EXPECT_EQ(Bar(), nullptr) << c.dpi << ", " << c.content;
        EXPECT_EQ(TopOf(upper), 520) << "the children are back";
        EXPECT_EQ(RegionOf(middle).left, -1);
    }
    // A new configuration starts from the restored places.
    ASSERT_EQ(Configure(1000), 1);
    Send(SB_BOTTOM);
    ASSERT_EQ(Configure(1000), 1);
    EXPECT_EQ(Position(), 0);
    EXPECT_EQ(TopOf(upper), 520);
}

TEST_F(Scroll, PaintsASlimThumbOnTheTrack) {
    ASSERT_EQ(Configure(1000), 1);
    Send(SB_PAGEDOWN);
    Settle();
    SCROLLBARINFO info{};
    info.cbSize = sizeof(info);
    if (!::GetScrollBarInfo(Bar(), OBJID_CLIENT, &info) || info.xyThumbBottom <= info.xyThumbTop)
        GTEST_SKIP() << "the platform does not report the scroll bar's thumb";
    const WindowCapture capture(Bar());
    const int middleOfThumb = (info.xyThumbTop + info.xyThumbBottom) / 2;
    EXPECT_PRED3(Near, capture.At(7, middleOfThumb), FromColorref(kThumb), 2);
    EXPECT_PRED3(Near, capture.At(1, middleOfThumb), FromColorref(kTrack), 2) << "the thumb is inset";
    EXPECT_PRED3(Near, capture.At(7, 2), FromColorref(kTrack), 2) << "the arrow area is track";
    EXPECT_PRED3(Near, capture.At(7, 203), FromColorref(kTrack), 2);
}

}  // namespace
}  // namespace tovrak::test
