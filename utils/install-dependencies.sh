#!/usr/bin/env bash
# Installs everything that building, the demo, the tests and the benchmarks
# use: the Debian packages, Node.js, and the npm packages of the browser tests
# (into tests/browser, from its committed lock file). Does nothing, quietly and
# quickly, when all is there already, so it is safe to run again. apt's and
# npm's output goes to build/install-dependencies.log.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    cmake make g++ ccache pkg-config openssl curl file dpkg-dev
    libcurl4-openssl-dev libssl-dev libgif-dev libturbojpeg0-dev libjpeg62-turbo-dev
    libcpp-httplib-dev libcli11-dev googletest libgtest-dev
    libsqlite3-dev sqlite3 nlohmann-json3-dev libtomlplusplus-dev chromium
    clang libclang-rt-14-dev
    valgrind libc-bin locales iproute2
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    wine wine64
    imagemagick
    python3 python3-pil python3-aiosmtpd mono-mcs systemd
)
# 32-bit Wine only helps where the machine runs 32-bit code, and its i386
# libraries must match the amd64 ones version for version: when the mirror's
# i386 lists lag behind, it is left out with a notice and the Windows tests
# run on the 64-bit build, as on a machine that cannot run 32-bit code.
optional_packages=(wine32:i386)
# Where another Node.js is installed, Debian's npm conflicts with it: Debian's
# pair only where one of the two is missing.
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
    packages+=(nodejs npm)
fi

# One dpkg-query for all: packages it does not know print nothing.
native=$(dpkg --print-architecture)
installed=$(dpkg-query -W -f='${Package}:${Architecture} ${Status}\n' \
    "${packages[@]}" "${optional_packages[@]}" 2>/dev/null |
    awk '/ install ok installed$/ { print $1 }') || true
# not_installed PACKAGE...: those of them that dpkg does not have.
not_installed() {
    local package
    for package; do
        [[ $package == *:* ]] || package=$package:$native
        grep -qxF -e "$package" -e "${package%:*}:all" <<<"$installed" || echo "${package%:"$native"}"
    done
}
mapfile -t missing < <(not_installed "${packages[@]}")
mapfile -t missing_optional < <(not_installed "${optional_packages[@]}")

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
if [[ ${#missing_optional[@]} -ne 0 && $(id -u) -ne 0 ]] && ! command -v sudo >/dev/null; then
    missing_optional=()
elif [[ ${#missing_optional[@]} -ne 0 && $(id -u) -ne 0 ]]; then
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

if [[ ${#missing[@]} -ne 0 || ${#missing_optional[@]} -ne 0 ]]; then
    echo "Installing $((${#missing[@]} + ${#missing_optional[@]})) Debian packages (a few minutes on a fresh machine; apt's output goes to $log):"
    echo "  ${missing[*]} ${missing_optional[*]}"
    # The 32-bit Wine comes from the i386 architecture.
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        quietly "adding the i386 architecture" "${as_root[@]}" dpkg --add-architecture i386
    fi
    # A mirror caught mid-sync fails one index now and then; apt then keeps
    # the lists it has, and the install below says whether they were enough.
    if ! (quietly "apt-get update" "${as_root[@]}" apt-get update) 2>/dev/null; then
        echo "  apt-get update failed for some index (see $log); installing from the lists there are"
    fi
    if [[ ${#missing[@]} -ne 0 ]]; then
        quietly "apt-get install" "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
            apt-get install -y "${missing[@]}"
    fi
fi
for package in "${missing_optional[@]}"; do
    if ! (quietly "apt-get install $package" "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y "$package") 2>/dev/null; then
        echo "  $package could not be installed (see $log); the Windows tests will use the 64-bit build"
    fi
done

# The browser tests' npm packages, from the lock file; the lock they were
# installed from is kept beside them.
browser=tests/browser
if ! cmp -s "$browser/package-lock.json" "$browser/node_modules/.installed-from-lock" 2>/dev/null; then
    echo "Installing the npm packages of $browser from its lock file (output in $log)"
    quietly "npm ci in $browser" npm ci --prefix "$browser" --no-audit --no-fund
    cp "$browser/package-lock.json" "$browser/node_modules/.installed-from-lock"
fi
