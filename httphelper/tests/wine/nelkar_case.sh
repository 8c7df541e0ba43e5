#!/usr/bin/env bash
# One end-to-end case of nelkar.exe under Wine: the real program against the local test
# server on 127.0.0.1:80 (directly or through a real proxy), its exchange files, registry and
# set-up dialog.
#
#   nelkar_case.sh CASE RIG WINE_DIR BUILD_DIR TESTS_DIR
set -euo pipefail

case_name=$1
rig=$(realpath "$2") wine_dir=$(realpath "$3") build=$(realpath "$4") tests=$(realpath "$5")
work="$build/nelkar-wine-cases/$case_name"
rm -rf "$work"
mkdir -p "$work/game/INTERNET"
game="$work/game"
inet="$game/INTERNET"
cp "$build/game/nelkar.exe" "$game/"
limit=${NELKAR_CASE_TIMEOUT:-60}
[ "$(cat "$wine_dir/arch")" = 32 ] && limit=${NELKAR_CASE_TIMEOUT:-600}
driver_exe="$build/rig/msgbox_driver.exe"
dialog_exe="$build/nelkar-tests/dialog_driver.exe"

fail() { echo "FAIL: $*" >&2; exit 1; }
winepath_of() { echo "Z:${1//\//\\}"; }
wine_run() { "$rig" run "$wine_dir" "$@"; }

pids=()
cleanup() {
    local p
    for p in "${pids[@]}"; do kill -KILL "$p" 2>/dev/null || true; done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
    if [ -n "${setup_wrapper:-}" ]; then
        kill -KILL "$setup_wrapper" 2>/dev/null || true
        wait "$setup_wrapper" 2>/dev/null || true
    fi
}
trap cleanup EXIT

# The scriptable server on 127.0.0.1:80 with the case's script; requests logged in $work/log.
start_server() {
    cp "$1" "$work/script"
    python3 "$tests/server/http_test_server.py" --port "${2:-80}" --script "$work/script" --log "$work/log" \
        --ready "$work/server.ready" 2> "$work/server.err" &
    pids+=($!)
    local pid=$!
    for _ in $(seq 100); do
        [ -e "$work/server.ready" ] && return
        kill -0 "$pid" 2>/dev/null || fail "test server did not start: $(cat "$work/server.err")"
        sleep 0.1
    done
    fail "test server did not start"
}

# tinyproxy on a free port of 127.0.0.1, in $proxy_port.
start_proxy() {
    local port
    port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
    cat > "$work/tinyproxy.conf" <<CONF
Port $port
Listen 127.0.0.1
Timeout 60
MaxClients 20
Allow 127.0.0.1
LogLevel Info
LogFile "$work/tinyproxy.log"
PidFile "$work/tinyproxy.pid"
CONF
    tinyproxy -d -c "$work/tinyproxy.conf" > "$work/tinyproxy.out" 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do
        python3 -c "import socket,sys; socket.create_connection(('127.0.0.1',$port),1)" 2>/dev/null && { proxy_port=$port; return; }
        sleep 0.1
    done
    fail "tinyproxy did not start: $(cat "$work/tinyproxy.out")"
}

settings_key='HKCU\Software\Talvorek'
reg_reset() {
    wine_run reg delete "$settings_key" /f > /dev/null 2>&1 || true
    wine_run reg delete 'HKCR\http\shell\open\ddeexec' /f > /dev/null 2>&1 || true
}
reg_dword() { wine_run reg add "$settings_key" /v "$1" /t REG_DWORD /d "$2" /f > /dev/null; }
reg_string() { wine_run reg add "$settings_key" /v "$1" /t REG_SZ /d "$2" /f > /dev/null; }
# The four settings as "name type data" lines.
reg_settings() {
    wine_run reg query "$settings_key" 2>/dev/null | tr -d '\r' | awk '$1 ~ /^nelkar/ { print $1, $2, $3 }' | sort
}
expect_settings() {
    printf '%s\n' "$@" | sort > "$work/settings.expected"
    reg_settings > "$work/settings.actual"
    diff -u "$work/settings.expected" "$work/settings.actual" >&2 || fail "registry settings differ"
}

crlf() { printf '%s\r\n' "$@"; }
same_file() {  # same_file FILE EXPECTED-CONTENT
    [ -e "$1" ] || fail "missing $1"
    [ "$(cat -v "$1")" = "$(printf '%s' "$2" | cat -v)" ] || fail "$1 is '$(cat -v "$1")', expected '$(printf '%s' "$2" | cat -v)'"
}
requests() { cat "$work/log/requests.log" 2>/dev/null || true; }

# Runs nelkar.exe in the game folder; it must end with exit code 0.
run_nelkar() {
    local rc=0
    (cd "$game" && timeout "$limit" "$rig" run "$wine_dir" nelkar.exe "$@") || rc=$?
    [ "$rc" = 0 ] || fail "nelkar.exe ended with $rc"
}

# Message boxes: the rig's driver in the background, report in $work/boxes.
watch_boxes() {
    wine_run "$driver_exe" --timeout "$limit" --ready-file "$(winepath_of "$work/driver.ready")" \
        --stop-file "$(winepath_of "$work/driver.stop")" "$@" > "$work/boxes" 2> "$work/boxes.err" &
    driver=$!
    for _ in $(seq $((limit * 10))); do
        [ -e "$work/driver.ready" ] && return
        kill -0 "$driver" 2>/dev/null || break
        sleep 0.1
    done
    fail "message-box driver did not start: $(cat "$work/boxes.err")"
}
expect_boxes() {
    touch "$work/driver.stop"
    wait "$driver" || fail "message-box driver ended with $?: $(cat "$work/boxes") $(cat "$work/boxes.err")"
    if [ $# -eq 0 ]; then : > "$work/boxes.expected"; else printf '%s\n' "$@" > "$work/boxes.expected"; fi
    diff -u "$work/boxes.expected" "$work/boxes" >&2 || fail "message boxes differ"
}

# Set-up mode in the background; the dialog driver then works on its window. A wrapper waits
# for nelkar.exe (at most $limit s), ends it with itself (the case's clean-up ends the wrapper),
# and records its exit code and the processor time (user and system, in seconds) it used:
# "EXIT SECONDS" in $work/setup.cpu. $setup_pid is nelkar.exe's Wine process: the rig execs the
# Wine loader, so it is the wrapper's child itself.
start_setup() {
    rm -f "$work/setup.cpu" "$work/setup.pid"
    (cd "$game" && exec python3 - "$work/setup" "$limit" "$rig" run "$wine_dir" nelkar.exe "${1:-/C}" <<'PY') &
import ctypes, os, resource, signal, subprocess, sys
out, limit, cmd = sys.argv[1], float(sys.argv[2]), sys.argv[3:]
libc = ctypes.CDLL(None)
with open(out + ".out", "w") as log:
    # PR_SET_PDEATHSIG: the child is killed when the wrapper goes.
    child = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                             preexec_fn=lambda: libc.prctl(1, signal.SIGKILL, 0, 0, 0))
with open(out + ".pid.tmp", "w") as f:
    f.write(str(child.pid))
os.rename(out + ".pid.tmp", out + ".pid")
try:
    rc = child.wait(timeout=limit)
except subprocess.TimeoutExpired:
    child.kill()
    child.wait()
    rc = 124
used = resource.getrusage(resource.RUSAGE_CHILDREN)
with open(out + ".cpu", "w") as f:
    f.write("%d %.2f\n" % (rc, used.ru_utime + used.ru_stime))
PY
    setup_wrapper=$!
    for _ in $(seq 100); do [ -e "$work/setup.pid" ] && break; sleep 0.1; done
    setup_pid=$(cat "$work/setup.pid") || fail "set-up mode did not start"
}
# Waits for set-up mode to end; it must end with exit code 0.
end_setup() {
    wait "$setup_wrapper" || true
    setup_wrapper=
    local rc
    rc=$(cut -d' ' -f1 "$work/setup.cpu" 2>/dev/null) || rc=none
    [ "$rc" = 0 ] || fail "nelkar.exe /C ended with $rc"
}
# Processor time of nelkar.exe in set-up mode so far, in seconds.
cpu_seconds() {
    awk -v hz="$(getconf CLK_TCK)" '{ printf "%.2f\n", ($14 + $15) / hz }' "/proc/$setup_pid/stat" 2>/dev/null \
        || echo gone
}
dialog() {
    local rc=0
    wine_run "$dialog_exe" "$@" > "$work/dialog.out" 2> "$work/dialog.err" || rc=$?
    tr -d '\r' < "$work/dialog.out"
    [ "$rc" = 0 ] || fail "dialog driver ($*): $(cat "$work/dialog.err")"
}
# One control's line of a dump.
control() { grep "^control $1 " "$work/dump" || fail "no control $1 in the dump"; }

# A port on 127.0.0.1 whose connections stay pending, in $pending_port: its listener's backlog
# is filled with connections nobody accepts, so the kernel drops further connection requests
# and a client keeps retrying for about two minutes (tcp_syn_retries) before it gives up. It
# needs only loopback: no name service, no outside network, no privileges, so it behaves the
# same on every Linux machine. Touching $work/release closes the listener: the client's next
# attempt is refused at once.
start_pending_target() {
    python3 - "$work/pending.port" "$work/release" > "$work/pending.err" 2>&1 <<'PY' &
import os, socket, sys, time
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(0)
queued = []
for _ in range(64):
    s = socket.socket()
    s.settimeout(0.5)
    try:
        s.connect(listener.getsockname())
    except socket.timeout:
        break
    queued.append(s)
else:
    sys.exit("the listener's backlog never filled")
with open(sys.argv[1] + ".tmp", "w") as f:
    f.write(str(listener.getsockname()[1]))
os.rename(sys.argv[1] + ".tmp", sys.argv[1])
while not os.path.exists(sys.argv[2]):
    time.sleep(0.1)
listener.close()
PY
    pids+=($!)
    for _ in $(seq 100); do
        [ -e "$work/pending.port" ] && { pending_port=$(cat "$work/pending.port"); return; }
        sleep 0.1
    done
    fail "no pending target: $(cat "$work/pending.err")"
}

# The common server script of the full runs: one queued request served, one failing, the
# update list with a new file, a changed one, an unchanged one and a hostile destination.
cat > "$work/full.script" <<'SCRIPT'
case /q/served
send HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nthanks
case /games/Veltmark-OR/updates/vmorlist.dat
send HTTP/1.0 200 OK\r\n\r\nHOST/files/new.map\r\n1.0\r\nmaps\\new.map\r\nHOST/files/changed.dat\r\nv2\r\ndata\\changed.dat\r\nHOST/files/same.dat\r\nv1\r\nsame.dat\r\nHOST/files/evil.dll\r\n1\r\n..\\evil.dll\r\n
case /files/new.map
send HTTP/1.1 200 OK\r\n\r\nnew map
case /files/changed.dat
send HTTP/1.0 200 OK\r\n\r\nversion two
case /files/same.dat
send HTTP/1.0 200 OK\r\n\r\nshould not be fetched
case *
send HTTP/1.0 404 Not Found\r\n\r\n<html>not here</html>
SCRIPT

# Prepares the exchange folder for a full run; HOST is the host of every URL.
prepare_full_run() {
    local host=$1
    sed -i "s/HOST/$host/g" "$work/full.script"
    crlf "$host/q/served" "$host/q/missing" > "$inet/upload.dat"
    crlf "$host/q/old" "3" > "$inet/postponed.dat"
    crlf "$host/files/changed.dat" "v1" "data\\changed.dat" "$host/files/same.dat" "v1" "same.dat" > "$inet/downloaded.dat"
    mkdir -p "$game/data"
    printf 'version one' > "$game/data/changed.dat"
    printf 'unchanged' > "$game/same.dat"
}

check_full_run() {
    local host=$1
    same_file "$inet/upload.dat" ""
    # Stage 4 works from the last pair: the old entry 3 -> 4, the new one 1 -> 2.
    same_file "$inet/postponed.dat" "$(crlf "$host/q/old" "4" "$host/q/missing" "2")"
    same_file "$inet/downloaded.dat" "$(crlf "$host/files/changed.dat" "v2" "data\\changed.dat" \
        "$host/files/same.dat" "v1" "same.dat" "$host/files/new.map" "1.0" "maps\\new.map")"
    same_file "$game/maps/new.map" "new map"
    same_file "$game/data/changed.dat" "version two"
    same_file "$game/same.dat" "unchanged"
    [ ! -e "$work/evil.dll" ] || fail "a destination outside the game folder was written"
    for f in reply.dat vmorlist.dat header.dat; do [ ! -e "$inet/$f" ] || fail "$f left behind"; done
    [ -e "$inet/nelkar.lck" ] || fail "nelkar.lck missing"
    [ ! -s "$inet/nelkar.lck" ] || fail "nelkar.lck not empty"
    ls "$inet" "$game/maps" "$game/data" | grep -E '\.(new|part)$' && fail "temporary files left behind"
    return 0
}

case "$case_name" in
run_direct)
    reg_reset
    prepare_full_run localhost
    start_server "$work/full.script"
    run_nelkar
    check_full_run localhost
    printf '%s\n' "GET /q/served HTTP/1.0" "GET /q/missing HTTP/1.0" \
        "GET /games/Veltmark-OR/updates/vmorlist.dat HTTP/1.0" "GET /files/new.map HTTP/1.0" \
        "GET /files/changed.dat HTTP/1.0" "GET /q/missing HTTP/1.0" "GET /q/old HTTP/1.0" > "$work/requests.expected"
    requests | diff -u "$work/requests.expected" - >&2 || fail "requests differ"
    # Direct mode: the request line and the empty line, nothing else.
    cmp <(printf 'GET /q/served HTTP/1.0\r\n\r\n') "$work/log/001.req" || fail "direct request bytes differ"
    ;;
run_proxy)
    reg_reset
    prepare_full_run localhost
    start_server "$work/full.script"
    start_proxy
    reg_dword nelkarUseProxy 1
    reg_string nelkarProxyAddr 127.0.0.1
    reg_dword nelkarProxyPort "$proxy_port"
    run_nelkar
    check_full_run localhost
    [ "$(requests | wc -l)" = 7 ] || fail "expected 7 requests through the proxy, got: $(requests)"
    grep -q '^Via: .*tinyproxy' "$work/log/001.req" || fail "the request did not come through the proxy"
    ;;
second_instance)
    reg_reset
    cat > "$work/slow.script" <<'SCRIPT'
case /q/slow
sleep 8
send HTTP/1.0 200 OK\r\n\r\nslow
case *
send HTTP/1.0 404 Not Found\r\n\r\n
SCRIPT
    start_server "$work/slow.script"
    crlf "localhost/q/slow" > "$inet/upload.dat"
    : > "$inet/postponed.dat"
    : > "$inet/downloaded.dat"
    (cd "$game" && timeout "$limit" "$rig" run "$wine_dir" nelkar.exe; echo $? > "$work/first.rc") &
    first=$!
    for _ in $(seq 100); do [ -s "$work/log/requests.log" ] && break; sleep 0.1; done
    [ -s "$work/log/requests.log" ] || fail "the first run made no request"
    crlf "localhost/q/slow" "localhost/q/second" > "$inet/upload.dat"
    start=$(date +%s)
    run_nelkar
    [ $(( $(date +%s) - start )) -lt 6 ] || fail "the second instance did not end at once"
    [ "$(requests | wc -l)" = 1 ] || fail "the second instance made requests: $(requests)"
    same_file "$inet/upload.dat" "$(crlf "localhost/q/slow" "localhost/q/second")"
    same_file "$inet/postponed.dat" ""
    wait "$first"
    [ "$(cat "$work/first.rc")" = 0 ] || fail "first run ended with $(cat "$work/first.rc")"
    # The first run removed only its line and served the appended one in the same run.
    same_file "$inet/upload.dat" ""
    requests | grep -q 'GET /q/second' || fail "the line appended during the run was not served"
    ;;
missing_internet_defaults)
    reg_reset
    start_server "$work/full.script"
    rm -rf "$inet"
    run_nelkar
    [ ! -e "$inet" ] || fail "the INTERNET folder was created"
    [ -z "$(requests)" ] || fail "requests were made: $(requests)"
    [ "$(ls "$game")" = nelkar.exe ] || fail "files appeared: $(ls "$game")"
    expect_settings "nelkarUseProxy REG_DWORD 0x0" "nelkarProxyAddr REG_SZ proxy" \
        "nelkarProxyPort REG_DWORD 0xc38" "nelkarDebugLevel REG_DWORD 0x0"
    ;;
dialog_defaults_discard)
    reg_reset
    start_setup /c
    dialog wait dump > "$work/dump"
    # A single fixed border: neither sizeable nor the modal-dialog frame.
    grep -q '^form caption="HTTP-Proxyserver-Setup" client=370x131 .* centred=1 minbox=1 maxbox=0 frame=single enabled=1$' \
        "$work/dump" || fail "form: $(head -1 "$work/dump")"
    # Every control, in creation order, which is the tab order. Of the radio buttons only the
    # checked one is a tab stop; the labels after them start a new group. Labels size
    # themselves to their text in the system's font.
    sed -E 's/ (enabled|checked)=[01]//g; s/^(control Label[34] .*) size=[0-9]+x[0-9]+ /\1 /' "$work/dump" \
        | tail -n +2 > "$work/controls"
    cat > "$work/controls.expected" <<'EXPECTED'
control GroupBox2 class=Button text=" Proxyserver " at=8,8 size=355x73 group=0 tabstop=0
control EnableProxyBtn class=Button text="Aktivieren" at=16,27 size=81x17 group=1 tabstop=0
control DisableProxyBtn class=Button text="Deaktivieren" at=16,54 size=81x17 group=0 tabstop=1
control Label3 class=Static text="Adresse     :" at=102,27 group=1 tabstop=0
control Label4 class=Static text="Anschluss  :" at=102,55 group=0 tabstop=0
control AddressEdit class=Edit text="proxy" at=168,24 size=185x21 group=1 tabstop=1
control PortEdit class=Edit text="3128" at=168,51 size=49x21 group=1 tabstop=1
control CheckProxyBtn class=Button text="&Testen" at=224,51 size=129x21 group=1 tabstop=1
control SaveBtn class=Button text="&Speichern" at=176,93 size=82x30 group=1 tabstop=1
control DiscardBtn class=Button text="&Verwerfen" at=280,92 size=82x30 group=1 tabstop=1
EXPECTED
    diff -u "$work/controls.expected" "$work/controls" >&2 || fail "controls differ"
    control EnableProxyBtn | grep -q 'checked=0' || fail "Aktivieren checked"
    control DisableProxyBtn | grep -q 'checked=1' || fail "Deaktivieren not checked"
    for c in AddressEdit PortEdit CheckProxyBtn; do control "$c" | grep -q 'enabled=0' || fail "$c enabled"; done
    dialog post DiscardBtn waitgone
    end_setup
    # First start wrote the defaults; discarding wrote nothing more.
    expect_settings "nelkarUseProxy REG_DWORD 0x0" "nelkarProxyAddr REG_SZ proxy" \
        "nelkarProxyPort REG_DWORD 0xc38" "nelkarDebugLevel REG_DWORD 0x0"
    ;;
dialog_ie_yes_discard)
    reg_reset
    reg_dword nelkarUseProxy 0
    reg_string nelkarProxyAddr stored.example
    reg_dword nelkarProxyPort 3128
    reg_dword nelkarDebugLevel 2
    wine_run reg add 'HKCR\http\shell\open\ddeexec\Application' /ve /d IExplore /f > /dev/null
    ie='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
    wine_run reg add "$ie" /v ProxyEnable /t REG_DWORD /d 1 /f > /dev/null
    wine_run reg add "$ie" /v ProxyServer /t REG_SZ /d host:81 /f > /dev/null
    watch_boxes --count 1 --press YES
    start_setup
    dialog wait dump > "$work/dump"
    control EnableProxyBtn | grep -q 'checked=1' || fail "Aktivieren not checked"
    control AddressEdit | grep -q 'text="host"' || fail "address: $(control AddressEdit)"
    control PortEdit | grep -q 'text="81" .*enabled=1' || fail "port: $(control PortEdit)"
    dialog post DiscardBtn waitgone
    end_setup
    # The driver reports the ANSI bytes as they are: 0xE4 and 0xF6 in code page 1252.
    expect_boxes "$(printf 'box caption="Best\xe4tigung" text="Internet Explorer ist als Standard-Browser konfiguriert. M\xf6chten sie dessen Einstellungen verwenden?" buttons=YES,NO icon=question pressed=YES')"
    expect_settings "nelkarUseProxy REG_DWORD 0x0" "nelkarProxyAddr REG_SZ stored.example" \
        "nelkarProxyPort REG_DWORD 0xc38" "nelkarDebugLevel REG_DWORD 0x2"
    wine_run reg delete "$ie" /v ProxyServer /f > /dev/null 2>&1 || true
    wine_run reg delete "$ie" /v ProxyEnable /f > /dev/null 2>&1 || true
    ;;
dialog_test_button)
    reg_reset
    start_server "$work/full.script"
    reg_dword nelkarUseProxy 1
    free=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
    watch_boxes --count 4 --press OK
    start_setup
    dialog wait settext AddressEdit 127.0.0.1 settext PortEdit 31a8 post CheckProxyBtn
    for _ in $(seq 100); do [ "$(wc -l < "$work/boxes")" -ge 1 ] && break; sleep 0.1; done
    dialog settext PortEdit "$free" post CheckProxyBtn
    for _ in $(seq 100); do [ "$(wc -l < "$work/boxes")" -ge 2 ] && break; sleep 0.1; done
    dialog settext PortEdit 80 post CheckProxyBtn
    for _ in $(seq 100); do [ "$(wc -l < "$work/boxes")" -ge 3 ] && break; sleep 0.1; done
    # An invalid port on save: the standard error box, nothing stored, the dialog stays.
    dialog settext PortEdit 31a8 post SaveBtn
    for _ in $(seq 100); do [ "$(wc -l < "$work/boxes")" -ge 4 ] && break; sleep 0.1; done
    dialog wait post DiscardBtn waitgone
    end_setup
    expect_boxes \
        "$(printf 'box caption="Fehler" text="Unzul\xe4ssiger Proxyanschluss angegeben" buttons=OK icon=error pressed=OK')" \
        'box caption="Fehler" text="Verbindungstest fehlgeschlagen!" buttons=OK icon=error pressed=OK' \
        'box caption="Information" text="Verbindungstest erfolgreich!" buttons=OK icon=information pressed=OK' \
        "box caption=\"NELKAR\" text=\"'31a8' is not a valid integer value.\" buttons=OK icon=error pressed=OK"
    # The test only connects: the server saw a connection but no request.
    [ -z "$(requests)" ] || fail "the test sent a request: $(requests)"
    expect_settings "nelkarUseProxy REG_DWORD 0x1" "nelkarProxyAddr REG_SZ proxy" \
        "nelkarProxyPort REG_DWORD 0xc38" "nelkarDebugLevel REG_DWORD 0x0"
    ;;
dialog_save)
    reg_reset
    start_setup
    dialog wait click EnableProxyBtn settext AddressEdit cache.example settext PortEdit 70000 post SaveBtn waitgone
    end_setup
    expect_settings "nelkarUseProxy REG_DWORD 0x1" "nelkarProxyAddr REG_SZ cache.example" \
        "nelkarProxyPort REG_DWORD 0x11170" "nelkarDebugLevel REG_DWORD 0x0"
    # Saved with the proxy switched off: the values as they stand in the disabled edits.
    start_setup
    dialog wait click DisableProxyBtn post SaveBtn waitgone
    end_setup
    expect_settings "nelkarUseProxy REG_DWORD 0x0" "nelkarProxyAddr REG_SZ cache.example" \
        "nelkarProxyPort REG_DWORD 0x11170" "nelkarDebugLevel REG_DWORD 0x0"
    ;;
dialog_aktivieren_refills)
    reg_reset
    reg_dword nelkarUseProxy 5
    reg_string nelkarProxyAddr stored.example
    reg_dword nelkarProxyPort 8080
    start_setup
    dialog wait settext AddressEdit typed.example settext PortEdit 1 click EnableProxyBtn dump > "$work/dump"
    control AddressEdit | grep -q 'text="stored.example"' || fail "address not refilled: $(control AddressEdit)"
    control PortEdit | grep -q 'text="8080"' || fail "port not refilled: $(control PortEdit)"
    dialog click DisableProxyBtn dump > "$work/dump"
    control AddressEdit | grep -q 'enabled=0' || fail "address still enabled"
    control CheckProxyBtn | grep -q 'enabled=0' || fail "test button still enabled"
    dialog post DiscardBtn waitgone
    end_setup
    # "5" reads as on and is not rewritten unless saved.
    expect_settings "nelkarUseProxy REG_DWORD 0x5" "nelkarProxyAddr REG_SZ stored.example" \
        "nelkarProxyPort REG_DWORD 0x1f90" "nelkarDebugLevel REG_DWORD 0x0"
    ;;
dialog_screenshot)
    reg_reset
    reg_dword nelkarUseProxy 1
    reg_string nelkarProxyAddr proxy.example
    # Inside Wine's virtual desktop the dialog gets its frame and caption.
    (cd "$game" && timeout "$limit" "$rig" run "$wine_dir" explorer /desktop=nelkar,640x480 nelkar.exe /C > /dev/null 2>&1) &
    setup=$!
    timeout "$limit" "$rig" run "$wine_dir" explorer /desktop=nelkar,640x480 "$dialog_exe" wait \
        touch "$(winepath_of "$work/shown")" waitfile "$(winepath_of "$work/shot.done")" post DiscardBtn waitgone \
        > "$work/driver.out" 2>&1 &
    drv=$!
    for _ in $(seq $((limit * 10))); do [ -e "$work/shown" ] && break; sleep 0.1; done
    [ -e "$work/shown" ] || fail "the dialog did not appear: $(cat "$work/driver.out")"
    sleep 1
    import -display ":$(cat "$wine_dir/display")" -window root "$build/nelkar-setup-dialog.png"
    touch "$work/shot.done"
    wait "$drv" || fail "dialog driver: $(cat "$work/driver.out")"
    wait "$setup" || true
    [ -s "$build/nelkar-setup-dialog.png" ] || fail "no screenshot"
    echo "screenshot: $build/nelkar-setup-dialog.png"
    ;;
dialog_test_double_click)
    # A double click on "Testen" while the connect is pending starts one test: the dialog takes
    # no input while the test runs (nor a click posted to it, nor keys), the result comes in one
    # box, owned by the dialog and modal to it, and afterwards the focus is back on "Testen".
    reg_reset
    reg_dword nelkarUseProxy 1
    start_pending_target
    start_setup
    dialog wait settext AddressEdit 127.0.0.1 settext PortEdit "$pending_port" mouse CheckProxyBtn 2 sleep 300 \
        keys space,enter,tab post CheckProxyBtn sleep 1500 dump focus boxes > "$work/dump"
    grep -q '^form .* enabled=0$' "$work/dump" || fail "the dialog takes input during the test: $(head -1 "$work/dump")"
    grep -qx 'boxes 0' "$work/dump" || fail "a message box came while the test was still waiting: $(tail -1 "$work/dump")"
    grep -qx 'focus none' "$work/dump" || fail "keys reach the dialog during the test: $(grep '^focus' "$work/dump")"
    touch "$work/release"
    [ "$(dialog waitbox)" = "box owner=form form-enabled=0" ] || fail "the result box is not modal to the dialog"
    # The driver answers the box, then watches 3 s more for a second one.
    watch_boxes --count 1 --quiet-after 3 --press OK
    for _ in $(seq 100); do kill -0 "$driver" 2>/dev/null || break; sleep 0.1; done
    expect_boxes 'box caption="Fehler" text="Verbindungstest fehlgeschlagen!" buttons=OK icon=error pressed=OK'
    dialog dump focus > "$work/dump"
    grep -q '^form .* enabled=1$' "$work/dump" || fail "the dialog stays disabled after the test"
    grep -qx 'focus CheckProxyBtn' "$work/dump" || fail "focus after the box: $(tail -1 "$work/dump")"
    dialog post DiscardBtn waitgone
    end_setup
    expect_settings "nelkarUseProxy REG_DWORD 0x1" "nelkarProxyAddr REG_SZ proxy" \
        "nelkarProxyPort REG_DWORD 0xc38" "nelkarDebugLevel REG_DWORD 0x0"
    ;;
dialog_close_during_test)
    # The dialog is closed while a test waits for a connect that neither succeeds nor fails:
    # once through WM_CLOSE (close box, taskbar, task manager) and once by a quit message to its
    # thread. The test is cancelled and the program ends at once, without a message box and
    # without writing anything; the wait takes no processor time, neither before the close nor
    # after it (a wait that spins takes a core until the connect gives up).
    reg_reset
    reg_dword nelkarUseProxy 1
    start_pending_target
    for how in close quit; do
        watch_boxes --count 0 --quiet-after 600
        start_setup
        dialog wait settext AddressEdit 127.0.0.1 settext PortEdit "$pending_port" post CheckProxyBtn sleep 500 \
            dump > "$work/dump"
        grep -q '^form .* enabled=0$' "$work/dump" || fail "$how: the test did not start: $(head -1 "$work/dump")"
        start=$(cpu_seconds)
        sleep 3
        before=$(cpu_seconds)
        dialog "$how"
        for _ in $(seq 100); do [ -e "$work/setup.cpu" ] && break; sleep 0.1; done
        if [ ! -e "$work/setup.cpu" ]; then
            fail "$how: nelkar.exe still runs 10 s later; processor time $start s at the test's start, $(cpu_seconds) s now"
        fi
        end_setup
        total=$(cut -d' ' -f2 "$work/setup.cpu")
        echo "$how: processor time of nelkar.exe: $start s when the test began, $before s 3 s later, $total s at its end"
        awk -v a="$start" -v b="$before" -v c="$total" 'BEGIN { exit !(b - a < 0.3 && c - a < 0.5) }' \
            || fail "$how: the helper used processor time while the test waited ($start s, $before s, $total s)"
        expect_boxes
        rm -f "$work/driver.ready" "$work/driver.stop"
    done
    expect_settings "nelkarUseProxy REG_DWORD 0x1" "nelkarProxyAddr REG_SZ proxy" \
        "nelkarProxyPort REG_DWORD 0xc38" "nelkarDebugLevel REG_DWORD 0x0"
    ;;
dialog_keyboard)
    # Tab visits the checked radio button (not the other one), then the enabled edits and
    # buttons in the order of the table; the arrow keys move between the two radio buttons
    # only; Esc leaves like "Verwerfen": nothing is written.
    reg_reset
    reg_dword nelkarUseProxy 1
    reg_string nelkarProxyAddr stored.example
    start_setup
    dialog wait focus keys tab focus keys tab focus keys tab focus keys tab focus keys tab focus keys tab focus \
        keys backtab focus keys tab keys down focus keys down focus > "$work/focus"
    printf 'focus %s\n' EnableProxyBtn AddressEdit PortEdit CheckProxyBtn SaveBtn DiscardBtn EnableProxyBtn DiscardBtn \
        DisableProxyBtn EnableProxyBtn > "$work/focus.expected"
    diff -u "$work/focus.expected" "$work/focus" >&2 || fail "keyboard focus differs"
    dialog keys tab settext AddressEdit typed.example keys esc waitgone
    end_setup
    expect_settings "nelkarUseProxy REG_DWORD 0x1" "nelkarProxyAddr REG_SZ stored.example" \
        "nelkarProxyPort REG_DWORD 0xc38" "nelkarDebugLevel REG_DWORD 0x0"
    ;;
killed_runs)
    # nelkar.exe is killed at points spread over a slow run (between and during requests and
    # list writes); after each kill nothing queued is lost, every list is whole, and every
    # destination holds its old or its new content. The last run completes.
    reg_reset
    cat > "$work/slow.script" <<'SCRIPT'
case /q/a
sleep 0.15
send HTTP/1.0 200 OK\r\n\r\nA
case /q/c
send HTTP/1.0 200 OK\r\n\r\n
sleep 0.15
send C
case /games/Veltmark-OR/updates/vmorlist.dat
sleep 0.1
send HTTP/1.0 200 OK\r\n\r\nlocalhost/f/one\r\n2\r\nfiles\\one.dat\r\nlocalhost/f/two\r\n1\r\nfiles\\two.dat\r\n
case /f/one
send HTTP/1.0 200 OK\r\n\r\n
repeat 4000 new one 
sleep 0.2
repeat 4000 new one 
case /f/two
sleep 0.1
send HTTP/1.0 200 OK\r\n\r\nnew two
case *
sleep 0.1
send HTTP/1.0 404 Not Found\r\n\r\n
SCRIPT
    start_server "$work/slow.script"
    new_one=$(python3 -c 'print("new one " * 8000, end="")')
    for delay in 0.3 0.4 0.5 0.6 0.7 0.8 0.9 1.0 1.1 1.2 1.3 1.4 1.5 1.6 1.7 1.8 1.9 99; do
        rm -rf "$game/files" "$inet"
        mkdir -p "$game/files" "$inet"
        queued=(localhost/q/a localhost/q/b localhost/q/c)
        crlf "${queued[@]}" > "$inet/upload.dat"
        crlf localhost/q/p 1 > "$inet/postponed.dat"
        crlf localhost/f/one 1 'files\one.dat' > "$inet/downloaded.dat"
        printf 'old one' > "$game/files/one.dat"
        before=$(requests | wc -l)
        (cd "$game" && exec "$rig" run "$wine_dir" nelkar.exe) &
        pid=$!
        if [ "$delay" != 99 ]; then
            sleep "$delay"
            kill -KILL "$pid" 2>/dev/null || true
        fi
        { wait "$pid"; } 2> /dev/null || true
        sent=$(requests | tail -n +$((before + 1)))
        for f in upload.dat postponed.dat downloaded.dat; do
            t=$(cat -v "$inet/$f")
            [ -z "$t" ] || [[ "$t" == *"^M" ]] || fail "after $delay s: $f is cut: $t"
        done
        [ $(( $(tr -cd '\n' < "$inet/postponed.dat" | wc -c) % 2 )) = 0 ] || fail "after $delay s: odd postponed.dat"
        [ $(( $(tr -cd '\n' < "$inet/downloaded.dat" | wc -c) % 3 )) = 0 ] || fail "after $delay s: downloaded.dat not in triples"
        for url in "${queued[@]}"; do
            grep -qx "$url"$'\r' "$inet/upload.dat" || grep -qx "$url"$'\r' "$inet/postponed.dat" \
                || grep -qx "GET /${url#*/} HTTP/1.0" <<< "$sent" || fail "after $delay s: $url was lost"
        done
        one=$(cat "$game/files/one.dat")
        [ "$one" = "old one" ] || [ "$one" = "$new_one" ] || fail "after $delay s: one.dat is neither old nor new (${#one} bytes)"
        [ ! -e "$game/files/two.dat" ] || [ "$(cat "$game/files/two.dat")" = "new two" ] || fail "after $delay s: two.dat cut"
        echo "killed after $delay s: upload $(tr -cd '\n' < "$inet/upload.dat" | wc -c) lines, postponed $(tr -cd '\n' < "$inet/postponed.dat" | wc -c), one.dat ${#one} bytes"
    done
    same_file "$inet/upload.dat" ""
    same_file "$inet/postponed.dat" "$(crlf localhost/q/p 2 localhost/q/b 2)"
    [ "$(cat "$game/files/one.dat")" = "$new_one" ] || fail "the complete run did not update one.dat"
    ;;
run_shipped32)
    # The shipped build names the maker's update server; the local server plays the proxy,
    # so the run needs no name service. Every 32-bit process costs about a minute here, so
    # the settings go in with one registry import.
    sed -i 's/HOST/www.talvorek.de/g' "$work/full.script"
    start_server "$work/full.script"
    printf 'REGEDIT4\r\n\r\n[-HKEY_CURRENT_USER\\Software\\Talvorek]\r\n\r\n[HKEY_CURRENT_USER\\Software\\Talvorek]\r\n"nelkarUseProxy"=dword:00000001\r\n"nelkarProxyAddr"="127.0.0.1"\r\n"nelkarProxyPort"=dword:00000050\r\n' \
        > "$work/proxy.reg"
    timeout "$limit" "$rig" run "$wine_dir" regedit /S "$(winepath_of "$work/proxy.reg")"
    crlf "www.talvorek.de/q/served" > "$inet/upload.dat"
    : > "$inet/postponed.dat"
    : > "$inet/downloaded.dat"
    run_nelkar
    same_file "$inet/upload.dat" ""
    same_file "$inet/postponed.dat" ""
    same_file "$game/maps/new.map" "new map"
    requests | grep -q '^GET http://www.talvorek.de/q/served HTTP/1.0$' || fail "queued request not served: $(requests)"
    requests | grep -q '^GET http://www.talvorek.de/games/Veltmark-OR/updates/vmorlist.dat HTTP/1.0$' \
        || fail "update list not fetched: $(requests)"
    ;;
*)
    fail "unknown case $case_name"
    ;;
esac
echo "PASS: $case_name"
