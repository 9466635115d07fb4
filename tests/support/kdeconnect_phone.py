"""Scripted Android phones that speak KDE Connect's network protocol to a daemon on 127.0.0.1.

Usage: kdeconnect_phone.py <log file> <id>=<name>...
Written from the protocol as kdeconnect-kde 22.12 speaks it (core/backends/lan): each phone
opens TCP to the daemon's port 1716 and sends its identity (protocol version 7, a JSON packet a
line) offering texting; the daemon starts TLS as the client, the phone answering with a
self-signed certificate whose common name is its id. A pair request is accepted. Each
"kdeconnect.sms.request" goes to the log file as "SMS <id> <addresses as JSON> <text as JSON>",
and the phone shows it sent (a "kdeconnect.sms.messages" packet, type 2), as the Android app does.
Lines on standard input, each answered by "DONE":
- "receive <id> <number>[,<number>...] <text>": the phone received a text (type 1), of a group
  conversation where several numbers are named;
- "fail <id> <number>": the phone could not send its last text to that number (type 5);
- "reach <id> 0|1": the phone drops its connection, or opens it again.
"""

import json
import os
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time

IDENTITY = "kdeconnect.identity"


def packet(kind, body):
    return (json.dumps({"id": int(time.time() * 1000), "type": kind, "body": body}) + "\n").encode()


class Phone:
    def __init__(self, folder, phone_id, name, log_path):
        self.phone_id, self.name, self.log_path = phone_id, name, log_path
        self.key = os.path.join(folder, phone_id + ".key")
        self.certificate = os.path.join(folder, phone_id + ".pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30",
                        "-keyout", self.key, "-out", self.certificate,
                        "-subj", f"/O=KDE/OU=Kde connect/CN={phone_id}"],
                       check=True, capture_output=True)
        self.link = None
        self.lock = threading.Lock()
        self.uid = 0
        self.threads = {}

    def connect(self):
        deadline = time.monotonic() + 30
        while True:
            try:
                plain = socket.create_connection(("127.0.0.1", 1716), timeout=5)
                break
            except OSError:
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.2)
        plain.sendall(packet(IDENTITY, {
            "deviceId": self.phone_id, "deviceName": self.name, "deviceType": "phone",
            "protocolVersion": 7, "tcpPort": 1716,
            "incomingCapabilities": ["kdeconnect.sms.request",
                                     "kdeconnect.sms.request_conversations",
                                     "kdeconnect.sms.request_conversation"],
            "outgoingCapabilities": ["kdeconnect.sms.messages"]}))
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(self.certificate, self.key)
        context.set_ciphers("DEFAULT:@SECLEVEL=1")
        plain.settimeout(None)
        self.link = context.wrap_socket(plain, server_side=True)
        threading.Thread(target=self.read, args=(self.link,), daemon=True).start()

    def drop(self):
        link, self.link = self.link, None
        if link:
            try:
                link.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            link.close()

    def send(self, kind, body):
        with self.lock:
            if self.link:
                self.link.sendall(packet(kind, body))

    def show(self, number, body, kind):
        self.uid += 1
        thread = self.threads.setdefault(number, len(self.threads) + 1)
        self.send("kdeconnect.sms.messages", {"version": 2, "messages": [{
            "event": 1, "body": body, "addresses": [{"address": n} for n in number.split(",")],
            "date": int(time.time() * 1000), "type": kind, "read": 1, "thread_id": thread,
            "_id": self.uid, "sub_id": -1}]})

    def read(self, link):
        pending = b""
        while True:
            try:
                data = link.recv(65536)
            except (OSError, ValueError):
                return
            if not data:
                return
            pending += data
            while b"\n" in pending:
                line, pending = pending.split(b"\n", 1)
                try:
                    received = json.loads(line)
                except ValueError:
                    continue
                kind, body = received.get("type"), received.get("body", {})
                if kind == "kdeconnect.pair" and body.get("pair"):
                    self.send("kdeconnect.pair", {"pair": True})
                elif kind == "kdeconnect.sms.request":
                    numbers = [a.get("address", "") for a in body.get("addresses", [])]
                    text = body.get("messageBody", "")
                    with open(self.log_path, "a", encoding="utf-8") as out:
                        out.write(f"SMS {self.phone_id} {json.dumps(numbers)} "
                                  f"{json.dumps(text)}\n")
                    if numbers:
                        self.show(numbers[0], text, 2)


def main():
    log_path = sys.argv[1]
    with tempfile.TemporaryDirectory() as folder:
        phones = {}
        for argument in sys.argv[2:]:
            phone_id, name = argument.split("=", 1)
            phones[phone_id] = Phone(folder, phone_id, name, log_path)
            phones[phone_id].connect()
        print("READY", flush=True)
        for line in sys.stdin:
            words = line.split(maxsplit=3)
            if words and words[0] == "receive":
                phones[words[1]].show(words[2], words[3].rstrip("\n"), 1)
            elif words and words[0] == "fail":
                phones[words[1]].show(words[2], "", 5)
            elif words and words[0] == "reach":
                phones[words[1]].drop()
                if words[2] == "1":
                    phones[words[1]].connect()
            time.sleep(0.3)  # the daemon takes it in
            print("DONE", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
