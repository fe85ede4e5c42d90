// LayoutDiagnostics: the failure details drawn as a heading and a list of keys and wrapped values.

#include "skin/diagnostics.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

#include "common/export_guard.h"
#include "common/scaling.h"
#include "skin/drawing.h"
#include "skin/painted_subclass.h"
#include "skin/skin.h"
#include "tovrak/renderer.h"

namespace tovrak::skin {
namespace {

constexpr wchar_t kJoiner[] = L" · ";
constexpr std::wstring_view kWindowsPrefix = L"Windows ";
constexpr wchar_t kFullWidthColon = L'\uFF1A';
constexpr LONG kHeadingWeight = 500;

// Geometry in 96-DPI units.
constexpr int kLineHeight = 20;
constexpr int kEntryGap = 12;
constexpr int kFirstEntryTop = 40;
constexpr int kKeyColumnWidth = 80;
constexpr int kValueColumnLeft = 96;

constexpr UINT kTextFlags = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT;

WideString NormalisedKey(std::wstring_view key) {
    for (const RenamedDiagnosticsKey& renamed : kRenamedDiagnosticsKeys) {
        if (key == renamed.written) return renamed.shown;
    }
    return WideString(key);
}

void DrawLine(HDC dc, std::wstring_view text, RECT rect, COLORREF colour) noexcept {
    ::SetTextColor(dc, colour);
    ::DrawTextW(dc, text.data(), static_cast<int>(text.size()), &rect, kTextFlags);
}

UniqueFont CreateHeaderFont(HWND panel) noexcept {
    LOGFONTW font{};
    const HFONT panelFont = WindowFont(panel);
    if (!panelFont || ::GetObjectW(panelFont, sizeof(font), &font) != sizeof(font)) font = LOGFONTW{};
    font.lfWeight = kHeadingWeight;
    return UniqueFont(::CreateFontIndirectW(&font));
}

void PaintPanel(HWND panel, const DiagnosticsSkin& skin, HDC dc) noexcept {
    RECT client{};
    ::GetClientRect(panel, &client);
    UniqueMemoryDc memory(::CreateCompatibleDC(dc));
    UniqueBitmap bitmap(memory ? ::CreateCompatibleBitmap(dc, client.right, client.bottom) : nullptr);
    if (!bitmap) return;
    SelectGuard select(memory.get(), bitmap.get());
    FillWithColour(memory.get(), client, skin.backgroundColor);
    try {
        LayoutDiagnosticEntries(memory.get(), panel, skin, true);
    } catch (...) {
        // Without memory for the text the panel shows its background.
    }
    ::BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
}

struct PanelSkinProcedure : PaintedSkin<DiagnosticsSkin> {
    static void Paint(HWND panel, const DiagnosticsSkin& skin, HDC dc) noexcept {
        PaintPanel(panel, skin, dc);
    }
    static bool Handle(HWND panel, UINT message, WPARAM wParam, LPARAM lParam, DiagnosticsSkin&,
                       LRESULT& result) noexcept {
        if (message != WM_SETTEXT) return false;
        // The height stays: the caller lays the panel out again when it needs the new one.
        result = comctl32::DefSubclassProc(panel, message, wParam, lParam);
        ::InvalidateRect(panel, nullptr, FALSE);
        return true;
    }
};

constexpr SUBCLASSPROC PanelProc = PaintedSubclassProc<PanelSkinProcedure>;

}  // namespace

std::vector<DiagnosticEntry> ParseDiagnosticEntries(std::wstring_view text, const ShellTexts& texts) {
    std::vector<DiagnosticEntry> entries;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find(L'\n', start), text.size());
        std::wstring_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
        if (line.empty()) continue;

        DiagnosticEntry entry;
        const size_t colon = line.find(kFullWidthColon);
        if (colon == std::wstring_view::npos) {
            entry.key = texts[ShellText::NoteKey];
            entry.value = line;
        } else {
            entry.key = NormalisedKey(line.substr(0, colon));
            entry.value = line.substr(colon + 1);
        }
        if (entry.key.starts_with(kWindowsPrefix)) {
            entry.value = entry.key.substr(kWindowsPrefix.size()) + kJoiner + entry.value;
            entry.key = texts[ShellText::SystemErrorKey];
        }
        if (line.starts_with(kMissingComponentPrefix)) entry.key = texts[ShellText::SystemErrorKey];
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<WideString> WrapDiagnosticValue(HDC dc, std::wstring_view value, int wrapWidth) {
    std::vector<WideString> lines;
    if (value.empty()) lines.emplace_back();
    while (!value.empty()) {
        INT fit = 0;
        SIZE extent{};
        if (!::GetTextExtentExPointW(dc, value.data(), static_cast<int>(value.size()), wrapWidth, &fit,
                                     nullptr, &extent))
            fit = 0;
        size_t count = static_cast<size_t>(std::max(fit, 1));
        // Never leave half of a surrogate pair at the end of a line.
        if (count < value.size() && IS_HIGH_SURROGATE(value[count - 1])) count = fit < 2 ? 2 : count - 1;
        lines.emplace_back(value.substr(0, count));
        value.remove_prefix(count);
    }
    return lines;
}

int LayoutDiagnosticEntries(HDC dc, HWND panel, const DiagnosticsSkin& skin, bool paint) {
    const int lineHeight = Scale(kLineHeight, skin.dpi);
    const int entryGap = Scale(kEntryGap, skin.dpi);
    const int keyColumnWidth = Scale(kKeyColumnWidth, skin.dpi);
    const int valueColumnLeft = Scale(kValueColumnLeft, skin.dpi);
    RECT client{};
    ::GetClientRect(panel, &client);
    SavedDcState saved(dc);
    ::SetBkMode(dc, TRANSPARENT);
    if (const HFONT font = WindowFont(panel)) ::SelectObject(dc, font);

    const std::vector<DiagnosticEntry> entries = ParseDiagnosticEntries(WindowText(panel), skin.texts);
    const int wrapWidth = std::max<int>(client.right - valueColumnLeft, 1);

    if (paint) {
        const HGDIOBJ panelFont = skin.headerFont ? ::SelectObject(dc, skin.headerFont.get()) : nullptr;
        DrawLine(dc, skin.texts[ShellText::Diagnostics], {0, 0, client.right, lineHeight}, skin.primaryColor);
        if (panelFont) ::SelectObject(dc, panelFont);
    }
    int y = Scale(kFirstEntryTop, skin.dpi);
    for (const DiagnosticEntry& entry : entries) {
        const std::vector<WideString> lines = WrapDiagnosticValue(dc, entry.value, wrapWidth);
        if (paint) {
            DrawLine(dc, entry.key, {0, y, keyColumnWidth, y + lineHeight}, skin.secondaryColor);
            for (size_t i = 0; i < lines.size(); ++i) {
                const int top = y + static_cast<int>(i) * lineHeight;
                DrawLine(dc, lines[i], {valueColumnLeft, top, client.right, top + lineHeight},
                         skin.primaryColor);
            }
        }
        y += entryGap + static_cast<int>(lines.size()) * lineHeight;
    }
    return entries.empty() ? lineHeight : y - entryGap;
}

namespace {

// Installs the skin (replacing an earlier one) and sizes the panel to its text. Once the skin is
// installed a failure to lay out costs only the height: the caller's GuardExport answers 0.
std::int32_t ApplyDiagnosticsSkin(HWND panel, std::int32_t dpi, COLORREF primaryColor,
                                  COLORREF secondaryColor, COLORREF backgroundColor) {
    if (!::IsWindow(panel) || !IsSupportedDpi(dpi)) return 0;
    if (!EnsureSkinGdiplus()) return 0;
    if (auto* previous = FindSkin<DiagnosticsSkin>(panel, PanelProc, kDiagnosticsSubclassId)) {
        comctl32::RemoveWindowSubclass(panel, PanelProc, kDiagnosticsSubclassId);
        delete previous;
    }
    UniqueFont headerFont = CreateHeaderFont(panel);
    std::unique_ptr<DiagnosticsSkin> skin(new (std::nothrow) DiagnosticsSkin);
    if (!skin) return 0;
    *skin = DiagnosticsSkin{
        dpi, primaryColor, secondaryColor, backgroundColor, std::move(headerFont), CurrentShellTexts()};
    if (!comctl32::SetWindowSubclass(panel, PanelProc, kDiagnosticsSubclassId,
                                     reinterpret_cast<DWORD_PTR>(skin.get())))
        return 0;
    const DiagnosticsSkin& installed = *skin.release();

    int height = 0;
    {
        WindowDc dc(panel);
        if (!dc) return 0;
        height = LayoutDiagnosticEntries(dc.get(), panel, installed, false);
    }
    RECT client{};
    ::GetClientRect(panel, &client);
    ::SetWindowPos(panel, nullptr, 0, 0, client.right, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(panel, nullptr, FALSE);
    return (height * 96 + dpi - 1) / dpi;
}

}  // namespace
}  // namespace tovrak::skin

extern "C" int32_t TOVRAK_CALL LayoutDiagnostics(HWND panel, int32_t dpi, COLORREF primaryColor,
                                                 COLORREF secondaryColor, COLORREF backgroundColor) noexcept {
    return tovrak::GuardExport<int32_t>(0, tovrak::skin::ApplyDiagnosticsSkin, panel, dpi, primaryColor,
                                        secondaryColor, backgroundColor);
}
