#!/usr/bin/env bash
# Installs the Debian packages that building and testing PushNote need; does
# nothing when they are all there already, so it is safe to run again.
set -euo pipefail

packages=(
    cmake make g++ pkg-config openssl curl file dpkg-dev
    libcurl4-openssl-dev libssl-dev libgif-dev libturbojpeg0-dev libjpeg62-turbo-dev
    libcpp-httplib-dev libcli11-dev googletest libgtest-dev
    libsqlite3-dev sqlite3 nlohmann-json3-dev chromium
    clang libclang-rt-14-dev
    valgrind libc-bin locales
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    wine wine64 wine32:i386
    imagemagick
    python3 mono-mcs
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
echo "Installing: ${missing[*]}"
# The 32-bit Wine comes from the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${as_root[@]}" dpkg --add-architecture i386
fi
"${as_root[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -q \
    "${missing[@]}"
