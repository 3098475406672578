# The stored account that points the program at the demo mailbox (sourced by the scripts that run the program).

# import_demo_account FILE PORT [LINE...]: writes FILE, a registry file with the account demo@localhost (password
# demo) on 127.0.0.1:PORT followed by the value LINEs given (`"name"="value"`), and imports it into $WINEPREFIX.
import_demo_account() {
    local file=$1 port=$2 line
    shift 2
    {
        cat <<REG
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\Zelvik\\pg]
"list"="1"
"email0"="demo@localhost"
"smtp0"="127.0.0.1"
"log0"="demo"
"pas0"="demo"
"port0"="$port"
"count0"="0"
REG
        for line; do echo "$line"; done
    } >"$file"
    "$(dirname "${BASH_SOURCE[0]}")/../wine-run.sh" regedit /S "Z:${file//\//\\}" >/dev/null 2>&1
}
