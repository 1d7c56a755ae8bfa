#!/usr/bin/env bash
# Installs what building, running and testing Sorvagenta needs on Debian 12.
# Needs root (or sudo); does nothing when everything is already there.
# SORVAGENTA_SKIP_SETUP=1 skips it, on a machine that has the tools but no apt.
set -euo pipefail
[ "${SORVAGENTA_SKIP_SETUP:-}" = 1 ] && exit 0

packages=(
    cmake make
    g++-mingw-w64-x86-64 mingw-w64-tools
    googletest
    wine wine64 fonts-wine
    xvfb xauth x11-utils xdotool imagemagick
    libgl1 libglx-mesa0 libgl1-mesa-dri
    python3 python3-yaml
    nsis git
    osslsigncode openssl
    clang lld llvm libwine-dev
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
