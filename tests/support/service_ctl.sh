#!/usr/bin/env bash
# Starts and stops the service of the wire tests, pushnote-test-service.
#   service_ctl.sh start SERVICE PORT EXPIRED_PORT PKI_DIR RECORD_DIR RUN_DIR MAX_SECONDS
#   service_ctl.sh stop RUN_DIR
# RUN_DIR holds stand-in.pid and stand-in.log; RECORD_DIR is emptied at start.
set -euo pipefail

usage() {
    sed -n '2,6s/^# \{0,1\}//p' "$0" >&2
    exit 2
}

# Prints the PID in the PID file if that process is still the stand-in: a
# stale file may name a PID the system has given to another process since.
running_pid() {
    local pid_file=$1/stand-in.pid pid
    [[ -s $pid_file ]] || return 1
    pid=$(<"$pid_file")
    [[ $pid =~ ^[0-9]+$ ]] || return 1
    tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q pushnote-test-service || return 1
    echo "$pid"
}

# True while the process runs; an ended one may stay a zombie until its new
# parent reaps it.
alive() {
    local state
    state=$(awk '/^State:/ { print $2 }' "/proc/$1/status" 2>/dev/null) && [[ -n $state && $state != Z ]]
}

stop() {
    local run_dir=$1 pid
    if pid=$(running_pid "$run_dir"); then
        kill -TERM "$pid"
        for _ in $(seq 50); do
            alive "$pid" || break
            sleep 0.1
        done
        if alive "$pid"; then kill -KILL "$pid"; fi
    fi
    rm -f "$run_dir/stand-in.pid"
}

accepts() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

start() {
    local stand_in=$1 port=$2 expired_port=$3 pki=$4 records=$5 run_dir=$6 max_seconds=$7
    if [[ ! -x $stand_in ]]; then
        echo "service stand-in not found: $stand_in" >&2
        echo "build it with the linux preset first:" \
            "cmake --preset linux && cmake --build --preset linux --target pushnote-test-service" >&2
        exit 1
    fi
    mkdir -p "$run_dir"
    stop "$run_dir" # one left by an interrupted run
    rm -rf "$records"
    mkdir -p "$records"

    # Its output goes to a file: CTest would wait for an inherited pipe to close.
    "$stand_in" --port "$port" --cert "$pki/server.pem" --key "$pki/server.key" \
        --expired-port "$expired_port" --expired-cert "$pki/expired.pem" \
        --expired-key "$pki/expired.key" --record-dir "$records" \
        --pid-file "$run_dir/stand-in.pid" --max-seconds "$max_seconds" \
        </dev/null >"$run_dir/stand-in.log" 2>&1 &
    local pid=$!

    # The PID file appears once both ports listen; a TCP connection (no TLS,
    # so nothing is recorded) then shows that they accept.
    for _ in $(seq 100); do
        if [[ -s $run_dir/stand-in.pid ]] && accepts "$port" && accepts "$expired_port"; then
            echo "service stand-in $pid on ports $port and $expired_port (expired)"
            return 0
        fi
        if ! alive "$pid"; then
            echo "service stand-in ended at start:" >&2
            cat "$run_dir/stand-in.log" >&2
            exit 1
        fi
        sleep 0.1
    done
    echo "service stand-in did not accept connections within 10 s" >&2
    kill -KILL "$pid"
    exit 1
}

case ${1:-} in
start)
    [[ $# -eq 8 ]] || usage
    start "${@:2}"
    ;;
stop)
    [[ $# -eq 2 ]] || usage
    stop "$2"
    ;;
*) usage ;;
esac
