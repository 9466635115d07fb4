"""A private D-Bus session with a stand-in for KDE Connect's daemon or GSConnect's service.

Usage: paired_phone_session.py <log file> [--gsconnect | --old-daemon | --real]
                               [--phone <id>=<name>]... [--unreachable <id>]...
Prints "BUS <address>" once the service answers on the private session bus, and keeps it all
until standard input closes. Lines on standard input script the phones, each answered by
"DONE" (with --start-later the bus comes first, and the service at "start"):
- "reach <id> 0|1": the phone goes out of reach or comes back;
- "receive <id> <number>[,<number>...] <text>": the phone received a text (a conversation
  message of type 1), of a group conversation where several numbers are named;
- "fail <id> <number>": the phone could not send its last text to that number (type 5);
- "refuse <number>": the service refuses the next text to that number with an error;
- "vanish-after <count>": the service leaves the bus after that many more texts;
- "stop": the service leaves the bus now.
Each text handed over goes to the log file as "SMS <id> <addresses as JSON> <text as JSON>",
or for GSConnect "ACTION <id> <action> <parameter as JSON>". --old-daemon serves sendSms as
daemons before 20.12 do, one number and the text; --real runs Debian's kdeconnectd paired
with scripted phones (kdeconnect_phone.py) instead of the stand-in. A phone sending a text shows it in
its conversations as sent (type 2), as the phone's app reports it back.

The stand-in serves the members of the daemon's interfaces that a client texting through it
uses, with the signatures of kdeconnect-kde 22.12's own definitions
(tests/routes/kdeconnect/kdeconnect-22.12-interfaces.xml), and GSConnect's device objects
and actions as its service exports them. Its process is named as the daemon's (kdeconnectd),
or carries "gsconnect" in its command line, as the real services' processes do.
"""

import ctypes
import json
import os
import signal
import subprocess
import sys
import tempfile
import time

from keyring_session import BUS_CONFIG  # the same private bus, beside this script

KDE = "org.kde.kdeconnect"
DAEMON = "org.kde.kdeconnect.daemon"
DEVICE = "org.kde.kdeconnect.device"
SMS = "org.kde.kdeconnect.device.sms"
CONVERSATIONS = "org.kde.kdeconnect.device.conversations"
GS = "org.gnome.Shell.Extensions.GSConnect"
GS_PATH = "/org/gnome/Shell/Extensions/GSConnect"
GS_DEVICE = "org.gnome.Shell.Extensions.GSConnect.Device"
PROPERTIES = "org.freedesktop.DBus.Properties"
DAEMON_PATH = "/usr/lib/x86_64-linux-gnu/libexec/kdeconnectd"


def serve(log_path, options):
    """The stand-in itself: runs until its standard input closes."""
    import dbus
    import dbus.service
    from dbus.mainloop.glib import DBusGMainLoop
    from gi.repository import GLib

    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    gsconnect = "--gsconnect" in options
    phones = {}
    for i, option in enumerate(options):
        if option == "--phone":
            phone_id, name = options[i + 1].split("=", 1)
            phones[phone_id] = {"name": name, "reachable": True, "messages": [], "uid": 0}
    for i, option in enumerate(options):
        if option == "--unreachable":
            phones[options[i + 1]]["reachable"] = False
    script = {"refuse": set(), "vanish_after": None}
    loop = GLib.MainLoop()

    def log(line):
        with open(log_path, "a", encoding="utf-8") as out:
            out.write(line + "\n")

    def message(phone_id, number, body, kind):
        phone = phones[phone_id]
        phone["uid"] += 1
        thread = abs(hash(number)) % 100000
        return dbus.Struct(
            (dbus.Int32(1), body, dbus.Array([dbus.Struct((n,), signature="s")
                                              for n in number.split(",")], signature="(s)"),
             dbus.Int64(int(time.time() * 1000)), dbus.Int32(kind), dbus.Int32(1),
             dbus.Int64(thread), dbus.Int32(phone["uid"]), dbus.Int64(-1),
             dbus.Array([], signature="(xsss)")), signature="isa(s)xiixixa(xsss)")

    class Daemon(dbus.service.Object):
        @dbus.service.method(DAEMON, in_signature="bb", out_signature="as")
        def devices(self, only_reachable, only_paired):
            return [i for i, p in phones.items() if p["reachable"] or not only_reachable]

        @dbus.service.method(DAEMON, in_signature="s", out_signature="s")
        def deviceIdByName(self, name):
            return next((i for i, p in phones.items() if p["name"] == name), "")

        @dbus.service.method(DAEMON, in_signature="s", out_signature="")
        def acquireDiscoveryMode(self, key):
            pass

        @dbus.service.method(DAEMON, in_signature="s", out_signature="")
        def releaseDiscoveryMode(self, key):
            pass

        @dbus.service.signal(DAEMON, signature="sb")
        def deviceVisibilityChanged(self, phone_id, visible):
            pass

        @dbus.service.signal(DAEMON, signature="")
        def deviceListChanged(self):
            pass

    class Device(dbus.service.Object):
        def __init__(self, phone_id):
            super().__init__(bus, f"/modules/kdeconnect/devices/{phone_id}")
            self.phone_id = phone_id

        def properties(self):
            phone = phones[self.phone_id]
            return {"name": phone["name"], "type": "smartphone",
                    "isReachable": dbus.Boolean(phone["reachable"]),
                    "isTrusted": dbus.Boolean(True),
                    "supportedPlugins": dbus.Array(["kdeconnect_sms"], signature="s")}

        @dbus.service.method(PROPERTIES, in_signature="s", out_signature="a{sv}")
        def GetAll(self, interface):
            return self.properties() if interface == DEVICE else {}

        @dbus.service.method(PROPERTIES, in_signature="ss", out_signature="v")
        def Get(self, interface, name):
            return self.properties()[name]

        @dbus.service.method(DEVICE, in_signature="", out_signature="b")
        def isTrusted(self):
            return True

        @dbus.service.signal(DEVICE, signature="b")
        def reachableChanged(self, reachable):
            pass

        @dbus.service.method(CONVERSATIONS, in_signature="", out_signature="av")
        def activeConversations(self):
            latest = {}
            for m in phones[self.phone_id]["messages"]:
                latest[int(m[6])] = m
            return dbus.Array([dbus.Struct(m, signature=m.signature, variant_level=1)
                               for m in latest.values()], signature="v")

        @dbus.service.method(CONVERSATIONS, in_signature="xii", out_signature="")
        def requestConversation(self, thread, start, end):
            for m in phones[self.phone_id]["messages"]:
                if int(m[6]) == thread:
                    self.conversationUpdated(dbus.Struct(m, signature=m.signature,
                                                         variant_level=1))

        @dbus.service.method(CONVERSATIONS, in_signature="avsav", out_signature="")
        def sendWithoutConversation(self, addresses, text, attachments):
            numbers = [str(a[0]) if isinstance(a, dbus.Struct) and len(a) == 1 else ""
                       for a in addresses]
            handed(self.phone_id, numbers[0] if numbers else "", str(text),
                   f"SMS {self.phone_id} {json.dumps(numbers)} {json.dumps(str(text))}")

        @dbus.service.signal(CONVERSATIONS, signature="v")
        def conversationCreated(self, message):
            pass

        @dbus.service.signal(CONVERSATIONS, signature="v")
        def conversationUpdated(self, message):
            pass

        def show(self, m):
            first = not any(int(old[6]) == int(m[6]) for old in phones[self.phone_id]["messages"])
            phones[self.phone_id]["messages"].append(m)
            wrapped = dbus.Struct(m, signature=m.signature, variant_level=1)
            (self.conversationCreated if first else self.conversationUpdated)(wrapped)

    def handed(phone_id, number, text, describe):
        if script["vanish_after"] is not None and script["vanish_after"] <= 0:
            # Leaving the bus: a call that came meanwhile finds the service gone, as the bus
            # answers once it has left.
            raise dbus.exceptions.DBusException(
                "the service left", name="org.freedesktop.DBus.Error.ServiceUnknown")
        if number in script["refuse"]:
            script["refuse"].discard(number)
            raise dbus.exceptions.DBusException("the phone refused it",
                                                name="org.kde.kdeconnect.Error.Refused")
        log(describe)
        if not gsconnect:
            devices[phone_id].show(message(phone_id, number, text, 2))
        if script["vanish_after"] is not None:
            script["vanish_after"] -= 1
            if script["vanish_after"] <= 0:
                GLib.idle_add(loop.quit)

    class OldSms(dbus.service.Object):
        """As daemons before 20.12 serve it: one number and the text."""
        def __init__(self, phone_id):
            super().__init__(bus, f"/modules/kdeconnect/devices/{phone_id}/sms")
            self.phone_id = phone_id

        # Any call is taken in, to be answered as Qt answers one whose signature is not "ss".
        @dbus.service.method(SMS, out_signature="", message_keyword="message")
        def sendSms(self, number=None, text=None, third=None, fourth=None, message=None):
            if message.get_signature() != "ss":  # as Qt answers a call it has no method for
                raise dbus.exceptions.DBusException(
                    f"No such method 'sendSms' (signature '{message.get_signature()}')",
                    name="org.freedesktop.DBus.Error.UnknownMethod")
            number, text = str(number), str(text)
            handed(self.phone_id, number, text,
                   f"SMS {self.phone_id} {json.dumps([number])} {json.dumps(text)}")

    class Sms(dbus.service.Object):
        def __init__(self, phone_id):
            super().__init__(bus, f"/modules/kdeconnect/devices/{phone_id}/sms")
            self.phone_id = phone_id

        @dbus.service.method(SMS, in_signature="avsavx", out_signature="")
        def sendSms(self, addresses, text, attachments, sim):
            # As the daemon reads them: each address a structure of one string; anything
            # else reads as an empty address.
            numbers = [str(a[0]) if isinstance(a, dbus.Struct) and len(a) == 1 else ""
                       for a in addresses]
            handed(self.phone_id, numbers[0] if numbers else "", str(text),
                   f"SMS {self.phone_id} {json.dumps(numbers)} {json.dumps(str(text))}")

    class GsManager(dbus.service.Object):
        @dbus.service.method("org.freedesktop.DBus.ObjectManager", in_signature="",
                             out_signature="a{oa{sa{sv}}}")
        def GetManagedObjects(self):
            return {f"{GS_PATH}/Device/{i}": {GS_DEVICE: {
                "Id": i, "Name": p["name"], "Connected": dbus.Boolean(p["reachable"]),
                "Paired": dbus.Boolean(True), "Type": "phone"}} for i, p in phones.items()}

    class GsDevice(dbus.service.Object):
        def __init__(self, phone_id):
            super().__init__(bus, f"{GS_PATH}/Device/{phone_id}")
            self.phone_id = phone_id

        @dbus.service.method("org.gtk.Actions", in_signature="sava{sv}", out_signature="")
        def Activate(self, action, parameter, platform):
            values = [list(map(str, p)) for p in parameter]
            if action != "sendSms" or len(values) != 1 or len(values[0]) != 2:
                raise dbus.exceptions.DBusException("no such action",
                                                    name="org.freedesktop.DBus.Error.InvalidArgs")
            handed(self.phone_id, values[0][0], values[0][1],
                   f"ACTION {self.phone_id} {action} {json.dumps(values)}")

        @dbus.service.signal(PROPERTIES, signature="sa{sv}as")
        def PropertiesChanged(self, interface, changed, invalidated):
            pass

    devices = {}
    if gsconnect:
        name = dbus.service.BusName(GS, bus)
        daemon = GsManager(bus, GS_PATH)
        for phone_id in phones:
            devices[phone_id] = GsDevice(phone_id)
    else:
        name = dbus.service.BusName(KDE, bus)
        daemon = Daemon(bus, "/modules/kdeconnect")
        for phone_id in phones:
            devices[phone_id] = Device(phone_id)
            (OldSms if "--old-daemon" in options else Sms)(phone_id)

    def command(source, condition):
        line = sys.stdin.readline()
        if not line:
            loop.quit()
            return False
        words = line.split(maxsplit=3)
        if words and words[0] == "reach":
            phones[words[1]]["reachable"] = words[2] == "1"
            if gsconnect:
                devices[words[1]].PropertiesChanged(
                    GS_DEVICE, {"Connected": dbus.Boolean(words[2] == "1")}, [])
            else:
                devices[words[1]].reachableChanged(words[2] == "1")
                daemon.deviceVisibilityChanged(words[1], words[2] == "1")
                daemon.deviceListChanged()
        elif words and words[0] == "receive":
            devices[words[1]].show(message(words[1], words[2], words[3].rstrip("\n"), 1))
        elif words and words[0] == "fail":
            devices[words[1]].show(message(words[1], words[2], "", 5))
        elif words and words[0] == "refuse":
            script["refuse"].add(words[1])
        elif words and words[0] == "vanish-after":
            script["vanish_after"] = int(words[1])
        print("DONE", flush=True)
        return True

    GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP, command)
    print("READY", flush=True)
    loop.run()
    del name


def gdbus(environment, *arguments):
    return subprocess.run(["gdbus", "call", "--session", "-d", KDE] + list(arguments),
                          env=environment, capture_output=True, text=True, timeout=30).stdout


def start_real(log_path, options, folder, environment):
    """Debian's kdeconnectd and scripted phones that pair with it over the protocol, alone in a
    network namespace of their own; the daemon on the private session bus."""
    phones = [options[i + 1] for i, option in enumerate(options) if option == "--phone"]
    home = os.path.join(folder, "home")
    os.makedirs(home)
    environment = dict(environment, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                       XDG_DATA_HOME=os.path.join(home, ".local/share"),
                       XDG_RUNTIME_DIR=folder, QT_QPA_PLATFORM="offscreen")
    here = os.path.dirname(os.path.abspath(__file__))
    script = ("ip link set lo up && { " + DAEMON_PATH + " >/dev/null 2>&1 & } && exec /usr/bin/python3 "
              f"-B {here}/kdeconnect_phone.py \"$@\"")
    # In a process namespace of its own too: the daemon ends with the phones' script.
    child = subprocess.Popen(["unshare", "-rnpf", "--kill-child", "sh", "-c", script, "sh",
                              log_path] + phones,
                             env=environment, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                             text=True, start_new_session=True)
    if child.stdout.readline().strip() != "READY":
        return None
    for phone in phones:  # paired as a user pairs: asked from the desktop, accepted on the phone
        phone_id = phone.split("=", 1)[0]
        path = f"/modules/kdeconnect/devices/{phone_id}"
        deadline = time.monotonic() + 30
        while phone_id not in gdbus(environment, "-o", "/modules/kdeconnect", "-m",
                                    DAEMON + ".devices", "false", "false"):
            if time.monotonic() > deadline:
                return None
            time.sleep(0.2)
        gdbus(environment, "-o", path, "-m", DEVICE + ".requestPair")
        while "sendSms" not in subprocess.run(
                ["gdbus", "introspect", "--session", "-d", KDE, "-o", path + "/sms"],
                env=environment, capture_output=True, text=True, timeout=30).stdout:
            if time.monotonic() > deadline:
                return None
            time.sleep(0.2)
    return child



def main():
    log_path, options = sys.argv[1], sys.argv[2:]
    if options[:1] == ["--serve"]:
        if "--gsconnect" not in options:  # named as KDE Connect's daemon is
            ctypes.CDLL(None).prctl(15, b"kdeconnectd", 0, 0, 0)
        serve(log_path, options[1:])
        return 0
    with tempfile.TemporaryDirectory() as folder:
        config = os.path.join(folder, "bus.conf")
        with open(config, "w", encoding="utf-8") as out:
            out.write(BUS_CONFIG.format(run=folder))
        bus = subprocess.Popen(["dbus-daemon", f"--config-file={config}", "--nofork",
                                "--print-address=1"], stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, text=True)
        address = bus.stdout.readline().strip()
        environment = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=address)
        service = None

        def start():
            child = subprocess.Popen(["/usr/bin/python3", "-B", __file__, log_path, "--serve"]
                                     + options, env=environment, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, text=True, start_new_session=True)
            if child.stdout.readline().strip() != "READY":
                print("the stand-in did not start", flush=True)
                sys.exit(1)
            return child
        try:
            later = "--start-later" in options
            if not later:
                service = start_real(log_path, options, folder, environment) \
                    if "--real" in options else start()
                if service is None:
                    print("the daemon and its phones did not pair", flush=True)
                    return 1
            print("BUS " + address, flush=True)
            for line in sys.stdin:
                if line.strip() == "start" and service is None:
                    service = start()
                elif service is None:
                    pass
                elif line.strip() == "stop" or service.poll() is not None:
                    if service.poll() is None:
                        os.killpg(service.pid, signal.SIGTERM)
                        service.wait(10)
                else:
                    service.stdin.write(line)
                    service.stdin.flush()
                    service.stdout.readline()
                print("DONE", flush=True)
            return 0
        finally:
            if service is not None and service.poll() is None:
                os.killpg(service.pid, signal.SIGTERM)
            for child in (service, bus):
                if child is not None and child.poll() is None:
                    child.terminate()
                    try:
                        child.wait(5)
                    except subprocess.TimeoutExpired:
                        child.kill()


if __name__ == "__main__":
    sys.exit(main())
