#!/usr/bin/env bash
# Makes a fresh Wine prefix that trusts the test CA:
#   make_wine_prefix.sh PREFIX win64|win32 IMPORT_TEST_CA_EXE CA_PEM
set -euo pipefail

if [[ $# -ne 4 ]]; then
    echo "usage: $0 PREFIX win64|win32 IMPORT_TEST_CA_EXE CA_PEM" >&2
    exit 2
fi
prefix=$1 arch=$2 import_tool=$3 ca_pem=$4
case $arch in
win64) loader=/usr/lib/wine/wine64 server=/usr/lib/wine/wineserver64 ;;
win32) loader=/usr/lib/wine/wine server=/usr/lib/wine/wineserver32 ;;
*)
    echo "unknown Wine architecture: $arch" >&2
    exit 2
    ;;
esac
# No Mono or Gecko download prompts: the tests need neither.
export WINEPREFIX=$prefix WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# Each step waits for the prefix's wineserver to end, so that the registry is
# on disk and no process of the old prefix outlives its removal.
"$server" -w
rm -rf "$prefix"
# wineboot's own chatter is dropped. Where 32-bit programs cannot run, a 64-bit
# prefix's set-up fails to start the 32-bit rundll32.exe, once per step that
# would use it: nothing here needs that half, so one line says so instead.
boot_log=$(mktemp)
trap 'rm -f "$boot_log"' EXIT
"$loader" wineboot -i >"$boot_log" 2>&1 || {
    cat "$boot_log" >&2
    exit 1
}
"$server" -w
if grep -q 'failed to open .*syswow64.*rundll32' "$boot_log"; then
    echo "(Wine's 32-bit half could not run while setting up the prefix; the 64-bit programs do not need it)"
fi
grep -v -e 'failed to open .*syswow64.*rundll32' -e 'created the configuration directory' \
    -e 'configuration in .* has been updated' "$boot_log" >&2 || true
# Z: is the root of the Unix file system in every prefix.
"$loader" "$import_tool" "Z:$ca_pem"
"$server" -w
echo "Wine prefix $prefix ($arch) trusts $ca_pem"
