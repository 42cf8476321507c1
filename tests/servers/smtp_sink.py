"""SMTP sink for the tests: accepts mail on 127.0.0.1 (plain with STARTTLS, and SMTPS), checks AUTH
against the test password when a client logs in, and delivers every message into the recipient's
Maildir below the mail root (the local part names the mailbox), where the test dovecot serves it.
Beside the Maildir, sent-raw/ keeps each delivery's bytes exactly as they arrived (NAME.eml) and
its envelope (NAME.json), for tests of what goes on the wire."""

import argparse
import json
import os
import ssl
import time

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

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
    def __init__(self, mail_root):
        self.mail_root = mail_root
        self.counter = 0

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
    options = parser.parse_args()

    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(options.cert, options.key)
    delivery = MaildirDelivery(options.mail_root)
    authenticator = Authenticator(options.password)
    common = dict(hostname="127.0.0.1", authenticator=authenticator, auth_required=False,
                  ready_timeout=options.ready_seconds)
    plain = Controller(delivery, port=options.port, tls_context=context, require_starttls=False,
                       auth_require_tls=True, **common)
    implicit = Controller(delivery, port=options.tls_port, ssl_context=context, auth_require_tls=False, **common)
    plain.start()
    implicit.start()
    print("ready", flush=True)
    # The controllers serve from their own threads; this one only waits for SIGTERM.
    while True:
        time.sleep(3600)


if __name__ == "__main__":
    main()
