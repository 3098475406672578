#!/usr/bin/env bash
# A private Dovecot POP3 (and IMAP) server on free loopback ports, for tests and benchmarks. Everything it needs
# (config, passwd-file, Maildirs, runtime and state folders, log) lives in one temporary folder; nothing touches
# /etc/dovecot or /var/run/dovecot.
#
#   tools/dovecot/dovecot.sh start [--port N] [--tls CERT KEY | --starttls CERT KEY] [--imap] [USER:PASSWORD ...]
#       starts the server in the background (default account user:pass) and prints its lines: port=N, pid=P,
#       dir=FOLDER, and the ports of the other listeners it has (below)
#       --port N             the POP3 port is 127.0.0.1:N instead of a free port (995 needs root)
#       --tls CERT KEY       POP3S only: implicit TLS with this PEM certificate (chain) and key, ssl = required
#       --starttls CERT KEY  the plain ports offer STLS and STARTTLS with this certificate (ssl = yes, clear logins
#                            still allowed), and implicit TLS listens on ports of its own: pop3s_port=N
#       --imap               IMAP too: plain on imap_port=N (implicit TLS instead with --tls), and with --starttls
#                            implicit TLS on imaps_port=N; IDLE is offered, and a delivery reaches a client in
#                            IDLE as "* n EXISTS" about 0.6 s later
#       Without --tls and --starttls there is no TLS at all (ssl = no): nothing offers STLS or STARTTLS.
#   tools/dovecot/dovecot.sh deliver FOLDER USER [COUNT]
#       puts COUNT (default 1) new messages into USER's Maildir
#   tools/dovecot/dovecot.sh seen FOLDER USER COUNT
#       marks COUNT of USER's unseen messages seen, as another mail client would (the Maildir flag S)
#   tools/dovecot/dovecot.sh certificate FOLDER
#       makes a throwaway test authority (FOLDER/test-ca.pem) and a server certificate it signed for localhost and
#       127.0.0.1 (FOLDER/localhost.pem, FOLDER/localhost.key), for --tls and --starttls
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

# free_ports N: N different loopback ports that nobody holds at the moment, on one line (one Python start for all).
free_ports() {
    python3 -c '
import socket, sys
held = [socket.socket() for _ in range(int(sys.argv[1]))]
for s in held:
    s.bind(("127.0.0.1", 0))
print(" ".join(str(s.getsockname()[1]) for s in held))
' "$1"
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

# seen FOLDER USER COUNT: marks COUNT unseen messages seen the way another client does in a Maildir: a message in
# new/ moves to cur/ with the flag S, one in cur/ gains S among its flags (kept in ASCII order). Dovecot notices the
# changed folders at its next look into the mailbox and keeps each message's UID, since the base name stays.
seen() {
    local folder=$1 user=$2 count=$3
    local maildir="$folder/mail/$user/Maildir"
    [[ -d "$maildir/cur" ]] || die "no Maildir for $user in $folder"
    [[ "$count" =~ ^[0-9]+$ ]] || die "seen needs a COUNT"
    local marked=0 path name base flags
    while IFS= read -r path && ((marked < count)); do
        name=${path##*/}
        if [[ "$path" == "$maildir/new/"* ]]; then
            base=${name%%:*}
            flags=
        else
            base=${name%%:2,*}
            flags=${name#*:2,}
            [[ "$name" == *:2,* ]] || flags=
            [[ "$flags" == *S* ]] && continue
        fi
        flags=$(printf '%s' "${flags}S" | fold -w1 | LC_ALL=C sort | tr -d '\n')
        mv "$path" "$maildir/cur/$base:2,$flags"
        marked=$((marked + 1))
    done < <(find "$maildir/new" "$maildir/cur" -maxdepth 1 -type f | LC_ALL=C sort)
    ((marked == count)) || die "only $marked of $user's messages were unseen, not $count"
}

# certificate FOLDER: a throwaway authority and a localhost certificate it signed, valid for two days.
certificate() {
    local folder=$1
    mkdir -p "$folder"
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$folder/test-ca.key" -out "$folder/test-ca.pem" -days 2 \
        -subj "/CN=Pigeonet Dovecot Test CA" -addext "basicConstraints=critical,CA:TRUE" \
        -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null || die "openssl could not make the authority"
    openssl req -newkey rsa:2048 -nodes -keyout "$folder/localhost.key" -out "$folder/localhost.csr" \
        -subj "/CN=localhost" 2>/dev/null || die "openssl could not make the certificate request"
    printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n' \
        >"$folder/localhost.ext"
    openssl x509 -req -in "$folder/localhost.csr" -CA "$folder/test-ca.pem" -CAkey "$folder/test-ca.key" \
        -CAcreateserial -out "$folder/localhost.pem" -days 2 -extfile "$folder/localhost.ext" 2>/dev/null ||
        die "openssl could not sign the certificate"
    # Dovecot reads the key as root before it drops privileges; the test scripts only need the two PEM files.
    chmod 644 "$folder/test-ca.pem" "$folder/localhost.pem"
}

start() {
    local port= cert= key= security=none imap=
    while (($# > 0)); do
        case "$1" in
            --port) (($# >= 2)) || die "--port needs a number"; port=$2; shift 2 ;;
            --tls | --starttls)
                (($# >= 3)) || die "$1 needs CERT and KEY"
                security=${1#--}
                cert=$(realpath "$2")
                key=$(realpath "$3")
                shift 3
                ;;
            --imap) imap=1; shift ;;
            *) break ;;
        esac
    done
    local accounts=("$@")
    ((${#accounts[@]} > 0)) || accounts=(user:pass)
    command -v dovecot >/dev/null || die "dovecot is not installed (package dovecot-pop3d)"
    if [[ -n "$imap" && ! -x /usr/lib/dovecot/imap ]]; then
        die "dovecot serves no IMAP here (package dovecot-imapd)"
    fi
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
    # The listeners as written into the config and waited for: NAME=PORT:PROTOCOL:tls|plain. Port 0 is none.
    local listeners
    # A free port is one nobody held a moment ago: if another program binds it before Dovecot does, Dovecot stops
    # with "Address already in use" and other ports are tried.
    local free
    for _ in 1 2 3 4 5; do
        read -r -a free <<<"$(free_ports 4)"
        [[ -n "$fixed_port" ]] || port=${free[0]}
        listeners=()
        case "$security" in
            none) listeners+=("port=$port:pop3:plain") ;;
            tls) listeners+=("port=$port:pop3:tls") ;;
            starttls) listeners+=("port=$port:pop3:plain" "pop3s_port=${free[1]}:pop3:tls") ;;
        esac
        if [[ -n "$imap" ]]; then
            case "$security" in
                none) listeners+=("imap_port=${free[2]}:imap:plain") ;;
                tls) listeners+=("imap_port=${free[2]}:imap:tls") ;;
                starttls) listeners+=("imap_port=${free[2]}:imap:plain" "imaps_port=${free[3]}:imap:tls") ;;
            esac
        fi
        write_config "$folder" "$uid" "$security" "$cert" "$key" "${listeners[@]}"
        # -F keeps the master in the foreground of its own background job, so its pid is the one to stop.
        dovecot -F -c "$folder/dovecot.conf" </dev/null >>"$folder/dovecot.log" 2>&1 &
        pid=$!
        if wait_ready "$pid" "${listeners[@]}"; then
            local listener
            for listener in "${listeners[@]}"; do
                echo "${listener%%:*}"
            done
            echo "pid=$pid"
            echo "dir=$folder"
            return
        fi
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        if [[ -n "$fixed_port" && -z "$imap" && "$security" != starttls ]] ||
            ! grep -q "Address already in use" "$folder/dovecot.log"; then
            break
        fi
    done
    cat "$folder/dovecot.log" >&2
    rm -rf "$folder"
    die "dovecot did not start on 127.0.0.1 (its log is above)"
}

# wait_ready PID LISTENER...: waits until the Dovecot master PID itself listens on every listener's port, then for a
# client to get each one's greeting. It connects only once the ports are Dovecot's: until then one may be another
# program's, whose connection it must not take. The greeting means a login process is up, so the first probe does
# not spend its read timeout on Dovecot's cold start.
wait_ready() {
    local pid=$1
    shift
    local deadline=$((SECONDS + ${PIGEONET_DOVECOT_START_LIMIT:-120}))
    local listener port
    for listener in "$@"; do
        port=${listener#*=}
        port=${port%%:*}
        while ! ss -Hltnp "sport = :$port" 2>/dev/null | grep -q "pid=$pid,"; do
            kill -0 "$pid" 2>/dev/null || return 1
            if ((SECONDS >= deadline)); then
                echo "dovecot.sh: dovecot (pid $pid) was not listening on 127.0.0.1:$port after the start limit" >&2
                return 1
            fi
            sleep 0.1
        done
    done
    python3 - "$((deadline - SECONDS + 1))" "$@" <<'PY' || return 1
import socket, ssl, sys
limit = max(5.0, float(sys.argv[1]))
for listener in sys.argv[2:]:
    port, protocol, security = listener.split("=", 1)[1].split(":")
    port = int(port)
    try:
        connection = socket.create_connection(("127.0.0.1", port), limit)
        if security == "tls":
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
            context.check_hostname = False
            context.verify_mode = ssl.CERT_NONE
            connection = context.wrap_socket(connection)
        greeting = connection.makefile("rb").readline()
        connection.close()
    except OSError as error:
        sys.exit(f"dovecot.sh: no greeting from 127.0.0.1:{port} after the start limit: {error}")
    if not greeting.startswith(b"+OK" if protocol == "pop3" else b"* OK"):
        sys.exit(f"dovecot.sh: 127.0.0.1:{port} greeted with {greeting!r}")
PY
}

# listener_port PROTOCOL plain|tls LISTENER...: the port of that listener among LISTENER..., or 0 when there is none
# (Dovecot's way to leave a listener out).
listener_port() {
    local protocol=$1 security=$2 listener
    shift 2
    for listener in "$@"; do
        if [[ "$listener" == *":$protocol:$security" ]]; then
            listener=${listener#*=}
            echo "${listener%%:*}"
            return
        fi
    done
    echo 0
}

write_config() {
    local folder=$1 uid=$2 security=$3 cert=$4 key=$5
    shift 5
    # No TLS at all by default; with --tls only implicit TLS listeners (nothing in clear); with --starttls both.
    local ssl=no tls_settings= protocols=pop3
    case "$security" in
        tls) ssl=required ;;
        starttls) ssl=yes ;;
    esac
    if [[ -n "$cert" ]]; then
        tls_settings="ssl_cert = <$cert
ssl_key = <$key"
    fi
    local imap_service=
    if [[ "$*" == *:imap:* ]]; then
        protocols="pop3 imap"
        imap_service="service imap-login {
  process_min_avail = 1
  inet_listener imap {
    address = 127.0.0.1
    port = $(listener_port imap plain "$@")
  }
  inet_listener imaps {
    address = 127.0.0.1
    port = $(listener_port imap tls "$@")
    ssl = yes
  }
}"
    fi
    cat >"$folder/dovecot.conf" <<CONF
protocols = $protocols
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
# A client in IDLE hears of a delivery through inotify about half a second later; should inotify be unavailable
# (no watches left, say), Dovecot looks into the mailbox this often instead of every 30 seconds.
mailbox_idle_check_interval = 1 secs
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
    port = $(listener_port pop3 plain "$@")
  }
  inet_listener pop3s {
    address = 127.0.0.1
    port = $(listener_port pop3 tls "$@")
    ssl = yes
  }
}
$imap_service
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

# any_running PID...: whether one of them still runs. An ended process whose parent has gone waits as a zombie until
# init reaps it, which some container inits do only every few seconds: it holds no socket any more, so it counts as
# ended.
any_running() {
    local pid state
    for pid in "$@"; do
        # /proc/PID/stat: "PID (NAME) STATE ..."; Dovecot's process names have no blanks.
        read -r _ _ state _ 2>/dev/null <"/proc/$pid/stat" || continue
        [[ "$state" == Z ]] || return 0
    done
    return 1
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
            any_running "${processes[@]}" || break
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
    seen) (($# == 3)) || die "usage: seen FOLDER USER COUNT"; seen "$@" ;;
    certificate) (($# == 1)) || die "usage: certificate FOLDER"; certificate "$@" ;;
    stop) (($# == 2)) || die "usage: stop PID FOLDER"; stop "$@" ;;
    *) die "usage: $0 start [--port N] [--tls CERT KEY | --starttls CERT KEY] [--imap] [USER:PASSWORD ...] |" \
        "deliver FOLDER USER [COUNT] | seen FOLDER USER COUNT | certificate FOLDER | stop PID FOLDER" ;;
esac
