#!/usr/bin/env bash
# The image pipeline's costs on a 6000 × 4000 photo: its JPEG decode, the
# shrink of its canvas for the default target 154 × 189, and writing that
# picture in the five formats. The photo comes from Debian's mate-backgrounds
# and is scaled to 6000 × 4000 and re-encoded as a baseline JPEG inside the
# program. Medians of several runs, in thread CPU time.
#   bash bench/imaging.sh [runs]        BUILD_DIR picks the build folder
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
build=${BUILD_DIR:-build-bench}

missing=()
for p in mate-backgrounds cmake ninja-build; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRIMBREL_BENCH=ON \
  -DTRIMBREL_BUILD_UI=OFF -DTRIMBREL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target bench_imaging >/dev/null
"$build/bench/bench_imaging" /usr/share/backgrounds/mate/abstract/Elephants_5640x3172.jpg "$runs"
