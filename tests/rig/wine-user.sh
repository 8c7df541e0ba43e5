#!/usr/bin/env bash
# Runs Windows programs as an unprivileged user (uid and gid 65534) in a prefix of its own,
# on the display of a rig folder made by wine.sh. Needed where root would bypass a file's
# permissions, for example to test read-only files.
#
#   wine-user.sh setup DIR        make the user's folder (see root) with a copy of the pristine
#                                 prefix, owned by the user
#   wine-user.sh root DIR         print the user's folder: DIR/user when the user can reach DIR,
#                                 else a fresh temporary folder (a checkout under /root, say);
#                                 programs and files the user works on belong there
#   wine-user.sh run DIR PROG ARGS
#   wine-user.sh teardown DIR     end the user's Wine processes and remove a temporary folder
set -euo pipefail

cmd=${1:?usage: wine-user.sh setup|run|teardown DIR ...}
dir=$(realpath -m "${2:?usage: wine-user.sh setup|run|teardown DIR ...}")
shift 2
uid=65534

user_root() { cat "$dir/user-root"; }

loader() { [ "$(cat "$dir/arch")" = 32 ] && echo /usr/lib/wine/wine || echo /usr/lib/wine/wine64; }

# A clean environment; LANG makes Wine read Unix file names and arguments as UTF-8.
as_user() {
    setpriv --reuid=$uid --regid=$uid --clear-groups env -i PATH="$PATH" HOME="$(user_root)/home" LANG=C.UTF-8 \
        USER=nobody LOGNAME=nobody WINEPREFIX="$(user_root)/prefix" WINEDEBUG=-all \
        DISPLAY=":$(cat "$dir/display")" TZ="${TZ:-}" \
        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" "$@"
}

case "$cmd" in
setup)
    template="$(dirname "$dir")/wine-template-$(cat "$dir/arch")"
    [ -f "$template/ready" ] || { echo "wine-user.sh: run wine.sh setup $dir first" >&2; exit 1; }
    [ -f "$dir/user-root" ] && [ "$(user_root)" != "$dir/user" ] && rm -rf "$(user_root)"
    rm -rf "$dir/user"
    if setpriv --reuid=$uid --regid=$uid --clear-groups test -x "$dir"; then
        mkdir -p "$dir/user"
        echo "$dir/user" > "$dir/user-root"
    else
        mktemp -d > "$dir/user-root"
        chmod 755 "$(user_root)"
    fi
    cp -a "$template/prefix" "$(user_root)/prefix"
    # The prefix names its server folder, which belongs to root: the user gets its own.
    rm -f "$(user_root)/prefix/wineserver"
    mkdir -p "$(user_root)/home"
    chown -R $uid:$uid "$(user_root)"
    as_user /usr/lib/wine/wineserver -p < /dev/null > /dev/null 2>&1
    as_user "$(loader)" wineboot < /dev/null > "$dir/user-services.log" 2>&1
    echo "wine-user.sh: prefix of uid $uid ready in $(user_root)"
    ;;
root)
    user_root
    ;;
run)
    as_user "$(loader)" "$@"
    ;;
teardown)
    if [ -f "$dir/user-root" ]; then
        as_user /usr/lib/wine/wineserver -k 2>/dev/null || true
        [ "$(user_root)" = "$dir/user" ] || rm -rf "$(user_root)"
        rm -f "$dir/user-root"
    fi
    ;;
*)
    echo "wine-user.sh: unknown command $cmd" >&2
    exit 2
    ;;
esac
