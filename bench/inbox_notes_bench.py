#!/usr/bin/env python3
"""Peak memory (VmHWM) of pushnote-inbox answering the largest notes request:
1,000 stored notes of 64 KiB of control characters (each escapes to six bytes
of JSON), fetched with limit=1000 and then by following the cursor.
    bench/inbox_notes_bench.py [INBOX] [PORT]
"""
import json
import os
import shutil
import sqlite3
import ssl
import subprocess
import sys
import tempfile
import time
import urllib.request

from process_memory import peak_mib

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
inbox = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
    root, "build/linux/tools/inbox/pushnote-inbox")
port = int(sys.argv[2]) if len(sys.argv) > 2 else 48159
work = tempfile.mkdtemp(prefix="inbox-notes-bench-")
data = os.path.join(work, "data")
log_path = os.path.join(work, "inbox.log")


def start():
    log = open(log_path, "w")
    server = subprocess.Popen([inbox, "--port", str(port), "--data", data, "--token", "t",
                               "--max-seconds", "300"], stdout=log, stderr=subprocess.STDOUT)
    for _ in range(100):
        if "inbox at" in open(log_path).read():
            return server
        time.sleep(0.1)
    server.terminate()
    sys.exit("pushnote-inbox did not start: " + open(log_path).read())


def stop(server):
    server.terminate()
    server.wait()


# The first start makes the store; the notes go in directly, since the
# messages are at the limit of what a note may carry.
stop(start())
with sqlite3.connect(os.path.join(data, "inbox.sqlite3")) as store:
    store.executemany(
        "INSERT INTO notes (received_ms, token_fingerprint, user_agent, content_type, message, "
        "message_repaired, answer_status, answer_body, answer_chaos) "
        "VALUES (1700000000000, 'fp', 'bench', 'multipart/form-data', ?, 0, 200, 'ok', '')",
        [("\x01" * 65536,)] * 1000)

server = start()
try:
    context = ssl.create_default_context(cafile=os.path.join(data, "tls", "ca.pem"))
    print(f"peak memory after start: {peak_mib(server.pid):.1f} MiB")
    url, answers, notes, largest = f"https://localhost:{port}/api/notes?limit=1000", 0, 0, 0
    while url:
        with urllib.request.urlopen(url, context=context, timeout=120) as answer:
            body = answer.read()
        answers += 1
        largest = max(largest, len(body))
        page = json.loads(body)
        notes += len(page["notes"])
        url = (f"https://localhost:{port}/api/notes?limit=1000&before={page['next_before']}"
               if page.get("more") else None)
    print(f"{notes} notes in {answers} answer(s), the largest {largest / (1 << 20):.1f} MiB")
    print(f"peak memory after the notes: {peak_mib(server.pid):.1f} MiB")
finally:
    stop(server)
    shutil.rmtree(work, ignore_errors=True)
