#!/usr/bin/env python3
"""The reference renderer is the oracle of the GL transition comparison, so
its own reading of the format is checked here: orientation, the inputs
upright and exact at pixel centres, progress and ratio, every kind of
default, overrides, and clear failures that leave no file behind.
Usage: check_reference.py GLSL_REFERENCE WORK_DIR"""
import os
import subprocess
import sys

from PIL import Image

W, H = 33, 21

# (name, transition source, extra options, progress, [(x, y, expected RGB)])
CASES = [
    ("uv origin bottom-left, first row the top",
     "vec4 transition(vec2 uv) { return vec4(step(0.5, uv.x), step(0.5, uv.y), 0.0, 1.0); }",
     [], 0.0, [(0, 0, (0, 255, 0)), (W - 1, 0, (255, 255, 0)), (0, H - 1, (0, 0, 0)),
               (W - 1, H - 1, (255, 0, 0))]),
    ("first input exact at pixel centres",
     "vec4 transition(vec2 uv) { return mix(getFromColor(uv), getToColor(uv), progress); }",
     [], 0.0, "from"),
    ("second input exact at pixel centres",
     "vec4 transition(vec2 uv) { return mix(getFromColor(uv), getToColor(uv), progress); }",
     [], 1.0, "to"),
    ("progress", "vec4 transition(vec2 uv) { return vec4(progress, 0.0, 0.0, 1.0); }",
     [], 0.6, [(5, 5, (153, 0, 0))]),
    ("ratio is width over height",
     "vec4 transition(vec2 uv) { return vec4(ratio / 2.0, 0.0, 0.0, 1.0); }",
     [], 0.0, [(5, 5, (round(255 * W / H / 2), 0, 0))]),
    ("vec3 default", "uniform vec3 c; // = vec3(0.2, 0.4, 0.6)\n"
     "vec4 transition(vec2 uv) { return vec4(c, 1.0); }", [], 0.0, [(3, 3, (51, 102, 153))]),
    ("default in a block comment", "uniform float a /* = 0.4 */;\n"
     "vec4 transition(vec2 uv) { return vec4(a, 0.0, 0.0, 1.0); }", [], 0.0,
     [(3, 3, (102, 0, 0))]),
    ("default followed by a remark", "uniform float a; // = 0.4; // not 0.9\n"
     "vec4 transition(vec2 uv) { return vec4(a, 0.0, 0.0, 1.0); }", [], 0.0,
     [(3, 3, (102, 0, 0))]),
    ("one value fills a vector", "uniform vec2 v; // = vec2(0.2)\n"
     "vec4 transition(vec2 uv) { return vec4(v, 0.0, 1.0); }", [], 0.0, [(3, 3, (51, 51, 0))]),
    ("ivec2 and bool defaults", "uniform ivec2 n; // = ivec2(3, 5)\nuniform bool b; // = true\n"
     "vec4 transition(vec2 uv) { return vec4(float(n.x) / 10.0, float(n.y) / 10.0, b ? 1.0 : 0.0, 1.0); }",
     [], 0.0, [(3, 3, (77, 128, 255))]),
    ("mat2 from one value is its diagonal", "uniform mat2 m; // = mat2(0.5)\n"
     "vec4 transition(vec2 uv) { return vec4(m[0][0], m[0][1], m[1][1], 1.0); }", [], 0.0,
     [(3, 3, (128, 0, 128))]),
    ("mat3 column by column", "uniform mat3 m; // = mat3(0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9)\n"
     "vec4 transition(vec2 uv) { return vec4(m[0][1], m[1][0], m[2][2], 1.0); }", [], 0.0,
     [(3, 3, (51, 102, 230))]),
    ("--set overrides the default", "uniform float a; // = 0.4\n"
     "vec4 transition(vec2 uv) { return vec4(a, 0.0, 0.0, 1.0); }", ["--set", "a=0.8"], 0.0,
     [(3, 3, (204, 0, 0))]),
    ("precision qualifiers of WebGL files", "precision highp float;\n"
     "highp float f(mediump float x) { return x * 0.5; }\n"
     "vec4 transition(vec2 uv) { return vec4(f(1.0), 0.0, 0.0, 1.0); }", [], 0.0,
     [(3, 3, (128, 0, 0))]),
]

# (name, source or None for a missing file, extra options, message fragment)
FAILURES = [
    ("no such transition", None, [], "cannot open"),
    ("syntax error", "vec4 transition(vec2 uv) { return vec4(1.0) }", [], "does not compile"),
    ("unknown uniform in --set", "vec4 transition(vec2 uv) { return vec4(1.0); }",
     ["--set", "nothing=1"], "declares no such uniform"),
    ("sampler without --texture", "uniform sampler2D map;\n"
     "vec4 transition(vec2 uv) { return texture2D(map, uv); }", [], "has no --texture"),
]


def make_inputs(work):
    a = Image.new("RGB", (W, H))
    b = Image.new("RGB", (W, H))
    for y in range(H):
        for x in range(W):
            a.putpixel((x, y), (x * 7, y * 11, 200))
            b.putpixel((x, y), (255 - x * 5, 90, y * 9))
    paths = os.path.join(work, "from.png"), os.path.join(work, "to.png")
    a.save(paths[0])
    b.save(paths[1])
    return paths


def main():
    tool, work = sys.argv[1], sys.argv[2]
    os.makedirs(work, exist_ok=True)
    inputs = make_inputs(work)
    failed = []
    for i, (name, source, options, progress, expected) in enumerate(CASES):
        glsl = os.path.join(work, "case%d.glsl" % i)
        out = os.path.join(work, "case%d.png" % i)
        with open(glsl, "w") as f:
            f.write(source + "\n")
        run = subprocess.run([tool, glsl, "--from", inputs[0], "--to", inputs[1],
                              "--size", "%dx%d" % (W, H)] + options + ["%s=%s" % (progress, out)],
                             stdin=subprocess.DEVNULL, capture_output=True, text=True)
        if run.returncode != 0:
            failed.append("%s: exit %d: %s" % (name, run.returncode, run.stderr.strip()))
            continue
        got = Image.open(out).convert("RGB")
        if isinstance(expected, str):
            want = Image.open(inputs[0] if expected == "from" else inputs[1]).convert("RGB")
            if list(got.getdata()) != list(want.getdata()):
                failed.append("%s: the picture differs from the %s input" % (name, expected))
            continue
        for x, y, rgb in expected:
            pixel = got.getpixel((x, y))
            if any(abs(p - q) > 1 for p, q in zip(pixel, rgb)):
                failed.append("%s: pixel (%d,%d) is %s, expected %s" % (name, x, y, pixel, rgb))
    for i, (name, source, options, fragment) in enumerate(FAILURES):
        glsl = os.path.join(work, "bad%d.glsl" % i)
        out = os.path.join(work, "bad%d.png" % i)
        if source is not None:
            with open(glsl, "w") as f:
                f.write(source + "\n")
        run = subprocess.run([tool, glsl, "--from", inputs[0], "--to", inputs[1],
                              "--size", "%dx%d" % (W, H)] + options + ["0.5=%s" % out],
                             stdin=subprocess.DEVNULL, capture_output=True, text=True)
        if run.returncode == 0 or fragment not in run.stderr:
            failed.append("%s: exit %d, stderr %r" % (name, run.returncode, run.stderr.strip()))
        if os.path.exists(out) or os.path.exists(out + ".part"):
            failed.append("%s: left a picture behind" % name)
    for line in failed:
        print("FAIL " + line)
    print("%d of %d reference renderer cases pass"
          % (len(CASES) + len(FAILURES) - len(failed), len(CASES) + len(FAILURES)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
