// LayoutDiagnostics: entries, wrapping, heights and painting.

#include <gtest/gtest.h>

#include <string>

#include "skin/diagnostics.h"
#include "skin/skin_fixtures.h"
#include "support/pixels.h"
#include "tovrak/renderer.h"

namespace tovrak::test {
namespace {

constexpr COLORREF kPrimary = RGB(0, 0, 0);
constexpr COLORREF kSecondary = RGB(255, 0, 0);
constexpr COLORREF kBackground = RGB(255, 255, 255);

TEST(DiagnosticEntries, NormaliseKeysAndSkipBlankLines) {
    const std::wstring text =
        L"失败步骤：解压\r\n"
        L"\r\n"
        L"错误代码：5\n"
        L"Windows 错误 5：拒绝访问\n"
        L"安装组件未提供 Windows 更新：KB123\n"
        L"no colon: here\n"
        L"说明：a：b\n"
        L"\n";
    const struct {
        const wchar_t* key;
        const wchar_t* value;
    } expected[] = {
        {L"失败阶段", L"解压"},
        {L"错误码", L"5"},
        {L"系统错误", L"错误 5 · 拒绝访问"},
        {L"系统错误", L"KB123"},
        {L"说明", L"no colon: here"},
        {L"说明", L"a：b"},
    };
    const auto entries = skin::ParseDiagnosticEntries(text);
    ASSERT_EQ(entries.size(), std::size(expected));
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].key, expected[i].key) << i;
        EXPECT_EQ(entries[i].value, expected[i].value) << i;
    }
    EXPECT_TRUE(skin::ParseDiagnosticEntries(L"\r\n\n").empty());
}

class DiagnosticsPanel : public ::testing::Test {
  protected:
    HWND Panel(const wchar_t* text, int width = 400) {
        return host.AddChild(L"STATIC", text, 0, 10, 10, width, 50);
    }
    HostWindow host{0, 0, 700, 700};
};

TEST_F(DiagnosticsPanel, RefusesWhatIsNotAWindowOrAnUnsupportedDpi) {
    const HWND panel = Panel(L"");
    EXPECT_EQ(LayoutDiagnostics(nullptr, 96, 0, 0, 0), 0);
    EXPECT_EQ(LayoutDiagnostics(panel, 95, 0, 0, 0), 0);
    EXPECT_EQ(LayoutDiagnostics(panel, 769, 0, 0, 0), 0);
}

TEST_F(DiagnosticsPanel, MeasuresItsHeightAndResizesToIt) {
    const wchar_t* twoEntries = L"失败步骤：解压\n错误代码：5";
    const struct {
        const wchar_t* text;
        int dpi;
        int units, pixels;
    } cases[] = {
        {L"", 96, 20, 20},
        {twoEntries, 96, 92, 92},
        {twoEntries, 144, 92, 138},  // 60 + 30 + 18 + 30
        {L"", 100, 21, 21},          // 21 pixels are 20.16 units, rounded up
        {twoEntries, 100, 94, 97},   // 42 + 21 + 13 + 21
        {L"a\r\n\r\nb\r\n", 96, 92, 92},
    };
    for (const auto& c : cases) {
        const HWND panel = Panel(c.text);
        EXPECT_EQ(LayoutDiagnostics(panel, c.dpi, kPrimary, kSecondary, kBackground), c.units) << c.dpi;
        RECT client{};
        ::GetClientRect(panel, &client);
        EXPECT_EQ(client.bottom, c.pixels) << c.dpi;
        EXPECT_EQ(client.right, 400);
    }
}

TEST_F(DiagnosticsPanel, WrapsValuesByCharacterAndNeverSplitsASurrogatePair) {
    // A panel narrower than the value column leaves a wrap width of one pixel: one character per line,
    // or one pair for a character outside the basic plane.
    const struct {
        const wchar_t* text;
        int lines;
    } narrow[] = {{L"k：abc", 3}, {L"k：\U0001F600\U0001F600\U0001F600", 3}, {L"k：", 1}};
    for (const auto& c : narrow) {
        const HWND panel = Panel(c.text, 50);
        EXPECT_EQ(LayoutDiagnostics(panel, 96, kPrimary, kSecondary, kBackground), 40 + c.lines * 20)
            << c.lines;
    }

    // A wide value is cut where the next character no longer fits, inside a word too.
    const HWND panel = Panel(L"");
    HDC dc = ::GetDC(panel);
    const HGDIOBJ previous =
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(panel, WM_GETFONT, 0, 0)));
    const auto lines = skin::WrapDiagnosticValue(dc, std::wstring(100, L'H'), 304);
    SIZE one{};
    ::GetTextExtentPoint32W(dc, L"H", 1, &one);
    if (previous) ::SelectObject(dc, previous);
    ::ReleaseDC(panel, dc);
    ASSERT_GT(one.cx, 0);
    const size_t perLine = static_cast<size_t>(304 / one.cx);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].size(), perLine);
    EXPECT_EQ(lines.size(), (100 + perLine - 1) / perLine);
    ::SetWindowTextW(panel, (L"key：" + std::wstring(100, L'H')).c_str());
    EXPECT_EQ(LayoutDiagnostics(panel, 96, kPrimary, kSecondary, kBackground),
              40 + static_cast<int>(lines.size()) * 20);
}

TEST_F(DiagnosticsPanel, PaintsHeadingKeysAndValuesInTheirColumns) {
    const HWND panel = Panel(L"HHHH：HHHH\nHHHH：HHHH");
    ASSERT_EQ(LayoutDiagnostics(panel, 96, kPrimary, kSecondary, kBackground), 92);
    Settle();
    const WindowCapture capture(panel);
    ASSERT_EQ(capture.height(), 92);
    EXPECT_GT(CountPixels(capture, {0, 0, 400, 20}, kPrimary, 0), 0) << "the heading";
    EXPECT_EQ(CountPixels(capture, {0, 20, 400, 40}, kBackground, 0), 400 * 20) << "space under the heading";
    for (const int top : {40, 72}) {
        EXPECT_GT(CountPixels(capture, {0, top, 80, top + 20}, kSecondary, 0), 0) << "key at " << top;
        EXPECT_EQ(CountPixels(capture, {0, top, 80, top + 20}, kPrimary, 0), 0) << "key at " << top;
        EXPECT_GT(CountPixels(capture, {96, top, 400, top + 20}, kPrimary, 0), 0) << "value at " << top;
        EXPECT_EQ(CountPixels(capture, {80, top, 96, top + 20}, kBackground, 0), 16 * 20)
            << "gutter at " << top;
    }
    EXPECT_EQ(CountPixels(capture, {0, 60, 400, 72}, kBackground, 0), 400 * 12) << "gap between entries";

    // A new text is drawn at once, the height stays until the panel is laid out again.
    ::SetWindowTextW(panel, L"");
    Settle();
    const WindowCapture empty(panel);
    EXPECT_EQ(empty.height(), 92);
    EXPECT_EQ(CountPixels(empty, {0, 20, 400, 92}, kBackground, 0), 400 * 72) << "only the heading";
}

}  // namespace
}  // namespace tovrak::test
