#!/usr/bin/env bash
# A long fuzzing campaign, as opposed to CI's short smoke runs:
#   bash fuzz/campaign.sh SECONDS [TARGET...]
# Builds the fuzzers (ASan + UBSan, clang), then runs each target for SECONDS
# of CPU time on the kept corpus plus our generated seeds, two at a time at the
# lowest priority so other work on the machine goes first. A finding stops a
# run; its input is kept under out/fuzz/findings/ and the target starts again
# until its time is spent. At the end each target's corpus is merged down to
# the inputs that add coverage and written back to fuzz/corpus/<target>/, and
# fuzz/hours.tsv, kept in the repository, gains one line per target: date,
# target, CPU seconds and the commit fuzzed.
# FUZZ_UNTIL (anything `date -d` reads, such as 16:50) ends every run by then
# even when its CPU time is not spent, so a campaign fits a working session;
# what was spent up to then is merged and recorded all the same.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:?usage: fuzz/campaign.sh SECONDS [TARGET...]}
shift
build=${FUZZ_BUILD:-build-fuzz}
out=out/fuzz
parallel=${FUZZ_PARALLEL:-2}
until_epoch=
[ -n "${FUZZ_UNTIL:-}" ] && until_epoch=$(date -d "$FUZZ_UNTIL" +%s)

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTRIMBREL_FUZZ=ON -DTRIMBREL_BUILD_UI=OFF -DTRIMBREL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
fuzzed=$(git rev-parse --short HEAD)$(git diff --quiet HEAD -- . ':!fuzz/corpus' ':!fuzz/hours.tsv' || echo +)

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/fuzz_*.cpp; do targets+=("$(basename "$f" .cpp | sed 's/^fuzz_//')"); done
fi

mkdir -p "$out/findings"
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1

run_target() {  # run_target NAME
  local name=$1 exe="$build/fuzz/fuzz_$1" work="$out/work/$1" spent=0 cpu wall
  rm -rf "$work" && mkdir -p "$work/corpus" "$work/seeds"
  [ -x "$build/fuzz/seeds_$name" ] && "$build/fuzz/seeds_$name" "$work/seeds" >/dev/null
  [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$work/corpus/"
  while [ "$spent" -lt "$seconds" ]; do
    wall=$((seconds - spent))
    if [ -n "$until_epoch" ]; then
      [ "$wall" -gt $((until_epoch - $(date +%s))) ] && wall=$((until_epoch - $(date +%s)))
      [ "$wall" -le 0 ] && break
    fi
    # The budget is CPU time: at the lowest priority the wall clock says little,
    # and the timeout is generous for the same reason (it counts wall time).
    cpu=$( { TIMEFORMAT='%R %U %S'; time nice -n 19 "$exe" -max_total_time="$wall" \
      -rss_limit_mb=2048 -timeout=60 -artifact_prefix="$out/findings/$name-" -print_final_stats=1 \
      "$work/corpus" "$work/seeds" >>"$work/log" 2>&1 || echo "$(date -u +%FT%TZ) finding in $name (see $work/log)" >>"$out/findings.log"; } 2>&1 |
      awk 'NF == 3 { printf "%d", $2 + $3 + 1 }')
    spent=$((spent + ${cpu:-1}))
  done
  mkdir -p "fuzz/corpus/$name.new"
  "$exe" -merge=1 -rss_limit_mb=2048 -timeout=10 "fuzz/corpus/$name.new" "$work/corpus" "$work/seeds" \
    >>"$work/log" 2>&1
  rm -rf "fuzz/corpus/$name" && mv "fuzz/corpus/$name.new" "fuzz/corpus/$name"
  printf '%s\t%s\t%s\t%s\n' "$(date -u +%F)" "$name" "$spent" "$fuzzed" >>fuzz/hours.tsv
  echo "$name: $spent s, corpus $(du -sh "fuzz/corpus/$name" | cut -f1) in $(ls "fuzz/corpus/$name" | wc -l) files"
}

for name in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do wait -n || true; done
  run_target "$name" &
done
wait
