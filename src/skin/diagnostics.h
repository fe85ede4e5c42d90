#pragma once
// The diagnostics panel: a static control whose "key：value" lines are drawn as a titled two-column list.

#include <windows.h>

#include <string_view>
#include <vector>

#include "common/shell_texts.h"
#include "common/unique_handle.h"
#include "common/wide_string.h"

namespace tovrak::skin {

struct DiagnosticsSkin {
    int dpi = 96;
    COLORREF primaryColor = 0;    // heading and values
    COLORREF secondaryColor = 0;  // keys
    COLORREF backgroundColor = 0;
    UniqueFont headerFont;  // the panel's font at weight 500, for the heading only
    ShellTexts texts;       // the heading and the keys in force when the panel was configured
};

// One line of the text, with its key normalised; the value is not wrapped yet.
struct DiagnosticEntry {
    WideString key;
    WideString value;
};

// Splits the panel text into entries: one per non-blank line, the key before the first full-width colon
// (or the note key), with the renamed and system-error keys. Throws std::bad_alloc.
std::vector<DiagnosticEntry> ParseDiagnosticEntries(std::wstring_view text,
                                                    const ShellTexts& texts = CurrentShellTexts());

// Cuts `value` into lines that fit `wrapWidth` pixels in the DC's font, by characters, never inside a
// surrogate pair. An empty value is one empty line. Throws std::bad_alloc.
std::vector<WideString> WrapDiagnosticValue(HDC dc, std::wstring_view value, int wrapWidth);

// Lays the panel's text out in `dc` with the panel's font and returns its height in pixels; with `paint`
// set it also draws. Throws std::bad_alloc.
int LayoutDiagnosticEntries(HDC dc, HWND panel, const DiagnosticsSkin& skin, bool paint);

}  // namespace tovrak::skin
