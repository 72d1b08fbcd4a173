#!/usr/bin/env bash
# Times the window on a virtual X server: start-up, a 20-photo run from the
# window against the command line, paint gaps, and the command line's cost
# of having a window (against a build without it).
#   bash bench/window.sh [--runs N]
# Installs its tools when missing (as root). Takes a few minutes; not part of CI.
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/common.sh
bench_install xvfb xauth xdotool python3-pil mate-backgrounds libjpeg-turbo-progs time \
  g++ cmake ninja-build libjpeg62-turbo-dev libpng-dev libtiff-dev zlib1g-dev qt6-base-dev qt6-qpa-plugins \
  fonts-wqy-zenhei
bench_build_targets trimbrel
with_window=${BUILD_DIR:-build-bench}-window
cmake -S . -B "$with_window" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRIMBREL_BENCH=ON -DTRIMBREL_BUILD_TESTS=OFF >/dev/null
cmake --build "$with_window" -j2 --target trimbrel bench_window >&2

unset QT_QPA_PLATFORM
exec xvfb-run -a -s "-screen 0 1600x1000x24" /usr/bin/python3 bench/window.py \
  --trimbrel "$with_window/trimbrel" --headless "$bench_build/trimbrel" \
  --bench-window "$with_window/bench/bench_window" "$@"
