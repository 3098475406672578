#!/usr/bin/env bash
# Runs the envelope's Windows tests under Wine in a prefix without Tahoma (wineprefixes/no-tahoma in
# $PIGEONET_BUILD_DIR, else in build/; made anew for every run): the count and the captions must then be written
# with the system's UI font. The prefix is the usual copy of the template, with the two Tahoma files taken out of
# its Fonts folder before the tests start; PIGEONET_EXPECT_NO_TAHOMA makes the font test fail should Tahoma still
# be found.
#
#   tests/notify/no-tahoma-suite.sh notify_win32_tests.exe [GTEST_FILTER]
set -uo pipefail
if (($# < 1)); then
    echo "usage: $0 PROGRAM.exe [GTEST_FILTER]" >&2
    exit 2
fi
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
export WINEPREFIX=${PIGEONET_BUILD_DIR:-$root/build}/wineprefixes/no-tahoma
export PIGEONET_EXPECT_NO_TAHOMA=1 PIGEONET_WINE_QUIET=1 PIGEONET_WINE_FRESH=1
export program=$1 filter=${2:-EnvelopeTest.*}

run_without_tahoma() {
    # The files are links into the template: removing them here leaves the template as it is.
    rm -f "$WINEPREFIX"/drive_c/windows/Fonts/tahoma*.ttf
    "$root/tools/wine-run.sh" "$program" --gtest_filter="$filter"
}
export -f run_without_tahoma
export root
exec "$root/tools/wine-run.sh" --session bash -c run_without_tahoma
