"""Every file, folder, type, function and test that ARCHITECTURE.md names in backticks exists.

A name with a slash or a source ending is a path: it must exist from the project's root, from
src/ or tests/, or as a file name somewhere in src/, tests/, bench/ or scripts/. Any other name
that looks like code (letters, digits, underscores, "::") must stand as a whole word in one of
those files. Texts with blanks or quotes, the program's own data files and settings are not
names of code and are passed over. Each name that does not exist is printed with its line.

Usage: test_map.py <project root> [--planted]
With --planted, a copy of the map is given a stale file name and a stale type, and both must
be named.
"""

import pathlib
import re
import sys
import tempfile

TICKED = re.compile(r"`([^`\n]+)`")
CODE_NAME = re.compile(r"^[A-Za-z_][A-Za-z0-9_]*(::[A-Za-z_][A-Za-z0-9_]*)*(\(\))?$")
SOURCE_ENDINGS = (".h", ".cpp", ".py", ".sh", ".txt", ".md", ".cmake")
DATA_ENDINGS = (".tsv", ".log", ".ini", ".so", ".eml", ".jpg", ".png", ".cur")
TREES = ("src", "tests", "bench", "scripts")


def sources(root):
    for tree in TREES:
        for path in (root / tree).rglob("*"):
            if path.is_file() and (path.suffix in SOURCE_ENDINGS or path.name == "CMakeLists.txt"):
                yield path


def index(root):
    names = set()
    words = set()
    for path in sources(root):
        names.add(path.name)
        words.update(re.findall(r"[A-Za-z_][A-Za-z0-9_]*", path.read_text(errors="replace")))
    return names, words


def path_exists(root, name, file_names):
    name = name.rstrip("/")
    for base in (root, root / "src", root / "tests"):
        if (base / name).exists():
            return True
    return "/" not in name and name in file_names


def stale(root, map_path):
    file_names, words = index(root)
    problems = []
    for number, line in enumerate(map_path.read_text().splitlines(), 1):
        for name in TICKED.findall(line):
            name = name.strip()
            if name.endswith(DATA_ENDINGS) or " " in name or '"' in name:
                continue
            if "/" in name or name.endswith(SOURCE_ENDINGS):
                if not path_exists(root, name, file_names):
                    problems.append(f"{map_path.name}:{number}: no file or folder `{name}`")
            elif CODE_NAME.match(name):
                last = name.removesuffix("()").split("::")[-1]
                if last not in words:
                    problems.append(f"{map_path.name}:{number}: nothing is named `{name}`")
    return problems


def main():
    root = pathlib.Path(sys.argv[1]).resolve()
    map_path = root / "ARCHITECTURE.md"
    if "--planted" in sys.argv:
        with tempfile.TemporaryDirectory() as folder:
            copy = pathlib.Path(folder) / "ARCHITECTURE.md"
            # Made here, so that this file does not hold them as words.
            planted = ["sending/message" + "_queue.cpp", "Queued" + "Message"]
            copy.write_text(map_path.read_text() +
                            f"\nStale: `{planted[0]}` and `{planted[1]}`.\n")
            found = stale(root, copy)
            named = [n for n in planted if any(n in problem for problem in found)]
            print(f"planted: {len(named)} of 2 stale names named")
            return 0 if len(named) == 2 and len(found) == 2 else 1
    problems = stale(root, map_path)
    for problem in problems:
        print(problem)
    print(f"the map's names: {len(problems)} stale")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
