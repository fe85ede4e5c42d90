#pragma once
#include <windows.h>

#include <string>

namespace sample {

// Saves what `window` shows (its client area, children included) as a PNG file.
bool SaveWindowPng(HWND window, const std::wstring& path);

}  // namespace sample
