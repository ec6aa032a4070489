#!/usr/bin/env bash
# Leak soak of libpushnote.so: CALLS mixed calls (text, PNG, GIF, refused
# files, fetches, an unreachable host, non-200 answers) through the library of
# the linux preset, under valgrind, against a service stand-in that this
# script starts and stops. Prints the process's descriptors and private bytes
# every 500 calls, then the definitely and indirectly lost bytes (the goal is
# 0 for both). Exits non-zero on any lost byte, memory error or wrong result.
# Uses the linux preset's port: do not run it while that preset's tests run.
# Usage: bench/soak.sh [CALLS]   (default 10000)
set -euo pipefail
cd "$(dirname "$0")/.."
calls=${1:-10000}
build=build/linux

[[ -f $build/CMakeCache.txt ]] || cmake --preset linux >/dev/null
cmake --build "$build" --target pushnote soak_host pushnote-test-service -j2 >/dev/null
port=$(sed -n 's/^PUSHNOTE_SERVICE_PORT:[A-Z]*=//p' "$build/CMakeCache.txt")
# The library trusts the CA of this folder, compiled in.
tests/support/make_test_pki.sh "$build/test-pki" >/dev/null

run=$(mktemp -d)
trap 'tests/support/service_ctl.sh stop "$run/service"; rm -rf "$run"' EXIT
tests/support/service_ctl.sh start "$build/tests/harness/pushnote-test-service" "$port" \
    $((port + 10)) "$build/test-pki" "$run/records" "$run/service" 7200

status=0
valgrind --leak-check=full --show-leak-kinds=definite,indirect \
    --errors-for-leak-kinds=definite,indirect --error-exitcode=99 --log-file="$run/valgrind.log" \
    "$build/bench/soak/soak_host" "$(realpath "$build/src/libpushnote.so")" "$port" "$calls" ||
    status=$?

# Without any leak valgrind prints no "lost" lines at all.
lost() {
    local bytes
    bytes=$(sed -n "s/.*$1 lost: \([0-9,]*\) bytes.*/\1/p" "$run/valgrind.log" | tail -1)
    echo "${bytes:-0}" | tr -d ,
}
echo "calls: $calls"
echo "definitely lost: $(lost definitely) bytes"
echo "indirectly lost: $(lost indirectly) bytes"
grep -h "ERROR SUMMARY" "$run/valgrind.log" | sed 's/^==[0-9]*== //'
if [[ $status -ne 0 ]]; then
    sed 's/^==[0-9]*== //' "$run/valgrind.log" | tail -40 >&2
fi
exit "$status"
