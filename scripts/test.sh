#!/usr/bin/env bash
# Builds Parlivo with its tests (installing what is missing) and runs every test.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${PARLIVO_BUILD_DIR:-$root/build}

"$root/scripts/setup.sh" --with-test-tools
cd "$build"
ctest --output-on-failure -j2
