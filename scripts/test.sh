#!/usr/bin/env bash
# Builds Parlivo with its tests (installing what is missing) and runs every test: the suite,
# the suite again built with AddressSanitizer and UndefinedBehaviorSanitizer, and each fuzz
# target for a short while from its seeds.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${PARLIVO_BUILD_DIR:-$root/build}
fuzz_seconds=${PARLIVO_FUZZ_SECONDS:-20}

"$root/scripts/setup.sh" --with-test-tools
(cd "$build" && ctest --output-on-failure -j2)

echo "== the suite under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S "$root" -B "$build-sanitized" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPARLIVO_SANITIZE=ON \
    -DPARLIVO_BUILD_BENCH=OFF >/dev/null
cmake --build "$build-sanitized" -j"$(nproc)"
(cd "$build-sanitized" &&
    ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --output-on-failure -j2)

echo "== fuzz targets, ${fuzz_seconds} s each"
cmake -S "$root/tests/fuzz" -B "$build-fuzz" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build-fuzz" -j"$(nproc)"
passed=0
failed=0
for seeds in "$root"/tests/fuzz/seeds/*/; do
    target=$(basename "$seeds")
    corpus=$(mktemp -d)
    if "$build-fuzz/$target" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 \
        -print_final_stats=0 "$corpus" "$seeds" >"$build-fuzz/$target.log" 2>&1; then
        passed=$((passed + 1))
        echo "fuzz $target: passed"
    else
        failed=$((failed + 1))
        echo "fuzz $target: FAILED"
        tail -40 "$build-fuzz/$target.log"
    fi
    rm -rf "$corpus"
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
