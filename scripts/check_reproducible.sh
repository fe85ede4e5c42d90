#!/usr/bin/env bash
# Builds TovrakRenderer.dll from a copy of the work tree in a folder of its own into a build folder of
# its own, twice, and fails unless the DLLs, their PDBs and the import libraries for Visual Studio are
# byte-identical: nothing of the time or the machine's paths may go into them. Given a build folder of
# the work tree itself, it builds once and compares with that build instead.
#   check_reproducible.sh [work tree [build folder]]
set -euo pipefail
root=$(cd "${1:-$(dirname "$0")/..}" && pwd)
existing=${2:-}
# The toolchain of the given build, or the 32-bit product's.
toolchain=i686-w64-mingw32.cmake
if [ -n "$existing" ]; then
  configured=$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:[A-Z]*=//p' "$existing/CMakeCache.txt")
  [ -n "$configured" ] && toolchain=$(basename "$configured")
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

build_copy() {
  local copy=$scratch/$1
  mkdir -p "$copy/tree"
  (cd "$root" && git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$copy/tree")
  cmake -S "$copy/tree" -B "$copy/out" -DTOVRAK_BUILD_TESTS=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$copy/tree/cmake/$toolchain" >/dev/null
  cmake --build "$copy/out" --target TovrakRenderer -j2 >/dev/null
}

# Folder names of different lengths, so that a leaked path also shifts what follows it.
build_copy a
first=$scratch/a/out
if [ -n "$existing" ]; then
  second=$(cd "$existing" && pwd)
else
  build_copy second-build-in-a-longer-folder
  second=$scratch/second-build-in-a-longer-folder/out
fi

status=0
for file in bin/TovrakRenderer.dll bin/TovrakRenderer.pdb lib/TovrakRenderer.lib; do
  if cmp -s "$first/$file" "$second/$file"; then
    echo "$file: identical, $(stat -c %s "$first/$file") bytes, sha256 $(sha256sum "$first/$file" | cut -c1-16)..."
  else
    echo "$file: the two builds differ ($(cmp "$first/$file" "$second/$file" 2>&1 | head -1))" >&2
    status=1
  fi
done
exit $status
