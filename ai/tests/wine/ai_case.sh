#!/usr/bin/env bash
# One end-to-end case of the AI plug-in: the test host ZORM.EXE loads the real Denmark.dll
# under Wine and plays a scenario; its trace and the message boxes shown are compared with
# what the case expects.
#
#   ai_case.sh CASE RIG WINE_DIR BUILD_DIR CASES_DIR
set -euo pipefail

case_name=$1 rig=$2 wine_dir=$3 build=$4 cases=$5
work="$build/ai-wine-cases/$case_name"
rm -rf "$work"
mkdir -p "$work"
dll="$build/game/AI/Denmark.dll"
limit=${AI_CASE_TIMEOUT:-120}
[ "$(cat "$wine_dir/arch")" = 32 ] && limit=${AI_CASE_TIMEOUT:-600}

fail() { echo "FAIL: $*" >&2; exit 1; }

# Runs HOST on SCENARIO, trace to $work/trace.
play() {
    local host=$1 scenario=$2
    shift 2
    timeout "$limit" "$rig" run "$wine_dir" "$host" --plugin "$(winepath_of "$dll")" \
        --trace "$(winepath_of "$work/trace")" "$scenario" "$@" \
        || fail "$host ended with $? on $scenario"
}

# Wine maps the Unix root to drive Z:.
winepath_of() { echo "Z:${1//\//\\}"; }

# Starts the message-box driver in the background and waits until it watches; its report
# goes to $work/boxes. It stops once the program under test has ended (stop file).
watch_boxes() {
    "$rig" run "$wine_dir" "$build/rig/msgbox_driver.exe" --timeout "$limit" \
        --ready-file "$(winepath_of "$work/driver.ready")" \
        --stop-file "$(winepath_of "$work/driver.stop")" "$@" > "$work/boxes" 2> "$work/boxes.err" &
    driver=$!
    for _ in $(seq $((limit * 10))); do
        [ -e "$work/driver.ready" ] && return
        kill -0 "$driver" 2>/dev/null || break
        sleep 0.1
    done
    fail "message-box driver did not start: $(cat "$work/boxes.err")"
}

# Compares the trace with an expected file; on a difference shows it.
same_trace() {
    diff -u "$1" "$work/trace" > "$work/trace.diff" || { head -40 "$work/trace.diff" >&2; fail "trace differs from $(basename "$1")"; }
}

# The expected trace of a game in which nothing is bound: only the host's own headers.
headers_only() {
    grep '^==' "$1" | sed -E 's/host call\(s\)$/HOSTCALLS/; s/, [0-9]+ HOSTCALLS/, 0 host call(s)/'
}

# Boxes the program showed, one line each; none when called without arguments.
expect_boxes() {
    touch "$work/driver.stop"
    wait "$driver" || fail "message-box driver ended with $?: $(cat "$work/boxes") $(cat "$work/boxes.err")"
    if [ $# -eq 0 ]; then : > "$work/boxes.expected"; else printf '%s\n' "$@" > "$work/boxes.expected"; fi
    diff -u "$work/boxes.expected" "$work/boxes" >&2 || fail "message boxes differ"
}

case "$case_name" in
land[0-9] | three-ticks)
    watch_boxes --count 0
    play "$build/game/ZORM.EXE" "$cases/scenarios/$case_name.txt"
    expect_boxes
    same_trace "$cases/expected/$case_name.trace"
    ;;
missing_peace_time)
    watch_boxes --count 1 --press OK
    play "$build/hosts/no-GetPeaceTimeLeft/ZORM.EXE" "$cases/scenarios/land1.txt"
    expect_boxes 'box caption="DLL init error." text="ZORM.EXE does not contain function: GetPeaceTimeLeft" buttons=OK icon=none pressed=OK'
    same_trace "$cases/expected/land1.trace"
    ;;
renamed_host)
    watch_boxes --count 1 --press OK
    play "$build/hosts/renamed/GAME.EXE" "$cases/scenarios/land0.txt"
    expect_boxes 'box caption="ERROR!" text="Can not detect ZORM.EXE" buttons=OK icon=none pressed=OK'
    headers_only "$cases/expected/land0.trace" > "$work/expected"
    same_trace "$work/expected"
    ;;
missing_register_upgrade)
    watch_boxes --count 1 --press OK
    play "$build/hosts/no-RegisterUpgrade/ZORM.EXE" "$cases/scenarios/land6.txt"
    expect_boxes 'box caption="DLL init error." text="ZORM.EXE does not contain function: RegisterUpgrade" buttons=OK icon=none pressed=OK'
    # Every other call stays: the full game less the 130 upgrade registrations; the upgrades
    # that only those registrations name reach the game unregistered.
    grep -v '^RegisterUpgrade(' "$cases/expected/land6.trace" \
        | sed -E 's/^(UpgIsRun|UpgIsDone)\(.*\) -> /\1(<unregistered>) -> /' \
        | sed -E 's/, ([0-9]+) host call\(s\)$/, CALLS/' > "$work/expected.tmp"
    calls=$(grep -vc '^==' "$work/expected.tmp")
    sed "s/, CALLS\$/, $calls host call(s)/" "$work/expected.tmp" > "$work/expected"
    same_trace "$work/expected"
    ;;
process_land_ai)
    watch_boxes --count 0
    play "$build/game/ZORM.EXE" "$cases/scenarios/process-land-ai.txt"
    printf '%s\n' "== scenario: ProcessLandAI only" "== load plug-in" \
        "== tick 1: ProcessLandAI" "== tick 2: ProcessLandAI" "== tick 3: ProcessLandAI" \
        "== end: 3 tick(s), 0 host call(s)" > "$work/expected"
    expect_boxes
    same_trace "$work/expected"
    ;;
middle_sea_entry)
    watch_boxes --count 0
    play "$build/game/ZORM.EXE" "$cases/scenarios/middle-sea.txt"
    expect_boxes
    same_trace "$cases/expected/middle-sea.trace"
    ;;
smoke32)
    # The shipped i686 plug-in in the i686 host: set-up and three ticks of a changing game.
    # (No driver here: each 32-bit process costs about a minute.)
    play "$build/game/ZORM.EXE" "$cases/scenarios/three-ticks.txt"
    same_trace "$cases/expected/three-ticks.trace"
    watch_boxes --count 1 --press OK
    play "$build/hosts/no-GetPeaceTimeLeft/ZORM.EXE" "$cases/scenarios/land1.txt"
    expect_boxes 'box caption="DLL init error." text="ZORM.EXE does not contain function: GetPeaceTimeLeft" buttons=OK icon=none pressed=OK'
    same_trace "$cases/expected/land1.trace"
    ;;
*)
    fail "unknown case $case_name"
    ;;
esac
echo "PASS: $case_name"
