#!/bin/sh
# cmake --install into a scratch prefix: both programs, the desktop entry,
# the icon and the metainfo land where a desktop finds them, and the two
# validators accept the files.
set -eu
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
id=com.brightfen.TellurixPanel
for f in bin/TellurixPanel bin/tellurix-sim bin/tellurix-stability share/icons/hicolor/64x64/apps/$id.png; do
    [ -s "$prefix/$f" ] || { echo "missing: $f"; exit 1; }
done
desktop-file-validate "$prefix/share/applications/$id.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"
! ldd "$prefix/bin/TellurixPanel" | grep 'not found'
