"""The program starts without the network: its own dynamic entries name no Qt Network, no
OpenSSL and no GMime (they arrive with the mail module on the first send or "View Log").
Qt Core brings GLib with it, which is fine.

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
    problems = [f"{executable} needs {library}: {what} must wait for the mail module"
                for library in libraries for prefix, what in FORBIDDEN.items()
                if library.startswith(prefix + ".")]
    for problem in problems:
        print(problem)
    print(f"needed: {' '.join(libraries)}; {len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
