"""Command-line values the comparison scripts share."""
import argparse
from fractions import Fraction


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
