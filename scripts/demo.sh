#!/usr/bin/env bash
# The main job: sets up, builds and runs the sample installer in automatic mode under Wine on a
# virtual display, at 96 and at 144 DPI. It installs the sample payload, hands over to the installed
# application, runs an uninstall and an update, and saves a PNG of every screen into out/.
#
#   scripts/demo.sh            every flow; exits 0 when the application took over
#   scripts/demo.sh --corrupt  only the run with a corrupted payload: the installer exits with 1603
#                              (a failed installation), which the demo prints, and the demo exits 1
#   scripts/demo.sh --nsis     the NSIS sample installer (tools/nsis_installer/) at 96 DPI, clicked
#                              through from outside Wine; PNGs into out/nsis/; exits 0 when the
#                              application took over
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${TOVRAK_OUT_DIR:-$root/out}
only_corrupt=0
only_nsis=0
[ "${1:-}" = "--corrupt" ] && only_corrupt=1
[ "${1:-}" = "--nsis" ] && only_nsis=1

"$root/scripts/setup.sh"
# The 32-bit build under 32-bit Wine, or the 64-bit one where this machine runs no 32-bit programs.
source "$root/scripts/platform.sh"
export TOVRAK_ARCH=$(tovrak_test_arch)
build=${TOVRAK_BUILD_DIR:-$(tovrak_build_dir "$root" "$TOVRAK_ARCH")}
echo "== building"
"$root/scripts/build.sh" "$build" sample_installer manifest_writer skin_demo exit_code
source "$root/scripts/wine_session.sh"

if [ $only_nsis = 1 ]; then
  "$root/scripts/build.sh" "$build" window_probe >/dev/null
  start_wine_session "$build" 96
  status=0
  "$root/tools/nsis_installer/run_flows.sh" "$build" "$out/nsis" || status=$?
  stop_wine_session
  exit $status
fi

run_installer() {  # <label> <screenshot dir> <args...>
  local label=$1 shots=$2
  shift 2
  mkdir -p "$shots"
  echo "== $label"
  # The host prints its steps on standard error. Its standard output is a pipe, as from the program
  # that started the installer, and carries only the takeover acknowledgement "AID1". Its exit code
  # (1603 for a failure) is wider than the 8 bits Wine gives a Linux shell: exit_code.exe writes it
  # whole into a file. The shell speaks its own Chinese unless a run asks for another language.
  rm -f "$shots/exit"
  wine "$build/bin/exit_code.exe" "$(winepath -w "$shots/exit")" "$(winepath -w "$build/bin/sample_installer.exe")" \
    --auto --font "WenQuanYi Micro Hei" --lang zh-CN --screenshots "$(winepath -w "$shots")" "$@" | cat >"$shots/stdout.bin"
  local status
  status=$(cat "$shots/exit" 2>/dev/null || echo "none")
  if [ -s "$shots/stdout.bin" ]; then echo "   takeover acknowledgement: $(cat "$shots/stdout.bin")"; fi
  echo "   exit code $status; screenshots in $shots"
  [ "$status" = 0 ]
}

# A payload with one byte changed fails its verification. Its screenshots go into a folder of their
# own: the run passes the idle and options screens too, whose pictures would otherwise replace those
# of the install run (and show the corrupted run's directory).
corrupt_run() {  # <screenshot dir of the DPI>
  local corrupt="$build/sample-corrupt"
  rm -rf "$corrupt" && cp -r "$build/bin/sample/payload" "$corrupt"
  printf 'X' | dd of="$corrupt/README.txt" bs=1 seek=0 conv=notrunc status=none
  run_installer "install with a corrupted payload (expect the failure screen)" "$1/corrupt-payload" \
    --payload "$(winepath -w "$corrupt")" --target 'C:\TovrakSampleCorrupt'
}

status=0
for dpi in 96 144; do
  start_wine_session "$build" "$dpi"
  "$root/scripts/build.sh" "$build" sample_payload >/dev/null
  shots="$out/$dpi"
  if [ $only_corrupt = 1 ]; then
    corrupt_run "$shots" || status=$?
    stop_wine_session
    exit $status
  fi
  mkdir -p "$shots"
  echo "== skinned controls of a host dialog at $dpi DPI"
  wine "$build/bin/skin_demo.exe" "$(winepath -w "$shots/skin-controls.png")" && echo "   screenshot $shots/skin-controls.png"
  run_installer "install at $dpi DPI" "$shots" --mode install --target 'C:\TovrakSample' || status=$?
  run_installer "uninstall at $dpi DPI" "$shots" --mode uninstall --target 'C:\TovrakSample' || true
  run_installer "update at $dpi DPI" "$shots" --mode update --target 'C:\TovrakSample' || true
  # The shell in other languages: English, built in, at 96 DPI; German, from the sample's
  # translations file, at 144 DPI.
  if [ "$dpi" = 96 ]; then
    run_installer "install in English at $dpi DPI" "$shots/en" --lang en --mode install --target 'C:\TovrakSampleEn' || status=$?
  else
    run_installer "install in German at $dpi DPI" "$shots/de" --lang de-DE --mode install --target 'C:\TovrakSampleDe' || status=$?
  fi
  corrupt_run "$shots" || echo "   (the corrupted payload was refused, as it should be)"
  stop_wine_session
done
echo "== screenshots: $out/96 and $out/144"
exit $status
