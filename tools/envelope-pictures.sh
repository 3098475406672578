#!/usr/bin/env bash
# Takes pictures of the envelope from the real program under Wine, in each interface language at 100 %, 150 % and
# 200 % of 96 DPI: docs/pictures/envelope-LANG-PERCENT.png (LANG ru, en, de), the envelope at rest in the screen's
# bottom right-hand corner over a desktop-like background, with a margin of the desktop around it.
#
#   tools/envelope-pictures.sh [PIGEONET.EXE [FOLDER]]
#
# PIGEONET.EXE defaults to build/release-win/pigeonet.exe (`make build`), else build/win/pigeonet.exe; the demo
# mailbox is the scripted server beside it (build/release-native/scripted-server or build/win/scripted-server).
# FOLDER replaces docs/pictures. Each resolution gets a private Wine prefix (build/envelope-pictures/prefix-DPI,
# made anew) and a private Xvfb screen of 1024 x 768; the program, the mailbox and the screen are stopped by
# process id.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
source "$here/lib/processes.sh"
source "$here/demo-mailbox/account.sh"
exe=${1:-}
if [[ -z "$exe" ]]; then
    exe=$root/build/release-win/pigeonet.exe
    [[ -f "$exe" ]] || exe=$root/build/win/pigeonet.exe
fi
out=${2:-$root/docs/pictures}
server=$root/build/release-native/scripted-server
[[ -x "$server" ]] || server=$(dirname "$exe")/scripted-server
[[ -f "$exe" && -x "$server" ]] || {
    echo "envelope-pictures: needs $exe and $server" >&2
    exit 1
}
work=$root/build/envelope-pictures
mkdir -p "$out" "$work"
export PIGEONET_WINE_QUIET=1

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

start_xvfb 20 || {
    echo "envelope-pictures: Xvfb did not start" >&2
    exit 1
}
convert -size 1024x768 gradient:'#5b8fc7-#1d3f6e' "$work/desktop.png"

# The demo mailbox holds three messages: every start with a stored count of 0 announces them.
"$server" --sessions 0 demo:3:3600 >"$work/demo-address" &
demo_pid=$!
port=
for _ in $(seq 100); do
    port=$(sed -n 's/^port=//p' "$work/demo-address")
    [[ -n "$port" ]] && break
    sleep 0.1
done
[[ -n "$port" ]] || {
    echo "envelope-pictures: the demo mailbox did not start" >&2
    exit 1
}

wait_for() {
    for _ in $(seq 120); do
        xwininfo -root -tree | grep -q -E "$1" && return 0
        sleep 0.5
    done
    echo "envelope-pictures: timed out waiting for $1" >&2
    return 1
}

status=0
for dpi in 96 144 192; do
    percent=$((dpi * 100 / 96))
    # The envelope's side and rise as the program computes them: 135 and 161 below 150 %, in proportion above.
    if ((dpi >= 192)); then size=270; elif ((dpi >= 144)); then size=203; else size=135; fi
    rise=$(((161 * size + 67) / 135))
    rest="${size}x${size}\\+$((1024 - size))\\+$((768 - rise))"
    margin=$((size / 5))
    export WINEPREFIX=$work/prefix-$dpi
    rm -rf "$WINEPREFIX"
    for key in 'HKCU\Control Panel\Desktop' 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
        "$here/wine-run.sh" reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    done
    for entry in 0:ru 1:en 2:de; do
        lang=${entry%%:*} name=${entry#*:}
        import_demo_account "$work/account.reg" "$port" "\"lang\"=\"$lang\"" '"count0"="0"' '"infotime"="30"'
        "$here/wine-run.sh" "$exe" &
        program_pid=$!
        # Painted once the program runs: the start of a Wine session resets the root window.
        wait_for '"Wine System Tray"' && timeout 10 display -window root "$work/desktop.png"
        if wait_for "\"Pigeonet\".*$rest"; then
            sleep 1
            file=$out/envelope-$name-$percent.png
            import -window root -crop "$((size + margin))x$((rise + margin))+$((1024 - size - margin))+$((768 - rise - margin))" \
                +repage "$file"
            echo "envelope-pictures: $file"
        else
            status=1
        fi
        stop_program
    done
done
exit "$status"
