#!/usr/bin/env bash
# End to end: the sample installer, clicked through by its autopilot under Wine, installs the sample
# payload, hands over to the installed application, uninstalls it, runs an update, and refuses a
# corrupted payload. Checks the installed files, the desktop shortcut, the events the host saw, the
# final screens, the takeover acknowledgement and that no process of the run is left behind. Then
# deploys it silently as an administrator would: into a folder with spaces, a second installation
# meanwhile, the uninstall command of its Apps & features entry while the application runs, and a
# corrupted payload; each one's exit code and log.
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

# ---- Silent deployment ----

silent() {  # <name> <args...>: the installer with /S and a log of its own; exit code in <name>.exit
  local name=$1
  shift
  with_exit_code "$work/$name.exit" "$installer" /S "/log=$(winepath -w "$work/$name.log")" "$@" \
    </dev/null 2>/dev/null | cat >/dev/null
}
exit_of() { cat "$work/$1.exit" 2>/dev/null; }
log_has() { grep -q -- "$2" "$work/$1.log" 2>/dev/null; }
expect_in_log() { log_has "$1" "$2" || fail "$1: the log does not say '$2'"; }
show_log() { sed 's/^/    /' "$work/$1.log" 2>/dev/null; }
entry_value() { wine reg query "$key" /v "$1" 2>/dev/null | sed -n "s/^ *$1 *REG_[A-Z]* *//p" | tr -d '\r'; }

spaced='C:\Tovrak End To End\Silent App'
spaced_dir="$drive_c/Tovrak End To End/Silent App"
rm -rf "$drive_c/Tovrak End To End"
forget_installation

echo "== silent install into a folder with spaces, and a second installation meanwhile"
# /D= unquoted and last, as an administrator types it: Wine joins the words with single spaces.
# The first installation pauses after each file, so that the second one meets it.
# shellcheck disable=SC2086
silent first --pace 700 /D=$spaced &
first=$!
for _ in $(seq 150); do log_has first 'stage copy' && break; sleep 0.2; done
expect_in_log first 'stage copy'
wine "$bin/window_probe.exe" center 0x67 >/dev/null 2>&1 && fail "silent: the installer's window is on the screen"
silent second '/D=C:\TovrakSecond'
[ "$(exit_of second)" = 1618 ] || fail "second: exit code $(exit_of second), expected 1618 (another installation runs)"
expect_in_log second 'another installation'
[ ! -e "$drive_c/TovrakSecond" ] || fail "second: it installed beside the first"
wait $first
show_log first
[ "$(exit_of first)" = 0 ] || fail "silent install: exit code $(exit_of first)"
diff -r "$bin/sample/payload" "$spaced_dir" >/dev/null || fail "silent install: the installed files differ from the payload"
[ -s "$shortcut" ] || fail "silent install: no desktop shortcut"
# A shell link holds its target's path in ANSI as well.
grep -aqF "$spaced\\sample_app.exe" "$shortcut" || fail "silent install: the shortcut does not lead to the application"
for value in DisplayName DisplayVersion Publisher InstallLocation UninstallString QuietUninstallString \
             EstimatedSize NoModify NoRepair; do
  [ -n "$(entry_value $value)" ] || fail "silent install: the Apps & features entry has no $value"
done
[ "$(entry_value InstallLocation)" = "$spaced" ] || fail "silent install: InstallLocation is '$(entry_value InstallLocation)'"
[ "$(entry_value NoModify)" = 0x1 ] || fail "silent install: NoModify is '$(entry_value NoModify)'"
for line in 'result 0' 'stage verify' 'stage shortcut' 'stage register' 'progress 100'; do expect_in_log first "$line"; done

echo "== the entry's quiet uninstall command, while the application runs"
wine "$spaced\\sample_app.exe" >/dev/null 2>&1 &
for _ in $(seq 100); do pgrep -f 'Silent App.sample_app\.exe' >/dev/null && break; sleep 0.2; done
sleep 1  # its window up, which the installer asks to close
quiet=$(entry_value QuietUninstallString)
program=${quiet#\"}
program=${program%%\"*}
arguments=${quiet#\""$program"\" }
echo "   $quiet"
# The command as Apps & features would run it, with a log added before the /D= that ends it.
# shellcheck disable=SC2086
with_exit_code "$work/uninstall_spaced.exit" "$program" "/log=$(winepath -w "$work/uninstall_spaced.log")" \
  $arguments </dev/null 2>/dev/null | cat >/dev/null
show_log uninstall_spaced
[ "$(exit_of uninstall_spaced)" = 0 ] || fail "silent uninstall: exit code $(exit_of uninstall_spaced)"
expect_in_log uninstall_spaced 'asking them to close'
[ ! -e "$spaced_dir" ] || fail "silent uninstall: $spaced_dir is still there"
[ ! -e "$shortcut" ] || fail "silent uninstall: the desktop shortcut is still there"
wine reg query "$key" >/dev/null 2>&1 && fail "silent uninstall: the Apps & features entry is still there"
no_leftovers silent

echo "== silent install of a corrupted payload"
silent corrupt_silent --payload "$(winepath -w "$work/corrupt-payload")" /D=C:\\TovrakSilentCorrupt
show_log corrupt_silent
[ "$(exit_of corrupt_silent)" = 1603 ] || fail "silent corrupt: exit code $(exit_of corrupt_silent), expected 1603"
grep 'result 1603' "$work/corrupt_silent.log" | grep -q 'stage verify.*README\.txt' ||
  fail "silent corrupt: the result does not name the stage and the file"
[ ! -e "$drive_c/TovrakSilentCorrupt" ] || fail "silent corrupt: files were installed from a corrupted payload"
wine reg query "$key" >/dev/null 2>&1 && fail "silent corrupt: a corrupted payload was registered"
rm -rf "$drive_c/Tovrak End To End"

[ $failures = 0 ] && echo "all flows passed"
exit $failures
