#include "common/comctl32_functions.h"

#include "common/system_library.h"

namespace tovrak::comctl32 {
namespace {

constinit SystemLibrary library(L"comctl32.dll");
// Before version 6 the subclassing functions were exported by these ordinals only.
constinit SystemFunction<decltype(&::SetWindowSubclass)> setWindowSubclass(library, "SetWindowSubclass", 410);
constinit SystemFunction<decltype(&::GetWindowSubclass)> getWindowSubclass(library, "GetWindowSubclass", 411);
constinit SystemFunction<decltype(&::RemoveWindowSubclass)> removeWindowSubclass(library,
                                                                                 "RemoveWindowSubclass", 412);
constinit SystemFunction<decltype(&::DefSubclassProc)> defSubclassProc(library, "DefSubclassProc", 413);

}  // namespace

BOOL SetWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data) noexcept {
    if (const auto function = setWindowSubclass.get()) return function(window, procedure, id, data);
    return FALSE;  // the loader has set the last error
}

BOOL GetWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR* data) noexcept {
    if (const auto function = getWindowSubclass.get()) return function(window, procedure, id, data);
    return FALSE;  // the loader has set the last error
}

BOOL RemoveWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id) noexcept {
    if (const auto function = removeWindowSubclass.get()) return function(window, procedure, id);
    return FALSE;  // the loader has set the last error
}

LRESULT DefSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (const auto function = defSubclassProc.get()) return function(window, message, wParam, lParam);
    // Only reached by a procedure that was installed through this DLL, so it cannot really be missing.
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace tovrak::comctl32
