#pragma once
// Whether a path names a plain tree: one ordinary file, or a directory whose whole subtree holds only
// ordinary files and directories (nothing that carries the reparse-point attribute).

#include <cstdint>

#include "common/wide_string.h"

namespace tovrak {

constexpr std::uint32_t kPlainTreeMaxPaths = 65536;  // paths examined in one walk, the start included
constexpr int kPlainTreeMaxDepth = 64;               // the starting path has depth 1

// Examines `path` and, for a directory, everything below it, depth-first in listing order; stops at the
// first path that is not plain. `counter` counts the paths examined by the whole walk.
bool CheckPlainPath(const WideString& path, int depth, std::uint32_t& counter);

}  // namespace tovrak
