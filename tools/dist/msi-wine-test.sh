#!/usr/bin/env bash
# The installer under Wine, as a user without administrator rights meets it:
#
#   tools/dist/msi-wine-test.sh PREFIX PACKAGE.msi NEWER.msi
#
# Installs PACKAGE.msi with `msiexec /i /qn` (files in the user's local programs folder, Start menu shortcuts,
# uninstall entry with version and publisher, Run value), starts the installed program through its shortcut and
# waits for its tray icon, installs NEWER.msi over the running program (one entry left, the newer; the program
# closed first, so no file is left in use), starts it again and removes it with `msiexec /x /qn` while it runs
# (program ended; files, shortcuts, Run value and entry gone, the settings under HKCU\Software\Zelvik\pg kept),
# then restarts Wine (`wineboot -r`): no pigeonet.exe comes back and no rename waits for a restart.
# One Wine prefix (PREFIX, created once), one private Xvfb screen and one Wine server for all of it, each stopped
# by its process id at the end. Prints one line per check; the exit status is the number of failed checks.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
source "$root/tools/lib/processes.sh"
usage="usage: $0 PREFIX PACKAGE.msi NEWER.msi"
export WINEPREFIX=$(realpath -m "${1:?$usage}")
package=$(realpath "${2:?$usage}")
newer=$(realpath "${3:?$usage}")
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=

check_label=msi
source "$root/tools/lib/checks.sh"

xvfb_pid=
server_pid=
cleanup() {
    trap - EXIT INT TERM
    [[ -n "$server_pid" ]] && stop_wineserver "$server_pid" 50
    [[ -n "$xvfb_pid" ]] && stop_process "$xvfb_pid"
    exit "$failures"
}
trap cleanup EXIT
trap 'failures=130; exit' INT
trap 'failures=143; exit' TERM

# A private screen, so the tray icon is this test's.
start_xvfb 20 || { echo "msi: Xvfb did not start" >&2; failures=1; exit; }

# A run that ended half way leaves a program installed: start again from a new prefix.
[[ -f "$WINEPREFIX/.pigeonet-msi-test" ]] && rm -rf "$WINEPREFIX"
[[ -f "$WINEPREFIX/.pigeonet-ready" ]] || PIGEONET_WINE_QUIET=1 "$root/tools/wine-run.sh" cmd /c exit
touch "$WINEPREFIX/.pigeonet-msi-test"

wineserver -f -p &
server_pid=$!
wine cmd /c exit >/dev/null 2>&1  # waits for the server and starts the session's desktop

profile="$WINEPREFIX/drive_c/users/$(id -un)"
folder="$profile/AppData/Local/Programs/Pigeonet"
shortcut="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Pigeonet.lnk"
guide_shortcut="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Pigeonet user guide.lnk"
windows_folder="C:\\users\\$(id -un)\\AppData\\Local\\Programs\\Pigeonet"
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'

msiexec() { wine msiexec "$@" /qn >/dev/null 2>&1; }
windows_path() { echo "Z:${1//\//\\}"; }
# The uninstall entries named Pigeonet, "VERSION PUBLISHER" a line. Windows keeps a per-user installation's entry
# in the user's hive; Wine keeps every entry in the machine's.
entries() {
    local hive
    for hive in HKCU HKLM; do
        wine reg query "$hive\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall" /s 2>/dev/null | tr -d '\r' |
            awk '
                /^HKEY/ { if (name == "Pigeonet") print version, publisher; name = version = publisher = "" }
                $1 == "DisplayName" { name = $3 }
                $1 == "DisplayVersion" { version = $3 }
                $1 == "Publisher" { publisher = $3 }
                END { if (name == "Pigeonet") print version, publisher }'
    done
}
# The product registered for this user alone (the per-user context), not for the machine.
registered_for_user() {
    wine reg query 'HKCU\Software\Microsoft\Installer\Products' /s 2>/dev/null | grep -q 'ProductName.*Pigeonet' &&
        ! wine reg query 'HKLM\Software\Classes\Installer\Products' /s 2>/dev/null | grep -q 'ProductName.*Pigeonet'
}
run_value() { wine reg query "$run_key" /v pg 2>/dev/null | tr -d '\r' | sed -n 's/^ *pg *REG_SZ *//p'; }
setting() { wine reg query 'HKCU\Software\Zelvik\pg' /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_SZ *//p"; }
tray_shown() { xwininfo -name "Wine System Tray" 2>/dev/null | grep -q 'Map State: IsViewable'; }
# A window of a pigeonet.exe on this test's private screen: the program is running.
program_runs() { xwininfo -root -tree 2>/dev/null | grep -q '("pigeonet.exe"'; }
# Renames Windows (here wineboot) is to do at the next start: what an installer leaves when a file is in use.
no_pending_rename() {
    ! wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations \
        >/dev/null 2>&1
}
# The program's folder holds the package's files and nothing else (no renamed copy of a file that was in use).
only_package_files() {
    test "$(ls -A "$folder" | sort | tr '\n' ' ')" = "LICENSE.txt pigeonet-probe.exe pigeonet.exe user-guide.txt "
}
start_from_shortcut() {
    wine start "$start_menu\\Pigeonet.lnk" >/dev/null 2>&1
    wait_for 90 tray_shown && wait_for 10 program_runs
}
wait_for() {  # wait_for SECONDS COMMAND...
    local deadline=$((SECONDS + $1))
    until "${@:2}"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.5
    done
}
all_installed() {
    local file
    for file in pigeonet.exe pigeonet-probe.exe user-guide.txt LICENSE.txt; do
        [[ -f "$folder/$file" ]] || return 1
    done
}
per_user_package() {
    local word_count
    word_count=$(msiinfo suminfo "$1" | sed -n 's/^Source: \([0-9]*\).*/\1/p')
    ((word_count & 8)) && ! msiinfo export "$1" Property | grep -q '^ALLUSERS'
}
version_of() { msiinfo export "$1" Property | tr -d '\r' | awk '$1 == "ProductVersion" { print $2 }'; }

old_version=$(version_of "$package")
new_version=$(version_of "$newer")
# Word count bit 8: no elevation needed; without ALLUSERS the installation is the current user's.
check "the package asks for no administrator rights and sets no ALLUSERS" per_user_package "$package"

check "msiexec /i $(basename "$package") /qn succeeds" msiexec /i "$(windows_path "$package")"
check "the files are in the user's local programs folder" all_installed
check "the Start menu shortcut exists" test -f "$shortcut"
check "the user guide's Start menu shortcut exists" test -f "$guide_shortcut"
check "installed for this user alone" registered_for_user
check "one uninstall entry, with version $old_version and publisher Zelvik" test "$(entries)" = "$old_version Zelvik"
check "the Run value pg starts the installed program" test "$(run_value)" = "\"$windows_folder\\pigeonet.exe\""

check "no tray icon before the program starts" eval '! tray_shown'
start_menu="C:\\users\\$(id -un)\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"
check "the program started from the shortcut shows its tray icon" start_from_shortcut ||
    xwininfo -root -tree | grep '"' | sed 's/^/msi:   /'

# Upgraded and removed while the program runs: the installer closes it before it touches its files.
wine reg add 'HKCU\Software\Zelvik\pg' /v lang /t REG_SZ /d 1 /f >/dev/null 2>&1
check "msiexec /i $(basename "$newer") /qn replaces the older version while it runs" msiexec /i "$(windows_path "$newer")"
check "the running program was closed" eval '! program_runs'
check "one uninstall entry left, version $new_version" test "$(entries)" = "$new_version Zelvik"
check "the files are still there, and no other" only_package_files
check "no rename waits for a restart" no_pending_rename

check "the upgraded program starts from the shortcut" start_from_shortcut
check "msiexec /x /qn succeeds while it runs" msiexec /x "$(windows_path "$newer")"
check "the running program was closed" eval '! program_runs'
check "the files and their folder are gone" test ! -e "$folder"
check "the shortcuts are gone" test ! -e "$shortcut" -a ! -e "$guide_shortcut"
check "the Run value is gone" bash -c '! wine reg query "$1" /v pg >/dev/null 2>&1' _ "$run_key"
check "the uninstall entry is gone" test -z "$(entries)"
check "the settings are kept" test "$(setting lang)" = 1
check "no rename waits for a restart" no_pending_rename

wine wineboot -r >/dev/null 2>&1
check "after a restart of Wine no pigeonet.exe is left in the profile" \
    test -z "$(find "$profile" -iname 'pigeonet*.exe' -print -quit)"
check "after a restart of Wine the program's folder is still gone" test ! -e "$folder"
check "after a restart of Wine no rename waits" no_pending_rename

((failures == 0)) && rm -f "$WINEPREFIX/.pigeonet-msi-test"
