#!/usr/bin/env bash
# Builds Release, starts the test service and prints, in one run, every
# figure of PushNote against what a user would take instead: libcurl in the
# same program, the curl command line, and Pillow (Debian's python3-pil, which
# utils/install-dependencies.sh installs). Where Wine runs, the same figures
# for the Windows DLL follow, absolute only.
# It is no test: it never fails on a number.
#
# Usage: bench/compare.sh [--linux-only] [RUNS]   (default 41 runs per process row;
#        --linux-only leaves out the DLL's figures)
# Environment: PUSHNOTE_BENCH_PORT  the test service's port (default 47470; the
#              expired-certificate port is PORT + 10)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
windows=true
if [[ ${1:-} == --linux-only ]]; then
    windows=false
    shift
fi
runs=${1:-41}
port=${PUSHNOTE_BENCH_PORT:-47470}
build=$root/build/bench
windows_build=$root/build/bench-windows-x64
service=$build/tests/harness/pushnote-test-service
pki=$build/test-pki
run_dir=$build/service

note() { printf '\n== %s\n' "$*"; }
# Configure and Wine output goes to a log, shown only when a step fails.
log=$(mktemp)
quietly() { "$@" >"$log" 2>&1 || { cat "$log" >&2; exit 1; }; }

if ! /usr/bin/python3 -c 'import PIL' 2>/dev/null; then
    echo "Pillow (python3-pil) is missing, so its row is left out; utils/install-dependencies.sh installs it"
fi

note "Release build of libpushnote.so, the pushnote command and the benchmarks (a few minutes the first time)"
release_options=(-DCMAKE_BUILD_TYPE=Release -DPUSHNOTE_SERVICE_HOST=localhost
    -DPUSHNOTE_SERVICE_PORT="$port" -DPUSHNOTE_TIMEOUT_MS=3000)
quietly cmake -S . -B "$build" -G "Unix Makefiles" "${release_options[@]}" \
    -DPUSHNOTE_CA_BUNDLE="$pki/ca.pem"
utils/build-with-progress.sh "$build.build.log" cmake --build "$build" -j2 --target pushnote \
    pushnote_command pushnote-test-service notify_bench image_bench startup_probe

tests/support/make_test_pki.sh "$pki" >/dev/null
stop_service() {
    tests/support/service_ctl.sh stop "$run_dir" >/dev/null 2>&1 || true
    rm -f "$log"
}
trap stop_service EXIT
tests/support/service_ctl.sh start "$service" "$port" \
    $((port + 10)) "$pki" "$build/service-records" "$run_dir" 1800 >/dev/null

gif=$build/bench-4000x3000.gif
note "Linux, loopback, $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-44s %13s %-38s %13s %6s   %s\n' measure PushNote anchor "" ratio goal
"$build/bench/notify_bench" "$build/bench/startup_probe" \
    "$build/src/libpushnote.so.1" "$build/tools/pushnote/pushnote" "$runs"
"$build/bench/image_bench" "$port" "$root/bench/pillow_convert.py" --keep-gif "$gif"

if ! $windows; then
    note "--linux-only: no DLL figures"
elif [[ -x /usr/lib/wine/wine64 ]] && command -v x86_64-w64-mingw32-g++ >/dev/null; then
    note "PushNote.dll (x86-64) under Wine, same test service (absolute figures)"
    quietly cmake -S . -B "$windows_build" -G "Unix Makefiles" "${release_options[@]}" \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/x86_64-w64-mingw32.cmake" \
        -DPUSHNOTE_STAND_IN="$service"
    utils/build-with-progress.sh "$windows_build.build.log" cmake --build "$windows_build" -j2 \
        --target pushnote dll_bench convert_bench import_test_ca
    prefix=$windows_build/wineprefix
    rm -rf "$prefix"
    quietly tests/support/make_wine_prefix.sh "$prefix" win64 \
        "$windows_build/tests/import_test_ca.exe" "$pki/ca.pem"
    cp "$windows_build/src/PushNote.dll" "$windows_build/bench/"
    cmake/wine-run.sh "$prefix" "$windows_build/bench/dll_bench.exe"
    cmake/wine-run.sh "$prefix" "$windows_build/bench/convert_bench.exe" "Z:$gif" 5
else
    note "Wine (64-bit) or MinGW-w64 missing: no DLL figures"
fi
rm -f "$gif" "${gif%.gif}.jpg"
