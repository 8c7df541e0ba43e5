#!/usr/bin/env bash
# Wine test rig: one fresh prefix and one Xvfb display per test run.
#
#   wine.sh setup DIR 64|32    start Xvfb, create the prefix in DIR, keep its server warm
#   wine.sh run DIR PROG ARGS  run a Windows program in that prefix and display
#   wine.sh teardown DIR       end every process of the prefix and the display
#
# 64 runs x86-64 programs through the 64-bit loader; 32 runs PE32 programs through the
# 32-bit loader, which on these machines is emulated and slow.
set -euo pipefail

cmd=${1:?usage: wine.sh setup|run|teardown DIR ...}
dir=$(realpath -m "${2:?usage: wine.sh setup|run|teardown DIR ...}")
shift 2

loader_for() { [ "$1" = 32 ] && echo /usr/lib/wine/wine || echo /usr/lib/wine/wine64; }

wine_env() {
    export WINEPREFIX="$dir/prefix"
    export WINEDEBUG=-all
    export DISPLAY=":$(cat "$dir/display")"
    # No "install Mono/Gecko" dialogs in a test prefix.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
}

free_display() {
    local n
    for n in $(seq 90 199); do
        if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
            echo "$n"
            return
        fi
    done
    echo "wine.sh: no free X display" >&2
    exit 1
}

case "$cmd" in
setup)
    arch=${1:-64}
    rm -rf "$dir"
    mkdir -p "$dir"
    echo "$arch" > "$dir/arch"
    n=$(free_display)
    echo "$n" > "$dir/display"
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp > "$dir/xvfb.log" 2>&1 &
    echo $! > "$dir/xvfb.pid"
    for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    wine_env
    start=$(date +%s)
    # Creating a prefix takes minutes here (its 32-bit half runs emulated), so a pristine one
    # is made once per build folder and every run starts from a fresh copy of it.
    template="$(dirname "$dir")/wine-template-$arch"
    if [ ! -f "$template/ready" ]; then
        rm -rf "$template"
        mkdir -p "$template/prefix"
        WINEPREFIX="$template/prefix" "$(loader_for "$arch")" wineboot -i > "$dir/wineboot.log" 2>&1
        # Without a window manager Wine waits about 2 s after every message box for one that
        # never answers; unmanaged windows return at once. The prefix also holds a 64-bit
        # half, so the fast loader can write its registry.
        WINEPREFIX="$template/prefix" /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' \
            /v Managed /t REG_SZ /d N /f >> "$dir/wineboot.log" 2>&1
        WINEPREFIX="$template/prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
        WINEPREFIX="$template/prefix" /usr/lib/wine/wineserver -w 2>/dev/null || true
        touch "$template/ready"
    fi
    # Wine's own fonts: "MS Sans Serif" (sserife.fon) with the metrics that dialogs are laid
    # out for, Marlett for caption buttons, Tahoma for message boxes. This Wine build misses
    # them where the package puts them and loads fonts only from the prefix's Fonts folder
    # and the system's font folders (WINEDEBUG=+font), so they are copied into the prefix;
    # without them every face falls back to a wider substitute. Older templates get them too.
    fonts=/usr/share/wine/fonts
    [ -f "$fonts/sserife.fon" ] || { echo "wine.sh: $fonts/sserife.fon missing (package fonts-wine)" >&2; exit 1; }
    cp -u "$fonts"/* "$template/prefix/drive_c/windows/Fonts/"
    cp -a "$template/prefix" "$WINEPREFIX"
    # A persistent server keeps the prefix warm between the test programs. The server and
    # the prefix's services outlive every test program, so they are started here with their
    # output away from the caller's (CTest waits until a test's output is closed).
    /usr/lib/wine/wineserver -p < /dev/null > /dev/null 2>&1
    "$(loader_for "$arch")" wineboot < /dev/null > "$dir/services.log" 2>&1
    echo "wine.sh: $arch-bit prefix ready in $(( $(date +%s) - start )) s on display :$n"
    ;;
run)
    wine_env
    exec "$(loader_for "$(cat "$dir/arch")")" "$@"
    ;;
teardown)
    if [ -f "$dir/display" ]; then
        wine_env
        /usr/lib/wine/wineserver -k 2>/dev/null || true
    fi
    if [ -f "$dir/xvfb.pid" ]; then
        kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true
        rm -f "$dir/xvfb.pid"
    fi
    ;;
*)
    echo "wine.sh: unknown command $cmd" >&2
    exit 2
    ;;
esac
