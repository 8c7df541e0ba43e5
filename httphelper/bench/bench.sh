#!/usr/bin/env bash
# Download benchmark of the HTTP helper (not part of the test suites): starts nginx on a free
# port of 127.0.0.1 serving a 512 MiB body, runs bench_download (ours, curl, plain loop),
# then the same download through nelkar.exe under 64-bit Wine.
#
#   bash httphelper/bench/bench.sh [--no-wine]    (after building the native and win64 presets)
#
# NELKAR_BENCH_DIR names the work folder (default build/nelkar-bench); a folder on tmpfs, for
# instance under /dev/shm, keeps the disk out of the figures. --no-wine skips the Wine part,
# which needs only the native build.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
with_wine=1
[ "${1:-}" = "--no-wine" ] && with_wine=0
work="${NELKAR_BENCH_DIR:-$root/build/nelkar-bench}"
rm -rf "$work"
mkdir -p "$work/www" "$work/out" "$work/nginx"
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
port=$(free_port)
silent_port=$(free_port)
head -c $((512 * 1024 * 1024)) /dev/urandom > "$work/www/big.bin"
head -c 2000 /dev/urandom | base64 > "$work/www/small.txt"
cat > "$work/nginx.conf" <<CONF
daemon off;
worker_processes 1;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 64; }
http {
    access_log off;
    sendfile on;
    server {
        listen 127.0.0.1:$port;
        root $work/www;
    }
}
CONF
nginx -c "$work/nginx.conf" -p "$work/nginx" &
nginx_pid=$!
# A server that accepts and then stays silent for 10 s before closing.
python3 -c "
import socket, time
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(('127.0.0.1', $silent_port)); s.listen(1)
c, _ = s.accept(); time.sleep(10); c.close()
" &
silent_pid=$!
trap 'kill $nginx_pid $silent_pid 2>/dev/null || true; rm -rf "$work/www" "$work/out"' EXIT
for _ in $(seq 50); do curl -s -o /dev/null "http://127.0.0.1:$port/small.txt" && break; sleep 0.1; done

"$root/build/native/httphelper/bench/nelkar_bench_download" "$port" /big.bin "$work/out" "$silent_port"
[ "$with_wine" = 1 ] || exit 0

# The same download through nelkar.exe under Wine: nginx plays the proxy (it serves the
# absolute URL of a proxy request from its root); the update list then fails with 404.
# Beside the test prefixes of the win64 build, so their pristine template is reused.
wine_dir="$root/build/win64/wine-bench"
"$root/tests/rig/wine.py" setup "$wine_dir" 64 > /dev/null
trap 'kill $nginx_pid $silent_pid 2>/dev/null || true; "$root/tests/rig/wine.py" teardown "$wine_dir"; rm -rf "$work/www" "$work/out"' EXIT
game="$work/game"
mkdir -p "$game/INTERNET"
cp "$root/build/win64/game/nelkar.exe" "$game/"
"$root/tests/rig/wine.py" run "$wine_dir" reg add 'HKCU\Software\Talvorek' /v nelkarUseProxy /t REG_DWORD /d 1 /f > /dev/null
"$root/tests/rig/wine.py" run "$wine_dir" reg add 'HKCU\Software\Talvorek' /v nelkarProxyAddr /t REG_SZ /d 127.0.0.1 /f > /dev/null
"$root/tests/rig/wine.py" run "$wine_dir" reg add 'HKCU\Software\Talvorek' /v nelkarProxyPort /t REG_DWORD /d "$port" /f > /dev/null
run_wine() {
    printf "$1\r\n" > "$game/INTERNET/upload.dat"
    : > "$game/INTERNET/postponed.dat"
    : > "$game/INTERNET/downloaded.dat"
    local t0 t1
    t0=$(date +%s.%N)
    (cd "$game" && "$root/tests/rig/wine.py" run "$wine_dir" nelkar.exe)
    t1=$(date +%s.%N)
    python3 -c "print(round($t1 - $t0, 3))"
}
empty=$(run_wine localhost/small.txt)
big=$(run_wine localhost/big.bin)
echo "nelkar.exe under Wine: a run with one 512 MiB request $big s, with one small request $empty s;" \
     "difference $(python3 -c "print(round($big - $empty, 3))") s for the body"
[ "$(cat "$game/INTERNET/postponed.dat")" = "" ] || echo "the Wine download FAILED"
