#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine and prints their figures: bench.sh [name ...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TOVRAK_BUILD_DIR:-$root/build}
"$root/scripts/setup.sh"
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
