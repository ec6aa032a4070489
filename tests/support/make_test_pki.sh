#!/usr/bin/env bash
# Makes the test PKI in OUTDIR: a CA (ca.pem, ca.key), a server certificate for
# the DNS name "localhost" only (server.pem, server.key; no IP address, so
# "127.0.0.1" does not match) and an expired one (expired.pem, expired.key).
# Keeps a complete, valid set; otherwise makes a new one. Keys exist only here.
set -euo pipefail

if [[ $# -ne 1 ]]; then
    echo "usage: $0 OUTDIR" >&2
    exit 2
fi
out=$1

current() {
    local f
    for f in ca.pem ca.key server.pem server.key expired.pem expired.key; do
        [[ -s $out/$f ]] || return 1
    done
    # One more day of validity, so that a run in progress never sees it expire.
    openssl x509 -in "$out/ca.pem" -noout -checkend 86400 >/dev/null &&
        openssl x509 -in "$out/server.pem" -noout -checkend 86400 >/dev/null &&
        openssl verify -CAfile "$out/ca.pem" "$out/server.pem" >/dev/null 2>&1
}

if current; then
    exit 0
fi

mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d "$out/.make.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -keyout ca.key -out ca.pem \
    -subj "/CN=PushNote Test CA" \
    -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null

cat >server.ext <<'EXT'
basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth
subjectAltName=DNS:localhost
subjectKeyIdentifier=hash
authorityKeyIdentifier=keyid
EXT

openssl req -new -newkey rsa:2048 -nodes -sha256 -keyout server.key -out server.csr \
    -subj "/CN=localhost" 2>/dev/null
openssl x509 -req -sha256 -in server.csr -CA ca.pem -CAkey ca.key \
    -set_serial "0x$(openssl rand -hex 8)" -days 825 -extfile server.ext -out server.pem 2>/dev/null

# "openssl x509 -req" cannot set dates in the past before OpenSSL 3.4, so the
# expired certificate goes through "openssl ca" with a throwaway database.
openssl req -new -newkey rsa:2048 -nodes -sha256 -keyout expired.key -out expired.csr \
    -subj "/CN=localhost" 2>/dev/null
mkdir ca-db
: >ca-db/index.txt
openssl rand -hex 8 >ca-db/serial
cat >ca.cnf <<'CNF'
[ca]
default_ca = test_ca
[test_ca]
database = ca-db/index.txt
serial = ca-db/serial
new_certs_dir = ca-db
default_md = sha256
policy = any_name
unique_subject = no
copy_extensions = none
[any_name]
commonName = supplied
CNF
openssl ca -batch -notext -config ca.cnf -cert ca.pem -keyfile ca.key \
    -startdate 20200101000000Z -enddate 20200201000000Z \
    -extfile server.ext -in expired.csr -out expired.pem 2>/dev/null

chmod 600 ca.key server.key expired.key
mv -f ca.pem ca.key server.pem server.key expired.pem expired.key "$out/"
