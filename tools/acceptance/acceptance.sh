#!/usr/bin/env bash
# Runs the acceptance scenarios (a Win32 test program) under Wine, with the servers they talk to:
#
#   tools/acceptance/acceptance.sh PATH/TO/acceptance_win32_tests.exe [GTEST-ARG...]
#
# Starts a private Dovecot speaking POP3 and IMAP (accounts fresh, steady, arrive, second, reader, watched; password
# "secret"; empty Maildirs) and the build tree's scripted POP3 server (answers STAT with "-ERR mailbox is locked"),
# passes their ports and folders in the environment, and runs the program through tools/wine-run.sh in its own Wine
# prefix, on a private Xvfb screen of 1024 x 768 (DISPLAY is ignored, so the envelope's positions are those of that
# screen). Every server is stopped by its process id on the way out; wine-run.sh stops the Wine server and the
# screen. The program under test is the build tree's pigeonet.exe, or the one PIGEONET_PROGRAM names (the product
# build: `make test-dist`).
set -uo pipefail

exe=$(realpath "${1:?usage: $0 PATH/TO/acceptance_win32_tests.exe [GTEST-ARG...]}")
shift
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${PIGEONET_BUILD_DIR:-$(dirname "$exe")}
source "$root/tests/polling/support/servers.sh"

if [[ $(id -u) -ne 0 ]] || ! command -v dovecot >/dev/null; then
    echo "skipped: needs root and dovecot-pop3d"
    exit 0
fi
scripted_server=$(scripted_server_in "$build") || exit 1

work=$(mktemp -d /tmp/pigeonet-acceptance.XXXXXX)
fake_pid=
cleanup() {
    trap - EXIT INT TERM
    [[ -n "$fake_pid" ]] && stop_process "$fake_pid"
    stop_dovecot
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

start_dovecot --imap fresh:secret steady:secret arrive:secret second:secret reader:secret watched:secret || exit 1
echo "acceptance: Dovecot on 127.0.0.1:$dovecot_port, IMAP on $dovecot_imap_port (pid $dovecot_pid)"

"$scripted_server" --sessions 4 --record "$work/fake-received" \
    login 'send:-ERR mailbox is locked\r\n' >"$work/fake-address" &
fake_pid=$!
fake_port=$(line_value "$work/fake-address" port "the scripted server's port" "$fake_pid") || exit 1
echo "acceptance: scripted POP3 server on 127.0.0.1:$fake_port (pid $fake_pid)"

unset DISPLAY
export PIGEONET_BUILD_DIR=$build
export WINEPREFIX=${WINEPREFIX:-$build/wineprefixes/acceptance_scenarios}
export PIGEONET_DOVECOT_PORT=$dovecot_port PIGEONET_DOVECOT_IMAP_PORT=$dovecot_imap_port PIGEONET_DOVECOT_DIR=$dovecot_dir
export PIGEONET_FAKE_PORT=$fake_port PIGEONET_FAKE_RECORD=$work/fake-received
PIGEONET_WINE_QUIET=1 "$root/tools/wine-run.sh" "$exe" "$@"
status=$?
if ((status != 0)); then
    echo "acceptance: Dovecot's log:"
    sed 's/^/  /' "$dovecot_dir/dovecot.log" | tail -40
fi
exit "$status"
