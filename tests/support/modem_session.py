"""Debian's ModemManager in its test mode on private buses, with a scripted AT modem.

Usage: modem_session.py <log file> [--pin] [--unregistered] [--no-modem] [--deny]
Prints "BUS <address>" once the modem is attached (the bus ModemManager serves, as a desktop
client finds it on its system bus), and keeps it all until standard input closes. Lines on
standard input push what a network sends the modem, each answered by "DONE":
- "report <number> <reference> <status>": a status report (+CDS; status 0 delivered, 64 and
  up failed for good);
- "incoming <number> <text>": a text received and stored (+CMTI, then read with AT+CMGR);
  past 160 letters, in parts of 153, each stored and announced as it comes;
- "attach": the scripted modem is plugged in (after --no-modem);
- "stop": ModemManager goes away. What the modem was asked goes to the log file:
"CMD <command>" a line, and "TEXT <number> report=<0|1> <pdu>" for each text sent.

- the modem answers the generic plugin's probing, then messaging in PDU mode: AT+CMGS,
  the "> " prompt, the PDU and Ctrl-Z give "+CMGS: <reference>"; a number written to
  "<log file>.refuse" (one a line) gets "+CMS ERROR: 332" instead;
- --pin: the SIM waits for its PIN; --unregistered: no network answers the registration;
- --no-modem: no modem is attached;
- --deny: the system's policy refuses this session: a stand-in answers in ModemManager's
  place (modem_policy_standin.py), since the daemon's test mode lets every caller through.
ModemManager's system bus is a second private one, with python3-dbusmock's polkitd template
on it (in its test mode the daemon allows every caller). Nothing touches the machine's own
system bus.
"""

import os
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

from keyring_session import BUS_CONFIG  # the same private bus, beside this script

ANSWERS = {
    "AT": "OK", "ATE0": "OK", "ATV1": "OK", "AT+CMEE=1": "OK", "ATX4": "OK", "AT&C1": "OK",
    "AT+IFC=1,1": "OK", "AT+GCAP": "+GCAP: +CGSM +DS +ES\r\n\r\nOK",
    "ATI": "Manufacturer: Test\r\nModel: Scripted\r\nRevision: 1\r\n\r\nOK",
    "AT+WS46=?": "+WS46: (12,22)\r\n\r\nOK", "AT+CGMI": "Test\r\n\r\nOK",
    "AT+CGMM": "Scripted\r\n\r\nOK", "AT+CGMR": "1\r\n\r\nOK",
    "AT+CGSN": "123456789012345\r\n\r\nOK", "AT+CIMI": "998899889988997\r\n\r\nOK",
    "AT+CLCK=?": '+CLCK: ("SC","FD","PS")\r\n\r\nOK', 'AT+CLCK="SC",2': "+CLCK: 0\r\n\r\nOK",
    "AT+CFUN?": "+CFUN: 1\r\n\r\nOK", "AT+CSCS=?": '+CSCS: ("IRA","UCS2","GSM")\r\n\r\nOK',
    "AT+CREG?": '+CREG: 2,1,"1234","001122BB"\r\n\r\nOK',
    "AT+CGREG?": '+CGREG: 2,1,"31C5","0083F7CD"\r\n\r\nOK',
    "AT+CMGF=?": "+CMGF: (0,1)\r\n\r\nOK", "AT+CMGF=0": "OK", "AT+CSQ": "+CSQ: 17,99\r\n\r\nOK",
    "AT+CPIN?": "+CPIN: READY\r\n\r\nOK",
    "AT+CNMI=?": "+CNMI: (0-2),(0-3),(0-3),(0-2),(0,1)\r\n\r\nOK",
    "AT+CPMS=?": '+CPMS: ("ME","SM"),("ME","SM"),("ME","SM")\r\n\r\nOK',
    "AT+CPMS?": '+CPMS: "ME",0,100,"ME",0,100,"ME",0,100\r\n\r\nOK', "AT+CMGL=4": "OK",
}
ACCEPTED_PREFIXES = ("AT+CPMS=", "AT+CNMI=", "AT+CSCS=", "AT+CREG=", "AT+CGREG=", "AT+CMGD=",
                     "AT+CSMS", "AT+CGEREP", "AT+COPS=")


def destination(pdu):
    """The number and whether a status report is asked, from an SMS-SUBMIT PDU."""
    octets = bytes.fromhex(pdu)
    at = 1 + octets[0]  # past the service centre
    first = octets[at]
    length, kind = octets[at + 2], octets[at + 3]
    digits = "".join(f"{b & 0xF}{b >> 4}" for b in octets[at + 4:at + 4 + (length + 1) // 2])
    return ("+" if kind == 0x91 else "") + digits[:length], (first >> 5) & 1


def address_octets(number):
    digits = number.lstrip("+")
    padded = digits + ("F" if len(digits) % 2 else "")
    swapped = "".join(padded[i + 1] + padded[i] for i in range(0, len(padded), 2))
    return f"{len(digits):02X}{'91' if number.startswith('+') else '81'}{swapped}"


TIMESTAMP = "62201021000000"  # 2026-02-01 12:00:00, zone 0, as semi-octets


def status_report_pdu(number, reference, status):
    return f"0006{reference:02X}{address_octets(number)}{TIMESTAMP}{TIMESTAMP}{status:02X}"


def deliver_pdus(number, text):
    """The SMS-DELIVER PDUs of a text received: one, or past 160 letters parts of 153 joined by
    a concatenation header (reference 0x42), each a PDU of its own as a network sends them."""
    parts = [text] if len(text) <= 160 else [text[i:i + 153] for i in range(0, len(text), 153)]
    pdus = []
    for sequence, part in enumerate(parts, 1):
        header = b"" if len(parts) == 1 else bytes([5, 0, 3, 0x42, len(parts), sequence])
        # The letters start at the first septet boundary after the header.
        fill = (7 - len(header) * 8 % 7) % 7 if header else 0
        bits, packed, used = 0, bytearray(header), fill
        for septet in (ord(c) & 0x7F for c in part):
            bits |= septet << used
            used += 7
            while used >= 8:
                packed.append(bits & 0xFF)
                bits >>= 8
                used -= 8
        if used:
            packed.append(bits & 0xFF)
        length = (len(header) * 8 + fill) // 7 + len(part)
        first = "44" if header else "04"
        pdus.append(f"00{first}{address_octets(number)}0000{TIMESTAMP}{length:02X}"
                    f"{packed.hex().upper()}")
    return pdus


CONNECTIONS = []
STORED = {}


def modem(name, log_path, options):
    server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    server.bind("\0abstract:" + name)
    server.listen(5)
    log = open(log_path, "a", buffering=1)
    answers = dict(ANSWERS)
    if "--pin" in options:
        answers["AT+CPIN?"] = "+CPIN: SIM PIN\r\n\r\nOK"
    if "--unregistered" in options:
        answers["AT+CREG?"] = '+CREG: 2,0\r\n\r\nOK'
        answers["AT+CGREG?"] = '+CGREG: 2,0\r\n\r\nOK'
    reference = [0]

    def serve(connection):
        CONNECTIONS.append(connection)
        pending = b""
        in_pdu = False
        while True:
            data = connection.recv(4096)
            if not data:
                return
            pending += data
            while True:
                if in_pdu:
                    if b"\x1a" not in pending:
                        break
                    pdu, pending = pending.split(b"\x1a", 1)
                    pdu = pdu.decode(errors="replace").strip()
                    number, report = destination(pdu)
                    log.write(f"TEXT {number} report={report} {pdu}\n")
                    refused = set()
                    if os.path.exists(log_path + ".refuse"):
                        refused = set(open(log_path + ".refuse").read().split())
                    if number in refused:
                        connection.sendall(b"\r\n+CMS ERROR: 332\r\n")
                    else:
                        reference[0] += 1
                        connection.sendall(b"\r\n+CMGS: %d\r\n\r\nOK\r\n" % reference[0])
                    in_pdu = False
                    continue
                end = pending.find(b"\r")
                if end < 0:
                    break
                line, pending = pending[:end].strip().decode(errors="replace"), pending[end + 1:]
                if not line:
                    continue
                log.write(f"CMD {line}\n")
                if line.startswith("AT+CMGR="):
                    pdu = STORED.get(int(line[8:]))
                    answer = (f"+CMGR: 0,,{len(pdu) // 2 - 1}\r\n{pdu}\r\n\r\nOK" if pdu
                              else "+CMS ERROR: 321")
                    connection.sendall(f"\r\n{answer}\r\n".encode())
                    continue
                if line.startswith("AT+CMGD="):
                    STORED.pop(int(line[8:].split(",")[0]), None)
                if line.startswith("AT+CMGS="):
                    connection.sendall(b"\r\n> ")
                    in_pdu = True
                    continue
                answer = "OK" if line.startswith(ACCEPTED_PREFIXES) else answers.get(line, "ERROR")
                connection.sendall(f"\r\n{answer}\r\n".encode())

    while True:
        connection, _ = server.accept()
        threading.Thread(target=serve, args=(connection,), daemon=True).start()


def call(bus, destination_name, path, interface, method, *arguments):
    return subprocess.run(["dbus-send", f"--bus={bus}", "--print-reply",
                           f"--dest={destination_name}", path, f"{interface}.{method}",
                           *arguments], capture_output=True, text=True)


def main():
    log_path, options = sys.argv[1], sys.argv[2:]
    name = f"parlivo-modem-{os.getpid()}"
    children = []
    with tempfile.TemporaryDirectory() as folder:
        buses = []
        for which in ("served", "policy"):
            run = os.path.join(folder, which)
            os.mkdir(run, 0o700)
            config = os.path.join(folder, which + ".conf")
            with open(config, "w") as out:
                out.write(BUS_CONFIG.format(run=run))
            bus = subprocess.Popen(["dbus-daemon", f"--config-file={config}", "--nofork",
                                    "--print-address=1"], stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL, text=True)
            children.append(bus)
            buses.append(bus.stdout.readline().strip())
        served, policy = buses
        try:
            environment = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=policy)
            children.append(subprocess.Popen(
                ["/usr/bin/python3", "-m", "dbusmock", "--system", "--template", "polkitd"],
                env=environment, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
            deadline = time.monotonic() + 10
            while call(policy, "org.freedesktop.PolicyKit1", "/org/freedesktop/PolicyKit1/Authority",
                       "org.freedesktop.DBus.Mock", "AllowUnknown",
                       "boolean:true").returncode:
                if time.monotonic() > deadline:
                    print("the polkit stand-in did not start", flush=True)
                    return 1
                time.sleep(0.1)
            threading.Thread(target=modem, args=(name, log_path, options), daemon=True).start()
            environment = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=served,
                               DBUS_SYSTEM_BUS_ADDRESS=policy)
            daemon = subprocess.Popen(
                ["/usr/bin/python3", os.path.join(os.path.dirname(__file__),
                                                  "modem_policy_standin.py")]
                if "--deny" in options else
                ["/usr/sbin/ModemManager", "--test-session", "--test-enable", "--test-no-udev",
                 "--test-no-suspend-resume", "--test-no-qrtr", "--no-auto-scan"],
                env=environment, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            children.append(daemon)
            deadline = time.monotonic() + 15
            while call(served, "org.freedesktop.ModemManager1", "/org/freedesktop/ModemManager1",
                       "org.freedesktop.DBus.Peer", "Ping").returncode:
                if time.monotonic() > deadline:
                    print("ModemManager did not start", flush=True)
                    return 1
                time.sleep(0.1)
            def attach():
                call(served, "org.freedesktop.ModemManager1", "/org/freedesktop/ModemManager1",
                     "org.freedesktop.ModemManager1.Test", "SetProfile", "string:parlivo",
                     "string:generic", f"array:string:abstract:{name}")
                deadline = time.monotonic() + 30
                while "ModemManager1.Modem\"" not in call(
                        served, "org.freedesktop.ModemManager1", "/org/freedesktop/ModemManager1",
                        "org.freedesktop.DBus.ObjectManager", "GetManagedObjects").stdout:
                    if time.monotonic() > deadline:
                        return False
                    time.sleep(0.2)
                return True

            if "--no-modem" not in options and "--deny" not in options and not attach():
                print("no modem was attached", flush=True)
                return 1
            print("BUS " + served, flush=True)
            for line in sys.stdin:
                words = line.split(maxsplit=2)
                if not words:
                    continue
                if words[0] == "attach":
                    attach()
                elif words[0] == "stop":  # the modem goes away
                    daemon.send_signal(signal.SIGTERM)
                    daemon.wait(10)
                elif words[0] == "report":
                    number, rest = words[1], words[2].split()
                    pdu = status_report_pdu(number, int(rest[0]), int(rest[1]))
                    CONNECTIONS[-1].sendall(f"\r\n+CDS: {len(pdu) // 2 - 1}\r\n{pdu}\r\n".encode())
                elif words[0] == "incoming":
                    for pdu in deliver_pdus(words[1], words[2].strip()):
                        index = max(STORED, default=0) + 1
                        STORED[index] = pdu
                        CONNECTIONS[-1].sendall(f'\r\n+CMTI: "ME",{index}\r\n'.encode())
                        time.sleep(0.3)  # the parts come one by one, as from a network
                time.sleep(0.5)
                print("DONE", flush=True)
            return 0
        finally:
            for child in reversed(children):
                if child.poll() is None:
                    child.terminate()
                    try:
                        child.wait(5)
                    except subprocess.TimeoutExpired:
                        child.kill()


if __name__ == "__main__":
    sys.exit(main())
