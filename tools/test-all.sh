#!/usr/bin/env bash
# Builds every configuration and runs all the tests: the Linux library (plain
# and with sanitizers), the 32-bit PushNote.dll and the Windows tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-dependencies.sh

build() {
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1"
}

# As a packager builds it: plain Release, every default but the service host.
tools/check-default-builds.sh

build linux
ctest --preset linux
build linux-asan
ctest --preset linux-asan
# Image type detection and the multipart builders under libFuzzer, bounded.
tests/fuzz/run_fuzz.sh 30

build windows
if tools/can-run-32-bit.sh; then
    ctest --preset windows
else
    # Same Windows sources, 64-bit, under 64-bit Wine; the shipped 32-bit DLL
    # still has its tables checked.
    echo "This machine cannot execute 32-bit programs: the Windows tests run on the x86_64 build."
    ctest --preset windows --label-regex static
    build windows-x64
    ctest --preset windows-x64
fi
