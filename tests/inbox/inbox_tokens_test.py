#!/usr/bin/python3
"""Named tokens kept as their SHA-256 alone, their names on notes, a removed
token refused; notes_per_minute for each token, and a token's own number; /api/health, and 503 while the
store cannot be written (the process's file size limit lowered to a byte).

usage: inbox_tokens_test.py INBOX PORT WORK
"""
import http.client
import json
import os
import shutil
import signal
import subprocess
import sys

from inbox_checks import check, finish, store_bytes, wait_listening

INBOX, PORT, WORK = os.path.abspath(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
DATA = os.path.join(WORK, "data")


def inbox(*args):
    # A relative --data, as an operator may type it.
    return subprocess.run([INBOX, *args, "--data", os.path.relpath(DATA, WORK)], cwd=WORK,
                          capture_output=True, text=True, timeout=30)


def request(method, path, body=None, token=None):
    connection = http.client.HTTPConnection("127.0.0.1", PORT, timeout=10)
    headers = {"Content-Type": "application/x-www-form-urlencoded"}
    if token:
        headers["Authorization"] = "Bearer " + token
    connection.request(method, path, body=body, headers=headers)
    answer = connection.getresponse()
    body = answer.read()
    connection.close()
    return answer, body


def note(token, message="hello"):
    return request("POST", "/api/notify", f"message={message}", token)


def start(*args):
    process = subprocess.Popen(
        [INBOX, "--http", "--port", str(PORT), "--data", DATA, "--max-seconds", "60", *args],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
        # A write past the file size limit then fails instead of ending the process.
        preexec_fn=lambda: signal.signal(signal.SIGXFSZ, signal.SIG_IGN))
    wait_listening(PORT)
    return process


shutil.rmtree(WORK, ignore_errors=True)
os.makedirs(WORK)
made = {name: inbox("token", "add", name) for name in ("trading-pc", "build-server")}
tokens = {name: run.stdout.strip() for name, run in made.items()}
check("token add prints a token once", all(run.returncode == 0 and len(run.stdout.split()) == 1
                                          for run in made.values()), made)
check("a name is taken once", inbox("token", "add", "trading-pc").returncode == 2)
listed = inbox("token", "list").stdout.splitlines()
check("token list: names, created, never used",
      [line.split("\t")[0] for line in listed] == ["build-server", "trading-pc"] and
      all(line.endswith("last used never") for line in listed), listed)

config = os.path.join(WORK, "inbox.toml")
with open(config, "w") as out:
    out.write("[notes_per_minute_by_token]\ntrading-pc = 2\n")
os.chmod(config, 0o600)
server = start("--token", "dev-token", "--notes-per-minute", "30", "--config", config)
try:
    answer, body = note(tokens["trading-pc"], "from+the+trading+pc")
    note_id = json.loads(request("GET", "/api/notes?limit=1")[1])["notes"][0]["id"]
    shown = json.loads(request("GET", f"/api/notes/{note_id}")[1])
    check("a named token's note shows its name", answer.status == 200 and
          shown["token_name"] == "trading-pc", shown)
    check("--token still works beside named ones", note("dev-token")[0].status == 200)
    check("an unknown token gets 401", note("unknown")[0].status == 401)

    statuses = [note(tokens["build-server"])[0] for _ in range(31)]
    check("30 notes a minute pass", all(a.status == 200 for a in statuses[:30]),
          [a.status for a in statuses])
    limited = statuses[30]
    check("the 31st gets 429 with Retry-After", limited.status == 429 and
          1 <= int(limited.getheader("Retry-After", "0")) <= 60, limited.status)
    check("another token is not held by it", note(tokens["trading-pc"])[0].status == 200)
    check("a token's own number holds it", note(tokens["trading-pc"])[0].status == 429)

    answer, body = request("GET", "/api/health")
    check("health", answer.status == 200 and
          json.loads(body) == {"healthy": True, "queued": 0, "store": "ok"}, body)
    subprocess.run(["prlimit", "--pid", str(server.pid), "--fsize=1:unlimited"], check=True)
    answer, body = request("GET", "/api/health")
    check("health: 503 while the store cannot be written", answer.status == 503 and
          json.loads(body)["healthy"] is False, body)
    subprocess.run(["prlimit", "--pid", str(server.pid), "--fsize=unlimited:unlimited"],
                   check=True)
    check("health again once it can", request("GET", "/api/health")[0].status == 200)

    check("token remove", inbox("token", "remove", "trading-pc").returncode == 0)
    check("a removed token gets 401", note(tokens["trading-pc"])[0].status == 401)
    check("removing it twice says so", inbox("token", "remove", "trading-pc").returncode == 1)
finally:
    server.kill()
    server.wait()

check("token list shows a use", "last used 20" in inbox("token", "list").stdout)
store = store_bytes(DATA)
check("the store never holds a token's text",
      not any(token.encode() in store for token in tokens.values()))
finish()
