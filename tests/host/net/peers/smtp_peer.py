"""SMTP peers on 127.0.0.1 for the mail tests, one port per mode:
  cram   AUTH CRAM-MD5, LOGIN and PLAIN offered (user "tim", password "secret")
  login  AUTH LOGIN only          plain  AUTH PLAIN only
  none   no AUTH at all           ehlo502  EHLO answered 502 (the client falls back to HELO)
Every message taken is saved as SPOOL/NNNN.eml (the DATA bytes as received) with a line in
SPOOL/log.txt: mode, mechanism, sender and recipients. Prints "PORTS mode=port ..." once listening."""
import asyncio
import hashlib
import hmac
import os
import sys

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult

USER, PASSWORD = b"tim", b"secret"
CHALLENGE = b"<4711.1702216800@vorlo.test>"
spool = sys.argv[1]
quiet = len(sys.argv) > 2 and sys.argv[2] == "--no-save"
count = 0


class Handler:
    def __init__(self, mode):
        self.mode = mode

    async def auth_CRAM__MD5(self, server, args):
        answer = await server.challenge_auth(CHALLENGE)
        if not isinstance(answer, bytes) or b" " not in answer:
            return AuthResult(success=False, handled=False)
        user, digest = answer.rsplit(b" ", 1)
        expected = hmac.new(PASSWORD, CHALLENGE, hashlib.md5).hexdigest().encode()
        ok = user == USER and hmac.compare_digest(digest, expected)
        return AuthResult(success=ok, handled=False, auth_data="CRAM-MD5")

    async def handle_DATA(self, server, session, envelope):
        global count
        count += 1
        if not quiet:
            with open(os.path.join(spool, "%04d.eml" % count), "wb") as f:
                f.write(envelope.original_content)
            mech = session.auth_data if isinstance(session.auth_data, str) else (
                "LOGIN/PLAIN" if session.auth_data else "none")
            with open(os.path.join(spool, "log.txt"), "a", newline="\r\n") as f:
                f.write("%s %s %s %s\n" % (self.mode, mech, envelope.mail_from, ",".join(envelope.rcpt_tos)))
        return "250 OK"


def check(server, session, envelope, mechanism, data):
    ok = data.login == USER and data.password == PASSWORD
    return AuthResult(success=ok, handled=False, auth_data=mechanism)


class Ehlo502(SMTP):
    async def smtp_EHLO(self, hostname):
        await self.push("502 5.5.1 EHLO not here")


MODES = {
    "cram": dict(exclude=[]),
    "login": dict(exclude=["CRAM-MD5", "PLAIN"]),
    "plain": dict(exclude=["CRAM-MD5", "LOGIN"]),
    "none": dict(exclude=["CRAM-MD5", "LOGIN", "PLAIN"]),
    "ehlo502": dict(exclude=[], cls=Ehlo502),
}


class Peer(Controller):
    def __init__(self, mode, spec):
        self.spec = spec
        super().__init__(Handler(mode), hostname="127.0.0.1", port=0, auth_require_tls=False,
                         authenticator=check, auth_exclude_mechanism=spec["exclude"])

    def factory(self):
        cls = self.spec.get("cls", SMTP)
        return cls(self.handler, **self.SMTP_kwargs)

    def _trigger_server(self):
        self.port = self.server.sockets[0].getsockname()[1]  # bound to a free port: look where
        super()._trigger_server()


def main():
    peers = {}
    for mode, spec in MODES.items():
        c = Peer(mode, spec)
        c.start()
        peers[mode] = c.port
    print("PORTS " + " ".join("%s=%d" % kv for kv in peers.items()), flush=True)
    import threading
    threading.Event().wait()


main()
