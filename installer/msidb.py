"""An installer database's tables as msitools' idt text: read with msiinfo,
written back with msibuild.

An idt file is three header lines (column names, column types, the table's
name followed by its key columns) and one tab-separated line per row. Types
are a letter and a width: s/l strings, i integers, v binary; upper case
allows null. msitools writes CR LF line ends and reads both."""
import concurrent.futures
import os
import subprocess
import tempfile


class Table:
    def __init__(self, name, columns, types, keys, rows):
        self.name = name
        self.columns = columns
        self.types = types
        self.keys = keys
        self.rows = rows  # dicts from column name to text, "" for null

    def nullable(self, column):
        return self.types[self.columns.index(column)][0].isupper()

    def kind(self, column):
        """"s" for text, "i" for integers, "v" for binary."""
        kind = self.types[self.columns.index(column)][0].lower()
        return "s" if kind == "l" else kind

    def idt(self):
        lines = ["\t".join(self.columns), "\t".join(self.types),
                 "\t".join([self.name] + self.keys)]
        for row in self.rows:
            lines.append("\t".join(escape(row[c]) for c in self.columns))
        return "\r\n".join(lines) + "\r\n"


# idt escapes: a tab, CR or LF inside a value is written as a control character.
ESCAPES = {"\t": "\x10", "\r": "\x11", "\n": "\x19"}
UNESCAPES = {v: k for k, v in ESCAPES.items()}


def escape(text):
    return "".join(ESCAPES.get(c, c) for c in text)


def unescape(text):
    return "".join(UNESCAPES.get(c, c) for c in text)


def run(args):
    done = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if done.returncode != 0:
        raise RuntimeError("%s failed (%d): %s" % (" ".join(args), done.returncode,
                                                   done.stderr.decode(errors="replace").strip()))
    return done.stdout.decode("utf-8")


def table_names(package):
    # msiinfo lists the summary stream and the code page as pseudo-tables.
    return [t for t in run(["msiinfo", "tables", package]).split()
            if t not in ("_SummaryInformation", "_ForceCodepage")]


def parse(text):
    lines = text.replace("\r\n", "\n").split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    if len(lines) < 3:
        raise RuntimeError("not an idt table: %r" % text[:80])
    columns = lines[0].split("\t")
    types = lines[1].split("\t")
    header = lines[2].split("\t")
    rows = []
    for line in lines[3:]:
        values = line.split("\t")
        if len(values) != len(columns):
            raise RuntimeError("%s: row with %d values, not %d: %r" %
                               (header[0], len(values), len(columns), line))
        rows.append(dict(zip(columns, (unescape(v) for v in values))))
    return Table(header[0], columns, types, header[1:], rows)


def read(package, name):
    return parse(run(["msiinfo", "export", package, name]))


def read_all(package, names=None):
    """Every table, or those named; msiinfo reads one table per run."""
    names = table_names(package) if names is None else names
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        return dict(zip(names, pool.map(lambda name: read(package, name), names)))


def write(package, tables):
    """Replaces (or adds) the given tables in the package."""
    with tempfile.TemporaryDirectory() as folder:
        args = ["msibuild", package]
        for table in tables:
            path = os.path.join(folder, table.name + ".idt")
            with open(path, "w", encoding="utf-8", newline="") as f:
                f.write(table.idt())
            args += ["-i", path]
        run(args)
