#!/usr/bin/env bash
# Deploys a sample installer silently as an administrator would, inside a running Wine session
# (scripts/wine_session.sh), and checks what the installer must do:
#
#   silent_deployment.sh <build dir> <installer.exe> <uninstall key name> <shortcut name> <pace switch>
#                        -- <installer.exe of a corrupted payload> [<its switches>...]
#
# 1. /S into a folder with spaces (/D= unquoted, last): exit 0, no window, the installed files are
#    the payload, the desktop shortcut leads to the application, the Apps & features entry has its
#    values; a second installation meanwhile exits with 1618 and installs nothing;
# 2. the entry's QuietUninstallString, while the application runs from the folder: exit 0, the
#    application was closed, the files, the shortcut and the entry are gone;
# 3. /S with a corrupted payload: exit 1603, the log's result names the stage and the file, nothing
#    is installed or registered.
# Every run writes a /log=; the pace switch slows the first installation down so that the second
# one meets it. Exits with the number of failed checks.
set -uo pipefail
build=$(cd "$1" && pwd)
installer=$2
key="HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$3"
shortcut_name=$4
pace=$5
shift 5
[ "${1:-}" = -- ] || { echo "usage: see the head of $0" >&2; exit 2; }
shift
corrupt=("$@")
bin="$build/bin"
drive_c="$WINEPREFIX/drive_c"
work=$(mktemp -d)
# Wine's user folder is named after the Unix user; its desktop may be a link to the home folder.
shortcut="$drive_c/users/$(id -un)/Desktop/$shortcut_name.lnk"
spaced='C:\Tovrak Silent Deployment\Sample App'
spaced_dir="$drive_c/Tovrak Silent Deployment/Sample App"
forget() { rm -rf "$drive_c/Tovrak Silent Deployment" "$shortcut"; wine reg delete "$key" /f >/dev/null 2>&1; }
trap 'rm -rf "$work"; forget' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --build "$build" --target window_probe exit_code >/dev/null || { echo "cannot build the probes"; exit 1; }
# The installers' codes are wider than the 8 bits that Wine gives a Linux shell: exit_code.exe runs
# the program and writes its whole exit code into a file.
run() {  # <name> <program (Windows path)> <args...>: exit code in <name>.exit, log in <name>.log
  local name=$1
  shift
  rm -f "$work/$name.exit"
  wine "$bin/exit_code.exe" "$(winepath -w "$work/$name.exit")" "$1" "/log=$(winepath -w "$work/$name.log")" \
    "${@:2}" </dev/null 2>/dev/null | cat >/dev/null
}
silent() {  # <name> <installer> <args...>
  local name=$1 exe=$2
  shift 2
  run "$name" "$(winepath -w "$exe")" /S "$@"
}
exit_of() { cat "$work/$1.exit" 2>/dev/null; }
log_has() { grep -q -- "$2" "$work/$1.log" 2>/dev/null; }
expect_in_log() { log_has "$1" "$2" || fail "$1: the log does not say '$2'"; }
show_log() { sed 's/^/    /' "$work/$1.log" 2>/dev/null; }
entry_value() { wine reg query "$key" /v "$1" 2>/dev/null | sed -n "s/^ *$1 *REG_[A-Z]* *//p" | tr -d '\r'; }
payload_dir="$bin/sample/payload"
forget

echo "== silent install into a folder with spaces, and a second installation meanwhile"
# /D= unquoted and last, as an administrator types it: Wine joins the words with single spaces.
# shellcheck disable=SC2086
silent first "$installer" $pace /D=$spaced &
first=$!
for _ in $(seq 150); do log_has first 'stage verify' && break; sleep 0.2; done
expect_in_log first 'stage verify'
wine "$bin/window_probe.exe" center 0x67 >/dev/null 2>&1 && fail "silent: the installer's window is on the screen"
silent second "$installer" '/D=C:\TovrakSecondInstallation'
[ "$(exit_of second)" = 1618 ] || fail "second: exit code $(exit_of second), expected 1618 (another installation runs)"
expect_in_log second 'another installation'
[ ! -e "$drive_c/TovrakSecondInstallation" ] || fail "second: it installed beside the first"
wait $first
show_log first
[ "$(exit_of first)" = 0 ] || fail "silent install: exit code $(exit_of first)"
diff -r "$payload_dir" "$spaced_dir" >/dev/null || fail "silent install: the installed files differ from the payload"
[ -s "$shortcut" ] || fail "silent install: no desktop shortcut"
# A shell link holds its target's path in ANSI as well.
grep -aqF "$spaced\\sample_app.exe" "$shortcut" 2>/dev/null ||
  fail "silent install: the shortcut does not lead to the application"
for value in DisplayName DisplayVersion Publisher InstallLocation UninstallString QuietUninstallString \
             EstimatedSize NoModify NoRepair; do
  [ -n "$(entry_value $value)" ] || fail "silent install: the Apps & features entry has no $value"
done
[ "$(entry_value InstallLocation)" = "$spaced" ] || fail "silent install: InstallLocation is '$(entry_value InstallLocation)'"
[ "$(entry_value NoModify)" = 0x1 ] || fail "silent install: NoModify is '$(entry_value NoModify)'"
[ "$(entry_value NoRepair)" = 0x1 ] || fail "silent install: NoRepair is '$(entry_value NoRepair)'"
for line in 'stage shortcut' 'stage register' 'progress 100' 'result 0'; do expect_in_log first "$line"; done

echo "== the entry's quiet uninstall command, while the application runs"
wine "$spaced\\sample_app.exe" >/dev/null 2>&1 &
for _ in $(seq 100); do pgrep -f 'Sample App.sample_app\.exe' >/dev/null && break; sleep 0.2; done
sleep 1  # its window up, which the installer asks to close
quiet=$(entry_value QuietUninstallString)
echo "   $quiet"
program=${quiet#\"}
program=${program%%\"*}
arguments=${quiet#\""$program"\" }
# The command as Apps & features would run it, with a log added before the /D= that ends it.
# shellcheck disable=SC2086
run uninstall "$program" $arguments
show_log uninstall
[ "$(exit_of uninstall)" = 0 ] || fail "silent uninstall: exit code $(exit_of uninstall)"
expect_in_log uninstall 'asking them to close'
[ ! -e "$spaced_dir" ] || fail "silent uninstall: $spaced_dir is still there"
[ ! -e "$shortcut" ] || fail "silent uninstall: the desktop shortcut is still there"
wine reg query "$key" >/dev/null 2>&1 && fail "silent uninstall: the Apps & features entry is still there"
pgrep -f 'Sample App.sample_app\.exe' >/dev/null && fail "silent uninstall: the application still runs"

echo "== silent install of a corrupted payload"
silent corrupt "${corrupt[0]}" "${corrupt[@]:1}" '/D=C:\TovrakSilentCorrupt'
show_log corrupt
[ "$(exit_of corrupt)" = 1603 ] || fail "corrupt: exit code $(exit_of corrupt), expected 1603"
grep 'result 1603' "$work/corrupt.log" 2>/dev/null | grep -q 'stage verify.*README\.txt' ||
  fail "corrupt: the log's result does not name the stage and the file"
[ ! -e "$drive_c/TovrakSilentCorrupt" ] || fail "corrupt: files were installed from a corrupted payload"
wine reg query "$key" >/dev/null 2>&1 && fail "corrupt: a corrupted payload was registered"

[ $failures = 0 ] && echo "== silent deployment: every check passed"
exit $failures
