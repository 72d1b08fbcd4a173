#!/usr/bin/env bash
# Starts the real executable as a person would, on a virtual X server: the
# window must come up, close on Esc and leave the first save's bytes in the
# settings file of the user's configuration folder; a second start ended by
# SIGTERM must save the same way.
#   window_smoke.sh TRIMBREL_EXECUTABLE
set -euo pipefail
binary=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work XDG_CONFIG_HOME=$work/config
unset QT_QPA_PLATFORM
# Qt's own allocations at exit are not ours to chase here.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0

timeout 120 xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -u
  "$1" >"$2/out.txt" 2>&1 &
  pid=$!
  window=$(timeout 60 xdotool search --sync --onlyvisible --name "^Trimbrel" | head -n 1)
  [ -n "$window" ] || { echo "no window appeared"; kill $pid; exit 1; }
  xdotool windowfocus --sync "$window"
  xdotool key --clearmodifiers Escape
  wait $pid
' smoke "$binary" "$work" || { echo "the program did not close on Esc:"; cat "$work/out.txt"; exit 1; }

ini=$XDG_CONFIG_HOME/trimbrel/Trimbrel.ini
expected=$work/expected.ini
printf '[主界面]\r\n按钮修改.标记=\r\n编辑框宽=2.6\r\n编辑框高=3.2\r\n组合框保存格式=1\r\n组合框基准=0\r\n组合框单位=1\r\n编辑框dpi=150\r\n按钮打赏.标记=' |
  iconv -f UTF-8 -t GBK >"$expected"
if ! cmp "$expected" "$ini"; then
  echo "the settings file differs from the first save:"
  od -c "$ini" | head -n 20
  exit 1
fi
# SIGTERM saves as a close does: from a file holding only the section's
# header, the same entries come back.
printf '[主界面]' | iconv -f UTF-8 -t GBK >"$ini"
timeout 120 xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -u
  "$1" >"$2/out.txt" 2>&1 &
  pid=$!
  timeout 60 xdotool search --sync --onlyvisible --name "^Trimbrel" >/dev/null || { kill $pid; exit 1; }
  kill -TERM $pid
  wait $pid
' smoke "$binary" "$work" || { echo "the program did not end on SIGTERM with status 0:"; cat "$work/out.txt"; exit 1; }
if ! cmp "$expected" "$ini"; then
  echo "SIGTERM did not save the inputs:"
  od -c "$ini" | head -n 20
  exit 1
fi
echo "window smoke: opened, closed on Esc and on SIGTERM, saved the inputs both times"
