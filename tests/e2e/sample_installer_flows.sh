#!/usr/bin/env bash
# End to end: the sample installer, clicked through by its autopilot under Wine, installs the sample
# payload, hands over to the installed application, uninstalls it, runs an update, and refuses a
# corrupted payload. Checks the installed files, the desktop shortcut, the events the host saw, the
# final screens, the takeover acknowledgement and that no process of the run is left behind. Then
# deploys it silently as an administrator would (silent_deployment.sh).
set -uo pipefail
build=$1
bin="$build/bin"
work=$(mktemp -d)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --build "$build" --target sample_payload window_probe exit_code >/dev/null ||
  { echo "cannot build the sample payload"; exit 1; }
drive_c="$WINEPREFIX/drive_c"
installer=$(winepath -w "$bin/sample_installer.exe")
# The installers' codes are wider than the 8 bits that Wine gives a Linux shell: exit_code.exe runs
# the installer and writes its whole exit code into a file.
with_exit_code() {  # <exit file> <program (Windows path)> <args...>
  local file=$1
  shift
  rm -f "$file"
  wine "$bin/exit_code.exe" "$(winepath -w "$file")" "$@"
}
# Wine's user folder is named after the Unix user; its desktop may be a link to the home folder.
shortcut="$drive_c/users/$(id -un)/Desktop/Tovrak 示例.lnk"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\TovrakSample'
forget_installation() { rm -f "$shortcut"; wine reg delete "$key" /f >/dev/null 2>&1; }
trap 'rm -rf "$work"; forget_installation' EXIT

run() {  # <name> <args...>: runs the host, keeps its log and its standard output
  local name=$1
  shift
  mkdir -p "$work/$name"
  with_exit_code "$work/$name/exit" "$installer" --auto --screenshots "$(winepath -w "$work/$name")" "$@" \
    2>"$work/$name/log.txt" | cat >"$work/$name/stdout.bin"
  sed 's/^/    /' "$work/$name/log.txt"
}
expect_log() { grep -q -- "$2" "$work/$1/log.txt" || fail "$1: the host never logged '$2'"; }
expect_shot() { [ -s "$work/$1/$2.png" ] || fail "$1: no screenshot $2.png"; }
no_leftovers() {
  for _ in $(seq 50); do pgrep -f 'sample_(app|worker)\.exe' >/dev/null || return 0; sleep 0.2; done
  fail "$1: processes of the run are still there: $(pgrep -af 'sample_(app|worker)\.exe')"
}

target='C:\TovrakEndToEnd'
rm -rf "$drive_c/TovrakEndToEnd"

echo "== install"
run install --mode install --target "$target"
[ "$(cat "$work/install/exit")" = 0 ] || fail "install: exit code $(cat "$work/install/exit")"
[ "$(cat "$work/install/stdout.bin")" = AID1 ] || fail "install: standard output was not exactly AID1"
diff -r "$bin/sample/payload" "$drive_c/TovrakEndToEnd" >/dev/null || fail "install: installed files differ from the payload"
for line in 'stage verify' 'stage copy' 'worker finished: 4 files' 'worker exited with 0' 'application ready' \
            'application window is up' 'launch status 4' 'the application took over'; do
  expect_log install "$line"
done
for shot in install-idle install-options install-running install-done; do expect_shot install "$shot"; done
[ -s "$shortcut" ] || fail "install: no desktop shortcut, although its box was ticked"
no_leftovers install

echo "== uninstall"
run uninstall --mode uninstall --target "$target"
[ "$(cat "$work/uninstall/exit")" = 0 ] || fail "uninstall: exit code $(cat "$work/uninstall/exit")"
[ ! -e "$drive_c/TovrakEndToEnd" ] || fail "uninstall: the installation directory is still there"
[ ! -e "$shortcut" ] || fail "uninstall: the desktop shortcut is still there"
expect_log uninstall 'worker exited with 0'
expect_shot uninstall uninstall-done
no_leftovers uninstall

echo "== update"
run update --mode update --target "$target"
[ "$(cat "$work/update/exit")" = 0 ] || fail "update: exit code $(cat "$work/update/exit")"
diff -r "$bin/sample/payload" "$drive_c/TovrakEndToEnd" >/dev/null || fail "update: installed files differ from the payload"
for shot in update-0 update-50 update-100; do expect_shot update "$shot"; done
expect_log update 'the application took over'
no_leftovers update
rm -rf "$drive_c/TovrakEndToEnd"
forget_installation

echo "== corrupted payload"
cp -r "$bin/sample/payload" "$work/corrupt-payload"
printf 'X' | dd of="$work/corrupt-payload/README.txt" bs=1 seek=0 conv=notrunc status=none
run corrupt --mode install --target 'C:\TovrakEndToEndCorrupt' --payload "$(winepath -w "$work/corrupt-payload")"
[ "$(cat "$work/corrupt/exit")" = 1603 ] || fail "corrupt: exit code $(cat "$work/corrupt/exit"), expected 1603"
[ ! -s "$work/corrupt/stdout.bin" ] || fail "corrupt: a failed installation acknowledged a takeover"
[ ! -e "$drive_c/TovrakEndToEndCorrupt" ] || fail "corrupt: files were installed from a corrupted payload"
expect_log corrupt 'failure screen'
for shot in install-failed install-failed-diagnostics; do expect_shot corrupt "$shot"; done
no_leftovers corrupt

echo "== silent deployment"
"$(dirname "$0")/silent_deployment.sh" "$build" "$bin/sample_installer.exe" TovrakSample "Tovrak 示例" "--pace 700" \
  -- "$bin/sample_installer.exe" --payload "$(winepath -w "$work/corrupt-payload")" || failures=$((failures + $?))

[ $failures = 0 ] && echo "all flows passed"
exit $failures
