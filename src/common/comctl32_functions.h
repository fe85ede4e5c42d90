#pragma once
// The window-subclassing functions of the common controls, loaded from the system at first use.
// comctl32 is a side-by-side DLL and no KnownDLL, so it is never imported statically.

#include <windows.h>
#include <commctrl.h>

namespace tovrak::comctl32 {

// As the platform's functions. Without comctl32 a subclass cannot be installed: SetWindowSubclass and
// GetWindowSubclass return FALSE with ERROR_PROC_NOT_FOUND or the loader's error as the last error.
BOOL SetWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data) noexcept;
BOOL GetWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR* data) noexcept;
BOOL RemoveWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id) noexcept;
LRESULT DefSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

}  // namespace tovrak::comctl32
