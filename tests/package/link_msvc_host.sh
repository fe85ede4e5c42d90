#!/usr/bin/env bash
# Installs the built package into a scratch prefix, builds a host for the MSVC ABI against its
# include/ and lib/TovrakRenderer.lib with lld-link (as Visual Studio's link.exe would take it), and runs
# that host with the installed DLL beside it.
#   link_msvc_host.sh <build folder> <folder of clang, lld-link and llvm-dlltool>
set -euo pipefail
build=$(cd "$1" && pwd)
llvm=$2
source_dir=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
lib=$scratch/prefix/lib/TovrakRenderer.lib
[ -f "$lib" ] || { echo "the package has no lib/TovrakRenderer.lib" >&2; exit 1; }

# The package's architecture: the 32-bit product, or the 64-bit test build.
if grep -q '^CMAKE_TOOLCHAIN_FILE.*x86_64' "$build/CMakeCache.txt"; then
  arch=x86_64 machine=i386:x86-64 machine_link=x64 kernel32_export=ExitProcess
else
  arch=i686 machine=i386 machine_link=x86 kernel32_export=ExitProcess@4
fi

cd "$scratch"
"$llvm/clang" --target=$arch-pc-windows-msvc -ffreestanding -nostdlibinc -O2 -Wall -Wextra -Werror \
  -I"$source_dir/msvc_host" -I"$scratch/prefix/include" -c "$source_dir/msvc_host/msvc_host.c" -o host.obj
printf 'LIBRARY kernel32.dll\nEXPORTS\n%s\n' "$kernel32_export" >kernel32.def
"$llvm/llvm-dlltool" -m $machine -d kernel32.def -l kernel32.lib -k
"$llvm/lld-link" -nologo -nodefaultlib -subsystem:console -entry:start -machine:$machine_link host.obj "$lib" \
  kernel32.lib -out:host.exe
cp "$scratch/prefix/bin/TovrakRenderer.dll" .
status=0
wine host.exe || status=$?
if [ $status -gt 7 ]; then
  echo "the host did not run to its end (exit status $status)" >&2
  exit 1
elif [ $status -ne 0 ]; then
  echo "the host ran, but these calls answered wrongly (bits of $status): 1 ShellPoll, 2 SetPath," \
    "4 FindOwnedProcesses" >&2
  exit 1
fi
echo "an MSVC-ABI host ($arch) linked against lib/TovrakRenderer.lib and called the DLL"
