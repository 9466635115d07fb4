"""A local SMTP submission server with implicit TLS for the mail tests.

Usage: smtp_test_server.py CERT KEY [MODE[,MODE...]]

Prints "PORT <n>" once it listens on 127.0.0.1, then one JSON line per command it handles
({"command": "EHLO"}; AUTH, MAIL, RCPT, QUIT, and MESSAGE for the message after its final
".") and one per accepted message with the envelope and the message bytes (base64). The login ann@gmail.com / secret is
accepted; recipients containing "reject550", "reject553" or "toomany" are refused with
550, 553 and 452 4.5.3.
Modes: "pipelining" offers PIPELINING; "plain-only" and "login-only" offer just that AUTH
mechanism; "slow" answers every command after 0.3 s, "slower" after 1.2 s; "refuse-quit" answers QUIT with 500;
"silent-after-data" never answers the final "."; "starttls" listens without TLS and
requires STARTTLS (the submission port), "no-tls" offers no TLS at all; "stall" completes the TLS handshake and
then never says a word; "close-after-auth" closes the connection when the password arrives.
"answer-AUTH=<reply>", "answer-MAIL=<reply>", "answer-RCPT=<reply>" and "answer-MESSAGE=<reply>"
give that reply (percent-encoded; "|" parts a multi-line reply) to the login, the sender,
every recipient and the message after its final "."; the app password abcdefghijklmnop
signs in too.
Gmail's limits: "most-recipients=<n>" refuses a message's recipients past the n-th with 452
4.5.3, "daily=<n>" refuses every recipient past n accepted since the server started with 550
5.4.5. "answer-MESSAGE<k>=<reply>" answers only the k-th message so; "cut-MESSAGE<k>" closes
the connection when the k-th message's final "." arrives, with no reply; "close-MAIL<k>"
answers the k-th MAIL with 421 and closes the connection; "slow-MESSAGE"
answers each message 0.3 s after its final ".".
"chunking" offers CHUNKING: BDAT is told as "BDAT", and its LAST chunk ends the message as the
final "." does.
"""
import asyncio
import base64
import email
import email.policy
import json
import logging
import socket
import ssl
import sys
import threading
import time
import urllib.parse
import warnings

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

USER, PASSWORDS = b"ann@gmail.com", (b"secret", b"abcdefghijklmnop")
ANSWERS = {}


def answer(verb):
    """The reply the modes give to `verb`, as the server writes it, or None."""
    text = ANSWERS.get(verb)
    return None if text is None else text.replace("|", "\r\n")


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def said(command):
    print(json.dumps({"command": command}), flush=True)


def authenticate(server, session, envelope, mechanism, auth_data):
    said("AUTH")
    if CLOSE_AFTER_AUTH:
        server.transport.close()
        return AuthResult(success=False, handled=True)
    if answer("AUTH"):
        return AuthResult(success=False, handled=False, message=answer("AUTH"))
    if isinstance(auth_data, LoginPassword) and auth_data.login == USER and auth_data.password in PASSWORDS:
        return AuthResult(success=True)
    return AuthResult(success=False, handled=False)


CLOSE_AFTER_AUTH = False


def decoded(raw):
    """The message as a mail reader shows it, read by Python's own email package: its headers
    decoded, and the text of each part by its type."""
    message = email.message_from_bytes(raw, policy=email.policy.default)
    shown = {name.lower(): str(message[name]) for name in
             ("Subject", "From", "To", "Reply-To", "Organization", "Date", "Message-ID",
              "MIME-Version")
             if message[name] is not None}
    shown["defects"] = len(message.defects)
    for part in message.walk():
        if not part.is_multipart():
            shown[part.get_content_type()] = part.get_content()
    return shown


class Handler:
    def __init__(self, modes):
        self.modes = modes
        self.mails = 0
        self.messages = 0
        self.recipients_taken = 0

    async def pause(self):
        if "slow" in self.modes:
            await asyncio.sleep(0.3)
        if "slower" in self.modes:  # slow, but within a step's stall limit
            await asyncio.sleep(1.2)

    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        said("EHLO")
        session.host_name = hostname
        await self.pause()
        if "pipelining" in self.modes:
            responses.insert(1, "250-PIPELINING")
        if "chunking" in self.modes:
            responses.insert(1, "250-CHUNKING")
        return responses

    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        said("MAIL")
        await self.pause()
        self.mails += 1
        if f"close-MAIL{self.mails}" in self.modes:  # as Gmail does: the reply, then gone
            await server.push("421 4.7.0 Try again later, closing connection.")
            server.transport.close()
            return "421 4.4.2 Closed"  # never reaches the client
        if answer("MAIL"):
            return answer("MAIL")
        envelope.mail_from = address
        envelope.mail_options.extend(mail_options)
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        said("RCPT")
        await self.pause()
        if rcpt_options:
            return "555 5.5.4 unexpected parameters " + " ".join(rcpt_options)
        if answer("RCPT"):
            return answer("RCPT")
        if "most-recipients" in ANSWERS and len(envelope.rcpt_tos) >= int(ANSWERS["most-recipients"]):
            return "452 4.5.3 Your message has too many recipients"
        if "daily" in ANSWERS and self.recipients_taken + len(envelope.rcpt_tos) >= int(ANSWERS["daily"]):
            return "550 5.4.5 Daily user sending limit exceeded"
        if "reject550" in address:
            return "550 5.1.1 The email account that you tried to reach does not exist"
        if "reject553" in address:
            return "553 5.1.3 The recipient address is not a valid RFC 5321 address"
        if "defer450" in address:
            return "450 4.2.1 The user you are trying to contact is receiving mail too quickly"
        if "toomany" in address:
            return "452 4.5.3 Your message has too many recipients"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_QUIT(self, server, session, envelope):
        said("QUIT")
        if "refuse-quit" in self.modes:
            return "500 5.5.1 QUIT refused"
        return "221 Bye"

    async def handle_DATA(self, server, session, envelope):
        said("MESSAGE")
        self.messages += 1
        if "silent-after-data" in self.modes:
            await asyncio.sleep(120)
        if "slow-MESSAGE" in self.modes:
            await asyncio.sleep(0.3)
        if f"cut-MESSAGE{self.messages}" in self.modes:
            server.transport.close()
            return "421 4.4.2 Closed"  # never reaches the client
        if answer(f"MESSAGE{self.messages}"):
            return answer(f"MESSAGE{self.messages}")
        if answer("MESSAGE"):
            return answer("MESSAGE")
        self.recipients_taken += len(envelope.rcpt_tos)
        raw = envelope.original_content or envelope.content
        record = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "data": base64.b64encode(raw).decode(),
            "decoded": decoded(raw),
        }
        print(json.dumps(record), flush=True)
        return "250 2.0.0 OK queued"


class ChunkingSMTP(SMTP):
    """Takes BDAT as RFC 3030 has it: each chunk is read whole, even when it is refused."""

    chunks = b""

    async def smtp_BDAT(self, arg):
        said("BDAT")
        words = (arg or "").split()
        if not words or not words[0].isdigit() or words[1:] not in ([], ["LAST"]):
            await self.push("501 5.5.4 Syntax: BDAT size [LAST]")
            self.transport.close()  # the chunk's end cannot be found
            return
        chunk = await self._reader.readexactly(int(words[0]))
        if await self.check_auth_needed("BDAT"):
            return
        if not self.envelope.rcpt_tos:
            self.chunks = b""
            self._set_post_data_state()
            await self.push("554 5.5.1 Error: no valid recipients")
            return
        self.chunks += chunk
        if words[1:] != ["LAST"]:
            await self.push(f"250 2.0.0 {len(chunk)} octets received")
            return
        self.envelope.content = self.envelope.original_content = self.chunks
        self.chunks = b""
        status = await self._call_handler_hook("DATA")
        self._set_post_data_state()
        await self.push(status)


class ServerController(Controller):
    def factory(self):
        return ChunkingSMTP(self.handler, **self.SMTP_kwargs)


def stall(context, port):
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(8)
    print(f"PORT {port}", flush=True)

    def hold(connection):
        try:
            with context.wrap_socket(connection, server_side=True):
                time.sleep(120)
        except (OSError, ssl.SSLError):
            pass

    while True:
        connection, _ = listener.accept()
        threading.Thread(target=hold, args=(connection,), daemon=True).start()


def main():
    warnings.filterwarnings("ignore")
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)
    logging.getLogger("asyncio").setLevel(logging.CRITICAL)  # writes after a cut connection
    cert, key = sys.argv[1], sys.argv[2]
    modes = (sys.argv[3] if len(sys.argv) > 3 else "normal").split(",")
    global CLOSE_AFTER_AUTH
    CLOSE_AFTER_AUTH = "close-after-auth" in modes
    for mode in modes:
        if mode.startswith("answer-"):
            verb, _, reply = mode[len("answer-"):].partition("=")
            ANSWERS[verb] = urllib.parse.unquote(reply)
        elif mode.startswith(("most-recipients=", "daily=")):
            name, _, count = mode.partition("=")
            ANSWERS[name] = count
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    port = free_port()
    if "stall" in modes:
        stall(context, port)
        return
    excluded = ["LOGIN"] if "plain-only" in modes else ["PLAIN"] if "login-only" in modes else []
    if "starttls" in modes:  # the submission port: plain, then STARTTLS before anything else
        tls = dict(tls_context=context, require_starttls=True, auth_require_tls=True)
    elif "no-tls" in modes:  # a submission port that offers no STARTTLS
        tls = dict(auth_require_tls=False)
    else:
        tls = dict(ssl_context=context, auth_require_tls=False)
    controller = ServerController(Handler(modes), hostname="127.0.0.1", port=port,
                                  authenticator=authenticate, auth_required=True,
                                  auth_exclude_mechanism=excluded, **tls)
    controller.start()
    print(f"PORT {port}", flush=True)
    try:
        sys.stdin.read()  # runs until the test closes our input
    finally:
        controller.stop()


if __name__ == "__main__":
    main()
