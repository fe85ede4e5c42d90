#!/usr/bin/env bash
# Configures and builds the project with the mingw-w64 toolchain: build.sh [build-dir] [targets...]
# The 32-bit product by default; TOVRAK_ARCH=x86_64 builds for 64-bit Windows (the test build on a
# machine that runs no 32-bit programs, see platform.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arch=${TOVRAK_ARCH:-i686}
build=${1:-$(. "$root/scripts/platform.sh" && tovrak_build_dir "$root" "$arch")}
shift || true
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$arch-w64-mingw32.cmake" >/dev/null
if [ $# -gt 0 ]; then
  for target in "$@"; do cmake --build "$build" -j"$(nproc)" --target "$target"; done
else
  cmake --build "$build" -j"$(nproc)"
fi
