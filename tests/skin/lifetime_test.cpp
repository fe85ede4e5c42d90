// Skins are owned by their controls: creating and destroying them many times leaves nothing behind.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "skin/skin_fixtures.h"
#include "support/environment.h"
#include "support/resource_counts.h"
#include "tovrak/renderer.h"

namespace tovrak::test {
namespace {

constexpr int kCycles = 1000;
constexpr std::size_t kHeapSlack = 16;

class SkinLifetimes : public ::testing::Test {
  protected:
    void SetUp() override {
        background = folder.Join(L"background.png");
        icon = folder.Join(L"icon.png");
        ASSERT_TRUE(WritePng(background, 140, 100, RGB(10, 20, 30)));
        ASSERT_TRUE(WritePng(icon, 16, 16, RGB(40, 50, 60)));
    }

    HWND Child(const wchar_t* className, const wchar_t* text) {
        return ::CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE, 10, 10, 200, 30, host.get(),
                                 nullptr, nullptr, nullptr);
    }

    // Runs `cycle` until first-use allocations have settled, then kCycles times more, and compares the
    // process's kernel handles, GDI objects and heap blocks. A skin that leaked one font, brush,
    // bitmap, GDI+ image or record per cycle would show a thousand more.
    void ExpectFlat(const std::function<void()>& cycle) {
        for (int i = 0; i < 10; ++i)
            cycle();
        Settle(20);
        const ResourceUse before = ResourceUse::Now();
        for (int i = 0; i < kCycles; ++i)
            cycle();
        Settle(20);
        const ResourceUse after = ResourceUse::Now();
        EXPECT_LE(after.handles, before.handles + 2);
        EXPECT_LE(after.gdiObjects, before.gdiObjects + 2);
        // The system keeps a few blocks of its own for windows and messages, whose number wanders by
        // some around a steady level.
        EXPECT_LE(after.heapBlocks, before.heapBlocks + kHeapSlack);
    }

    TempDirectory folder;
    std::wstring background, icon;
    HostWindow host{0, 0, 700, 500};
};

TEST_F(SkinLifetimes, ActionTextPairs) {
    ExpectFlat([&] {
        const HWND trigger = Child(L"BUTTON", L"t");
        const HWND label = Child(L"STATIC", L"label");
        EXPECT_EQ(SetActionText(trigger, label, 1, 2, 3), 1);
        ::SendMessageW(trigger, WM_SETFOCUS, 0, 0);
        ::UpdateWindow(label);
        ::DestroyWindow(trigger);
        ::DestroyWindow(label);
    });
}

TEST_F(SkinLifetimes, Icons) {
    ExpectFlat([&] {
        const HWND control = Child(L"STATIC", L"");
        EXPECT_EQ(SetIcon(control, icon.c_str(), background.c_str(), 5, 5, 120), 1);
        ::UpdateWindow(control);
        ::DestroyWindow(control);
    });
}

TEST_F(SkinLifetimes, Labels) {
    ExpectFlat([&] {
        const HWND control = Child(L"STATIC", L"text");
        EXPECT_EQ(SetLabel(control, background.c_str(), 5, 5, 96, RGB(255, 255, 255)), 1);
        ::SetWindowTextW(control, L"other text");
        ::DestroyWindow(control);
    });
}

TEST_F(SkinLifetimes, PathFields) {
    ExpectFlat([&] {
        const HWND edit = Child(L"EDIT", L"C:\\Program Files\\Tovrak");
        EXPECT_EQ(SetPath(edit, 1, 2), 1);
        ::UpdateWindow(edit);
        ::DestroyWindow(edit);
    });
}

TEST_F(SkinLifetimes, ProgressWindows) {
    ExpectFlat([&] {
        const HWND progress = CreateProgress(host.get(), 96, 1, 2, 3, 4);
        EXPECT_NE(progress, nullptr);
        ::SendMessageW(progress, SetProgressMessage, 50, 0);
        ::UpdateWindow(progress);
        ::DestroyWindow(progress);
    });
}

TEST_F(SkinLifetimes, DiagnosticsPanels) {
    ExpectFlat([&] {
        const HWND panel = Child(L"STATIC", L"失败步骤：解压\n错误代码：5");
        EXPECT_EQ(LayoutDiagnostics(panel, 96, 1, 2, 3), 92);
        EXPECT_EQ(LayoutDiagnostics(panel, 144, 1, 2, 3), 92);
        ::UpdateWindow(panel);
        ::DestroyWindow(panel);
    });
}

TEST_F(SkinLifetimes, ScrolledRegions) {
    const HWND below = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 10, 520, 100, 40,
                                         host.get(), nullptr, nullptr, nullptr);
    ::SetWindowRgn(below, ::CreateEllipticRgn(0, 0, 100, 40), FALSE);
    ExpectFlat([&] {
        EXPECT_EQ(ConfigureScroll(host.get(), nullptr, 96, 800, 1, 2), 1);
        ::SendMessageW(host.get(), WM_MOUSEWHEEL, MAKEWPARAM(0, -120), MAKELPARAM(50, 495));
        ::UpdateWindow(host.get());
        EXPECT_EQ(ConfigureScroll(host.get(), nullptr, 96, 0, 1, 2), 1);
    });
}

}  // namespace
}  // namespace tovrak::test
