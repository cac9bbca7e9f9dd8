#!/usr/bin/env bash
# Installs what the build and the Wine test bench need on Debian 12, as root.
# Quick when everything is already there: nothing is downloaded then.
set -euo pipefail

packages=(cmake ninja-build g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
          wine wine64 wine32:i386 xvfb xauth x11-utils fonts-ipafont-gothic locales
          mingw-w64-tools googletest fp-utils zip imagemagick python3 hyperfine util-linux libxml2-utils)

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    missing=("${packages[@]}")
else
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
fi

if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine needs the glibc locale as well as its own setting, or every Japanese file name fails.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
    localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
