#!/usr/bin/env bash
# Installs every Debian package the build and the tests need; quick when all are present.
set -euo pipefail

PACKAGES=(
    build-essential cmake make pkg-config
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev
    wine wine64 xvfb xauth x11-utils imagemagick
    googletest libgtest-dev zlib1g-dev
    clang libclang-rt-14-dev
    python3
)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# wine32 makes the wine wrapper pick the 32-bit loader, which this kernel cannot run.
if dpkg-query -W -f='${Status}' wine32 2>/dev/null | grep -q 'install ok installed'; then
    echo "bootstrap: removing wine32 (the 32-bit loader cannot run here)"
    $SUDO apt-get remove -y wine32
fi

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "bootstrap: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
