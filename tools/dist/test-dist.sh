#!/usr/bin/env bash
# The product as users get it: tools/dist/test-dist.sh RELEASE_WIN_DIR RELEASE_NATIVE_DIR
#
# pigeonet.exe of the product build under 1 MB and carrying the build's version; pigeonet-probe --version; the
# packages of tools/dist/dist.sh (unsigned, and signed with a throwaway certificate made here, the signatures
# verified); the MSI under Wine (tools/dist/msi-wine-test.sh in the prefix build/dist-prefix or
# $PIGEONET_DIST_PREFIX, upgraded by a second MSI with a higher version built here). The acceptance scenarios run
# against the product's pigeonet.exe as a test of their own. Prints one line per check; the exit status is 1 when
# any failed.
set -uo pipefail
usage="usage: $0 RELEASE_WIN_DIR RELEASE_NATIVE_DIR"
release=$(realpath "${1:?$usage}")
native=$(realpath "${2:?$usage}")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
version=$(cat "$release/pigeonet-version")
exe=$release/pigeonet.exe
name=pigeonet-$version-win64

check_label=dist
source "$here/../lib/checks.sh"
work=$(mktemp -d /tmp/pigeonet-test-dist.XXXXXX)
trap 'rm -rf "$work"' EXIT

size=$(stat -c %s "$exe")
check "pigeonet.exe of the product build is under 1 MB ($size bytes)" test "$size" -lt 1048576
check "its version resource and manifest say $version.0" python3 -c '
import sys
data, quad = open(sys.argv[1], "rb").read(), sys.argv[2] + ".0"
sys.exit(not (quad.encode("utf-16-le") in data and b"version=\"" + quad.encode() + b"\"" in data))' "$exe" "$version"
check "its manifest declares Windows 7, 8, 8.1 and 10/11" python3 -c '
import sys
data = open(sys.argv[1], "rb").read().lower()
ids = ["35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
       "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"]
sys.exit(not all(b"supportedos id=\"{" + i.encode() + b"}\"" in data for i in ids))' "$exe"
check "pigeonet-probe --version says $version" test "$("$native/pigeonet-probe" --version)" = "pigeonet-probe $version"

# Unsigned packages.
"$here/dist.sh" "$release" "$work/unsigned" >"$work/unsigned.log" 2>&1
check "dist without a certificate says the files are unsigned" grep -q 'unsigned' "$work/unsigned.log"
check "the zip holds pigeonet.exe, pigeonet-probe.exe, user-guide.txt and LICENSE.txt" python3 -c '
import sys, zipfile
names = sorted(zipfile.ZipFile(sys.argv[1]).namelist())
sys.exit(names != ["LICENSE.txt", "pigeonet-probe.exe", "pigeonet.exe", "user-guide.txt"])' "$work/unsigned/$name.zip"
# Written for Windows users: Notepad's line ends and encoding mark, and nothing that points outside the package.
check "its user guide is UTF-8 with CRLF line ends, without build steps or picture links" python3 -c '
import re, sys, zipfile
data = zipfile.ZipFile(sys.argv[1]).read("user-guide.txt")
text = data[3:].decode("utf-8")
sys.exit(not (data.startswith(b"\xef\xbb\xbf") and data.count(b"\n") == data.count(b"\r\n") and
              not re.search(r"\bmake |apt-get|tools/|\.png|\.md\b|!\[", text)))' "$work/unsigned/$name.zip"
check "SHA256SUMS matches the zip and the MSI" bash -c 'cd "$1" && sha256sum --quiet -c SHA256SUMS &&
    test "$(wc -l <SHA256SUMS)" = 2' _ "$work/unsigned"

# Signed with a throwaway authority and code-signing certificate.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/ca.key" -out "$work/ca.pem" -days 1 \
    -subj "/CN=Pigeonet Test Signing CA" -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout "$work/signer.key" -out "$work/signer.csr" \
    -subj "/CN=Pigeonet Test Signer" 2>/dev/null
printf '%s\n' basicConstraints=CA:FALSE keyUsage=critical,digitalSignature extendedKeyUsage=codeSigning \
    >"$work/signer.ext"
openssl x509 -req -in "$work/signer.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" -CAcreateserial -days 1 \
    -extfile "$work/signer.ext" -out "$work/signer.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/signer.key" -in "$work/signer.pem" -certfile "$work/ca.pem" \
    -passout pass:test-password -out "$work/signer.pfx"
PIGEONET_SIGN_PFX=$work/signer.pfx PIGEONET_SIGN_PASSWORD=test-password \
    "$here/dist.sh" "$release" "$work/signed" >"$work/signed.log" 2>&1
check "dist with a certificate signs both executables and the MSI" \
    test "$(grep -c '^dist: signed' "$work/signed.log")" = 3
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' \
    "$work/signed/$name.zip" "$work/signed/zip" 2>/dev/null
verifies() { osslsigncode verify -CAfile "$work/ca.pem" -in "$1" >"$work/verify.log" 2>&1; }
for file in zip/pigeonet.exe zip/pigeonet-probe.exe "$name.msi"; do
    check "the signature of $(basename "$file") verifies" verifies "$work/signed/$file"
done
check "an unsigned file does not verify" eval '! verifies "$exe"'

# The installer under Wine, upgraded by a later version of itself.
IFS=. read -r major minor patch <<<"$version"
later=$major.$minor.$((patch + 1))
"$here/dist.sh" "$release" "$work/later" "$later" >/dev/null 2>&1
"$here/msi-wine-test.sh" "${PIGEONET_DIST_PREFIX:-$(dirname "$release")/dist-prefix}" \
    "$work/unsigned/$name.msi" "$work/later/pigeonet-$later-win64.msi"
check "the MSI under Wine" test $? = 0

((failures == 0))
