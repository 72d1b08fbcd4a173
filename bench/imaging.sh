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
source bench/common.sh
bench_install mate-backgrounds cmake ninja-build
bench_build_targets bench_imaging
"$bench_build/bench/bench_imaging" /usr/share/backgrounds/mate/abstract/Elephants_5640x3172.jpg "$runs"
