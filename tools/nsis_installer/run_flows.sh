#!/usr/bin/env bash
# Builds the NSIS sample installer and uses it as a user would, inside a running Wine session
# (scripts/wine_session.sh): the pointer moves and clicks on the virtual display from outside Wine
# (xdotool), window_probe.exe finds the controls and photographs each screen into the output folder.
#
#   run_flows.sh <build dir> <output dir>
#
# 1. installs the sample payload and starts the application, which takes over (the installer's
#    standard output carries "AID1"), and checks the installed files against the payload;
# 2. uninstalls it: the installer first closes the application, which still runs;
# 3. runs an installer built with a corrupted payload, which shows the failure screen and its
#    diagnostics and exits with 1603, the code of a failed installation;
# 4. deploys it silently as an administrator would (tests/e2e/silent_deployment.sh).
# Exits 0 when every flow went as described.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
out=$2
mkdir -p "$out"
out=$(cd "$out" && pwd)
probe="$build/bin/window_probe.exe"
installer="$out/TovrakSample.exe"
target='C:\TovrakNsisSample'
installed="$WINEPREFIX/drive_c/TovrakNsisSample"
font=${TOVRAK_FONT:-WenQuanYi Micro Hei}
# Wine's user folder is named after the Unix user; its desktop may be a link to the home folder.
shortcut="$WINEPREFIX/drive_c/users/$(id -un)/Desktop/Tovrak 示例 (NSIS).lnk"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

echo "== building the NSIS installer into $out"
cmake --build "$build" --target sample_payload window_probe exit_code >/dev/null ||
  { echo "cannot build the payload"; exit 1; }
"$root/tools/nsis_installer/build_installer.sh" "$build" "$installer" || exit 1
corrupt="$out/corrupt"
rm -rf "$corrupt" && mkdir -p "$corrupt" && cp -r "$build/bin/sample/payload" "$corrupt/payload"
printf 'X' | dd of="$corrupt/payload/README.txt" bs=1 seek=0 conv=notrunc status=none
"$root/tools/nsis_installer/build_installer.sh" "$build" "$corrupt/TovrakSample.exe" "$corrupt/payload" || exit 1

# The installer runs in the background; its standard error is its log, its standard output a pipe
# as from the program that started it. Its end is read from the exit file, not from the pipe: under
# Wine the application it starts holds the installer's Unix descriptors, so the pipe stays open for
# as long as the application runs. exit_code.exe writes that file with the whole exit code, of which
# Wine would give a Linux shell only the low 8 bits.
start() {  # <name> <exe> <args...>
  local name=$1 exe=$2
  shift 2
  log="$out/$name.log"
  : >"$log"
  rm -f "$out/$name.exit"
  wine "$build/bin/exit_code.exe" "$(winepath -w "$out/$name.exit")" "$(winepath -w "$exe")" "/font=$font" "$@" \
    2>"$log" | cat >"$out/$name.stdout" &
}
wait_log() {  # <pattern> [seconds]
  local deadline=$((SECONDS + ${2:-60}))
  while ! grep -q -- "$1" "$log"; do
    if [ $SECONDS -ge $deadline ]; then fail "no '$1' in the log"; return 1; fi
    sleep 0.2
  done
}
finish() {  # <name> [seconds]: waits for the installer to end; its exit code in $code
  local deadline=$((SECONDS + ${2:-60}))
  while [ ! -e "$out/$1.exit" ]; do
    if [ $SECONDS -ge $deadline ]; then fail "$1: the installer did not end"; return 1; fi
    sleep 0.2
  done
  code=$(cat "$out/$1.exit")
  sed 's/^/    /' "$log"
}
click() {  # <control id>
  local position
  for _ in $(seq 50); do
    position=$(wine "$probe" center "$1" 2>/dev/null | tr -d '\r') && [ -n "$position" ] && break
    sleep 0.2
  done
  [ -n "$position" ] || { fail "control $1 is not on the screen"; return 1; }
  # shellcheck disable=SC2086
  xdotool mousemove $position sleep 0.2 click 1
}
shot() {  # <name>
  sleep "${2:-0.6}"
  # The window may be between two sizes when the panel has just opened: try again a moment later.
  for _ in 1 2 3 4 5; do
    if wine "$probe" shot "$(winepath -w "$out/$1.png")"; then
      echo "   screenshot $out/$1.png"
      return 0
    fi
    sleep 0.3
  done
  fail "could not photograph $1"
}
shot_running() {  # <name> <ms after the running screen appears>
  if wine "$probe" running "$(winepath -w "$out/$1.png")" "$2"; then
    echo "   screenshot $out/$1.png"
  else
    fail "could not photograph the running screen $1"
  fi
}

echo "== install"
rm -rf "$installed"
start install "$installer" "/target=$target" /pace=1000
wait_log "shell open and shown" && shot install-idle
click 0x66 && shot install-options
click 0x65 && shot_running install-running 2200
wait_log "worker exited" && shot install-done
click 0x65 && wait_log "the application took over"
finish install
[ "${code:-}" = 0 ] || fail "install: exit code ${code:-none}"
for _ in $(seq 10); do [ "$(cat "$out/install.stdout")" = AID1 ] && break; sleep 0.2; done
[ "$(cat "$out/install.stdout")" = AID1 ] || fail "install: standard output was not exactly AID1"
diff -r "$build/bin/sample/payload" "$installed" >/dev/null || fail "install: the installed files differ from the payload"
pgrep -f 'TovrakNsisSample.sample_app\.exe' >/dev/null || fail "install: the application does not run"
[ -s "$shortcut" ] || fail "install: no desktop shortcut, although its box was ticked"

echo "== uninstall (the application still runs)"
start uninstall "$installer" /uninstall "/target=$target" /pace=600
wait_log "shell open and shown" && shot uninstall-idle
click 0x66 && shot uninstall-options
click 0x65 && shot_running uninstall-running 1000
wait_log "worker exited" && shot uninstall-done
click 0x65
finish uninstall
[ "${code:-}" = 0 ] || fail "uninstall: exit code ${code:-none}"
grep -q "asking them to close" "$log" || fail "uninstall: the running application was not closed first"
[ ! -e "$installed" ] || fail "uninstall: $installed is still there"
[ ! -e "$shortcut" ] || fail "uninstall: the desktop shortcut is still there"

echo "== install from a corrupted payload"
start corrupt "$corrupt/TovrakSample.exe" '/target=C:\TovrakNsisCorrupt'
wait_log "shell open and shown"
click 0x65 && wait_log "failure screen" && shot install-failed
click 0x66 && shot install-failed-diagnostics
click 0x67
finish corrupt
[ "${code:-}" = 1603 ] || fail "corrupt: exit code ${code:-none}, expected 1603"
grep -q 'failure at verify: 103|.*README\.txt' "$log" || fail "corrupt: the worker's failure does not name the file"
[ ! -s "$out/corrupt.stdout" ] || fail "corrupt: a failed installation acknowledged a takeover"
[ ! -e "$WINEPREFIX/drive_c/TovrakNsisCorrupt" ] || fail "corrupt: files were installed from a corrupted payload"

for _ in $(seq 50); do pgrep -f 'TovrakNsisSample.sample_app\.exe|TovrakSample\.exe' >/dev/null || break; sleep 0.2; done
pgrep -af 'TovrakNsisSample.sample_app\.exe|TovrakSample\.exe' && fail "processes of the run are still there"

echo "== silent deployment"
"$root/tests/e2e/silent_deployment.sh" "$build" "$installer" TovrakSampleNsis "Tovrak 示例 (NSIS)" /pace=1000 \
  -- "$corrupt/TovrakSample.exe" || failures=$((failures + $?))
[ $failures = 0 ] && echo "== the NSIS installer: every flow passed; screenshots in $out"
exit $failures
