#!/usr/bin/env python3
"""The library's HLSL entries against what stands in for them: each entry of
library/index.tsv whose file compiles HLSL ("compile ps_2_0 ...") is rendered
from its source (the effect framework compiles it), from the assembly-only
file quorvel-fxc makes of it, and, with --against REV, from the file as it was
at git revision REV (the assembly version it replaced). A table gives the
largest channel difference of each against the source per size and Time. The
compiled file must render exactly as its source (0); the older version within
--tolerance (default 1 level).

With --effects DIR: every NAME.fx there with a GL transition NAME.glsl beside
it (the same effect written in GLSL) is rendered through Quorvel.dll from its
HLSL, from the assembly-only file quorvel-fxc makes of it, and by Mesa's
OpenGL from the GLSL (glsl-reference), from the same two pictures at the same
size and Times. Per effect and size: the largest channel difference from Mesa
and the share of pixels within 3 levels (the bar: 99% at every Time), and the
largest difference of the compiled file from the direct render (the bar: 0).
A line "// hlsl: OPTIONS" in the GLSL gives the render tool options for the
effect (--technique, --semantic, --param, --grid). Exits 1 on a miss."""
import argparse
import atexit
import os
import shlex
import shutil
import subprocess
import sys
import tempfile

from PIL import Image, ImageChops

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from quorvel import LIBRARY, ROOT, render  # noqa: E402
from quorvel.library import read_index  # noqa: E402
from quorvel.mesa import (BAR_LEVELS, BAR_SHARE, frames_for, last_lines, make_inputs,  # noqa: E402
                          measure, reference_picture, render_reference)
from quorvel.options import add_work_options, parse_size, parse_unit_fractions  # noqa: E402
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


OPTIONS_LINE = "// hlsl:"
# Render tool options the GLSL twin may give the effect, each with a value.
EFFECT_OPTIONS = {"--technique", "--semantic", "--param", "--grid"}


def effect_options(glsl):
    """The render tool options of the "// hlsl:" lines of a GLSL twin."""
    options = []
    with open(glsl, encoding="utf-8", errors="replace") as f:
        for line in f:
            if line.startswith(OPTIONS_LINE):
                options += shlex.split(line[len(OPTIONS_LINE):])
    for i in range(0, len(options), 2):
        if options[i] not in EFFECT_OPTIONS or i + 1 == len(options):
            raise ValueError("%s: '// hlsl:' takes %s with a value each, not %r"
                             % (glsl, ", ".join(sorted(EFFECT_OPTIONS)), options[i]))
    return options


def effect_pairs(folder):
    """(name, NAME.fx, NAME.glsl) of every effect in `folder` with a twin."""
    pairs = []
    for item in sorted(os.listdir(folder)):
        name, ext = os.path.splitext(item)
        glsl = os.path.join(folder, name + ".glsl")
        if ext == ".fx" and not name.endswith(".orig") and os.path.exists(glsl):
            pairs.append((name, os.path.join(folder, item), glsl))
    return pairs


def render_effect(effect, options, size, frames, inputs, out):
    """The render tool on one effect from the two pictures; "" or why not."""
    shutil.rmtree(out, ignore_errors=True)
    args = ["--effect", effect, "--size", "%dx%d" % size, "--frames", str(frames),
            "--from", inputs[0], "--to", inputs[1], "--out", out] + options
    run, report = render.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if run.returncode != 0:
        errors = (report or {}).get("errors") or [last_lines(run.stderr)]
        return "; ".join(errors)[-300:]
    return ""


def compare_effect(args, name, effect, glsl, inputs_by_size, values, frames):
    """One effect at every size: rows (size, worst largest, least within,
    compiled against direct) and the reason of a miss, or ""."""
    work = os.path.join(args.out, name)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    try:
        options = effect_options(glsl)
    except ValueError as e:
        return [], str(e)
    # The compiled file among links to the effect's neighbours, so that the
    # files it names resolve as they do for the source.
    beside = os.path.join(work, "files")
    os.makedirs(beside)
    for item in os.listdir(os.path.dirname(effect)):
        os.symlink(os.path.join(os.path.dirname(effect), item), os.path.join(beside, item))
    compiled = os.path.join(beside, ".compiled.fx")
    made = subprocess.run([os.path.join(args.build, "native", "quorvel-fxc"), effect,
                           "-o", compiled], stdin=subprocess.DEVNULL,
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if made.returncode != 0:
        return [], "quorvel-fxc: " + last_lines(made.stderr)
    rows = []
    for size, inputs in inputs_by_size:
        tag = "%dx%d" % size
        mesa = os.path.join(work, tag, "mesa")
        reference = render_reference(args.build, glsl, inputs, size, values, mesa, {})
        direct = os.path.join(work, tag, "direct")
        why = render_effect(effect, options, size, frames, inputs, direct)
        assembly = os.path.join(work, tag, "compiled")
        why = why or render_effect(compiled, options, size, frames, inputs, assembly)
        _, rerr = reference.communicate()
        if why:
            return rows, "%s: does not render: %s" % (tag, why)
        if reference.returncode != 0:
            return rows, "%s: glsl-reference: %s" % (tag, last_lines(rerr))
        worst, least, apart = 0, 1.0, 0
        for t in values:
            frame = "frame-%04d.png" % int(t * (frames - 1))
            largest, within = measure(os.path.join(direct, frame), reference_picture(mesa, t))
            worst, least = max(worst, largest), min(least, within)
            apart = max(apart, measure(os.path.join(assembly, frame),
                                       os.path.join(direct, frame))[0])
        rows.append((tag, worst, least, apart))
    misses = ["%s: %.2f%% within %d of Mesa" % (tag, least * 100, BAR_LEVELS)
              for tag, _, least, _ in rows if least < BAR_SHARE]
    misses += ["%s: the compiled file differs from the source by %d" % (tag, apart)
               for tag, _, _, apart in rows if apart]
    return rows, "; ".join(misses)


def compare_effects(args, sizes):
    """--effects DIR: each effect against Mesa's rendering of its GLSL twin."""
    folder = os.path.abspath(args.effects)
    if not os.path.isdir(folder):
        raise SystemExit("compare-hlsl: no folder %s" % args.effects)
    pairs = effect_pairs(folder)
    if not pairs:
        raise SystemExit("compare-hlsl: no NAME.fx with NAME.glsl beside it in %s" % args.effects)
    values = parse_unit_fractions(args.progress, "Time")
    frames = frames_for(values)
    args.out = os.path.abspath(args.out)
    inputs_by_size = make_inputs(args.out, sizes, args.seed)
    print("HLSL effects through Quorvel.dll vs Mesa (Time %s): bar >= %d%% of pixels within %d "
          "levels, the compiled file equal to the source"
          % (", ".join("%g" % float(t) for t in values), BAR_SHARE * 100, BAR_LEVELS))
    print("%-16s %-8s %8s %9s %9s  %s" % ("effect", "size", "largest", "within 3", "compiled",
                                        "verdict"))
    failed = []
    for name, effect, glsl in pairs:
        rows, why = compare_effect(args, name, effect, glsl, inputs_by_size, values, frames)
        for tag, worst, least, apart in rows:
            ok = least >= BAR_SHARE and apart == 0
            print("%-16s %-8s %8d %8.2f%% %9d  %s" % (name, tag, worst, least * 100, apart,
                                                      "ok" if ok else "MISS"))
        if why:
            failed.append(name)
            print("%-16s => MISS: %s" % (name, why))
        else:
            print("%-16s => match" % name)
            if not args.keep:
                shutil.rmtree(os.path.join(args.out, name), ignore_errors=True)
        sys.stdout.flush()
    print("compare-hlsl: %d effects, %s" % (len(pairs), "%d miss: %s" % (len(failed),
                                                                         ", ".join(failed))
                                            if failed else "all within the bar"))
    return 1 if failed else 0


def main():
    p = argparse.ArgumentParser(prog="compare-hlsl.sh", description=__doc__)
    p.add_argument("--size", default=None,
                   help="output sizes WxH separated by commas (default 131x97,320x180,720x480; "
                        "with --effects 131x97)")
    p.add_argument("--frames", type=int, default=5,
                   help="library entries: frames from Time 0 to 1 (default 5: 0, 0.25, 0.5, "
                        "0.75, 1)")
    p.add_argument("--effects", default="",
                   help="a folder of NAME.fx effects with GL transitions NAME.glsl beside them, "
                        "compared with Mesa's rendering of the GLSL instead of the library")
    p.add_argument("--progress", default="0,0.5,1",
                   help="with --effects: the Times compared, fractions or decimals "
                        "(default 0,0.5,1)")
    p.add_argument("--seed", type=int, default=1,
                   help="with --effects: seed of the two generated input pictures (default 1)")
    p.add_argument("--keep", action="store_true", help="with --effects: keep the frames of matches")
    p.add_argument("--against", default="",
                   help="git revision whose files are the versions replaced (default: none)")
    p.add_argument("--tolerance", type=int, default=1,
                   help="largest difference allowed against --against (default 1)")
    p.add_argument("--only", default="", help="comma-separated entry names (default: all HLSL)")
    add_work_options(p, "compare-hlsl")
    args = p.parse_args()
    if args.size is None:
        args.size = "131x97" if args.effects else "131x97,320x180,720x480"
    try:
        sizes = [parse_size(s) for s in args.size.split(",")]
        if args.effects:
            parse_unit_fractions(args.progress, "Time")
    except (argparse.ArgumentTypeError, ValueError, ZeroDivisionError) as e:
        p.error(str(e))
    if args.frames < 2:
        p.error("--frames takes 2 or more")
    fxc = os.path.join(args.build, "native", "quorvel-fxc")
    if not os.access(fxc, os.X_OK):
        p.error("no compiler %s (build first)" % fxc)
    if args.effects:
        os.environ["QUORVEL_BUILD_DIR"] = os.path.abspath(args.build)
        atexit.register(DesktopKeeper().__enter__().__exit__)
        return compare_effects(args, sizes)
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
