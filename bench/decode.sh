#!/usr/bin/env bash
# JPEG decoding against libjpeg-turbo's own djpeg, side by side on the same
# photographs (Debian's mate-backgrounds, plus a baseline copy of the largest
# made with jpegtran). Whole processes are timed alternately, so both pay for
# start-up and reading the file; medians of several runs and their ratio.
#   bash bench/decode.sh [runs]        BUILD_DIR picks the build folder
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
source bench/common.sh
bench_install libjpeg-turbo-progs mate-backgrounds cmake ninja-build
bench_build_targets bench_decode
bench="$bench_build/bench/bench_decode"

mate=/usr/share/backgrounds/mate
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
jpegtran -optimize "$mate/abstract/Elephants_5640x3172.jpg" >"$tmp/Elephants_5640x3172_baseline.jpg"
photos=(
  "$mate/abstract/Elephants_5640x3172.jpg"
  "$tmp/Elephants_5640x3172_baseline.jpg"
  "$mate/abstract/Elephants_3840x2160.jpg"
  "$mate/nature/RainDrops.jpg"
)

# Wall time of one command in milliseconds, output discarded.
wall() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null
  end=$(date +%s%N)
  echo $(((end - start) / 1000))
}
median() { sort -n | awk '{v[NR]=$1} END {m = NR % 2 ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2; printf "%.1f", m / 1000}'; }

printf '%-34s %12s %12s %7s\n' photo "ours (ms)" "djpeg (ms)" ratio
for photo in "${photos[@]}"; do
  ours=() theirs=()
  for ((i = 0; i < runs; i++)); do
    if ((i % 2)); then
      theirs+=("$(wall djpeg -bmp "$photo")")
      ours+=("$(wall "$bench" --runs 1 "$photo")")
    else
      ours+=("$(wall "$bench" --runs 1 "$photo")")
      theirs+=("$(wall djpeg -bmp "$photo")")
    fi
  done
  a=$(printf '%s\n' "${ours[@]}" | median)
  b=$(printf '%s\n' "${theirs[@]}" | median)
  printf '%-34s %12s %12s %7s\n' "$(basename "$photo")" "$a" "$b" "$(awk -v a="$a" -v b="$b" 'BEGIN {printf "%.2f", a / b}')"
done
echo
echo "in-process medians (LoadPicture, and the row stream at each scale):"
"$bench" --runs "$runs" "${photos[@]}"
