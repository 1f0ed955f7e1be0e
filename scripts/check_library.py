#!/usr/bin/env python3
"""Renders every row of library/index.tsv through Quorvel.dll with the render
tool's --check: the entry compiles, its technique exists, and a transition
gives exactly its first input at Time 0 and its second at Time 1. Checks the
index itself first. Prints one line per entry; exits non-zero if any fails.
The library checked is the one that ships, which the build makes from
library/ (HLSL effects compiled to assembly): BUILD/library; --library names
another (library/ itself, say).
Run through scripts/check-library.sh, which starts Wine.
Usage: check_library.py [--size WxH] [--tolerance N] [--library DIR]"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from quorvel import LIBRARY, render  # noqa: E402
from quorvel.library import index_problems, read_index  # noqa: E402
from quorvel.wine import DesktopKeeper  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--size", default="97x61")
    parser.add_argument("--tolerance", default="0")
    build = os.environ.get("QUORVEL_BUILD_DIR", os.path.join(os.path.dirname(LIBRARY), "build",
                                                              "release"))
    parser.add_argument("--library", default=os.path.join(build, "library"),
                        help="the library to check (default: the build's shipped library)")
    args = parser.parse_args()
    library = args.library
    if not os.path.isfile(os.path.join(library, "index.tsv")):
        parser.error("no library at %s (build first, or give --library)" % library)
    print("check-library: %s" % library)

    failed = []
    problems = index_problems(library)
    for problem in problems:
        print("check-library: index.tsv: " + problem)
    if problems:
        failed.append("index.tsv")
    out = tempfile.mkdtemp()
    try:
        # One Wine program kept open holds the desktop between the runs.
        with DesktopKeeper():
            entries = read_index(library)
            for entry in entries:
                name = entry["name"]
                command = ["--check", "--tolerance", args.tolerance, "--size", args.size,
                           "--effect", os.path.join(library, entry["file"]),
                           "--technique", entry["technique"], "--out", os.path.join(out, name)]
                run, _ = render.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                    text=True, errors="replace")
                ok = run.returncode == 0
                print("check-library: %s %-12s %s %s" % ("ok   " if ok else "FAIL ", name,
                                                         entry["file"], entry["technique"]),
                      flush=True)
                if not ok:
                    print("".join("    " + line + "\n" for line in run.stdout.splitlines()), end="")
                    failed.append(name)
    finally:
        shutil.rmtree(out, ignore_errors=True)
    print("check-library: %d entries, %d failed%s" % (
        len(entries), len(failed), ": " + " ".join(failed) if failed else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
