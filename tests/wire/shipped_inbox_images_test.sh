#!/usr/bin/env bash
# Images of every size the shipped pushnote-inbox promises to take, sent by
# the library (through the pushnote command) to the inbox with its default
# limits, on the port the library has compiled in. The wire tests' service
# holds that port: it is stopped for the run and started again after it.
#   shipped_inbox_images_test.sh PUSHNOTE INBOX WORK_DIR SERVICE_CTL START_ARGS...
# START_ARGS are service_ctl.sh's start arguments: SERVICE PORT EXPIRED_PORT
# PKI_DIR RECORD_DIR RUN_DIR MAX_SECONDS.
set -uo pipefail
pushnote=$1 inbox=$2 work=$3 service_ctl=$4
shift 4
start_args=("$@")
port=$2 pki=$4 run_dir=$6
token=shipped-inbox-token
rm -rf "$work"
mkdir -p "$work"

"$service_ctl" stop "$run_dir"
inbox_pid=
finish() {
    [[ -n $inbox_pid ]] && kill "$inbox_pid" 2>/dev/null && wait "$inbox_pid" 2>/dev/null
    "$service_ctl" start "${start_args[@]}" >/dev/null
}
trap finish EXIT

"$inbox" --port "$port" --data "$work/data" --cert "$pki/server.pem" --key "$pki/server.key" \
    --token "$token" --max-seconds 300 >"$work/inbox.log" 2>&1 &
inbox_pid=$!
for _ in $(seq 100); do
    grep -q "inbox at" "$work/inbox.log" && break
    sleep 0.1
done

# png NAME BYTES: a PNG of exactly BYTES bytes, its pixels noise.
png() {
    python3 - "$work/$1" "$2" <<'PY'
import os, struct, sys, zlib
path, size = sys.argv[1], int(sys.argv[2])
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
head = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 640, 480, 8, 2, 0, 0, 0))
tail = chunk(b"IEND", b"")
noise = size - len(head) - len(tail) - 12
with open(path, "wb") as out:
    out.write(head + chunk(b"IDAT", os.urandom(noise)) + tail)
PY
}

failures=0
# name, bytes, the command's exit status (1: refused for good, a 413)
while read -r name bytes status; do
    png "$name.png" "$bytes"
    PUSHNOTE_TOKEN=$token "$pushnote" send "picture $name" --image "$work/$name.png" \
        >"$work/$name.out" 2>&1
    got=$?
    stored=$(curl -s --cacert "$pki/ca.pem" "https://localhost:$port/api/notes?limit=1" |
        python3 -c 'import json, sys; n = json.load(sys.stdin)["notes"]; print(n[0]["image"]["bytes"] if n and n[0]["message"] == sys.argv[1] and n[0]["image"] else 0)' \
            "picture $name")
    want_stored=$([[ $status == 0 ]] && echo "$bytes" || echo 0)
    if [[ $got != "$status" || $stored != "$want_stored" ]]; then
        echo "FAIL: $name ($bytes bytes): exit $got (expected $status), the inbox keeps" \
            "$stored bytes (expected $want_stored): $(head -c 300 "$work/$name.out")"
        failures=$((failures + 1))
    else
        echo "ok: $name ($bytes bytes): exit $got, $stored bytes kept"
    fi
done <<'ROWS'
small 2000 0
past-64-KiB 66000 0
screenshot 2500000 0
at-the-limit 10485760 0
past-the-limit 10485761 1
ROWS
[[ $failures -eq 0 ]] || { echo "$failures image(s) not taken as promised"; exit 1; }
