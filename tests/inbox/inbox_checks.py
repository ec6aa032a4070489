"""What the inbox's Python tests share: checks that count their failures, a
free loopback port, waiting for a condition, and the store's bytes."""
import os
import socket
import sys
import time

failures = []


def check(what, condition, detail=""):
    print(("ok   " if condition else "FAIL ") + what + ("" if condition else f": {detail}"))
    if not condition:
        failures.append(what)


def finish():
    sys.exit(1 if failures else 0)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_for(what, predicate, seconds=30):
    """The predicate's first true value within the time; a failed check after it."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.1)
    check(what, False, f"not within {seconds} s")
    return None


def store_bytes(data_dir):
    """The store's file with its write-ahead log, as they are on disk."""
    return b"".join(open(os.path.join(data_dir, name), "rb").read()
                    for name in sorted(os.listdir(data_dir)) if name.startswith("inbox.sqlite3"))


def wait_listening(port, seconds=10):
    """Returns once something accepts connections on the loopback port."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return
        except OSError:
            time.sleep(0.05)
    raise SystemExit(f"nothing listens on port {port} after {seconds} s")
