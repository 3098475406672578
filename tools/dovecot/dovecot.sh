#!/usr/bin/env bash
# A private Dovecot POP3 server on a free loopback port, for tests and benchmarks. Everything it needs (config,
# passwd-file, Maildirs, runtime and state folders, log) lives in one temporary folder; nothing touches
# /etc/dovecot or /var/run/dovecot.
#
#   tools/dovecot/dovecot.sh start [--port N] [--tls CERT KEY] [USER:PASSWORD ...]   (default account user:pass)
#       starts the server in the background and prints three lines: port=N, pid=P, dir=FOLDER
#       --port N         listens on 127.0.0.1:N instead of a free port (995 needs root)
#       --tls CERT KEY   POP3S only: implicit TLS with this PEM certificate (chain) and key, ssl = required
#   tools/dovecot/dovecot.sh deliver FOLDER USER [COUNT]
#       puts COUNT (default 1) new messages into USER's Maildir
#   tools/dovecot/dovecot.sh stop PID FOLDER
#       stops the server by its process id and removes the folder
#
# Dovecot's login processes refuse to run as root: they run as dovenull, the internal processes as dovecot, and
# the mail users get the dovecot uid so the mail folders can be theirs.
set -euo pipefail

die() {
    echo "dovecot.sh: $*" >&2
    exit 1
}

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()'
}

deliver() {
    local folder=$1 user=$2 count=${3:-1}
    local maildir="$folder/mail/$user/Maildir"
    [[ -d "$maildir/new" ]] || die "no Maildir for $user in $folder"
    local i name
    for ((i = 0; i < count; i++)); do
        name="$(date +%s).M$RANDOM$RANDOM.P$$Q$i.pigeonet"
        printf 'From: sender@example.org\r\nTo: %s@example.org\r\nSubject: test %s\r\n\r\nHello.\r\n' \
            "$user" "$i" >"$maildir/tmp/$name"
        chown dovecot:dovecot "$maildir/tmp/$name"
        mv "$maildir/tmp/$name" "$maildir/new/$name"
    done
}

start() {
    local port= cert= key=
    while (($# > 0)); do
        case "$1" in
            --port) (($# >= 2)) || die "--port needs a number"; port=$2; shift 2 ;;
            --tls) (($# >= 3)) || die "--tls needs CERT and KEY"; cert=$(realpath "$2"); key=$(realpath "$3"); shift 3 ;;
            *) break ;;
        esac
    done
    local accounts=("$@")
    ((${#accounts[@]} > 0)) || accounts=(user:pass)
    command -v dovecot >/dev/null || die "dovecot is not installed (package dovecot-pop3d)"
    local folder uid gid
    folder=$(mktemp -d /tmp/pigeonet-dovecot.XXXXXX)
    chmod 755 "$folder"
    uid=$(id -u dovecot)
    gid=$(id -g dovecot)
    mkdir -p "$folder/run" "$folder/state" "$folder/mail"
    : >"$folder/passwd"
    local account user password
    for account in "${accounts[@]}"; do
        user=${account%%:*}
        password=${account#*:}
        printf '%s:{PLAIN}%s:%s:%s::%s/mail/%s::\n' "$user" "$password" "$uid" "$gid" "$folder" "$user" \
            >>"$folder/passwd"
        mkdir -p "$folder/mail/$user/Maildir/"{new,cur,tmp}
    done
    chown -R dovecot:dovecot "$folder/mail"
    chmod 644 "$folder/passwd"
    if [[ -n "$cert" ]]; then
        [[ -r "$cert" && -r "$key" ]] || die "cannot read $cert or $key"
    fi
    local fixed_port=$port pid
    # A free port is one nobody held a moment ago: if another program binds it before Dovecot does, Dovecot stops
    # with "Address already in use" and another port is tried.
    for _ in 1 2 3 4 5; do
        [[ -n "$fixed_port" ]] || port=$(free_port)
        write_config "$folder" "$port" "$uid" "$cert" "$key"
        # -F keeps the master in the foreground of its own background job, so its pid is the one to stop.
        dovecot -F -c "$folder/dovecot.conf" </dev/null >>"$folder/dovecot.log" 2>&1 &
        pid=$!
        if wait_ready "$pid" "$port" "$cert"; then
            echo "port=$port"
            echo "pid=$pid"
            echo "dir=$folder"
            return
        fi
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        if [[ -n "$fixed_port" ]] || ! grep -q "Address already in use" "$folder/dovecot.log"; then
            break
        fi
    done
    cat "$folder/dovecot.log" >&2
    rm -rf "$folder"
    die "dovecot did not start on 127.0.0.1:$port (its log is above)"
}

# Waits until the Dovecot master PID itself listens on PORT, then for a client to get the greeting. It connects only
# once the port is Dovecot's: until then it may be another program's, whose connection it must not take. The greeting
# means a login process is up, so the first probe does not spend its read timeout on Dovecot's cold start.
wait_ready() {
    local pid=$1 port=$2 tls=$3
    local deadline=$((SECONDS + ${PIGEONET_DOVECOT_START_LIMIT:-120}))
    while ! ss -Hltnp "sport = :$port" 2>/dev/null | grep -q "pid=$pid,"; do
        kill -0 "$pid" 2>/dev/null || return 1
        if ((SECONDS >= deadline)); then
            echo "dovecot.sh: dovecot (pid $pid) was not listening on 127.0.0.1:$port after the start limit" >&2
            return 1
        fi
        sleep 0.1
    done
    python3 - "$port" "${tls:+tls}" "$((deadline - SECONDS + 1))" <<'PY' || return 1
import socket, ssl, sys
port, tls, limit = int(sys.argv[1]), sys.argv[2] == "tls", max(5.0, float(sys.argv[3]))
try:
    connection = socket.create_connection(("127.0.0.1", port), limit)
    if tls:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
        context.check_hostname = False
        context.verify_mode = ssl.CERT_NONE
        connection = context.wrap_socket(connection)
    greeting = connection.makefile("rb").readline()
except OSError as error:
    sys.exit(f"dovecot.sh: no greeting from 127.0.0.1:{port} after the start limit: {error}")
if not greeting.startswith(b"+OK"):
    sys.exit(f"dovecot.sh: 127.0.0.1:{port} greeted with {greeting!r}")
PY
}

write_config() {
    local folder=$1 port=$2 uid=$3 cert=$4 key=$5
    # Plain POP3 on the port; with --tls the port is a POP3S listener and nothing is served in clear.
    local ssl=no plain_port=$port tls_port=0 tls_settings=
    if [[ -n "$cert" ]]; then
        ssl=required
        plain_port=0
        tls_port=$port
        tls_settings="ssl_cert = <$cert
ssl_key = <$key"
    fi
    cat >"$folder/dovecot.conf" <<CONF
protocols = pop3
listen = 127.0.0.1
base_dir = $folder/run
state_dir = $folder/state
log_path = $folder/dovecot.log
ssl = $ssl
$tls_settings
disable_plaintext_auth = no
auth_mechanisms = plain
default_login_user = dovenull
default_internal_user = dovecot
first_valid_uid = $uid
last_valid_uid = $uid
mail_location = maildir:$folder/mail/%u/Maildir
pop3_uidl_format = %08Xu%08Xv
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%u $folder/passwd
}
userdb {
  driver = passwd-file
  args = username_format=%u $folder/passwd
}
service pop3-login {
  # A login process waits ready for the next client, so a probe's read timeout is not spent on starting one.
  process_min_avail = 1
  inet_listener pop3 {
    address = 127.0.0.1
    port = $plain_port
  }
  inet_listener pop3s {
    address = 127.0.0.1
    port = $tls_port
    ssl = yes
  }
}
service anvil {
  chroot =
}
service stats {
  unix_listener stats-reader {
    mode = 0666
  }
  unix_listener stats-writer {
    mode = 0666
  }
}
CONF
}

stop() {
    local pid=$1 folder=$2
    if kill -0 "$pid" 2>/dev/null; then
        # The master's service processes (a login process waiting for a client, say) hold its listening socket until
        # they have ended too: wait for all of them, so the port is free again when this returns.
        local processes=("$pid") i
        mapfile -t -O 1 processes < <(pgrep -P "$pid" || true)
        kill "$pid"
        for ((i = 0; i < 300; i++)); do
            kill -0 "${processes[@]}" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "${processes[@]}" 2>/dev/null || true
    fi
    case "$folder" in
        /tmp/pigeonet-dovecot.*) rm -rf "$folder" ;;
        *) die "not removing $folder: not one of ours" ;;
    esac
}

command=${1:-}
shift || true
case "$command" in
    start) start "$@" ;;
    deliver) (($# >= 2)) || die "usage: deliver FOLDER USER [COUNT]"; deliver "$@" ;;
    stop) (($# == 2)) || die "usage: stop PID FOLDER"; stop "$@" ;;
    *) die "usage: $0 start [--port N] [--tls CERT KEY] [USER:PASSWORD ...] | deliver FOLDER USER [COUNT] | stop PID FOLDER" ;;
esac
