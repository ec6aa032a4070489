#!/usr/bin/env python3
"""Figures for pushnote-inbox under hostile clients, from the linux build: its
peak memory (VmHWM) while a client sends a 300 MB chunked note with a valid
token, and how long notes take to be answered while 64 clients hold half-sent
heads and 40 more hold event streams open.
    bench/inbox_hostile_bench.py [INBOX] [PORT]
"""
import os
import socket
import ssl
import statistics
import subprocess
import sys
import tempfile
import time

from process_memory import peak_mib

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
inbox = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
    root, "build/linux/tools/inbox/pushnote-inbox")
port = int(sys.argv[2]) if len(sys.argv) > 2 else 48158
TOKEN = "bench-token"
work = tempfile.mkdtemp(prefix="inbox-hostile-bench-")
data = os.path.join(work, "data")


def connect(client="127.0.0.1"):
    """From the loopback address client: each address has its own cap."""
    context = ssl.create_default_context(cafile=os.path.join(data, "tls", "ca.pem"))
    raw = socket.create_connection(("127.0.0.1", port), timeout=30, source_address=(client, 0))
    return context.wrap_socket(raw, server_hostname="localhost")


def status_of(tls):
    got = b""
    while b"\r\n" not in got:
        piece = tls.recv(4096)
        if not piece:
            return 0
        got += piece
    return int(got.split(b" ", 2)[1])


def note_ms():
    started = time.monotonic()
    with connect() as tls:
        tls.sendall(b"POST /api/notify HTTP/1.1\r\nHost: localhost\r\nAuthorization: Bearer "
                    + TOKEN.encode() + b"\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                    b"Content-Length: 13\r\n\r\nmessage=bench")
        status = status_of(tls)
    return status, (time.monotonic() - started) * 1000


log = open(os.path.join(work, "inbox.log"), "w")
server = subprocess.Popen([inbox, "--port", str(port), "--data", data, "--token", TOKEN,
                           "--max-seconds", "300"], stdout=log, stderr=subprocess.STDOUT)
try:
    for _ in range(100):
        if "inbox at" in open(os.path.join(work, "inbox.log")).read():
            break
        time.sleep(0.1)
    print(f"peak memory after start: {peak_mib(server.pid):.1f} MiB")

    # 300 MB chunked with a valid token: sent until the inbox answers.
    with connect() as tls:
        tls.sendall(b"POST /api/notify HTTP/1.1\r\nHost: localhost\r\nAuthorization: Bearer "
                    + TOKEN.encode() + b"\r\nContent-Type: multipart/form-data; boundary=b\r\n"
                    b"Transfer-Encoding: chunked\r\n\r\n")
        chunk = b"%x\r\n%s\r\n" % (1 << 20, b"x" * (1 << 20))
        sent = 0
        try:
            while sent < 300 << 20:
                tls.sendall(chunk)
                sent += 1 << 20
        except OSError:
            pass
        status = status_of(tls)
    print(f"300 MB chunked note: answered {status} after {sent >> 20} MiB were sent; "
          f"peak memory {peak_mib(server.pid):.1f} MiB")

    slow = []
    for i in range(64):
        tls = connect(f"127.0.0.{2 + i % 2}")
        tls.sendall(b"POST /api/notify HTTP/1.1\r\nHost: localhost\r\n")
        slow.append(tls)
    streams = []
    for i in range(40):
        tls = connect(f"127.0.0.{4 + i % 2}")
        tls.sendall(b"GET /api/events HTTP/1.1\r\nHost: localhost\r\n\r\n")
        streams.append((tls, status_of(tls)))
    open_streams = sum(1 for _, status in streams if status == 200)
    times = [note_ms() for _ in range(20)]
    answered = [ms for status, ms in times if status == 200]
    print(f"notes under 64 half-sent heads and 40 stream requests ({open_streams} open, "
          f"{40 - open_streams} refused with 503): {len(answered)}/20 answered 200, "
          f"median {statistics.median(answered):.1f} ms, slowest {max(answered):.1f} ms")
finally:
    server.terminate()
    server.wait()
