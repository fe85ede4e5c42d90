#pragma once
// Where LayoutShell puts the shell's children: rectangles (x, y, width, height) in 96-DPI units, as
// rows that it places in their order, beside the face's own rectangles (face_geometry.h). Every screen of a
// mode places the children alike (a hidden one keeps its place, so that showing it moves nothing), so a row
// depends only on the mode or on the diagnostics text, whose height is known once the layout has measured it.

#include <windows.h>

#include "shell/face_geometry.h"
#include "shell/shell_context.h"

namespace tovrak {

enum class PlacedIn : unsigned char { EveryMode, InstallMode, UninstallMode };

// What a row follows once the layout has measured the diagnostics text; until then the row's own
// numbers stand.
enum class Follows : unsigned char {
    Nothing,
    // The height becomes the measured height of the text.
    DiagnosticsHeight,
    // The top goes kDiagnosticsButtonsGap below the measured text's end.
    DiagnosticsEnd,
};

struct ChildPlacement {
    HWND ShellContext::*child;
    int x;
    int y;
    int width;
    int height;
    PlacedIn mode = PlacedIn::EveryMode;
    Follows follows = Follows::Nothing;
};

constexpr ChildPlacement PlacedAt(HWND ShellContext::*child, const UnitRect& rect) noexcept {
    return ChildPlacement{child, rect.x, rect.y, rect.width, rect.height};
}

constexpr int kDiagnosticsButtonsGap = 24;

inline constexpr ChildPlacement kDiagnosticsTextPlacement{
    &ShellContext::diagnosticsLabel, 32, 520, 636, 160, PlacedIn::EveryMode, Follows::DiagnosticsHeight};

inline constexpr ChildPlacement kDiagnosticsButtonPlacements[] = {
    {&ShellContext::copyDiagnosticsButton, 32, 690, 150, 28, PlacedIn::EveryMode, Follows::DiagnosticsEnd},
    {&ShellContext::openLogButton, 200, 690, 160, 28, PlacedIn::EveryMode, Follows::DiagnosticsEnd},
};

// The bar takes the primary button's place while the installation runs; the layout places it with
// the bar's own visibility.
inline constexpr ChildPlacement kProgressPlacement = PlacedAt(&ShellContext::progressBar, kProgressBarRect);

// Every other child, placed first.
inline constexpr ChildPlacement kFacePlacements[] = {
    {&ShellContext::primaryButton, 184, 322, 333, 44},
    {&ShellContext::closeButton, 656, 8, 36, 36},
    {&ShellContext::optionsButton, 584, 450, 84, 27},
    {&ShellContext::agreementCheckbox, 28, 450, 55, 27},
    {&ShellContext::userAgreementLink, 83, 454, 78, 20},
    {&ShellContext::privacyPolicyLink, 166, 454, 78, 20},
    {&ShellContext::pathEdit, 50, 567, 520, 20, PlacedIn::InstallMode},
    // Uninstalling changes no directory: the field takes the change button's room.
    {&ShellContext::pathEdit, 50, 567, 600, 20, PlacedIn::UninstallMode},
    {&ShellContext::browseButton, 588, 561, 74, 32},
    {&ShellContext::shortcutCheckbox, 28, 612, 209, 28},
    kDiagnosticsButtonPlacements[0],
    kDiagnosticsButtonPlacements[1],
    kDiagnosticsTextPlacement,
    {&ShellContext::locationLabel, 32, 526, 160, 20},
    {&ShellContext::directoryNoteLabel, 250, 526, 418, 20},
};

}  // namespace tovrak
