#!/usr/bin/python3
"""pushnote-inbox with forwarding on: notes accepted per second beside the
same run without forwarding, the note-to-delivery latency (median and 99th
percentile) to a local mail server (aiosmtpd, STARTTLS and AUTH) and a JSON
webhook, and the inbox's peak memory. A burst of text notes over one
keep-alive HTTPS connection, sent by inbox_bench as fast as it can, then
notes at a steady 20 a second (as many, up to 200): the latency of each.
    bench/inbox_forward_bench.py [NOTES] [BUILD] [PORT]
"""
import http.client
import json
import logging
import os
import shutil
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request
import warnings
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from process_memory import peak_mib  # noqa: E402

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
notes = int(sys.argv[1]) if len(sys.argv) > 1 else 1000
build = sys.argv[2] if len(sys.argv) > 2 else os.path.join(root, "build/linux")
port = int(sys.argv[3]) if len(sys.argv) > 3 else 48161
inbox_program = os.path.join(build, "tools/inbox/pushnote-inbox")
bench_program = os.path.join(build, "bench/inbox_bench")
work = tempfile.mkdtemp(prefix="inbox-forward-bench-")
warnings.filterwarnings("ignore")
logging.getLogger("mail.log").setLevel(logging.CRITICAL)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Keeper:
    mails = 0

    async def handle_DATA(self, server, session, envelope):
        Keeper.mails += 1
        return "250 2.0.0 kept"


class Hook(BaseHTTPRequestHandler):
    def do_POST(self):
        self.rfile.read(int(self.headers.get("Content-Length", 0)))
        self.send_response(200)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def log_message(self, *args):
        pass


def run(name, forward):
    """Starts an inbox, sends the notes; returns (notes per second, inbox process)."""
    log_path = os.path.join(work, name + ".log")
    args = [inbox_program, "--port", str(port), "--data", os.path.join(work, name),
            "--cert", os.path.join(pki, "server.pem"), "--key", os.path.join(pki, "server.key"),
            "--keep", "100000", "--forward-ca", os.path.join(pki, "ca.pem"), "--max-seconds",
            "300"]
    for url in forward:
        args += ["--forward", url]
    inbox = subprocess.Popen(args, stdout=open(log_path, "w"), stderr=subprocess.STDOUT)
    for _ in range(100):
        if "inbox at" in open(log_path).read():
            break
        time.sleep(0.1)
    sent = subprocess.run([bench_program, str(port), os.path.join(pki, "ca.pem"), str(notes),
                           "1", os.path.join(root, "tests/cli/data/red_over_blue.png")],
                          capture_output=True, text=True, timeout=600)
    if sent.returncode != 0:
        inbox.kill()
        sys.exit(f"inbox_bench failed: {sent.stderr}")
    rate = float(sent.stdout.splitlines()[0].split("=")[1].split()[0])
    return rate, inbox


def api(path):
    context = ssl.create_default_context(cafile=os.path.join(pki, "ca.pem"))
    with urllib.request.urlopen(f"https://localhost:{port}{path}", context=context,
                                timeout=30) as answer:
        return json.loads(answer.read())


def send_paced(count, per_second):
    """Notes one by one at a steady pace."""
    context = ssl.create_default_context(cafile=os.path.join(pki, "ca.pem"))
    connection = http.client.HTTPSConnection("localhost", port, context=context, timeout=30)
    for i in range(count):
        started = time.monotonic()
        connection.request("POST", "/api/notify", body=f"message=paced+{i}",
                           headers={"Authorization": "Bearer bench",
                                    "Content-Type": "application/x-www-form-urlencoded"})
        connection.getresponse().read()
        time.sleep(max(0.0, 1 / per_second - (time.monotonic() - started)))
    connection.close()


def delivered_latencies(expected, first_id):
    """Waits for every delivery of the notes from first_id on; their latencies by kind."""
    deadline = time.monotonic() + 600
    while time.monotonic() < deadline:
        listed, before = [], None
        while True:
            page = api("/api/notes?limit=1000" + (f"&before={before}" if before else ""))
            listed += [n for n in page["notes"] if n["id"] >= first_id]
            if not page["more"] or page["next_before"] <= first_id:
                break
            before = page["next_before"]
        deliveries = [d for n in listed for d in n["deliveries"]]
        if len(deliveries) == expected and all(d["state"] == "delivered" for d in deliveries):
            latencies = {"mail": [], "json": []}
            for d in deliveries:
                kind = "mail" if d["destination"].startswith("mailto") else "json"
                latencies[kind].append(d["delivered_ms"] - d["created_ms"])
            return latencies
        time.sleep(0.5)
    sys.exit("the deliveries did not all arrive")


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


try:
    pki = os.path.join(work, "pki")
    subprocess.run([os.path.join(root, "tests/support/make_test_pki.sh"), pki], check=True,
                   capture_output=True)
    tls = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    tls.load_cert_chain(os.path.join(pki, "server.pem"), os.path.join(pki, "server.key"))
    smtp = Controller(Keeper(), hostname="127.0.0.1", port=free_port(),
                      server_hostname="localhost", tls_context=tls, require_starttls=True,
                      auth_required=True, auth_require_tls=True,
                      authenticator=lambda *a: AuthResult(success=isinstance(
                          a[4], LoginPassword), handled=False))
    smtp.start()
    hook = ThreadingHTTPServer(("127.0.0.1", free_port()), Hook)
    threading.Thread(target=hook.serve_forever, daemon=True).start()

    plain_rate, plain = run("plain", [])
    plain.terminate()
    plain.wait()
    forward = [f"mailto://bench:pw@localhost:{smtp.port}?to=a@example.org&from=b@example.org",
               f"json://127.0.0.1:{hook.server_address[1]}/hook"]
    rate, inbox = run("forwarding", forward)
    burst = delivered_latencies(2 * (notes + 1), 1)
    paced_notes = min(200, notes)
    send_paced(paced_notes, 20)
    paced = delivered_latencies(2 * paced_notes, notes + 2)
    peak = peak_mib(inbox.pid)
    inbox.terminate()
    inbox.wait()
    smtp.stop()
    hook.shutdown()

    print(f"notes accepted without forwarding: {plain_rate:8.0f} notes/s")
    print(f"notes accepted with forwarding:    {rate:8.0f} notes/s "
          f"(to a mail server and a JSON webhook)")
    for label, latencies in (("burst", burst), ("20 notes/s", paced)):
        for kind, values in latencies.items():
            print(f"note to {kind} delivery ({label}): median {percentile(values, 0.5):5.0f} ms, "
                  f"99th percentile {percentile(values, 0.99):5.0f} ms, "
                  f"slowest {max(values):5.0f} ms ({len(values)} deliveries)")
    print(f"pushnote-inbox peak memory (VmHWM): {peak:.1f} MiB")
finally:
    shutil.rmtree(work, ignore_errors=True)
