"""A private D-Bus session with a Secret Service as asked: for a command, or for a test.

Usage: keyring_session.py unlocked|none|stalled -- command [arguments]
       keyring_session.py unlocked|none|stalled
The second form prints "BUS <address>" once the session is ready and keeps it until its
standard input closes.

- unlocked: Debian's gnome-keyring-daemon, its login keyring unlocked with a password of the
  test's own, offers the Secret Service;
- none: the session bus has no Secret Service (and activates none);
- stalled: the keyring daemon holds the Secret Service's name but never answers (stopped).
HOME and XDG_RUNTIME_DIR point into a fresh folder, so no keyring of the user's is touched.
"""

import os
import pathlib
import signal
import subprocess
import sys
import tempfile
import time

BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir={run}</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""


def secret_service_owned(environment):
    answer = subprocess.run(
        ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
         "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
         "string:org.freedesktop.secrets"], env=environment, capture_output=True, text=True)
    return "boolean true" in answer.stdout


def main():
    mode = sys.argv[1]
    command = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else None
    with tempfile.TemporaryDirectory() as folder:
        home = pathlib.Path(folder) / "home"
        run = pathlib.Path(folder) / "run"
        home.mkdir()
        run.mkdir(mode=0o700)
        config = pathlib.Path(folder) / "bus.conf"
        config.write_text(BUS_CONFIG.format(run=run))
        environment = dict(os.environ, HOME=str(home), XDG_RUNTIME_DIR=str(run))
        environment.pop("DBUS_SESSION_BUS_ADDRESS", None)
        bus = subprocess.Popen(["dbus-daemon", f"--config-file={config}", "--nofork",
                                "--print-address=1"], stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, text=True, env=environment)
        environment["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
        keyring = None
        try:
            if mode in ("unlocked", "stalled"):
                keyring = subprocess.Popen(
                    ["gnome-keyring-daemon", "--unlock", "--components=secrets", "--foreground"],
                    stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                    env=environment)
                keyring.stdin.write(b"test keyring password")
                keyring.stdin.close()
                deadline = time.monotonic() + 10
                while not secret_service_owned(environment):
                    if time.monotonic() > deadline or keyring.poll() is not None:
                        print("the keyring daemon did not start")
                        return 1
                    time.sleep(0.05)
                if mode == "stalled":
                    keyring.send_signal(signal.SIGSTOP)
            if command:
                return subprocess.run(command, env=environment).returncode
            print("BUS " + environment["DBUS_SESSION_BUS_ADDRESS"], flush=True)
            sys.stdin.read()  # until the test is done
            return 0
        finally:
            if keyring:
                keyring.send_signal(signal.SIGCONT)
                keyring.terminate()
                keyring.wait(5)
            bus.terminate()
            bus.wait(5)


if __name__ == "__main__":
    sys.exit(main())
