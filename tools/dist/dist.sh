#!/usr/bin/env bash
# Packs the product build for Windows users: tools/dist/dist.sh RELEASE_BUILD_DIR OUT_DIR [VERSION]
#
# Writes into OUT_DIR pigeonet-VERSION-win64.zip (pigeonet.exe, pigeonet-probe.exe, user-guide.txt, LICENSE.txt),
# pigeonet-VERSION-win64.msi (packaging/pigeonet.wxs, built with wixl) and SHA256SUMS. VERSION defaults to the
# build's own (the file pigeonet-version the CMake configure writes); another one is for testing upgrades.
#
# Signing: when PIGEONET_SIGN_PFX names a PKCS#12 file with a code-signing certificate (its password in
# PIGEONET_SIGN_PASSWORD, if any), both executables and the MSI are signed with osslsigncode, time-stamped by the
# RFC 3161 server PIGEONET_SIGN_TIMESTAMP when that is set. Without a certificate the files are left unsigned, and
# the script says so.
set -euo pipefail
build=$(realpath "${1:?usage: $0 RELEASE_BUILD_DIR OUT_DIR [VERSION]}")
out=${2:?usage: $0 RELEASE_BUILD_DIR OUT_DIR [VERSION]}
version=${3:-$(cat "$build/pigeonet-version")}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
name=pigeonet-$version-win64

work=$(mktemp -d /tmp/pigeonet-dist.XXXXXX)
trap 'rm -rf "$work"' EXIT

sign() {
    local file=$1
    local options=(-pkcs12 "$PIGEONET_SIGN_PFX" -h sha256 -n "Pigeonet" -readpass "$work/password")
    [[ -n "${PIGEONET_SIGN_TIMESTAMP:-}" ]] && options+=(-ts "$PIGEONET_SIGN_TIMESTAMP")
    osslsigncode sign "${options[@]}" -in "$file" -out "$file.signed" >/dev/null
    mv "$file.signed" "$file"
    echo "dist: signed $(basename "$file")"
}

if [[ -n "${PIGEONET_SIGN_PFX:-}" ]]; then
    # The password goes in a file of our own rather than on a command line others can read.
    (umask 077 && printf '%s' "${PIGEONET_SIGN_PASSWORD:-}" >"$work/password")
fi

payload=$work/payload
mkdir -p "$payload"
cp "$build/pigeonet.exe" "$build/pigeonet-probe.exe" "$payload/"
# The user guide and the license as Notepad reads them anywhere: Windows line ends, and the guide in UTF-8 with its
# byte order mark (it names the language submenu, "Язык\Language", as the menu shows it).
python3 - "$root/docs/user-guide.txt" "$payload/user-guide.txt" "$root/LICENSE" "$payload/LICENSE.txt" <<'PY'
import sys
for source, target, mark in ((sys.argv[1], sys.argv[2], b"\xef\xbb\xbf"), (sys.argv[3], sys.argv[4], b"")):
    text = open(source, "rb").read().replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
    open(target, "wb").write(mark + text)
PY
cp "$root/src/tray/pigeonet.ico" "$work/pigeonet.ico"
if [[ -n "${PIGEONET_SIGN_PFX:-}" ]]; then
    sign "$payload/pigeonet.exe"
    sign "$payload/pigeonet-probe.exe"
fi

mkdir -p "$out"
out=$(realpath "$out")
rm -f "$out/$name.zip" "$out/$name.msi" "$out/SHA256SUMS"

python3 - "$payload" "$out/$name.zip" <<'PY'
import os, sys, zipfile
payload, archive = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as zip_file:
    for name in ("pigeonet.exe", "pigeonet-probe.exe", "user-guide.txt", "LICENSE.txt"):
        zip_file.write(os.path.join(payload, name), name)
PY
echo "dist: $out/$name.zip"

# wixl finds the files named in the WiX source in its working folder.
cp "$work/pigeonet.ico" "$payload/"
(cd "$payload" && wixl -a x64 -D Version="$version" -o "$out/$name.msi" "$root/packaging/pigeonet.wxs")
if [[ -n "${PIGEONET_SIGN_PFX:-}" ]]; then
    sign "$out/$name.msi"
fi
echo "dist: $out/$name.msi"

(cd "$out" && sha256sum "$name.zip" "$name.msi" >SHA256SUMS)
echo "dist: $out/SHA256SUMS"
if [[ -z "${PIGEONET_SIGN_PFX:-}" ]]; then
    echo "dist: the executables and the MSI are unsigned (set PIGEONET_SIGN_PFX and PIGEONET_SIGN_PASSWORD to sign)"
fi
