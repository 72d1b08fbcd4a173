#!/usr/bin/env bash
# The newcomer's path on Debian 12, as root:
#   bash scripts/dev.sh run    install what is missing, build, run the program
#   bash scripts/dev.sh test   install what is missing, build, run every test
# `test` runs the unit tests, then the same tests built with AddressSanitizer
# and UndefinedBehaviorSanitizer, then each fuzzer for a short bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  g++ cmake ninja-build git
  libgtest-dev libgmock-dev
  libjpeg62-turbo-dev libpng-dev libtiff-dev zlib1g-dev libgif-dev
  qt6-base-dev qt6-qpa-plugins fonts-wqy-zenhei
)
# The window's smoke test runs the real program on a virtual X server and
# presses Esc there; the assets check reruns the script that draws them. The
# install checks build the Debian package (dpkg-shlibdeps, file) and run the
# desktop's own checkers on what is installed: desktop-file-validate,
# appstreamcli, lintian and man.
test_packages=(clang libclang-rt-14-dev locales xvfb xauth xdotool python3
  dpkg-dev file desktop-file-utils appstream lintian man-db)

install_missing() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "== installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

jobs=$(nproc)

build() {  # build DIR [cmake options...]
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

case "${1:-}" in
  run)
    install_missing "${packages[@]}"
    build build -DCMAKE_BUILD_TYPE=Release
    shift
    exec ./build/trimbrel "$@"
    ;;
  test)
    install_missing "${packages[@]}" "${test_packages[@]}"
    export QT_QPA_PLATFORM=offscreen
    # A locale with a decimal comma, so the tests can show that numbers are
    # read and written the same whatever locale the window sets.
    if ! locale -a 2>/dev/null | grep -qi '^de_DE.utf-\?8$'; then
      localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "warning: no de_DE.UTF-8 locale; the locale tests will skip"
    fi
    echo "== unit tests"
    build build -DCMAKE_BUILD_TYPE=Release
    ctest --test-dir build --output-on-failure -j "$jobs"
    echo "== unit tests with AddressSanitizer and UndefinedBehaviorSanitizer"
    build build-asan -DCMAKE_BUILD_TYPE=Debug -DTRIMBREL_SANITIZE=ON
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
      LSAN_OPTIONS=suppressions="$PWD/scripts/lsan.supp" \
      ctest --test-dir build-asan --output-on-failure -j "$jobs"
    echo "== fuzz smoke runs"
    CC=clang CXX=clang++ build build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DTRIMBREL_FUZZ=ON -DTRIMBREL_BUILD_UI=OFF -DTRIMBREL_BUILD_TESTS=OFF
    ctest --test-dir build-fuzz --output-on-failure -j "$jobs"
    ;;
  *)
    sed -n '2,6p' "$0"
    exit 2
    ;;
esac
