#!/usr/bin/env python3
"""Mutation testing: small faults made mechanically from src/, and whether the suite notices.

Each mutant changes one token or one statement of one file (operators below). The tool
works in work trees of its own under build-mutants/ (copies of the last commit with an
unoptimised build that records coverage, kept between runs, so the working tree is never
touched). It first learns which QtTest function runs which line (each run alone), then for
each mutant rebuilds only the programs that run its line and runs only those functions with
a time bound; a mutant whose line no test runs survives without a build. It counts a mutant
killed when the tests fail and fail again when run a second time (a failure that does not
repeat is reported as flaky). A mutant that does not compile is stillborn and left out.

Operators:
  cmp       a comparison flipped or moved across its boundary (< <=, > >=, == !=)
  logic     && and || swapped
  negate    the condition of an if or while negated
  const     an integer constant moved by one; 0 and 1 swapped
  bool      a returned true or false flipped
  drop      a statement that is only a call left out

Usage:
  scripts/mutate.py [--files GLOB] [--sample N] [--seed S] [--changed COMMIT] [--jobs N]
                    [--again REPORT] [--timeout SECONDS] [--report FILE] [--list]
                    [--exclude LISTED]

--changed COMMIT takes only the files that commit touched under src/. Equivalent mutants are
listed in scripts/mutants-equivalent.txt ("file:line:operator:mutated line  # reason"; for a
dropped statement the statement) and left out. The report (JSON) and a summary per file, per
room and per operator are written at the end.
"""
import argparse
import fnmatch
import functools
import hashlib
import json
import os
import random
import re
import signal
import subprocess
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
EQUIVALENT = os.path.join(ROOT, "scripts", "mutants-equivalent.txt")
WORK = os.path.join(ROOT, "build-mutants")

COMPARISONS = {" < ": [" <= "], " <= ": [" < "], " > ": [" >= "], " >= ": [" > "],
               " == ": [" != "], " != ": [" == "]}
LOGIC = {" && ": " || ", " || ": " && "}


def code_mask(line):
    """The line with string and character literals and a trailing comment blanked out, so
    that operators are looked for in code only."""
    out = []
    quote = None
    i = 0
    while i < len(line):
        c = line[i]
        if quote:
            out.append(" ")
            if c == "\\":
                out.append(" ")
                i += 1
            elif c == quote:
                quote = None
        elif c in "\"'":
            quote = c
            out.append(" ")
        elif line.startswith("//", i):
            out.append(" " * (len(line) - i))
            break
        else:
            out.append(c)
        i += 1
    return "".join(out)[: len(line)]


def mutants_of(path):
    """Every mutant of a file: (line number, operator, old line, new line)."""
    lines = open(os.path.join(ROOT, path), encoding="utf-8").read().split("\n")
    found = []
    in_block_comment = False
    for number, line in enumerate(lines, 1):
        stripped = line.strip()
        if in_block_comment:
            if "*/" in stripped:
                in_block_comment = False
            continue
        if stripped.startswith("/*"):
            in_block_comment = "*/" not in stripped
            continue
        if not stripped or stripped.startswith(("#", "//")) or "static_assert" in line:
            continue
        code = code_mask(line)

        def add(op, start, end, text):
            found.append((number, op, line, line[:start] + text + line[end:]))

        for token, replacements in COMPARISONS.items():
            for m in re.finditer(re.escape(token), code):
                for r in replacements:
                    add("cmp", m.start(), m.end(), r)
        for token, replacement in LOGIC.items():
            for m in re.finditer(re.escape(token), code):
                add("logic", m.start(), m.end(), replacement)
        for m in re.finditer(r"\b(if|while) \(", code):
            depth, i = 0, m.end() - 1
            while i < len(code):
                depth += code[i] == "("
                depth -= code[i] == ")"
                if depth == 0:
                    break
                i += 1
            if i < len(code):
                inner = line[m.end(): i]
                add("negate", m.end(), i, "!(" + inner + ")")
        for m in re.finditer(r"(?<![\w.])(\d+)(?![\w.'])", code):
            value = int(m.group(1))
            if value > 1 << 40:
                continue
            replacements = {0: ["1"], 1: ["0", "2"]}.get(value, [str(value + 1), str(value - 1)])
            for r in replacements:
                add("const", m.start(), m.end(), r)
        for m in re.finditer(r"\breturn (true|false);", code):
            flipped = "false" if m.group(1) == "true" else "true"
            add("bool", m.start(1), m.end(1), flipped)
        # A statement that is only a call: a name (or member chain) applied, then ";".
        call = re.match(r"^(\s*)[\w:]+(?:(?:\.|->)\w+)*\(.*\);\s*$", code)
        previous = lines[number - 2].strip() if number > 1 else ";"
        whole = previous.endswith((";", "{", "}", ")", ":")) or previous.startswith("//")
        if call and whole and not re.match(r"^\s*(return|throw|delete|using|case)\b", code):
            add("drop", 0, len(line), call.group(1) + ";")
    return found


def read_equivalent():
    """Equivalent mutants by file, operator and mutated line; the line number in the file is
    for the reader and not compared, so that an entry outlives edits above it."""
    known = {}
    if os.path.exists(EQUIVALENT):
        for raw in open(EQUIVALENT, encoding="utf-8"):
            entry, _, reason = raw.partition("  #")
            entry = entry.strip()
            if entry:
                path, _, op, new = entry.split(":", 3)
                known[f"{path}:{op}:{new}"] = reason.strip()
    return known


def key_of(path, mutant, with_line=True):
    """A mutant as the equivalents file names it: its file, line, operator and mutated line;
    for a dropped statement, the statement dropped."""
    number, op, old, new = mutant
    text = old.strip() if op == "drop" else new.strip()
    return f"{path}:{number}:{op}:{text}" if with_line else f"{path}:{op}:{text}"


def run(command, cwd, timeout=None, env=None):
    """Runs a command in a process group of its own, so that a time bound also ends the
    servers a test starts. Returns (exit code or None on timeout, output)."""
    process = subprocess.Popen(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               text=True, env=env, start_new_session=True)
    try:
        out, _ = process.communicate(timeout=timeout)
        return process.returncode, out
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        out, _ = process.communicate()
        return None, out


def git(*arguments, cwd=ROOT):
    return subprocess.run(["git", *arguments], cwd=cwd, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, text=True, check=True).stdout.strip()


def prepare_tree(index, commit):
    """A work tree at the commit with a build of its own (unoptimised, with coverage), kept
    between runs so that a later run rebuilds only what changed."""
    tree = os.path.join(WORK, f"tree-{index}")
    build = os.path.join(WORK, f"build-{index}")
    if not os.path.isdir(tree):
        os.makedirs(WORK, exist_ok=True)
        git("worktree", "add", "--detach", tree, commit)
    else:
        git("checkout", "--detach", "--force", commit, cwd=tree)
    if not os.path.exists(os.path.join(build, "build.ninja")):
        flags = "--coverage"
        code, out = run(["cmake", "-S", tree, "-B", build, "-G", "Ninja",
                         "-DCMAKE_BUILD_TYPE=None", "-DCMAKE_CXX_FLAGS=-O0 " + flags,
                         "-DCMAKE_EXE_LINKER_FLAGS=" + flags,
                         "-DCMAKE_SHARED_LINKER_FLAGS=" + flags,
                         "-DCMAKE_MODULE_LINKER_FLAGS=" + flags,
                         "-DPARLIVO_BUILD_BENCH=OFF"], tree)
        if code != 0:
            sys.exit(out[-3000:] + "\ncould not configure the work tree")
    code, out = run(["cmake", "--build", build], tree)
    if code != 0:
        sys.exit(out[-3000:] + "\nthe unmutated tree does not build")
    return tree, build


class Unit:
    """What can be run on its own: one function of a QtTest program, a whole QtTest program
    (when its functions do not pass alone) or a test ctest runs otherwise."""

    def __init__(self, test, command, environment, function=None):
        self.test, self.command, self.environment, self.function = test, command, environment, function

    @property
    def name(self):
        return f"{self.test}::{self.function}" if self.function else self.test

    def env(self):
        env = dict(os.environ)
        env.update(self.environment)
        return env


def units_of(build):
    """Every test ctest knows, split into its QtTest functions where it has them."""
    _, listing = run(["ctest", "--show-only=json-v1"], build)
    units = []
    for test in json.loads(listing)["tests"]:
        command = test["command"]
        environment = {}
        for prop in test.get("properties", []):
            if prop["name"] == "ENVIRONMENT":
                environment = dict(item.split("=", 1) for item in prop["value"])
        whole = Unit(test["name"], command, environment)
        code, out = run([command[0], "-functions"], build, timeout=30, env=whole.env()) \
            if command[0].startswith(build) else (1, "")
        functions = re.findall(r"^(\w+)\(\)$", out, re.M)
        if code == 0 and functions:
            units += [Unit(test["name"], command, environment, f) for f in functions]
        else:
            units.append(whole)
    return units


def run_units(units, build, timeout):
    """Runs units together where they share a program (one QtTest run with the named
    functions). Returns (False, failing test) on failure, (None, test) on a timeout and
    (True, None) when all pass."""
    by_test = {}
    for unit in units:
        by_test.setdefault(unit.test, []).append(unit)
    for test, group in by_test.items():
        unit = group[0]
        command = list(unit.command)
        if all(u.function for u in group):
            command += [u.function for u in group]
        code, out = run(command, os.path.join(build, "tests"), timeout=timeout, env=unit.env())
        if code is None:
            return None, test
        if code != 0:
            return False, test
    return True, None


def gcov_lines(build, tree):
    """The lines of src/ that ran since the counters were last cleared, and every line that
    has code, from the counter files of the build."""
    counters = [os.path.join(d, f) for d, _, fs in os.walk(os.path.join(build, "src"))
                for f in fs if f.endswith(".gcda")]
    ran, executable, functions = {}, {}, {}
    if not counters:
        return ran, executable, functions
    _, out = run(["gcov", "--json-format", "--stdout", *counters], build)
    for document in out.split("\n"):
        if not document.startswith("{"):
            continue
        for entry in json.loads(document)["files"]:
            path = os.path.relpath(os.path.realpath(os.path.join(build, entry["file"])), tree)
            if not path.startswith("src/"):
                continue
            for line in entry["lines"]:
                executable.setdefault(path, set()).add(line["line_number"])
                if line["count"] > 0:
                    ran.setdefault(path, set()).add(line["line_number"])
            for f in entry["functions"]:
                functions.setdefault(path, set()).add((f["start_line"], f["end_line"]))
    return ran, executable, functions


def measure(units, build, tree):
    """Runs each unit alone with cleared counters and notes the lines of src/ it ran. A
    program whose functions do not pass alone is measured as a whole."""
    found = {"units": {}, "seconds": {}, "lines": {}, "executable": {}, "functions": {}}
    for unit in units:
        for d, _, fs in os.walk(os.path.join(build, "src")):
            for f in fs:
                if f.endswith(".gcda"):
                    os.remove(os.path.join(d, f))
        begun = time.time()
        passed, _ = run_units([unit], build, 300)
        if not passed and unit.function:
            return measure([Unit(unit.test, unit.command, unit.environment)], build, tree)
        if not passed:
            sys.exit(f"{unit.name} does not pass on the unmutated tree")
        found["seconds"][unit.name] = round(time.time() - begun, 2)
        found["units"][unit.name] = {"test": unit.test, "command": unit.command,
                                     "environment": unit.environment, "function": unit.function}
        ran, known, spans = gcov_lines(build, tree)
        for path, numbers in ran.items():
            for number in numbers:
                found["lines"].setdefault(path, {}).setdefault(str(number), []).append(unit.name)
        for path, numbers in known.items():
            found["executable"].setdefault(path, set()).update(numbers)
        for path, spans_found in spans.items():
            found["functions"].setdefault(path, set()).update(map(tuple, spans_found))
    found["executable"] = {p: sorted(n) for p, n in found["executable"].items()}
    found["functions"] = {p: sorted(f) for p, f in found["functions"].items()}
    return found


def coverage_of(tree, build):
    """Which unit runs which line of src/. Kept per test program and the exact bytes of its
    binary, so that only the programs a change rebuilt are measured again; tests that are not
    QtTest programs are measured each time."""
    cache = os.path.join(WORK, "coverage")
    os.makedirs(cache, exist_ok=True)
    units = units_of(build)
    merged = {"units": {}, "seconds": {}, "lines": {}, "executable": {}, "functions": {}}
    started = time.time()
    for test in dict.fromkeys(u.test for u in units):
        group = [u for u in units if u.test == test]
        binary = group[0].command[0]
        key = None
        if os.path.basename(binary) == test and os.path.exists(binary):
            key = hashlib.sha1(open(binary, "rb").read()).hexdigest()
        stored = os.path.join(cache, f"{test}-{key}.json")
        if key and os.path.exists(stored):
            found = json.load(open(stored))
        else:
            begun = time.time()
            found = measure(group, build, tree)
            print(f"  coverage: {test}, {len(found['units'])} units, "
                  f"{time.time() - begun:.0f} s", flush=True)
            if key:
                json.dump(found, open(stored, "w"))
        merged["units"].update(found["units"])
        merged["seconds"].update(found["seconds"])
        for path, numbers in found["lines"].items():
            for number, names in numbers.items():
                merged["lines"].setdefault(path, {}).setdefault(number, []).extend(names)
        for path, numbers in found["executable"].items():
            merged["executable"].setdefault(path, set()).update(numbers)
        for path, spans in found["functions"].items():
            merged["functions"].setdefault(path, set()).update(map(tuple, spans))
    print(f"  coverage of {len(merged['units'])} units in {time.time() - started:.0f} s",
          flush=True)
    return merged


def is_script(unit):
    """A test ctest runs through a script (one that installs and starts the program), not a
    QtTest program of the build."""
    return os.path.basename(unit["command"][0]) != unit["test"]


def units_reaching(coverage, path, number, fallback):
    """The units that run a line, and the tests that start the program itself wherever they
    ran any line of the file: a program ended by a signal leaves no coverage behind, so what
    it ran after its last clean exit is not seen."""
    names = set(lines_reaching(coverage, path, number, fallback))
    for ran in coverage["lines"].get(path, {}).values():
        names.update(n for n in ran if is_script(coverage["units"][n]))
    return sorted(names)


def lines_reaching(coverage, path, number, fallback):
    """The units that run a line. A line without code of its own inside a function (part of
    a statement written over several lines, a local constant) takes the units of the lines
    with code around it; a line outside every function (a constant of the file) takes every
    unit of the tests that can reach the file."""
    executable = set(coverage["executable"].get(path, []))
    lines = coverage["lines"].get(path, {})
    if number in executable:
        return lines.get(str(number), [])
    for start, end in coverage["functions"].get(path, []):
        if start <= number <= end:
            before = [n for n in executable if start <= n < number]
            after = [n for n in executable if number < n <= end]
            near = ([max(before)] if before else []) + ([min(after)] if after else [])
            return sorted({u for n in near for u in lines.get(str(n), [])})
    # Tests that are not QtTest programs (a script that installs and starts the program) are
    # always among them: a program ended by a signal leaves no coverage behind.
    return sorted(name for name, u in coverage["units"].items()
                  if u["test"] in fallback or is_script(u))


@functools.lru_cache(maxsize=None)
def tests_reaching(tree, path):
    """The test programs that can reach a file: the tests of its room and of every room in
    its layer or above (rooms only use rooms below them), any test that includes one of its
    room's headers, and every test that opens the window. Read once per file."""
    if os.path.join(tree, "tests") not in sys.path:
        sys.path.insert(0, os.path.join(tree, "tests"))
    from test_layers import LEVEL
    room = path.split("/")[1]
    listing = open(os.path.join(tree, "tests", "CMakeLists.txt"), encoding="utf-8").read()
    tests = re.findall(r"parlivo_add_test\((\w+) ([\w/]+\.cpp)", listing)
    reaching = []
    for name, source in tests:
        test_room = source.split("/")[0]
        text = open(os.path.join(tree, "tests", source), encoding="utf-8").read()
        # A test that opens the window (form_fixture.h) reaches every room.
        if test_room in LEVEL and LEVEL[test_room] <= LEVEL.get(room, 0) or \
                f'"{room}/' in text or "form_fixture.h" in text:
            reaching.append(name)
    return reaching or [name for name, _ in tests]


def try_mutant(tree, build, coverage, path, mutant, timeout):
    """Builds and tests one mutant; the file is put back whatever happens."""
    number, op, old, new = mutant
    names = units_reaching(coverage, path, number, tests_reaching(tree, path))
    if not names:
        return "survived", "no test runs this line", 0.0
    # The coverage was measured in the first work tree; each worker runs its own copies.
    first_tree, first_build = os.path.join(WORK, "tree-0"), os.path.join(WORK, "build-0")

    def own(text):
        return text.replace(first_build, build).replace(first_tree, tree)

    units = [Unit(u["test"], [own(c) for c in u["command"]],
                  {k: own(v) for k, v in u["environment"].items()}, u["function"])
             for u in (coverage["units"][n] for n in names)]
    target = os.path.join(tree, path)
    original = open(target, encoding="utf-8").read()
    lines = original.split("\n")
    lines[number - 1] = new
    begun = time.time()
    try:
        open(target, "w", encoding="utf-8").write("\n".join(lines))
        # The window's tests load the mail module at run time; a script starts the program.
        scripts = [u for u in units if is_script(vars(u))]
        programs = sorted({u.test for u in units if u not in scripts})
        targets = programs + ["parlivo_mail"] + (["parlivo"] if scripts else [])
        code, out = run(["cmake", "--build", build, "--target", *targets], tree, timeout=timeout)
        if code is None:
            return "timeout", "build", time.time() - begun
        if code != 0:
            return "stillborn", "", time.time() - begun
        # Each program is given a bound from its time on the unmutated tree.
        usual = sum(coverage["seconds"].get(n, 5) for n in names)
        bound = max(20, min(timeout, 3 * usual + 15))
        passed, test = run_units(units, build, bound)
        if passed is None:
            return "timeout", test, time.time() - begun
        if passed:
            return "survived", "", time.time() - begun
        again, _ = run_units([u for u in units if u.test == test], build, bound)
        return ("killed" if again is False else "timeout" if again is None else "flaky"), test, \
            time.time() - begun
    finally:
        open(target, "w", encoding="utf-8").write(original)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--files", default="src/*", help="glob of files under src/")
    parser.add_argument("--sample", type=int, default=0, help="test only N mutants")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--changed", help="only the src/ files this commit touched")
    parser.add_argument("--again", help="only the mutants a report (JSON) gave as survived, and "
                        "those it did not try; its other outcomes are carried into the new report")
    parser.add_argument("--jobs", type=int, default=1, help="mutants tried at once")
    parser.add_argument("--timeout", type=int, default=240, help="seconds a mutant may take")
    parser.add_argument("--report", default=os.path.join(ROOT, "build", "mutants.json"))
    parser.add_argument("--list", action="store_true", help="list the mutants and stop")
    parser.add_argument("--exclude", help="a --list output: the mutants it names (by operator, "
                        "line and change, wherever the line now stands) are not drawn")
    args = parser.parse_args()

    files = git("ls-files", "src").split()
    files = [f for f in files if f.endswith(".cpp") and fnmatch.fnmatch(f, args.files)]
    if args.changed:
        touched = git("show", "--name-only", "--format=", args.changed).split()
        files = [f for f in files if f in touched]
    # The sample is drawn from every mutant, so that marking one equivalent leaves the rest
    # of the sample as it was; the equivalent ones are then left out.
    mutants = [(f, m) for f in files for m in mutants_of(f)]
    print(f"{len(mutants)} mutants in {len(files)} files")
    if args.exclude:
        # Samples run before are left out, so that a fresh sample is one the tests were never
        # tuned on; a line that moved to another file is still the same mutant.
        listed = set()
        for entry in open(args.exclude):
            match = re.match(r"^\S+:\d+ \[(\w+)\] (.*)  ->  (.*)$", entry.rstrip("\n"))
            if match:
                listed.add(match.groups())
        mutants = [(f, m) for f, m in mutants if (m[1], m[2].strip(), m[3].strip()) not in listed]
        print(f"{len(mutants)} left once the {len(listed)} of {args.exclude} are excluded")
    if args.sample and args.sample < len(mutants):
        # Each mutant gets a rank from its seed and its own text (not its line number), so that
        # a change elsewhere in a file leaves the sample as it was. Every file gets at least
        # its best-ranked mutant; the rest of the sample is the best-ranked of all.
        seen = {}

        def rank(fm):
            path, (_, op, old, new) = fm
            text = f"{args.seed}:{path}:{op}:{old.strip()}:{new.strip()}"
            seen[text] = seen.get(text, 0) + 1
            return hashlib.sha1(f"{text}:{seen[text]}".encode()).hexdigest()

        ranks = [rank(fm) for fm in mutants]
        ranked = [fm for _, fm in sorted(zip(ranks, mutants), key=lambda pair: pair[0])]
        picked = []
        for path in dict.fromkeys(f for f, _ in mutants):
            picked.append(next(fm for fm in ranked if fm[0] == path))
        picked += [fm for fm in ranked if fm not in picked][: max(0, args.sample - len(picked))]
        mutants = sorted(picked, key=lambda fm: (fm[0], fm[1][0]))
    equivalent = read_equivalent()
    count = len(mutants)
    mutants = [(f, m) for f, m in mutants if key_of(f, m, False) not in equivalent]
    print(f"{count - len(mutants)} of them marked equivalent and left out")
    carried = []
    if args.again:
        # Only the survivors of an earlier report are tried again; the rest of its outcomes
        # (for mutants still in the sample and not marked equivalent since) are carried over.
        before = json.load(open(args.again))
        again = {(r["file"], r["line"], r["operator"], r["new"])
                 for r in before if r["outcome"] in ("survived", "flaky")}
        current = {(f, m[0], m[1], m[3].strip()) for f, m in mutants}
        carried = [dict(r, carried=True) for r in before
                   if (r["file"], r["line"], r["operator"], r["new"]) in current - again]
        tried = {(r["file"], r["line"], r["operator"], r["new"]) for r in before}
        # Survivors again, and the mutants a larger sample adds.
        mutants = [(f, m) for f, m in mutants
                   if (f, m[0], m[1], m[3].strip()) in again or
                   (f, m[0], m[1], m[3].strip()) not in tried]
    if args.list:
        for path, (number, op, old, new) in mutants:
            print(f"{path}:{number} [{op}] {old.strip()}  ->  {new.strip()}")
        return 0

    commit = git("rev-parse", "HEAD")
    started = time.time()
    trees = [prepare_tree(i, commit) for i in range(args.jobs)]
    coverage = coverage_of(*trees[0])
    results = [None] * len(mutants)
    queue = list(enumerate(mutants))
    lock = threading.Lock()
    done = [0]

    def worker(tree, build):
        while True:
            with lock:
                if not queue:
                    return
                index, (path, mutant) = queue.pop(0)
            outcome, detail, seconds = try_mutant(tree, build, coverage, path, mutant,
                                                  args.timeout)
            number, op, old, new = mutant
            results[index] = {"file": path, "line": number, "operator": op, "old": old.strip(),
                              "new": new.strip(), "outcome": outcome, "detail": detail,
                              "seconds": round(seconds, 1)}
            with lock:
                done[0] += 1
                print(f"[{done[0]}/{len(mutants)}] {outcome:9} {path}:{number} [{op}] "
                      f"{new.strip()}  {detail}", flush=True)

    workers = [threading.Thread(target=worker, args=t) for t in trees]
    for w in workers:
        w.start()
    for w in workers:
        w.join()
    for tree, build in trees:
        run(["cmake", "--build", build], tree)
    elapsed = time.time() - started

    results = carried + results
    os.makedirs(os.path.dirname(args.report), exist_ok=True)
    json.dump(results, open(args.report, "w"), indent=1)
    summarise(results, elapsed)
    return 0


def summarise(results, elapsed):
    def table(title, key):
        groups = {}
        for r in results:
            groups.setdefault(key(r), []).append(r["outcome"])
        print(f"\n{title:32} {'killed':>7} {'survived':>9} {'timeout':>8} {'flaky':>6} "
              f"{'stillborn':>10} {'kill rate':>10}")
        for name in sorted(groups):
            outcomes = groups[name]
            count = {o: outcomes.count(o) for o in
                     ("killed", "survived", "timeout", "flaky", "stillborn")}
            judged = count["killed"] + count["survived"] + count["timeout"] + count["flaky"]
            rate = f"{100 * (count['killed'] + count['timeout']) / judged:.0f} %" if judged else "-"
            print(f"{name:32} {count['killed']:7} {count['survived']:9} {count['timeout']:8} "
                  f"{count['flaky']:6} {count['stillborn']:10} {rate:>10}")

    table("file", lambda r: r["file"])
    table("room", lambda r: r["file"].split("/")[1])
    table("operator", lambda r: r["operator"])
    table("all", lambda r: "all")
    print(f"\n{len(results)} mutants in {elapsed / 60:.1f} min")
    survivors = [r for r in results if r["outcome"] in ("survived", "flaky")]
    if survivors:
        print("\nsurvivors:")
        for r in survivors:
            print(f"  {r['file']}:{r['line']} [{r['operator']}] {r['old']}  ->  {r['new']}")


if __name__ == "__main__":
    sys.exit(main())
