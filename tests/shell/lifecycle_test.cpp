#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/gdiplus.h"
#include "shell/shell_children.h"
#include "shell/shell_context.h"
#include "shell/shell_window.h"
#include "support/environment.h"
#include "support/pixels.h"
#include "support/resource_counts.h"
#include "support/shell_session.h"
#include "tovrak/renderer.h"

using namespace tovrak;
using namespace tovrak::test;

namespace {

const wchar_t* const kPictures[] = {
    L"installer-background.png",       L"installer-logo.png",
    L"installer-close-alpha.png",      L"installer-arrow-down.png",
    L"installer-arrow-up.png",         L"installer-footer-checked.png",
    L"installer-footer-unchecked.png", L"installer-option-checked.png",
    L"installer-option-unchecked.png", L"installer-path.png",
};

// A copy of the sample pictures without `missing`; `broken` is replaced by bytes that are no PNG.
void CopyAssets(const TempDirectory& target, const std::wstring& missing, const std::wstring& broken = L"") {
    for (const wchar_t* name : kPictures) {
        if (name == missing) continue;
        if (name == broken) {
            WriteBytes(target.Join(name), "not a picture");
            continue;
        }
        ::CopyFileW((SampleAssets() + L"\\" + name).c_str(), target.Join(name).c_str(), FALSE);
    }
}

BYTE LayeredAlpha(HWND window) {
    BYTE alpha = 0xAA;
    DWORD flags = 0;
    COLORREF key = 0;
    if (!::GetLayeredWindowAttributes(window, &key, &alpha, &flags)) return 0xAA;
    return alpha;
}

BOOL CALLBACK CountWindow(HWND, LPARAM counter) {
    ++*reinterpret_cast<int*>(counter);
    return TRUE;
}

int ThreadWindowCount() {
    int count = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

SIZE ClientSize(HWND window) {
    RECT client{};
    ::GetClientRect(window, &client);
    return SIZE{client.right, client.bottom};
}

}  // namespace

TEST(ShellOpen, RefusesAnUnknownModeAndKeepsThePendingSurfaceConfiguration) {
    ASSERT_EQ(::ShellConfigureUpdateSurface(L"", L"1000x700"), 0u);
    EXPECT_EQ(::ShellOpen(SampleAssets().c_str(), L"C:\\x", L"X", L"Arial", 3), nullptr);
    EXPECT_EQ(g_shell, nullptr);

    ShellSession update(ShellModeUpdate);
    ASSERT_TRUE(update);
    EXPECT_EQ(g_shell->logicalWidth, 1000);
    EXPECT_EQ(g_shell->logicalHeight, 700);
}

TEST(ShellOpen, RefusesASecondShellAndLeavesTheFirstUntouched) {
    ShellSession first;
    ASSERT_TRUE(first);
    EXPECT_EQ(::ShellOpen(SampleAssets().c_str(), L"C:\\y", L"Y", L"Arial", 1), nullptr);
    ASSERT_NE(g_shell, nullptr);
    EXPECT_EQ(g_shell->window, first.window());
    EXPECT_EQ(WindowText(first.window()), L"安装Tovrak");
    EXPECT_TRUE(::IsWindow(first.window()));
}

TEST(ShellOpen, FailsCleanlyWithoutARequiredPictureButNotWithoutAnOptionalOne) {
    struct Case {
        std::wstring missing;
        std::wstring broken;
        bool opens;
    };
    const Case cases[] = {
        {L"installer-background.png", L"", false},
        {L"installer-logo.png", L"", false},
        {L"installer-path.png", L"", false},
        {L"", L"installer-logo.png", false},
        {L"installer-close-alpha.png", L"", true},
        {L"installer-arrow-down.png", L"", true},
        {L"installer-arrow-up.png", L"", true},
        {L"installer-footer-checked.png", L"", true},
        {L"installer-footer-unchecked.png", L"", true},
        {L"installer-option-checked.png", L"", true},
        {L"installer-option-unchecked.png", L"", true},
        {L"", L"installer-option-checked.png", true},
    };
    const int windowsBefore = ThreadWindowCount();
    auto attempt = [&](const Case& c) {
        SCOPED_TRACE(c.missing + c.broken);
        TempDirectory assets;
        CopyAssets(assets, c.missing, c.broken);
        ASSERT_EQ(::ShellConfigureUpdateSurface(L"", L"1000x700"), 0u);
        const DWORD gdiBefore = GdiObjectsInUse();
        {
            ShellSession session(ShellModeInstall, L"C:\\x", L"X", assets.path());
            EXPECT_EQ(static_cast<bool>(session), c.opens);
            EXPECT_EQ(g_shell != nullptr, c.opens);
        }
        EXPECT_EQ(ThreadWindowCount(), windowsBefore);
        EXPECT_EQ(GdiObjectsInUse(), gdiBefore);
        // Consumed by the attempt, whether or not it opened.
        ShellSession update(ShellModeUpdate);
        ASSERT_TRUE(update);
        EXPECT_NE(g_shell->logicalWidth, 1000);
    };
    for (const Case& c : cases)
        attempt(c);
    // Once more with every decoder and cache warm: a picture, font or record that a failed open
    // forgot would add a heap block per case.
    const std::size_t heapBefore = HeapBlocksInUse();
    for (const Case& c : cases)
        attempt(c);
    EXPECT_LE(HeapBlocksInUse(), heapBefore + 8);
}

TEST(ShellOpen, NamesTheWindowForItsMode) {
    const struct {
        uint32_t mode;
        const wchar_t* title;
        const wchar_t* caption;
    } cases[] = {
        {ShellModeInstall, L"安装产品", L"一键安装"},
        {ShellModeUninstall, L"卸载产品", L"卸载"},
        {ShellModeUpdate, L"产品", L"一键安装"},
    };
    for (const auto& c : cases) {
        ShellSession session(c.mode, L"C:\\x", L"产品");
        ASSERT_TRUE(session);
        EXPECT_EQ(WindowText(session.window()), c.title);
        EXPECT_EQ(WindowText(g_shell->primaryButton), c.caption);
    }
}

TEST(ShellOpen, CreatesTheWindowHiddenAndTransparentUntilShown) {
    for (uint32_t mode : {ShellModeInstall, ShellModeUninstall, ShellModeUpdate}) {
        SCOPED_TRACE(mode);
        ShellSession session(mode);
        ASSERT_TRUE(session);
        EXPECT_FALSE(::IsWindowVisible(session.window()));
        EXPECT_EQ(LayeredAlpha(session.window()), 0);
        const LONG exStyle = ::GetWindowLongW(session.window(), GWL_EXSTYLE);
        EXPECT_EQ(exStyle & 0x020D0000, 0x020D0000);
        EXPECT_EQ(
            static_cast<DWORD>(::GetWindowLongW(session.window(), GWL_STYLE)) & (WS_CAPTION | WS_THICKFRAME),
            0u);

        EXPECT_EQ(::ShellShow(), 0u);
        EXPECT_TRUE(::IsWindowVisible(session.window()));
        EXPECT_EQ(LayeredAlpha(session.window()), 255);
        EXPECT_EQ(::ShellHide(), 0u);
        EXPECT_FALSE(::IsWindowVisible(session.window()));
        EXPECT_EQ(LayeredAlpha(session.window()), 0);
    }
}

TEST(ShellOpen, BuildsTheChildrenInOrderWithTheirIdsAndTexts) {
    ShellSession session(ShellModeInstall, L"D:\\Apps\\产品");
    ASSERT_TRUE(session);
    const struct {
        HWND ShellContext::*field;
        const wchar_t* className;
        ShellControlId id;
        const wchar_t* text;
        DWORD style;
    } children[] = {
        {&ShellContext::primaryButton, L"Button", ShellControlId::Primary, L"一键安装", 0x4001000B},
        {&ShellContext::optionsButton, L"Button", ShellControlId::Options, L"更多选项", 0x4001000B},
        {&ShellContext::closeButton, L"Button", ShellControlId::Close, L"关闭安装器", 0x4001000B},
        {&ShellContext::agreementCheckbox, L"Button", ShellControlId::Agreement, L"同意用户协议与隐私政策",
         0x4001000B},
        {&ShellContext::userAgreementLink, L"Button", ShellControlId::UserAgreement, L"《用户协议》",
         0x4001000B},
        {&ShellContext::privacyPolicyLink, L"Button", ShellControlId::PrivacyPolicy, L"《隐私政策》",
         0x4001000B},
        {&ShellContext::shortcutCheckbox, L"Button", ShellControlId::Shortcut, L"创建桌面快捷方式",
         0x4001000B},
        {&ShellContext::browseButton, L"Button", ShellControlId::Browse, L"更改", 0x4001000B},
        {&ShellContext::copyDiagnosticsButton, L"Button", ShellControlId::CopyDiagnostics, L"复制诊断信息",
         0x4001000B},
        {&ShellContext::openLogButton, L"Button", ShellControlId::OpenLog, L"打开日志目录", 0x4001000B},
        {&ShellContext::pathEdit, L"Edit", ShellControlId::PathField, L"D:\\Apps\\产品", 0x40010880},
        {&ShellContext::diagnosticsLabel, L"Static", ShellControlId::DiagnosticsText, L"", 0x40000000},
        {&ShellContext::locationLabel, L"Static", ShellControlId::None, L"安装位置", 0x40000200},
        {&ShellContext::directoryNoteLabel, L"Static", ShellControlId::None, L"", 0x40000202},
    };
    // Creation order is the Z order of the children.
    HWND expectedNext = ::GetWindow(session.window(), GW_CHILD);
    for (const auto& child : children) {
        const HWND control = g_shell.get()->*child.field;
        SCOPED_TRACE(child.text);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control, expectedNext);
        expectedNext = ::GetWindow(control, GW_HWNDNEXT);
        wchar_t className[64] = {};
        ::GetClassNameW(control, className, 64);
        EXPECT_EQ(_wcsicmp(className, child.className), 0) << className;
        EXPECT_EQ(::GetDlgCtrlID(control), static_cast<int>(child.id));
        EXPECT_EQ(WindowText(control), child.text);
        // The layout has shown some of them; the bits asked for at creation must all be there.
        EXPECT_EQ(static_cast<DWORD>(::GetWindowLongW(control, GWL_STYLE)) & child.style, child.style);
    }
    EXPECT_EQ(expectedNext, g_shell->progressBar);
    EXPECT_EQ(::SendMessageW(g_shell->pathEdit, WM_GETFONT, 0, 0),
              reinterpret_cast<LRESULT>(g_shell->bodyFont.get()));
}

TEST(ShellOpen, SizesTheUpdateSurfaceFromItsConfigurationWithinTheWorkArea) {
    RECT work{};
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    const int workWidth = work.right - work.left, workHeight = work.bottom - work.top;
    const int screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
    if (::GetDpiForSystem() != 96 || workWidth < 1200 || workHeight < 800) {
        GTEST_SKIP() << "needs a 96-DPI screen of at least 1200 x 800";
    }
    const struct {
        const wchar_t* size;
        int width, height;
    } cases[] = {
        {L"", std::min(workWidth, 1440), std::min(workHeight, std::min(screenHeight * 9 / 10, 940))},
        {L"500x300", 990, 640},
        {L"5000x5000", workWidth, workHeight},
        {L"1100x700", 1100, 700},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        ASSERT_EQ(::ShellConfigureUpdateSurface(L"", c.size), 0u);
        ShellSession session(ShellModeUpdate);
        ASSERT_TRUE(session);
        EXPECT_EQ(g_shell->logicalWidth, c.width);
        EXPECT_EQ(g_shell->logicalHeight, c.height);
        const SIZE client = ClientSize(session.window());
        EXPECT_EQ(client.cx, c.width);
        EXPECT_EQ(client.cy, c.height);
        EXPECT_NE(g_shell->shownTick, 0u);
    }
}

TEST(ShellClose, TakesEverythingDownAndAllowsANewOpen) {
    ::ShellClose();  // nothing open: no effect
    const int windowsBefore = ThreadWindowCount();
    for (int round = 0; round < 2; ++round) {
        HWND window = ::ShellOpen(SampleAssets().c_str(), L"C:\\x", L"X", L"Arial", 0);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(::ShellShow(), 0u);
        ::ShellClose();
        EXPECT_FALSE(::IsWindow(window));
        EXPECT_EQ(g_shell, nullptr);
        ::ShellClose();
        EXPECT_EQ(ThreadWindowCount(), windowsBefore);
    }
    EXPECT_EQ(::ShellShow(), TOVRAK_ERROR_INVALID_HANDLE);
    EXPECT_EQ(::ShellHide(), TOVRAK_ERROR_INVALID_HANDLE);
}

TEST(ShellClose, AThousandCyclesKeepHandlesGdiObjectsAndHeapBlocksFlat) {
    // The first open of each mode, and the first showing, fill the system's caches for good (GDI+,
    // the classes, the fonts of the update surface's texts).
    for (const uint32_t mode : {ShellModeInstall, ShellModeUninstall, ShellModeUpdate}) {
        ShellSession warmUp(mode);
        ASSERT_TRUE(warmUp);
        ::ShellShow();
    }
    const ResourceUse before = ResourceUse::Now();
    for (int cycle = 0; cycle < 1000; ++cycle) {
        // Wine's GDI+ takes about a second to stretch the update surface's backdrop, so the update
        // mode gets every hundredth cycle; showing waits for the display server, every 250th.
        ShellSession session(cycle % 100 == 99 ? ShellModeUpdate : cycle % 2);
        ASSERT_TRUE(session) << cycle;
        if (cycle % 250 == 0) ::ShellShow();
    }
    // A few handles and blocks of the system's own caches may come and go; a leak grows with the
    // cycle count.
    const ResourceUse after = ResourceUse::Now();
    EXPECT_LE(after.handles, before.handles + 5);
    EXPECT_LE(after.gdiObjects, before.gdiObjects + 5);
    EXPECT_LE(after.heapBlocks, before.heapBlocks + 16);
}

TEST(ComposeBackdrop, DrawsTheBackgroundWithTheLogoAtItsPlace) {
    ShellSession session;
    ASSERT_TRUE(session);
    const UINT dpi = g_shell->dpi;
    auto* bitmap = AsBitmap(g_shell->backdropBitmap);
    ASSERT_NE(bitmap, nullptr);
    UINT width = 0, height = 0;
    gp::GdipGetImageWidth(bitmap, &width);
    gp::GdipGetImageHeight(bitmap, &height);
    EXPECT_EQ(width, static_cast<UINT>(MulDiv(700, dpi, 96)));
    EXPECT_EQ(height, static_cast<UINT>(MulDiv(500, dpi, 96)));
    auto pixel = [&](int x, int y) {
        Gdiplus::ARGB argb = 0;
        Gdiplus::DllExports::GdipBitmapGetPixel(bitmap, MulDiv(x, dpi, 96), MulDiv(y, dpi, 96), &argb);
        return Rgb{static_cast<int>((argb >> 16) & 0xFF), static_cast<int>((argb >> 8) & 0xFF),
                   static_cast<int>(argb & 0xFF)};
    };
    // The logo (a blue rounded square, 64 units at (318, 140)) over the flat background.
    EXPECT_TRUE(Near(pixel(330, 150), Rgb{64, 158, 255}, 4)) << pixel(330, 150);
    EXPECT_TRUE(Near(pixel(20, 400), Rgb{33, 35, 40}, 4)) << pixel(20, 400);
    EXPECT_TRUE(Near(pixel(680, 480), Rgb{33, 35, 40}, 4)) << pixel(680, 480);
}

TEST(TransitionWindow, PaintsTheShellBackground) {
    ShellSession session;
    ASSERT_TRUE(session);
    UniqueWindow strip(::CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW | WS_EX_TOPMOST,
                                         kTransitionClassName, L"", WS_POPUP | WS_VISIBLE, 40, 40, 120, 60,
                                         nullptr, nullptr, g_shellModule, nullptr));
    ASSERT_TRUE(strip);
    ::UpdateWindow(strip.get());
    PumpMessages(50);
    WindowCapture capture(strip.get());
    ASSERT_TRUE(capture.valid());
    for (const POINT point : {POINT{5, 5}, POINT{60, 30}, POINT{115, 55}}) {
        EXPECT_TRUE(Near(capture.At(point.x, point.y), Rgb{33, 35, 40})) << capture.At(point.x, point.y);
    }
}

// The update surface draws its logo from a copy scaled once; the copy is the shell's and goes with it.
TEST(ShellClose, ReleasesTheScaledLogoOfTheUpdateSurface) {
    {  // GDI+ and the window classes stay from the first open on.
        ShellSession warmUp;
        ASSERT_TRUE(warmUp);
    }
    const std::size_t before = HeapBytesInUse();
    int dpi = 96;
    {
        ShellSession update(ShellModeUpdate);
        ASSERT_TRUE(update);
        dpi = static_cast<int>(g_shell->dpi);
        ::ShellShow();
        PumpMessages(200);
    }
    // The copy is the logo's 60 units square at four bytes a pixel; whatever else the first update
    // surface leaves in the system's caches is far smaller.
    const auto side = static_cast<std::size_t>(MulDiv(60, dpi, 96));
    EXPECT_LT(HeapBytesInUse(), before + 4 * side * side / 2);
}

// Given in its "\\?\" form, the asset directory may be far longer than MAX_PATH.
TEST(ShellOpen, OpensFromAnAssetDirectoryOfAnyLength) {
    TempDirectory base;
    std::vector<std::wstring> made;
    std::wstring directory = L"\\\\?\\" + base.path();
    while (directory.size() < 575) {
        directory += L"\\" + std::wstring(std::min<size_t>(100, 575 - directory.size()), L'a');
        ASSERT_TRUE(::CreateDirectoryW(directory.c_str(), nullptr)) << ::GetLastError();
        made.push_back(directory);
    }
    ASSERT_GE(directory.size(), 575u);
    for (const wchar_t* name : kPictures) {
        made.push_back(directory + L"\\" + name);
        ASSERT_TRUE(::CopyFileW((SampleAssets() + L"\\" + name).c_str(), made.back().c_str(), FALSE));
    }
    {
        ShellSession session(ShellModeInstall, L"C:\\x", L"X", directory);
        EXPECT_TRUE(session);
    }
    for (auto path = made.rbegin(); path != made.rend(); ++path)
        if (!::DeleteFileW(path->c_str())) ::RemoveDirectoryW(path->c_str());
}

TEST(ShellOpen, CentresTheWindowInTheWorkAreaOfItsMonitor) {
    RECT primaryWork{};
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &primaryWork, 0));
    // The update surface opens on the monitor under the cursor.
    POINT cursor{};
    ::GetCursorPos(&cursor);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &monitor));
    const struct {
        uint32_t mode;
        const wchar_t* size;
        RECT work;
    } cases[] = {
        {ShellModeInstall, L"", primaryWork},
        {ShellModeUninstall, L"", primaryWork},
        {ShellModeUpdate, L"1000x700", monitor.rcWork},
        {ShellModeUpdate, L"", monitor.rcWork},
        // As large as the work area: at its left and top edges.
        {ShellModeUpdate, L"30000x30000", monitor.rcWork},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "mode " << c.mode << " size " << c.size);
        if (c.mode == ShellModeUpdate) {
            ASSERT_EQ(::ShellConfigureUpdateSurface(L"", c.size), 0u);
        }
        ShellSession session(c.mode);
        ASSERT_TRUE(session);
        RECT window{};
        ::GetWindowRect(session.window(), &window);
        const int width = window.right - window.left, height = window.bottom - window.top;
        EXPECT_EQ(width, MulDiv(g_shell->logicalWidth, g_shell->dpi, 96));
        EXPECT_EQ(height, MulDiv(g_shell->logicalHeight, g_shell->dpi, 96));
        const int workWidth = c.work.right - c.work.left, workHeight = c.work.bottom - c.work.top;
        EXPECT_EQ(window.left, c.work.left + std::max(0, (workWidth - width) / 2));
        EXPECT_EQ(window.top, c.work.top + std::max(0, (workHeight - height) / 2));
        EXPECT_GE(window.left, c.work.left);
        EXPECT_GE(window.top, c.work.top);
    }
}
