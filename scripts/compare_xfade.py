#!/usr/bin/env python3
"""Renders every library transition that names an FFmpeg xfade counterpart
(library/index.tsv) through Quorvel.dll with the render tool, and the same
frames with ffmpeg's xfade from the same two RGB images, and prints per entry
and Time the largest channel difference, the share of pixels within 2 and the
PSNR, with a verdict per entry against the bar (largest difference <= 2, or
>= 99% of pixels within 2, at every Time). Exits 1 when an entry misses the
bar without a reason in the misses file, or when more entries miss than
allowed. Run through scripts/compare-xfade.sh, which keeps one Wine session
for the whole run."""
import argparse
import atexit
import math
import os
import shutil
import subprocess
import sys
from fractions import Fraction

from PIL import Image, ImageChops

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from quorvel import ROOT, ffmpeg, render  # noqa: E402
from quorvel.wine import DesktopKeeper  # noqa: E402
from quorvel.options import add_work_options, parse_size, parse_unit_fractions  # noqa: E402
from quorvel.library import read_misses, xfade_entries  # noqa: E402
BAR_DIFF = 2  # largest channel difference that always passes
BAR_SHARE = 0.99  # else at least this share of pixels within BAR_DIFF


def parse_times(text):
    return parse_unit_fractions(text, "Time")


def steps_for(times):
    """The frame grid k/steps holding every Time: the render tool renders
    Time k/(N-1), ffmpeg's frame k at rate steps has progress 1 - k/steps."""
    steps = 1
    for t in times:
        steps = steps * t.denominator // math.gcd(steps, t.denominator)
    if steps > 400:
        raise SystemExit("compare-xfade: the Times need %d frames; use simpler fractions" % steps)
    return steps


def measure(ours, theirs):
    """Largest channel difference, share of pixels whose channels are all
    within BAR_DIFF, PSNR in dB (inf when equal)."""
    a = Image.open(ours).convert("RGB")
    b = Image.open(theirs).convert("RGB")
    if a.size != b.size:
        raise ValueError("sizes differ: %s %s" % (a.size, b.size))
    diff = ImageChops.difference(a, b)
    hist = diff.histogram()
    largest, squares = 0, 0
    for c in range(3):
        for v in range(256):
            n = hist[c * 256 + v]
            if n:
                largest = max(largest, v)
                squares += n * v * v
    pixels = a.size[0] * a.size[1]
    r, g, bl = diff.split()
    worst = ImageChops.lighter(ImageChops.lighter(r, g), bl)
    within = sum(worst.histogram()[: BAR_DIFF + 1]) / pixels
    mse = squares / (3.0 * pixels)
    psnr = math.inf if mse == 0 else 10 * math.log10(255.0 * 255.0 / mse)
    return largest, within, psnr


def passes(largest, within):
    return largest <= BAR_DIFF or within >= BAR_SHARE


def prepare_inputs(args, size, folder):
    """Both inputs scaled once to the output size, so the render tool and
    ffmpeg read the very same pixels."""
    os.makedirs(folder, exist_ok=True)
    paths = []
    for name, src in (("from", args.from_image), ("to", args.to_image)):
        im = Image.open(src).convert("RGB")
        if im.size != size:
            im = im.resize(size, Image.BICUBIC)
        path = os.path.join(folder, name + ".png")
        im.save(path)
        paths.append(path)
    return paths


def ffmpeg_frames(xfade, inputs, steps, folder, expr=None):
    """xfade's frames k = 0..steps at progress 1 - k/steps; with expr, its
    custom transition on one thread (its expression state is shared)."""
    os.makedirs(folder, exist_ok=True)
    how = "transition=%s" % xfade if expr is None else "transition=custom:expr='%s'" % expr
    graph = ("[0:v]format=gbrp[a];[1:v]format=gbrp[b];"
             "[a][b]xfade=%s:duration=1:offset=0,format=rgb24" % how)
    cmd = []
    if expr is not None:
        cmd += ["-filter_complex_threads", "1"]
    cmd += ["-loop", "1", "-framerate", str(steps), "-i", inputs[0],
            "-loop", "1", "-framerate", str(steps), "-i", inputs[1],
            "-filter_complex", graph, "-frames:v", str(steps + 1),
            "-start_number", "0", os.path.join(folder, "frame-%04d.png")]
    return ffmpeg.popen(*cmd)


def quorvel_frames(entry, inputs, size, steps, folder):
    """The render tool's frames; returns (exit code, why it failed or "")."""
    args = ["--effect", os.path.join(ROOT, "library", entry["file"]),
            "--technique", entry["technique"], "--size", "%dx%d" % size,
            "--frames", str(steps + 1), "--from", inputs[0], "--to", inputs[1],
            "--out", folder]
    run, report = render.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if run.returncode == 0 and (report is None or len(report["frames"]) != steps + 1):
        return 1, "frames missing after the render"
    if run.returncode == 0:
        return 0, ""
    errors = (report or {}).get("errors") or [run.stderr.decode(errors="replace").strip()]
    return run.returncode, "; ".join(errors)[-300:]


def fmt_time(t):
    return "%.3f" % float(t)


def main():
    p = argparse.ArgumentParser(prog="compare-xfade.sh", description=__doc__)
    p.add_argument("--size", default="320x240",
                   help="output size WxH, or several separated by commas (default 320x240)")
    p.add_argument("--from", dest="from_image",
                   help="first image (default: the render tool's built-in one)")
    p.add_argument("--to", dest="to_image",
                   help="second image (default: the render tool's built-in one)")
    p.add_argument("--times", default="0,0.1,0.25,0.5,0.7,0.9,1",
                   help="Times compared, fractions or decimals in 0..1 (default 0,0.1,0.25,0.5,0.7,0.9,1)")
    p.add_argument("--only", default="",
                   help="comma-separated entry or xfade names (default: every xfade-matched entry)")
    p.add_argument("--misses", default=os.path.join(ROOT, "library", "xfade-misses.tsv"),
                   help="known misses with their reasons (default library/xfade-misses.tsv)")
    p.add_argument("--allowed", type=int, default=2,
                   help="how many entries may miss the bar (default 2)")
    p.add_argument("--strict-ends", action="store_true",
                   help="judge Times 0 and 1 against xfade's frames too, also where xfade's own "
                        "end frame is not its input (by default such an end passes when ours is "
                        "the input exactly)")
    add_work_options(p, "compare-xfade", "working folder for the frames")
    args = p.parse_args()

    try:
        sizes = [parse_size(s) for s in args.size.split(",")]
        times = parse_times(args.times)
    except (argparse.ArgumentTypeError, ValueError, ZeroDivisionError) as e:
        p.error(str(e))
    steps = steps_for(times)
    images = os.path.join(args.build, "bin", "render", "images")
    args.from_image = args.from_image or os.path.join(images, "from.png")
    args.to_image = args.to_image or os.path.join(images, "to.png")
    for path in (args.from_image, args.to_image):
        if not os.path.exists(path):
            p.error("no image %s (build first, or give --from and --to)" % path)

    entries = xfade_entries()
    if args.only:
        wanted = set(s.strip() for s in args.only.split(",") if s.strip())
        entries = [e for e in entries if e["name"] in wanted or e["xfade"] in wanted]
        unknown = wanted - set(e["name"] for e in entries) - set(e["xfade"] for e in entries)
        if unknown:
            p.error("not xfade-matched entries of the index: " + ", ".join(sorted(unknown)))
    misses = read_misses(args.misses)
    os.environ["QUORVEL_BUILD_DIR"] = os.path.abspath(args.build)

    print("Quorvel vs ffmpeg xfade (%s): bar largest difference <= %d or >= %d%% of pixels within %d"
          % (", ".join("%dx%d" % s for s in sizes), BAR_DIFF, BAR_SHARE * 100, BAR_DIFF))
    print("%-12s %-12s %-9s %6s %7s %9s %8s  %s"
          % ("name", "xfade", "size", "Time", "largest", "within 2", "PSNR dB", "verdict"))
    failed = {}  # name -> worst figures
    table = []
    # One Wine program kept open holds the desktop between the renders, which
    # the ffmpeg runs in between would otherwise let close.
    atexit.register(DesktopKeeper().__enter__().__exit__)
    for entry in entries:
        name = entry["name"]
        ok = True
        for size in sizes:
            tag = "%dx%d" % size
            base = os.path.join(args.out, tag)
            inputs = prepare_inputs(args, size, os.path.join(base, "inputs"))
            theirs_dir = os.path.join(base, name, "ffmpeg")
            ours_dir = os.path.join(base, name, "quorvel")
            for stale in (theirs_dir, ours_dir):
                shutil.rmtree(stale, ignore_errors=True)
            ff = ffmpeg_frames(entry["xfade"], inputs, steps, theirs_dir)
            q_code, q_why = quorvel_frames(entry, inputs, size, steps, ours_dir)
            _, fferr = ff.communicate()
            missing = [k for k in range(steps + 1)
                       if not os.path.exists(os.path.join(theirs_dir, "frame-%04d.png" % k))]
            if ff.returncode == 0 and missing:
                ff.returncode, fferr = 1, b"frames missing after the render"
            if q_code != 0 or ff.returncode != 0:
                why = ("render tool exit %d: %s" % (q_code, q_why)
                       if q_code else "ffmpeg: " + fferr.decode(errors="replace").strip()[-300:])
                print("%-12s %-12s %-9s %6s  %s" % (name, entry["xfade"], tag, "-", "ERROR " + why))
                ok = False
                failed.setdefault(name, "error")
                continue
            for t in times:
                k = int(t * steps)
                frame = "frame-%04d.png" % k
                ours, theirs = os.path.join(ours_dir, frame), os.path.join(theirs_dir, frame)
                largest, within, psnr = measure(ours, theirs)
                good = passes(largest, within)
                note = "ok" if good else "MISS"
                if not good and t in (0, 1) and not args.strict_ends:
                    # At the ends a transition must give its input exactly
                    # (--check); some xfade transitions leave a line of the
                    # other input, or a shifted row, in their own end frame.
                    end = inputs[0] if t == 0 else inputs[1]
                    if measure(ours, end)[0] == 0:
                        xl, xw, _ = measure(theirs, end)
                        good = True
                        note = ("ok: ours is input %s exactly; xfade's own end frame is off it"
                                " (largest %d, %.2f%% within 2)" % ("A" if t == 0 else "B", xl, xw * 100))
                ok = ok and good
                table.append((name, entry["xfade"], tag, t, largest, within, psnr, good))
                print("%-12s %-12s %-9s %6s %7d %8.2f%% %8s  %s"
                      % (name, entry["xfade"], tag, fmt_time(t), largest, within * 100,
                         "inf" if psnr == math.inf else "%.1f" % psnr, note))
                if not good:
                    failed.setdefault(name, "%s Time %s: largest %d, %.2f%% within 2, %.1f dB"
                                      % (tag, fmt_time(t), largest, within * 100, psnr))
        formula = misses.get(name, ("", ""))[1]
        if not ok and formula:
            # What the entry draws, as FFmpeg's own expression evaluator draws
            # it: shows the entry is right where xfade itself is not.
            for size in sizes:
                tag = "%dx%d" % size
                base = os.path.join(args.out, tag)
                inputs = [os.path.join(base, "inputs", n + ".png") for n in ("from", "to")]
                formula_dir = os.path.join(base, name, "formula")
                shutil.rmtree(formula_dir, ignore_errors=True)
                ff = ffmpeg_frames(entry["xfade"], inputs, steps, formula_dir, formula)
                _, fferr = ff.communicate()
                if ff.returncode != 0:
                    print("%-12s %-12s %-9s formula: ffmpeg: %s"
                          % (name, "(formula)", tag, fferr.decode(errors="replace").strip()[-300:]))
                    continue
                for t in times:
                    frame = "frame-%04d.png" % int(t * steps)
                    largest, within, psnr = measure(
                        os.path.join(base, name, "quorvel", frame), os.path.join(formula_dir, frame))
                    print("%-12s %-12s %-9s %6s %7d %8.2f%% %8s  %s"
                          % (name, "(formula)", tag, fmt_time(t), largest, within * 100,
                             "inf" if psnr == math.inf else "%.1f" % psnr,
                             "ok" if passes(largest, within) else "MISS"))
        if ok:
            verdict = "pass" + (" (listed as a known miss; drop it from the list)" if name in misses else "")
        elif misses.get(name, ("", ""))[0]:
            verdict = "MISS (a known miss, reason below)"
        else:
            verdict = "MISS (not a known miss)"
        print("%-12s %-12s => %s" % (name, entry["xfade"], verdict))
        sys.stdout.flush()

    unexplained = [n for n in failed if not misses.get(n, ("", ""))[0]]
    print()
    print("%d entries compared, %d pass, %d miss the bar (at most %d allowed)"
          % (len(entries), len(entries) - len(failed), len(failed), args.allowed))
    for n in failed:
        reason, formula = misses.get(n, ("", ""))
        print("  miss %s: %s; reason: %s" % (n, failed[n], reason or "NONE GIVEN"))
        if formula:
            print("    its formula, drawn by xfade=transition=custom (rows \"(formula)\" above): %s"
                  % formula)
    status = 0
    if unexplained:
        print("compare-xfade: misses without a reason in %s: %s"
              % (os.path.relpath(args.misses, ROOT), ", ".join(unexplained)), file=sys.stderr)
        status = 1
    if len(failed) > args.allowed:
        print("compare-xfade: %d entries miss the bar, more than %d" % (len(failed), args.allowed),
              file=sys.stderr)
        status = 1
    return status


if __name__ == "__main__":
    sys.exit(main())
