#!/usr/bin/env bash
# Builds every configuration and runs all the tests: the Linux library (plain
# and with sanitizers), the 32-bit PushNote.dll and the Windows tests under Wine,
# and the release ZIPs for 32-bit and 64-bit Windows.
set -euo pipefail
cd "$(dirname "$0")/.."
utils/install-dependencies.sh

build() {
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1"
}

# As a packager builds it: plain Release, every default but the service host.
utils/check-default-builds.sh

build linux
ctest --preset linux
build linux-asan
ctest --preset linux-asan
# Image type detection and the multipart builders under libFuzzer, bounded.
tests/fuzz/run_fuzz.sh 30

build windows
if utils/can-run-32-bit.sh; then
    ctest --preset windows
else
    # Same Windows sources, 64-bit, under 64-bit Wine; the shipped 32-bit DLL
    # still has its tables checked.
    echo "This machine cannot execute 32-bit programs: the Windows tests run on the x86_64 build."
    ctest --preset windows --label-regex static
    build windows-x64
    ctest --preset windows-x64
fi

# The ZIPs to ship, from the release builds for 32-bit and 64-bit hosts: the
# DLL's tables and size, and the files and import libraries in each ZIP.
for preset in windows-release windows-x64-release; do
    cmake --preset "$preset" -DPUSHNOTE_SERVICE_HOST=notify.example.com >/dev/null
    cmake --build --preset "$preset"
    tests/windows/check_release_build.sh "build/$preset"
done
