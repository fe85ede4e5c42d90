// A translation whose texts are longer than the ones the face was measured for, in the style of
// Windows' qps-ploc pseudo-locale: every text about 1.6 times as long, in accented Latin letters.
// Whatever the display's DPI, the shell makes room or ends a text in an ellipsis: no two visible
// children overlap, no text is painted outside its control, and the accessible names keep every word.

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/shell_texts.h"
#include "shell/accessible_facts.h"
#include "shell/shell_children.h"
#include "shell/shell_context.h"
#include "shell/shell_face.h"
#include "support/environment.h"
#include "tovrak/renderer.h"

namespace tovrak::test {
namespace {

constexpr std::wstring_view kAccented = L"áƀćđéƒĝĥíĵķĺɱńóƥɋŕšŧúṽŵẋýž";

// `english` with its letters accented and about 1.6 times as long; the placeholders stay.
std::wstring PseudoTranslation(std::wstring_view english) {
    std::wstring text = L"[";
    bool inPlaceholder = false;
    for (const wchar_t c : english) {
        if (c == L'{') inPlaceholder = true;
        const bool letter = c >= L'a' && c <= L'z';
        text += letter && !inPlaceholder ? kAccented[c - L'a'] : c;
        if (c == L'}') inPlaceholder = false;
    }
    text += L' ';
    for (std::size_t i = 0; text.size() < english.size() * 16 / 10 + 2; ++i)
        text += kAccented[i % kAccented.size()];
    return text + L"]";
}

// A translations file with one section; `textFor` gives each key's text.
template <typename TextFor>
std::wstring WriteSection(const TempDirectory& folder, const wchar_t* name, TextFor textFor) {
    std::wstring content = L"[qps-ploc]\n";
    for (const ShellTextRow& row : kShellTextRows)
        content += std::wstring(row.key) + L"=" + textFor(row) + L"\n";
    const std::wstring path = folder.Join(name);
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, content.c_str(), static_cast<int>(content.size()),
                                            nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, content.c_str(), static_cast<int>(content.size()), utf8.data(), bytes,
                          nullptr, nullptr);
    EXPECT_TRUE(WriteBytes(path, utf8));
    return path;
}

RECT ClientRectOf(HWND control) {
    RECT rect{};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, g_shell->window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::vector<RECT> VisibleChildren() {
    std::vector<RECT> rects;
    for (const ShellChild& child : kShellChildren) {
        const HWND control = g_shell.get()->*child.window;
        if (control && ::IsWindowVisible(control)) rects.push_back(ClientRectOf(control));
    }
    return rects;
}

// The idle install screen with its options open, in the texts of `file`.
struct Face {
    std::optional<WindowCapture> capture;
    std::vector<RECT> children;
};

Face OpenFace(ShellFace& face, const std::wstring& file) {
    EXPECT_EQ(::ShellConfigureTexts(L"qps-ploc", file.c_str()), 0u);
    Face opened;
    if (!face.Open(ShellModeInstall)) return opened;
    Command(g_shell->optionsButton);
    opened.capture.emplace(face.Capture());
    opened.children = VisibleChildren();
    return opened;
}

bool Inside(const std::vector<RECT>& rects, int x, int y) {
    const POINT point{x, y};
    for (const RECT& rect : rects) {
        if (::PtInRect(&rect, point)) return true;
    }
    return false;
}

TEST(TranslatedFace, MakesRoomOrEndsInAnEllipsisWithoutOverlapOrStrayPixels) {
    TempDirectory folder;
    const std::wstring pseudo = WriteSection(
        folder, L"pseudo.txt", [](const ShellTextRow& row) { return PseudoTranslation(row.english); });
    const std::wstring blank =
        WriteSection(folder, L"blank.txt", [](const ShellTextRow&) { return std::wstring(); });

    Face translated;
    {
        ShellFace face;
        translated = OpenFace(face, pseudo);
        ASSERT_TRUE(translated.capture && translated.capture->valid());
        // Every child's accessible name is the whole text, however it is painted.
        for (const ShellChild& child : kShellChildren) {
            if (!child.text.fixed || child.accessibleRole == kSystemAccessible) continue;
            const std::wstring whole = PseudoTranslation(RowOf(*child.text.fixed).english);
            EXPECT_EQ(DescribeShellControl(*g_shell, g_shell.get()->*child.window, 0).name, whole);
        }
    }
    Face empty;
    {
        ShellFace face;
        empty = OpenFace(face, blank);
        ASSERT_TRUE(empty.capture && empty.capture->valid());
    }
    EXPECT_EQ(::ShellConfigureTexts(L"zh-CN", nullptr), 0u);

    for (std::size_t i = 0; i < translated.children.size(); ++i) {
        for (std::size_t j = i + 1; j < translated.children.size(); ++j) {
            RECT overlap{};
            EXPECT_FALSE(::IntersectRect(&overlap, &translated.children[i], &translated.children[j]))
                << "children " << i << " and " << j << " overlap";
        }
    }
    // What the texts change on the face lies inside the visible children of one face or the other.
    const WindowCapture& shown = *translated.capture;
    const WindowCapture& bare = *empty.capture;
    ASSERT_EQ(shown.width(), bare.width());
    ASSERT_EQ(shown.height(), bare.height());
    int stray = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            if (shown.At(x, y) == bare.At(x, y)) continue;
            if (!Inside(translated.children, x, y) && !Inside(empty.children, x, y)) ++stray;
        }
    }
    EXPECT_EQ(stray, 0);
}

}  // namespace
}  // namespace tovrak::test
