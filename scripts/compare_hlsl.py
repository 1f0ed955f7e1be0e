#!/usr/bin/env python3
"""The library's HLSL entries against what stands in for them: each entry of
library/index.tsv whose file compiles HLSL ("compile ps_2_0 ...") is rendered
from its source (the effect framework compiles it), from the assembly-only
file quorvel-fxc makes of it, and, with --against REV, from the file as it was
at git revision REV (the assembly version it replaced). A table gives the
largest channel difference of each against the source per size and Time. The
compiled file must render exactly as its source (0); the older version within
--tolerance (default 1 level)."""
import argparse
import atexit
import os
import shutil
import subprocess
import sys
import tempfile

from PIL import Image, ImageChops

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from quorvel import LIBRARY, ROOT, render  # noqa: E402
from quorvel.library import read_index  # noqa: E402
from quorvel.options import add_work_options, parse_size  # noqa: E402
from quorvel.wine import DesktopKeeper  # noqa: E402


def hlsl_entries(only):
    entries = []
    for e in read_index():
        with open(os.path.join(LIBRARY, e["file"]), encoding="utf-8") as f:
            if "compile " not in f.read():
                continue
        if not only or e["name"] in only:
            entries.append(e)
    return entries


def mirror(folder, effect_file):
    """A copy of the library's layout in `folder` by symbolic links, so that
    an effect written there finds its textures and includes as in the tree;
    returns the path the effect takes there."""
    kind_dir, name = os.path.split(effect_file)
    for item in os.listdir(LIBRARY):
        if item != kind_dir:
            os.symlink(os.path.join(LIBRARY, item), os.path.join(folder, item))
    os.makedirs(os.path.join(folder, kind_dir))
    for item in os.listdir(os.path.join(LIBRARY, kind_dir)):
        if item != name:
            os.symlink(os.path.join(LIBRARY, kind_dir, item), os.path.join(folder, kind_dir, item))
    return os.path.join(folder, kind_dir, name)


def largest_difference(a_path, b_path):
    a = Image.open(a_path).convert("RGBA")
    b = Image.open(b_path).convert("RGBA")
    if a.size != b.size:
        return 255
    return max(high for _, high in ImageChops.difference(a, b).getextrema())


def render_frames(effect, technique, size, frames, out):
    args = ["--effect", effect, "--technique", technique, "--size", "%dx%d" % size,
            "--frames", str(frames), "--out", out]
    run, report = render.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if run.returncode != 0:
        errors = (report or {}).get("errors") or [run.stderr.decode(errors="replace").strip()]
        return "; ".join(errors)[-300:]
    return ""


def main():
    p = argparse.ArgumentParser(prog="compare-hlsl.sh", description=__doc__)
    p.add_argument("--size", default="131x97,320x180,720x480",
                   help="output sizes WxH separated by commas (default 131x97,320x180,720x480)")
    p.add_argument("--frames", type=int, default=5,
                   help="frames from Time 0 to 1 (default 5: 0, 0.25, 0.5, 0.75, 1)")
    p.add_argument("--against", default="",
                   help="git revision whose files are the versions replaced (default: none)")
    p.add_argument("--tolerance", type=int, default=1,
                   help="largest difference allowed against --against (default 1)")
    p.add_argument("--only", default="", help="comma-separated entry names (default: all HLSL)")
    add_work_options(p, "compare-hlsl")
    args = p.parse_args()
    try:
        sizes = [parse_size(s) for s in args.size.split(",")]
    except argparse.ArgumentTypeError as e:
        p.error(str(e))
    if args.frames < 2:
        p.error("--frames takes 2 or more")
    fxc = os.path.join(args.build, "native", "quorvel-fxc")
    if not os.access(fxc, os.X_OK):
        p.error("no compiler %s (build first)" % fxc)
    only = set(s.strip() for s in args.only.split(",") if s.strip())
    entries = hlsl_entries(only)
    if only - set(e["name"] for e in entries):
        p.error("not HLSL entries of the index: " + ", ".join(sorted(only - set(e["name"] for e in entries))))
    os.environ["QUORVEL_BUILD_DIR"] = os.path.abspath(args.build)
    atexit.register(DesktopKeeper().__enter__().__exit__)
    scratch = tempfile.mkdtemp(prefix="compare-hlsl-")
    atexit.register(shutil.rmtree, scratch, True)

    kinds = ["compiled"] + (["against " + args.against] if args.against else [])
    print("HLSL entries: largest channel difference from the HLSL source, per Time (%s)"
          % ", ".join("%.2f" % (k / (args.frames - 1)) for k in range(args.frames)))
    print("%-12s %-10s %-9s %-22s %s" % ("name", "technique", "size", "version", "largest"))
    failures = []
    for entry in entries:
        source = os.path.join(LIBRARY, entry["file"])
        versions = {}
        folder = os.path.join(scratch, entry["name"])
        os.makedirs(folder)
        os.makedirs(os.path.join(folder, "compiled"))
        compiled = mirror(os.path.join(folder, "compiled"), entry["file"])
        made = subprocess.run([fxc, source, "-o", compiled], stderr=subprocess.PIPE)
        if made.returncode != 0:
            failures.append("%s: quorvel-fxc failed: %s" % (entry["name"], made.stderr.decode().strip()))
            continue
        versions["compiled"] = (compiled, 0)
        if args.against:
            os.makedirs(os.path.join(folder, "against"))
            old = mirror(os.path.join(folder, "against"), entry["file"])
            shown = subprocess.run(["git", "-C", ROOT, "show", "%s:library/%s" % (args.against, entry["file"])],
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            if shown.returncode != 0:
                failures.append("%s: not at %s" % (entry["name"], args.against))
                continue
            with open(old, "wb") as f:
                f.write(shown.stdout)
            versions["against " + args.against] = (old, args.tolerance)
        for size in sizes:
            tag = "%dx%d" % size
            base = os.path.join(args.out, entry["name"], tag)
            shutil.rmtree(base, ignore_errors=True)
            why = render_frames(source, entry["technique"], size, args.frames, os.path.join(base, "source"))
            if why:
                failures.append("%s %s: the source does not render: %s" % (entry["name"], tag, why))
                continue
            for kind in kinds:
                path, allowed = versions[kind]
                out = os.path.join(base, kind.split()[0])
                why = render_frames(path, entry["technique"], size, args.frames, out)
                if why:
                    failures.append("%s %s %s: does not render: %s" % (entry["name"], tag, kind, why))
                    continue
                figures = [largest_difference(os.path.join(base, "source", "frame-%04d.png" % k),
                                              os.path.join(out, "frame-%04d.png" % k))
                           for k in range(args.frames)]
                worst = max(figures)
                verdict = "ok" if worst <= allowed else "FAIL (over %d)" % allowed
                print("%-12s %-10s %-9s %-22s %s  %s" % (entry["name"], entry["technique"], tag, kind,
                                                         " ".join("%3d" % f for f in figures), verdict))
                if worst > allowed:
                    failures.append("%s %s %s: largest difference %d" % (entry["name"], tag, kind, worst))
        sys.stdout.flush()
    for f in failures:
        print("FAIL " + f)
    print("compare-hlsl: %d entries, %s" % (len(entries), "%d failures" % len(failures) if failures else "all within the bar"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
