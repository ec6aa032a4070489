#!/usr/bin/env bash
# Fails at once, saying what to run, unless Debian's Chromium, Node.js and the
# npm packages of this folder (as its lock file has them) are installed.
# Installing them is utils/install-dependencies.sh's job, never a test's.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
missing=()
[[ -x /usr/bin/chromium ]] || missing+=("Chromium (/usr/bin/chromium)")
command -v node >/dev/null || missing+=("Node.js (node)")
cmp -s "$here/package-lock.json" "$here/node_modules/.installed-from-lock" 2>/dev/null ||
    missing+=("the npm packages of $here, as package-lock.json has them")
if [[ ${#missing[@]} -ne 0 ]]; then
    printf 'missing: %s\n' "${missing[@]}" >&2
    echo "install them with: $(realpath "$here/../..")/utils/install-dependencies.sh" >&2
    exit 1
fi
