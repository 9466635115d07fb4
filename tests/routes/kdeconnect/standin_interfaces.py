"""The stand-in of KDE Connect's daemon serves only what the daemon defines.

Usage: standin_interfaces.py <tests folder>
Each method and signal the stand-in (tests/support/paired_phone_session.py) exports on the
daemon's, a device's and its SMS plugin's objects is in kdeconnect-kde 22.12's definitions
(kdeconnect-22.12-interfaces.xml) with the same name and argument types; each member a client
texting through the daemon uses is served; a device's properties have the defined types.
Where Debian's kdeconnectd is installed, the definitions are checked against the real daemon
too, run in a network namespace of its own on a private session bus.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

USED = {("org.kde.kdeconnect.daemon", "devices"), ("org.kde.kdeconnect.device.sms", "sendSms"),
        ("org.kde.kdeconnect.device.conversations", "activeConversations"),
        ("org.kde.kdeconnect.device.conversations", "conversationCreated"),
        ("org.kde.kdeconnect.device.conversations", "conversationUpdated"),
        ("org.kde.kdeconnect.device", "reachableChanged"),
        ("org.kde.kdeconnect.daemon", "deviceVisibilityChanged"),
        ("org.kde.kdeconnect.daemon", "deviceListChanged")}
PROPERTY_TYPES = {"name": "s", "isReachable": "b", "isTrusted": "b"}


def members(root):
    """{(interface, name): [signature, ...]} of the org.kde.kdeconnect interfaces in `root`."""
    found = {}
    for interface in root.iter("interface"):
        if not interface.get("name", "").startswith("org.kde.kdeconnect"):
            continue
        for member in interface:
            if member.tag in ("method", "signal"):
                arguments = [(a.get("direction", "out" if member.tag == "signal" else "in"),
                              a.get("type")) for a in member.iter("arg")]
                signature = tuple(t for d, t in arguments if d == "in"), tuple(
                    t for d, t in arguments if d == "out")
                found.setdefault((interface.get("name"), member.get("name")), []).append(signature)
            elif member.tag == "property":
                found[(interface.get("name"), "property " + member.get("name"))] = [
                    member.get("type")]
    return found


def introspect(environment, path):
    answer = subprocess.run(["gdbus", "introspect", "--session", "-d", "org.kde.kdeconnect",
                             "-o", path, "--xml"], env=environment, capture_output=True,
                            text=True, timeout=30, check=True)
    return ET.fromstring(answer.stdout)


def main():
    tests = sys.argv[1]
    reference = members(ET.parse(os.path.join(tests, "routes/kdeconnect/"
                                              "kdeconnect-22.12-interfaces.xml")).getroot())
    problems = []
    session = subprocess.Popen(
        ["/usr/bin/python3", "-B", os.path.join(tests, "support/paired_phone_session.py"),
         os.devnull, "--phone", "a1=Pixel 7"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
        text=True)
    try:
        address = session.stdout.readline().split(" ", 1)[1].strip()
        environment = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=address)
        served = {}
        for path in ("/modules/kdeconnect", "/modules/kdeconnect/devices/a1",
                     "/modules/kdeconnect/devices/a1/sms"):
            served.update(members(introspect(environment, path)))
        for key, signatures in served.items():
            for signature in signatures:
                if signature not in reference.get(key, []):
                    problems.append(f"the stand-in serves {key} {signature}, which the daemon "
                                    f"does not define")
        problems += [f"the stand-in does not serve {key}" for key in USED if key not in served]
        properties = subprocess.run(
            ["gdbus", "call", "--session", "-d", "org.kde.kdeconnect", "-o",
             "/modules/kdeconnect/devices/a1", "-m", "org.freedesktop.DBus.Properties.GetAll",
             "org.kde.kdeconnect.device"], env=environment, capture_output=True, text=True,
            timeout=30).stdout
        for name, kind in PROPERTY_TYPES.items():
            if reference.get(("org.kde.kdeconnect.device", "property " + name)) != [kind] or \
                    f"'{name}': <" not in properties:
                problems.append(f"the device's property {name} is not served as {kind}")
    finally:
        session.stdin.close()
        session.wait(20)
    daemon = "/usr/lib/x86_64-linux-gnu/libexec/kdeconnectd"
    if not os.path.exists(daemon) or not shutil.which("dbus-run-session"):
        print("not checked against the real daemon: kdeconnect is not installed")
    elif subprocess.run(["unshare", "-rnpf", "true"], capture_output=True).returncode != 0:
        print("not checked against the real daemon: no network namespace of its own to be had")
    else:
        with tempfile.TemporaryDirectory() as home:
            script = (f"{daemon} >/dev/null 2>&1 & for i in $(seq 100); do gdbus introspect "
                      "--session -d org.kde.kdeconnect -o /modules/kdeconnect --xml 2>/dev/null "
                      "| grep -q devices && break; sleep 0.2; done; gdbus introspect --session "
                      "-d org.kde.kdeconnect -o /modules/kdeconnect --xml")
            # In process and network namespaces of its own: nothing of it outlives the check.
            real = subprocess.run(
                ["unshare", "-rnpf", "--kill-child", "dbus-run-session", "--", "sh", "-c",
                 script],
                env=dict(os.environ, HOME=home, XDG_RUNTIME_DIR=home, QT_QPA_PLATFORM="offscreen"),
                capture_output=True, text=True, timeout=60).stdout
            defined = members(ET.fromstring(real[real.index("<node"):real.rindex("</node>") + 7]))
            for key, signatures in defined.items():
                if key[0] == "org.kde.kdeconnect.daemon" and set(signatures) != set(
                        reference.get(key, [])):
                    problems.append(f"the definitions of {key} differ from the real daemon's")
        print("checked against the real daemon too")
    print("\n".join(problems) or "the stand-in serves what the daemon defines")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
