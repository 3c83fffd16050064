#!/usr/bin/env bash
# Checks a built .deb as Debian checks packages: its desktop entries (desktop-file-validate), its
# AppStream metadata (appstreamcli validate --no-net) and the whole package (lintian, with its
# informational tags shown). Prints every finding; fails on any error.
#   lint.sh <package.deb>
set -euo pipefail
deb=$1
[ -f "$deb" ] || { echo "lint: no package at $deb: build it with ./dev package" >&2; exit 1; }

contents=$(mktemp -d)
trap 'rm -rf "$contents"' EXIT
dpkg-deb -x "$deb" "$contents"

status=0
shopt -s nullglob
entries=("$contents"/usr/share/applications/*.desktop)
metainfo=("$contents"/usr/share/metainfo/*.metainfo.xml)
[ ${#entries[@]} -eq 1 ] || { echo "lint: expected one desktop entry, found ${#entries[@]}"; status=1; }
[ ${#metainfo[@]} -eq 1 ] || { echo "lint: expected one metainfo file, found ${#metainfo[@]}"; status=1; }
for file in "${entries[@]}"; do
    echo "desktop-file-validate ${file#"$contents"}"
    desktop-file-validate "$file" || status=1
done
for file in "${metainfo[@]}"; do
    echo "appstreamcli validate --no-net ${file#"$contents"}"
    appstreamcli validate --no-net "$file" || status=1
done
echo "lintian $(basename "$deb")"
lintian --display-info --fail-on error "$deb" || status=1
exit "$status"
