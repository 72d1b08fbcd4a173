#!/usr/bin/env bash
# Runs trimbrel side by side with ImageMagick, GraphicsMagick, libvips and
# Pillow on real photographs and prints a table of median times, peak memory
# and batch throughput, each as a ratio to trimbrel from the same run.
#   bash bench/compare.sh [--runs N] [--skip-batch] [--psnr-only] [--only TEXT]
# Installs its tools when missing (as root). Set TRIMBREL to an existing
# executable to skip the build. Takes several minutes; not part of CI.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(imagemagick graphicsmagick libvips-tools python3-pil libjpeg-turbo-progs mate-backgrounds time
          g++ cmake ninja-build libjpeg62-turbo-dev libpng-dev libtiff-dev zlib1g-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing: ${missing[*]}" >&2
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi

if [ -z "${TRIMBREL:-}" ]; then
  cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRIMBREL_BUILD_UI=OFF \
    -DTRIMBREL_BUILD_TESTS=OFF >/dev/null
  cmake --build build-bench --target trimbrel >&2
  TRIMBREL=build-bench/trimbrel
fi

# Debian's Python, which is the one python3-pil belongs to.
exec /usr/bin/python3 bench/compare.py --trimbrel "$TRIMBREL" "$@"
