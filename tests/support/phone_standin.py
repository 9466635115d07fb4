"""A stand-in for a phone running SMS Gateway for Android in its local-server mode.

Written from the app's published API (phone_api_schema.json, beside this script, says where it
came from) and from its local server's sources (WebService.kt, MessagesRoutes.kt,
InboxRoutes.kt). Every request is checked against the schemas, and every answer is the app's:
Basic authentication (a wrong login gets 401 with no body, as the app's server answers, though
the file names an error body), 202 with the message's state for a text taken, 409 for an id
taken before, GET /health answered 500 while the app is not ready (the file says 503; 503 comes
only from the app's cloud server, and here only when the script asks for it).

Usage: phone_standin.py <log file> <user> <password> [--tls <certificate> <key>]
Prints "PORT <n>" once it listens on 127.0.0.1, and runs until standard input closes. Lines on
standard input change what it does, each answered "DONE":
- "fate <number> sent|late|delivered|pending|failed <error>|refused <status> <message>": what
  becomes of the next text to that number (sent: Sent once asked; late: Pending for the first
  three asks, then Sent; delivered: Delivered on the ask after Sent; pending: stays Pending;
  failed: Failed with that error; refused: the POST itself answered with that status and
  message). A number without a fate: sent.
- "inbox <sender> <text>": the phone receives a text now.
- "hang unread|taken|state <n>": the n-th POST /messages from now is never answered, and the
  phone never got it (unread) or took it (taken); or the n-th read of a text's state is never
  answered (state). "HUNG <kind>" goes to the log when it comes.
- "mode normal|unauthorized|busy|not-ready|slow|unhurried|endless|garbage": every answer 401;
  POST 503; /health 500; answers after 15 s, or after 2 s; an answer that never ends; GET
  answers that are no JSON.
What it was asked goes to the log file: "ASK <method> <path>" a line, "BAD <reason>" after a
request its schema refuses, and "TEXT <number> <id>" for each text taken. The phone keeps its
own record of the texts it took: a second text of the same words to one phone, whatever its
id, is "BAD twice <number>".
"""

import base64
import datetime
import json
import os
import ssl
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

import jsonschema

SCHEMA = json.load(open(os.path.join(os.path.dirname(__file__), "phone_api_schema.json")))
# The app's device id, longer than the 21 letters the file allows (the app is followed).
DEVICE = "parlivoStandInDeviceId0123456789"
STATE = {"mode": "normal", "fates": {}, "messages": {}, "inbox": [], "hang": None,
         "asked": {}}
LOCK = threading.Lock()


def now():
    return datetime.datetime.now(datetime.timezone.utc)


def stamp(when):
    # As the app's JSON writes dates: milliseconds and the zone.
    return when.isoformat(timespec="milliseconds").replace("+00:00", "+00:00")


def problems(name, value):
    validator = jsonschema.Draft7Validator(
        dict(SCHEMA, **{"$ref": f"#/definitions/{name}"}),
        format_checker=jsonschema.FormatChecker())
    return [error.message for error in validator.iter_errors(value)]


class Phone(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    disable_nagle_algorithm = True  # the head and the body of an answer go at once
    log_path = None
    login = None

    def log_message(self, *args):
        pass

    def note(self, line):
        with open(self.log_path, "a") as log:
            log.write(line + "\n")

    def answer(self, status, value=None, schema=None):
        mode = STATE["mode"]
        if mode == "slow":
            time.sleep(15)
        if mode == "unhurried":
            time.sleep(2)
        if mode == "endless":
            self.send_response(200)
            self.send_header("Content-Type", "application/json")
            self.end_headers()
            try:
                self.wfile.write(b"[")
                while True:
                    self.wfile.write(b'{"id":"x","sender":"+1","contentPreview":"' +
                                     b"a" * 4096 + b'"},')
            except OSError:
                return
        body = b"" if value is None else json.dumps(value).encode()
        if schema and value is not None:
            for problem in problems(schema, value):
                self.note(f"BAD ANSWER {problem}")
        self.send_response(status)
        if body:
            self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def authorised(self):
        expected = "Basic " + base64.b64encode(self.login.encode()).decode()
        if STATE["mode"] == "unauthorized" or self.headers.get("Authorization") != expected:
            self.answer(401)  # the app's server sends no body with it
            return False
        return True

    def hangs(self, kind):
        """Whether this request is the one "hang" names: counted, noted, and never answered."""
        with LOCK:
            hang = STATE["hang"]
            counted = "post" if kind in ("unread", "taken") else kind
            STATE["asked"][counted] = STATE["asked"].get(counted, 0) + 1
            if not hang or hang[0] != kind or STATE["asked"][counted] != hang[1]:
                return False
            STATE["hang"] = None
        self.note(f"HUNG {kind}")
        return True

    def route(self, method):
        url = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(url.query))
        self.note(f"ASK {method} {url.path}")
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""
        if url.path == "/health" and method == "GET":
            ready = STATE["mode"] != "not-ready"
            return self.answer(200 if ready else 500,
                               {"status": "pass" if ready else "fail", "version": "1.0",
                                "releaseId": 1, "checks": {}}, "HealthResponse")
        if not self.authorised():
            return None
        if STATE["mode"] == "garbage" and method == "GET":
            return self.answer(200, "not what the file says")
        if url.path == "/messages" and method == "POST":
            hang = STATE["hang"]
            kind = hang[0] if hang and hang[0] in ("unread", "taken") else "unread"
            if self.hangs(kind):
                if kind == "taken":
                    self.take(body, query, answer=False)
                time.sleep(3600)
                return None
            return self.take(body, query)
        if url.path == "/messages" and method == "GET":
            return self.answer(200, [self.state(m) for m in self.recent(query)], "MessageStates")
        if url.path.startswith("/messages/") and method == "GET" and self.hangs("state"):
            time.sleep(3600)
            return None
        if url.path.startswith("/messages/") and method == "GET":
            message = STATE["messages"].get(urllib.parse.unquote(url.path[len("/messages/"):]))
            return self.answer(200, self.state(message, asked=True), "MessageState") \
                if message else self.answer(404)
        if url.path == "/inbox" and method == "GET":
            return self.inbox(query)
        self.note(f"BAD no such call in the file: {method} {url.path}")
        return self.answer(404)

    def take(self, body, query, answer=True):
        try:
            request = json.loads(body)
        except ValueError:
            self.note("BAD the request is no JSON")
            return self.answer(400, {"message": "Invalid request body"})
        for problem in problems("Message", request):
            self.note(f"BAD {problem}")
        if STATE["mode"] == "busy":
            return self.answer(503, {"message": "Queue limits exceeded; ensure device is online"},
                               "ErrorResponse")
        number = request["phoneNumbers"][0]
        fate = STATE["fates"].get(number, ["sent"])
        if fate[0] == "refused":
            return self.answer(int(fate[1]), {"message": " ".join(fate[2:])}, "ErrorResponse")
        with LOCK:
            if request.get("id") in STATE["messages"]:
                return self.answer(409, {"message": "Message with the same ID already exists"},
                                   "ErrorResponse")
            message = {"id": request["id"], "number": number, "fate": fate, "asked": 0,
                       "created": now(), "text": request["textMessage"]["text"]}
            STATE["messages"][request["id"]] = message
            STATE["fates"].pop(number, None)
            # A text that failed may go again; one the phone sent or holds may not.
            twice = any(m["number"] == number and m["text"] == message["text"] and
                        m["fate"][0] != "failed" and m is not message
                        for m in STATE["messages"].values())
        self.note(f"TEXT {number} {request['id']}")
        if twice:
            self.note(f"BAD twice {number}")
        return self.answer(202, self.state(message), "MessageState") if answer else None

    def state(self, message, asked=False):
        if asked:
            message["asked"] += 1
        fate, error = message["fate"][0], " ".join(message["fate"][1:])
        state = {"sent": "Sent", "late": "Pending" if message["asked"] <= 3 else "Sent",
                 "delivered": "Sent" if message["asked"] < 2 else "Delivered",
                 "pending": "Pending", "failed": "Failed"}[fate] if message["asked"] else "Pending"
        recipient = {"phoneNumber": message["number"], "state": state}
        if state == "Failed":
            recipient["error"] = error
        return {"id": message["id"], "deviceId": DEVICE, "state": state, "isHashed": False,
                "isEncrypted": False, "recipients": [recipient],
                "states": {"Pending": stamp(message["created"])}}

    def recent(self, query):
        since = query.get("from")
        messages = sorted(STATE["messages"].values(), key=lambda m: m["created"], reverse=True)
        if since:
            since = datetime.datetime.fromisoformat(since.replace("Z", "+00:00"))
            messages = [m for m in messages if m["created"] >= since]
        for message in messages:
            message["asked"] += 1
        return messages[:int(query.get("limit", 50))]

    def inbox(self, query):
        limit = int(query.get("limit", 50))
        if not 1 <= limit <= 500:
            self.note("BAD limit must be between 1 and 500")
            return self.answer(400, {"message": "limit must be between 1 and 500"})
        texts = list(reversed(STATE["inbox"]))
        if query.get("from"):
            since = datetime.datetime.fromisoformat(query["from"].replace("Z", "+00:00"))
            texts = [t for t in texts if t["when"] >= since]
        return self.answer(200, [{"id": t["id"], "type": "SMS", "sender": t["sender"],
                                  "recipient": "+15550009999", "simNumber": 1,
                                  "contentPreview": t["text"], "createdAt": stamp(t["when"])}
                                 for t in texts[:limit]], "IncomingMessages")

    def do_GET(self):
        self.route("GET")

    def do_POST(self):
        self.route("POST")


def main():
    log_path, user, password = sys.argv[1:4]
    Phone.log_path = log_path
    Phone.login = f"{user}:{password}"
    server = ThreadingHTTPServer(("127.0.0.1", 0), Phone)
    server.daemon_threads = True
    if "--tls" in sys.argv:
        at = sys.argv.index("--tls")
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(sys.argv[at + 1], sys.argv[at + 2])
        server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    print(f"PORT {server.server_address[1]}", flush=True)
    for line in sys.stdin:
        words = line.split()
        if not words:
            continue
        with LOCK:
            if words[0] == "hang":
                STATE["hang"] = (words[1], int(words[2]))
                STATE["asked"] = {}
            elif words[0] == "fate":
                STATE["fates"][words[1]] = words[2:]
            elif words[0] == "inbox":
                STATE["inbox"].append({"id": f"in{len(STATE['inbox']) + 1}", "sender": words[1],
                                       "text": line.split(maxsplit=2)[2].strip(), "when": now()})
            elif words[0] == "mode":
                STATE["mode"] = words[1]
        print("DONE", flush=True)
    server.shutdown()
    return 0


if __name__ == "__main__":
    sys.exit(main())
