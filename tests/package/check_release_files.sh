#!/usr/bin/env bash
# The package as a vendor ships it: the installed and the zipped DLL are stripped, carry no time stamp
# and the hardening flags, and name in .gnu_debuglink the symbol file beside them, whose checksum
# matches and which holds the DLL's debug information and symbols; the ZIP holds the C header and
# the NSIS macros.
#   check_release_files.sh <build folder> <objdump>
set -euo pipefail
build=$(cd "$1" && pwd)
objdump=$2
objcopy=${objdump%objdump}objcopy
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "$*" >&2; exit 1; }

check_pair() {
  local dll=$1 debug=$2 where=$3
  [ -f "$dll" ] || fail "$where: no TovrakRenderer.dll"
  [ -f "$debug" ] || fail "$where: no TovrakRenderer.dll.debug beside the DLL"
  # Each listing is read whole before grep looks at it: grep -q in a pipe would cut objdump short.
  local sections symbols debugSections debugSymbols headers
  sections=$("$objdump" -h "$dll")
  symbols=$("$objdump" -t "$dll")
  debugSections=$("$objdump" -h "$debug")
  debugSymbols=$("$objdump" -t "$debug")
  ! grep -q ' \.debug_' <<<"$sections" || fail "$where: the DLL still carries debug sections"
  ! grep -q '^\[' <<<"$symbols" || fail "$where: the DLL still carries symbols"
  grep -q ' \.debug_info ' <<<"$debugSections" || fail "$where: the symbol file has no .debug_info"
  # The 32-bit symbol carries the __stdcall decoration; a 64-bit build has none.
  grep -Eq '(_ShellOpen@20| ShellOpen)$' <<<"$debugSymbols" || fail "$where: the symbol file has no symbol table"
  headers=$(TZ=UTC "$objdump" -p "$dll")
  grep -q 'Time/Date.*Thu Jan  1 00:00:00 1970' <<<"$headers" || fail "$where: the DLL has a time stamp"
  for flag in DYNAMIC_BASE NX_COMPAT NO_SEH; do
    grep -q "^\s*$flag\$" <<<"$headers" || fail "$where: the DLL lacks $flag"
  done
  # .gnu_debuglink: the file name, NUL padding to four bytes, then the CRC-32 of the symbol file.
  "$objcopy" --dump-section .gnu_debuglink="$scratch/debuglink" "$dll" "$scratch/copy.dll" ||
    fail "$where: the DLL has no .gnu_debuglink"
  python3 - "$scratch/debuglink" "$debug" <<'PY' || fail "$where: .gnu_debuglink does not name the symbol file"
import sys, zlib
link, debug = (open(path, "rb").read() for path in sys.argv[1:])
name = link.split(b"\0", 1)[0]
crc = int.from_bytes(link[(len(name) + 4) // 4 * 4:][:4], "little")
sys.exit(0 if name == b"TovrakRenderer.dll.debug" and crc == zlib.crc32(debug) else 1)
PY
}

cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
check_pair "$scratch/prefix/bin/TovrakRenderer.dll" "$scratch/prefix/bin/TovrakRenderer.dll.debug" "installed"
cmp -s "$build/bin/TovrakRenderer.dll" "$scratch/prefix/bin/TovrakRenderer.dll" ||
  fail "the installed DLL is not the one the tests ran against"

(cd "$build" && cpack -G ZIP >/dev/null)
zip=$(ls "$build"/TovrakRenderer-*-win*.zip)
mkdir "$scratch/zip"
(cd "$scratch/zip" && cmake -E tar xf "$zip")
package=$(ls -d "$scratch"/zip/TovrakRenderer-*-win??)
check_pair "$package/bin/TovrakRenderer.dll" "$package/bin/TovrakRenderer.dll.debug" "$(basename "$zip")"
# An NSIS author takes the macros from the package, beside the C header.
for header in renderer.h TovrakRenderer.nsh; do
  cmp -s "$(dirname "$0")/../../include/tovrak/$header" "$package/include/tovrak/$header" ||
    fail "$(basename "$zip"): include/tovrak/$header is missing or differs"
done
echo "$(basename "$zip"): bin/TovrakRenderer.dll $(stat -c %s "$package/bin/TovrakRenderer.dll") bytes," \
  "bin/TovrakRenderer.dll.debug $(stat -c %s "$package/bin/TovrakRenderer.dll.debug") bytes"
