#!/usr/bin/env bash
# The installed AppStream metadata passes appstreamcli's strict validation of
# the whole tree without the network, and speaks of what is installed: its
# launcher, its binary and the program's version.
#   metainfo_check.sh BUILD_FOLDER APP_ID
set -euo pipefail
build=$1 id=$2
. "$(dirname "$0")/install_helpers.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage "$build" "$work"
metainfo=$work/usr/share/metainfo/$id.metainfo.xml
status=0
if ! report=$(appstreamcli validate-tree --no-net --strict "$work" 2>&1); then
  echo "appstreamcli validate-tree:"; echo "$report"; status=1
fi
launchable=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$metainfo")
[ -f "$work/usr/share/applications/$launchable" ] || { echo "the launchable $launchable is not installed"; status=1; }
binary=$(sed -n 's|.*<binary>\(.*\)</binary>.*|\1|p' "$metainfo")
[ -x "$work/usr/bin/$binary" ] || { echo "the provided binary $binary is not installed"; status=1; }
release=$(sed -n 's|.*<release version="\([^"]*\)".*|\1|p' "$metainfo" | head -n 1)
[ "trimbrel $release" = "$("$work/usr/bin/trimbrel" --version)" ] || { echo "the newest release $release is not the program's version"; status=1; }
grep -q '<screenshot type="default">' "$metainfo" || { echo "no default screenshot"; status=1; }
[ $status -eq 0 ] && echo "appstreamcli validate-tree --no-net --strict: $report"
exit $status
