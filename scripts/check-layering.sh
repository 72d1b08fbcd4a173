#!/usr/bin/env bash
# Each library folder's public header is its door: code in one folder may
# include another folder's door header and nothing else of it. Dependencies
# point one way: platform <- imaging, settings, ui <- app <- desktop. A
# folder may include only the doors of the folders below it.
set -u
root=${1:-.}
declare -A door=(
  [platform]=platform/platform.hpp
  [imaging]=imaging/imaging.hpp
  [settings]=settings/config_module.hpp
  [ui]=ui/ui.hpp
  [app]=app/app.hpp
  [desktop]=desktop/desktop.hpp
)
# What each folder may include besides itself.
declare -A below=(
  [platform]=""
  [imaging]="platform"
  [settings]="platform"
  [ui]="platform"
  [app]="platform imaging settings"
  [desktop]="platform imaging settings ui app"
)
status=0
for folder in platform imaging settings ui app desktop; do
  [ -d "$root/$folder" ] || continue
  while IFS= read -r line; do
    file=${line%%:*}
    inc=$(sed -E 's/.*#include +"([^"]+)".*/\1/' <<<"${line#*:}")
    other=${inc%%/*}
    [ "$other" = "$folder" ] && continue
    [ -n "${door[$other]:-}" ] || continue
    if [[ " ${below[$folder]} " != *" $other "* ]]; then
      echo "$file includes $inc: $folder/ may not depend on $other/ (only on: ${below[$folder]:-nothing})"
      status=1
    elif [ "$inc" != "${door[$other]}" ]; then
      echo "$file includes $inc: only ${door[$other]} may be included from outside $other/"
      status=1
    fi
  done < <(cd "$root" && find "$folder" -name '*.hpp' -o -name '*.cpp' | xargs grep -nE '^#include +"' 2>/dev/null | sed -E 's/^([^:]+):[0-9]+:/\1:/')
done
[ $status -eq 0 ] && echo "layering: every cross-folder include goes through a door header, and points down"
exit $status
