#!/usr/bin/env bash
# Draws the README's pictures from the real program under Wine: the envelope over a desktop, the tray menu in
# Russian and English, each settings tab and the account editor. Output: docs/pictures/*.png.
#
#   tools/readme-pictures.sh        (after `make build`)
#
# Runs on a private Xvfb screen with a private Wine prefix (build/readme-wineprefix) and a demo mailbox on a free
# loopback port; stops all of them by process id.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
out=$root/docs/pictures
export WINEPREFIX=$root/build/readme-wineprefix
export PIGEONET_WINE_QUIET=1
mkdir -p "$out"

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
cleanup() {
    stop_program
    [[ -n "$demo_pid" ]] && kill "$demo_pid" 2>/dev/null && wait "$demo_pid" 2>/dev/null
    [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb_pid=$!
read -r -t 20 number <"$fifo" || { echo "readme-pictures: Xvfb did not start" >&2; exit 1; }
rm -f "$fifo"
export DISPLAY=":$number"
# A desktop-like background for the pictures. Painted once the program runs: the end of a Wine session resets
# the root window.
convert -size 1024x768 gradient:'#5b8fc7-#1d3f6e' "$root/build/readme-desktop.png"
paint_desktop() {
    timeout 10 display -window root "$root/build/readme-desktop.png"
}

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
python3 "$here/demo-mailbox/demo_pop3.py" "$port" 3 3600 >/dev/null &
demo_pid=$!

# Sets the stored account and language, then starts the program.
start_program() {
    local lang=$1
    local reg_file=$root/build/readme-account.reg
    cat >"$reg_file" <<REG
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\Zelvik\\pg]
"list"="1"
"email0"="demo@localhost"
"smtp0"="127.0.0.1"
"log0"="demo"
"pas0"="demo"
"port0"="$port"
"count0"="0"
"lang"="$lang"
"infotime"="3"
"exe"="C:\\\\Program Files\\\\Mail\\\\mail.exe"
REG
    "$here/wine-run.sh" regedit /S "Z:${reg_file//\//\\}" >/dev/null 2>&1
    "$here/wine-run.sh" "$root/build/release-win/pigeonet.exe" &
    program_pid=$!
    wait_for '"Wine System Tray"'
    paint_desktop
}

# Geometry "x y width height" of the first window whose xwininfo line matches.
geometry() {
    xwininfo -root -tree | grep -m1 -E "$1" | sed -E 's/.* ([0-9]+)x([0-9]+)\+(-?[0-9]+)\+(-?[0-9]+) .*/\3 \4 \1 \2/'
}

wait_for() {
    for _ in $(seq 60); do
        xwininfo -root -tree | grep -q -E "$1" && return 0
        sleep 0.5
    done
    echo "readme-pictures: timed out waiting for $1" >&2
    return 1
}

shot() {  # shot NAME X Y WIDTH HEIGHT
    import -window root -crop "$4x$5+$2+$3" +repage "$out/$1.png"
    echo "readme-pictures: $out/$1.png"
}

open_tray_menu() {
    read -r x y _ _ < <(geometry '"Wine System Tray"')
    xdotool mousemove $((x + 9)) $((y + 10)) click 3
    sleep 1
}

# Russian: the envelope, the menu, the settings tabs and the editor.
start_program 0
wait_for '"Pigeonet".*135x135\+889\+607' && sleep 0.5 && shot envelope 724 548 300 220
# The envelope sinks after its display time; the settings dialog opens where it stood.
wait_for '"Pigeonet".*135x135\+889\+768'
open_tray_menu
shot tray-menu-ru 0 0 260 230
xdotool key Down Down Down Return
wait_for '"Pigeonet".*474x281'
sleep 1
read -r dx dy dw dh < <(geometry '"Pigeonet".*474x281')
for tab in 0 1 2; do
    xdotool mousemove $((dx + 43 + tab * 60)) $((dy + 84)) click 1
    sleep 0.7
    shot "settings-tab-$((tab + 1))" "$dx" "$dy" "$dw" "$dh"
done
xdotool mousemove $((dx + 60 + 43)) $((dy + 84)) click 1
sleep 0.5
xdotool mousemove $((dx + 388 + 37)) $((dy + 95 + 12)) click 1
sleep 1.5
editor=$(xdotool search --onlyvisible --name 'E-mail$' | head -1)
if [[ -n "$editor" ]]; then
    eval "$(xdotool getwindowgeometry --shell "$editor")"
    shot account-editor "$X" "$Y" "$WIDTH" "$HEIGHT"
fi
stop_program

# English: the menu.
start_program 1
wait_for '"Pigeonet".*135x135\+889\+607' && sleep 1
open_tray_menu
shot tray-menu-en 0 0 260 230
stop_program
