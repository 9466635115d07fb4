#!/usr/bin/env bash
# Installs the Debian packages Parlivo needs that are missing, then configures and builds.
# Used by run.sh and test.sh; the build folder is ./build unless PARLIVO_BUILD_DIR says otherwise.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${PARLIVO_BUILD_DIR:-$root/build}

packages=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6svg6-dev libgl-dev
    libssl3 ca-certificates
    fonts-liberation iputils-ping xdg-utils
)
if [ "${1:-}" = "--with-test-tools" ]; then
    packages+=(python3-aiosmtpd openssl curl msmtp xvfb xauth desktop-file-utils appstream dpkg-dev file
              clang libclang-rt-14-dev procps util-linux)
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$(nproc)"
