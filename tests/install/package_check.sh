#!/usr/bin/env bash
# Builds the Debian package with CPack and checks it: name, version, section,
# maintainer, Depends worked out from the shared libraries, the same files as
# an installation, and lintian with no error and no warning.
#   package_check.sh BUILD_FOLDER LIBDIR APP_ID VERSION
set -euo pipefail
build=$1 libdir=$2 id=$3 version=$4
. "$(dirname "$0")/install_helpers.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb=$work/trimbrel_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { echo "no $deb:"; ls "$work"; exit 1; }
status=0
fail() { echo "FAIL: $*"; status=1; }

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = trimbrel ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Section)" = graphics ] || fail "Section: $(field Section)"
[[ $(field Maintainer) == *@example.org\> ]] || fail "Maintainer: $(field Maintainer)"
depends=$(field Depends)
depended=$(tr ',|' '\n\n' <<<"$depends" | awk '{ print $1 }')
for needed in libc6 libstdc++6 libjpeg62-turbo libpng16-16 libtiff6 libqt6core6 libqt6gui6 libqt6widgets6 qt6-qpa-plugins; do
  grep -qxF "$needed" <<<"$depended" || fail "Depends lacks $needed: $depends"
done
[ -n "$(field Description | sed -n 2p)" ] || fail "the description has no long text"

contents=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./usr/||' | LC_ALL=C sort)
if ! diff -u <(installed_files "$libdir" "$id") <(echo "$contents") >"$work/diff"; then
  fail "the package's files differ from the list:"; cat "$work/diff"
fi

if ! lintian --fail-on error,warning --display-info "$deb" >"$work/lintian.txt" 2>&1; then
  fail "lintian:"; cat "$work/lintian.txt"
fi
if [ $status -eq 0 ]; then
  echo "package $(basename "$deb"): Depends: $depends"
  echo "lintian: no errors, no warnings$(grep -c '^I:' "$work/lintian.txt" | sed 's/^/; notes: /')"
  grep '^I:' "$work/lintian.txt" || true
fi
exit $status
