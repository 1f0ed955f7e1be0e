#!/usr/bin/env python3
"""Frames per second at 1920x1080 of every xfade-matched transition of
library/index.tsv through Quorvel.dll (bench_transition.exe under the
caller's Wine session), beside ffmpeg's own xfade on the same two frames,
measured one after the other for each entry, and their ratio. Figures only.
Called by scripts/bench.sh. Usage: bench_xfade.py BUILD_DIR [NAME...]
  QUORVEL_BENCH_FRAMES  frames per round through Quorvel.dll (default 10;
                        rounds repeat for at least two seconds)"""
import os
import subprocess
import sys
import tempfile
import time

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from quorvel.library import xfade_entries  # noqa: E402
WIDTH, HEIGHT = 1920, 1080
FFMPEG_FRAMES = 101  # progress 1 to 0 in steps of 0.01


def quorvel_fps(build, entry, inputs, frames):
    exe = os.path.join(build, "bin", "bench_transition.exe")
    effect = "library\\" + entry["file"].replace("/", "\\")
    run = subprocess.run([os.environ["WINE64"], exe, effect, entry["technique"], inputs[0],
                          inputs[1], str(frames)], stdin=subprocess.DEVNULL,
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    for line in run.stdout.splitlines():
        if line.startswith("fps "):
            return float(line.split()[1])
    raise RuntimeError(run.stderr.strip() or "bench_transition gave no figure")


def ffmpeg_seconds(xfade, inputs, frames, total):
    """Seconds for the first `frames` of `total` frames spanning progress 1
    to 0; each input decoded and converted to planar RGB once, then repeated."""
    rate = total - 1
    source = "movie=%s,format=gbrp,loop=loop=-1:size=1,setpts=N/(%d*TB),fps=%d"
    graph = (source % (inputs[0], rate, rate) + "[a];" + source % (inputs[1], rate, rate) +
             "[b];[a][b]xfade=transition=%s:duration=1:offset=0" % xfade)
    start = time.perf_counter()
    subprocess.run(["ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error",
                    "-filter_complex", graph, "-frames:v", str(frames), "-f", "null", "-"],
                   check=True, stdin=subprocess.DEVNULL)
    return time.perf_counter() - start


def ffmpeg_fps(xfade, inputs):
    """The cost of the frames beyond the first, so that start-up and decoding
    are left out: the best of two runs each, with more frames until they take
    at least a second."""
    total = FFMPEG_FRAMES
    while True:
        one = min(ffmpeg_seconds(xfade, inputs, 1, total) for _ in range(2))
        many = min(ffmpeg_seconds(xfade, inputs, total, total) for _ in range(2))
        spent = many - one
        if spent >= 1.0 or total >= 4001:
            return (total - 1) / max(spent, 1e-3), total
        total = min(4001, int((total - 1) * 1.5 / max(spent, 0.05)) + 1)


def main():
    build = sys.argv[1]
    only = set(sys.argv[2:])
    frames = int(os.environ.get("QUORVEL_BENCH_FRAMES", "10"))
    entries = [e for e in xfade_entries()
               if not only or e["name"] in only or e["xfade"] in only]
    images = os.path.join(build, "bin", "render", "images")
    with tempfile.TemporaryDirectory() as folder:
        inputs = []
        for name in ("from", "to"):
            path = os.path.join(folder, name + ".png")
            Image.open(os.path.join(images, name + ".png")).convert("RGB") \
                .resize((WIDTH, HEIGHT), Image.BICUBIC).save(path)
            inputs.append(path)
        print("xfade-matched transitions %dx%d: frames/s through Quorvel.dll (rounds of %d frames, Time 0 to 1,"
              " software rasteriser) and ffmpeg's xfade (at least %d frames, progress 1 to 0, gbrp),"
              " same two frames, one after the other" % (WIDTH, HEIGHT, frames, FFMPEG_FRAMES))
        print("%-12s %-12s %10s %10s %8s %8s"
              % ("name", "xfade", "Quorvel", "ffmpeg", "ratio", "ffmpeg frames"))
        sys.stdout.flush()
        for entry in entries:
            try:
                ours = quorvel_fps(build, entry, inputs, frames)
                theirs, theirs_frames = ffmpeg_fps(entry["xfade"], inputs)
            except (RuntimeError, subprocess.CalledProcessError) as e:
                print("%-12s %-12s failed: %s" % (entry["name"], entry["xfade"], e))
                continue
            print("%-12s %-12s %10.2f %10.2f %8.3f %8d"
                  % (entry["name"], entry["xfade"], ours, theirs, ours / theirs, theirs_frames))
            sys.stdout.flush()
    return 0


if __name__ == "__main__":
    sys.exit(main())
