"""The rooms of src/ form layers that only point down.

Every room is a folder of src/ and a library of its own. A file may include headers of its
own room and of rooms in lower layers, never of a room in its own layer or above; a
library may link only libraries of its own room or of lower layers. Each violation is
printed with the file and the include (or the library and the link) that breaks the order.

Usage: test_layers.py <source root>
"""

import pathlib
import re
import sys

# The layer order, top first. This is the one place it is written.
LAYERS = [
    ["app"],  # main(), the main window and what only it uses
    ["dispatch"],  # sending and the delivery check; builds on the recipient lists
    ["recipients", "connectivity", "notice"],  # the other subsystems
    ["core"],  # procedures, error report, pointer, stored strings, shared procedures
    ["mail"],  # message building, SMTP, IMAP, TLS, bounces, the mail module
    ["platform"],  # desktop, settings store, files, clock
]
LEVEL = {room: level for level, rooms in enumerate(LAYERS) for room in rooms}

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/[^"]+"', re.M)
ADD_LIBRARY = re.compile(r"add_library\(\s*(\w+)")
LINK = re.compile(r"target_link_libraries\(\s*(\w+)([^)]*)\)", re.S)


def may_use(room, other):
    return other == room or LEVEL[other] > LEVEL[room]


def include_problems(src):
    problems = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".cpp", ".h"):
            continue
        room = path.relative_to(src).parts[0]
        if room not in LEVEL:
            problems.append(f"{path.relative_to(src.parent)}: room '{room}' has no layer")
            continue
        text = path.read_text(encoding="utf-8")
        for match in INCLUDE.finditer(text):
            other = match.group(1)
            if other in LEVEL and not may_use(room, other):
                line = text.count("\n", 0, match.start()) + 1
                problems.append(f"{path.relative_to(src.parent)}:{line}: includes "
                                f'"{match.group(0).split(chr(34))[1]}": {room} may not '
                                f"include {other}")
    return problems


def link_problems(src):
    room_of = {}
    links = []
    for cmake in sorted(src.glob("*/CMakeLists.txt")):
        room = cmake.parent.name
        text = re.sub(r"#.*", "", cmake.read_text(encoding="utf-8"))
        for name in ADD_LIBRARY.findall(text):
            room_of[name] = room
        for target, rest in LINK.findall(text):
            links.append((cmake, target, rest.split()))
    problems = []
    for cmake, target, items in links:
        room = room_of.get(target, cmake.parent.name)
        for item in items:
            other = room_of.get(item)
            if other and room in LEVEL and not may_use(room, other):
                problems.append(f"{cmake.relative_to(src.parent)}: {target} links {item}: "
                                f"{room} may not use {other}")
    return problems


def main():
    src = pathlib.Path(sys.argv[1]).resolve()
    problems = include_problems(src) + link_problems(src)
    for problem in problems:
        print(problem)
    order = " > ".join("/".join(rooms) for rooms in LAYERS)
    print(f"layers: {order}; {len(problems)} violation(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
