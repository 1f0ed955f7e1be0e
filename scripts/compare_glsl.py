#!/usr/bin/env python3
"""Compiles GL transitions (vec4 transition(vec2 uv), getFromColor,
getToColor, progress, ratio, uniforms with `// = default`) with quorvel-fxc,
renders each through Quorvel.dll with the render tool at several progress
values, renders the same GLSL with Mesa's own OpenGL (glsl-reference) from
the same two images at the same size, and prints per transition, size and
progress the largest channel difference and the share of pixels within 3
levels. A transition matches when at least 99% of its pixels are within 3
levels at every progress value and size. Exits 1 when a transition misses
and is not listed as an expected failure. Run through scripts/compare-glsl.sh,
which keeps one Wine session for the whole run."""
import argparse
import atexit
import concurrent.futures
import os
import re
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from quorvel import ROOT  # noqa: E402
from quorvel.wine import DesktopKeeper  # noqa: E402
# Re-exported: differential_glsl.py reads them from here.
from quorvel.mesa import (BAR_LEVELS, BAR_SHARE, frames_for, last_lines,  # noqa: E402,F401
                          make_image, make_inputs, measure, render_reference, tool)
from quorvel.options import add_work_options, parse_size, parse_unit_fractions  # noqa: E402

SAMPLER = re.compile(r"^\s*uniform\s+sampler2D\s+(\w+)\s*;", re.M)


def parse_progress(text):
    return parse_unit_fractions(text, "progress")


def read_expected(path):
    """name -> reason, from a TSV: name, reason; # starts a comment."""
    expected = {}
    if path and os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            for line in f:
                line = line.rstrip("\n")
                if not line.strip() or line.startswith("#"):
                    continue
                cells = line.split("\t") + [""]
                expected[cells[0].strip()] = cells[1].strip()
    return expected


def compile_fx(build, source, fx, textures=None):
    """quorvel-fxc; each texture file is copied beside the effect, which
    names it relative to itself."""
    cmd = [tool(build, "quorvel-fxc"), source, "-o", fx]
    for name, path in sorted((textures or {}).items()):
        copy = os.path.join(os.path.dirname(fx), name + os.path.splitext(path)[1])
        shutil.copyfile(path, copy)
        cmd += ["--texture", "%s=%s" % (name, os.path.basename(copy))]
    return subprocess.run(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE)


def textures_of(source):
    """A sampler2D uniform reads textures/NAME.png beside the transition."""
    with open(source, encoding="utf-8", errors="replace") as f:
        names = SAMPLER.findall(f.read())
    folder = os.path.join(os.path.dirname(os.path.abspath(source)), "textures")
    return {n: os.path.join(folder, n + ".png") for n in names}


def render_quorvel(fx, inputs, size, frames, folder):
    cmd = [os.path.join(ROOT, "scripts", "quorvel-render"), "--effect", fx,
           "--size", "%dx%d" % size, "--frames", str(frames),
           "--from", inputs[0], "--to", inputs[1], "--out", folder]
    return subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE)


def render_quorvel_retried(fx, inputs, size, frames, folder):
    """The render tool once more when a Wine process dies under it (a
    killed process on a loaded machine is not the effect's fault)."""
    q = render_quorvel(fx, inputs, size, frames, folder)
    _, err = q.communicate()
    if q.returncode != 0 and b"Killed" in err:
        q = render_quorvel(fx, inputs, size, frames, folder)
        _, err = q.communicate()
    return q, err


class Result:
    def __init__(self, name):
        self.name = name
        self.compiled = False
        self.rendered = False
        self.matched = False
        self.why = ""
        self.rows = []  # (size tag, progress, largest, within)


def compare_one(args, source, inputs_by_size, values, frames):
    """Compiles, renders both ways and measures one transition."""
    name = os.path.splitext(os.path.basename(source))[0]
    result = Result(name)
    work = os.path.join(args.out, name)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    fx = os.path.join(work, name + ".fx")
    textures = textures_of(source)
    missing = [p for p in textures.values() if not os.path.exists(p)]
    if missing:
        result.why = "no texture file " + ", ".join(missing)
        return result
    c = compile_fx(args.build, source, fx, textures)
    if c.returncode != 0 or not os.path.exists(fx):
        result.why = "does not compile: " + last_lines(c.stderr)
        return result
    result.compiled = True
    rendered = True
    matched = True
    for size, inputs in inputs_by_size:
        tag = "%dx%d" % size
        ours_dir = os.path.join(work, tag, "quorvel")
        ref_dir = os.path.join(work, tag, "reference")
        r = render_reference(args.build, source, inputs, size, values, ref_dir, textures)
        q, qerr = render_quorvel_retried(fx, inputs, size, frames, ours_dir)
        _, rerr = r.communicate()
        if r.returncode != 0:
            result.why = "reference: " + last_lines(rerr)
            rendered = False
            break
        if q.returncode != 0:
            result.why = "render tool exit %d: %s" % (q.returncode, last_lines(qerr))
            rendered = False
            break
        for t in values:
            ours = os.path.join(ours_dir, "frame-%04d.png" % int(t * (frames - 1)))
            theirs = os.path.join(ref_dir, "p%.4f.png" % float(t))
            if not os.path.exists(ours):
                result.why = "render tool wrote no %s" % os.path.basename(ours)
                rendered = False
                break
            largest, within = measure(ours, theirs)
            result.rows.append((tag, t, largest, within))
            if within < BAR_SHARE:
                matched = False
                if not result.why:
                    result.why = "%s progress %.3f: largest %d, %.2f%% within %d" % (
                        tag, float(t), largest, within * 100, BAR_LEVELS)
        if not rendered:
            break
    result.rendered = rendered
    result.matched = rendered and matched
    if not args.keep and result.matched:
        shutil.rmtree(work, ignore_errors=True)
    return result


def main():
    p = argparse.ArgumentParser(prog="compare-glsl.sh", description=__doc__)
    p.add_argument("transitions", nargs="*",
                   help="GL transition files or folders of them (default tests/glsl/transitions)")
    p.add_argument("--size", default="131x97,160x90",
                   help="output sizes WxH, separated by commas (default 131x97,160x90)")
    p.add_argument("--progress", default="0,0.3,0.5,0.8,1",
                   help="progress values compared, fractions or decimals (default 0,0.3,0.5,0.8,1)")
    p.add_argument("--seed", type=int, default=1,
                   help="seed of the two generated input pictures (default 1)")
    p.add_argument("--expected-failures", default=os.path.join(ROOT, "tests", "glsl",
                                                                "expected-failures.tsv"),
                   help="names that may miss, with the reason (default tests/glsl/expected-failures.tsv)")
    p.add_argument("--one-size", action="store_true",
                   help="each transition at one of the sizes in turn, not at all of them")
    p.add_argument("--jobs", type=int, default=2, help="transitions at once (default 2)")
    add_work_options(p, "compare-glsl")
    p.add_argument("--keep", action="store_true", help="keep the frames of matches too")
    p.add_argument("--summary", help="also write the per-transition outcome as TSV here")
    args = p.parse_args()
    try:
        sizes = [parse_size(s) for s in args.size.split(",")]
        values = parse_progress(args.progress)
    except (argparse.ArgumentTypeError, ValueError, ZeroDivisionError) as e:
        p.error(str(e))
    frames = frames_for(values)
    for name in ("quorvel-fxc", "glsl-reference"):
        if not os.path.exists(tool(args.build, name)):
            p.error("no %s in %s (build first)" % (name, os.path.join(args.build, "native")))

    sources = []
    for item in args.transitions or [os.path.join(ROOT, "tests", "glsl", "transitions")]:
        if os.path.isdir(item):
            sources += sorted(os.path.join(item, f) for f in os.listdir(item) if f.endswith(".glsl"))
        elif os.path.exists(item):
            sources.append(item)
        else:
            p.error("no file %s" % item)
    if not sources:
        p.error("no transitions")
    expected = read_expected(args.expected_failures)
    args.out = os.path.abspath(args.out)
    os.makedirs(args.out, exist_ok=True)
    os.environ["QUORVEL_BUILD_DIR"] = os.path.abspath(args.build)

    inputs_by_size = make_inputs(args.out, sizes, args.seed)

    print("GLSL through quorvel-fxc and Quorvel.dll vs Mesa (%s; progress %s): "
          "bar >= %d%% of pixels within %d levels"
          % (", ".join("%dx%d" % s for s in sizes), ", ".join("%g" % float(t) for t in values),
             BAR_SHARE * 100, BAR_LEVELS))
    print("%-28s %-8s %8s %7s %9s  %s" % ("transition", "size", "progress", "largest",
                                        "within 3", "verdict"))
    started = time.time()
    results = []
    # One Wine program kept open holds the desktop between the renders.
    atexit.register(DesktopKeeper().__enter__().__exit__)
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
        futures = [pool.submit(compare_one, args, s,
                               [inputs_by_size[i % len(inputs_by_size)]] if args.one_size
                               else inputs_by_size, values, frames)
                   for i, s in enumerate(sources)]
        for future in futures:
            result = future.result()
            results.append(result)
            for tag, t, largest, within in result.rows:
                print("%-28s %-8s %8.3f %7d %8.2f%%  %s"
                      % (result.name, tag, float(t), largest, within * 100,
                         "ok" if within >= BAR_SHARE else "MISS"))
            if result.matched:
                verdict = "match" + (" (listed as an expected failure; drop it from the list)"
                                     if result.name in expected else "")
            else:
                verdict = "MISS: %s%s" % (result.why, " (expected: %s)" % expected[result.name]
                                          if result.name in expected else "")
            print("%-28s => %s" % (result.name, verdict))
            sys.stdout.flush()

    compiled = sum(r.compiled for r in results)
    rendered = sum(r.rendered for r in results)
    matched = sum(r.matched for r in results)
    print()
    print("%d transitions: %d compile, %d render, %d match (%.0f s)"
          % (len(results), compiled, rendered, matched, time.time() - started))
    if args.summary:
        with open(args.summary, "w", encoding="utf-8") as f:
            f.write("name\tcompiled\trendered\tmatched\twhy\n")
            for r in results:
                f.write("%s\t%d\t%d\t%d\t%s\n" % (r.name, r.compiled, r.rendered, r.matched,
                                                  r.why.replace("\t", " ")))
    unexpected = [r.name for r in results if not r.matched and r.name not in expected]
    if unexpected:
        print("compare-glsl: misses not listed in %s: %s"
              % (os.path.relpath(args.expected_failures, ROOT), ", ".join(unexpected)),
              file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
