#!/usr/bin/env bash
# Configures and builds the project with the mingw-w64 toolchain: build.sh [build-dir] [targets...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shift || true
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-w64-mingw32.cmake" >/dev/null
if [ $# -gt 0 ]; then
  for target in "$@"; do cmake --build "$build" -j"$(nproc)" --target "$target"; done
else
  cmake --build "$build" -j"$(nproc)"
fi
