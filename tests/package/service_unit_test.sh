#!/usr/bin/env bash
# The shipped service: systemd-analyze verify finds nothing to say about the
# unit (pointed at the built pushnote-inbox), and the example config passes
# check-config.
#   service_unit_test.sh INBOX PACKAGING_DIR WORK_DIR
set -euo pipefail
inbox=$1 packaging=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
sed "s|/usr/bin/pushnote-inbox|$inbox|" "$packaging/pushnote-inbox.service" \
    >"$work/pushnote-inbox.service"
# Unknown or misspelt settings are only warnings: any output fails the test.
if ! systemd-analyze verify --man=no "$work/pushnote-inbox.service" >"$work/verify.log" 2>&1 ||
    [[ -s $work/verify.log ]]; then
    echo "FAIL: systemd-analyze verify:" >&2
    cat "$work/verify.log" >&2
    exit 1
fi
install -m 0640 "$packaging/inbox.toml" "$work/inbox.toml"
"$inbox" check-config "$work/inbox.toml"
echo "the unit verifies and the example config checks"
