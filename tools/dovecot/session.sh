# One private Dovecot for a script (sourced), started and stopped with tools/dovecot/dovecot.sh.

dovecot_pid=
dovecot_dir=
dovecot_port=
dovecot_imap_port=
dovecot_pop3s_port=
dovecot_imaps_port=

# start_dovecot [--port N] [--tls CERT KEY | --starttls CERT KEY] [--imap] [USER:PASSWORD ...]: starts the server
# (the options of dovecot.sh start); its process id, folder and ports are then in dovecot_pid, dovecot_dir,
# dovecot_port, and dovecot_imap_port, dovecot_pop3s_port, dovecot_imaps_port (empty when it has no such listener).
start_dovecot() {
    local server
    server=$("$(dirname "${BASH_SOURCE[0]}")/dovecot.sh" start "$@") || return 1
    dovecot_pid=$(sed -n 's/^pid=//p' <<<"$server")
    dovecot_dir=$(sed -n 's/^dir=//p' <<<"$server")
    dovecot_port=$(sed -n 's/^port=//p' <<<"$server")
    dovecot_imap_port=$(sed -n 's/^imap_port=//p' <<<"$server")
    dovecot_pop3s_port=$(sed -n 's/^pop3s_port=//p' <<<"$server")
    dovecot_imaps_port=$(sed -n 's/^imaps_port=//p' <<<"$server")
}

# stop_dovecot: stops the server start_dovecot started, by its process id, and removes its folder; nothing when none
# runs.
stop_dovecot() {
    if [[ -n "$dovecot_pid" ]]; then
        "$(dirname "${BASH_SOURCE[0]}")/dovecot.sh" stop "$dovecot_pid" "$dovecot_dir"
        dovecot_pid=
    fi
    return 0
}
