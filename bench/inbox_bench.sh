#!/usr/bin/env bash
# Figures for pushnote-inbox, from the linux build: notes stored per second
# over one keep-alive connection (text, then 100 KB images; the store on disk
# in the build folder), its resident memory after those notes, and the time
# the page takes in headless Chromium to show the newest 1,000.
#   bench/inbox_bench.sh [TEXT_NOTES] [IMAGE_NOTES]
set -euo pipefail
cd "$(dirname "$0")/.."
text_notes=${1:-5000} image_notes=${2:-1000}
build=build/linux
tests/browser/check_installed.sh
cmake --build --preset linux --target pushnote-inbox inbox_bench >/dev/null
# Next to the ports the linux preset's tests use.
port=$(($(sed -n 's/^PUSHNOTE_SERVICE_PORT:STRING=//p' "$build/CMakeCache.txt") + 6))
work=$PWD/$build/inbox-bench
rm -rf "$work"
mkdir -p "$work"

# About 100 KB of PNG that does not compress.
convert -size 184x184 xc: +noise Random -depth 8 "$work/picture.png"
"$build/tools/inbox/pushnote-inbox" --port "$port" --data "$work/data" --keep 100000 \
    --max-seconds 600 >"$work/inbox.log" 2>&1 &
pid=$!
trap 'kill -TERM $pid 2>/dev/null || true; wait $pid 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    grep -q "inbox at" "$work/inbox.log" && break
    sleep 0.1
done

rss() { awk '/^VmRSS:/ { printf "%.1f MiB", $2 / 1024 }' "/proc/$pid/status"; }
echo "pushnote-inbox resident memory at start: $(rss)"
"$build/bench/inbox_bench" "$port" "$work/data/tls/ca.pem" "$text_notes" "$image_notes" \
    "$work/picture.png"
echo "pushnote-inbox resident memory after $text_notes text and $image_notes image notes: $(rss)"
echo "store on disk: $(du -sh "$work/data/inbox.sqlite3"* | awk '{ printf "%s %s  ", $1, $2 }')"
node bench/inbox_page_timing.mjs "https://localhost:$port/" "$work/profile" 5
echo "pushnote-inbox resident memory after the page loads: $(rss)"
