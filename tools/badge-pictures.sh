#!/usr/bin/env bash
# Draws the README's pictures of the count on the tray icon from the real program under Wine: the icon the program
# hands to the shell, as Wine's notification area shows it, at 16, 24 and 32 pixels (96, 144 and 192 DPI) with the
# counts 1, 12 and 100, on a light and on a dark notification area. Output: docs/pictures/badge-SIZE.png, each a
# sheet of the three counts, light above and dark below, magnified four times with whole pixels.
#
#   tools/badge-pictures.sh [PROGRAM.exe [FOLDER]]     (after `make build`: build/release-win/pigeonet.exe)
#
# For each picture the program starts with the option on, no flashing and one account on a demo mailbox (the
# scripted server) that holds that many messages, stored count 0: the first check finds them and the icon shows
# their number. Each resolution has a Wine prefix of its own (build/badge-wineprefix-DPI, Wine's LogPixels set);
# the notification area's colour is the system colour it is painted with. A private Xvfb screen, the mailboxes and
# the programs are stopped by process id.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
source "$here/lib/processes.sh"
source "$here/demo-mailbox/account.sh"
program=$(realpath "${1:-$root/build/release-win/pigeonet.exe}")
out=${2:-$root/docs/pictures}
server=${PIGEONET_SCRIPTED_SERVER:-$root/build/release-native/scripted-server}
export PIGEONET_WINE_QUIET=1
work=$root/build/badge-pictures
mkdir -p "$out" "$work"
[[ -x "$server" ]] || server=$root/build/native/scripted-server
[[ -f "$program" && -x "$server" ]] || { echo "badge-pictures: build the program and the scripted server first" >&2; exit 1; }

xvfb_pid=
demo_pid=
program_pid=
stop_program() {
    if [[ -n "$program_pid" ]]; then
        kill -TERM "$program_pid" 2>/dev/null
        wait "$program_pid" 2>/dev/null
        program_pid=
    fi
}
stop_demo() {
    [[ -n "$demo_pid" ]] && stop_process "$demo_pid"
    demo_pid=
}
cleanup() {
    stop_program
    stop_demo
    [[ -n "$xvfb_pid" ]] && stop_process "$xvfb_pid"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

start_xvfb 20 || { echo "badge-pictures: Xvfb did not start" >&2; exit 1; }

# Geometry "x y width height" of the first window whose xwininfo line matches.
geometry() {
    xwininfo -root -tree | grep -m1 -E "$1" | sed -E 's/.* ([0-9]+)x([0-9]+)\+(-?[0-9]+)\+(-?[0-9]+) .*/\3 \4 \1 \2/'
}
wait_for() {
    for _ in $(seq 120); do
        xwininfo -root -tree | grep -q -E "$1" && return 0
        sleep 0.5
    done
    echo "badge-pictures: timed out waiting for $1" >&2
    return 1
}

# start_demo COUNT: a mailbox of COUNT messages on a port of the server's choosing, which it prints (in `port`).
start_demo() {
    port=
    rm -f "$work/address"
    "$server" --sessions 0 "demo:$1:3600" >"$work/address" &
    demo_pid=$!
    for _ in $(seq 100); do
        port=$(sed -n 's/^port=//p' "$work/address")
        [[ -n "$port" ]] && break
        sleep 0.1
    done
    [[ -n "$port" ]] || { echo "badge-pictures: the demo mailbox did not start" >&2; exit 1; }
}

# shoot DPI SIZE COLOUR COUNT: one picture of the icon, the size of the icon, to $work/DPI-COLOUR-COUNT.png.
shoot() {
    local dpi=$1 size=$2 colour=$3 count=$4 x y w h
    start_demo "$count"
    # One import: the account with the option on and no flashing, the resolution and the colours Wine paints its
    # notification area with.
    local logpixels
    logpixels=$(printf 'dword:%08x' "$dpi")
    import_demo_account "$work/account.reg" "$port" '"lang"="1"' '"badge"="1"' '"hit"="0"' '"infotime"="3"' '' \
        '[HKEY_CURRENT_USER\Control Panel\Desktop]' "\"LogPixels\"=$logpixels" '' \
        '[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts]' \
        "\"LogPixels\"=$logpixels" '' '[HKEY_CURRENT_USER\Control Panel\Colors]' "\"ButtonFace\"=\"$colour\"" \
        "\"Window\"=\"$colour\""
    "$here/wine-run.sh" "$program" &
    program_pid=$!
    wait_for '"Wine System Tray"' || exit 1
    # The first check's envelope: the count is stored and on the icon by then.
    wait_for '"Pigeonet".* [0-9]+x[0-9]+\+[0-9]+\+[0-6][0-9]{2} ' || exit 1
    sleep 2
    read -r x y w h < <(geometry '"Wine System Tray"')
    import -window root -crop "${w}x${h}+$x+$y" +repage "$work/$dpi-${colour// /_}-$count-tray.png"
    # The icon sits in the middle of its cell, the tray's first.
    import -window root -crop "${size}x${size}+$((x + (h - size) / 2))+$((y + (h - size) / 2))" +repage \
        "$work/$dpi-${colour// /_}-$count.png"
    echo "badge-pictures: $dpi DPI, $colour, $count: tray ${w}x${h}+$x+$y"
    stop_program
    stop_demo
}

light='240 240 240'
dark='32 32 32'
for pair in 96:16 144:24 192:32; do
    dpi=${pair%:*}
    size=${pair#*:}
    export WINEPREFIX=$root/build/badge-wineprefix-$dpi
    for colour in "$light" "$dark"; do
        for count in 1 12 100; do
            shoot "$dpi" "$size" "$colour" "$count"
        done
    done
    sheet=()
    for colour in "$light" "$dark"; do
        row=()
        for count in 1 12 100; do row+=("$work/$dpi-${colour// /_}-$count.png"); done
        convert "${row[@]}" -bordercolor "rgb(${colour// /,})" -border "$((size / 4))" +append "$work/row.png"
        sheet+=("$(mktemp --suffix=.png -p "$work")")
        mv "$work/row.png" "${sheet[-1]}"
    done
    convert "${sheet[@]}" -append -scale 400% "$out/badge-$size.png"
    rm -f "${sheet[@]}"
    echo "badge-pictures: $out/badge-$size.png"
done
