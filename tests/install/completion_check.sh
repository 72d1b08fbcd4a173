#!/usr/bin/env bash
# The bash completion offers the options --help lists, the values --help
# gives for --unit, --basis and --format (also after "--opt=" and in one
# word), folders for --output, and only photos the program reads.
#   completion_check.sh TRIMBREL_EXECUTABLE COMPLETION_FILE
set -euo pipefail
binary=$1 completion=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
help=$("$binary" --help)
status=0

# Runs the completion for the words given (the last one is being typed) in
# the folder of the fixtures; prints the offers sorted, one per line.
offers() {
  (cd "$work" && bash -c '
    . "$0"
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
    _trimbrel
    printf "%s\n" "${COMPREPLY[@]}"' "$completion" trimbrel "$@") | LC_ALL=C sort
}
expect() {  # expect WORDS... "=>" OFFERS...
  local words=() wanted=()
  while [ "$1" != "=>" ]; do words+=("$1"); shift; done
  shift
  wanted=("$@")
  local got
  got=$(offers "${words[@]}")
  if [ "$got" != "$(printf '%s\n' "${wanted[@]}" | LC_ALL=C sort)" ]; then
    echo "FAIL: trimbrel ${words[*]} <TAB> offers [$(echo $got)], not [${wanted[*]}]"
    status=1
  fi
}

# The long options, exactly those of --help.
mapfile -t long < <(grep -oE -- '--[a-z][a-z-]+' <<<"$(grep -E '^ +-' <<<"$help")" | LC_ALL=C sort -u)
[ ${#long[@]} -ge 15 ] || { echo "FAIL: read only ${#long[@]} options from --help"; status=1; }
expect -- "=>" "${long[@]}"
expect --d "=>" --dpi --dry-run

# Values as --help lists them, "px | cm | in".
values() { grep -E -- "--$1 " <<<"$help" | sed -E 's/^.*--[a-z]+ [A-Z]+ +//; s/ \(.*//; s/ \| / /g'; }
for option in unit:u basis:b format:f; do
  long_name=${option%%:*} short=${option#*:}
  read -ra listed <<<"$(values "$long_name")"
  [ ${#listed[@]} -ge 2 ] || { echo "FAIL: no values for --$long_name in --help"; status=1; }
  expect "-$short" "" "=>" "${listed[@]}"
  expect "--$long_name" = "" "=>" "${listed[@]}"
  prefixed=()
  for v in "${listed[@]}"; do prefixed+=("--$long_name=$v"); done
  expect "--$long_name=" "=>" "${prefixed[@]}"
done
expect -f t "=>" tiff
expect -W "" "=>"

# Photos and folders, case aside; other files are not offered, except after --.
mkdir -p "$work/a folder"
touch "$work/a.JPG" "$work/b.png" "$work/c.pcx" "$work/d.cur" "$work/notes.txt" "$work/-odd.png"
expect "" "=>" "a folder" a.JPG b.png c.pcx d.cur -odd.png
expect -o "" "=>" "a folder"
expect -- -o "=>" -odd.png

[ $status -eq 0 ] && echo "completion: options, values, folders and photos as --help describes them"
exit $status
