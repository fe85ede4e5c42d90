#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine and prints their figures: bench.sh [name ...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
# The 32-bit build under 32-bit Wine, or the 64-bit one where this machine runs no 32-bit programs.
source "$root/scripts/platform.sh"
export TOVRAK_ARCH=$(tovrak_test_arch)
build=${TOVRAK_BUILD_DIR:-$(tovrak_build_dir "$root" "$TOVRAK_ARCH")}
"$root/scripts/build.sh" "$build" tovrak_benchmarks
source "$root/scripts/wine_session.sh"
start_wine_session "$build"
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for exe in "$build"/bin/bench_*.exe; do names+=("$(basename "$exe" .exe | sed 's/^bench_//')"); done
fi
for name in "${names[@]}"; do
  echo "== $name"
  wine "$build/bin/bench_$name.exe"
done
