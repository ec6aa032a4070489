#!/usr/bin/env bash
# pushnote-inbox's service side and store, through its HTTPS API, in a fresh
# data folder: each refusal, chaos answers, restarts, --keep and bad stores.
#   inbox_api_test.sh INBOX PORT WORK_DIR
set -euo pipefail
inbox=$1 port=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
data=$work/data
base=https://localhost:$port
failures=0
pid=

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

stop_inbox() {
    if [[ -n $pid ]]; then
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        pid=
    fi
}
trap stop_inbox EXIT

# start_inbox ARGS...: in the background, for two minutes at most.
start_inbox() {
    "$inbox" --port "$port" --data "$data" --max-seconds 120 "$@" >"$work/inbox.log" 2>&1 &
    pid=$!
    for _ in $(seq 100); do
        grep -q "inbox at" "$work/inbox.log" && return 0
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    cat "$work/inbox.log" >&2
    echo "pushnote-inbox did not start" >&2
    exit 1
}

# call ARGS...: curl with the inbox's CA; prints the status line's code, then the body.
call() {
    curl -sS --cacert "$data/tls/ca.pem" -o "$work/body" -D "$work/head" -w '%{http_code}' "$@"
}

# expect NAME STATUS TEXT CURL_ARGS...: the answer has STATUS and a body holding TEXT.
expect() {
    local name=$1 status=$2 text=$3 got
    shift 3
    got=$(call "$@") || true
    if [[ $got != "$status" ]]; then
        fail "$name: status $got, expected $status: $(head -c 300 "$work/body")"
    elif ! grep -qF -- "$text" "$work/body"; then
        fail "$name: body lacks [$text]: $(head -c 300 "$work/body")"
    fi
}

note_count() {
    call "$base/api/notes?limit=1000" >/dev/null
    grep -o '"id":' "$work/body" | wc -l
}

# Images made here: a small PNG, a small JPEG, a GIF, and a PNG past --max-image.
convert -size 40x30 gradient:red-blue "$work/small.png"
convert -size 64x48 gradient:navy-gold "$work/small.jpg"
convert -size 8x8 xc:green "$work/small.gif"
convert -size 160x160 xc: +noise Random "$work/large.png"

# A store of an older version: open to everyone, with a CA that may vouch
# for any name.
mkdir -m 0755 "$data" "$data/tls"
touch "$data/inbox.sqlite3"
chmod 0644 "$data/inbox.sqlite3"
openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=old unconstrained CA" \
    -keyout "$data/tls/ca.key" -out "$data/tls/ca.pem" 2>/dev/null

good=(-H "Authorization: Bearer good-token")
notify=$base/api/notify
start_inbox --token good-token --token other-token --max-image 20000

# Made private, each change said once; the old CA replaced, with a notice.
for file in "$data" "$data/inbox.sqlite3"; do
    grep -qF "made private to its owner: $file was 0" "$work/inbox.log" || fail "no notice for $file"
done
[[ $(stat -c %a "$data") == 700 ]] || fail "data folder mode $(stat -c %a "$data")"
for file in "$data"/inbox.sqlite3*; do
    [[ $(stat -c %a "$file") == 600 ]] || fail "$file mode $(stat -c %a "$file")"
done
grep -q "replacing the development CA" "$work/inbox.log" || fail "no notice of the new CA"
# The CA vouches for the inbox, and for no other name even with its own key.
openssl verify -CAfile "$data/tls/ca.pem" "$data/tls/server.pem" >/dev/null ||
    fail "the server certificate does not verify"
# Each row: a name, the extensions of a certificate signed with the CA's own
# key, the verify options, and why it must be refused.
while IFS='|' read -r name extensions options reason; do
    openssl req -new -newkey rsa:2048 -nodes -subj "/CN=$name" -keyout "$work/other.key" \
        -out "$work/other.csr" 2>/dev/null
    printf '%s\n' "$extensions" | tr ';' '\n' >"$work/other.ext"
    openssl x509 -req -in "$work/other.csr" -CA "$data/tls/ca.pem" -CAkey "$data/tls/ca.key" \
        -set_serial 7 -days 1 -extfile "$work/other.ext" -out "$work/other.pem" 2>/dev/null
    # shellcheck disable=SC2086 # the options are words
    if openssl verify $options -CAfile "$data/tls/ca.pem" "$work/other.pem" >"$work/verify.log" 2>&1; then
        fail "a certificate for $name signed by the CA verifies"
    fi
    grep -q "$reason" "$work/verify.log" || fail "$name refused for another reason: $(cat "$work/verify.log")"
done <<'ROWS'
example.com|subjectAltName=DNS:example.com||permitted subtree violation
evil.localhost|subjectAltName=DNS:evil.localhost||excluded subtree violation
mail for localhost|subjectAltName=DNS:localhost;extendedKeyUsage=emailProtection|-purpose smimesign|at 1 depth lookup: unsuitable certificate purpose
ROWS
openssl verify -purpose sslserver -CAfile "$data/tls/ca.pem" "$data/tls/server.pem" >/dev/null ||
    fail "the server certificate does not verify for a server"
# Server authentication is the CA's one use: a store that imports it trusts
# it neither for code signing nor for mail.
[[ $(openssl x509 -in "$data/tls/ca.pem" -noout -ext extendedKeyUsage | tail -n +2 | tr -d ' ') == \
    TLSWebServerAuthentication ]] || fail "the CA has other uses than server authentication"

# name | status | text in the body | request
expect "form note" 200 '{"status":200,"message":"ok"}' \
    "${good[@]}" --data-binary 'message=Hello+inbox%21+caf%C3%A9' "$notify"
expect "multipart PNG" 200 '"message":"ok"' \
    "${good[@]}" -F "message=a PNG" -F "imageFile=@$work/small.png" "$notify"
expect "multipart JPEG" 200 '"message":"ok"' \
    "${good[@]}" -F "message=a JPEG" -F "imageFile=@$work/small.jpg;type=image/jpeg" "$notify"
expect "second token" 200 '"message":"ok"' \
    -H "Authorization: Bearer other-token" --data-binary 'message=from+the+other' "$notify"
expect "unknown token" 401 '{"status":401,"message":"Invalid access token"}' \
    -H "Authorization: Bearer wrong" --data-binary 'message=hi' "$notify"
expect "no token" 401 '"status":401' --data-binary 'message=hi' "$notify"
expect "broken escape" 400 'malformed form body' \
    "${good[@]}" --data-binary 'message=100%zz' "$notify"
expect "foreign field" 400 'unexpected field' \
    "${good[@]}" --data-binary 'message=hi&title=x' "$notify"
expect "missing message" 400 'missing message' "${good[@]}" --data-binary '' "$notify"
expect "multipart without message" 400 'missing message' \
    "${good[@]}" -F "imageFile=@$work/small.png" "$notify"
expect "malformed multipart" 400 'malformed multipart body' \
    "${good[@]}" -H 'Content-Type: multipart/form-data; boundary=xyz' --data-binary 'garbage' \
    "$notify"
expect "thousands of empty parts" 400 'more than 16 parts' \
    "${good[@]}" -H 'Content-Type: multipart/form-data; boundary=a' \
    --data-binary "$(printf -- '--a\r\n\r\n\r\n%.0s' {1..5000})--a--" "$notify"
expect "unknown content type" 400 'unsupported content type' \
    "${good[@]}" -H 'Content-Type: text/plain' --data-binary 'message=hi' "$notify"
expect "GIF image" 400 'neither a JPEG nor a PNG' \
    "${good[@]}" -F "message=gif" -F "imageFile=@$work/small.gif;type=image/jpeg" "$notify"
expect "empty image" 400 'neither a JPEG nor a PNG' \
    "${good[@]}" -F "message=nothing" -F "imageFile=@/dev/null;filename=empty.png" "$notify"
expect "image too large" 413 'larger than the limit' \
    "${good[@]}" -F "message=big" -F "imageFile=@$work/large.png" "$notify"
# The server gives up waiting for the rest after its read timeout.
expect "short body" 400 'wrong Content-Length' \
    "${good[@]}" -H 'Content-Length: 40' --data-binary 'message=hi' "$notify"

expect "stored form note" 200 '"message":"Hello inbox! café"' "$base/api/notes/1"
expect "stored PNG" 200 '"type":"image/png","width":40,"height":30' "$base/api/notes/2"
expect "stored JPEG" 200 '"type":"image/jpeg","width":64,"height":48' "$base/api/notes/3"
expect "token fingerprint" 200 "\"token\":\"$(printf good-token | sha256sum | cut -c1-8)\"" \
    "$base/api/notes/1"
expect "image bytes" 200 'PNG' "$base/api/notes/2/image"
cmp -s "$work/body" "$work/small.png" || fail "image bytes differ from those sent"
expect "no such note" 404 'no such note' "$base/api/notes/99"
expect "page" 200 'PushNote inbox' "$base/"
grep -qi "^content-security-policy: default-src 'self'" "$work/head" || fail "page without CSP"
expect "foreign host name" 403 'localhost only' -H 'Host: inbox.example:1' "$base/api/notes"
expect "paging" 200 '"id":2' "$base/api/notes?limit=1&before=3"
[[ $(grep -o '"id":' "$work/body" | wc -l) -eq 1 ]] || fail "limit=1 gave more than one note"

# Changing state needs the JSON type or the inbox's header.
expect "unmarked clear" 403 'X-PushNote-Inbox' -X DELETE "$base/api/notes"
expect "unmarked chaos" 403 'X-PushNote-Inbox' -X PUT --data-binary '{"status":500}' \
    "$base/api/chaos"
expect "bad chaos" 400 'unknown chaos setting' -X PUT -H 'Content-Type: application/json' \
    --data-binary '{"explode":true}' "$base/api/chaos"

# Chaos answers, recorded with the note.
json=(-X PUT -H 'Content-Type: application/json')
expect "rate limit on" 200 '"rate_limit":1' "${json[@]}" --data-binary '{"rate_limit":1}' \
    "$base/api/chaos"
expect "within the rate" 200 '"message":"ok"' "${good[@]}" --data-binary 'message=one' "$notify"
expect "past the rate" 429 'rate_limit' "${good[@]}" --data-binary 'message=two' "$notify"
grep -qiE '^retry-after: [0-9]+' "$work/head" || fail "429 without Retry-After"
expect "status on" 200 '"status":503' -X PUT -H 'X-PushNote-Inbox: 1' \
    --data-binary '{"rate_limit":0,"status":503}' "$base/api/chaos"
expect "chaos status" 503 '"status":503' "${good[@]}" --data-binary 'message=three' "$notify"
expect "answer kept" 200 '"answer":{"status":503' "$base/api/notes?limit=1"
expect "trickle on" 200 '"trickle":true' "${json[@]}" --data-binary '{"status":0,"trickle":true}' \
    "$base/api/chaos"
expect "trickled answer" 200 '{"status":200,"message":"ok"}' \
    "${good[@]}" --data-binary 'message=slowly' "$notify"
expect "silent on" 200 '"silent":true' "${json[@]}" --data-binary '{"trickle":false,"silent":true}' \
    "$base/api/chaos"
expect "no answer" 000 '' --max-time 2 "${good[@]}" --data-binary 'message=hush' "$notify"
expect "silence kept" 200 '"answer":{"status":0' "$base/api/notes?limit=1"
expect "chaos off" 200 '"status":0' "${json[@]}" --data-binary '{"silent":false}' "$base/api/chaos"

# A restart keeps the notes; a smaller --keep drops the oldest.
before=$(note_count)
[[ $before -eq 9 ]] || fail "expected 9 stored notes, found $before"
stop_inbox
# A CA of the previous shape, limited to localhost and its subdomains for any
# use, is replaced too.
openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=previous CA" \
    -addext "nameConstraints=critical,permitted;DNS:localhost" \
    -keyout "$data/tls/ca.key" -out "$data/tls/ca.pem" 2>/dev/null
start_inbox --keep 3
grep -q "replacing the development CA" "$work/inbox.log" || fail "the previous CA was kept"
[[ $(note_count) -eq 3 ]] || fail "--keep 3 left $(note_count) notes"
expect "newest kept" 200 '"message":"hush"' "$base/api/notes?limit=1"
expect "another note" 200 '"message":"ok"' "${good[@]}" --data-binary 'message=four' "$notify"
[[ $(note_count) -eq 3 ]] || fail "a note past --keep 3 left $(note_count) notes"
expect "clear" 200 '"deleted":3' -X DELETE -H 'X-PushNote-Inbox: 1' "$base/api/notes"
[[ $(note_count) -eq 0 ]] || fail "clear left notes"

# The ca command prints the CA the server's certificate comes from.
"$inbox" ca --data "$data" | cmp -s - "$data/tls/ca.pem" || fail "ca printed another file"
# On a new data folder, ca makes it private before it writes the CA's key.
"$inbox" ca --data "$work/ca-only" >/dev/null || fail "ca on a new data folder"
[[ $(stat -c %a "$work/ca-only") == 700 ]] || fail "ca left the folder $(stat -c %a "$work/ca-only")"
stop_inbox

# Listening beyond loopback with no user to log in says so first (this
# address cannot be bound here).
"$inbox" --listen 192.0.2.1 --port "$port" --data "$data" --max-seconds 5 >"$work/listen.log" 2>&1 &&
    fail "listening on 192.0.2.1 worked"
grep -q "there is no user yet" "$work/listen.log" ||
    fail "no notice for a non-loopback address: $(cat "$work/listen.log")"

# Stores that cannot be used are refused with exit code 1, never reset.
refused() {
    local name=$1 text=$2 status=0
    "$inbox" --port "$port" --data "$data" --max-seconds 5 >"$work/refused.log" 2>&1 || status=$?
    [[ $status -eq 1 ]] || fail "$name: exit code $status, expected 1"
    grep -qF -- "$text" "$work/refused.log" || fail "$name: message lacks [$text]: $(cat "$work/refused.log")"
}
sqlite3 "$data/inbox.sqlite3" 'PRAGMA user_version = 99'
refused "newer store" "written by a newer pushnote-inbox"
rm -f "$data"/inbox.sqlite3*
head -c 8192 /dev/urandom >"$data/inbox.sqlite3"
cp "$data/inbox.sqlite3" "$work/garbage"
refused "corrupt store" "cannot be used as an inbox store"
cmp -s "$data/inbox.sqlite3" "$work/garbage" || fail "the corrupt store was changed"

# What users install holds no test machinery: no test options, no test routes.
"$inbox" --help >"$work/help.txt"
for option in --test-directives --record-dir --expired-port; do
    if grep -qF -- "$option" "$work/help.txt"; then fail "--help offers the test option $option"; fi
done
if nm -C "$inbox" 2>/dev/null | grep -q 'pushnote::stand_in::'; then
    fail "pushnote-inbox links the test routes"
fi

if [[ $failures -ne 0 ]]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "all inbox API checks passed"
