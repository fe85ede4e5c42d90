#!/usr/bin/env bash
# The package as a vendor ships it: the installed and the zipped DLL are stripped, carry the hardening
# flags and a time stamp derived from their contents (a reproducible build), and name in their debug
# directory the PDB beside them, whose GUID and age match and which names the library's routines with
# their source lines, as a debugger reading a crash dump needs them; the ZIP also holds the import
# library for Visual Studio, the C header and the NSIS macros.
#   check_release_files.sh <build folder> <folder of the LLVM tools>
set -euo pipefail
build=$(cd "$1" && pwd)
llvm=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "$*" >&2; exit 1; }

check_pair() {
  local dll=$1 pdb=$2 where=$3
  [ -f "$dll" ] || fail "$where: no TovrakRenderer.dll"
  [ -f "$pdb" ] || fail "$where: no TovrakRenderer.pdb beside the DLL"
  # Each listing is read whole before grep looks at it: grep -q in a pipe would cut the tool short.
  local sections symbols headers debug summary procedures exports
  sections=$("$llvm/llvm-objdump" -h "$dll")
  symbols=$("$llvm/llvm-objdump" -t "$dll")
  headers=$("$llvm/llvm-readobj" --file-headers "$dll")
  debug=$("$llvm/llvm-readobj" --coff-debug-directory "$dll")
  ! grep -q ' \.debug_' <<<"$sections" || fail "$where: the DLL still carries debug sections"
  ! grep -q '^\[' <<<"$symbols" || fail "$where: the DLL still carries symbols"
  local flags=(DYNAMIC_BASE NX_COMPAT)
  # SEH handler tables exist on 32-bit Windows only; 64-bit exception handling is table-based.
  grep -q 'Machine: IMAGE_FILE_MACHINE_I386' <<<"$headers" && flags+=(NO_SEH)
  for flag in "${flags[@]}"; do
    grep -q "IMAGE_DLL_CHARACTERISTICS_$flag " <<<"$headers" || fail "$where: the DLL lacks $flag"
  done
  grep -q 'Type: Repro' <<<"$debug" || fail "$where: the DLL's time stamp is not derived from its contents"

  # The debug directory names the PDB by its file name alone, and its GUID and age are the PDB's.
  grep -q 'PDBFileName: TovrakRenderer.pdb$' <<<"$debug" || fail "$where: the DLL does not name TovrakRenderer.pdb"
  local bytes age guid
  read -r -a bytes <<<"$(sed -n 's/.*PDBGUID: (\(.*\))/\1/p' <<<"$debug")"
  age=$(sed -n 's/.*PDBAge: //p' <<<"$debug")
  [ ${#bytes[@]} -eq 16 ] || fail "$where: the DLL has no CodeView record"
  # A GUID's first three fields are stored little-endian.
  guid="${bytes[3]}${bytes[2]}${bytes[1]}${bytes[0]}-${bytes[5]}${bytes[4]}-${bytes[7]}${bytes[6]}"
  guid+="-${bytes[8]}${bytes[9]}-$(printf %s "${bytes[@]:10}")"
  summary=$("$llvm/llvm-pdbutil" dump -summary "$pdb")
  grep -q "GUID: {$guid}" <<<"$summary" || fail "$where: the PDB's GUID is not the DLL's {$guid}"
  grep -q "Age: $age\$" <<<"$summary" || fail "$where: the PDB's age is not the DLL's $age"

  # A procedure record for every export, and for the library's internal routines.
  procedures=$("$llvm/llvm-pdbutil" dump -symbols "$pdb" | sed -n 's/.*S_[GL]PROC32 .* `\(.*\)`$/\1/p')
  exports=$("$llvm/llvm-objdump" -p "$dll" | sed -n '/^Export Table:/,/^$/p' |
    sed -n 's/^ *[0-9]\+ \+0x[0-9a-f]\+ \+\([A-Za-z]\+\)$/\1/p')
  [ -n "$exports" ] || fail "$where: no exports found"
  local name missing=""
  for name in $exports; do
    grep -qx "$name" <<<"$procedures" || missing+=" $name"
  done
  [ -z "$missing" ] || fail "$where: the PDB has no procedure for$missing"
  grep -q '^tovrak::' <<<"$procedures" || fail "$where: the PDB has no procedures of the library's internals"

  # A debugger names each export's address with its routine and its source line.
  local base addresses frames
  base=$(sed -n 's/.*ImageBase: \(0x[0-9A-F]*\)/\1/p' <<<"$headers")
  addresses=$("$llvm/llvm-objdump" -p "$dll" | sed -n '/^Export Table:/,/^$/p' |
    sed -n 's/^ *[0-9]\+ \+\(0x[0-9a-f]\+\) \+[A-Za-z]\+$/\1/p' | while read -r rva; do
      printf '0x%x\n' $((base + rva))
    done)
  frames=$("$llvm/llvm-symbolizer" --inlining=false --obj="$dll" $addresses | grep .)
  python3 - "$exports" "$frames" <<'PY' || fail "$where: the PDB does not give the exports' source lines"
import re, sys
names, frames = sys.argv[1].split(), sys.argv[2].splitlines()
bad = [f"{name}: {frames[2 * i]} {frames[2 * i + 1]}" for i, name in enumerate(names)
       if frames[2 * i] != name or not re.fullmatch(r"/TovrakRenderer/src/[\w/]+\.cpp:[1-9][0-9]*:\d+", frames[2 * i + 1])]
print("\n".join(bad[:10]), file=sys.stderr)
sys.exit(1 if bad else 0)
PY
}

cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
check_pair "$scratch/prefix/bin/TovrakRenderer.dll" "$scratch/prefix/bin/TovrakRenderer.pdb" "installed"
cmp -s "$build/bin/TovrakRenderer.dll" "$scratch/prefix/bin/TovrakRenderer.dll" ||
  fail "the installed DLL is not the one the tests ran against"

(cd "$build" && cpack -G ZIP >/dev/null)
zip=$(ls "$build"/TovrakRenderer-*-win*.zip)
mkdir "$scratch/zip"
(cd "$scratch/zip" && cmake -E tar xf "$zip")
package=$(ls -d "$scratch"/zip/TovrakRenderer-*-win??)
check_pair "$package/bin/TovrakRenderer.dll" "$package/bin/TovrakRenderer.pdb" "$(basename "$zip")"
[ -f "$package/lib/TovrakRenderer.lib" ] || fail "$(basename "$zip"): no lib/TovrakRenderer.lib"
# An NSIS author takes the macros from the package, beside the C header.
for header in renderer.h TovrakRenderer.nsh; do
  cmp -s "$(dirname "$0")/../../include/tovrak/$header" "$package/include/tovrak/$header" ||
    fail "$(basename "$zip"): include/tovrak/$header is missing or differs"
done
echo "$(basename "$zip"): bin/TovrakRenderer.dll $(stat -c %s "$package/bin/TovrakRenderer.dll") bytes," \
  "bin/TovrakRenderer.pdb $(stat -c %s "$package/bin/TovrakRenderer.pdb") bytes," \
  "lib/TovrakRenderer.lib $(stat -c %s "$package/lib/TovrakRenderer.lib") bytes"
