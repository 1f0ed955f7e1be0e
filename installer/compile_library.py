#!/usr/bin/env python3
"""Makes the library as it ships: a copy of library/ in which every effect file
with HLSL shaders ("compile PROFILE Entry(...)") is what quorvel-fxc makes of
it, assembly only, so that Windows needs no shader compiler to run it. The
other files are copied as they are. The folder is replaced whole, only once
every file is made; the stamp is written last.

Usage: compile_library.py --fxc QUORVEL_FXC --library DIR --out DIR --stamp FILE"""
import argparse
import os
import re
import shutil
import subprocess
import sys

# Files under library/ that build it rather than belong to it.
HELPER_SUFFIXES = (".py", ".pyc", ".cmake", ".sh")
COMPILE = re.compile(rb"\bcompile\s+[pv]s_[23]_0\b")


def is_helper(name):
    return name.startswith(".") or name == "__pycache__" or name.endswith(HELPER_SUFFIXES)


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for name in ("--fxc", "--library", "--out", "--stamp"):
        p.add_argument(name, required=True)
    args = p.parse_args()
    if not os.access(args.fxc, os.X_OK):
        sys.exit("compile_library: the shader compiler %s is not built; the native build "
                 "(scripts/build.sh builds it first) makes it, or set QUORVEL_FXC when "
                 "configuring" % args.fxc)
    work = args.out + ".new"
    shutil.rmtree(work, ignore_errors=True)
    compiled = 0
    for folder, dirs, names in os.walk(args.library):
        dirs[:] = sorted(d for d in dirs if not is_helper(d))
        rel_folder = os.path.relpath(folder, args.library)
        os.makedirs(os.path.join(work, rel_folder), exist_ok=True)
        for name in sorted(n for n in names if not is_helper(n)):
            source = os.path.join(folder, name)
            target = os.path.join(work, rel_folder, name)
            with open(source, "rb") as f:
                text = f.read()
            if name.lower().endswith(".fx") and COMPILE.search(text):
                run = subprocess.run([args.fxc, source, "-o", target], stderr=subprocess.PIPE)
                if run.returncode != 0:
                    shutil.rmtree(work, ignore_errors=True)
                    sys.stderr.write(run.stderr.decode(errors="replace"))
                    sys.exit("compile_library: %s does not compile" % source)
                compiled += 1
            else:
                shutil.copy2(source, target)
    shutil.rmtree(args.out, ignore_errors=True)
    os.rename(work, args.out)
    with open(args.stamp, "w") as f:
        f.write("%d effect files compiled\n" % compiled)


if __name__ == "__main__":
    main()
