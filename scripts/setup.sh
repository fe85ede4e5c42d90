#!/usr/bin/env bash
# Installs what the build and the Wine test run need on a Debian machine. Safe to run again: it only
# installs what is missing. Needs root (or sudo) the first time.
set -euo pipefail

# Both architectures: the product is built for 32-bit Windows, and a machine that runs no 32-bit
# programs tests a 64-bit build instead (see platform.sh). clang 16 and lld compile and link everything
# (cmake/mingw-w64-toolchain.cmake); the mingw-w64 packages bring the Windows headers, the C runtime
# and the posix thread-model libstdc++ and libgcc it links with. llvm-16 brings llvm-dlltool,
# llvm-windres, llvm-pdbutil and the other tools the build and the package tests use.
packages=(
  clang-16 lld-16 llvm-16
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  wine wine32:i386 wine64 xvfb xauth x11-utils cmake make googletest python3 clang-format fonts-wqy-microhei
  # makensis builds the NSIS sample installer; xdotool clicks through it on the virtual display.
  nsis xdotool
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
# A mirror in the middle of a sync can fail one index; retry, and let the install decide.
for attempt in 1 2 3; do
  $sudo apt-get update -qq && break
  sleep 5
done
apt_install() { $sudo apt-get install -y -qq --no-install-recommends "$@" "${missing[@]}"; }
if ! apt_install; then
  # The i386 and amd64 halves of a multiarch library must carry the same version. When the i386
  # index of the security suite could not be fetched, prefer the main suite for this install so
  # that both halves come from the same place.
  pin=$(mktemp)
  printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' >"$pin"
  chmod 644 "$pin"
  apt_install -o Dir::Etc::preferences="$pin"
  rm -f "$pin"
fi
