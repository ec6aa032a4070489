#!/usr/bin/python3
"""A mail server on loopback for the demo: STARTTLS required, then AUTH with
USER and PASSWORD; each mail it receives is written to OUTDIR as N.eml. It
prints its port once listening and ends after MAX_SECONDS.

usage: demo-mail-receiver.py CERT KEY USER PASSWORD OUTDIR MAX_SECONDS
"""
import logging
import os
import socket
import ssl
import sys
import time
import warnings

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

cert, key, user, password, outdir, max_seconds = sys.argv[1:7]
warnings.filterwarnings("ignore")
logging.getLogger("mail.log").setLevel(logging.CRITICAL)
os.makedirs(outdir, exist_ok=True)


class Keeper:
    count = 0

    async def handle_DATA(self, server, session, envelope):
        Keeper.count += 1
        with open(os.path.join(outdir, f"{Keeper.count}.eml"), "wb") as out:
            out.write(envelope.content)
        return "250 2.0.0 kept"


def authenticate(server, session, envelope, mechanism, data):
    ok = isinstance(data, LoginPassword) and data.login == user.encode() \
        and data.password == password.encode()
    return AuthResult(success=ok, handled=False)


with socket.socket() as probe:
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
tls = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
tls.load_cert_chain(cert, key)
controller = Controller(Keeper(), hostname="127.0.0.1", port=port, server_hostname="localhost",
                        tls_context=tls, require_starttls=True, auth_required=True,
                        auth_require_tls=True, authenticator=authenticate)
controller.start()
print(port, flush=True)
try:
    time.sleep(float(max_seconds))
finally:
    controller.stop()
