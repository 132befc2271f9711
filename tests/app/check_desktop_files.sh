#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what desktops read:
# the desktop entry, the AppStream metadata, the icons and the help pages.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > /dev/null
share="$prefix/share"
desktop-file-validate "$share/applications/org.lumetra.Lumetra.desktop"
appstreamcli validate --no-net "$share/metainfo/org.lumetra.Lumetra.metainfo.xml"
test -x "$prefix/bin/lumetra"
test -f "$share/icons/hicolor/scalable/apps/org.lumetra.Lumetra.svg"
for size in 16 24 32 48 64 128 256 512; do
  test -f "$share/icons/hicolor/${size}x${size}/apps/org.lumetra.Lumetra.png"
done
test -f "$share/lumetra/help/rotating-images.html"
test -f "$share/lumetra/help/artistic-effects.html"
echo "desktop files valid"
