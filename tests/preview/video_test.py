#!/usr/bin/python3
"""Video in and out of scripts/quorvel-render, against ffmpeg's own blend of
the same clips' frames: frame k of a crossfade between two clips is the mix
of both clips' frame k at Time k/(n-1). Also: the frame rate is kept, GIF
output, and a bad clip or a failed render leaves no file under the asked
name. Needs a built tree; reuses a started Wine session when exported.
Usage: video_test.py SCRATCH_DIR"""
import glob
import os
import subprocess
import sys

from PIL import Image, ImageChops, ImageStat

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
RENDER = os.path.join(ROOT, "scripts", "quorvel-render")
CROSSFADE = os.path.join(ROOT, "library", "transitions", "crossfade.fx")
FAILURES = []


def check(ok, what):
    print("  %s  %s" % ("ok  " if ok else "FAIL", what), flush=True)
    if not ok:
        FAILURES.append(what)
    return ok


def ffmpeg(*args):
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y"] + list(args), check=True)


def render(*args):
    return subprocess.run([RENDER] + list(args), capture_output=True, text=True,
                          stdin=subprocess.DEVNULL)


def probe(path):
    out = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
                          "-show_entries", "stream=codec_name,pix_fmt,r_frame_rate,nb_read_frames",
                          "-of", "default=nw=1", path], capture_output=True, text=True).stdout
    return dict(line.split("=", 1) for line in out.split())


def frames_of(folder, pattern="*.png"):
    return [Image.open(p).convert("RGB") for p in sorted(glob.glob(os.path.join(folder, pattern)))]


def largest_difference(a, b):
    return max(high for _, high in ImageChops.difference(a, b).getextrema())


def mean_difference(a, b):
    return sum(ImageStat.Stat(ImageChops.difference(a, b)).mean) / 3


def main():
    scratch = os.path.abspath(sys.argv[1])
    os.makedirs(scratch, exist_ok=True)
    a, b = os.path.join(scratch, "a.mp4"), os.path.join(scratch, "b.mp4")
    # Two moving clips of different lengths and sizes; the shorter (a, 12
    # frames at 10 fps) sets the output, b is scaled to a's size.
    ffmpeg("-f", "lavfi", "-i", "testsrc2=s=160x120:r=10:d=1.2", "-pix_fmt", "yuv420p", a)
    ffmpeg("-f", "lavfi", "-i", "mandelbrot=s=320x240:r=10", "-t", "1.6", "-pix_fmt", "yuv420p", b)
    n = 12

    # The reference, held out from the tool: ffmpeg decodes both clips at the
    # output size and blends their frames k at k/(n-1).
    reference = os.path.join(scratch, "reference")
    for name, clip in (("a", a), ("b", b)):
        os.makedirs(os.path.join(reference, name), exist_ok=True)
        ffmpeg("-i", clip, "-vf", "scale=160:120", os.path.join(reference, name, "%04d.png"))
    # Frame k from its time stamp T = k/10 (blend's own frame counter starts at 1).
    ffmpeg("-framerate", "10", "-i", os.path.join(reference, "a", "%04d.png"),
           "-framerate", "10", "-i", os.path.join(reference, "b", "%04d.png"), "-filter_complex",
           "[0]format=gbrp[a];[1]format=gbrp[b];[a][b]blend=all_expr='A+(B-A)*T*10/%d'" % (n - 1),
           "-frames:v", str(n), os.path.join(reference, "%04d.png"))
    expected = frames_of(reference)

    print("video: crossfade of two clips to MP4", flush=True)
    video, frames = os.path.join(scratch, "out.mp4"), os.path.join(scratch, "frames")
    run = render("--from", a, "--to", b, "--effect", CROSSFADE, "--video", video, "--out", frames)
    if not check(run.returncode == 0, "renders (exit %d)" % run.returncode):
        print(run.stderr)
        return
    check("frame 12/12" in run.stderr and "wrote %s" % video in run.stderr,
          "progress and the result on stderr")
    rendered = frames_of(frames, "frame-*.png")
    check(len(rendered) == n, "one output frame per frame of the shorter clip (%d)" % len(rendered))
    worst = max(largest_difference(r, e) for r, e in zip(rendered, expected))
    check(worst <= 2, "frame k = ffmpeg's blend of both clips' frame k at k/(n-1) "
                      "(largest channel difference %d)" % worst)
    info = probe(video)
    check(info.get("codec_name") == "h264" and info.get("pix_fmt") == "yuv420p",
          "MP4 holds H.264 in yuv420p (%s)" % info)
    check(info.get("r_frame_rate") == "10/1" and info.get("nb_read_frames") == str(n),
          "the clips' 10 fps and all %d frames kept" % n)
    decoded = os.path.join(scratch, "decoded")
    os.makedirs(decoded, exist_ok=True)
    ffmpeg("-i", video, os.path.join(decoded, "%04d.png"))
    decoded_frames = frames_of(decoded)
    matches = [min(range(n), key=lambda j: mean_difference(d, expected[j])) for d in decoded_frames]
    check(matches == list(range(n)), "the video's frame k is nearest the reference's frame k")
    error = max(mean_difference(d, e) for d, e in zip(decoded_frames, expected))
    check(error < 8, "the video's frames stay within yuv420p coding loss (mean difference %.2f)" % error)

    print("video: GIF and WebP", flush=True)
    gif = os.path.join(scratch, "out.gif")
    run = render("--from", a, "--to", b, "--effect", CROSSFADE, "--size", "80x60", "--frames",
                 "6", "--video", gif)
    info = probe(gif) if run.returncode == 0 else {}
    check(info.get("codec_name") == "gif" and info.get("nb_read_frames") == "6",
          "GIF of the 6 frames asked (%s)" % info)
    webp = os.path.join(scratch, "out.webp")
    run = render("--from", a, "--to", b, "--effect", CROSSFADE, "--size", "80x60", "--frames",
                 "4", "--video", webp)
    frames_in_webp = Image.open(webp).n_frames if run.returncode == 0 else 0
    check(frames_in_webp == 4, "animated WebP of 4 frames (%d)" % frames_in_webp)

    print("video: failures leave nothing under the asked name", flush=True)
    bad = os.path.join(scratch, "bad.mp4")
    with open(bad, "wb") as f:
        f.write(b"not a video at all\n" * 50)
    cases = [
        (["--from", bad, "--to", b], "cannot read video clip"),
        (["--from", os.path.join(scratch, "missing.mp4"), "--to", b], "not found"),
        (["--from", a, "--to", b, "--technique", "Nope"], "unknown technique"),
        (["--from", a, "--to", b, "--size", "81x61"], "even width and height"),
    ]
    for i, (args, message) in enumerate(cases):
        target = os.path.join(scratch, "failed%d.mp4" % i)
        run = render(*(args + ["--effect", CROSSFADE, "--video", target]))
        left = [p for p in os.listdir(scratch) if p.startswith(("failed%d" % i, ".failed%d" % i))]
        check(run.returncode != 0 and message in run.stderr and not left,
              "%s: exit %d, says \"%s\", leaves %s" % (" ".join(args[:2]), run.returncode,
                                                     message, left or "nothing"))


if __name__ == "__main__":
    main()
    print("video test: %s" % ("PASSED" if not FAILURES else "FAILED (%d)" % len(FAILURES)))
    sys.exit(1 if FAILURES else 0)
