#!/usr/bin/env bash
# "Open with" from a file manager, as the launcher starts it: the real
# executable with --window and a photo given relative to the current folder,
# on a virtual X server. The photo must run in the window with the inputs it
# saved last time, the results folder must go to the file manager, and the
# window must stay open until it is closed.
#   window_open_with.sh TRIMBREL_EXECUTABLE
set -euo pipefail
binary=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work XDG_CONFIG_HOME=$work/config
unset QT_QPA_PLATFORM
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0

# The file manager is a stand-in that notes the folder it was asked to show.
mkdir -p "$work/bin" "$work/photos" "$XDG_CONFIG_HOME/trimbrel"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s/opened.txt"\n' "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
export PATH=$work/bin:$PATH

# Saved inputs: 120 x 80 pixels, following the height, PNG files.
printf '[主界面]\r\n组合框单位=0\r\n编辑框宽=120\r\n编辑框高=80\r\n组合框基准=1\r\n组合框保存格式=4' |
  iconv -f UTF-8 -t GBK >"$XDG_CONFIG_HOME/trimbrel/Trimbrel.ini"

# A 60 x 30 photo as a 24-bit BMP.
python3 - "$work/photos/holiday shot.bmp" <<'EOF'
import struct, sys
w, h = 60, 30
row = b"".join(bytes((x * 4, 90, 200 - x)) for x in range(w))
pad = (4 - len(row) % 4) % 4
pixels = (row + b"\0" * pad) * h
header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
open(sys.argv[1], "wb").write(header + info + pixels)
EOF

timeout 150 xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -u
  cd "$2/photos"
  "$1" --window "holiday shot.bmp" >"$2/out.txt" 2>&1 &
  pid=$!
  # The run ends with its message; dismissing it leaves the window open.
  message=$(timeout 60 xdotool search --sync --onlyvisible --name "^Kelvra" | head -n 1)
  [ -n "$message" ] || { echo "no message appeared"; kill $pid; exit 1; }
  xdotool windowfocus --sync "$message"
  xdotool key --clearmodifiers Return
  sleep 1
  kill -0 $pid || { echo "the window did not stay open"; exit 1; }
  window=$(timeout 30 xdotool search --sync --onlyvisible --name "^Trimbrel" | head -n 1)
  [ -n "$window" ] || { echo "the main window is gone"; kill $pid; exit 1; }
  xdotool windowfocus --sync "$window"
  xdotool key --clearmodifiers Escape
  wait $pid
' open-with "$binary" "$work" || { echo "the window run failed:"; cat "$work/out.txt"; exit 1; }

result="$work/photos/修剪结果/holiday shot.png"
[ -f "$result" ] || { echo "no $result"; ls -R "$work/photos"; exit 1; }
size=$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print("%dx%d" % struct.unpack(">II", d[16:24]))' "$result")
[ "$size" = 120x80 ] || { echo "the result is $size, not the saved 120x80"; exit 1; }
shown=$(python3 -c 'import sys, urllib.parse; print(urllib.parse.unquote(open(sys.argv[1]).read().strip()))' "$work/opened.txt")
[ "$shown" = "file://$work/photos/修剪结果/" ] || { echo "the file manager was asked for \"$shown\""; exit 1; }
echo "open with: the photo ran in the window with its saved inputs, and the window stayed open"
