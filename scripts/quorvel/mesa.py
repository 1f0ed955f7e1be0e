"""Mesa's own OpenGL rendering of a GL transition (glsl-reference) and the
bar the comparisons hold a rendering to: at least 99% of the pixels within
3 levels of Mesa's in every colour channel. The GLSL comparison and the HLSL
effects comparison both measure through here."""
import math
import os
import random
import subprocess

from PIL import Image, ImageChops

BAR_LEVELS = 3
BAR_SHARE = 0.99


def tool(build, name):
    """A native program of the build tree."""
    return os.path.join(build, "native", name)


def frames_for(values):
    """The render tool's frame i of N shows Time i/(N-1): the smallest N whose
    grid holds every progress value."""
    steps = 1
    for t in values:
        steps = steps * t.denominator // math.gcd(steps, t.denominator)
    if steps > 400:
        raise SystemExit("the progress values need %d frames; use simpler fractions" % steps)
    return steps + 1


def make_image(path, size, seed):
    """A smooth picture with soft shapes, different for every seed: enough
    detail to show a misplaced read, no more than a few levels per pixel so
    that filtering differences stay small."""
    rnd = random.Random(seed)
    w, h = size
    waves = [(rnd.uniform(2, 9), rnd.uniform(2, 9), rnd.uniform(0, 6.3)) for _ in range(3)]
    discs = [(rnd.uniform(0, w), rnd.uniform(0, h), rnd.uniform(0.1, 0.3) * min(w, h),
              tuple(rnd.randrange(256) for _ in range(3))) for _ in range(3)]
    im = Image.new("RGB", size)
    px = im.load()
    for y in range(h):
        v = y / max(h - 1, 1)
        for x in range(w):
            u = x / max(w - 1, 1)
            c = [128 + 110 * math.sin(fx * u + fy * v + ph) for fx, fy, ph in waves]
            for cx, cy, r, colour in discs:
                d = math.hypot(x - cx, y - cy)
                a = min(1.0, max(0.0, (r - d) / (0.25 * r)))
                c = [ci * (1 - a) + ki * a for ci, ki in zip(c, colour)]
            px[x, y] = tuple(int(round(min(255, max(0, ci)))) for ci in c)
    im.save(path)
    return path


def make_inputs(out, sizes, seed):
    """The two input pictures of every size, in out/inputs/WxH: [(size,
    [from, to])], the same for the same seed."""
    inputs_by_size = []
    for i, size in enumerate(sizes):
        folder = os.path.join(out, "inputs", "%dx%d" % size)
        os.makedirs(folder, exist_ok=True)
        inputs_by_size.append((size, [
            make_image(os.path.join(folder, "from.png"), size, seed * 1000 + 2 * i),
            make_image(os.path.join(folder, "to.png"), size, seed * 1000 + 2 * i + 1)]))
    return inputs_by_size


def measure(ours, theirs):
    """Largest channel difference and the share of pixels whose colour
    channels are all within BAR_LEVELS."""
    a = Image.open(ours).convert("RGB")
    b = Image.open(theirs).convert("RGB")
    if a.size != b.size:
        raise ValueError("sizes differ: %s %s" % (a.size, b.size))
    r, g, bl = ImageChops.difference(a, b).split()
    worst = ImageChops.lighter(ImageChops.lighter(r, g), bl)
    hist = worst.histogram()
    largest = max(v for v in range(256) if hist[v]) if any(hist) else 0
    within = sum(hist[: BAR_LEVELS + 1]) / float(a.size[0] * a.size[1])
    return largest, within


def render_reference(build, source, inputs, size, values, folder, textures):
    """glsl-reference in the background: one picture "p%.4f.png" a progress
    value in `folder`, from the two input pictures."""
    os.makedirs(folder, exist_ok=True)
    cmd = [tool(build, "glsl-reference"), source, "--from", inputs[0], "--to", inputs[1],
           "--size", "%dx%d" % size]
    for name, path in sorted(textures.items()):
        cmd += ["--texture", "%s=%s" % (name, path)]
    cmd += ["%s=%s" % (float(t), reference_picture(folder, t)) for t in values]
    return subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE)


def reference_picture(folder, t):
    return os.path.join(folder, "p%.4f.png" % float(t))


def last_lines(data, limit=400):
    text = data.decode(errors="replace").strip()
    return text[-limit:].replace("\n", " | ")
