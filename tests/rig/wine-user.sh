#!/usr/bin/env bash
# Runs Windows programs as an unprivileged user (uid and gid 65534) in a prefix of its own,
# on the display of a rig folder made by wine.sh. Needed where root would bypass a file's
# permissions, for example to test read-only files.
#
#   wine-user.sh setup DIR        copy the pristine prefix to DIR/user-prefix, owned by the user
#   wine-user.sh run DIR PROG ARGS
#   wine-user.sh teardown DIR     end the user's Wine processes of that prefix
set -euo pipefail

cmd=${1:?usage: wine-user.sh setup|run|teardown DIR ...}
dir=$(realpath -m "${2:?usage: wine-user.sh setup|run|teardown DIR ...}")
shift 2
uid=65534

loader() { [ "$(cat "$dir/arch")" = 32 ] && echo /usr/lib/wine/wine || echo /usr/lib/wine/wine64; }

as_user() {
    setpriv --reuid=$uid --regid=$uid --clear-groups env -i PATH="$PATH" HOME="$dir/user-home" \
        USER=nobody LOGNAME=nobody WINEPREFIX="$dir/user-prefix" WINEDEBUG=-all \
        DISPLAY=":$(cat "$dir/display")" TZ="${TZ:-}" \
        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" "$@"
}

case "$cmd" in
setup)
    template="$(dirname "$dir")/wine-template-$(cat "$dir/arch")"
    [ -f "$template/ready" ] || { echo "wine-user.sh: run wine.sh setup $dir first" >&2; exit 1; }
    rm -rf "$dir/user-prefix" "$dir/user-home"
    cp -a "$template/prefix" "$dir/user-prefix"
    # The prefix names its server folder, which belongs to root: the user gets its own.
    rm -f "$dir/user-prefix/wineserver"
    mkdir -p "$dir/user-home"
    chown -R $uid:$uid "$dir/user-prefix" "$dir/user-home"
    as_user /usr/lib/wine/wineserver -p < /dev/null > /dev/null 2>&1
    as_user "$(loader)" wineboot < /dev/null > "$dir/user-services.log" 2>&1
    echo "wine-user.sh: prefix of uid $uid ready"
    ;;
run)
    as_user "$(loader)" "$@"
    ;;
teardown)
    [ -d "$dir/user-prefix" ] && as_user /usr/lib/wine/wineserver -k 2>/dev/null || true
    ;;
*)
    echo "wine-user.sh: unknown command $cmd" >&2
    exit 2
    ;;
esac
