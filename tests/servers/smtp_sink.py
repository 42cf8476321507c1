"""SMTP sink for the tests: accepts mail on 127.0.0.1 (plain with STARTTLS, and SMTPS), checks AUTH
against the test password when a client logs in, and delivers every message into the recipient's
Maildir below the mail root (the local part names the mailbox), where the test dovecot serves it.
Beside the Maildir, sent-raw/ keeps each delivery's bytes exactly as they arrived (NAME.eml) and
its envelope (NAME.json), for tests of what goes on the wire.

With --pipelining the EHLO reply offers PIPELINING (RFC 2920): the server reads commands from one
buffered stream, one after another, so commands sent ahead of their replies were always taken;
the switch only lets a client know it may. With --chunking it offers CHUNKING (RFC 3030) and takes
a message as BDAT chunks of a stated size, the last marked LAST."""

import argparse
import json
import os
import re
import ssl
import time

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword, syntax

MAIL_UID = 5000


class Authenticator:
    def __init__(self, password):
        self.password = password

    def __call__(self, server, session, envelope, mechanism, auth_data):
        if not isinstance(auth_data, LoginPassword):
            return AuthResult(success=False, handled=False)
        accepted = bool(auth_data.login) and auth_data.password.decode("utf-8", "replace") == self.password
        # handled=False: the server sends the usual 235 or 535 reply itself.
        return AuthResult(success=accepted, handled=False)


class MaildirDelivery:
    def __init__(self, mail_root, extensions=()):
        self.mail_root = mail_root
        self.extensions = list(extensions)
        self.counter = 0

    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        session.host_name = hostname
        # The extensions go before the closing "250 HELP" line.
        return responses[:-1] + ["250-" + extension for extension in self.extensions] + responses[-1:]

    def maildir(self, recipient):
        local = recipient.rsplit("@", 1)[0].strip("<>")
        if not local or "/" in local or local.startswith("."):
            return None
        home = os.path.join(self.mail_root, local)
        maildir = os.path.join(home, "Maildir")
        for folder in (home, maildir) + tuple(os.path.join(maildir, sub) for sub in ("tmp", "new", "cur")):
            if not os.path.isdir(folder):
                os.makedirs(folder, exist_ok=True)
                os.chown(folder, MAIL_UID, MAIL_UID)
        return maildir

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if self.maildir(address) is None:
            return "550 no such mailbox"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    def keep_raw(self, home, name, envelope):
        folder = os.path.join(home, "sent-raw")
        os.makedirs(folder, exist_ok=True)
        described = {"mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos,
                     "mail_options": envelope.mail_options}
        for suffix, data in ((".eml", envelope.original_content),
                             (".json", json.dumps(described, ensure_ascii=False).encode("utf-8"))):
            temporary = os.path.join(folder, "." + name + suffix)
            with open(temporary, "wb") as kept:
                kept.write(data)
            os.rename(temporary, os.path.join(folder, name + suffix))

    async def handle_DATA(self, server, session, envelope):
        content = envelope.original_content.replace(b"\r\n", b"\n")
        for recipient in envelope.rcpt_tos:
            maildir = self.maildir(recipient)
            self.counter += 1
            # Names sort in delivery order, as a mailbox lists them.
            name = "%d.sink%d_%06d.localhost" % (time.time(), os.getpid(), self.counter)
            temporary = os.path.join(maildir, "tmp", name)
            with open(temporary, "wb") as message:
                message.write(content)
                message.flush()
                os.fsync(message.fileno())
            os.chown(temporary, MAIL_UID, MAIL_UID)
            os.rename(temporary, os.path.join(maildir, "new", name))
            self.keep_raw(os.path.dirname(maildir), name, envelope)
        return "250 Message accepted for delivery"


class ChunkingSMTP(SMTP):
    """Takes BDAT besides DATA. Each chunk is read whole, as its size says, whatever the reply to
    it, so that a refused chunk is never read as commands."""

    @syntax("BDAT size [LAST]")
    async def smtp_BDAT(self, arg):
        found = re.fullmatch(r"(\d{1,10})(?: +(LAST))?", (arg or "").strip(), re.IGNORECASE)
        if not found:
            # The size of what follows is unknown, so it cannot be skipped: the session ends.
            await self.push("501 Syntax: BDAT size [LAST]")
            self.transport.close()
            return
        chunk = await self._reader.readexactly(int(found.group(1)))
        last = found.group(2) is not None
        if await self.check_helo_needed() or await self.check_auth_needed("BDAT"):
            return
        if not self.envelope.rcpt_tos:
            await self.push("503 Error: need RCPT command")
            return
        envelope = self.envelope
        if not hasattr(envelope, "chunks"):
            envelope.chunks = bytearray()
            envelope.too_much = False
        if not envelope.too_much:
            envelope.chunks += chunk
            if self.data_size_limit and len(envelope.chunks) > self.data_size_limit:
                envelope.too_much = True
                envelope.chunks = bytearray()
        if not last:
            await self.push("250 %d octets received" % len(chunk))
            return
        if envelope.too_much:
            status = "552 Error: Too much mail data"
        else:
            envelope.original_content = envelope.content = bytes(envelope.chunks)
            status = await self._call_handler_hook("DATA")
        self._set_post_data_state()
        await self.push(status if isinstance(status, str) else "250 OK")

    @syntax("DATA")
    async def smtp_DATA(self, arg):
        if hasattr(self.envelope, "chunks"):
            await self.push("503 Error: BDAT chunks already sent")
            return
        await super().smtp_DATA(arg)


class ChunkingController(Controller):
    def factory(self):
        return ChunkingSMTP(self.handler, **self.SMTP_kwargs)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--tls-port", type=int, required=True)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--mail-root", required=True)
    parser.add_argument("--password", required=True)
    # The controllers give up when their own first connection takes longer, as on a loaded machine.
    parser.add_argument("--ready-seconds", type=float, default=180)
    parser.add_argument("--pipelining", action="store_true", help="offer PIPELINING in the EHLO reply")
    parser.add_argument("--chunking", action="store_true", help="offer CHUNKING and take BDAT")
    options = parser.parse_args()

    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(options.cert, options.key)
    extensions = (["PIPELINING"] if options.pipelining else []) + (["CHUNKING"] if options.chunking else [])
    delivery = MaildirDelivery(options.mail_root, extensions)
    authenticator = Authenticator(options.password)
    common = dict(hostname="127.0.0.1", authenticator=authenticator, auth_required=False,
                  ready_timeout=options.ready_seconds)
    controller = ChunkingController if options.chunking else Controller
    plain = controller(delivery, port=options.port, tls_context=context, require_starttls=False,
                       auth_require_tls=True, **common)
    implicit = controller(delivery, port=options.tls_port, ssl_context=context, auth_require_tls=False, **common)
    plain.start()
    implicit.start()
    print("ready", flush=True)
    # The controllers serve from their own threads; this one only waits for SIGTERM.
    while True:
        time.sleep(3600)


if __name__ == "__main__":
    main()
