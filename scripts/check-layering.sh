#!/usr/bin/env bash
# Each library folder's public header is its door: code in one folder may
# include another folder's door header and nothing else of it.
set -u
root=${1:-.}
declare -A door=(
  [platform]=platform/platform.hpp
  [imaging]=imaging/imaging.hpp
  [settings]=settings/config_module.hpp
  [ui]=ui/ui.hpp
  [app]=app/app.hpp
)
status=0
for folder in platform imaging settings ui app; do
  [ -d "$root/$folder" ] || continue
  while IFS= read -r line; do
    file=${line%%:*}
    inc=$(sed -E 's/.*#include +"([^"]+)".*/\1/' <<<"${line#*:}")
    other=${inc%%/*}
    [ "$other" = "$folder" ] && continue
    [ -n "${door[$other]:-}" ] || continue
    if [ "$inc" != "${door[$other]}" ]; then
      echo "$file includes $inc: only ${door[$other]} may be included from outside $other/"
      status=1
    fi
  done < <(cd "$root" && grep -nE '^#include +"' $folder/*.hpp $folder/*.cpp 2>/dev/null | sed -E 's/^([^:]+):[0-9]+:/\1:/')
done
[ $status -eq 0 ] && echo "layering: every cross-folder include goes through a door header"
exit $status
