#!/usr/bin/env bash
# Builds every configuration and runs all the tests: the Linux library (plain
# and with sanitizers), the 32-bit PushNote.dll and the Windows tests under
# Wine, the release builds and ZIPs for 32-bit and 64-bit Windows, and every
# other command the README names in a short smoke form (the fuzzers, the soak,
# the comparison, the demo), which checks that each runs, never a figure.
# Every stage runs, whatever the ones before it did; a table of them ends the
# run, and the exit status is non-zero when any failed. Each stage's output is
# shown and kept in build/test-all/STAGE.log.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
logs=build/test-all
rm -rf "$logs"
mkdir -p "$logs"
utils/install-dependencies.sh || exit 1

# A compiler cache shared by every build and every checkout on this machine:
# the same sources compile once. Paths below the checkout are made relative,
# so another clone of the project finds the same entries.
export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1

stages=() results=() counts=() times=()

# What a stage's log says it counted: tests, fuzz runs, soak calls, the
# demo's notes, compiler warnings.
count_of() {
    awk '
        / tests passed, [0-9]+ tests? failed out of [0-9]+/ {
            failed += $4; total += $NF; ctest = 1
        }
        / runs, .* per second, / { fuzz_runs++ }
        /^built, with [0-9]+ compiler warnings/ { warnings += $3 }
        /^calls: [0-9]+$/ { calls = $2 }
        /^(definitely|indirectly) lost: [0-9]+ bytes$/ { lost += $3 }
        /^#[0-9]+ .* answered [0-9]+, / { notes++ }
        END {
            if (ctest) out = sprintf("%d passed, %d failed", total - failed, failed)
            if (fuzz_runs) out = sprintf("%d fuzz runs", fuzz_runs)
            if (calls) out = sprintf("%d calls, %d bytes lost", calls, lost)
            if (notes) out = sprintf("%d notes received", notes)
            if (warnings) out = out (out ? "; " : "") warnings " compiler warnings"
            print out
        }' "$1"
}

# stage NAME COMMAND [ARGS...]: runs one stage, its output shown and logged.
stage() {
    local name=$1 start=$SECONDS status
    shift
    local log=$logs/${name// /-}.log
    printf '\n==== %s (%s): %s\n' "$name" "$(date -u +%T)" "$*"
    "$@" 2>&1 | tee "$log"
    status=${PIPESTATUS[0]}
    stages+=("$name")
    times+=($((SECONDS - start)))
    counts+=("$(count_of "$log")")
    if [[ $status -eq 0 ]]; then
        results+=(passed)
    else
        results+=(FAILED)
        echo "==== $name FAILED (exit $status); its output is in $log"
    fi
}

build() {
    cmake --preset "$@" >/dev/null &&
        utils/build-with-progress.sh "$logs/$1.build.log" cmake --build --preset "$1"
}

# As a packager builds it: plain Release, every default but the service host.
stage "default builds" utils/check-default-builds.sh

stage "build linux" build linux
stage "test linux" ctest --preset linux
stage "build linux-asan" build linux-asan
stage "test linux-asan" ctest --preset linux-asan
# Image type detection, the GIF decoder, the response head and the text
# conversion under libFuzzer: a few seconds each.
stage "fuzz smoke" tests/fuzz/run_fuzz.sh 4

stage "build windows" build windows
if utils/can-run-32-bit.sh; then
    stage "test windows" ctest --preset windows
else
    # Same Windows sources, 64-bit, under 64-bit Wine; the shipped 32-bit DLL
    # still has its tables checked.
    echo "This machine cannot execute 32-bit programs: the Windows tests run on the x86_64 build."
    stage "test windows static" ctest --preset windows --label-regex static
    stage "build windows-x64" build windows-x64
    stage "test windows-x64" ctest --preset windows-x64
fi

# What ships, for your own service: the Linux library and command, and the
# ZIPs for 32-bit and 64-bit hosts (the DLL's tables and size, and the files
# and import libraries in each ZIP).
release() {
    local preset status=0
    for preset in linux-release windows-release windows-x64-release; do
        echo "-- $preset"
        build "$preset" -DPUSHNOTE_SERVICE_HOST=notify.example.com || status=1
        if [[ $preset == windows* ]]; then
            tests/windows/check_release_build.sh "build/$preset" || status=1
        fi
    done
    return "$status"
}
stage "release builds and ZIPs" release

# The README's longer runs, short.
stage "soak smoke" bench/soak.sh 40
stage "compare smoke" bench/compare.sh --linux-only 1
stage "forwarding bench smoke" /usr/bin/python3 bench/inbox_forward_bench.py 50 build/linux
stage "demo" utils/demo.sh

failed=0
total=0
printf '\n%-26s %-7s %-40s %8s\n' stage result counts time
for i in "${!stages[@]}"; do
    printf '%-26s %-7s %-40s %5d:%02d\n' "${stages[i]}" "${results[i]}" "${counts[i]:--}" \
        $((times[i] / 60)) $((times[i] % 60))
    [[ ${results[i]} == passed ]] || failed=$((failed + 1))
    total=$((total + times[i]))
done
printf '%-26s %-7s %-40s %5d:%02d\n' "all" "" "" $((total / 60)) $((total % 60))
echo "stages: $((${#stages[@]} - failed)) passed, $failed failed"
[[ $failed -eq 0 ]]
