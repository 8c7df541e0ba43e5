#!/usr/bin/env bash
# Every test of the kit on a fresh machine (as root): installs what is missing, builds the
# four configurations and runs every suite, printing the time of each step and the total.
# Exits non-zero when any suite fails.
#
# A second run reuses what did not change: the builds (Ninja) and the Wine template prefixes,
# which the first run on a machine makes in a cache folder outside the checkout (see
# tests/rig/winekit/rig.py). The Wine cases run in rigs of their own, two at a time.
set -euo pipefail
cd "$(dirname "$0")/.."

t0=$(date +%s)
bash scripts/setup-machine.sh
echo "== machine set-up: $(( $(date +%s) - t0 )) s"

for preset in native native-asan win64 win32; do
    s=$(date +%s)
    cmake --preset "$preset" > /dev/null
    cmake --build --preset "$preset"
    echo "== build $preset: $(( $(date +%s) - s )) s"
done
echo "== builds: $(( $(date +%s) - t0 )) s since the start"

failed=0
passed_suites=0
failed_suites=0
suite() {
    local title=$1
    shift
    local s
    s=$(date +%s)
    echo "== suite $title"
    if "$@"; then
        passed_suites=$((passed_suites + 1))
    else
        failed=1
        failed_suites=$((failed_suites + 1))
        echo "== suite $title FAILED"
    fi
    echo "== suite $title: $(( $(date +%s) - s )) s"
}

suites_start=$(date +%s)
suite "native unit tests" ctest --preset native -L unit -j2
suite "native unit tests under ASan and UBSan" ctest --preset native-asan -L unit -j2
suite "fuzzing" ctest --preset native -L fuzz -j2
suite "end-to-end, x86-64 Wine" ctest --preset win64 -j2
suite "smoke, shipped i686 build under 32-bit Wine" ctest --preset win32 -j2

echo "== all suites: $(( $(date +%s) - suites_start )) s"
echo "== total: $(( $(date +%s) - t0 )) s"
echo "suites: $passed_suites passed, $failed_suites failed"
exit "$failed"
