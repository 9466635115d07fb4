#!/usr/bin/env bash
# Installs into a temporary prefix, validates the desktop files, and starts the installed
# program offscreen through its launcher.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
home=$(mktemp -d)
trap 'rm -rf "$prefix" "$home"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

for file in bin/parlivo lib/parlivo/parlivo lib/parlivo/parlivo-keyring lib/parlivo/libparlivo_mail.so lib/parlivo/HAND-M.CUR lib/parlivo/x/o.cjs \
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

# Without a display it says so and ends with a failure status, opening nothing.
set +e
(cd / && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME=$home \
    timeout 5 "$prefix/lib/parlivo/parlivo" >"$home/out" 2>"$home/stderr")
status=$?
set -e
if [ $status -ne 1 ] || ! grep -q "no display found" "$home/stderr"; then
    echo "without a display: status $status"
    cat "$home/stderr"
    exit 1
fi

# The password stays inside the process: no core file, not dumpable, in no argument,
# environment variable or output. Run as an unprivileged user when the test runs as root,
# since the superuser may read any process.
secret=hunter2-not-anywhere
mkdir -p "$home/config"
printf '[Parlivo]\nUser=ann\nPassword=%s\n' "$secret" >"$home/config/Quorvane.ini"
chmod 600 "$home/config/Quorvane.ini"
run_as=()
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
    chmod 755 "$prefix" "$home"
    chown -R 65534:65534 "$home"
    run_as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
(cd / && HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data PATH="$home/bin:$PATH" \
    QT_QPA_PLATFORM=offscreen "${run_as[@]}" "$prefix/lib/parlivo/parlivo" >"$home/out" 2>&1) &
sleep 3
pid=$(pgrep -n -f "$prefix/lib/parlivo/parlivo" || true)
[ -n "$pid" ] || { echo "the program did not start for the secrets check"; cat "$home/out"; exit 1; }
fail=""
grep -Eq '^Max core file size +0 +0' "/proc/$pid/limits" || fail="core dumps are allowed"
if [ ${#run_as[@]} -gt 0 ] && [ "$(stat -c %u "/proc/$pid/environ")" != 0 ]; then
    fail="the process is dumpable"
fi
tr '\0' '\n' <"/proc/$pid/cmdline" | grep -q "$secret" && fail="the password is in the arguments"
tr '\0' '\n' <"/proc/$pid/environ" | grep -q "$secret" && fail="the password is in the environment"
kill "$pid"; wait || true
grep -q "$secret" "$home/out" && fail="the password was printed"
[ -z "$fail" ] || { echo "secrets check: $fail"; exit 1; }
echo "installed program started and ran"
