"""The rooms of src/ form layers that only point down.

Every room is a folder of src/ and a library of its own; the routes are learned from the tree
(each folder of src/routes is a route, its folders the route's device side, or its sealed side
where they make a module). A file may include headers of its own room and of rooms in lower
layers, never of a room in its own layer or above; a library may link only libraries of its
own room or of lower layers. Besides the order:
- every quoted include names its room ("room/file.h"): a relative include ("../x.h") would
  pass the order unseen;
- a route's sealed side (TLS, SMTP, IMAP; D-Bus; HTTP) is used only by the module built in it
  (and the tests), so that start-up never loads the network or D-Bus;
- a route and its sides are its own: routes never use each other, and nothing outside a route
  (the window, the shared send) names it; each reaches the rest through the route seam;
- the rooms below app take plain values: no widget header, no widget class declared;
- inside a room, files do not include each other round in a loop, a source file and its
  header counted as one (the order between rooms cannot see one).
Each violation is printed with the file and the include (or the library and the link).

Usage: test_layers.py <source root> [--widgets <Qt include dirs>] [--planted]
With --planted, a copy of the tree is given one violation of each kind at a time, and
each must be named.
"""

import pathlib
import re
import shutil
import sys
import tempfile

MODULE = re.compile(r"add_library\(\s*\w+\s+MODULE|parlivo_add_module\(")


def route_rooms(src):
    """The routes, learned from the tree: each folder of src/routes is a route's room; a
    folder of it whose CMakeLists.txt makes a module is the route's sealed side, any other its
    device side in the program."""
    routes, sealed, devices = [], [], []
    for folder in sorted(p for p in (src / "routes").iterdir() if p.is_dir()):
        routes.append(f"routes/{folder.name}")
        for inner in sorted(p for p in folder.iterdir() if p.is_dir()):
            cmake = inner / "CMakeLists.txt"
            made = cmake.read_text(encoding="utf-8") if cmake.exists() else ""
            (sealed if MODULE.search(made) else devices).append(f"routes/{folder.name}/{inner.name}")
    return routes, sealed, devices


def layers_of(src):
    """The layer order, top first. This is the one place it is written."""
    routes, sealed, devices = route_rooms(src)
    return [
        ["app"],  # main(), the program's wiring, the main window and what only it uses
        routes,  # each route whole: plan, words, settings, news
        ["sending", "delivery"],  # the send every route shares; what every route's news shares
        ["records"],  # the private files and their formats
        ["model"],  # the data of a send that the rooms share, and the route seam
        ["recipients", "connectivity", "notice"],  # the other subsystems
        ["core"],  # procedures, error report, pointer, stored strings, shared procedures
        sealed,  # each route's sealed side: TLS, SMTP, IMAP; ModemManager; HTTP
        devices,  # each route's device side: interfaces, protocol rules, loaders
        ["platform"],  # desktop, settings store, files, clock
    ]


class Order:
    def __init__(self, src):
        self.layers = layers_of(src)
        self.level = {room: level for level, rooms in enumerate(self.layers) for room in rooms}
        self.sealed = set(self.layers[7])
        self.widget_free = set(self.layers[1] + self.layers[7] + self.layers[8]) | {
            "sending", "delivery", "records", "model", "recipients"}

    def room_of_path(self, parts):
        """The room of a path inside src/, given as its parts: a folder of src/, a route's
        folder, or a folder of a route."""
        for depth in (3, 2):
            if len(parts) > depth and "/".join(parts[:depth]) in self.level:
                return "/".join(parts[:depth])
        return parts[0]

    def may_use(self, room, other):
        if other == room:
            return True
        if other in self.sealed:
            return False
        # A route and its sides are its own: no other room names them, the window neither.
        if other.startswith("routes/"):
            route = "/".join(other.split("/")[:2])
            if room != route and not room.startswith(route + "/"):
                return False
        return self.level[other] > self.level[room]

    def why(self, room, other):
        return (f"only {other} itself may use it" if other in self.sealed else
                f"{room} may not include {other}")


QUOTED_INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)
ANGLE_INCLUDE = re.compile(r"^\s*#\s*include\s*<([^>]+)>", re.M)
FORWARD_CLASS = re.compile(r"^\s*class\s+(Q\w+)\s*;", re.M)
ADD_LIBRARY = re.compile(r"add_library\(\s*(\w+)")
LINK = re.compile(r"target_link_libraries\(\s*(\w+)([^)]*)\)", re.S)


def widget_names(include_dirs):
    """The headers of Qt Widgets (QTreeWidget, qtreewidget.h, ...), from its include folder."""
    names = set()
    for folder in include_dirs:
        path = pathlib.Path(folder)
        if path.name == "QtWidgets" and path.is_dir():
            names.update(entry.name for entry in path.iterdir())
    return names


def line_of(text, match):
    return text.count("\n", 0, match.start()) + 1


def include_problems(src, widgets):
    order = Order(src)
    room_of_path, may_use = order.room_of_path, order.may_use
    problems = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".cpp", ".h"):
            continue
        relative = path.relative_to(src.parent)
        room = room_of_path(path.relative_to(src).parts)
        if room not in order.level:
            problems.append(f"{relative}: room '{room}' has no layer")
            continue
        text = path.read_text(encoding="utf-8")
        for match in QUOTED_INCLUDE.finditer(text):
            name = match.group(1)
            if name.endswith(".moc"):  # what the build makes of this very file
                continue
            parts = pathlib.PurePosixPath(name).parts
            if ".." in parts or len(parts) < 2 or room_of_path(parts) not in order.level:
                problems.append(f'{relative}:{line_of(text, match)}: includes "{name}": '
                                f"a relative include; name the room")
                continue
            other = room_of_path(parts)
            if not may_use(room, other):
                problems.append(f'{relative}:{line_of(text, match)}: includes "{name}": '
                                f"{order.why(room, other)}")
        if room not in order.widget_free:
            continue
        for match in ANGLE_INCLUDE.finditer(text):
            name = match.group(1)
            if name.split("/")[0] == "QtWidgets" or name in widgets:
                problems.append(f"{relative}:{line_of(text, match)}: includes <{name}>: "
                                f"{room} takes plain values, no widget header")
        for match in FORWARD_CLASS.finditer(text):
            if match.group(1) in widgets:
                problems.append(f"{relative}:{line_of(text, match)}: declares "
                                f"{match.group(1)}: {room} takes plain values, no widget")
    return problems


def unit_of(name):
    """A source file and its header are one unit: "sending/send_flow"."""
    return name.rsplit(".", 1)[0]


def loop_problems(src):
    """Units of one room (a source file with its header) that include each other round in a
    loop, each loop named once."""
    room_of_path = Order(src).room_of_path
    includes = {}
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".cpp", ".h"):
            continue
        name = path.relative_to(src).as_posix()
        text = path.read_text(encoding="utf-8")
        room = room_of_path(path.relative_to(src).parts)
        unit = unit_of(name)
        includes.setdefault(unit, set()).update(
            unit_of(n) for n in QUOTED_INCLUDE.findall(text)
            if (src / n).exists() and unit_of(n) != unit
            and room_of_path(pathlib.PurePosixPath(n).parts) == room)
    problems = []
    seen = set()
    done = set()

    def visit(unit, trail):
        if unit in trail:
            loop = trail[trail.index(unit):] + [unit]
            key = frozenset(loop)
            if key not in seen:
                seen.add(key)
                problems.append(f"src/{loop[0]}: includes itself round a loop: "
                                + " -> ".join(loop))
            return
        if unit in done:
            return
        for other in sorted(includes.get(unit, [])):
            visit(other, trail + [unit])
        done.add(unit)

    for unit in sorted(includes):
        visit(unit, [])
    return problems


def link_problems(src):
    order = Order(src)
    room_of = {}
    links = []
    for cmake in sorted(src.rglob("CMakeLists.txt")):
        parts = cmake.parent.relative_to(src).parts
        if not parts:
            continue
        room = order.room_of_path(parts + ("CMakeLists.txt",))
        text = re.sub(r"#.*", "", cmake.read_text(encoding="utf-8"))
        for name in ADD_LIBRARY.findall(text):
            room_of[name] = room
        for target, rest in LINK.findall(text):
            links.append((cmake, room, target, rest.split()))
    problems = []
    for cmake, cmake_room, target, items in links:
        room = room_of.get(target, cmake_room)
        for item in items:
            other = room_of.get(item)
            if other and room in order.level and not order.may_use(room, other):
                why = order.why(room, other).replace("may not include", "may not use")
                problems.append(f"{cmake.relative_to(src.parent)}: {target} links {item}: {why}")
    return problems


def check(src, widgets):
    return include_problems(src, widgets) + loop_problems(src) + link_problems(src)


def append_line(path, line):
    text = path.read_text(encoding="utf-8")
    path.write_text(line + "\n" + text if line.startswith("#") else text + line + "\n",
                    encoding="utf-8")


# One violation of each kind, and the words its report must hold.
PLANTED = [
    ("sending/send_command.cpp", "#include <QTreeWidget>", "includes <QTreeWidget>"),
    ("recipients/lists.h", "class QTreeWidget;", "declares QTreeWidget"),
    ("records/kept_file.h", "class QTreeWidgetItem;", "declares QTreeWidgetItem"),
    ("sending/send_command.cpp", '#include "../recipients/lists.h"', "a relative include"),
    ("delivery/log_view.cpp", '#include "routes/email/net/tls_connection.h"',
     "only routes/email/net itself may use it"),
    ("sending/CMakeLists.txt", "target_link_libraries(parlivo_sending PUBLIC parlivo_mail_net)",
     "parlivo_sending links parlivo_mail_net"),
    ("recipients/summary.h", '#include "app/main_window.h"', "recipients may not include app"),
    ("delivery/news.cpp", '#include "sending/send_flow.h"', "delivery may not include sending"),
    ("sending/send_flow.cpp", '#include "routes/modem/modem_route.h"',
     "sending may not include routes/modem"),
    ("routes/modem/modem_route.cpp", '#include "routes/email/email_texts.h"',
     "routes/modem may not include routes/email"),
    ("routes/phone/phone_route.cpp", '#include "routes/modem/device/text_modem.h"',
     "routes/phone may not include routes/modem/device"),
    ("app/main_window.cpp", '#include "routes/email/email_option.h"',
     "app may not include routes/email"),
    ("routes/email/mail/mime_message.cpp", '#include "core/procedure.h"',
     "routes/email/mail may not include core"),
    ("routes/email/email_route.h", "class QComboBox;", "declares QComboBox"),
    ("model/send_plan.h", '#include "records/sent_log.h"', "model may not include records"),
    ("core/CMakeLists.txt", "target_link_libraries(parlivo_core PUBLIC parlivo_sending)",
     "core may not use sending"),
    ("sending/allowance.h", '#include "sending/kept_offer.h"', "includes itself round a loop"),
    ("routes/email/email_texts.cpp", '#include "routes/email/send_failure.h"',
     "includes itself round a loop"),
]


def planted(src, widgets):
    if check(src, widgets):
        print("the tree itself has violations: run without --planted")
        return 1
    missed = 0
    for file, line, expected in PLANTED:
        with tempfile.TemporaryDirectory() as folder:
            copy = pathlib.Path(folder) / "src"
            shutil.copytree(src, copy)
            append_line(copy / file, line)
            named = [p for p in check(copy, widgets)
                     if (p.startswith(f"src/{file}") or unit_of(file) in p.split(": ")[-1])
                     and expected in p]
            print(f"planted in {file}: {line!r}: {'named' if named else 'MISSED'}")
            missed += 0 if named else 1
    print(f"planted: {len(PLANTED) - missed} named, {missed} missed")
    return 1 if missed else 0


def main():
    arguments = sys.argv[1:]
    src = pathlib.Path(arguments[0]).resolve()
    include_dirs = []
    if "--widgets" in arguments:
        include_dirs = arguments[arguments.index("--widgets") + 1].split(";")
    widgets = widget_names(include_dirs or
                           [str(p) for p in pathlib.Path("/usr/include").glob("*/qt6/QtWidgets")])
    if not widgets:
        print("no Qt Widgets headers found: the widget rule cannot be checked")
        return 1
    if "--planted" in arguments:
        return planted(src, widgets)
    problems = check(src, widgets)
    for problem in problems:
        print(problem)
    order = Order(src)
    layers = " > ".join(", ".join(rooms) for rooms in order.layers)
    print(f"layers: {layers}; {', '.join(sorted(order.sealed))} sealed; a route's rooms its own; "
          f"the rooms below app widget-free; no loop in a room; {len(problems)} violation(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
