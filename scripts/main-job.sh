#!/usr/bin/env bash
# The main job on a fresh machine (as root): builds the shipped kit (i686) into dist/ and
# runs it on a sample game installation under Wine, printing what happened.
#
# KIT_WINE=64 runs the x86-64 build of the same sources instead, which starts much faster
# than the emulated 32-bit Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
arch=${KIT_WINE:-32}

if [ "$arch" = 32 ]; then bash scripts/setup-machine.sh; else bash scripts/setup-machine.sh --no-wine32; fi
preset=win32
[ "$arch" = 64 ] && preset=win64
for p in win32 $preset; do
    cmake --preset "$p" > /dev/null
    cmake --build --preset "$p"
done

# The shipped kit.
rm -rf dist
mkdir -p dist/AI
cp build/win32/game/AI/Denmark.dll dist/AI/
echo "== dist/ (the shipped kit, PE32)"
(cd dist && find . -type f -printf '   %-24p %s bytes\n')

# A sample game installation: the test host stands in for the game executable.
game="$root/build/sample-game-$arch"
rm -rf "$game"
mkdir -p "$game/AI"
cp "build/$preset/game/ZORM.EXE" "$game/"
cp "build/$preset/game/AI/Denmark.dll" "$game/AI/"
[ "$arch" = 32 ] && cmp dist/AI/Denmark.dll "$game/AI/Denmark.dll"
cp ai/tests/wine/scenarios/tour.txt "$game/"

wine_dir="$root/build/wine-main-$arch"
echo "== starting $arch-bit Wine (the emulated 32-bit one takes a few minutes)"
tests/rig/wine.sh setup "$wine_dir" "$arch"
trap 'tests/rig/wine.sh teardown "$wine_dir"' EXIT

echo "== the game loads AI\\Denmark.dll, sets up the computer player and plays one tick on each land type"
(cd "$game" && "$root/tests/rig/wine.sh" run "$wine_dir" ZORM.EXE --trace trace.txt tour.txt)
echo "== what the plug-in asked and ordered (long tables shortened; full trace in $game/trace.txt)"
awk '
    /^(RegisterUnitType|RegisterUpgrade|SafeRegisterUpgrade)\(/ { regs++; next }
    /^== tick 1:/ && regs { print "   ... and " regs " registrations of unit types and upgrades" }
    /^== / { print; next }
    { if (length($0) > 110) $0 = substr($0, 1, 107) "..."; print "   " $0 }
' "$game/trace.txt"
