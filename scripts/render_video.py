#!/usr/bin/env python3
"""Video clips in and out of quorvel-render. Clips given to --from/--to are
decoded with ffmpeg into numbered frames at the output size (the first clip's
own size unless --size says otherwise), the tool renders from those folders
(input frame k to output frame k) and --video OUT encodes the frames with
ffmpeg at the input frame rate; the container and codec follow OUT's
extension (.mp4: H.264 in yuv420p, .webp: animated WebP, .gif: GIF with its
own palette, else ffmpeg's choice). OUT appears only once complete.
Called by scripts/quorvel-render with the tool's arguments; without a clip
or --video it hands them back unchanged.
Extra options: --video OUT, --fps RATE (for image or folder inputs; default
25, or the first clip's rate)."""
import os
import shutil
import subprocess
import sys
import tempfile

from quorvel import ffmpeg

HERE = os.path.dirname(os.path.abspath(__file__))
WRAPPER = os.path.join(HERE, "quorvel-render")
IMAGE_EXTENSIONS = {".png", ".jpg", ".jpeg", ".bmp", ".tga", ".dds"}
# The tool's options that take a value; the rest are flags.
VALUE_OPTIONS = {"--effect", "--technique", "--from", "--to", "--size", "--frames", "--grid",
                 "--param", "--semantic", "--out", "--tolerance", "--report", "--video", "--fps"}
EXIT_USAGE, EXIT_INPUT, EXIT_RENDER = 2, 3, 5


class Failure(Exception):
    def __init__(self, code, message):
        super().__init__(message)
        self.code = code


def say(text):
    print("quorvel-render: " + text, file=sys.stderr, flush=True)


def direct(args):
    env = dict(os.environ, QUORVEL_RENDER_DIRECT="1")
    return [WRAPPER] + args, env


def is_clip(path):
    """A file that is not one of the tool's image types is taken for a clip."""
    return os.path.isfile(path) and os.path.splitext(path)[1].lower() not in IMAGE_EXTENSIONS


def probe(clip):
    """(width, height, rate) of the clip's first video stream."""
    stream, detail = ffmpeg.video_stream(clip)
    if stream is None:
        raise Failure(EXIT_INPUT, "cannot read video clip %s: %s" % (clip, detail))
    rate = stream.get("avg_frame_rate", "0/0")
    if rate in ("0/0", "0/1"):
        rate = stream.get("r_frame_rate", "25/1")
    return int(stream["width"]), int(stream["height"]), rate


def decode(clip, folder, size, frames):
    os.makedirs(folder)
    command = ffmpeg.command("-i", clip, "-vf", "scale=%d:%d" % size, "-start_number", "0",
                             overwrite=False)
    if frames:
        command += ["-frames:v", str(frames)]
    result = subprocess.run(command + [os.path.join(folder, "%05d.png")],
                            capture_output=True, text=True, stdin=subprocess.DEVNULL)
    count = len(os.listdir(folder))
    if result.returncode != 0 or count == 0:
        detail = result.stderr.strip().splitlines()
        raise Failure(EXIT_INPUT, "cannot decode video clip %s%s" % (
            clip, ": " + detail[-1] if detail else ": no frames"))
    return count


def encoder_arguments(extension):
    if extension in (".mp4", ".m4v", ".mov"):
        return ["-c:v", "libx264", "-pix_fmt", "yuv420p", "-crf", "16", "-movflags", "+faststart"]
    if extension == ".webp":
        return ["-c:v", "libwebp_anim", "-loop", "0", "-quality", "80"]
    if extension == ".gif":
        return ["-filter_complex",
                "split[a][b];[a]palettegen=stats_mode=diff[p];[b][p]paletteuse=dither=bayer",
                "-loop", "0"]
    return []


def encode(frames, rate, out):
    """Encodes frames/frame-NNNN.png to `out` through a temporary name beside it."""
    folder, name = os.path.split(os.path.abspath(out))
    stem, extension = os.path.splitext(name)
    os.makedirs(folder, exist_ok=True)
    partial = os.path.join(folder, ".%s.partial-%d%s" % (stem, os.getpid(), extension))
    command = ffmpeg.command("-framerate", rate, "-start_number", "0", "-i",
                             os.path.join(frames, "frame-%04d.png"))
    command += encoder_arguments(extension.lower()) + [partial]
    say("encoding %s at %s fps" % (out, rate))
    try:
        result = subprocess.run(command, capture_output=True, text=True,
                                stdin=subprocess.DEVNULL)
        if result.returncode != 0:
            detail = result.stderr.strip().splitlines()
            raise Failure(EXIT_RENDER, "cannot encode %s%s" % (
                out, ": " + detail[-1] if detail else ""))
        os.replace(partial, out)
    finally:
        if os.path.exists(partial):
            os.remove(partial)


def run(args):
    options, rest = {}, []
    i = 0
    while i < len(args):
        arg = args[i]
        if arg in VALUE_OPTIONS:
            if i + 1 >= len(args):
                raise Failure(EXIT_USAGE, "%s needs a value" % arg)
            if arg in ("--from", "--to", "--video", "--fps", "--size", "--frames", "--out"):
                options[arg] = args[i + 1]
            if arg not in ("--from", "--to", "--video", "--fps"):
                rest += [arg, args[i + 1]]
            i += 2
        else:
            rest.append(arg)
            i += 1
    if "--help" in rest or "-h" in rest:
        command, env = direct(rest)
        code = subprocess.run(command, env=env).returncode
        print("  --video OUT          encode the frames to OUT (.mp4 H.264, .webp, .gif, ...);\n"
              "                       --from/--to also take video clips, decoded at the size\n"
              "  --fps RATE           frame rate of OUT for image inputs (default 25)",
              file=sys.stderr)
        return code

    for key in ("--from", "--to"):
        path = options.get(key)
        if path and not os.path.exists(path) and \
                os.path.splitext(path)[1].lower() not in IMAGE_EXTENSIONS | {""}:
            raise Failure(EXIT_INPUT, "video clip not found: %s" % path)
    clips = {k: options[k] for k in ("--from", "--to") if k in options and is_clip(options[k])}
    video = options.get("--video")
    if not clips and not video:
        command, env = direct(args)
        os.execve(command[0], command, env)

    if video is not None and os.path.isdir(video):
        raise Failure(EXIT_USAGE, "--video needs a file name, not the folder %s" % video)
    rate = options.get("--fps", "25")
    size = None
    if "--size" in options:
        try:
            size = tuple(int(v) for v in options["--size"].lower().split("x"))
        except ValueError:
            size = None
        if size is None or len(size) != 2 or min(size) < 1:
            raise Failure(EXIT_USAGE, "bad --size \"%s\": expected WxH" % options["--size"])
    frames = options.get("--frames")
    if frames is not None and not frames.isdigit():
        raise Failure(EXIT_USAGE, "bad --frames \"%s\"" % frames)

    probed = {k: probe(clip) for k, clip in clips.items()}
    if probed:
        first = probed.get("--from") or probed["--to"]
        if size is None:
            size = first[:2]
        if "--fps" not in options:
            rate = first[2]
    if size is None:
        size = (640, 480)
    if video and os.path.splitext(video)[1].lower() in (".mp4", ".m4v", ".mov") and \
            (size[0] % 2 or size[1] % 2):
        raise Failure(EXIT_USAGE, "H.264 in yuv420p needs an even width and height, not %dx%d; "
                                  "give --size" % size)

    scratch = tempfile.mkdtemp(prefix="quorvel-video-")
    try:
        for key, clip in clips.items():
            folder = os.path.join(scratch, key.strip("-"))
            say("decoding %s at %dx%d" % (clip, size[0], size[1]))
            # The shorter input sets the output's length: no need to decode more.
            count = decode(clip, folder, size, frames)
            frames = str(count)
            say("decoded %d frames of %s" % (count, clip))
            rest += [key, folder]
        for key in ("--from", "--to"):
            if key in options and key not in clips:
                rest += [key, options[key]]
        if "--size" not in options:
            rest += ["--size", "%dx%d" % size]
        # Frames go to a fresh folder, so that no older frame joins the video,
        # and are copied to --out afterwards.
        out = options.get("--out")
        rendered = os.path.join(scratch, "frames")
        rest = [a if not (i and rest[i - 1] == "--out") else rendered for i, a in enumerate(rest)]
        if out is None:
            rest += ["--out", rendered]
        command, env = direct(rest)
        code = subprocess.run(command, env=env, stdin=subprocess.DEVNULL).returncode
        # A failed --check (1) still rendered the frames when --frames asked for them.
        if code not in (0, 1):
            return code
        if video:
            if os.path.exists(os.path.join(rendered, "frame-0000.png")):
                encode(rendered, rate, video)
                say("wrote %s" % video)
            else:
                say("no frames rendered (--check renders frames only with --frames); "
                    "%s not written" % video)
        if out is not None:
            shutil.copytree(rendered, out, dirs_exist_ok=True)
        return code
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


def main():
    try:
        return run(sys.argv[1:])
    except Failure as failure:
        say(str(failure))
        return failure.code
    except KeyboardInterrupt:
        return 130


if __name__ == "__main__":
    sys.exit(main())
