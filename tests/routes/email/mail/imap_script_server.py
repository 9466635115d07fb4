"""A scripted IMAP server with implicit TLS that answers as Gmail does, for the path that
Dovecot cannot take (X-GM-EXT-1, X-GM-RAW, the localised "All Mail" mailbox).

Usage: imap_script_server.py CERT KEY MESSAGE_FILE [MATCHES]

The search finds UID 7, or with MATCHES the UIDs 1 to MATCHES, newest first and 7 twice; only
UID 7 holds the message.

Prints "PORT <n>" once it listens on 127.0.0.1, then every command it receives, one a line
(the credentials of AUTHENTICATE replaced by "<credentials>"). Serves one connection, then
ends.
"""
import socket
import ssl
import sys


def main():
    cert, key, message_file = sys.argv[1:4]
    matches = int(sys.argv[4]) if len(sys.argv) > 4 else 0
    found = " ".join(str(uid) for uid in range(matches, 0, -1)) + " 7" if matches else "7"
    message = open(message_file, "rb").read()
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    print(f"PORT {listener.getsockname()[1]}", flush=True)
    connection, _ = listener.accept()
    with context.wrap_socket(connection, server_side=True) as tls:
        stream = tls.makefile("rwb")

        def say(text):
            stream.write(text if isinstance(text, bytes) else text.encode())
            stream.flush()

        say("* OK Gimap ready for requests from 192.0.2.1\r\n")
        capabilities = ("IMAP4rev1 UNSELECT IDLE NAMESPACE QUOTA ID XLIST CHILDREN X-GM-EXT-1 "
                        "XYZZY SASL-IR AUTH=XOAUTH2 AUTH=PLAIN AUTH=PLAIN-CLIENTTOKEN")
        for raw in stream:
            line = raw.decode("ascii", "replace").rstrip("\r\n")
            tag, _, rest = line.partition(" ")
            verb = rest.upper()
            if verb.startswith("AUTHENTICATE PLAIN "):
                print(f"{tag} AUTHENTICATE PLAIN <credentials>", flush=True)
            else:
                print(line, flush=True)
            if verb == "CAPABILITY":
                say(f"* CAPABILITY {capabilities}\r\n{tag} OK Thats all she wrote!\r\n")
            elif verb.startswith("AUTHENTICATE PLAIN "):
                say(f"{tag} OK ann@gmail.com authenticated (Success)\r\n")
            elif verb.startswith("LIST "):
                say('* LIST (\\HasNoChildren) "/" "INBOX"\r\n'
                    '* LIST (\\All \\HasNoChildren) "/" "[Gmail]/All Mail"\r\n'
                    '* LIST (\\HasNoChildren \\Sent) "/" "[Gmail]/Sent Mail"\r\n'
                    f"{tag} OK Success\r\n")
            elif verb.startswith("EXAMINE "):
                say(f"* 3 EXISTS\r\n{tag} OK [READ-ONLY] [Gmail]/All Mail selected. (Success)\r\n")
            elif verb.startswith("UID SEARCH X-GM-RAW "):
                say(f"* SEARCH {found}\r\n{tag} OK SEARCH completed (Success)\r\n")
            elif verb.startswith("UID FETCH "):
                if "7" in verb.split(" ")[2].split(","):
                    say(f"* 3 FETCH (UID 7 BODY[]<0> {{{len(message)}}}\r\n".encode() +
                        message + b")\r\n")
                say(f"{tag} OK Success\r\n")
            elif verb == "LOGOUT":
                say(f"* BYE LOGOUT Requested\r\n{tag} OK 73 good day (Success)\r\n")
                break
            else:
                say(f"{tag} BAD Unknown command\r\n")


if __name__ == "__main__":
    main()
