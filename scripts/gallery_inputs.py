#!/usr/bin/python3
"""Two moving, natural-looking clips for the gallery, drawn with Pillow as
numbered frames (0000.png ...): a valley at dusk the camera pans across
(layers drift at their own speeds) and a coast at midday with drifting clouds
and waves running up the beach. Deterministic: the same size and frame count
always give the same pictures.
Usage: gallery_inputs.py WxH FRAMES VALLEY_DIR COAST_DIR"""
import math
import os
import random
import sys

from PIL import Image, ImageDraw, ImageFilter, ImageOps

SUPERSAMPLE = 2


def gradient(size, top, bottom):
    w, h = size
    ramp = Image.linear_gradient("L").resize((w, h))
    return ImageOps.colorize(ramp, top, bottom).convert("RGBA")


def ridge(width, base, amplitude, seed, roughness=0.55):
    """Heights of a hill line: sines at doubling frequencies, random phases."""
    rng = random.Random(seed)
    waves = [(2 ** i, rng.uniform(0, 2 * math.pi), roughness ** i) for i in range(6)]
    total = sum(a for _, _, a in waves)
    return [base - amplitude * sum(a * math.sin(f * x / width * 2 * math.pi + p)
                                   for f, p, a in waves) / total for x in range(width)]


def hills(size, base, amplitude, colour, seed, shade=None):
    """An RGBA layer with a filled hill line, optionally shaded darker at the bottom."""
    w, h = size
    layer = Image.new("RGBA", size, (0, 0, 0, 0))
    line = ridge(w, base * h, amplitude * h, seed)
    ImageDraw.Draw(layer).polygon([(0, h)] + list(enumerate(line)) + [(w - 1, h)], fill=colour)
    if shade:
        tint = gradient(size, colour, shade)
        layer = Image.composite(tint, layer, layer.getchannel("A"))
    return layer


def clouds(size, count, colour, seed, blur):
    w, h = size
    layer = Image.new("RGBA", size, colour[:3] + (0,))
    draw = ImageDraw.Draw(layer)
    rng = random.Random(seed)
    for _ in range(count):
        cx, cy = rng.uniform(0, w), rng.uniform(0.05, 0.4) * h
        for _ in range(6):
            rx, ry = rng.uniform(0.04, 0.09) * w, rng.uniform(0.02, 0.05) * h
            x, y = cx + rng.uniform(-1.5, 1.5) * rx, cy + rng.uniform(-0.5, 0.5) * ry
            draw.ellipse((x - rx, y - ry, x + rx, y + ry), fill=colour)
    return layer.filter(ImageFilter.GaussianBlur(blur))


def wrap_crop(layer, offset, width):
    """A window `width` wide at `offset` into a layer that repeats sideways."""
    w, h = layer.size
    offset = int(offset) % w
    tiled = Image.new("RGBA", (w * 2, h))
    tiled.paste(layer, (0, 0))
    tiled.paste(layer, (w, 0))
    return tiled.crop((offset, 0, offset + width, h))


def valley(size, frames):
    w, h = size
    wide = (w * 2, h)
    sky = gradient(size, (70, 60, 120), (250, 170, 110))
    sun = Image.new("RGBA", size, (0, 0, 0, 0))
    d = ImageDraw.Draw(sun)
    r = 0.09 * h
    d.ellipse((0.68 * w - 2.2 * r, 0.52 * h - 2.2 * r, 0.68 * w + 2.2 * r, 0.52 * h + 2.2 * r),
              fill=(255, 200, 120, 90))
    sun = sun.filter(ImageFilter.GaussianBlur(r))
    ImageDraw.Draw(sun).ellipse((0.68 * w - r, 0.52 * h - r, 0.68 * w + r, 0.52 * h + r),
                                fill=(255, 236, 170, 255))
    cloud = clouds(wide, 7, (255, 190, 170, 150), 3, 0.012 * w)
    layers = [  # (layer, pixels moved over the clip)
        (cloud, 0.10 * w),
        (hills(wide, 0.55, 0.18, (128, 110, 160, 255), 11), 0.12 * w),
        (hills(wide, 0.68, 0.14, (84, 96, 120, 255), 12), 0.25 * w),
        (hills(wide, 0.80, 0.10, (54, 90, 60, 255), 13, (24, 50, 30, 255)), 0.45 * w),
        (hills(wide, 0.92, 0.06, (30, 60, 34, 255), 14, (12, 28, 16, 255)), 0.80 * w),
    ]
    for k in range(frames):
        t = k / max(1, frames - 1)
        frame = Image.alpha_composite(sky, sun)
        for layer, travel in layers:
            frame = Image.alpha_composite(frame, wrap_crop(layer, t * travel, w))
        yield frame


def coast(size, frames):
    w, h = size
    wide = (w * 2, h)
    horizon = int(0.45 * h)
    sky = gradient((w, horizon), (40, 110, 200), (170, 215, 245))
    sea = gradient((w, h - horizon), (30, 120, 160), (60, 170, 180))
    cloud = clouds(wide, 8, (255, 255, 255, 200), 5, 0.01 * w)
    # A headland on the horizon: a hill line kept to a stretch of the wide layer.
    headland = Image.new("RGBA", wide, (0, 0, 0, 0))
    line = ridge(wide[0], 0, 0.05 * h, 21)
    span = range(int(0.1 * wide[0]), int(0.45 * wide[0]))
    lift = [math.sin(math.pi * (x - span.start) / len(span)) ** 0.6 for x in span]
    top = [(x, horizon - 0.07 * h * l - l * line[x]) for x, l in zip(span, lift)]
    ImageDraw.Draw(headland).polygon(top + [(span.stop, horizon), (span.start, horizon)],
                                     fill=(70, 100, 80, 255))
    sand_colour, wet_colour = (226, 204, 160, 255), (190, 170, 130, 255)
    rng = random.Random(8)
    glints = [(rng.uniform(0, w), rng.uniform(horizon + 2, 0.7 * h), rng.uniform(0, 6.3))
              for _ in range(60)]
    for k in range(frames):
        t = k / max(1, frames - 1)
        frame = Image.new("RGBA", size)
        frame.paste(sky, (0, 0))
        frame.paste(sea, (0, horizon))
        frame = Image.alpha_composite(frame, wrap_crop(cloud, t * 0.3 * w, w))
        frame = Image.alpha_composite(frame, wrap_crop(headland, t * 0.05 * w, w))
        draw = ImageDraw.Draw(frame)
        for x, y, phase in glints:  # light on the water, twinkling and drifting
            bright = 0.5 + 0.5 * math.sin(phase + 2 * math.pi * t * 2)
            length = (2 + 6 * bright) * (y - horizon) / h * 3
            draw.line((x - length + 0.1 * w * t, y, x + length + 0.1 * w * t, y),
                      fill=(220, 245, 250, int(200 * bright)), width=max(1, h // 150))
        # The beach: the waterline runs up and back once over the clip.
        reach = 0.72 + 0.05 * math.sin(2 * math.pi * t)
        line = [(x, h * (reach + 0.04 * math.sin(x / w * 5 + 1.3) + 0.02 * math.sin(x / w * 13)))
                for x in range(0, w + 1, max(1, w // 64))]
        draw.polygon(line + [(w, h), (0, h)], fill=wet_colour)
        dry = [(x, y + 0.05 * h) for x, y in line]
        draw.polygon(dry + [(w, h), (0, h)], fill=sand_colour)
        draw.line(line, fill=(250, 252, 250, 255), width=max(1, h // 60))
        yield frame


def write(frames, folder, size):
    os.makedirs(folder, exist_ok=True)
    for k, frame in enumerate(frames):
        frame.convert("RGB").resize(size, Image.LANCZOS).save(
            os.path.join(folder, "%04d.png" % k))


def main():
    if len(sys.argv) != 5:
        raise SystemExit(__doc__)
    w, h = (int(v) for v in sys.argv[1].lower().split("x"))
    frames = int(sys.argv[2])
    big = (w * SUPERSAMPLE, h * SUPERSAMPLE)
    write(valley(big, frames), sys.argv[3], (w, h))
    write(coast(big, frames), sys.argv[4], (w, h))


if __name__ == "__main__":
    main()
