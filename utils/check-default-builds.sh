#!/usr/bin/env bash
# Builds PushNote as a packager or a new user would: plain CMake, Release,
# every default but the service host, for Linux and for the i686 DLL. Warnings
# are shown but never stop these builds. Also checks that a release build
# without an explicit service host stops at configure.
set -euo pipefail
cd "$(dirname "$0")/.."
root=build/default-builds
rm -rf "$root/no-host"
mkdir -p "$root"
host=notify.example.com

if cmake -S . -B "$root/no-host" -DCMAKE_BUILD_TYPE=Release >"$root/no-host.log" 2>&1; then
    echo "FAIL: a Release configure without PUSHNOTE_SERVICE_HOST went through" >&2
    exit 1
fi
grep -q "needs the notify service's host name" "$root/no-host.log" || {
    cat "$root/no-host.log" >&2
    echo "FAIL: the release guard did not say what is missing" >&2
    exit 1
}
echo "release guard: a Release configure without PUSHNOTE_SERVICE_HOST stops, as it should"

for target in linux i686; do
    options=(-DCMAKE_BUILD_TYPE=Release "-DPUSHNOTE_SERVICE_HOST=$host")
    # CMake reads a toolchain file at the first configure only, and warns when
    # it is given again.
    if [[ $target == i686 && ! -f $root/$target/CMakeCache.txt ]]; then
        options+=(-DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake)
    fi
    cmake -S . -B "$root/$target" "${options[@]}" >/dev/null
    echo "default $target Release build (a few minutes the first time):"
    utils/build-with-progress.sh "$root/$target.log" cmake --build "$root/$target" --parallel 2 || {
        echo "FAIL: the default $target Release build" >&2
        exit 1
    }
done
