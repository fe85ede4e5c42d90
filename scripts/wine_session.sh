# Sourced by the project's scripts: a Wine prefix of the build's own, a virtual display and a
# persistent wineserver, all stopped again by stop_wine_session (and on exit).

start_wine_session() {
  local build
  build=$(cd "$1" && pwd)
  local dpi=${2:-96}
  export WINEPREFIX=${WINEPREFIX_OVERRIDE:-$build/wineprefix}
  [ "$dpi" != 96 ] && export WINEPREFIX=$build/wineprefix-$dpi
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$build"
  if grep -q '^CMAKE_TOOLCHAIN_FILE.*x86_64' "$build/CMakeCache.txt" 2>/dev/null; then
    use_wine64 "$build"
  else
    export WINEARCH=win32
  fi

  local displayfile
  displayfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do [ -s "$displayfile" ] && break; sleep 0.1; done
  export DISPLAY=":$(tr -d '[:space:]' <"$displayfile")"
  rm -f "$displayfile"
  trap stop_wine_session EXIT

  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX ..."
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  # The virtual display runs no window manager: windows that Wine lets a manager handle would make
  # it wait (up to 2 s) for a manager's answer on every unmap.
  if ! grep -q '"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    wineserver -w
  fi
  if [ "$dpi" != 96 ]; then
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    wineserver -w
  fi
  # Without a persistent server every Wine process start costs seconds.
  wineserver -p
  # Start Wine's own background processes (services, the desktop) now, with their output going
  # nowhere: started later by a test, they would inherit that test's output pipe and hold it open.
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
  echo "Wine session: WINEPREFIX=$WINEPREFIX DISPLAY=$DISPLAY"
}

# A 64-bit build runs under the 64-bit loader. Debian's "wine" command always picks the 32-bit
# loader when it is installed, so wine, wineboot and winepath are put in front of PATH as calls of
# the 64-bit loader.
use_wine64() {
  local tools=$1/wine64-tools
  export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
  mkdir -p "$tools"
  printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$tools/wine"
  printf '#!/bin/sh\nexec /usr/lib/wine/wine64 wineboot.exe "$@"\n' >"$tools/wineboot"
  printf '#!/bin/sh\nexec /usr/lib/wine/wine64 winepath.exe "$@"\n' >"$tools/winepath"
  chmod +x "$tools/wine" "$tools/wineboot" "$tools/winepath"
  case ":$PATH:" in *":$tools:"*) ;; *) export PATH="$tools:$PATH" ;; esac
}

stop_wine_session() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
  XVFB_PID=
}
