#pragma once
// What the shell does locally when the user acts: choosing a directory and copying the diagnostics.
// Nothing here runs the installation; a chosen directory is reported as a pending command.

#include "common/wide_string.h"

namespace tovrak {

struct ShellContext;

// The folder the browser opens on: the nearest existing directory at or above `path`, or `path`
// itself when the walk reaches a missing drive or share root or runs out of separators.
WideString FindBrowseStartFolder(WideString path);

// Shows the folder browser over the shell window; a chosen folder becomes the install directory, the
// path field's text and command 6. Cancelling changes nothing.
void BrowseForInstallDirectory(ShellContext& shell);

// Puts the shell's diagnostics text on the clipboard as Unicode text. Failures are silent.
void CopyDiagnosticsToClipboard() noexcept;

}  // namespace tovrak
