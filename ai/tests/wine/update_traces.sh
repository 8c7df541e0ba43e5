#!/usr/bin/env bash
# Makes the AI's expected traces (expected/NAME.trace) again from their scenarios
# (scenarios/NAME.txt) with the plug-in as it is now, and shows what changed for review. The
# tests never run this. A change of the plug-in that moves a trace shows here line by line:
# commit the new traces when every difference is intended, or take them back with
#   git checkout -- ai/tests/wine/expected
# Plays natively (build/native/ai/tests/denmark_replay, the test host with the plug-in linked
# in), which writes the same trace as ZORM.EXE under Wine; the tests check both.
set -euo pipefail
cd "$(dirname "$0")/../../.."
cmake --preset native > /dev/null
cmake --build --preset native --target denmark_replay > /dev/null
for trace in ai/tests/wine/expected/*.trace; do
    name=$(basename "$trace" .trace)
    build/native/ai/tests/denmark_replay "ai/tests/wine/scenarios/$name.txt" > "$trace"
done
if git diff --quiet -- ai/tests/wine/expected; then
    echo "update_traces: every trace is as expected"
else
    git --no-pager diff --stat -- ai/tests/wine/expected
    git --no-pager diff -- ai/tests/wine/expected
fi
