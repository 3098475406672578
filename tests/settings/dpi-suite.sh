#!/usr/bin/env bash
# Runs the Windows tests of the screen's resolution at one DPI under Wine, in a Wine prefix of that DPI's own
# (wineprefix-dpi-N in $PIGEONET_BUILD_DIR, else in build/; created once), so the main prefix stays at 96 DPI.
#
#   tests/settings/dpi-suite.sh DPI PROGRAM.exe [GTEST_FILTER]
#
# The prefix's resolution is Wine's LogPixels (the user's desktop value and the hardware profile's font value, the
# two places Wine reads it from). The tests check that they run at DPI (PIGEONET_SCREEN_DPI) and save their
# screenshots as build/screenshots/NAME-DPI.png.
set -euo pipefail
if (($# < 2)); then
    echo "usage: $0 DPI PROGRAM.exe [GTEST_FILTER]" >&2
    exit 2
fi
dpi=$1
program=$2
filter=${3:-*AtScreenDpi*}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
export WINEPREFIX=${PIGEONET_BUILD_DIR:-$root/build}/wineprefix-dpi-$dpi
export PIGEONET_SCREEN_DPI=$dpi
export PIGEONET_WINE_QUIET=1
for key in 'HKCU\Control Panel\Desktop' 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
    "$root/tools/wine-run.sh" reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
done
exec "$root/tools/wine-run.sh" "$program" --gtest_filter="$filter"
