#!/usr/bin/env bash
# Runs a Windows program of this build under Wine: wine-run.sh PREFIX PROGRAM [ARGS...]
# The loader matches the program: 64-bit Wine for PE32+, 32-bit Wine otherwise.
set -euo pipefail
prefix=$1
program=$2
shift 2
export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all}
if objdump -f "$program" 2>/dev/null | grep -q 'pei-x86-64'; then
    export WINEARCH=win64
    loader=/usr/lib/wine/wine64
else
    export WINEARCH=win32
    loader=/usr/lib/wine/wine
fi

# Wine's server and helper processes outlive a program by seconds and hold
# the output it was given open, which keeps a caller that reads that output
# (CTest) waiting for them. So the program writes to files, passed on after.
output=$(mktemp)
errors=$(mktemp)
trap 'rm -f "$output" "$errors"' EXIT
status=0
"$loader" "$program" "$@" >"$output" 2>"$errors" || status=$?
cat "$output"
cat "$errors" >&2
exit "$status"
