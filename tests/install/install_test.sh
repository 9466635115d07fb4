#!/usr/bin/env bash
# Installs into a temporary prefix, validates the desktop files, and starts the installed
# program offscreen through its launcher.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
home=$(mktemp -d)
trap 'rm -rf "$prefix" "$home"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

for file in bin/parlivo lib/parlivo/parlivo lib/parlivo/libparlivo_mail.so lib/parlivo/HAND-M.CUR lib/parlivo/x/o.cjs \
            lib/parlivo/Pictures/less-secure-apps1.jpg lib/parlivo/Pictures/less-secure-apps2.jpg \
            share/applications/com.quorvane.Parlivo.desktop \
            share/metainfo/com.quorvane.Parlivo.metainfo.xml \
            share/icons/hicolor/scalable/apps/com.quorvane.Parlivo.svg \
            share/icons/hicolor/48x48/apps/com.quorvane.Parlivo.png; do
    [ -e "$prefix/$file" ] || { echo "not installed: $file"; exit 1; }
done

if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/com.quorvane.Parlivo.desktop"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$prefix/share/metainfo/com.quorvane.Parlivo.metainfo.xml"
fi

# A stand-in ping that answers and notes that start-up reached the online check.
mkdir -p "$home/bin"
cat >"$home/bin/ping" <<PING
#!/bin/sh
echo "64 bytes from 192.0.2.1: icmp_seq=1" ; touch "$home/pinged"
PING
chmod +x "$home/bin/ping"

# Started from another folder, through a link to the launcher, as a menu would.
ln -s "$prefix/bin/parlivo" "$home/parlivo-link"
set +e
(cd / && HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data PATH="$home/bin:$PATH" \
    QT_QPA_PLATFORM=offscreen timeout 5 "$home/parlivo-link" 2>"$home/stderr")
status=$?
set -e
if [ $status -ne 124 ]; then
    echo "the installed program ended by itself (status $status):"
    cat "$home/stderr"
    exit 1
fi
[ -e "$home/pinged" ] || { echo "start-up never reached the online check"; exit 1; }
echo "installed program started and ran"
