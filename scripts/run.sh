#!/usr/bin/env bash
# Builds Parlivo (installing what is missing) and starts it.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${PARLIVO_BUILD_DIR:-$root/build}

"$root/scripts/setup.sh"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
    echo "Parlivo is built ($build/program/parlivo) but cannot start: no display (DISPLAY and WAYLAND_DISPLAY are not set)." >&2
    exit 1
fi
exec "$build/program/parlivo"
