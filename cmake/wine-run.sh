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
exec "$loader" "$program" "$@"
