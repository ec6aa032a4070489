#!/usr/bin/env bash
# Installs everything that building, the demo, the tests and the benchmarks
# use: the Debian packages, Node.js, and the npm packages of the browser tests
# (into tests/browser, from its committed lock file). Does nothing, quietly and
# quickly, when all is there already, so it is safe to run again. apt's and
# npm's output goes to build/install-dependencies.log.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    cmake make g++ pkg-config openssl curl file dpkg-dev
    libcurl4-openssl-dev libssl-dev libgif-dev libturbojpeg0-dev libjpeg62-turbo-dev
    libcpp-httplib-dev libcli11-dev googletest libgtest-dev
    libsqlite3-dev sqlite3 nlohmann-json3-dev chromium
    clang libclang-rt-14-dev
    valgrind libc-bin locales iproute2
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    wine wine64 wine32:i386
    imagemagick
    python3 python3-pil mono-mcs
)
# Where another Node.js is installed, Debian's npm conflicts with it: Debian's
# pair only where one of the two is missing.
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
    packages+=(nodejs npm)
fi

# One dpkg-query for all: packages it does not know print nothing.
installed=$(dpkg-query -W -f='${Package}:${Architecture} ${Status}\n' "${packages[@]}" 2>/dev/null |
    awk '/ install ok installed$/ { print $1 }') || true
native=$(dpkg --print-architecture)
missing=()
for package in "${packages[@]}"; do
    [[ $package == *:* ]] || package=$package:$native
    grep -qxF -e "$package" -e "${package%:*}:all" <<<"$installed" || missing+=("${package%:"$native"}")
done

mkdir -p build
log=$PWD/build/install-dependencies.log
as_root=()
if [[ ${#missing[@]} -ne 0 && $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || {
        echo "Missing Debian packages: ${missing[*]}" >&2
        echo "Run utils/install-dependencies.sh as root (there is no sudo here)." >&2
        exit 1
    }
    as_root=(sudo)
fi
# quietly WHAT COMMAND...: the command's output to the log, its tail if it
# fails; while it runs, a line every 20 s of how far apt has got.
quietly() {
    local what=$1 start pid status=0
    shift
    echo "== $(date -u +%T) $what" >>"$log"
    start=$(wc -l <"$log")
    "$@" >>"$log" 2>&1 &
    pid=$!
    while ! wait_for "$pid" 20; do
        tail -n +"$start" "$log" | awk -v what="$what" '
            /^Get:/ { got++ } /^Unpacking / { unpacked++ } /^Setting up / { set_up++ }
            END {
                if (got + unpacked + set_up == 0) printf "  %s: still running\n", what
                else printf "  %s: %d packages downloaded, %d unpacked, %d set up so far\n",
                            what, got, unpacked, set_up
            }'
    done
    wait "$pid" || status=$?
    if [[ $status -ne 0 ]]; then
        tail -30 "$log" >&2
        echo "FAILED: $what (whole output in $log)" >&2
        exit 1
    fi
}
# wait_for PID SECONDS: true once the process has ended, false after SECONDS.
wait_for() {
    local _
    for _ in $(seq "$(($2 * 2))"); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.5
    done
    ! kill -0 "$1" 2>/dev/null
}

if [[ ${#missing[@]} -ne 0 ]]; then
    echo "Installing ${#missing[@]} Debian packages (a few minutes on a fresh machine; apt's output goes to $log):"
    echo "  ${missing[*]}"
    # The 32-bit Wine comes from the i386 architecture.
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        quietly "adding the i386 architecture" "${as_root[@]}" dpkg --add-architecture i386
    fi
    quietly "apt-get update" "${as_root[@]}" apt-get update
    quietly "apt-get install" "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y "${missing[@]}"
fi

# The browser tests' npm packages, from the lock file; the lock they were
# installed from is kept beside them.
browser=tests/browser
if ! cmp -s "$browser/package-lock.json" "$browser/node_modules/.installed-from-lock" 2>/dev/null; then
    echo "Installing the npm packages of $browser from its lock file (output in $log)"
    quietly "npm ci in $browser" npm ci --prefix "$browser" --no-audit --no-fund
    cp "$browser/package-lock.json" "$browser/node_modules/.installed-from-lock"
fi
