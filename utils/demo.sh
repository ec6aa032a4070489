#!/usr/bin/env bash
# The main job, end to end: builds the Linux library and the Windows DLL for the
# local service, starts pushnote-inbox, posts notifications through
# libpushnote.so and through PushNote.dll under Wine (both via the pushnote
# command, a host of the library like any other), shows what the inbox
# received, saves a screenshot of its page, and stops it.
set -euo pipefail
cd "$(dirname "$0")/.."
utils/install-dependencies.sh

if utils/can-run-32-bit.sh; then
    windows=windows wine_arch=win32
else
    # Same Windows sources, 64-bit: this machine cannot execute 32-bit programs.
    windows=windows-x64 wine_arch=win64
fi

echo "== Building libpushnote.so and PushNote.dll ($windows)"
for preset in linux "$windows"; do
    cmake --preset "$preset" >/dev/null
done
cmake --build --preset linux --target pushnote pushnote_command pushnote-inbox >/dev/null
cmake --build --preset "$windows" --target pushnote pushnote_command import_test_ca >/dev/null

demo=$PWD/build/demo
pki=$PWD/build/linux/test-pki # the CA the Linux build trusts
mkdir -p "$demo"
tests/support/make_test_pki.sh "$pki"
# A picture for the image notification: GIFs are sent as JPEG.
convert -size 96x64 gradient:navy-gold "$demo/picture.gif"
rm -f "$demo/picture.jpg"

echo "== Preparing a Wine prefix that trusts the test CA"
prefix=$demo/wineprefix
tests/support/make_wine_prefix.sh "$prefix" "$wine_arch" \
    "build/$windows/tests/import_test_ca.exe" "$pki/ca.pem" >/dev/null

port_of() { sed -n 's/^PUSHNOTE_SERVICE_PORT:STRING=//p' "build/$1/CMakeCache.txt"; }
linux_port=$(port_of linux) windows_port=$(port_of "$windows")

# Each build has its service port compiled in, so one inbox process listens
# on each; they share one store, and either page shows every note.
inbox=build/linux/tools/inbox/pushnote-inbox
data=$demo/inbox
rm -rf "$data"
inbox_pids=()
stop_inboxes() {
    for pid in "${inbox_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    inbox_pids=()
}
trap stop_inboxes EXIT
start_inbox() {
    "$inbox" --port "$1" --data "$data" --cert "$pki/server.pem" --key "$pki/server.key" \
        --max-seconds 300 >"$demo/inbox-$1.log" 2>&1 &
    inbox_pids+=($!)
    for _ in $(seq 50); do
        grep -q "inbox at" "$demo/inbox-$1.log" && return 0
        sleep 0.1
    done
    echo "pushnote-inbox did not start:" >&2
    cat "$demo/inbox-$1.log" >&2
    exit 1
}
start_inbox "$linux_port"
start_inbox "$windows_port"
echo "== pushnote-inbox at https://localhost:$linux_port/ and https://localhost:$windows_port/"

export PUSHNOTE_TOKEN=demo-token

echo
echo "== Linux: libpushnote.so through build/linux/tools/pushnote/pushnote"
pushnote=build/linux/tools/pushnote/pushnote
$pushnote send "Hello from Linux: 2 + 2 = 4 & 100% sure"
echo "Piped from a script, café ☕" | LC_ALL=C.UTF-8 $pushnote send -
$pushnote send "A picture" --image "$demo/picture.gif"
echo "The GIF was converted beside it: $(ls "$demo"/picture.jpg)"

echo
echo "== Windows: PushNote.dll under Wine through pushnote.exe"
# Wine hands the program its arguments in the ANSI code page (1252 by default),
# converted from the Unix locale's UTF-8; the library sends them as UTF-8.
cmake/wine-run.sh "$prefix" "build/$windows/tools/pushnote/pushnote.exe" \
    send "Hello from PushNote.dll: 2 + 2 = 4 & 100% sure"
LC_ALL=C.UTF-8 cmake/wine-run.sh "$prefix" "build/$windows/tools/pushnote/pushnote.exe" \
    send "Café from Windows"
cmake/wine-run.sh "$prefix" "build/$windows/tools/pushnote/pushnote.exe" \
    send "A picture from Windows" --image "Z:$demo/picture.gif"

echo
echo "== What the inbox received (GET /api/notes)"
curl -sS --cacert "$pki/ca.pem" "https://localhost:$linux_port/api/notes?limit=20" | node -e '
    let text = "";
    process.stdin.on("data", (piece) => (text += piece)).on("end", () => {
        for (const note of JSON.parse(text).notes.reverse()) {
            const image = note.image ? `  [${note.image.type} ${note.image.width}x${note.image.height}]` : "";
            console.log(`#${note.id} ${note.received} answered ${note.answer.status}, ` +
                `token ${note.token}, ${note.user_agent}${image}\n    ${note.message}`);
        }
    });'

tests/browser/prepare.sh >/dev/null
node tests/browser/screenshot.mjs "https://localhost:$linux_port/" "$demo/chromium-profile" \
    "$demo/inbox.png"
echo
echo "Screenshot of the page: $demo/inbox.png"
stop_inboxes
echo "To keep an inbox with these notes open, run"
echo "  $inbox --port $linux_port --data $data --cert $pki/server.pem --key $pki/server.key"
echo "and open https://localhost:$linux_port/ (its certificate comes from $pki/ca.pem)."
