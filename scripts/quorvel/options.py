"""Command-line values the comparison scripts share."""
import argparse
import os
from fractions import Fraction

from . import ROOT


def parse_size(text):
    """"WxH" as (W, H), both at least 1."""
    w, _, h = text.lower().partition("x")
    if not (w.isdigit() and h.isdigit()) or int(w) < 1 or int(h) < 1:
        raise argparse.ArgumentTypeError("bad size %r: expected WxH" % text)
    return int(w), int(h)


def parse_unit_fractions(text, what):
    """Comma-separated fractions or decimals in 0..1, sorted, each once;
    `what` names them in a message ("Time", "progress")."""
    values = []
    for part in text.split(","):
        t = Fraction(part.strip()).limit_denominator(1000)
        if t < 0 or t > 1:
            raise argparse.ArgumentTypeError("%s %s outside 0..1" % (what, part))
        values.append(t)
    return sorted(set(values))


def add_work_options(parser, name, out_help="working folder"):
    """--out (default out/NAME) and --build (QUORVEL_BUILD_DIR or build/release)."""
    parser.add_argument("--out", default=os.path.join(ROOT, "out", name),
                        help="%s (default out/%s)" % (out_help, name))
    parser.add_argument("--build", default=os.environ.get("QUORVEL_BUILD_DIR",
                                                          os.path.join(ROOT, "build", "release")),
                        help="build tree (default build/release)")
