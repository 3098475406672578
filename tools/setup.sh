#!/usr/bin/env bash
# Installs what building, running and testing Pigeonet need on Debian 12, as root.
# Quick and silent when everything is present; runs `apt-get update` only when something is missing.
set -euo pipefail

packages=(
    make cmake g++ ninja-build
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    googletest
    wine wine64 fonts-wine
    xvfb xauth x11-utils xdotool imagemagick
    dovecot-pop3d dovecot-imapd openssl libssl-dev fonts-dejavu-core
    procps python3 iproute2
    wixl msitools osslsigncode
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]} > 0)); then
    echo "setup: installing ${missing[*]}"
    if [[ $(id -u) -ne 0 ]]; then
        echo "setup: run as root (or install the packages above yourself)" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q "${missing[@]}"
fi
