#pragma once
// What the skinning routines share: the GDI+ start-up of the skinning exports, the module their windows
// belong to, the subclass identifiers of each kind of skin and the progress window's message.

#include <windows.h>

#include "common/comctl32_functions.h"

namespace tovrak::skin {

// Written only by the first successful EnsureSkinGdiplus. GDI+ is never shut down: skinned controls may
// outlive any call that could decide it is no longer needed.
extern HMODULE libraryModule;
extern ULONG_PTR skinGdiplusToken;

// Starts GDI+ for the skinning exports unless it runs already. False when it cannot be started.
bool EnsureSkinGdiplus() noexcept;

// Each kind of skin is installed under an identifier of its own, so that a later call finds the skin a
// control already carries.
constexpr UINT_PTR kActionTriggerSubclassId = 0x54534101;
constexpr UINT_PTR kActionLabelSubclassId = 0x54534102;
constexpr UINT_PTR kImageSubclassId = 0x54534103;
constexpr UINT_PTR kPathSubclassId = 0x54534104;
constexpr UINT_PTR kDiagnosticsSubclassId = 0x54534105;
constexpr UINT_PTR kScrollHostSubclassId = 0x54534106;
constexpr UINT_PTR kScrollBarSubclassId = 0x54534107;
constexpr UINT_PTR kScrollChildSubclassId = 0x54534108;

// The record a subclass procedure carries for `window`, or null when it does not carry that procedure.
template <typename Record>
Record* FindSkin(HWND window, SUBCLASSPROC procedure, UINT_PTR id) noexcept {
    DWORD_PTR data = 0;
    if (!comctl32::GetWindowSubclass(window, procedure, id, &data)) return nullptr;
    return reinterpret_cast<Record*>(data);
}

// The progress window: its class, its private message (wParam = percentage) and its animation timer.
constexpr wchar_t kProgressClassName[] = L"TovrakInstallerProgress";
constexpr UINT kSetProgressMessage = 0x8049;
constexpr UINT_PTR kProgressTimerId = 1;
constexpr UINT kProgressFrameMs = 33;

}  // namespace tovrak::skin
