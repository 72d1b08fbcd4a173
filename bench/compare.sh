#!/usr/bin/env bash
# Runs trimbrel side by side with ImageMagick, GraphicsMagick, libvips and
# Pillow on real photographs and prints a table of median times, peak memory
# and batch throughput, each as a ratio to trimbrel from the same run, and
# each road's ratio to bare decoding (djpeg -ppm for the exact road, djpeg
# -scale 1/N -bmp at the scale --fast picks for the photo), timed in the same
# interleaved runs.
#   bash bench/compare.sh [--runs N] [--skip-batch] [--psnr-only] [--only TEXT] [--floors]
# Installs its tools when missing (as root). Set TRIMBREL to an existing
# executable to skip the build. Takes several minutes; not part of CI.
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/common.sh
bench_install imagemagick graphicsmagick libvips-tools python3-pil libjpeg-turbo-progs mate-backgrounds time \
  g++ cmake ninja-build libjpeg62-turbo-dev libpng-dev libtiff-dev zlib1g-dev
if [ -z "${TRIMBREL:-}" ]; then
  bench_build_targets trimbrel
  TRIMBREL=$bench_build/trimbrel
fi

# Debian's Python, which is the one python3-pil belongs to.
exec /usr/bin/python3 bench/compare.py --trimbrel "$TRIMBREL" "$@"
