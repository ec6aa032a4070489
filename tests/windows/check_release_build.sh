#!/usr/bin/env bash
# Checks a Windows release build as it ships: PushNote.dll's tables and size,
# and the ZIP that CPack makes of the build (zip.cmake: its files, the import
# libraries, the C example linked against each). Run it after building the
# windows-release or windows-x64-release preset.
# Usage: check_release_build.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
tests=$(cd "$(dirname "$0")/.." && pwd)
source_dir=$(dirname "$tests")

cached() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
objdump=$(cached CMAKE_OBJDUMP)
dll=$build/src/PushNote.dll

case $("$objdump" -f "$dll") in
*"file format pei-i386"*) format=pei-i386 system=windows-x86 ;;
*"file format pei-x86-64"*) format=pei-x86-64 system=windows-x64 ;;
*) echo "FAIL: $dll is not a Windows DLL"; exit 1 ;;
esac
"$tests/windows/check_dll_tables.sh" "$dll" "$source_dir/src/exports/PushNote.def" "$format"

# The run-time libraries are linked in; what is left of them must stay small.
max_size=$((256 * 1024))
size=$(stat -c %s "$dll")
echo "PushNote.dll for $system: $size bytes (at most $max_size)"
[ "$size" -le "$max_size" ] || { echo "FAIL: PushNote.dll is larger than 256 KiB"; exit 1; }

cmake -DCPACK="$(cached CMAKE_CPACK_COMMAND)" -DBUILD_DIR="$build" \
      -DWORK_DIR="$build/package-check" -DVERSION="$(cached CMAKE_PROJECT_VERSION)" \
      -DSYSTEM_NAME=$system -DC_COMPILER="$(cached PUSHNOTE_MINGW_CC)" \
      -DNM="$(cached CMAKE_NM)" -DOBJDUMP="$objdump" -P "$tests/package/zip.cmake"
echo "$build/package-check/PushNote-$(cached CMAKE_PROJECT_VERSION)-$system.zip: checked"
