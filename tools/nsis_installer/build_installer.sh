#!/usr/bin/env bash
# Builds the NSIS sample installer from tovrak_sample.nsi with makensis:
#
#   build_installer.sh <build dir> <installer.exe> [<payload dir>]
#
# The installer carries the DLL of the build, the shell's pictures, the sample payload and the
# manifest that manifest_writer wrote for it (the build's sample_payload target, built under Wine).
# A payload directory given last replaces the payload but keeps that manifest: a corrupted copy
# makes an installer whose worker refuses it. A 64-bit build gives a 64-bit installer
# (amd64-unicode), the 32-bit product a 32-bit one (x86-unicode).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
output=$2
payload=${3:-$build/bin/sample/payload}
if grep -q '^CMAKE_TOOLCHAIN_FILE.*x86_64' "$build/CMakeCache.txt"; then
  target=amd64-unicode
else
  target=x86-unicode
fi
for needed in "$build/bin/TovrakRenderer.dll" "$payload" "$build/bin/sample/payload.manifest"; do
  [ -e "$needed" ] || { echo "build_installer.sh: $needed is missing" >&2; exit 1; }
done
# The shell's translations ship only when the library would take them: texts_check names the line it
# would refuse (it runs under Wine, as every program of the build).
translations=$root/tools/sample_installer/translations.txt
checker=$build/bin/texts_check.exe
[ -f "$checker" ] || cmake --build "$build" --target texts_check >/dev/null
wine "$checker" "$(winepath -w "$translations")" || { echo "build_installer.sh: $translations is refused" >&2; exit 1; }
mkdir -p "$(dirname "$output")"
makensis -V2 -INPUTCHARSET UTF8 \
  -DTARGET="$target" \
  -DINCLUDE_DIR="$root/include/tovrak" \
  -DDLL="$build/bin/TovrakRenderer.dll" \
  -DASSETS="$root/assets" \
  -DPAYLOAD="$payload" \
  -DMANIFEST="$build/bin/sample/payload.manifest" \
  -DTRANSLATIONS="$translations" \
  -DOUTFILE="$(cd "$(dirname "$output")" && pwd)/$(basename "$output")" \
  "$root/tools/nsis_installer/tovrak_sample.nsi"
