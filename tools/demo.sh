#!/usr/bin/env bash
# The main job, end to end: builds the Linux library and the Windows DLL for the
# local service stand-in, starts it, posts notifications through
# libpushnote.so and through PushNote.dll under Wine (both via the pushnote
# command, a host of the library like any other), shows what the service
# received, and stops it.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-dependencies.sh

if tools/can-run-32-bit.sh; then
    windows=windows wine_arch=win32
else
    # Same Windows sources, 64-bit: this machine cannot execute 32-bit programs.
    windows=windows-x64 wine_arch=win64
fi

echo "== Building libpushnote.so and PushNote.dll ($windows)"
for preset in linux "$windows"; do
    cmake --preset "$preset" >/dev/null
done
cmake --build --preset linux --target pushnote pushnote_command pushnote-stand-in >/dev/null
cmake --build --preset "$windows" --target pushnote pushnote_command import_test_ca >/dev/null

demo=$PWD/build/demo
pki=$PWD/build/linux/test-pki # the CA the Linux build trusts
mkdir -p "$demo"
tests/support/make_test_pki.sh "$pki"
# A picture for the image notification: GIFs are sent as JPEG.
convert -size 96x64 gradient:navy-gold "$demo/picture.gif"
rm -f "$demo/picture.jpg"

echo "== Preparing a Wine prefix that trusts the stand-in's test CA"
prefix=$demo/wineprefix
tests/support/make_wine_prefix.sh "$prefix" "$wine_arch" \
    "build/$windows/tests/import_test_ca.exe" "$pki/ca.pem" >/dev/null

stand_in_pid=
stop_service() {
    if [ -n "$stand_in_pid" ]; then
        kill "$stand_in_pid" 2>/dev/null || true
        wait "$stand_in_pid" 2>/dev/null || true
        stand_in_pid=
    fi
}
trap stop_service EXIT

# start_service PORT RECORD_DIR: the stand-in in the background, for 5 minutes at most.
start_service() {
    rm -rf "$2"
    build/linux/tools/stand_in/pushnote-stand-in --port "$1" --cert "$pki/server.pem" \
        --key "$pki/server.key" --record-dir "$2" --pid-file "$demo/stand-in.pid" \
        --max-seconds 300 --print &
    stand_in_pid=$!
    for _ in $(seq 50); do
        [ -s "$demo/stand-in.pid" ] && return 0
        sleep 0.1
    done
    echo "the service stand-in did not start" >&2
    exit 1
}

port_of() { sed -n 's/^PUSHNOTE_SERVICE_PORT:STRING=//p' "build/$1/CMakeCache.txt"; }

# show_requests RECORD_DIR: what the service received, body cut short.
show_requests() {
    for request in "$1"/*.request; do
        echo "-- $(basename "$request")"
        sed -n '1,/^\r\{0,1\}$/p' "$request" | tr -d '\r' | grep -v '^$'
        fields=${request%.request}.fields
        if [ -f "$fields" ]; then
            sed 's/^/   part: /' "$fields"
        else
            echo "   body: $(sed -n '/^\r\{0,1\}$/,$p' "$request" | tail -n +2 | head -c 200)"
        fi
    done
}

export PUSHNOTE_TOKEN=demo-token

echo
echo "== Linux: libpushnote.so through build/linux/tools/pushnote/pushnote"
start_service "$(port_of linux)" "$demo/records-linux"
pushnote=build/linux/tools/pushnote/pushnote
$pushnote send "Hello from Linux: 2 + 2 = 4 & 100% sure"
echo "Piped from a script, café ☕" | LC_ALL=C.UTF-8 $pushnote send -
$pushnote send "A picture" --image "$demo/picture.gif"
stop_service
show_requests "$demo/records-linux"
echo "The GIF was converted beside it: $(ls "$demo"/picture.jpg)"

echo
echo "== Windows: PushNote.dll under Wine through pushnote.exe"
start_service "$(port_of "$windows")" "$demo/records-windows"
# Wine hands the program its arguments in the ANSI code page (1252 by default),
# converted from the Unix locale's UTF-8; the library sends them as UTF-8.
cmake/wine-run.sh "$prefix" "build/$windows/tools/pushnote/pushnote.exe" \
    send "Hello from PushNote.dll: 2 + 2 = 4 & 100% sure"
LC_ALL=C.UTF-8 cmake/wine-run.sh "$prefix" "build/$windows/tools/pushnote/pushnote.exe" \
    send "Café from Windows"
cmake/wine-run.sh "$prefix" "build/$windows/tools/pushnote/pushnote.exe" \
    send "A picture from Windows" --image "Z:$demo/picture.gif"
stop_service
show_requests "$demo/records-windows"
