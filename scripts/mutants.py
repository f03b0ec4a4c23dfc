#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""Plants each fault of a list in the source, one at a time, rebuilds and runs the test suite,
and writes which tests caught which fault (the kill matrix).

    scripts/mutants.py [--build DIR] [--faults FILE] [--only REGEX] [--matrix FILE] [-E REGEX]

A fault is one line of the list:  <id> <path>: <original> => <replacement>  ("\\n" is a line
break; an empty replacement deletes the original).
The original text must occur exactly once in the file; a fault whose text no longer occurs is
reported as stale, so the list is kept in step with the code. Only the tests whose executable
changed are run (the others run the very same binary as before and cannot notice the fault);
the system tests run whenever the quillmote executable changed. The source is restored after
every fault and on Ctrl-C.
"""
import argparse
import json
import os
import re
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LINE = re.compile(r"^(\S+)\s+(\S+?):\s(.*?) =>(?: (.*))?$")
QT_FAIL = re.compile(r"^FAIL!\s+: \w+::(\w+)\(")
PY_FAIL = re.compile(r"^(?:FAIL|ERROR): (test_\w+) ")


def read_faults(path):
    faults = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            m = LINE.match(line)
            if not m:
                sys.exit(f"{path}:{number}: not '<id> <path>: <original> => <replacement>'")
            # "\\n" stands for a line break, so that a fault can span lines.
            fid, fpath, original, replacement = (part.replace("\\n", "\n") if part else "" for part in m.groups())
            faults.append({"id": fid, "path": fpath, "original": original, "replacement": replacement})
    ids = [f["id"] for f in faults]
    if len(ids) != len(set(ids)):
        sys.exit(f"{path}: fault ids repeat")
    return faults


def occurrences(fault):
    try:
        with open(os.path.join(ROOT, fault["path"]), encoding="utf-8") as f:
            return f.read().count(fault["original"])
    except FileNotFoundError:
        return 0


def ctest_tests(build):
    out = subprocess.run(["ctest", "--show-only=json-v1"], cwd=build, capture_output=True, text=True, check=True)
    tests = {}
    for test in json.loads(out.stdout)["tests"]:
        command = test.get("command") or []
        # Qt Test executables run themselves; the python scripts run the quillmote executable.
        binary = command[0] if command and not command[0].endswith("python3") else os.path.join(build, "quillmote")
        tests[test["name"]] = binary
    return tests


def failures_by_test(build):
    """Test name -> failed functions, from the log of the last ctest run."""
    log = os.path.join(build, "Testing", "Temporary", "LastTest.log")
    failed = {}
    current = None
    with open(log, encoding="utf-8", errors="replace") as f:
        for line in f:
            m = re.match(r"^\d+/\d+ Testing: (\S+)", line)
            if m:
                current = m.group(1)
                continue
            m = QT_FAIL.match(line) or PY_FAIL.match(line)
            if m and current:
                failed.setdefault(current, set()).add(m.group(1))
    listed = failed_log(build)
    names = set()
    if os.path.exists(listed):
        with open(listed) as f:
            names = {line.strip().split(":", 1)[1] for line in f if ":" in line}
    return {name: sorted(failed.get(name, set())) or ["(whole run)"] for name in names}


def failed_log(build):
    return os.path.join(build, "Testing", "Temporary", "LastTestsFailed.log")


def run_tests(build, *ctest_args):
    if os.path.exists(failed_log(build)):
        os.remove(failed_log(build))  # ctest leaves the last list in place when nothing fails
    subprocess.run(["bash", os.path.join(ROOT, "scripts", "run-tests.sh"), build, *ctest_args], capture_output=True)


def build_tree(build):
    return subprocess.run(["cmake", "--build", build], capture_output=True, text=True).returncode == 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build-mutants"))
    parser.add_argument("--faults", default=os.path.join(ROOT, "tests", "mutants", "faults.txt"))
    parser.add_argument("--only", default="", help="run the faults whose id matches this regex")
    parser.add_argument("--matrix", default="", help="where to write the kill matrix (default BUILD/mutants.tsv)")
    parser.add_argument("-E", dest="exclude", default="", help="ctest -E: tests left out of every run")
    parser.add_argument("--check", action="store_true", help="only check that every fault still applies")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    matrix = args.matrix or os.path.join(build, "mutants.tsv")
    faults = [f for f in read_faults(args.faults) if re.search(args.only, f["id"])]
    if args.check:
        stale = [f["id"] for f in faults if occurrences(f) != 1]
        print(f"{len(faults) - len(stale)} of {len(faults)} faults apply" +
              (": stale " + ", ".join(stale) if stale else ""))
        return 1 if stale else 0

    if not os.path.exists(os.path.join(build, "CMakeCache.txt")):
        subprocess.run(["cmake", "-S", ROOT, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug",
                        "-DCMAKE_CXX_FLAGS_DEBUG=-O0", "-DQUILLMOTE_TEST_TURNS=OFF"],  # catches are checked alone
                       check=True, stdout=subprocess.DEVNULL)
    if not build_tree(build):
        sys.exit("the unmodified tree does not build")
    tests = ctest_tests(build)

    restore = {}

    def put_back(*_):
        for path, text in restore.items():
            with open(path, "w", encoding="utf-8") as f:
                f.write(text)
        restore.clear()

    signal.signal(signal.SIGTERM, lambda *a: (put_back(), sys.exit(1)))
    rows = []
    out = open(matrix, "w", encoding="utf-8")  # row by row, so that a run cut short keeps its rows
    out.write("fault\tresult\tcaught by\n")
    try:
        for n, fault in enumerate(faults, 1):
            path = os.path.join(ROOT, fault["path"])
            with open(path, encoding="utf-8") as f:
                text = f.read()
            count = text.count(fault["original"])
            started = time.monotonic()
            if count != 1:
                rows.append((fault["id"], "stale", f"original occurs {count} times"))
            else:
                stamp = time.time() - 1
                restore[path] = text
                with open(path, "w", encoding="utf-8") as f:
                    f.write(text.replace(fault["original"], fault["replacement"]))
                if not build_tree(build):
                    rows.append((fault["id"], "no-build", ""))
                else:
                    changed = [name for name, binary in tests.items()
                               if os.path.exists(binary) and os.path.getmtime(binary) >= stamp]
                    if args.exclude:
                        changed = [name for name in changed if not re.search(args.exclude, name)]
                    killers = {}
                    if changed:
                        pattern = "^(" + "|".join(map(re.escape, changed)) + ")$"
                        run_tests(build, "-j", "8", "-R", pattern)
                        killers = failures_by_test(build)
                        if killers:
                            # Under a parallel load a timing-sensitive test may fail on its own:
                            # a catch counts only when the test fails again when run alone.
                            run_tests(build, "-j", "1", "-R", "^(" + "|".join(map(re.escape, killers)) + ")$")
                            again = failures_by_test(build)
                            killers = {name: funcs for name, funcs in killers.items() if name in again}
                    caught = "; ".join(f"{name}: {', '.join(funcs)}" for name, funcs in sorted(killers.items()))
                    rows.append((fault["id"], "caught" if killers else "SURVIVED", caught))
                put_back()
            out.write("\t".join(rows[-1]) + "\n")
            out.flush()
            print(f"[{n}/{len(faults)}] {rows[-1][0]}: {rows[-1][1]} {rows[-1][2]} "
                  f"({time.monotonic() - started:.0f} s)", flush=True)
    finally:
        out.close()
        put_back()
        build_tree(build)

    viable = [r for r in rows if r[1] in ("caught", "SURVIVED")]
    caught = [r for r in viable if r[1] == "caught"]
    print(f"{len(caught)} of {len(viable)} planted faults caught; "
          f"{len(rows) - len(viable)} not planted (stale or not building); matrix in {matrix}")
    for row in viable:
        if row[1] == "SURVIVED":
            print(f"  survived: {row[0]}")
    return 0 if len(caught) == len(viable) else 1


if __name__ == "__main__":
    sys.exit(main())
