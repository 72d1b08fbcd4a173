#!/usr/bin/env bash
# Draws the main window offscreen into main-window.png beside this script:
# the screenshot of the package's description. Run it after changing how
# the window looks, and commit the picture.
#   data/screenshots/make-screenshot.sh [BUILD_FOLDER]   (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
cmake --build "$build" --target desktop_screenshot_test
QT_QPA_PLATFORM=offscreen TRIMBREL_WRITE_SCREENSHOT="$here/main-window.png" \
  "$build/tests/desktop/desktop_screenshot_test" >/dev/null
echo "wrote $here/main-window.png"
