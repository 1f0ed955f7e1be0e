"""ffmpeg and ffprobe as the scripts call them: quiet, never reading stdin."""
import json
import subprocess

FFMPEG = ["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error"]


def command(*args, overwrite=True):
    """An ffmpeg command line with the common options first."""
    return FFMPEG + (["-y"] if overwrite else []) + [str(a) for a in args]


def run(*args, **kwargs):
    """Runs ffmpeg; raises CalledProcessError on failure."""
    return subprocess.run(command(*args), check=True, stdin=subprocess.DEVNULL, **kwargs)


def popen(*args):
    """ffmpeg in the background, its errors kept for communicate()."""
    return subprocess.Popen(command(*args), stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def video_stream(clip):
    """The first video stream's fields (width, height, rates) as ffprobe gives
    them, or None, with ffprobe's last message."""
    result = subprocess.run(
        ["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
         "stream=width,height,r_frame_rate,avg_frame_rate", "-of", "json", clip],
        capture_output=True, text=True, stdin=subprocess.DEVNULL)
    streams = []
    if result.returncode == 0:
        try:
            streams = json.loads(result.stdout).get("streams", [])
        except ValueError:
            streams = []
    if not streams or not streams[0].get("width"):
        detail = result.stderr.strip().splitlines()
        return None, detail[-1] if detail else "no video stream"
    return streams[0], ""
