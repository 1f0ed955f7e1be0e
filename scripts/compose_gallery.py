#!/usr/bin/python3
"""The gallery's contact sheet: one labelled row per folder of rendered frames
(frame-0000.png ...), five frames a row from Time 0 to Time 1, the label being
the folder's name.
Usage: compose_gallery.py OUT.png FOLDER..."""
import glob
import os
import sys

from PIL import Image, ImageDraw, ImageFont

COLUMNS = 5
GAP = 4
BACKGROUND = (32, 32, 32)
INK = (235, 235, 235)
FONT_FILE = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"


def font(size):
    try:
        return ImageFont.truetype(FONT_FILE, size)
    except OSError:
        return ImageFont.load_default()


def row_frames(folder):
    """COLUMNS frames spread evenly from the first to the last."""
    names = sorted(glob.glob(os.path.join(folder, "frame-*.png")))
    if not names:
        return []
    if len(names) <= COLUMNS:
        return names
    return [names[round(i * (len(names) - 1) / (COLUMNS - 1))] for i in range(COLUMNS)]


def compose(out, folders):
    rows = [(os.path.basename(os.path.normpath(f)), row_frames(f)) for f in folders]
    first = next((frames[0] for _, frames in rows if frames), None)
    if first is None:
        raise SystemExit("compose_gallery: no frames in " + " ".join(folders))
    with Image.open(first) as image:
        cell_w, cell_h = image.size
    label_font = font(max(11, min(18, cell_h // 5)))
    measure = ImageDraw.Draw(Image.new("RGB", (1, 1)))
    try:
        label_w = max(measure.textlength(name, font=label_font) for name, _ in rows)
    except (AttributeError, ValueError):  # Pillow's bitmap fallback font
        label_w = 7 * max(len(name) for name, _ in rows)
    label_w = int(label_w) + 2 * GAP
    sheet = Image.new("RGB", (label_w + GAP + COLUMNS * (cell_w + GAP),
                              GAP + len(rows) * (cell_h + GAP)), BACKGROUND)
    draw = ImageDraw.Draw(sheet)
    for r, (name, frames) in enumerate(rows):
        top = GAP + r * (cell_h + GAP)
        if isinstance(label_font, ImageFont.FreeTypeFont):
            draw.text((GAP, top + cell_h // 2), name, fill=INK, font=label_font, anchor="lm")
        else:
            draw.text((GAP, top + cell_h // 2 - 6), name, fill=INK, font=label_font)
        for c, path in enumerate(frames):
            with Image.open(path) as frame:
                cell = frame.convert("RGB")
                if cell.size != (cell_w, cell_h):
                    cell = cell.resize((cell_w, cell_h), Image.LANCZOS)
                sheet.paste(cell, (label_w + GAP + c * (cell_w + GAP), top))
    sheet.save(out, optimize=True)


def main():
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    compose(sys.argv[1], sys.argv[2:])


if __name__ == "__main__":
    main()
