# Sourced by the benchmark scripts: installs what a benchmark needs and
# builds the programs it times, in the folder $BUILD_DIR (default build-bench).

bench_build=${BUILD_DIR:-build-bench}

# bench_install PACKAGE...: installs the Debian packages that are missing (as root).
bench_install() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "== installing: ${missing[*]}" >&2
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
  fi
}

# bench_build_targets TARGET...: a Release build without the window and the tests.
bench_build_targets() {
  cmake -S . -B "$bench_build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRIMBREL_BENCH=ON \
    -DTRIMBREL_BUILD_UI=OFF -DTRIMBREL_BUILD_TESTS=OFF >/dev/null
  local t
  for t in "$@"; do cmake --build "$bench_build" -j2 --target "$t" >&2; done
}
