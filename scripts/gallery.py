#!/usr/bin/python3
"""The gallery page: one card per entry of library/index.tsv with an animated
GIF of the entry between two moving clips (scripts/gallery_inputs.py), its
--check verdict, and the labelled contact sheet. Writes OUT/gallery/index.html
with its media beside it and the sheet to OUT/gallery.png. Runs the render
tool through scripts/quorvel-render, so a Wine session exported by the caller
serves every entry.
Usage: gallery.py [--size WxH] [--frames N] [--fps R] [--jobs J] OUT"""
import argparse
import concurrent.futures
import html
import os
import re
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from quorvel import LIBRARY, render  # noqa: E402
from quorvel.wine import DesktopKeeper  # noqa: E402
from quorvel.library import read_index  # noqa: E402
INPUTS = (("valley", "a valley at dusk, the camera panning"),
          ("coast", "a coast at midday, clouds drifting and waves running up the beach"))


def slug(name):
    return re.sub(r"[^A-Za-z0-9_.-]", "_", name)


def render_entry(entry, library, gallery, args):
    """One tool run gives the verdict, the frames and the preview."""
    name = slug(entry["name"])
    log = os.path.join(gallery, "checks", name + ".txt")
    command = ["--check", "--effect", os.path.join(library, entry["file"]),
               "--technique", entry["technique"], "--size", args.size, "--frames",
               str(args.frames), "--fps", str(args.fps),
               "--from", os.path.join(gallery, "inputs", INPUTS[0][0]),
               "--to", os.path.join(gallery, "inputs", INPUTS[1][0]),
               "--out", os.path.join(gallery, "frames", name),
               "--video", os.path.join(gallery, "media", name + ".gif")]
    started = time.monotonic()
    run, report = render.run(command, os.path.join(gallery, "checks", name + ".json"),
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                             errors="replace")
    with open(log, "w", encoding="utf-8") as f:
        f.write(run.stdout)
    # The verdict is the report's; a run that ended before the check or failed
    # after it is an error.
    verdict = (report or {}).get("verdict") or "error"
    if run.returncode not in (0, 1):
        verdict = "error"
    text = render.check_text(report) if report else run.stdout
    print("gallery: %-20s check %-6s %.1f s" % (entry["name"], verdict,
                                                  time.monotonic() - started), file=sys.stderr,
          flush=True)
    return verdict, text, run.returncode


def encode_input(folder, out, fps):
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-framerate", str(fps), "-i",
                    os.path.join(folder, "%04d.png"), "-filter_complex",
                    "split[a][b];[a]palettegen[p];[b][p]paletteuse=dither=bayer", "-loop", "0",
                    out], check=True)


PAGE = """<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Quorvel effect library</title>
<style>
:root {{ color-scheme: dark; --bg: #17181c; --card: #23252b; --ink: #e8e8ea; --dim: #a2a5ad;
         --ok: #3fb36b; --bad: #e0564c; }}
* {{ box-sizing: border-box; }}
body {{ margin: 0; background: var(--bg); color: var(--ink);
        font: 16px/1.45 system-ui, -apple-system, "Segoe UI", "DejaVu Sans", sans-serif; }}
header, main, footer {{ max-width: 1280px; margin: 0 auto; padding: 1rem; }}
h1 {{ font-size: 1.6rem; margin: .5rem 0; }}
h2 {{ font-size: 1.1rem; margin: 0; }}
p {{ margin: .4rem 0; }}
.inputs {{ display: flex; flex-wrap: wrap; gap: 1rem; }}
.inputs figure {{ margin: 0; flex: 1 1 12rem; max-width: 20rem; }}
figure img {{ display: block; width: 100%; height: auto; border-radius: 6px;
              image-rendering: auto; background: #000; }}
figcaption {{ color: var(--dim); font-size: .85rem; margin-top: .25rem; }}
.cards {{ list-style: none; padding: 0; margin: 0; display: grid; gap: 1rem;
          grid-template-columns: repeat(auto-fill, minmax(min(100%, 17rem), 1fr)); }}
.card {{ background: var(--card); border-radius: 10px; padding: .75rem;
         display: flex; flex-direction: column; gap: .5rem; }}
.card figure {{ margin: 0; }}
.meta {{ display: flex; flex-wrap: wrap; gap: .35rem; font-size: .8rem; }}
.tag {{ border: 1px solid #444851; border-radius: 99px; padding: 0 .5rem; color: var(--dim); }}
.verdict {{ font-weight: 600; }}
.verdict.passed {{ color: var(--ok); }}
.verdict.failed, .verdict.error {{ color: var(--bad); }}
details {{ font-size: .8rem; color: var(--dim); }}
pre {{ white-space: pre-wrap; overflow-wrap: anywhere; margin: .3rem 0 0; }}
.sheet {{ overflow-x: auto; }}
.sheet img {{ display: block; max-width: none; }}
@media (max-width: 40rem) {{ body {{ font-size: 15px; }} h1 {{ font-size: 1.3rem; }} }}
</style>
</head>
<body>
<header>
<h1>Quorvel effect library</h1>
<p>{count} entries of <code>library/index.tsv</code>, each rendered through
<code>Quorvel.dll</code> on a Direct3D&nbsp;9 device ({size}, {frames} frames at {fps}
frames a second) and checked with <code>quorvel-render --check</code>: {passed} passed,
{failed} failed. Transitions go from the first clip to the second; effects apply to the
first.</p>
<div class="inputs">
{inputs}
</div>
</header>
<main>
<ul class="cards">
{cards}
</ul>
</main>
<footer>
<h2 id="sheet">Contact sheet</h2>
<p>Five frames an entry, Time 0 to Time 1.</p>
<div class="sheet"><img src="sheet.png" alt="Contact sheet of the library, one labelled row an entry"
 width="{sheet_w}" height="{sheet_h}"></div>
</footer>
</body>
</html>
"""

CARD = """<li class="card" id="{anchor}">
<figure><img class="preview" src="media/{file}" alt="{alt}" width="{w}" height="{h}"></figure>
<h2>{name}</h2>
<div class="meta"><span class="tag">{kind}</span><span class="tag">technique {technique}</span>{xfade}</div>
<p>{description}</p>
<details><summary class="verdict {verdict}">check {verdict}</summary><pre>{log}</pre></details>
</li>"""


def write_page(gallery, entries, results, args, sheet_size):
    w, h = args.size.lower().split("x")
    cards = []
    for entry, (verdict, log, _) in zip(entries, results):
        name = slug(entry["name"])
        xfade = entry.get("xfade", "-")
        cards.append(CARD.format(
            anchor=html.escape(name), file=html.escape(name) + ".gif", w=w, h=h,
            alt=html.escape("%s %s between the two clips" % (entry["name"], entry["kind"])),
            name=html.escape(entry["name"]), kind=html.escape(entry["kind"]),
            technique=html.escape(entry["technique"]),
            xfade=('<span class="tag">ffmpeg xfade %s</span>' % html.escape(xfade)
                   if xfade and xfade != "-" else ""),
            description=html.escape(entry["description"]), verdict=verdict,
            log=html.escape(log.strip())))
    inputs = "\n".join(
        '<figure><img src="media/input-%s.gif" alt="%s" width="%s" height="%s">'
        "<figcaption>%s clip: %s</figcaption></figure>" % (n, html.escape(d), w, h,
                                                           "First" if i == 0 else "Second",
                                                           html.escape(d))
        for i, (n, d) in enumerate(INPUTS))
    verdicts = [r[0] for r in results]
    page = PAGE.format(count=len(entries), size=args.size, frames=args.frames, fps=args.fps,
                       passed=verdicts.count("passed"), failed=len(verdicts) - verdicts.count("passed"),
                       inputs=inputs, cards="\n".join(cards), sheet_w=sheet_size[0],
                       sheet_h=sheet_size[1])
    partial = os.path.join(gallery, ".index.html.partial")
    with open(partial, "w", encoding="utf-8") as f:
        f.write(page)
    os.replace(partial, os.path.join(gallery, "index.html"))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--size", default="256x144")
    parser.add_argument("--frames", type=int, default=24)
    parser.add_argument("--fps", type=int, default=12)
    parser.add_argument("--jobs", type=int, default=int(os.environ.get("QUORVEL_GALLERY_JOBS", 2)))
    parser.add_argument("--library", default=LIBRARY)
    parser.add_argument("out")
    args = parser.parse_args()
    started = time.monotonic()
    library = os.path.abspath(args.library)
    out = os.path.abspath(args.out)
    gallery = os.path.join(out, "gallery")
    entries = read_index(library)

    shutil.rmtree(gallery, ignore_errors=True)
    for folder in ("inputs", "frames", "media", "checks"):
        os.makedirs(os.path.join(gallery, folder))
    subprocess.run([sys.executable, os.path.join(HERE, "gallery_inputs.py"), args.size,
                    str(args.frames)] + [os.path.join(gallery, "inputs", n) for n, _ in INPUTS],
                   check=True)
    for n, _ in INPUTS:
        encode_input(os.path.join(gallery, "inputs", n),
                     os.path.join(gallery, "media", "input-%s.gif" % n), args.fps)

    with DesktopKeeper(), concurrent.futures.ThreadPoolExecutor(max(1, args.jobs)) as pool:
        results = list(pool.map(lambda e: render_entry(e, library, gallery, args), entries))

    import compose_gallery  # noqa: E402 (Pillow only where it is needed)
    folders = [os.path.join(gallery, "frames", slug(e["name"])) for e in entries]
    sheet = os.path.join(out, "gallery.png")
    compose_gallery.compose(sheet, folders)
    shutil.copyfile(sheet, os.path.join(gallery, "sheet.png"))
    from PIL import Image
    with Image.open(sheet) as image:
        sheet_size = image.size
    write_page(gallery, entries, results, args, sheet_size)

    errors = [e["name"] for e, r in zip(entries, results) if r[0] == "error"]
    print("gallery: wrote %s and %s: %d entries, %d passed their check, %.0f s" % (
        os.path.join(gallery, "index.html"), sheet, len(entries),
        [r[0] for r in results].count("passed"), time.monotonic() - started), file=sys.stderr)
    if errors:
        print("gallery: no preview for %s" % ", ".join(errors), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
