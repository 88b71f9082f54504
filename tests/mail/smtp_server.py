#!/usr/bin/python3
"""SMTP server of the mail tests, on 127.0.0.1 only.

usage: smtp_server.py MAIL_ROOT USERS_FILE CERT KEY [RUN_AS]

Listens on two free ports, one with STARTTLS and one with TLS from the first byte, prints
"<starttls port> <tls port>" and serves until it is terminated. Logins are checked against
USERS_FILE (dovecot's passwd-file form, "name:{PLAIN}password:…") and are taken only over TLS.
Each recipient's copy is delivered into MAIL_ROOT/<local part>/Maildir, where the test's
IMAP server reads it. Started as root, it drops to RUN_AS after reading the key.
"""
import asyncio
import mailbox
import os
import pwd
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def read_users(path):
    users = {}
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            name, password = line.strip().split(":")[:2]
            users[name] = password.removeprefix("{PLAIN}")
    return users


class MaildirDelivery:
    def __init__(self, root):
        self.root = root

    async def handle_DATA(self, server, session, envelope):
        for recipient in envelope.rcpt_tos:
            home = os.path.join(self.root, recipient.split("@")[0])
            os.makedirs(home, exist_ok=True)
            box = mailbox.Maildir(os.path.join(home, "Maildir"), create=True)
            box.add(envelope.original_content)
        return "250 OK delivered"


def main():
    root, users_file, cert, key = sys.argv[1:5]
    run_as = sys.argv[5] if len(sys.argv) > 5 else None
    users = read_users(users_file)
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    if run_as and os.getuid() == 0:
        account = pwd.getpwnam(run_as)
        os.setgid(account.pw_gid)
        os.setuid(account.pw_uid)

    def authenticate(server, session, envelope, mechanism, auth_data):
        known = isinstance(auth_data, LoginPassword) and users.get(
            auth_data.login.decode()) == auth_data.password.decode()
        return AuthResult(success=known, handled=False)

    def starttls_server():
        return SMTP(MaildirDelivery(root), hostname="127.0.0.1", tls_context=context,
                    require_starttls=True, authenticator=authenticate, auth_required=True)

    def tls_server():
        return SMTP(MaildirDelivery(root), hostname="127.0.0.1", authenticator=authenticate,
                    auth_required=True, auth_require_tls=False)

    async def serve():
        loop = asyncio.get_running_loop()
        plain = await loop.create_server(starttls_server, "127.0.0.1", 0)
        secure = await loop.create_server(tls_server, "127.0.0.1", 0, ssl=context)
        ports = [s.sockets[0].getsockname()[1] for s in (plain, secure)]
        print(*ports, flush=True)
        await asyncio.gather(plain.serve_forever(), secure.serve_forever())

    asyncio.run(serve())


if __name__ == "__main__":
    main()
