"""A mail server on 127.0.0.1 that misbehaves in one way, for the bounds of the mail layer.

Usage: hostile_server.py CERT KEY MODE

Prints "PORT <n>" once it listens, then serves connections one after another, each for at
most 30 s, until its standard input closes. Modes:
  smtp-endless-line          greets, then answers EHLO with one line that never ends
  smtp-endless-continuation  greets, then answers EHLO with "250-" lines without end
  imap-endless-untagged      greets, then answers the first command with "* 1 EXISTS" without end
  imap-chained-literals      greets, then answers the first command with one response made
                             of 64 KiB literals without end
  imap-endless-bodies        greets, then answers the first command with 64 KiB FETCH
                             responses without end
  close-before-tls           closes each connection as soon as it is accepted
  reset-before-tls           resets each connection as soon as it is accepted
  greet                      greets as SMTP and waits (the certificate decides the outcome)
"""
import os
import base64
import socket
import ssl
import struct
import sys
import threading
import time

LIMIT_S = 30


def endless(stream, piece):
    end = time.monotonic() + LIMIT_S
    while time.monotonic() < end:
        stream.sendall(piece)


# Logins refused in the ways servers word it; "<n>" becomes the length of the line answered.
LOGINS = {
    "imap-login-no": (b"SASL-IR ", [b"a2 NO [AUTHENTICATIONFAILED] Invalid credentials (Failure)\r\n"]),
    "imap-login-bad": (b"SASL-IR ", [b"a2 BAD Invalid credentials (Failure)\r\n"]),
    "imap-login-in-two-steps": (b"", [b"+ \r\n", b"a2 NO credentials of <n> bytes\r\n"]),
    "imap-login-without-continuation": (b"", [b"a2 NO " + b"n" * 300 + b"\r\n"]),
    "imap-close-at-login": (b"", []),  # gone before the credentials
    # A busy server: none of these refuses the password.
    "imap-login-unavailable": (b"SASL-IR ", [b"a2 NO [UNAVAILABLE] Try again later\r\n"]),
    "imap-login-serverbug": (b"SASL-IR ", [b"a2 NO [SERVERBUG] Internal error\r\n"]),
    "imap-login-limit-before-continuation": (b"", [b"a2 NO [LIMIT] Too many sessions\r\n"]),
    "imap-login-bye": (b"SASL-IR ", [b"* BYE Shutting down\r\n"]),
    "imap-login-alert-before-continuation": (
        b"", [b"* OK [ALERT] Maintenance tonight\r\n* CAPABILITY IMAP4rev1\r\n+ \r\n",
              b"a2 NO credentials of <n> bytes\r\n"]),
    # Literals that are none: a size that is no number, and a "{5}" in a status text.
    "imap-literal-unparsable": (b"SASL-IR ", [b"* 1 FETCH (BODY[] {18446744073709551615}\r\n"]),
    "imap-literal-negative": (b"SASL-IR ", [b"* 1 FETCH (BODY[] {-1}\r\n"]),
    "imap-literal-in-status": (b"SASL-IR ", [b"a2 NO [AUTHENTICATIONFAILED] Bad {5}\r\n"]),
}


def serve(tls, mode):
    if mode == "smtp-trickle":  # a greeting of 2 s, a line at a time; then silence
        for _ in range(8):
            tls.sendall(b"220-smtp.gmail.com takes its time\r\n")
            time.sleep(0.25)
        tls.sendall(b"220 smtp.gmail.com ESMTP ready\r\n")
        tls.recv(4096)
        time.sleep(LIMIT_S)
        return
    if mode.startswith("smtp") or mode == "greet":
        tls.sendall(b"220 smtp.gmail.com ESMTP ready\r\n")
    else:
        tls.sendall(b"* OK Gimap ready\r\n")
    if mode == "greet":
        time.sleep(LIMIT_S)
        return
    tls.recv(4096)  # the first command
    if mode == "smtp-endless-line":
        tls.sendall(b"250-smtp.gmail.com at your service ")
        endless(tls, b"x" * 65536)
    elif mode.startswith("smtp-echo-"):  # the login's own bytes sent back in the refusal
        tls.sendall(b"250-smtp.gmail.com\r\n250 AUTH PLAIN\r\n")
        login = base64.b64decode(tls.recv(4096).split()[-1])
        if mode.startswith("smtp-echo-base64-"):  # shifted by 0, 1 or 2 bytes in a longer run
            shift = int(mode[-1])
            echo = base64.b64encode(b"x" * shift + login + b"yz")
            tls.sendall(b"501 5.5.2 Cannot decode " + echo + b"\r\n")
        elif mode == "smtp-echo-urlsafe":  # the password alone, in the URL-safe alphabet
            password = login.split(b"\0")[-1]
            tls.sendall(b"501 5.5.2 Cannot decode " + base64.urlsafe_b64encode(password) +
                        b"\r\n")
        elif mode == "smtp-echo-hex":
            tls.sendall(b"535 5.7.8 " + login.hex().encode() + b" not accepted\r\n")
        elif mode == "smtp-echo-split":  # the password over two lines of the reply
            password = login.split(b"\0")[-1]
            tls.sendall(b"535-5.7.8 Password " + password[:3] + b"\r\n535 5.7.8 " + password[3:] +
                        b" not accepted\r\n")
        else:  # a line that is no SMTP reply at all
            tls.sendall(b"oops " + base64.b64encode(login) + b"\r\n")
        tls.recv(4096)
    elif mode == "smtp-endless-continuation":
        endless(tls, b"250-SIZE 35882577\r\n" * 4096)
    elif mode == "imap-endless-untagged":
        endless(tls, b"* 1 EXISTS\r\n" * 8192)
    elif mode == "imap-chained-literals":
        tls.sendall(b"* CAPABILITY (")
        endless(tls, b"X {65536}\r\n" + b"y" * 65536 + b" ")
    elif mode in LOGINS:  # the capabilities, then the answers to the login's lines in turn
        capabilities, answers = LOGINS[mode]
        tls.sendall(b"* CAPABILITY IMAP4rev1 " + capabilities + b"AUTH=PLAIN\r\na1 OK done\r\n")
        for answer in answers:
            line = tls.recv(4096).strip()
            tls.sendall(answer.replace(b"<n>", str(len(line)).encode()))
        tls.recv(4096)
    elif mode == "imap-endless-bodies":
        endless(tls, b"* 1 FETCH (BODY[] {65536}\r\n" + b"z" * 65536 + b")\r\n")


def handle(connection, context, mode):
    try:
        if mode == "close-before-tls":
            connection.close()
            return
        if mode == "starttls-then-close":  # the submission port agrees to STARTTLS, then leaves
            connection.sendall(b"220 smtp.gmail.com ESMTP ready\r\n")
            connection.recv(4096)
            connection.sendall(b"250-smtp.gmail.com\r\n250 STARTTLS\r\n")
            connection.recv(4096)
            connection.sendall(b"220 2.0.0 Ready to start TLS\r\n")
            connection.close()
            return
        if mode == "reset-before-tls":
            connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            connection.close()
            return
        with context.wrap_socket(connection, server_side=True) as tls:
            serve(tls, mode)
    except (OSError, ssl.SSLError):
        pass  # the client gave up, as it should
    finally:
        connection.close()


def main():
    cert, key, mode = sys.argv[1:4]
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    print(f"PORT {listener.getsockname()[1]}", flush=True)

    def accept():
        while True:
            connection, _ = listener.accept()
            threading.Thread(target=handle, args=(connection, context, mode), daemon=True).start()

    threading.Thread(target=accept, daemon=True).start()
    sys.stdin.read()  # ends with the test that started it
    os._exit(0)


if __name__ == "__main__":
    main()
