#!/usr/bin/env bash
# Compares the benchmarks of an earlier revision with those of the work tree:
#
#   scripts/bench_compare.sh REV [benchmark ...]
#
# (by default the shell's: shell_layout shell_input shell_paint shell_first_frame)
#
# REV is built from git into a folder of its own (build-bench/<commit>/), the work tree into its usual
# build folder. The benchmarks run alternately, each build in its own processes, for
# TOVRAK_BENCH_ROUNDS rounds (at least 3), and every figure a benchmark prints as "<what> median <n>
# us|ms" is listed with REV's median, the work tree's median and their ratio; a ratio above 1.10 is
# marked. A benchmark that REV does not have yet is taken from the work tree when it builds there.
# The machines are noisy, so this informs and never fails: it exits 0 whatever the ratios.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -lt 1 ]; then
  echo "usage: $0 REV [benchmark ...]" >&2
  exit 2
fi
rev=$1
shift
names=("$@")
[ ${#names[@]} -gt 0 ] || names=(shell_layout shell_input shell_paint shell_first_frame)
rounds=${TOVRAK_BENCH_ROUNDS:-3}
[ "$rounds" -ge 3 ] || rounds=3

"$root/scripts/setup.sh"
source "$root/scripts/platform.sh"
export TOVRAK_ARCH=$(tovrak_test_arch)
commit=$(git -C "$root" rev-parse --verify "$rev^{commit}")
short=$(git -C "$root" rev-parse --short "$commit")
work_build=${TOVRAK_BUILD_DIR:-$(tovrak_build_dir "$root" "$TOVRAK_ARCH")}
rev_root=$root/build-bench/$short
rev_source=$rev_root/source
rev_build=$rev_root/build-$TOVRAK_ARCH

if [ ! -f "$rev_source/CMakeLists.txt" ]; then
  rm -rf "$rev_source"
  mkdir -p "$rev_source"
  git -C "$root" archive "$commit" | tar -x -C "$rev_source"
fi
# A revision from before the 64-bit test build has no toolchain file for it: the work tree's serves.
for file in "$TOVRAK_ARCH-w64-mingw32.cmake" mingw-w64-toolchain.cmake; do
  [ -f "$rev_source/cmake/$file" ] || cp "$root/cmake/$file" "$rev_source/cmake/"
done
for name in "${names[@]}"; do
  if [ ! -f "$rev_source/bench/$name.cpp" ] && [ -f "$root/bench/$name.cpp" ]; then
    echo "$short has no benchmark $name: taking the work tree's."
    cp "$root/bench/$name.cpp" "$rev_source/bench/"
    for header in "$root"/bench/*.h; do [ -f "$rev_source/bench/$(basename "$header")" ] || cp "$header" "$rev_source/bench/"; done
  fi
done

# mingw-w64's 64-bit comctl32 import library leaves out GetWindowSubclass; a revision from before the
# 64-bit test build does not make up for it, so it gets the function's import on every link line.
rev_options=()
if [ "$TOVRAK_ARCH" = x86_64 ] && ! grep -q comctl32_extra "$rev_source/CMakeLists.txt"; then
  printf 'LIBRARY comctl32.dll\nEXPORTS\nGetWindowSubclass\n' >"$rev_root/comctl32_extra.def"
  /usr/lib/llvm-16/bin/llvm-dlltool -m i386:x86-64 -d "$rev_root/comctl32_extra.def" -l "$rev_root/libcomctl32_extra.a"
  rev_options=("-DCMAKE_CXX_STANDARD_LIBRARIES=$rev_root/libcomctl32_extra.a -lkernel32 -luser32 -lgdi32 -lwinspool -lshell32 -lole32 -loleaut32 -luuid -lcomdlg32 -ladvapi32")
fi

# Builds each benchmark it can; what fails to build in a revision is left out of its column.
build_benchmarks() {
  local source=$1 build=$2
  shift 2
  cmake -S "$source" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$source/cmake/$TOVRAK_ARCH-w64-mingw32.cmake" "$@" >/dev/null
  for name in "${names[@]}"; do
    cmake --build "$build" -j"$(nproc)" --target "bench_$name" >"$build/bench_$name.log" 2>&1 ||
      echo "bench_$name does not build in $source (see $build/bench_$name.log)"
  done
  # The shell benchmarks start the test programs and read the sample pictures of their own tree.
  cmake --build "$build" -j"$(nproc)" --target tovrak_test_programs >/dev/null 2>&1 || true
}
echo "Building $short in $rev_build ..."
build_benchmarks "$rev_source" "$rev_build" "${rev_options[@]}"
echo "Building the work tree in $work_build ..."
build_benchmarks "$root" "$work_build"

source "$root/scripts/wine_session.sh"
# Both builds run in the work tree's prefix and one session, so that neither pays for a colder Wine.
start_wine_session "$work_build" >/dev/null

results=$(mktemp -d)
declare -A builds=([rev]=$rev_build [work]=$work_build)
run_one() {
  local side=$1 name=$2 round=$3
  local exe=${builds[$side]}/bin/bench_$name.exe
  [ -f "$exe" ] || return 0
  wine "$exe" >"$results/$side.$name.$round.txt" 2>/dev/null </dev/null || true
}
for round in $(seq "$rounds"); do
  echo "round $round of $rounds"
  # Alternate which side goes first, so that neither always runs on a warmer machine.
  sides=(rev work)
  [ $((round % 2)) -eq 1 ] || sides=(work rev)
  for name in "${names[@]}"; do
    for side in "${sides[@]}"; do run_one "$side" "$name" "$round"; done
  done
done
stop_wine_session

python3 - "$results" "$short" "${names[@]}" <<'EOF'
import glob, os, re, statistics, sys

results, short, names = sys.argv[1], sys.argv[2], sys.argv[3:]
figure = re.compile(r"^\s*(.*?)\s+median\s+([0-9.]+)\s*(us|ms)\b")

def figures(side, name):
    values = {}
    for path in sorted(glob.glob(os.path.join(results, f"{side}.{name}.*.txt"))):
        with open(path, encoding="utf-8", errors="replace") as text:
            for line in text:
                match = figure.match(line)
                if not match:
                    continue
                what = match.group(1).strip()
                value = float(match.group(2)) * (1000.0 if match.group(3) == "ms" else 1.0)
                values.setdefault(what, []).append(value)
    # In the order the benchmark prints them.
    return {what: statistics.median(v) for what, v in values.items()}

def show(us):
    return "-" if us is None else (f"{us / 1000:.2f} ms" if us >= 1000 else f"{us:.1f} us")

width = 48
print()
print(f"{'figure':<{width}} {short:>11} {'work tree':>11} {'ratio':>7}")
for name in names:
    before, after = figures("rev", name), figures("work", name)
    order = list(after) + [what for what in before if what not in after]
    print(f"== {name}")
    for what in order:
        a, b = before.get(what), after.get(what)
        ratio = b / a if a and b is not None else None
        mark = "  <-- slower" if ratio is not None and ratio > 1.10 else ""
        shown = f"{ratio:.2f}x" if ratio is not None else "-"
        print(f"{what[:width]:<{width}} {show(a):>11} {show(b):>11} {shown:>7}{mark}")
EOF
rm -rf "$results"
exit 0
