#!/usr/bin/env bash
# Draws the README's pictures from the real program under Wine, in English first and then in Russian: the envelope
# over a desktop (English), the tray menu, each settings tab and the account editor in both languages. Output:
# docs/pictures/*.png; the English pictures carry no language in their names (settings-tab-1.png), the Russian ones
# end in -ru (settings-tab-1-ru.png), the menus are tray-menu-en.png and tray-menu-ru.png. At another DPI the Russian
# pictures are the menu's alone.
#
#   tools/readme-pictures.sh [DPI [FOLDER]]        (after `make build`)
#
# Runs on a private Xvfb screen with a private Wine prefix (build/readme-wineprefix) and a demo mailbox on a free
# loopback port; stops all of them by process id. With a DPI other than 96 the screen has that resolution (a prefix
# of its own, build/readme-wineprefix-DPI, with Wine's LogPixels set) and every name gets the scale as a suffix:
# `tools/readme-pictures.sh 144` draws docs/pictures/*-150.png. FOLDER replaces docs/pictures.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
source "$here/lib/processes.sh"
source "$here/demo-mailbox/account.sh"
dpi=${1:-96}
out=${2:-$root/docs/pictures}
suffix=
export WINEPREFIX=$root/build/readme-wineprefix
if ((dpi != 96)); then
    suffix=-$((dpi * 100 / 96))
    export WINEPREFIX=$root/build/readme-wineprefix-$dpi
fi
export PIGEONET_WINE_QUIET=1
mkdir -p "$out"
# A length of the 96 DPI design in pixels of this screen, rounded as the program rounds it.
sc() { echo $((($1 * dpi + 48) / 96)); }
# The envelope's side and how far it rises: 135 and 161 below 150 %, drawn for 150 % and 200 % above.
if ((dpi >= 192)); then envelope=270; elif ((dpi >= 144)); then envelope=203; else envelope=135; fi
rise=$(((161 * envelope + 67) / 135))
rest="${envelope}x${envelope}\\+$((1024 - envelope))\\+$((768 - rise))"
parked="${envelope}x${envelope}\\+$((1024 - envelope))\\+768"
dialog="$(sc 474)x$(sc 341)"

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
    [[ -n "$demo_pid" ]] && stop_process "$demo_pid"
    [[ -n "$xvfb_pid" ]] && stop_process "$xvfb_pid"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

start_xvfb 20 || { echo "readme-pictures: Xvfb did not start" >&2; exit 1; }
# A desktop-like background for the pictures. Painted once the program runs: the end of a Wine session resets
# the root window.
convert -size 1024x768 gradient:'#5b8fc7-#1d3f6e' "$root/build/readme-desktop.png"
paint_desktop() {
    timeout 10 display -window root "$root/build/readme-desktop.png"
}

# The scripted server's demo mailbox (3 messages, one more an hour) on a port of its choosing, which it prints.
# The old address file goes first: the background job truncates it only once it runs.
rm -f "$root/build/readme-demo-address"
"$root/build/release-native/scripted-server" --sessions 0 demo:3:3600 >"$root/build/readme-demo-address" &
demo_pid=$!
port=
for _ in $(seq 100); do
    port=$(sed -n 's/^port=//p' "$root/build/readme-demo-address")
    [[ -n "$port" ]] && break
    sleep 0.1
done
[[ -n "$port" ]] || { echo "readme-pictures: the demo mailbox did not start" >&2; exit 1; }

# Sets the stored account and language, then starts the program.
start_program() {
    local lang=$1
    import_demo_account "$root/build/readme-account.reg" "$port" "\"lang\"=\"$lang\"" '"infotime"="3"' \
        '"exe"="C:\\Program Files\\Mail\\mail.exe"'
    if ((dpi != 96)); then
        for key in 'HKCU\Control Panel\Desktop' \
            'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
            "$here/wine-run.sh" reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
        done
    fi
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
    import -window root -crop "$4x$5+$2+$3" +repage "$out/$1$suffix.png"
    echo "readme-pictures: $out/$1$suffix.png"
}

# Opens the tray menu. Without a taskbar Wine shows the tray as a window of its own, wider than its one icon and
# white, which looks like a stray tooltip beside the menu: it is narrowed to the icon first.
open_tray_menu() {
    local tray
    tray=$(xdotool search --name 'Wine System Tray' | head -1)
    [[ -n "$tray" ]] && xdotool windowsize "$tray" "$(sc 22)" "$(sc 20)" && sleep 0.5
    read -r x y _ _ < <(geometry '"Wine System Tray"')
    xdotool mousemove $((x + $(sc 9))) $((y + $(sc 10))) click 3
    sleep 1
}

# The menu, the settings tabs and the account editor of the running program; NAME_SUFFIX tells the language apart
# (empty for English), MENU_NAME names the menu's picture, TABS gives the three tabs' x from the dialog's left
# edge in pixels of this screen (the tabs are as wide as their captions, which the language and the DPI decide).
draw_dialogs() {
    local name_suffix=$1 menu_name=$2 tab_x
    read -r -a tab_x <<<"$3"
    open_tray_menu
    shot "$menu_name" 0 0 "$(sc 260)" "$(sc 230)"
    xdotool key Down Down Down Return
    wait_for "\"Pigeonet\".*$dialog"
    sleep 1
    read -r dx dy dw dh < <(geometry "\"Pigeonet\".*$dialog")
    for tab in 0 1 2; do
        xdotool mousemove $((dx + tab_x[tab])) $((dy + $(sc 84))) click 1
        sleep 0.7
        xdotool mousemove 1000 400
        sleep 0.5
        shot "settings-tab-$((tab + 1))$name_suffix" "$dx" "$dy" "$dw" "$dh"
    done
    # The accounts tab, its one account selected, and Edit: the editor shows the demo account.
    xdotool mousemove $((dx + tab_x[1])) $((dy + $(sc 84))) click 1
    sleep 0.5
    xdotool mousemove $((dx + $(sc 60))) $((dy + $(sc 123))) click 1
    sleep 0.5
    xdotool mousemove $((dx + $(sc 425))) $((dy + $(sc 139))) click 1
    sleep 0.5
    xdotool mousemove 1000 400
    sleep 1
    editor=$(xdotool search --onlyvisible --name 'E-mail$' | head -1)
    if [[ -n "$editor" ]]; then
        # At 150 % the editor, placed from the screen's bottom edge, is taller than this small screen leaves above
        # that place: brought down whole for the picture.
        read -r ex ey < <(xwininfo -id "$editor" |
            awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } END { print x, y }')
        ((ey < 0)) && xdotool windowmove "$editor" "$ex" 0 && sleep 0.5
        read -r ex ey ew eh < <(xwininfo -id "$editor" |
            awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
                 /Width:/ { w = $NF } /Height:/ { h = $NF } END { print x, y, w, h }')
        shot "account-editor$name_suffix" "$ex" "$ey" "$ew" "$eh"
    fi
}

# English: the envelope, the menu, the settings tabs and the editor.
start_program 1
wait_for "\"Pigeonet\".*$rest" && sleep 0.5 &&
    shot envelope $((1024 - $(sc 300))) $((768 - $(sc 220))) "$(sc 300)" "$(sc 220)"
# The envelope sinks after its display time; the settings dialog opens where it stood.
wait_for "\"Pigeonet\".*$parked"
if ((dpi == 144)); then english_tabs="45 107 187"; else english_tabs="$(sc 40) $(sc 93) $(sc 153)"; fi
draw_dialogs "" tray-menu-en "$english_tabs"
stop_program

# Russian: the same but the envelope; at another DPI the menu alone.
start_program 0
wait_for "\"Pigeonet\".*$rest" && wait_for "\"Pigeonet\".*$parked"
if ((dpi == 96)); then
    draw_dialogs -ru tray-menu-ru "$(sc 43) $(sc 103) $(sc 163)"
else
    open_tray_menu
    shot tray-menu-ru 0 0 "$(sc 260)" "$(sc 230)"
fi
stop_program
