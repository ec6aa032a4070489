#!/usr/bin/env bash
# Makes sure Debian's Chromium, Node.js and the locked npm packages of this
# folder are installed; does nothing when they are.
set -euo pipefail
cd "$(dirname "$0")"
missing=()
[[ -x /usr/bin/chromium ]] || missing+=(chromium)
command -v npm >/dev/null || missing+=(nodejs npm)
if [[ ${#missing[@]} -ne 0 ]]; then
    as_root=()
    [[ $(id -u) -eq 0 ]] || as_root=(sudo)
    "${as_root[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -q "${missing[@]}"
fi
# The lock file that the installed tree was made from is kept beside it.
if ! cmp -s package-lock.json node_modules/.installed-from-lock 2>/dev/null; then
    npm ci --no-audit --no-fund --loglevel=error
    cp package-lock.json node_modules/.installed-from-lock
fi
