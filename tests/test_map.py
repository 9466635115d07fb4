"""Every file, folder, type, function and test that ARCHITECTURE.md names in backticks exists,
and where the map puts it.

A name with a slash or a source ending is a path: it must exist from the project's root, from
src/ or tests/, or as a file name somewhere in src/, tests/, bench/ or scripts/. Any other name
that looks like code (letters, digits, underscores, "::") must stand as a whole word:
- under a room's heading (### `sending/` ...), in that room's own files (its sub-rooms that have
  a heading of their own left out), or, qualified by a namespace (`records::optedOut`), in the
  files of the room that namespace is; a test or benchmark the room names is looked for in
  tests/ and bench/;
- elsewhere, in some file of src/, tests/, bench/ or scripts/.
Texts with blanks or quotes, the program's own data files and settings are not names of code
and are passed over. Only the source tree is read, so a build folder, wherever it is, changes
nothing. Each name that does not exist where the map puts it is printed with its line.

Usage: test_map.py <project root> [--planted]
With --planted, a copy of the map is given a stale file name, a stale type and a real name
under the wrong room, and each must be named.
"""

import pathlib
import re
import sys
import tempfile

TICKED = re.compile(r"`([^`\n]+)`")
CODE_NAME = re.compile(r"^[A-Za-z_][A-Za-z0-9_]*(::[A-Za-z_][A-Za-z0-9_]*)*(\(\))?$")
ROOM_HEADING = re.compile(r"^### ")
WORD = re.compile(r"[A-Za-z_][A-Za-z0-9_]*")
SOURCE_ENDINGS = (".h", ".cpp", ".py", ".sh", ".txt", ".md", ".cmake")
DATA_ENDINGS = (".tsv", ".log", ".ini", ".so", ".eml", ".jpg", ".png", ".cur")
TREES = ("src", "tests", "bench", "scripts")
# The namespace each room's code stands in.
NAMESPACES = {"app": "app", "email_route": "routes/email", "modem_route": "routes/modem",
              "sending": "sending", "delivery": "delivery", "records": "records", "model": "model",
              "recipients": "recipients", "connectivity": "connectivity", "notice": "notice",
              "core": "core", "mail": "mail", "modem": "modem", "platform": "platform"}


def sources(root, trees=TREES):
    for tree in trees:
        for path in (root / tree).rglob("*"):
            if path.is_file() and (path.suffix in SOURCE_ENDINGS or path.name == "CMakeLists.txt"):
                yield path


def words_of(paths):
    words = set()
    for path in paths:
        words.update(WORD.findall(path.read_text(errors="replace")))
    return words


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


def room_words(root, room, rooms):
    """The words of a room's own files: its folder, less the sub-rooms with a heading."""
    folder = root / "src" / room
    inner = [root / "src" / other for other in rooms if other.startswith(room + "/")]
    own = [p for p in sources(root, ("src",))
           if folder in p.parents and not any(i in p.parents for i in inner)]
    return words_of(own) | {p.stem for p in own}


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
    everywhere = words_of(sources(root))
    tested = test_names(root)
    lines = map_path.read_text().splitlines()
    rooms = headed_rooms(lines)
    cache = {}

    def words_in(room):
        if room not in cache:
            cache[room] = room_words(root, room, rooms)
        return cache[room]

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
            if len(parts) > 1 and parts[0] in NAMESPACES:
                where, found = [NAMESPACES[parts[0]]], last in words_in(NAMESPACES[parts[0]])
            elif here:
                where = here
                found = any(last in words_in(room) for room in here) or last in tested
            else:
                where, found = [], last in everywhere
            if not found:
                place = f" in {', '.join(f'src/{r}/' for r in where)}" if where else ""
                problems.append(f"{map_path.name}:{number}: nothing is named `{name}`{place}")
    return problems


def main():
    root = pathlib.Path(sys.argv[1]).resolve()
    map_path = root / "ARCHITECTURE.md"
    if "--planted" in sys.argv:
        with tempfile.TemporaryDirectory() as folder:
            copy = pathlib.Path(folder) / "ARCHITECTURE.md"
            # Made here, so that this file does not hold them as words.
            planted = ["sending/message" + "_queue.cpp", "Queued" + "Message", "Led" + "ger"]
            text = map_path.read_text().replace(
                "### `records/`", f"### `records/`\nMisplaced: `{planted[2]}`.\n", 1)
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
