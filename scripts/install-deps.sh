#!/usr/bin/env bash
# Installs what building, running and testing the utility needs on Debian 12 (as root).
# Quiet and quick when everything is already there.
set -euo pipefail

packages=(
    cmake ninja-build g++ googletest libgtest-dev clang-format clang-tidy python3
    libclang-rt-14-dev llvm
    g++-mingw-w64-x86-64 mingw-w64-tools binutils-mingw-w64-x86-64
    g++-mingw-w64-i686 binutils-mingw-w64-i686 clang lld
    wine wine64 xvfb xdotool imagemagick x11-apps x11-utils fonts-ipafont-gothic locales
    pandoc chromium fonts-wine fonts-dejavu-core python3-pefile debootstrap
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Wine takes the Japanese code page from the Unix locale, which must exist.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
