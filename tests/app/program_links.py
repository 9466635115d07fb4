"""The program starts light: its own dynamic entries name no Qt Network, no OpenSSL and no
GMime (they arrive with the mail module on the first send or "View Log"), and no D-Bus,
QtKeychain or libsecret (the keyring is asked by the parlivo-keyring helper). Qt Core brings
GLib with it, which is fine.

Usage: program_links.py <the parlivo executable>
"""

import re
import subprocess
import sys

FORBIDDEN = {
    "libQt6Network": "Qt Network",
    "libssl": "OpenSSL",
    "libcrypto": "OpenSSL",
    "libgmime": "GMime",
    "libQt6DBus": "D-Bus",
    "libqt6keychain": "QtKeychain",
    "libsecret": "libsecret",
}


def needed(executable):
    dynamic = subprocess.run(["readelf", "--dynamic", "--wide", executable], check=True,
                             capture_output=True, text=True).stdout
    return re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", dynamic)


def main():
    executable = sys.argv[1]
    libraries = needed(executable)
    if not libraries:
        print(f"{executable}: no dynamic entries read")
        return 1
    problems = [f"{executable} needs {library}: {what} stays out of start-up"
                for library in libraries for prefix, what in FORBIDDEN.items()
                if library.startswith(prefix + ".")]
    for problem in problems:
        print(problem)
    print(f"needed: {' '.join(libraries)}; {len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
