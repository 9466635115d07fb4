"""Every file, folder, type, function and test that ARCHITECTURE.md names in backticks exists,
and is defined where the map puts it.

A name with a slash or a source ending is a path: it must exist from the project's root, from
src/ or tests/, or as a file name somewhere in src/, tests/, bench/ or scripts/. Any other name
that looks like code (letters, digits, underscores, "::") must be *defined* (a type, an alias,
a constant, a function declared or defined; a call or a mention does not count):
- under a room's heading (### `sending/` ...), in that room's own files (its sub-rooms that have
  a heading of their own left out), or, qualified by a namespace (`records::optedOut`), in the
  rooms whose files open that namespace (learned from the tree); a test or benchmark the room
  names is looked for among the tests and benchmarks;
- elsewhere, anywhere in src/, tests/, bench/ or scripts/.
Texts with blanks or quotes, the program's own data files and settings are not names of code
and are passed over. Only the source tree is read. Each name not defined where the map puts it
is printed with its line.

Usage: test_map.py <project root> [--planted]
With --planted, a copy of the map is given a stale file name, a stale type, a real name under
the wrong room and a name the room only calls, and each must be named.
"""

import pathlib
import re
import sys
import tempfile

TICKED = re.compile(r"`([^`\n]+)`")
CODE_NAME = re.compile(r"^[A-Za-z_][A-Za-z0-9_]*(::[A-Za-z_~][A-Za-z0-9_]*)*(\(\))?$")
ROOM_HEADING = re.compile(r"^### ")
SOURCE_ENDINGS = (".h", ".cpp", ".py", ".sh", ".txt", ".md", ".cmake")
DATA_ENDINGS = (".tsv", ".log", ".ini", ".so", ".eml", ".jpg", ".png", ".cur")
TREES = ("src", "tests", "bench", "scripts", "cmake")

# What defines a name: a type or namespace, an alias, a constant, a function or member
# declared or defined (a type before the name, or Class::name), a Python function or class,
# a CMake function, a QtTest function, a ctest.
DEFINITIONS = [
    re.compile(r"\b(?:class|struct|enum(?:\s+class)?|namespace|union)\s+(\w+)"),
    re.compile(r"\busing\s+(\w+)\s*="),
    re.compile(r"\b(?:const|constexpr)\b[^;=(){}]*?\b(\w+)\s*(?:=|\{|\[)"),
    re.compile(r"^[ \t]*(?!return\b|if\b|else\b|while\b|for\b|switch\b|case\b|throw\b|new\b|"
               r"delete\b|co_return\b)(?:(?:virtual|static|inline|explicit|constexpr|friend|"
               r"const)\s+)*(?:[\w:<>,]+[ \t*&]+)+(?:\w+::)*(~?\w+)\s*\(", re.M),
    re.compile(r"^(?:\w+::)+(~?\w+)\s*\(", re.M),  # a constructor, at the margin
    re.compile(r"^(\w+)\(", re.M),  # after a return type on the line above
    re.compile(r"^[ \t]+(?:[\w:<>,()*&]+[ \t]+)+[*&]?(\w+)(?:\s*=[^=;]+)?;", re.M),  # a field
    re.compile(r"^\s*(?:def|class)\s+(\w+)", re.M),
    re.compile(r"\bfunction\(\s*(\w+)"),
    re.compile(r"(?:parlivo_add_test\(|add_test\(NAME |parlivo_add_module\(|add_library\(|"
               r"add_executable\(|parlivo_routes\()\s*(\w+)"),
]


def sources(root, trees=TREES):
    for tree in trees:
        if not (root / tree).exists():
            continue
        for path in (root / tree).rglob("*"):
            if path.is_file() and (path.suffix in SOURCE_ENDINGS or path.name == "CMakeLists.txt"):
                yield path


def defined_in(paths):
    names = set()
    for path in paths:
        text = path.read_text(errors="replace")
        for pattern in DEFINITIONS:
            names.update(pattern.findall(text))
        names.add(path.stem)
    return names


def test_names(root):
    """The tests and benchmarks: QtTest functions, ctest names, fuzz targets, benchmarks."""
    names = set()
    for path in sources(root, ("tests", "bench")):
        text = path.read_text(errors="replace")
        names.update(re.findall(r"^\s*void (\w+)\(\)", text, re.M))
        names.update(re.findall(r"(?:parlivo_add_test\(|add_test\(NAME )(\w+)", text))
        if path.parent.name in ("bench", "fuzz") and path.suffix == ".cpp":
            names.add(path.stem)
    return names


def room_files(root, room, rooms):
    """A room's own files: its folder, less the sub-rooms with a heading of their own."""
    folder = root / "src" / room
    inner = [root / "src" / other for other in rooms if other.startswith(room + "/")]
    return [p for p in sources(root, ("src",))
            if folder in p.parents and not any(i in p.parents for i in inner)]


def namespace_rooms(root):
    """Each namespace and the folders of src/ whose files open it."""
    rooms = {}
    for path in sources(root, ("src",)):
        for name in re.findall(r"^namespace (\w+) \{", path.read_text(errors="replace"), re.M):
            rooms.setdefault(name, set()).add(path.parent.relative_to(root / "src").as_posix())
    return rooms


def path_exists(root, name, file_names):
    name = name.rstrip("/")
    for base in (root, root / "src", root / "tests"):
        if (base / name).exists():
            return True
    return "/" not in name and name in file_names


def headed_rooms(lines):
    rooms = set()
    for line in lines:
        if ROOM_HEADING.match(line):
            rooms.update(n.rstrip("/") for n in TICKED.findall(line) if n.endswith("/"))
    return rooms


def stale(root, map_path):
    file_names = {p.name for p in sources(root)}
    everywhere = defined_in(sources(root))
    tested = test_names(root)
    namespaces = namespace_rooms(root)
    lines = map_path.read_text().splitlines()
    rooms = headed_rooms(lines)
    cache = {}

    def defined_by(room):
        if room not in cache:
            cache[room] = defined_in(room_files(root, room, set()) if room in namespaces.get(
                "", ()) else room_files(root, room, rooms))
        return cache[room]

    def defined_by_folder(folder):
        key = ("folder", folder)
        if key not in cache:
            cache[key] = defined_in(p for p in sources(root, ("src",))
                                    if p.parent == root / "src" / folder)
        return cache[key]

    problems = []
    here = []  # the rooms whose heading the line stands under
    for number, line in enumerate(lines, 1):
        if line.startswith("#"):
            here = ([n.rstrip("/") for n in TICKED.findall(line) if n.endswith("/")]
                    if ROOM_HEADING.match(line) else [])
            continue
        for name in TICKED.findall(line):
            name = name.strip()
            if name.endswith(DATA_ENDINGS) or " " in name or '"' in name:
                continue
            if "/" in name or name.endswith(SOURCE_ENDINGS):
                if not path_exists(root, name, file_names):
                    problems.append(f"{map_path.name}:{number}: no file or folder `{name}`")
                continue
            if not CODE_NAME.match(name):
                continue
            parts = name.removesuffix("()").split("::")
            last = parts[-1]
            if len(parts) > 1 and parts[0] in namespaces:
                where = sorted(namespaces[parts[0]])
                found = any(last in defined_by_folder(folder) for folder in where)
            elif here:
                where = here
                found = any(last in defined_by(room) for room in here) or last in tested
            else:
                where, found = [], last in everywhere or last in tested
            if not found:
                place = f" in {', '.join(f'src/{r}/' for r in where)}" if where else ""
                problems.append(f"{map_path.name}:{number}: nothing defines `{name}`{place}")
    return problems


def main():
    root = pathlib.Path(sys.argv[1]).resolve()
    map_path = root / "ARCHITECTURE.md"
    if "--planted" in sys.argv:
        with tempfile.TemporaryDirectory() as folder:
            copy = pathlib.Path(folder) / "ARCHITECTURE.md"
            # Made here, so that this file does not hold them as words.
            planted = ["sending/message" + "_queue.cpp", "Queued" + "Message", "Led" + "ger",
                       "save" + "KeptSends"]
            text = map_path.read_text().replace(
                "### `records/`", f"### `records/`\nMisplaced: `{planted[2]}`.\n", 1).replace(
                "### `sending/`", f"### `sending/`\nCalled only: `{planted[3]}`.\n", 1)
            copy.write_text(text + f"\nStale: `{planted[0]}` and `{planted[1]}`.\n")
            found = stale(root, copy)
            named = [n for n in planted if any(f"`{n}`" in problem for problem in found)]
            print(f"planted: {len(named)} of {len(planted)} names out of place named")
            return 0 if len(named) == len(planted) and len(found) == len(planted) else 1
    problems = stale(root, map_path)
    for problem in problems:
        print(problem)
    print(f"the map's names: {len(problems)} stale")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
