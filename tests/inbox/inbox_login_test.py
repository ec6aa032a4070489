#!/usr/bin/python3
"""The page lock: users with hashed passwords, the login form and its
cookie, failed logins slowed per address (tries at once included), a
removed user logged out, page = password, page = off, remote clients behind
a trusted proxy held to a login, the Host guard with a public name, and no
control character in the log.

usage: inbox_login_test.py INBOX PORT WORK
"""
import http.client
import os
import shutil
import subprocess
import sys
import time
from concurrent.futures import ThreadPoolExecutor

from inbox_checks import check, finish, store_bytes, wait_listening

INBOX, PORT, WORK = sys.argv[1], int(sys.argv[2]), sys.argv[3]
PASSWORD = "correct horse battery"


def inbox(*args, stdin=None):
    return subprocess.run([INBOX, *args, "--data", os.path.join(WORK, "data")], input=stdin,
                          capture_output=True, text=True, timeout=60)


def start(*args):
    process = subprocess.Popen([INBOX, "--http", "--port", str(PORT), "--data",
                                os.path.join(WORK, "data"), "--max-seconds", "60", *args],
                               stdout=subprocess.DEVNULL, stderr=LOG)
    wait_listening(PORT)
    return process


def request(method, path, body=None, headers=None, source="127.0.0.1"):
    connection = http.client.HTTPConnection("127.0.0.1", PORT, timeout=10,
                                            source_address=(source, 0))
    connection.request(method, path, body=body, headers=headers or {})
    answer = connection.getresponse()
    answer.read()
    connection.close()
    return answer


def log_in(password):
    return request("POST", "/login", f"name=ann&password={password.replace(' ', '+')}",
                   {"Content-Type": "application/x-www-form-urlencoded"})


def note(message="hi", headers=None):
    return request("POST", "/api/notify", f"message={message}",
                   {"Authorization": "Bearer t",
                    "Content-Type": "application/x-www-form-urlencoded", **(headers or {})}).status


shutil.rmtree(WORK, ignore_errors=True)
os.makedirs(WORK)
LOG = open(os.path.join(WORK, "inbox.log"), "wb")
for args, stdin, code, what in (
        (["user", "add", "ann"], PASSWORD + "\n", 0, "adds a user"),
        (["user", "add", "ann"], PASSWORD + "\n", 2, "refuses a name taken"),
        (["user", "add", "bob"], "short\n", 2, "refuses a short password"),
        (["user", "add", "bad name"], PASSWORD + "\n", 2, "refuses a bad name"),
        (["user", "remove", "nobody"], None, 1, "says there is no such user")):
    run = inbox(*args, stdin=stdin)
    check(f"user {what}", run.returncode == code, run.stderr)
check("user list", inbox("user", "list").stdout.split("\t")[0] == "ann")

server = start("--page", "password")
try:
    answer = request("GET", "/")
    check("the page leads to the login form", answer.status == 303 and
          answer.getheader("Location") == "/login", answer.status)
    check("the API needs a login", request("GET", "/api/notes").status == 401)
    check("the form is served", request("GET", "/login").status == 200)
    check("a note needs no login", note() == 200)
    check("a wrong password is refused", log_in("wrong password").status == 401)
    slowed = log_in(PASSWORD)
    check("the next try is slowed", slowed.status == 429 and
          slowed.getheader("Retry-After") == "1", slowed.status)
    time.sleep(1.1)
    answer = log_in(PASSWORD)
    cookie = answer.getheader("Set-Cookie") or ""
    check("the right password gives a session", answer.status == 303 and
          all(part in cookie for part in ("HttpOnly", "Secure", "SameSite=Strict", "Max-Age=")),
          cookie)
    session = {"Cookie": cookie.split(";")[0]}
    check("the session opens the API", request("GET", "/api/notes", headers=session).status == 200)
    check("another site's form cannot log in", request(
        "POST", "/login", f"name=ann&password={PASSWORD}",
        {"Origin": "https://evil.example", "Content-Type": "application/x-www-form-urlencoded"}
    ).status == 403)
    request("POST", "/logout", "", {**session, "X-PushNote-Inbox": "1"})
    check("logout ends it", request("GET", "/api/notes", headers=session).status == 401)
    session = {"Cookie": log_in(PASSWORD).getheader("Set-Cookie").split(";")[0]}
    inbox("user", "remove", "ann")
    check("a user removed is logged out at once",
          request("GET", "/api/notes", headers=session).status == 401)
    with ThreadPoolExecutor(8) as pool:
        tries = list(pool.map(lambda _: log_in("wrong password").status, range(8)))
    check("tries at once from one address: one is checked, the others wait",
          tries.count(401) == 1 and tries.count(429) + tries.count(503) == 7, tries)
finally:
    server.kill()
    server.wait()

server = start("--page", "off")
try:
    check("page off: no page", request("GET", "/").status == 404)
    check("page off: no notes API", request("GET", "/api/notes").status == 404)
    check("page off: notes still taken", note() == 200)
    check("page off: health still answered", request("GET", "/api/health").status == 200)
finally:
    server.kill()
    server.wait()

server = start("--trusted-proxy", "127.0.0.2")
try:
    check("loopback stays open", request("GET", "/api/notes").status == 200)
    via_proxy = {"X-Forwarded-For": "127.0.0.1, 203.0.113.9"}
    check("a remote client through the proxy needs a login",
          request("GET", "/api/notes", headers=via_proxy, source="127.0.0.2").status == 401)
    check("the header from anyone else counts for nothing",
          request("GET", "/api/notes", headers=via_proxy).status == 200)
    for forwarded in ({}, {"X-Forwarded-For": "unknown"}, {"X-Forwarded-For": "127.0.0.1:80"}):
        check(f"the proxy without a client address ({forwarded}) needs a login",
              request("GET", "/api/notes", headers=forwarded, source="127.0.0.2").status == 401)
finally:
    server.kill()
    server.wait()

server = start("--public-url", "https://Notify.example.org")
try:
    # The public name passes the guard; from a proxy on this machine it still needs a login.
    for host, status in (("notify.example.org", 401), ("NOTIFY.example.org:443", 401),
                         ("notify.example.org:8443", 403), ("evil.example", 403),
                         (f"localhost:{PORT}", 200)):
        check(f"Host {host}: {status}",
              request("GET", "/api/notes", headers={"Host": host}).status == status)
    check("without tokens, any token only from this machine",
          note(headers={"Host": "notify.example.org"}) == 401 and note() == 200)
    note("%1B[2J%C2%9B31m%FF-end")
    request("GET", "/%C2%9B31m%1B[2J")
finally:
    server.kill()
    server.wait()

LOG.close()
log = open(os.path.join(WORK, "inbox.log"), "rb").read()
check("no control character reaches the log",
      b"-end" in log and not any(c in log for c in (b"\x1b", b"\xc2\x9b", b"\xff")))
store = store_bytes(os.path.join(WORK, "data"))
check("the store holds no password", PASSWORD.encode() not in store)
finish()
