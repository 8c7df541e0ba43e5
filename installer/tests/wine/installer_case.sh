#!/usr/bin/env bash
# One end-to-end case of the update installer: a prepared installation record and game
# folder, Tessarin.exe run under Wine with its message boxes answered by the driver, then
# the game folder, the record, the Start-menu link and the temporary folder checked.
#
#   installer_case.sh CASE RIG_DIR WINE_DIR BUILD_DIR
set -euo pipefail

case_name=$1 rig_dir=$2 wine_dir=$3 build=$4
work="$build/installer-wine-cases/$case_name"
exe="$build/dist/Tessarin.exe"
probe="$build/installer/tests/installer_probe.exe"
driver_exe="$build/rig/msgbox_driver.exe"
stage="$build/installer/payload.zip.d"
arch=$(cat "$wine_dir/arch")
limit=${INSTALLER_CASE_TIMEOUT:-120}
[ "$arch" = 32 ] && limit=${INSTALLER_CASE_TIMEOUT:-900}
export TZ=UTC

fail() { echo "FAIL: $case_name: $*" >&2; exit 1; }
winepath_of() { echo "Z:${1//\//\\}"; }

# Root or the unprivileged user (cases about read-only files).
use_root() {
    run=("$rig_dir/wine.sh" run "$wine_dir")
    prefix="$wine_dir/prefix"
    user=root
}
use_user() {
    run=("$rig_dir/wine-user.sh" run "$wine_dir")
    local root
    root=$("$rig_dir/wine-user.sh" root "$wine_dir")
    prefix="$root/prefix"
    user=nobody
    # The user works in its own folder, with its own copies of the programs.
    work="$root/cases/$case_name"
    mkdir -p "$root/bin"
    cp "$build/dist/Tessarin.exe" "$build/rig/msgbox_driver.exe" "$probe" "$root/bin/"
    chmod -R a+rX "$root/bin"
    exe="$root/bin/Tessarin.exe"
    driver_exe="$root/bin/msgbox_driver.exe"
    probe="$root/bin/installer_probe.exe"
}

# A fresh game folder ($work/game, or $work/$game_folder) and work folder; the installation
# record as given ("-" leaves a value out, "none" removes the whole record; dword:N stores a
# number, hex(T):.. raw data).
prepare() {
    local language=$1 version=$2 reg="$work/record.reg"
    game="$work/${game_folder:-game}"
    rm -rf "$work"
    mkdir -p "$game"
    [ "$user" = root ] || chown -R 65534:65534 "$(dirname "$work")"
    temp="$prefix/drive_c/users/root/Temp"  # the prefix's TEMP, also for the other user
    programs_win='C:\users\root\AppData\Roaming\Microsoft\Windows\Start Menu\Programs'
    group="$prefix/drive_c/users/root/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Veltmark - Orvandel"
    rm -rf "$group"
    rm -f "$temp/update.zip"
    game_win=$(winepath_of "$game")
    {
        printf 'REGEDIT4\r\n\r\n[-HKEY_CURRENT_USER\\Software\\Talvorek]\r\n\r\n'
        if [ "$language" != none ]; then
            printf '[HKEY_CURRENT_USER\\Software\\Talvorek\\Veltmark : Orvandel]\r\n'
            printf '"InstallDir"="%s"\r\n' "${game_win//\\/\\\\}"
            value_line Language "$language"
            value_line Version "$version"
        fi
    } > "$work/record.reg"
    "${run[@]}" regedit /S "$(winepath_of "$reg")" || fail "regedit ended with $?"
}
value_line() {
    case "$2" in
    -) ;;
    dword:* | hex*) printf '"%s"=%s\r\n' "$1" "$2" ;;
    *) printf '"%s"="%s"\r\n' "$1" "$2" ;;
    esac
}

# Starts the message-box driver in the background; its report goes to $work/boxes.
watch_boxes() {
    rm -f "$work/driver.ready" "$work/driver.stop"
    "${run[@]}" "$driver_exe" --timeout "$limit" \
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

# The boxes shown, one line each (code addresses replaced by ADDR).
expect_boxes() {
    touch "$work/driver.stop"
    wait "$driver" || fail "message-box driver ended with $?: $(cat "$work/boxes") $(cat "$work/boxes.err")"
    if [ $# -eq 0 ]; then : > "$work/boxes.expected"; else printf '%s\n' "$@" > "$work/boxes.expected"; fi
    sed -E 's/ at [0-9A-F]{8,16}\./ at ADDR./' "$work/boxes" > "$work/boxes.seen"
    diff -u "$work/boxes.expected" "$work/boxes.seen" >&2 || fail "message boxes differ"
}

installer() {
    local want=$1 rc=0
    local t0
    t0=$(date +%s%N)
    (cd "$work" && timeout "$limit" "${run[@]}" "$exe" some ignored arguments) || rc=$?
    elapsed_ms=$(( ($(date +%s%N) - t0) / 1000000 ))
    [ "$rc" = "$want" ] || fail "Tessarin.exe ended with $rc, expected $want"
}

version_is() {
    local out
    out=$("${run[@]}" reg query 'HKCU\Software\Talvorek\Veltmark : Orvandel' /v Version 2>/dev/null | tr -d '\r' | grep -E '^ +Version ' || true)
    if [ "$1" = absent ]; then
        [ -z "$out" ] || fail "Version exists: $out"
    else
        [[ "$out" =~ ^\ +Version\ +REG_SZ\ +(.*)$ ]] && [ "${BASH_REMATCH[1]}" = "$1" ] || fail "Version is \"$out\", expected REG_SZ $1"
    fi
}

snapshot() { (cd "$game" && find . -printf '%p %s %m %T@\n' | sort); }

# Nothing written or deleted: game folder as before, no link, no temporary archive.
untouched() {
    [ "$(snapshot)" = "$1" ] || fail "game folder changed"
    [ ! -e "$group" ] || fail "program group made"
    [ "${2:-}" = stale-archive ] || [ ! -e "$temp/update.zip" ] || fail "temporary archive written"
}

# Every member of the payload in the game folder with its content and stored time.
payload_written() {
    local f n=0
    while IFS= read -r f; do
        f=${f#./}
        [ -f "$game/$f" ] || fail "$f not written"
        cmp -s "$stage/$f" "$game/$f" || fail "$f differs from the payload"
        [ "$(stat -c %Y "$stage/$f")" = "$(stat -c %Y "$game/$f")" ] \
            || fail "$f has time $(stat -c %y "$game/$f"), stored $(stat -c %y "$stage/$f")"
        n=$((n + 1))
    done < <(cd "$stage" && find . -type f)
    local members
    members=$(zipinfo -1 "$build/installer/payload.zip" | grep -vc '/$')
    [ "$n" = "$members" ] && [ "$n" -gt 0 ] || fail "$n files staged, the payload has $members"
}

link_made() {
    local lnk="$group/Clan-Verwaltung.lnk"
    [ -f "$lnk" ] || fail "no link $lnk"
    [ "$(ls "$group")" = "Clan-Verwaltung.lnk" ] || fail "group holds $(ls "$group" | tr '\n' ' ')"
    "${run[@]}" "$probe" link "$programs_win\\Veltmark - Orvandel\\Clan-Verwaltung.lnk" \
        | tr -d '\r' > "$work/link.txt" || fail "link cannot be read"
    printf '%s\n' "target=$game_win\\clans.url" "icon=$game_win\\clans.url" "index=0" "arguments=" \
        "folder=" "description=" > "$work/link.expected"
    diff -u "$work/link.expected" "$work/link.txt" >&2 || fail "link differs"
}

full_update_done() {
    payload_written
    [ ! -e "$game/TIRMOLD.EXE" ] || fail "TIRMOLD.EXE still there"
    version_is 2.2
    link_made
    [ ! -e "$temp/update.zip" ] || fail "temporary archive left"
}

no_box_update() {
    prepare "$1" "$2"
    echo old > "$game/TIRMOLD.EXE"
    watch_boxes --count 0
    installer 0
    expect_boxes
    full_update_done
}

wrong_edition() {
    prepare "$1" -
    local before
    before=$(snapshot)
    watch_boxes --count 1 --press OK
    installer 0
    expect_boxes "box caption=\"Error\" text=\"You have $2 version installed!\\r\\nThis update is for German version only!\" buttons=OK icon=error pressed=OK"
    untouched "$before"
    version_is absent
}

asked() {  # asked VERSION ANSWER
    prepare German "$1"
    echo old > "$game/TIRMOLD.EXE"
    local before
    before=$(snapshot)
    watch_boxes --count 1 --press "$2"
    installer 0
    expect_boxes "box caption=\"Warning\" text=\"You already have this update installed!\\r\\nInstall the update anyway?\" buttons=YES,NO icon=warning pressed=$2"
    if [ "$2" = NO ]; then
        untouched "$before"
        version_is "$1"
    else
        full_update_done
    fi
}

# How far the run's wall time lies above its fixed waits: two pauses of 21 x 50 ms, ten
# status texts of 700 ms, 570 animation steps of 10 ms and 50 ms per progress report (one
# per member and one per 32,768-byte block). A Wine start of a trivial program is subtracted.
pacing_report() {
    local reports=0 size t0 start_ms fixed
    while IFS= read -r size; do
        reports=$((reports + 1 + (size + 32767) / 32768))
    done < <(cd "$stage" && find . -type f -printf '%s\n')
    fixed=$((2 * 21 * 50 + 10 * 700 + (183 + 102 + 102 + 183) * 10 + reports * 50))
    t0=$(date +%s%N)
    "${run[@]}" "$probe" > /dev/null 2>&1 || true
    start_ms=$(( ($(date +%s%N) - t0) / 1000000 ))
    echo "pacing: run $elapsed_ms ms, Wine start $start_ms ms, fixed waits $fixed ms ($reports progress reports)," \
         "above the waits: $(( (elapsed_ms - start_ms - fixed) * 1000 / fixed / 10 )).$(( (elapsed_ms - start_ms - fixed) * 1000 / fixed % 10 )) %"
}

# The window's stable geometries and the texts of its status line, recorded by the probe.
window_checks() {
    local frame_w frame_h
    tr -d '\r' < "$work/window.txt" | sed -E 's/^[0-9]+ //' > "$work/window.log"
    grep '^geometry' "$work/window.log" > "$work/geometry.txt" || fail "no geometry recorded"
    [[ "$(head -1 "$work/geometry.txt")" =~ outer=([0-9]+)x([0-9]+)\ client=([0-9]+)x([0-9]+) ]] || fail "bad geometry line"
    frame_w=$((BASH_REMATCH[1] - BASH_REMATCH[3]))
    frame_h=$((BASH_REMATCH[2] - BASH_REMATCH[4]))
    geo() { echo "geometry outer=$(($1 + frame_w))x$(($2 + frame_h)) client=$1x$2 image=$3,8 caption=$4"; }
    { geo 104 46 32 Veltmark
      geo 286 46 8 "Orvandel V1.29 Update"
      geo 286 147 8 "Orvandel V1.29 Update"
      geo 286 46 8 "Orvandel V1.29 Update"
      geo 104 46 32 Veltmark; } > "$work/geometry.expected"
    diff -u "$work/geometry.expected" "$work/geometry.txt" >&2 || fail "window geometry differs"
    # ("Initializing ..." is replaced a moment after the label appears; a probe may miss it.)
    grep '^message ' "$work/window.log" | grep -v -e '^message \\\.\.\.' -e '^message Initializing \.\.\.$' \
        > "$work/status.txt" || true
    printf 'message %s\n' "Checking for the game presence ..." "Checking for the game locale ..." \
        "Checking for the game version ..." "Extracting archive ..." "Opening archive ..." "Copying files ..." \
        "Updating game information ..." "Creating shortcuts ..." "Deleting any temporary files used ..." \
        "Finalizing ..." > "$work/status.expected"
    diff -u "$work/status.expected" "$work/status.txt" >&2 || fail "status texts differ"
    # Progress texts: "\..." and the end of the destination path, cut from the front.
    local f full shown found
    while IFS= read -r f; do
        f=${f#./}
        full="$game_win\\${f//\//\\}"
        found=0
        while IFS= read -r shown; do
            shown=${shown#message \\...}
            [ "${full: -${#shown}}" = "$shown" ] && found=1 && break
        done < <(grep -F "${f##*/}" "$work/window.log" | grep '^message \\\.\.\.')
        [ $found = 1 ] || fail "no progress text shows $full"
        [ ${#shown} -lt ${#full} ] || fail "$full shown uncut"
    done < <(cd "$stage" && find . -type f)
    # The rig draws with the fonts that the window is laid out for ("MS Sans Serif" 8 point
    # in the German ANSI code page), in which "Update status :" fills its 72-pixel label.
    printf '%s\n' codepage=1252 "face=MS Sans Serif" status=72 > "$work/font.expected"
    diff -u "$work/font.expected" "$work/font.txt" >&2 || fail "the rig's fonts differ"
    # Status texts and the long path reach the screen whole, as one line each.
    grep -qxF "message $long_path" "$work/window.log" || fail "no progress text \"$long_path\""
    grep -qxF "drawn $long_path" "$work/window.log" || fail "\"$long_path\" not drawn whole as one line"
    # ("Finalizing ..." is drawn at the end of its wait, and the line is hidden right after.)
    grep -v '^message Finalizing' "$work/status.expected" | sed 's/^message /drawn /' > "$work/drawn.expected"
    grep '^drawn ' "$work/window.log" | grep -v -e '^drawn \\\.\.\.' -e '^drawn Initializing \.\.\.$' \
        -e '^drawn Finalizing \.\.\.$' > "$work/drawn.txt" || true
    diff -u "$work/drawn.expected" "$work/drawn.txt" >&2 || fail "status texts drawn differ"
    # The task bar shows the application title for the whole run, whatever the caption.
    grep '^taskbar .' "$work/window.log" | sort -u > "$work/taskbar.txt" || true
    echo "taskbar Orvandel V1.29 Update" > "$work/taskbar.expected"
    diff -u "$work/taskbar.expected" "$work/taskbar.txt" >&2 || fail "task-bar titles differ"
}

# A user profile named "Łukasz" for the unprivileged user: TEMP, TMP and the Programs folder
# lie in it. The German ANSI code page (1252) lacks its first letter and gives "Lukasz" as
# the nearest, the name of another user's profile. As on Windows, where a user cannot make
# folders in C:\Users, the users folder is read-only for the run (made with "present",
# missing with "absent"). Sets lukasz and lukasz_win; the clean-up restores the prefix.
non_ansi_profile() {
    local users="$prefix/drive_c/users" name
    lukasz="$users/Łukasz"
    lukasz_win='C:\users\Łukasz'
    profile_values=()
    for name in 'HKCU\Environment|TEMP' 'HKCU\Environment|TMP' \
        'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders|Programs'; do
        profile_values+=("$name|$("${run[@]}" reg query "${name%|*}" /v "${name#*|}" | tr -d '\r' |
            sed -nE "s/^ +${name#*|} +(REG_[A-Z_]+) +(.*)\$/\\1|\\2/p")")
    done
    cleanup=restore_profile
    rm -rf "$lukasz"
    if [ "$1" = present ]; then
        mkdir -p "$lukasz/Temp" "$lukasz/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
        chown -R 65534:65534 "$lukasz"
    fi
    chmod a-w "$users"
    "${run[@]}" reg add 'HKCU\Environment' /v TEMP /t REG_SZ /d "$lukasz_win\\Temp" /f > /dev/null
    "${run[@]}" reg add 'HKCU\Environment' /v TMP /t REG_SZ /d "$lukasz_win\\Temp" /f > /dev/null
    "${run[@]}" reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' /v Programs \
        /t REG_SZ /d "$lukasz_win\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs" /f > /dev/null
}
restore_profile() {
    local v key name type data
    chmod u+w "$prefix/drive_c/users"
    for v in "${profile_values[@]}"; do
        IFS='|' read -r key name type data <<< "$v"
        [ -n "$type" ] || continue
        "${run[@]}" reg add "$key" /v "$name" /t "$type" /d "$data" /f > /dev/null
    done
}

# Background helpers stop with the case, also when it fails; a case may add to the clean-up.
cleanup=:
finish() {
    [ -d "${work:-}" ] && touch "$work/driver.stop" "$work/watch.stop"
    eval "$cleanup"
}
trap finish EXIT

use_root
case "$case_name" in
no_record)
    prepare none -
    before=$(snapshot)
    watch_boxes --count 1 --press OK
    installer 0
    expect_boxes 'box caption="Error" text="Unable to find the game!\r\nPlease install the game before updating" buttons=OK icon=error pressed=OK'
    untouched "$before"
    ;;
language_deutsch) wrong_edition Deutsch Deutsch ;;
language_absent) wrong_edition - "" ;;
language_number)
    prepare dword:00000001 -
    before=$(snapshot)
    watch_boxes --count 1 --press OK
    installer 1
    expect_boxes "box caption=\"Application Error\" text=\"Exception ERegistryException in module Tessarin.exe at ADDR.\\nInvalid data type for 'Language'.\" buttons=OK icon=error pressed=OK"
    untouched "$before"
    ;;
# "GERMAN" stored as expandable text.
language_GERMAN_level_1.29) no_box_update 'hex(2):47,45,52,4d,41,4e,00' 1.29 ;;
level_2.10) no_box_update German 2.10 ;;
level_2.2_no) asked 2.2 NO ;;
# "Deutsch", a NUL and more bytes: the text ends at the first NUL.
language_deutsch_nul) wrong_edition 'hex(1):44,65,75,74,73,63,68,00,78,79,7a,00' Deutsch ;;
level_2.3_no) asked 2.3 NO ;;
level_2.3_yes) asked 2.3 YES ;;
full_update)
    # As an unprivileged user: read-only files stay read-only for it.
    use_user
    prepare German -
    echo old > "$game/TIRMOLD.EXE"
    echo "old read me" > "$game/ReadMe.txt"
    chown 65534:65534 "$game/TIRMOLD.EXE" "$game/ReadMe.txt"
    chmod 444 "$game/TIRMOLD.EXE" "$game/ReadMe.txt"
    watch_boxes --count 0
    installer 0
    expect_boxes
    full_update_done
    [[ "$(stat -c %A "$game/ReadMe.txt")" == ?rw* ]] || fail "ReadMe.txt still read-only"
    pacing_report
    # A second run asks, and leaves one link.
    watch_boxes --count 1 --press YES
    installer 0
    expect_boxes 'box caption="Warning" text="You already have this update installed!\r\nInstall the update anyway?" buttons=YES,NO icon=warning pressed=YES'
    full_update_done
    ;;
stale_update_zip)
    use_user
    prepare German -
    before=$(snapshot)
    mkdir -p "$temp"
    echo stale > "$temp/update.zip"
    chown 65534:65534 "$temp/update.zip"
    chmod 444 "$temp/update.zip"
    watch_boxes --count 1 --press OK
    installer 1
    expect_boxes "box caption=\"Application Error\" text=\"Exception EFCreateError in module Tessarin.exe at ADDR.\\nCannot create file C:\\\\users\\\\root\\\\Temp\\\\update.zip.\" buttons=OK icon=error pressed=OK"
    [ "$(cat "$temp/update.zip")" = stale ] || fail "stale archive changed"
    untouched "$before" stale-archive
    version_is absent
    rm -f "$temp/update.zip"
    ;;
profile_non_ansi)
    # Temporary archive and Start-menu link in a profile whose name the ANSI calls cannot
    # hold: a full update through the folders' short names.
    use_user
    prepare German -
    non_ansi_profile present
    echo old > "$game/TIRMOLD.EXE"
    ( while [ ! -e "$work/driver.stop" ]; do
          [ -e "$lukasz/Temp/update.zip" ] && touch "$work/archive.seen"
          sleep 0.1
      done ) &
    watch_boxes --count 0
    installer 0
    expect_boxes
    [ -e "$work/archive.seen" ] || fail "no archive in $lukasz/Temp during the run"
    [ ! -e "$group" ] || fail "link made in the other profile"
    temp="$lukasz/Temp"
    programs_win="$lukasz_win\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"
    group="$lukasz/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Veltmark - Orvandel"
    full_update_done
    ;;
profile_non_ansi_missing)
    # The same profile, missing and impossible to create: no short name, so the run stops
    # with the usual error, naming the folder with "?" for the letter, and writes nothing.
    use_user
    prepare German -
    non_ansi_profile absent
    before=$(snapshot)
    watch_boxes --count 1 --press OK
    installer 1
    expect_boxes "box caption=\"Application Error\" text=\"Exception EFCreateError in module Tessarin.exe at ADDR.\\nCannot create file C:\\\\users\\\\?ukasz\\\\Temp\\\\update.zip.\" buttons=OK icon=error pressed=OK"
    untouched "$before"
    version_is absent
    [ -z "$(ls "$prefix/drive_c/users" | grep -i ukasz)" ] || fail "a profile folder was made"
    ;;
locked_file)
    prepare German -
    echo "held by another program" > "$game/ReadMe.txt"
    "${run[@]}" "$probe" hold "$(winepath_of "$game/ReadMe.txt")" "$(winepath_of "$work/hold.ready")" \
        "$(winepath_of "$work/hold.stop")" > "$work/hold.log" 2>&1 &
    holder=$!
    for _ in $(seq 300); do [ -e "$work/hold.ready" ] && break; sleep 0.1; done
    [ -e "$work/hold.ready" ] || fail "file holder did not start: $(cat "$work/hold.log")"
    watch_boxes --count 0
    installer 0
    touch "$work/hold.stop"
    wait "$holder" || true
    expect_boxes
    [ "$(cat "$game/ReadMe.txt")" = "held by another program" ] || fail "held file was replaced"
    mv "$game/ReadMe.txt" "$work/held.txt"
    cp -p "$stage/ReadMe.txt" "$game/ReadMe.txt"  # the one member that could not be written
    full_update_done
    ;;
window)
    # The window recorded by the probe, and screenshots of its stages as test artifacts:
    # window-stage-N.png for each stable size, window-copying.png with the long path below.
    # The game folder's name makes the progress text of AI\Denmark.dll, cut to 220 pixels
    # in the label's font, 234 pixels wide with its "\..." (14 pixels): one more than the
    # label, so one more character goes, and a word-wrapping label would break it at a blank.
    game_folder="Meine Spiele/Veltmark Orvandel"
    long_path='\...ine Spiele\Veltmark Orvandel\AI\Denmark.dll'
    prepare German -
    "${run[@]}" "$probe" font | tr -d '\r' > "$work/font.txt"
    "${run[@]}" "$probe" watch "$(winepath_of "$work/window.txt")" "$(winepath_of "$work/watch.stop")" \
        > "$work/watch.log" 2>&1 &
    watcher=$!
    for _ in $(seq 300); do [ -e "$work/window.txt" ] && break; sleep 0.1; done
    [ -e "$work/window.txt" ] || fail "window probe did not start"
    ( shots=0 copying=0
      shoot() { import -display ":$(cat "$wine_dir/display")" -window root "$work/$1" 2>/dev/null || true; }
      while [ ! -e "$work/watch.stop" ]; do
          n=$(grep -c ' geometry ' "$work/window.txt" || true)
          if [ "$n" -gt "$shots" ]; then
              shots=$n
              shoot "window-stage-$shots.png"
          fi
          if [ $copying = 0 ] && grep -qF " drawn $long_path" "$work/window.txt"; then
              copying=1
              shoot window-copying.png
          fi
          sleep 0.05
      done ) &
    shooter=$!
    watch_boxes --count 0
    installer 0
    sleep 0.5
    touch "$work/watch.stop"
    wait "$watcher" || true
    wait "$shooter" || true
    expect_boxes
    full_update_done
    window_checks
    ls "$work"/window-stage-*.png "$work/window-copying.png" > /dev/null 2>&1 || fail "no screenshots"
    pacing_report
    ;;
smoke32)
    # The shipped i686 build: one full update (each 32-bit process costs about a minute).
    prepare German 1.29
    echo old > "$game/TIRMOLD.EXE"
    installer 0
    payload_written
    [ ! -e "$game/TIRMOLD.EXE" ] || fail "TIRMOLD.EXE still there"
    [ -f "$group/Clan-Verwaltung.lnk" ] || fail "no link"
    [ ! -e "$temp/update.zip" ] || fail "temporary archive left"
    version_is 2.2
    ;;
*)
    fail "unknown case"
    ;;
esac
echo "PASS: $case_name"
