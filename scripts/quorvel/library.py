"""library/index.tsv, the library's one manifest, and xfade-misses.tsv."""
import csv
import os

from . import LIBRARY

COLUMNS = ("name", "kind", "file", "technique", "xfade", "description")
KINDS = ("transition", "effect")


def _rows(library):
    with open(os.path.join(library, "index.tsv"), newline="", encoding="utf-8") as f:
        return list(csv.reader(f, delimiter="\t", quoting=csv.QUOTE_NONE))


def read_index(library=LIBRARY):
    """The entries in order, as dicts by column name; blank and "#" rows are skipped."""
    rows = [r for r in _rows(library) if r and r[0]]
    header = rows[0]
    return [dict(zip(header, r + [""] * (len(header) - len(r)))) for r in rows[1:]
            if not r[0].startswith("#")]


def xfade_entries(library=LIBRARY):
    """The transitions that name an ffmpeg xfade counterpart."""
    return [e for e in read_index(library)
            if e.get("kind") == "transition" and e.get("xfade", "-") not in ("", "-")]


def index_problems(library=LIBRARY):
    """What is wrong with the index itself: its header, six cells a row, known
    kinds, files that exist, one row per name and per xfade counterpart."""
    problems = []
    rows = _rows(library)
    if not rows or tuple(rows[0]) != COLUMNS:
        problems.append("header is " + "\t".join(rows[0] if rows else []))
    names, xfades = set(), set()
    for number, row in enumerate(rows[1:], start=2):
        if not row or row == [""]:
            continue
        if len(row) != len(COLUMNS):
            problems.append("row %d: %d cells, not %d" % (number, len(row), len(COLUMNS)))
        for i, cell in enumerate(row, start=1):
            if cell == "":
                problems.append("row %d: cell %d is empty" % (number, i))
        entry = dict(zip(COLUMNS, row + [""] * len(COLUMNS)))
        if entry["kind"] not in KINDS:
            problems.append("row %d: kind %s" % (number, entry["kind"]))
        if not os.path.isfile(os.path.join(library, entry["file"])):
            problems.append("row %d: no file %s" % (number, entry["file"]))
        if entry["name"] in names:
            problems.append("row %d: a second row named %s" % (number, entry["name"]))
        names.add(entry["name"])
        if entry["xfade"] != "-":
            if entry["xfade"] in xfades:
                problems.append("row %d: a second row for xfade %s" % (number, entry["xfade"]))
            xfades.add(entry["xfade"])
    return problems


def read_misses(path=os.path.join(LIBRARY, "xfade-misses.tsv")):
    """name -> (reason, formula), from a TSV with a header row: name, reason
    and optionally the entry's formula as an xfade custom expression."""
    misses = {}
    if path and os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            for n, line in enumerate(f):
                line = line.rstrip("\n")
                if n == 0 or not line.strip() or line.startswith("#"):
                    continue
                cells = line.split("\t") + ["", ""]
                misses[cells[0].strip()] = (cells[1].strip(), cells[2].strip())
    return misses
