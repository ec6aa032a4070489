#!/usr/bin/python3
"""Mails from notes through real SMTP servers (aiosmtpd) on loopback.

usage: inbox_mail_test.py MAIL_SEND_PROBE MAKE_TEST_PKI WORKDIR

Three servers run in this process and stop with it: STARTTLS required with
AUTH over TLS only, TLS from the first byte with AUTH, and one without TLS.
Each mail received is kept in WORKDIR/received and read back with `email`.
"""
import email
import logging
import warnings
import email.policy
import os
import re
import shutil
import socket
import ssl
import subprocess
import sys

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

PROBE, MAKE_PKI, WORK = sys.argv[1:4]
warnings.filterwarnings("ignore")
logging.getLogger("mail.log").setLevel(logging.ERROR)
USER, PASSWORD = "bot", "s3cr@t:pw"
PASSWORD_IN_URL = "s3cr%40t%3Apw"
received = []


class Keeper:
    async def handle_DATA(self, server, session, envelope):
        path = os.path.join(WORK, "received", f"{len(received)}.eml")
        with open(path, "wb") as out:
            out.write(envelope.content)
        received.append((list(envelope.rcpt_tos), path))
        return "250 2.0.0 kept"


def authenticate(server, session, envelope, mechanism, data):
    ok = isinstance(data, LoginPassword) and data.login == USER.encode() \
        and data.password == PASSWORD.encode()
    return AuthResult(success=ok, handled=False)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start(**kwargs):
    controller = Controller(Keeper(), hostname="127.0.0.1", port=free_port(),
                            server_hostname="localhost", **kwargs)
    controller.start()
    return controller


def send(url, note_id, message, image=None, ca=None):
    message_file = os.path.join(WORK, f"message-{note_id}")
    with open(message_file, "wb") as out:
        out.write(message)
    args = [PROBE, url, CA if ca is None else ca, str(note_id), message_file]
    if image:
        image_file = os.path.join(WORK, f"image-{note_id}")
        with open(image_file, "wb") as out:
            out.write(image[0])
        args += [image_file, image[1], image[2]]
    run = subprocess.run(args, capture_output=True, timeout=60)
    return (run.stdout + run.stderr).decode("utf-8", "replace").strip()


failures = []


def check(what, condition, detail=""):
    if not condition:
        failures.append(f"{what}: {detail}")
        print(f"FAIL {what}: {detail}")


shutil.rmtree(WORK, ignore_errors=True)
os.makedirs(os.path.join(WORK, "received"))
subprocess.run([MAKE_PKI, os.path.join(WORK, "pki")], check=True)
CA = os.path.join(WORK, "pki", "ca.pem")
tls = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
tls.load_cert_chain(os.path.join(WORK, "pki", "server.pem"),
                    os.path.join(WORK, "pki", "server.key"))
auth = dict(auth_required=True, auth_require_tls=True, authenticator=authenticate)

starttls = start(tls_context=tls, require_starttls=True, **auth)
# aiosmtpd counts only STARTTLS as TLS for AUTH: the other two allow it
# without, the first because its whole connection is TLS.
implicit = start(ssl_context=tls, **auth | {"auth_require_tls": False})
plain = start(**auth | {"auth_require_tls": False})
try:
    def url(scheme, server, password=PASSWORD_IN_URL,
            to="ann@example.org,bob@example.org"):
        return (f"{scheme}://{USER}:{password}@localhost:{server.port}"
                f"?to={to}&from=inbox@example.org")

    png = b"\x89PNG\r\n\x1a\n" + bytes(range(256)) * 40 + b"--=_pushnote_ end"
    long_line = "\u00e9\u20ac" * 50
    # note id, URL, message bytes, image, expected subject
    mails = [
        (1, url("mailto", starttls),
         b"Alert\r\nBcc: evil@example.org\r\nX-Evil: 1\rlone CR\nlone LF\x00NUL\n\nBcc: x@y",
         None, "Alert"),
        (2, url("mailto", starttls), b"Top\rBcc: evil@example.org\nTo: evil@example.org",
         None, "Top"),
        (3, url("mailto", starttls), b"Tab\tand\x0bBcc: evil@example.org\x00end", None,
         "Tab and Bcc: evil@example.org end"),
        (4, url("mailto", starttls),
         "\U0001F680 D\u00e9ploiement termin\u00e9 \u2705\nCorps \u00fc\u00ef \U0001F600".encode(),
         None, "\U0001F680 D\u00e9ploiement termin\u00e9 \u2705"),
        (5, url("mailto", starttls), (long_line + "\nrest").encode(), None,
         long_line[:70] + "\u2026"),
        (6, url("mailto", starttls), "Chart \u2192 attached\nsee it".encode(),
         (png, "image/png", "chart\r\nBcc: x.png"), "Chart \u2192 attached"),
        (7, url("mailtos", implicit, to="ann@example.org"), b"Over implicit TLS", None,
         "Over implicit TLS"),
    ]
    for note_id, destination, message, image, subject in mails:
        answer = send(destination, note_id, message, image)
        check(f"note {note_id} delivered", answer == "delivered", answer)

    by_id = {}
    for rcpt, path in received:
        with open(path, "rb") as f:
            mail = email.message_from_binary_file(f, policy=email.policy.default)
        by_id[mail["Message-ID"]] = (rcpt, mail, path)
    expected_headers = {"from", "to", "subject", "date", "message-id", "mime-version",
                        "auto-submitted", "content-type", "content-transfer-encoding"}
    for note_id, destination, message, image, subject in mails:
        found = [k for k in by_id if k.startswith(f"<note-{note_id}.")]
        check(f"note {note_id} received", len(found) == 1, str(list(by_id)))
        if len(found) != 1:
            continue
        rcpt, mail, path = by_id[found[0]]
        check(f"note {note_id} message id", re.fullmatch(
            rf"<note-{note_id}\.[0-9a-f]{{16}}@pushnote-inbox>", found[0]), found[0])
        headers = expected_headers - ({"content-transfer-encoding"} if image else set())
        check(f"note {note_id} headers", {k.lower() for k in mail.keys()} == headers,
              str(mail.keys()))
        check(f"note {note_id} recipients", all(r.endswith("@example.org") and "evil" not in r
                                                for r in rcpt), str(rcpt))
        check(f"note {note_id} subject", mail["Subject"] == subject, repr(mail["Subject"]))
        with open(path, "rb") as f:
            raw_head = re.split(rb"\r?\n\r?\n", f.read())[0]
        check(f"note {note_id} short header lines",
              all(len(line) <= 78 for line in raw_head.splitlines()), repr(raw_head))
        text = mail.get_body(("plain",))
        check(f"note {note_id} body", text.get_payload(decode=True) == message,
              repr(text.get_payload(decode=True)))
        check(f"note {note_id} text type", text.get_content_type() == "text/plain" and
              text.get_content_charset() == "utf-8", text["Content-Type"])
        if image:
            attachments = list(mail.iter_attachments())
            check("attachment count", len(attachments) == 1, str(len(attachments)))
            part = attachments[0]
            check("attachment type", part.get_content_type() == "image/png",
                  part.get_content_type())
            check("attachment name", part.get_filename() == "chart__Bcc__x.png",
                  repr(part.get_filename()))
            check("attachment bytes", part.get_payload(decode=True) == png)
            check("attachment lines", all(len(line) <= 76 for line in
                                          part.get_payload().splitlines()))

    # Failures: a wrong password, no STARTTLS offered, a server not trusted.
    wrong = send(url("mailto", starttls, password="wrong%40pw"), 20, b"never")
    check("wrong password permanent", wrong.startswith("failed permanent 535: 535"), wrong)
    check("no password in the reply", "wrong" not in wrong and "s3cr" not in wrong, wrong)
    stripped = send(url("mailto", plain), 21, b"never")
    check("no STARTTLS refused", stripped.startswith("failed temporary") and
          "STARTTLS" in stripped, stripped)
    untrusted = send(url("mailtos", implicit), 22, b"never", ca="")  # system CAs only
    check("untrusted server refused", untrusted.startswith("failed temporary"), untrusted)
    refused = send("mailto://u:pw@localhost?to=a@x.org%0d%0aBcc:e@x.org&from=b@x.org", 23, b"")
    check("bad address refused", refused.startswith("refused: mail destination:"), refused)
    for what, answer in (("wrong password", wrong), ("no STARTTLS", stripped),
                         ("untrusted", untrusted), ("bad address", refused)):
        print(f"{what}: {answer}")
    check("nothing else received", len(received) == len(mails), str(len(received)))
finally:
    for controller in (starttls, implicit, plain):
        controller.stop()

print("FAILED" if failures else "all mail checks passed")
sys.exit(1 if failures else 0)
