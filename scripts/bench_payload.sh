#!/usr/bin/env bash
# Payload verification beside the peer a user would pick: prepares the two benchmark payloads natively
# (one file of 512 MiB; 10000 files of 4 KiB in 100 directories), times `sha256sum -c` on them with a
# warm cache, then runs bench_payload_verify.exe under Wine on the same files and prints everything
# side by side.   scripts/bench_payload.sh [work directory]   (the files are kept for the next run)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TOVRAK_BUILD_DIR:-$root/build}
work=$(mkdir -p "${1:-/tmp/tovrak-bench-payload}" && cd "${1:-/tmp/tovrak-bench-payload}" && pwd)

"$root/scripts/build.sh" "$build" bench_payload_verify >/dev/null

large=$work/large
small=$work/small
if [ "$(stat -c %s "$large/big.bin" 2>/dev/null || echo 0)" != 536870912 ]; then
  echo "Writing $large/big.bin ..."
  mkdir -p "$large"
  head -c 536870912 /dev/urandom >"$large/big.bin"
fi
if [ "$(find "$small" -type f 2>/dev/null | wc -l)" != 10000 ]; then
  echo "Writing 10000 files below $small ..."
  rm -rf "$small" && mkdir -p "$small"
  # One stream cut into f0000.bin ... f9999.bin, then 100 of them into each of d00 ... d99.
  head -c $((4096 * 10000)) /dev/urandom | (cd "$small" && split -b 4096 -d -a 4 --additional-suffix=.bin - f)
  for d in $(seq 0 99); do
    dir=$(printf 'd%02d' "$d")
    mkdir "$small/$dir"
    (cd "$small" && mv $(seq -f 'f%04g.bin' $((d * 100)) $((d * 100 + 99))) "$dir/")
  done
fi
(cd "$large" && sha256sum big.bin >"$work/large.sha256")
(cd "$small" && find . -type f | sort | xargs sha256sum >"$work/small.sha256")

# Best of three with the files in the page cache, as the Wine runs will have them.
best_time() {
  local dir=$1 sums=$2 best=
  find "$dir" -type f -exec cat {} + >/dev/null
  for _ in 1 2 3; do
    local start end elapsed
    start=$(date +%s.%N)
    (cd "$dir" && sha256sum -c --quiet "$sums")
    end=$(date +%s.%N)
    elapsed=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
    if [ -z "$best" ] || awk -v a="$elapsed" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$elapsed; fi
  done
  echo "$best"
}
large_time=$(best_time "$large" "$work/large.sha256")
small_time=$(best_time "$small" "$work/small.sha256")
echo "sha256sum -c natively: 512 MiB file ${large_time} s, 10000 small files ${small_time} s"

source "$root/scripts/wine_session.sh"
start_wine_session "$build" >/dev/null
wine "$build/bin/bench_payload_verify.exe" --dir "Z:${work//\//\\}" \
  --sha256sum-large "$large_time" --sha256sum-small "$small_time"
stop_wine_session
