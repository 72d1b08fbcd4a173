#!/usr/bin/env bash
# The installed launcher passes desktop-file-validate without a word, starts
# the program with --window and the files, and names an installed icon.
#   desktop_file_check.sh BUILD_FOLDER APP_ID
set -euo pipefail
build=$1 id=$2
. "$(dirname "$0")/install_helpers.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage "$build" "$work"
launcher=$work/usr/share/applications/$id.desktop
status=0
if ! report=$(desktop-file-validate "$launcher" 2>&1) || [ -n "$report" ]; then
  echo "desktop-file-validate:"; echo "$report"; status=1
fi
grep -qx 'Exec=trimbrel --window %F' "$launcher" || { echo "the launcher does not start trimbrel --window %F"; status=1; }
icon=$(sed -n 's/^Icon=//p' "$launcher")
for size in 16x16 32x32 48x48 64x64 128x128 256x256; do
  [ -f "$work/usr/share/icons/hicolor/$size/apps/$icon.png" ] || { echo "no $size icon named $icon"; status=1; }
done
[ -f "$work/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || { echo "no scalable icon named $icon"; status=1; }
[ $status -eq 0 ] && echo "desktop-file-validate: no errors, no warnings; Exec and Icon resolve"
exit $status
