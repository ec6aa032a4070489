#!/usr/bin/env bash
# The inbox page in headless Chromium: starts an inbox with a text note and an
# image note, and runs inbox_page_test.mjs, which also stops and restarts that
# inbox; its screenshot lands in WORK_DIR/inbox-page.png. Fails at once when
# Chromium or puppeteer-core is missing.
#   run_inbox_page_test.sh INBOX PORT WORK_DIR
set -euo pipefail
inbox=$1 port=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
"$here/check_installed.sh"

rm -rf "$work"
mkdir -p "$work"
data=$work/data token=page-test-token
# The page test's own webhook receiver listens there, from the test's start:
# the notes sent before it are retried until then.
hook_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$inbox" --port "$port" --data "$data" --token "$token" --max-seconds 240 \
    --forward "json://127.0.0.1:$hook_port/hook" >"$work/inbox.log" 2>&1 &
pid=$!
trap 'kill -TERM $pid 2>/dev/null || true; wait $pid 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    grep -q "inbox at" "$work/inbox.log" && break
    sleep 0.1
done

send() {
    curl -sS --fail --cacert "$data/tls/ca.pem" -H "Authorization: Bearer $token" \
        "$@" "https://localhost:$port/api/notify" >/dev/null
}
convert -size 320x200 gradient:steelblue-gold "$work/picture.png"
send --data-binary 'message=Hello from the test'
send -F 'message=A picture' -F "imageFile=@$work/picture.png"

node "$here/inbox_page_test.mjs" "https://localhost:$port/" "$token" "$work/profile" \
    "$work/inbox-page.png" "$pid" "$inbox" "$data" "$port" "$hook_port"
