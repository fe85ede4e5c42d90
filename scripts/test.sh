#!/usr/bin/env bash
# The project's test command: installs what is missing, builds, and runs every test under Wine on a
# virtual display. Extra arguments go to ctest (for example -R Pipes or -L shell).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/setup.sh"
source "$root/scripts/platform.sh"
export TOVRAK_ARCH=$(tovrak_test_arch)
build=${TOVRAK_BUILD_DIR:-$(tovrak_build_dir "$root" "$TOVRAK_ARCH")}
if [ "$TOVRAK_ARCH" = x86_64 ]; then
  echo "This machine runs no 32-bit programs (its kernel's IA32 emulation is off), so 32-bit Wine"
  echo "cannot start: testing the 64-bit build of the same sources under 64-bit Wine in $build."
fi
"$root/scripts/build.sh" "$build"

source "$root/scripts/wine_session.sh"
start_wine_session "$build"
status=0
ctest --test-dir "$build" --output-on-failure --timeout 600 -j2 -LE dpi144 "$@" || status=$?
stop_wine_session

# Tests labelled dpi144 run in a prefix of their own whose display reports 144 DPI.
if ctest --test-dir "$build" -N -L dpi144 | grep -q 'Total Tests: [1-9]'; then
  start_wine_session "$build" 144
  ctest --test-dir "$build" --output-on-failure --timeout 600 -L dpi144 "$@" || status=$?
  stop_wine_session
fi
exit $status
