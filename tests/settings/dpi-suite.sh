#!/usr/bin/env bash
# Runs the Windows tests of the screen's resolution at one DPI under Wine, in a Wine prefix of that DPI's own
# (wineprefixes/dpi-N in $PIGEONET_BUILD_DIR, else in build/; made anew for every run), so no other prefix leaves 96
# DPI.
#
#   tests/settings/dpi-suite.sh DPI PROGRAM.exe... [-- GTEST_FILTER]
#
# The prefix's resolution is Wine's LogPixels (the user's desktop value and the hardware profile's font value, the
# two places Wine reads it from), written in one Wine session; the programs then run one after the other in a second
# session, which starts with the new resolution. The tests check that they run at DPI (PIGEONET_SCREEN_DPI) and save
# their screenshots as build/screenshots/NAME-DPI.png.
set -uo pipefail
if (($# < 2)); then
    echo "usage: $0 DPI PROGRAM.exe... [-- GTEST_FILTER]" >&2
    exit 2
fi
dpi=$1
shift
programs=()
filter='*AtScreenDpi*'
while (($# > 0)); do
    if [[ "$1" == -- ]]; then
        filter=${2:?usage: $0 DPI PROGRAM.exe... [-- GTEST_FILTER]}
        break
    fi
    programs+=("$1")
    shift
done
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
export WINEPREFIX=${PIGEONET_BUILD_DIR:-$root/build}/wineprefixes/dpi-$dpi
export PIGEONET_SCREEN_DPI=$dpi PIGEONET_WINE_QUIET=1
unset PIGEONET_WINE_FRESH
rm -rf "$WINEPREFIX"

set_resolution() {
    local key
    for key in 'HKCU\Control Panel\Desktop' 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
        "$root/tools/wine-run.sh" reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null || return 1
    done
}
run_programs() {
    local status=0 program
    for program in "${programs[@]}"; do
        echo "dpi-suite: $(basename "$program") at $dpi DPI"
        "$root/tools/wine-run.sh" "$program" --gtest_filter="$filter" || status=1
    done
    return "$status"
}
export -f set_resolution run_programs
export dpi filter root
programs_text=$(printf '%q ' "${programs[@]}")
"$root/tools/wine-run.sh" --session bash -c set_resolution || {
    echo "dpi-suite: could not set LogPixels to $dpi in $WINEPREFIX" >&2
    exit 1
}
exec "$root/tools/wine-run.sh" --session bash -c "programs=($programs_text); run_programs"
