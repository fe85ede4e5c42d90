#pragma once
// The canonical form in which a directory and a process's image path are compared: an absolute path
// without a long-path prefix, the directory ending in exactly one backslash.

#include <cstddef>

#include "common/wide_string.h"

namespace tovrak {

// Both the longest directory argument accepted and the buffer given to the path-returning calls.
inline constexpr size_t kLongPathUnits = 32768;

// "\\?\UNC\server\share\x" -> "\\server\share\x"; "\\?\C:\x" -> "C:\x"; anything else unchanged.
WideString StripLongPathPrefix(const wchar_t* text, size_t length);

// Turns a caller's directory into the owner prefix (for example "C:\Apps\Tool\"). Rejects null,
// empty and over-long text, drive roots, bare "\\server\share" roots, and paths the system cannot
// make absolute.
bool NormalizeOwnerDirectory(const wchar_t* directory, WideString& ownerPrefix);

}  // namespace tovrak
