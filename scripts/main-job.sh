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
cp build/win32/dist/Tessarin.exe dist/
cp build/win32/game/nelkar.exe dist/
# Every shipped file read as a file (imports, exports, manifests, version resources): quiet
# unless something would stop it from running on a real Windows.
python3 tests/shipped/check_shipped.py --machine i386 dist > build/dist-check.txt \
    || { cat build/dist-check.txt; exit 1; }
echo "== dist/ (the shipped kit, PE32)"
(cd dist && find . -type f -printf '   %-24p %s bytes\n')
# The files' SHA-256 digests, in the format of sha256sum, for players and maintainers to check
# a copy against, or a build of their own (README: "Shipping, checking and signing the kit").
(cd dist && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort | xargs sha256sum > SHA256SUMS)
epoch=$(sed -n 's/^KIT_SOURCE_DATE_EPOCH:INTERNAL=//p' build/win32/CMakeCache.txt)
echo "== dist/SHA256SUMS (built with the source's date $(date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S UTC'), SOURCE_DATE_EPOCH=$epoch)"
sed 's/^/   /' dist/SHA256SUMS

# A sample game installation: the test host stands in for the game executable.
game="$root/build/sample-game-$arch"
rm -rf "$game"
mkdir -p "$game/AI"
cp "build/$preset/game/ZORM.EXE" "$game/"
cp "build/$preset/game/AI/Denmark.dll" "$game/AI/"
[ "$arch" = 32 ] && cmp dist/AI/Denmark.dll "$game/AI/Denmark.dll"
games="land0 land1 land2 land3 land4 land5 land6"
for g in $games; do cp "ai/tests/wine/scenarios/$g.txt" "$game/"; done

wine_dir="$root/build/wine-main-$arch"
echo "== starting $arch-bit Wine (the emulated 32-bit one takes a few minutes)"
rig=tests/rig/wine.py
"$rig" setup "$wine_dir" "$arch"
trap '"$rig" teardown "$wine_dir"' EXIT

echo "== the game loads AI\\Denmark.dll once and plays a short game on each land type 0 to 6:"
echo "   set-up of the computer player, then a few AI ticks in which the situation changes"
(cd "$game" && "$root/$rig" run "$wine_dir" ZORM.EXE --trace trace.txt $(printf '%s.txt ' $games))
echo "== what the plug-in asked and ordered (long tables shortened, repeats counted; full trace in $game/trace.txt)"
awk '
    function flush() { if (n > 1) print "   ... the same " n - 1 " more time(s)"; n = 0 }
    /^(RegisterUnitType|RegisterUpgrade|SafeRegisterUpgrade)\(/ { regs++; next }
    /^== tick 1:/ && regs { print "   ... " regs " registrations of unit types and upgrades"; regs = 0 }
    $0 == last { n++; next }
    { flush(); last = $0; n = 1 }
    /^== / { print; next }
    { if (length($0) > 110) $0 = substr($0, 1, 107) "..."; print "   " $0 }
    END { flush() }
' "$game/trace.txt"

# The update installer on a sample installation: a registry record of the German edition at
# level "1.29" and a game folder holding the old "TIRMOLD.EXE".
install="$root/build/sample-install-$arch"
rm -rf "$install"
mkdir -p "$install"
echo "old game file" > "$install/TIRMOLD.EXE"
install_win="Z:${install//\//\\}"
printf 'REGEDIT4\r\n\r\n[-HKEY_CURRENT_USER\\Software\\Talvorek]\r\n\r\n[HKEY_CURRENT_USER\\Software\\Talvorek\\Veltmark : Orvandel]\r\n"InstallDir"="%s"\r\n"Language"="German"\r\n"Version"="1.29"\r\n' \
    "${install_win//\\/\\\\}" > "$install.reg"
"$rig" run "$wine_dir" regedit /S "Z:${install//\//\\}.reg"
echo "== Tessarin.exe updates the sample installation in $install"
rc=0
"$rig" run "$wine_dir" "build/$preset/dist/Tessarin.exe" 2> /dev/null || rc=$?
echo "   exit code $rc"
echo "== the game folder afterwards"
(cd "$install" && find . -type f -printf '   %-34p %8s bytes  %TY-%Tm-%Td %TH:%TM\n' | sort)
echo "== the installation record afterwards"
"$rig" run "$wine_dir" reg query 'HKCU\Software\Talvorek\Veltmark : Orvandel' 2> /dev/null | tr -d '\r' | sed -n 's/^ \+/   /p'
echo "== the Start-menu group"
find "$wine_dir/prefix/drive_c/users" -path '*Veltmark - Orvandel*' -printf '   %P\n'
[ "$rc" = 0 ] && [ ! -e "$install/TIRMOLD.EXE" ] && [ -f "$install/clans.url" ]

# The HTTP helper: the game's queue holds one request; a local web server plays the proxy,
# so the run needs no name service and reaches no outside server.
helper="$root/build/sample-helper-$arch"
echo "== nelkar.exe works off the request queue and fetches the update list and a changed file"
rm -rf "$helper"
mkdir -p "$helper/INTERNET"
cp "build/$preset/game/nelkar.exe" "$helper/"
[ "$arch" = 32 ] && cmp dist/nelkar.exe "$helper/nelkar.exe"
printf 'www.talvorek.de/clans/score.php?clan=7&points=120\r\n' > "$helper/INTERNET/upload.dat"
: > "$helper/INTERNET/postponed.dat"
printf 'www.talvorek.de/updates/clans.url\r\n1\r\nclans.url\r\n' > "$helper/INTERNET/downloaded.dat"
cat > "$helper/server.script" <<'SCRIPT'
case /clans/score.php?clan=7&points=120
send HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nscore recorded
case /games/Veltmark-OR/updates/vmorlist.dat
send HTTP/1.0 200 OK\r\n\r\nwww.talvorek.de/updates/clans.url\r\n2\r\nclans.url\r\n
case /updates/clans.url
send HTTP/1.0 200 OK\r\n\r\n[InternetShortcut]\r\nURL=http://www.talvorek.de/clans/\r\n
SCRIPT
python3 httphelper/tests/server/http_test_server.py --port 0 --script "$helper/server.script" \
    --log "$helper/log" --ready "$helper/server.port" 2> "$helper/server.err" &
server=$!
# The server ends quietly on SIGTERM (exit code 0, so the shell reports nothing).
trap 'kill $server 2>/dev/null || true; "$rig" teardown "$wine_dir"' EXIT
for _ in $(seq 100); do [ -e "$helper/server.port" ] && break; sleep 0.1; done
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Talvorek]\r\n"nelkarUseProxy"=dword:00000001\r\n"nelkarProxyAddr"="127.0.0.1"\r\n"nelkarProxyPort"=dword:%08x\r\n' \
    "$(cat "$helper/server.port")" > "$helper/proxy.reg"
"$rig" run "$wine_dir" regedit /S "Z:${helper//\//\\}\\proxy.reg"
(cd "$helper" && "$root/$rig" run "$wine_dir" nelkar.exe) || echo "   nelkar.exe ended with $?"
echo "== requests the proxy received"
sed 's/^/   /' "$helper/log/requests.log"
for f in upload.dat postponed.dat downloaded.dat; do
    echo "== INTERNET\\$f afterwards"
    if [ -s "$helper/INTERNET/$f" ]; then sed 's/\r$//; s/^/   /' "$helper/INTERNET/$f"; else echo "   (empty)"; fi
done
echo "== clans.url, the updated file"
sed 's/\r$//; s/^/   /' "$helper/clans.url"
kill "$server"
wait "$server" || true
