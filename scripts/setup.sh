#!/usr/bin/env bash
# Installs the Debian packages Parlivo needs that are missing, then configures and builds.
# Used by run.sh and test.sh; the build folder is ./build unless PARLIVO_BUILD_DIR says otherwise.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${PARLIVO_BUILD_DIR:-$root/build}

packages=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6svg6-dev libgl-dev libgmime-3.0-dev qtkeychain-qt6-dev
    libssl3 ca-certificates libsecret-1-0
    fonts-liberation iputils-ping xdg-utils
)
if [ "${1:-}" = "--with-test-tools" ]; then
    packages+=(python3-aiosmtpd openssl curl msmtp xvfb xauth desktop-file-utils appstream dpkg-dev file
              clang libclang-rt-14-dev procps util-linux dovecot-imapd gnome-keyring dbus
              modemmanager python3-dbusmock python3-jsonschema python3-dbus python3-gi
              libglib2.0-bin kdeconnect)
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    # No service of the packages starts while they install (the tests start their own
    # mail servers); a policy already in place is left as it is.
    policy=/usr/sbin/policy-rc.d
    made_policy=0
    if [ ! -e "$policy" ]; then
        printf '#!/bin/sh\nexit 101\n' | "${sudo[@]}" tee "$policy" >/dev/null
        "${sudo[@]}" chmod 755 "$policy"
        made_policy=1
    fi
    "${sudo[@]}" apt-get update -qq
    status=0
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" || status=$?
    if [ $made_policy -eq 1 ]; then
        "${sudo[@]}" rm -f "$policy"
    fi
    [ $status -eq 0 ] || exit $status
    # A Dovecot installed here for the tests, which run a private one, stays stopped and
    # disabled as a system service.
    if [[ " ${missing[*]} " == *" dovecot-imapd "* ]]; then
        if command -v systemctl >/dev/null && [ -d /run/systemd/system ]; then
            "${sudo[@]}" systemctl disable --now dovecot.service >/dev/null 2>&1 || true
        fi
        "${sudo[@]}" update-rc.d dovecot disable >/dev/null 2>&1 || true
    fi
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$(nproc)"
