#pragma once
// When a child of the shell is shown and when it is enabled: one rule per line of the face, by mode,
// screen and panel. The children's table names a rule for each child; the layout applies them.

#include "shell/shell_context.h"
#include "tovrak/renderer.h"

namespace tovrak {

// A rule: whether the child is shown (or enabled) in the shell's present state.
using ScreenRule = bool (*)(const ShellContext& shell) noexcept;

namespace screen {

inline bool Always(const ShellContext&) noexcept {
    return true;
}
inline bool UnlessRunning(const ShellContext& shell) noexcept {
    return shell.stateKind != ShellStateRunning;
}
inline bool WhileRunning(const ShellContext& shell) noexcept {
    return shell.stateKind == ShellStateRunning;
}
// The agreement and its links.
inline bool OnIdleInstall(const ShellContext& shell) noexcept {
    return IsIdleInstallScreen(shell);
}
// The options button opens the idle screen's panel, and on the failure screen the diagnostics.
inline bool WithPanel(const ShellContext& shell) noexcept {
    return IsIdleScreen(shell) || (shell.stateKind == ShellStateFailed && !shell.diagnosticsText.empty());
}
// The installation directory, in either mode.
inline bool InIdlePanel(const ShellContext& shell) noexcept {
    return shell.optionsExpanded && IsIdleScreen(shell);
}
// What only an installation chooses: another directory, the shortcut.
inline bool InIdleInstallPanel(const ShellContext& shell) noexcept {
    return shell.optionsExpanded && IsIdleInstallScreen(shell);
}
inline bool InDiagnosticsPanel(const ShellContext& shell) noexcept {
    return shell.optionsExpanded && !IsIdleScreen(shell);
}
// An uninstallation keeps no log folder to open.
inline bool InInstallDiagnosticsPanel(const ShellContext& shell) noexcept {
    return InDiagnosticsPanel(shell) && shell.mode == ShellModeInstall;
}
// The primary button on the idle install screen waits for the agreement and the host's gate.
inline bool PrimaryAllowed(const ShellContext& shell) noexcept {
    return !IsIdleInstallScreen(shell) || (shell.agreementAccepted && shell.gateOpen);
}

}  // namespace screen
}  // namespace tovrak
