#!/usr/bin/env python3
"""pushnote-inbox under hostile clients, over real TLS on loopback: bodies
refused from their head, over-long chunked bodies and chunk-size lines
stopped, a GET's body never taken for a request, slow heads and
many event streams that leave a note its answer, and slow heads dropped.
    inbox_hostile_test.py INBOX PORT WORK_DIR
"""
import json
import os
import select
import shutil
import socket
import ssl
import subprocess
import sys
import time

inbox, port, work = sys.argv[1], int(sys.argv[2]), sys.argv[3]
shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
data = os.path.join(work, "data")
failures = []
TOKEN = "hostile-token"


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    failures.append(message)


def connect(client="127.0.0.1"):
    """A TLS connection from the loopback address client: each address has a
    cap of its own on the connections it holds."""
    context = ssl.create_default_context(cafile=os.path.join(data, "tls", "ca.pem"))
    raw = socket.create_connection(("127.0.0.1", port), timeout=10, source_address=(client, 0))
    return context.wrap_socket(raw, server_hostname="localhost")


def head(lines):
    return ("\r\n".join(lines) + "\r\n\r\n").encode()


def notify_head(token, *extra):
    return head(["POST /api/notify HTTP/1.1", "Host: localhost",
                 "Authorization: Bearer " + token,
                 "Content-Type: application/x-www-form-urlencoded", *extra])


def read_answer(tls, got=b""):
    """The status and the bytes of an answer: its head, and its body when it has a length."""
    while b"\r\n\r\n" not in got and len(got) < 65536:
        piece = tls.recv(4096)
        if not piece:
            break
        got += piece
    head_end = got.find(b"\r\n\r\n") + 4
    for line in got[:head_end].split(b"\r\n"):
        if line.lower().startswith(b"content-length: "):
            pieces, length = [got], len(got)
            while length < head_end + int(line.split(b" ")[1]):
                piece = tls.recv(1 << 16)
                if not piece:
                    break
                pieces.append(piece)
                length += len(piece)
            got = b"".join(pieces)
    status = int(got.split(b" ", 2)[1]) if got.startswith(b"HTTP/1.1 ") else 0
    return status, got


def answer_started(tls):
    """The first bytes of an answer when some came; empty while there is none.
    (A readable socket may only hold the server's TLS session tickets.)"""
    if not select.select([tls], [], [], 0)[0]:
        return b""
    tls.setblocking(False)
    try:
        return tls.recv(4096) or b"end"
    except ssl.SSLWantReadError:
        return b""
    finally:
        tls.setblocking(True)


def expect_status(name, status, answer, wanted, text=b""):
    if status != wanted or text not in answer:
        fail(f"{name}: status {status}, expected {wanted} with {text!r}: {answer[:200]!r}")


def send_note(message, client="127.0.0.1"):
    """Sends a note on a connection of its own; its status and seconds taken."""
    started = time.monotonic()
    with connect(client) as tls:
        body = ("message=" + message).encode()
        tls.sendall(notify_head(TOKEN, f"Content-Length: {len(body)}") + body)
        status, _ = read_answer(tls)
    return status, time.monotonic() - started


log = open(os.path.join(work, "inbox.log"), "w")
server = subprocess.Popen([inbox, "--port", str(port), "--data", data, "--token", TOKEN,
                           "--max-image", "20000", "--max-seconds", "150"],
                          stdout=log, stderr=subprocess.STDOUT)
try:
    for _ in range(100):
        if "inbox at" in open(os.path.join(work, "inbox.log")).read():
            break
        time.sleep(0.1)

    # Refused from the head alone: no byte of the body is sent before the answer.
    for name, token, extra, wanted, text in [
            ("chunked, wrong token", "wrong", ["Transfer-Encoding: chunked"], 401,
             b"Invalid access token"),
            ("declared over the limit", TOKEN, ["Content-Length: 1000000000"], 413,
             b"larger than the limit"),
            ("declared past 64 bits", TOKEN, ["Content-Length: 99999999999999999999999"], 413,
             b"larger than the limit")]:
        with connect() as tls:
            tls.settimeout(3)
            tls.sendall(notify_head(token, *extra))
            status, answer = read_answer(tls)
            expect_status(name, status, answer, wanted, text)

    # The other routes take a body only whole, with its length declared:
    # chunked in any case, or no length at all, would be read to its end.
    for name, extra in [("CHUNKED", ["Transfer-Encoding: CHUNKED"]),
                        ("Chunked", ["Transfer-Encoding: Chunked"]),
                        ("gzip, chunked", ["Transfer-Encoding: gzip, chunked"]),
                        ("no length", [])]:
        with connect() as tls:
            tls.settimeout(3)
            tls.sendall(head(["PUT /api/chaos HTTP/1.1", "Host: localhost",
                              "Content-Type: application/json", *extra]))
            status, answer = read_answer(tls)
            expect_status(f"chaos body {name}", status, answer, 411, b"Content-Length")

    # An endless chunked body with the right token: stopped soon past the limit.
    with connect() as tls:
        tls.sendall(notify_head(TOKEN, "Transfer-Encoding: chunked"))
        chunk = b"%x\r\n%s\r\n" % (65536, b"m" * 65536)
        sent, started = 0, b""
        while sent < (256 << 20) and not started:
            try:
                tls.sendall(chunk)
            except OSError:
                break
            sent += 65536
            started = answer_started(tls)
        tls.settimeout(5)
        status, answer = read_answer(tls, started)
        expect_status("endless chunked body", status, answer, 413, b"larger than the limit")
        if sent > (8 << 20):
            fail(f"the inbox read {sent} bytes of a body over its limit before answering")

    # A chunk-size line that never ends: the request ends soon past the limit.
    with connect() as tls:
        tls.sendall(notify_head(TOKEN, "Transfer-Encoding: chunked") + b"1;")
        sent, ended = 0, b""
        while sent < (64 << 20) and not ended:
            try:
                tls.sendall(b"a" * 65536)
            except OSError:
                break
            sent += 65536
            ended = answer_started(tls)
        print(f"a chunk-size line stopped after {sent} bytes sent")
        if not ended:
            fail(f"the inbox still read a chunk-size line after {sent} bytes")

    # A body on a GET would be read as the next request: refused, and the
    # connection closed before the request inside it is answered.
    with connect() as tls:
        tls.settimeout(5)
        inner = head(["GET /api/notes HTTP/1.1", "Host: localhost"])
        tls.sendall(head(["GET /api/health HTTP/1.1", "Host: localhost",
                          f"Content-Length: {len(inner)}"]) + inner)
        status, answer = read_answer(tls)
        expect_status("a GET with a body", status, answer, 400, b"takes no body")
        rest = b""
        try:
            while piece := tls.recv(4096):
                rest += piece
        except OSError:
            pass
        if b"HTTP/1.1" in rest:
            fail(f"the request inside a GET's body was answered: {rest[:200]!r}")

    # 64 half-sent heads and 40 event streams, then a note, each group from
    # addresses of its own, within their caps.
    slow = []
    for i in range(64):
        tls = connect(f"127.0.0.{2 + i % 2}")
        tls.sendall(b"POST /api/notify HTTP/1.1\r\nHost: localhost\r\n")
        slow.append(tls)
    slow_since = time.monotonic()
    streams, refused = [], 0
    for i in range(40):
        tls = connect(f"127.0.0.{4 + i % 2}")
        tls.sendall(head(["GET /api/events HTTP/1.1", "Host: localhost"]))
        status, answer = read_answer(tls)
        if status == 200:
            streams.append(tls)
        elif status == 503 and b"Retry-After: " in answer:
            refused += 1
            tls.close()
        else:
            fail(f"event stream answered {status}: {answer[:200]!r}")
    if len(streams) != 32 or refused != 8:
        fail(f"{len(streams)} streams open and {refused} refused: expected 32 and 8")
    status, seconds = send_note("under+load")
    print(f"note under 64 half-sent heads and {len(streams)} open streams: {status} "
          f"in {seconds * 1000:.0f} ms")
    if status != 200 or seconds >= 1:
        fail(f"note under load: status {status} after {seconds:.2f} s")

    # A closed stream gives its place back at once.
    for tls in streams:
        tls.close()
    time.sleep(0.5)
    with connect() as tls:
        tls.sendall(head(["GET /api/events HTTP/1.1", "Host: localhost"]))
        status, answer = read_answer(tls)
        expect_status("stream after the others closed", status, answer, 200)

    # One address holds no more than its 32 connections; another address is
    # served at once all the same.
    greedy = [socket.create_connection(("127.0.0.1", port), source_address=("127.0.0.6", 0))
              for _ in range(33)]
    greedy[-1].settimeout(3)
    try:
        closed = greedy[-1].recv(1) == b""
    except ConnectionResetError:
        closed = True
    except socket.timeout:
        closed = False
    if not closed:
        fail("the 33rd connection from one address was kept")
    times = []
    for _ in range(3):
        status, seconds = send_note("another+address", "127.0.0.7")
        times.append(seconds)
        if status != 200:
            fail(f"note from another address beside a capped one: status {status}")
    print("notes from another address beside 32 held connections: " +
          ", ".join(f"{t * 1000:.1f} ms" for t in times))
    if min(times) >= 0.1:
        fail(f"no note from another address answered within 100 ms: {times}")
    for held in greedy:
        held.close()

    # Notes of 64 KiB of control characters, each six bytes in JSON: an
    # answer stops at its 8 MiB bound, and its cursor leads to every note once.
    heavy = "%01" * 65536
    for _ in range(30):
        status, _ = send_note(heavy, "127.0.0.8")
        if status != 200:
            fail(f"heavy note: status {status}")
    seen, pages, query = [], [], "limit=1000"
    while query and len(pages) < 10:
        with connect("127.0.0.8") as tls:
            tls.sendall(head([f"GET /api/notes?{query} HTTP/1.1", "Host: localhost"]))
            status, answer = read_answer(tls)
        body = answer[answer.find(b"\r\n\r\n") + 4:]
        page = json.loads(body)
        pages.append(len(body))
        seen += [note["id"] for note in page["notes"] if note["message"] == "\x01" * 65536]
        query = f"limit=1000&before={page['next_before']}" if page["more"] else ""
    print(f"30 heavy notes in {len(pages)} answers of {max(pages)} bytes at most")
    if max(pages) > (8 << 20) or len(pages) < 2:
        fail(f"notes answers of {pages} bytes: not bounded to 8 MiB")
    if len(seen) != 30 or len(set(seen)) != 30:
        fail(f"following the cursor gave {len(seen)} heavy notes, {len(set(seen))} distinct")

    # An idle keep-alive connection is closed after about 5 s.
    with connect("127.0.0.9") as tls:
        tls.sendall(head(["GET /api/chaos HTTP/1.1", "Host: localhost"]))
        status, _ = read_answer(tls)
        answered = time.monotonic()
        tls.settimeout(15)
        try:
            while tls.recv(4096):
                pass
        except OSError:
            pass
        idle = time.monotonic() - answered
    print(f"idle keep-alive connection closed after {idle:.1f} s")
    if status != 200 or not 4 <= idle <= 7.5:
        fail(f"idle keep-alive connection closed after {idle:.1f} s, expected about 5 s")

    # The slow heads lose their connections once the head's time is up.
    time.sleep(max(0, slow_since + 10.5 - time.monotonic()))
    dropped = 0
    for tls in slow:
        tls.settimeout(3)
        try:
            tls.recv(4096)  # an answer or the end: either way it waits no more
            dropped += 1
        except socket.timeout:
            pass
        except OSError:
            dropped += 1
        tls.close()
    if dropped != len(slow):
        fail(f"{len(slow) - dropped} slow heads still open after the head's time")
finally:
    server.terminate()
    server.wait()

if failures:
    print(f"{len(failures)} check(s) failed", file=sys.stderr)
    sys.exit(1)
print("all hostile-client checks passed")
