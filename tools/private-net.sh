#!/usr/bin/env bash
# Runs a command in a private network namespace of its own, whose only interface is a loopback that is up:
#
#   tools/private-net.sh COMMAND [ARG...]
#
# For everything that needs a fixed port such as 995 (POP3S): inside, the port is always free and nothing else on
# the machine can take it, so any number of runs can hold it at once. Unix sockets and files are shared with the
# machine as usual (an Xvfb or a Wine server started inside works as outside). Needs root (unshare, iproute2).
# Already inside one (PIGEONET_PRIVATE_NET set), it runs the command as it is. The exit status is the command's.
set -euo pipefail

if (($# < 1)); then
    echo "usage: $0 COMMAND [ARG...]" >&2
    exit 2
fi
if [[ -n "${PIGEONET_PRIVATE_NET:-}" ]]; then
    exec "$@"
fi
command -v ip >/dev/null || { echo "private-net.sh: needs ip (package iproute2)" >&2; exit 1; }
export PIGEONET_PRIVATE_NET=1
exec unshare --net -- sh -c 'ip link set lo up && exec "$@"' private-net "$@"
