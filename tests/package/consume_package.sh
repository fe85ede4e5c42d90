#!/usr/bin/env bash
# Installs the built package into a scratch prefix, builds a tiny host against it with
# find_package(TovrakRenderer), and runs that host with the installed DLL beside it.
set -euo pipefail
build=$1
source_dir=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$source_dir/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
# The consumer is built with the package's own toolchain (32-bit, or the 64-bit test build).
toolchain=$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:[A-Z]*=//p' "$build/CMakeCache.txt")
target=$(basename "$toolchain" .cmake)
cmake -S "$source_dir/consumer" -B "$scratch/consumer" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_PREFIX_PATH="$scratch/prefix" -DCMAKE_FIND_ROOT_PATH="$scratch/prefix;/usr/$target" >/dev/null
cmake --build "$scratch/consumer" >/dev/null
cp "$scratch/prefix/bin/TovrakRenderer.dll" "$scratch/consumer/"
wine "$scratch/consumer/consumer.exe"
(cd "$build" && cpack -G ZIP >/dev/null && ls TovrakRenderer-*-win*.zip)
