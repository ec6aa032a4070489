#!/usr/bin/env bash
# Checks a Windows release build as it ships: PushNote.dll's tables, the
# version resources of the DLL and pushnote.exe, the DLL's size,
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

# The version resource of the DLL and of the command, as Explorer's Details tab
# and installers read it: each text value follows its name, both in UTF-16.
version=$(cached CMAKE_PROJECT_VERSION)
check_version_resource() {
    local file=$1 texts value failures=0
    texts=$(strings -el "$file")
    shift
    for pair in "$@"; do
        value=$(echo "$texts" | grep -A1 -x -- "${pair%%=*}" | sed -n 2p)
        if [ "$value" != "${pair#*=}" ]; then
            echo "FAIL: $(basename "$file") has ${pair%%=*} [$value], want [${pair#*=}]"
            failures=$((failures + 1))
        fi
    done
    [ "$failures" -eq 0 ] && echo "$(basename "$file"): version resource $version"
    return "$failures"
}
copyright="Copyright (C) PushNote contributors"
check_version_resource "$dll" "ProductName=PushNote" "FileVersion=$version" \
    "ProductVersion=$version" "OriginalFilename=PushNote.dll" \
    "FileDescription=PushNote notifications library" "LegalCopyright=$copyright"
check_version_resource "$build/tools/pushnote/pushnote.exe" "ProductName=PushNote" \
    "FileVersion=$version" "ProductVersion=$version" "OriginalFilename=pushnote.exe" \
    "FileDescription=PushNote command" "LegalCopyright=$copyright"

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
