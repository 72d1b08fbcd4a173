#!/usr/bin/env bash
# The window's pictures and texts are made by their script: running it again
# must give the committed files byte for byte.
#   assets_check.sh ASSETS_FOLDER
set -euo pipefail
assets=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$assets/make_assets.py" --out "$work" >/dev/null
status=0
for made in "$work"/*; do
  name=$(basename "$made")
  if ! cmp -s "$made" "$assets/$name"; then
    echo "$name differs from what make_assets.py makes"
    status=1
  fi
done
for kept in "$assets"/*; do
  name=$(basename "$kept")
  case $name in make_assets.py|README.md) continue ;; esac
  [ -e "$work/$name" ] || { echo "$name is not made by make_assets.py"; status=1; }
done
[ $status -eq 0 ] && echo "assets: every file is what make_assets.py makes"
exit $status
