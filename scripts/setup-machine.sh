#!/usr/bin/env bash
# Installs what the kit's builds and tests need on a fresh Debian 12 machine (run as root).
# Safe to run again: it installs only what is missing and sets up 32-bit Wine once.
set -euo pipefail

want_32bit=1
[ "${1:-}" = "--no-wine32" ] && want_32bit=0

export DEBIAN_FRONTEND=noninteractive

packages=(
    build-essential cmake ninja-build clang libclang-rt-14-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev zlib1g-dev
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev
    wine wine64 fonts-wine xvfb x11-apps imagemagick xdotool
    zip unzip libarchive-tools
    osslsigncode openssl
    python3 curl
)
# Servers for the HTTP helper's tests and benchmark; the suites start them themselves.
server_packages=(tinyproxy nginx-light)
packages32=(qemu-user wine32:i386)

missing() {
    local p out=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || out+=("$p")
    done
    printf '%s\n' "${out[@]}"
}

if [ "$want_32bit" = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi

need=$(missing "${packages[@]}")
[ "$want_32bit" = 1 ] && need="$need $(missing "${packages32[@]}")"
need=$(echo $need)
if [ -n "$need" ]; then
    echo "setup: installing $need"
    apt-get update -q
    # shellcheck disable=SC2086
    apt-get install -y -q --no-install-recommends $need
fi

# 32-bit Wine runs only through user-mode emulation here. Wine starts every further process
# by executing /usr/lib/wine/wine again, so the emulator wrapper has to sit exactly there.
if [ "$want_32bit" = 1 ] && ! dpkg-divert --list /usr/lib/wine/wine | grep -q wine.real32; then
    dpkg-divert --add --rename --divert /usr/lib/wine/wine.real32 /usr/lib/wine/wine
fi
if [ "$want_32bit" = 1 ]; then
    wrapper='#!/bin/sh
exec qemu-i386 -0 /usr/lib/wine/wine -L / /usr/lib/wine/wine.real32 "$@"'
    if [ "$(cat /usr/lib/wine/wine 2>/dev/null)" != "$wrapper" ]; then
        printf '%s\n' "$wrapper" > /usr/lib/wine/wine
        chmod +x /usr/lib/wine/wine
    fi
fi
# Installed without starting their services: the suites run their own instances, and a
# system nginx would take port 80 from the helper's test server.
need=$(echo $(missing "${server_packages[@]}"))
if [ -n "$need" ]; then
    echo "setup: installing $need"
    own_policy=0
    if [ ! -e /usr/sbin/policy-rc.d ]; then
        printf '#!/bin/sh\nexit 101\n' > /usr/sbin/policy-rc.d
        chmod +x /usr/sbin/policy-rc.d
        own_policy=1
    fi
    apt-get update -q
    # shellcheck disable=SC2086
    apt-get install -y -q --no-install-recommends $need
    if [ "$own_policy" = 1 ]; then rm -f /usr/sbin/policy-rc.d; fi
fi
echo "setup: machine ready"
