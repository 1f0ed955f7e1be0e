#!/usr/bin/env python3
"""Differential testing of quorvel-fxc: random well-formed GL transitions
(tests/glsl/differential/program.py: expression trees over the supported
functions, nested branches, bounded loops, dependent reads), each compiled by
quorvel-fxc and rendered through Quorvel.dll, and rendered by Mesa's OpenGL
from the same GLSL; a program whose pictures miss the bar (>= 99% of pixels
within 3 levels) or that Mesa accepts and quorvel-fxc rejects is reduced to a
small failing case written into --found. Seeds run in order from --seed, so a
run is repeatable; a seed listed in the expected failures may fail. Exits 1
on any other failure. Run through scripts/differential-glsl.sh."""
import argparse
import concurrent.futures
import os
import re
import shutil
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import compare_glsl  # noqa: E402
from quorvel import ROOT  # noqa: E402
from quorvel.options import add_work_options  # noqa: E402

sys.path.insert(0, os.path.join(ROOT, "tests", "glsl", "differential"))
import program as generator  # noqa: E402


def verdict(args, text, work):
    """("ok" | "mismatch" | "rejected" | "invalid", detail) for one program."""
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    source = os.path.join(work, "t.glsl")
    with open(source, "w", encoding="utf-8") as f:
        f.write(text)
    ref_dir = os.path.join(work, "reference")
    r = compare_glsl.render_reference(args.build, source, args.inputs, args.size_pair,
                                      args.values, ref_dir, {})
    fx = os.path.join(work, "t.fx")
    c = compare_glsl.compile_fx(args.build, source, fx)
    _, rerr = r.communicate()
    if r.returncode != 0:
        return "invalid", compare_glsl.last_lines(rerr)
    if c.returncode != 0 or not os.path.exists(fx):
        return "rejected", compare_glsl.last_lines(c.stderr)
    ours_dir = os.path.join(work, "quorvel")
    q, qerr = compare_glsl.render_quorvel_retried(fx, args.inputs, args.size_pair, args.frames,
                                                  ours_dir)
    if q.returncode != 0:
        return "rejected", "render tool: " + compare_glsl.last_lines(qerr)
    worst = None
    for t in args.values:
        ours = os.path.join(ours_dir, "frame-%04d.png" % int(t * (args.frames - 1)))
        theirs = os.path.join(ref_dir, "p%.4f.png" % float(t))
        largest, within = compare_glsl.measure(ours, theirs)
        if worst is None or within < worst[2]:
            worst = (t, largest, within)
    t, largest, within = worst
    detail = "progress %.3f: largest %d, %.2f%% within %d" % (float(t), largest, within * 100,
                                                             compare_glsl.BAR_LEVELS)
    return ("ok" if within >= compare_glsl.BAR_SHARE else "mismatch"), detail


def message_class(detail):
    """A rejection's message without positions and numbers, to keep the
    reducer on the same fault."""
    return re.sub(r"[0-9]+", "N", detail.split(" | ")[0])[:120]


def reduce_case(args, seed, program, kind, detail, work):
    target = message_class(detail) if kind == "rejected" else None

    def still_fails(text):
        k, d = verdict(args, text, work)
        if k != kind:
            return False
        return target is None or message_class(d) == target

    reduced = generator.reduce(program, still_fails, budget=args.reduce_budget)
    return reduced.text()


def main():
    p = argparse.ArgumentParser(prog="differential-glsl.sh", description=__doc__)
    p.add_argument("--seed", type=int, default=1, help="first seed (default 1)")
    p.add_argument("--count", type=int, default=0, help="programs to run (default: until --seconds)")
    p.add_argument("--seconds", type=float, default=60, help="time budget (default 60)")
    p.add_argument("--size", default="67x47", help="output size (default 67x47)")
    p.add_argument("--progress", default="1/3,2/3", help="progress values (default 1/3,2/3)")
    p.add_argument("--jobs", type=int, default=2, help="programs at once (default 2)")
    p.add_argument("--no-reduce", action="store_true", help="report failures without reducing")
    p.add_argument("--reduce-budget", type=int, default=300,
                   help="checks the reducer may spend per failure (default 300)")
    p.add_argument("--expected-failures", default=os.path.join(ROOT, "tests", "glsl",
                                                                "expected-failures.tsv"),
                   help="seeds (as seed-N) that may fail (default tests/glsl/expected-failures.tsv)")
    add_work_options(p, "differential-glsl")
    p.add_argument("--found", help="folder for reduced failing cases (default OUT/found)")
    args = p.parse_args()
    try:
        args.size_pair = compare_glsl.parse_size(args.size)
        args.values = compare_glsl.parse_progress(args.progress)
    except (argparse.ArgumentTypeError, ValueError, ZeroDivisionError) as e:
        p.error(str(e))
    args.frames = compare_glsl.frames_for(args.values)
    args.out = os.path.abspath(args.out)
    args.found = os.path.abspath(args.found or os.path.join(args.out, "found"))
    os.makedirs(args.found, exist_ok=True)
    os.environ["QUORVEL_BUILD_DIR"] = os.path.abspath(args.build)
    expected = compare_glsl.read_expected(args.expected_failures)
    inputs = os.path.join(args.out, "inputs")
    os.makedirs(inputs, exist_ok=True)
    args.inputs = [compare_glsl.make_image(os.path.join(inputs, "from.png"), args.size_pair, 7001),
                   compare_glsl.make_image(os.path.join(inputs, "to.png"), args.size_pair, 7002)]

    # "reject:TEXT" entries name compiler limits already known: a rejection
    # whose message holds TEXT is reported but does not fail the run.
    known = [k[len("reject:"):] for k in expected if k.startswith("reject:")]
    started = time.time()
    lock = threading.Lock()
    next_seed = [args.seed]
    counts = {"ok": 0, "mismatch": 0, "rejected": 0, "invalid": 0}
    failures = []

    def take():
        with lock:
            if args.count and next_seed[0] >= args.seed + args.count:
                return None
            if not args.count and time.time() - started > args.seconds:
                return None
            seed = next_seed[0]
            next_seed[0] += 1
            return seed

    def worker(slot):
        work = os.path.join(args.out, "work%d" % slot)
        while True:
            seed = take()
            if seed is None:
                return
            program = generator.generate(seed)
            kind, detail = verdict(args, program.text(), work)
            with lock:
                counts[kind] += 1
                if kind != "ok":
                    print("seed %d: %s: %s" % (seed, kind, detail))
                    sys.stdout.flush()
            if kind in ("ok", "invalid"):
                continue
            path = os.path.join(args.found, "seed-%d.glsl" % seed)
            text = program.text()
            if kind == "rejected" and any(k in detail for k in known):
                with lock:
                    failures.append(("seed-%d" % seed, kind, detail, ""))
                continue
            if not args.no_reduce:
                text = reduce_case(args, seed, program, kind, detail, work)
            with open(path, "w", encoding="utf-8") as f:
                f.write(text)
            k, d = verdict(args, text, work)
            with lock:
                failures.append(("seed-%d" % seed, kind, d, path))
                print("seed %d: %s to %d lines: %s (%s: %s)"
                      % (seed, "kept" if args.no_reduce else "reduced", text.count("\n"), path,
                         k, d))
                sys.stdout.flush()

    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
        for f in [pool.submit(worker, i) for i in range(max(1, args.jobs))]:
            f.result()

    total = sum(counts.values())
    print("differential: %d programs from seed %d in %.0f s: %d agree, %d mismatch, "
          "%d rejected by quorvel-fxc, %d invalid GLSL (generator)"
          % (total, args.seed, time.time() - started, counts["ok"], counts["mismatch"],
             counts["rejected"], counts["invalid"]))
    unexpected = [f for f in failures if f[0] not in expected and
                  not (f[1] == "rejected" and any(k in f[2] for k in known))]
    for name, kind, detail, path in failures:
        listed = name in expected or (kind == "rejected" and any(k in detail for k in known))
        print("  %s %s%s: %s" % (name, kind, " (known)" if listed else "", path or detail))
    if unexpected or counts["invalid"]:
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
