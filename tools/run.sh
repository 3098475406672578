#!/usr/bin/env bash
# `make run`: starts Pigeonet under Wine in the private prefix build/wineprefix, on $DISPLAY or, when there is
# none, on a private Xvfb screen. Ctrl-C ends the program, Wine and the screen.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
export WINEPREFIX=$root/build/wineprefix

if [[ -z "${DISPLAY:-}" ]]; then
    echo "run: no DISPLAY: Pigeonet runs on a private Xvfb screen of 1024 x 768 (nothing visible here)."
fi
echo "run: starting build/win/pigeonet.exe under Wine (prefix $WINEPREFIX); Ctrl-C stops it."
exec "$here/wine-run.sh" "$root/build/win/pigeonet.exe"
