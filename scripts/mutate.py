#!/usr/bin/env python3
"""Mutation testing: small faults made mechanically from src/, and whether the suite notices.

Each mutant changes one token or one statement of one file (operators below). The tool
builds it in a work tree of its own (a copy of the last commit, with its own build folder,
so the working tree is never touched), builds only the test programs that can reach the
file, runs them with a time bound, and counts the mutant killed when the tests fail, and
fail again when run a second time (a failure that does not repeat counts as survived and
is reported as flaky). A mutant that does not compile is stillborn and left out.

Operators:
  cmp       a comparison flipped or moved across its boundary (< <=, > >=, == !=)
  logic     && and || swapped
  negate    the condition of an if or while negated
  const     an integer constant moved by one; 0 and 1 swapped
  bool      a returned true or false flipped
  drop      a statement that is only a call left out

Usage:
  scripts/mutate.py [--files GLOB] [--sample N] [--seed S] [--changed COMMIT]
                    [--timeout SECONDS] [--report FILE] [--list]

--changed COMMIT takes only the files that commit touched under src/. Equivalent mutants are
listed in scripts/mutants-equivalent.txt ("file:line:operator:text  # reason") and skipped.
The report (JSON) and a summary per file, per room and per operator are written at the end.
"""
import argparse
import fnmatch
import json
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
EQUIVALENT = os.path.join(ROOT, "scripts", "mutants-equivalent.txt")

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
    known = {}
    if os.path.exists(EQUIVALENT):
        for raw in open(EQUIVALENT, encoding="utf-8"):
            entry, _, reason = raw.partition("#")
            entry = entry.strip()
            if entry:
                known[entry] = reason.strip()
    return known


def key_of(path, mutant):
    number, op, _, new = mutant
    return f"{path}:{number}:{op}:{new.strip()}"


def run(command, cwd, timeout=None):
    try:
        done = subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              text=True, timeout=timeout)
        return done.returncode, done.stdout
    except subprocess.TimeoutExpired as expired:
        return None, str(expired.stdout or "")


def tests_reaching(tree, path):
    """The test programs that can reach a file: the tests of its room and of every room in
    its layer or above (rooms only use rooms below them), any test that includes one of its
    room's headers, and every test that opens the window."""
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


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--files", default="src/*", help="glob of files under src/")
    parser.add_argument("--sample", type=int, default=0, help="test only N mutants")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--changed", help="only the src/ files this commit touched")
    parser.add_argument("--timeout", type=int, default=240, help="seconds a mutant may take")
    parser.add_argument("--report", default=os.path.join(ROOT, "build", "mutants.json"))
    parser.add_argument("--list", action="store_true", help="list the mutants and stop")
    args = parser.parse_args()

    files = subprocess.run(["git", "ls-files", "src"], cwd=ROOT, stdout=subprocess.PIPE,
                           text=True, check=True).stdout.split()
    files = [f for f in files if f.endswith(".cpp") and fnmatch.fnmatch(f, args.files)]
    if args.changed:
        touched = subprocess.run(["git", "show", "--name-only", "--format=", args.changed],
                                 cwd=ROOT, stdout=subprocess.PIPE, text=True,
                                 check=True).stdout.split()
        files = [f for f in files if f in touched]
    equivalent = read_equivalent()
    mutants = [(f, m) for f in files for m in mutants_of(f) if key_of(f, m) not in equivalent]
    print(f"{len(mutants)} mutants in {len(files)} files "
          f"({len(equivalent)} marked equivalent and skipped)")
    if args.sample and args.sample < len(mutants):
        mutants = random.Random(args.seed).sample(mutants, args.sample)
        mutants.sort(key=lambda fm: (fm[0], fm[1][0]))
    if args.list:
        for path, (number, op, old, new) in mutants:
            print(f"{path}:{number} [{op}] {old.strip()}  ->  {new.strip()}")
        return 0

    work = tempfile.mkdtemp(prefix="parlivo-mutants-")
    tree = os.path.join(work, "tree")
    build = os.path.join(work, "build")
    results = []
    try:
        subprocess.run(["git", "worktree", "add", "--detach", tree, "HEAD"], cwd=ROOT,
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        code, out = run(["cmake", "-S", tree, "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                         "-DPARLIVO_BUILD_BENCH=OFF"], tree)
        code, out = run(["cmake", "--build", build, f"-j{os.cpu_count()}"], tree)
        if code != 0:
            print(out[-3000:])
            print("the unmutated tree does not build")
            return 1
        started = time.time()
        for index, (path, mutant) in enumerate(mutants, 1):
            number, op, old, new = mutant
            target = os.path.join(tree, path)
            original = open(target, encoding="utf-8").read()
            lines = original.split("\n")
            lines[number - 1] = new
            open(target, "w", encoding="utf-8").write("\n".join(lines))
            tests = tests_reaching(tree, path)
            begun = time.time()
            code, _ = run(["cmake", "--build", build, f"-j{os.cpu_count()}", "--target", "parlivo",
                           "parlivo_mail"] + tests, tree, timeout=args.timeout)
            if code is None:
                outcome = "timeout"
            elif code != 0:
                outcome = "stillborn"
            else:
                pattern = "^(" + "|".join(tests) + ")$"
                left = max(10, args.timeout - int(time.time() - begun))
                code, _ = run(["ctest", "-j2", "-R", pattern, "--timeout", str(left)], build,
                              timeout=left + 30)
                if code is None:
                    outcome = "timeout"
                elif code == 0:
                    outcome = "survived"
                else:
                    again, _ = run(["ctest", "--rerun-failed", "--timeout", str(left)], build,
                                   timeout=left + 30)
                    outcome = "killed" if again != 0 else "flaky"
            open(target, "w", encoding="utf-8").write(original)
            results.append({"file": path, "line": number, "operator": op, "old": old.strip(),
                            "new": new.strip(), "outcome": outcome,
                            "seconds": round(time.time() - begun, 1)})
            print(f"[{index}/{len(mutants)}] {outcome:9} {path}:{number} [{op}] {new.strip()}",
                  flush=True)
        # Leave the tree as the last commit has it, so that a later build is right.
        run(["cmake", "--build", build, f"-j{os.cpu_count()}"], tree)
        elapsed = time.time() - started
    finally:
        subprocess.run(["git", "worktree", "remove", "--force", tree], cwd=ROOT,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.rmtree(work, ignore_errors=True)

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
