#!/usr/bin/env bash
# Installs into a staging folder as for /usr and checks what landed there and
# that it works from there: the list of files, --version, a one-photo trim,
# the window module found in the installed tree, and a manual page with every
# option of --help.
#   staging_check.sh BUILD_FOLDER LIBDIR APP_ID VERSION
set -euo pipefail
build=$1 libdir=$2 id=$3 version=$4
. "$(dirname "$0")/install_helpers.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/stage
stage "$build" "$root"
status=0
fail() { echo "FAIL: $*"; status=1; }

actual=$(cd "$root/usr" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
if ! diff -u <(installed_files "$libdir" "$id") <(echo "$actual") >"$work/diff"; then
  fail "the installed files differ from the list:"; cat "$work/diff"
fi
[ "$(ls -A "$root")" = usr ] || fail "files outside the prefix: $(ls -A "$root")"

binary=$root/usr/bin/trimbrel
# The installed program keeps no path to the build folder for the loader.
for elf in "$binary" "$root/usr/$libdir/trimbrel/trimbrel-window.so"; do
  if grep -E 'RPATH|RUNPATH' <<<"$(readelf -d "$elf")" | grep -qF "$build"; then
    fail "$elf searches the build folder for libraries"
  fi
done

# Run from elsewhere, with a home of its own.
mkdir -p "$work/home" "$work/photos" "$work/elsewhere"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
cd "$work/elsewhere"
[ "$("$binary" --version)" = "trimbrel $version" ] || fail "--version says \"$("$binary" --version)\""

write_bmp "$work/photos/one photo.bmp" 64 48
written=$("$binary" -q -u px -W 40 -H 30 -f png "$work/photos/one photo.bmp") || fail "the trim exited with $?"
[ "$written" = "$work/photos/修剪结果/one photo.png" ] || fail "the trim printed \"$written\""
[ -f "$written" ] && [ "$(png_size "$written")" = 40x30 ] || fail "no 40x30 PNG was written"
[ -z "$(ls -A "$work/elsewhere")" ] || fail "the trim wrote into the current folder"
[ ! -e "$XDG_CONFIG_HOME" ] || fail "the command line touched the settings folder"

# With no display the window program says so: it was found beside the
# installed executable, in $libdir/trimbrel.
if window=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$binary" --window 2>&1); then
  fail "--window without a display succeeded"
fi
grep -q "no display" <<<"$window" || fail "the installed window module was not loaded: $window"

# Every option of --help has its entry in the manual page, and the manual
# page has no option that --help does not know.
manual=$root/usr/share/man/man1/trimbrel.1.gz
# An option's names are the words of its line up to the first that is not one.
option_names() { awk '/^ +-/ { names = ""; for (i = 1; i <= NF && $i ~ /^-/; i++) names = names " " $i; print substr(names, 2) }' | LC_ALL=C sort; }
help_options=$("$binary" --help | option_names)
man_text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$manual" 2>"$work/man-warnings")
[ ! -s "$work/man-warnings" ] || { fail "man warns:"; cat "$work/man-warnings"; }
man_options=$(sed -n '/^OPTIONS/,/^[A-Z]/p' <<<"$man_text" | grep -E '^ {7}-' | option_names)
if ! diff -u <(echo "$help_options") <(echo "$man_options") >"$work/diff"; then
  fail "the manual page's options differ from --help's (- help, + manual):"; cat "$work/diff"
fi
[ "$(wc -l <<<"$help_options")" -ge 15 ] || fail "too few options read from --help: $help_options"
for section in "EXIT STATUS" FILES; do
  grep -q "^$section" <<<"$man_text" || fail "the manual page has no $section"
done
for file in Trimbrel.ini XDG_CONFIG_HOME/trimbrel 修剪结果; do
  grep -q "$file" <<<"$man_text" || fail "the manual page does not name $file"
done

[ $status -eq 0 ] && echo "staging install: $(wc -l <<<"$actual") files, the program runs from them, the manual page matches --help"
exit $status
