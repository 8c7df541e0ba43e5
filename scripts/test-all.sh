#!/usr/bin/env bash
# Every test of the kit on a fresh machine (as root): installs what is missing, builds the
# four configurations and runs every suite. Exits non-zero when any suite fails.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-machine.sh

t0=$(date +%s)
for preset in native native-asan win64 win32; do
    cmake --preset "$preset" > /dev/null
    cmake --build --preset "$preset"
done
echo "== build: $(( $(date +%s) - t0 )) s"

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

suite "native unit tests" ctest --preset native -L unit -j2
suite "native unit tests under ASan and UBSan" ctest --preset native-asan -L unit -j2
suite "fuzzing" ctest --preset native -L fuzz
suite "end-to-end, x86-64 Wine" ctest --preset win64
suite "smoke, shipped i686 build under 32-bit Wine" ctest --preset win32

echo "== all suites: $(( $(date +%s) - t0 )) s"
echo "suites: $passed_suites passed, $failed_suites failed"
exit "$failed"
