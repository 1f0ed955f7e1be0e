#!/usr/bin/env python3
"""Completes the package wixl built with what wixl leaves out, then checks it:
- a file with a version resource gets its version and languages in the File
  table and loses its MsiFileHash row (hashes are for unversioned files; a
  versioned file without its version loses to the copy on disk under the
  file-versioning rules);
- every file and folder name that is not a valid short name gets one, as
  short|long, unique within its folder;
- a _Validation table describing every table and column;
then runs check_package on the result. The output appears only when all of
that succeeded.

Usage: finish_package.py --in WIXL.msi --out PACKAGE.msi --stage DIR --windres WINDRES"""
import argparse
import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True  # nothing written into the source tree
import check_package  # noqa: E402
import msidb  # noqa: E402
import validation  # noqa: E402

PRODUCT_FOLDER = "INSTALLFOLDER"
FILE_VERSION = re.compile(r"^\s*FILEVERSION\s+(\d+)\s*,\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)\s*$",
                          re.MULTILINE)
TRANSLATION = re.compile(r'^\s*VALUE\s+"Translation"\s*,\s*(.*)$', re.MULTILINE)


def version_resource(windres, path):
    """(version, languages) from a PE file's version resource, or None for a
    file without one. windres reads the resources back as script text."""
    with open(path, "rb") as f:
        if f.read(2) != b"MZ":
            return None
    done = subprocess.run([windres, "-i", path, "-O", "rc"], stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE)
    if done.returncode != 0:
        raise SystemExit("finish_package: %s cannot read the resources of %s: %s" %
                         (windres, path, done.stderr.decode(errors="replace").strip()))
    text = done.stdout.decode("utf-8", errors="replace")
    version = FILE_VERSION.search(text)
    if not version:
        return None
    languages = []
    translation = TRANSLATION.search(text)
    if translation:
        numbers = [int(n, 0) for n in re.findall(r"0x[0-9a-fA-F]+|\d+", translation.group(1))]
        languages = [str(n) for n in numbers[0::2]]  # pairs of language and code page
    # Windows Installer takes a file without a translation as language neutral.
    return ".".join(version.groups()), ",".join(dict.fromkeys(languages)) or "0"


def long_name(value):
    short, _, long = value.partition("|")
    return long or short


def folder_paths(directories):
    """Each folder's path below the product folder ("" for the product folder)."""
    rows = {r["Directory"]: r for r in directories.rows}
    paths = {}

    def path(key, seen=()):
        if key in paths:
            return paths[key]
        if key == PRODUCT_FOLDER:
            return ""
        row = rows.get(key)
        if row is None or row["Directory_Parent"] in ("", key) or key in seen:
            return None
        parent = path(row["Directory_Parent"], seen + (key,))
        if parent is None:
            return None
        name = long_name(row["DefaultDir"].split(":")[0])
        result = name if name == "." else (parent + "/" + name).lstrip("/")
        paths[key] = result
        return result
    return {key: path(key) for key in rows}


def short_candidate(long, number):
    """NAME~N.EXT in the manner of Windows: upper case, characters short
    names exclude dropped, the stem cut to leave room for ~N."""
    base, dot, ext = long.rpartition(".")
    if not dot or not base:
        base, ext = long, ""

    def clean(text):
        excluded = check_package.NOT_IN_SHORT_NAMES | {"."}
        return "".join(c for c in text.upper() if c not in excluded and " " < c < "\x7f")
    base, ext = clean(base) or "_", clean(ext)[:3]
    suffix = "~%d" % number
    return base[:8 - len(suffix)] + suffix + ("." + ext if ext else "")


def assign_short_names(names):
    """Maps each long name of one folder to its Filename value: the name
    itself where it is a valid short name, else short|long with a short name
    no other entry of the folder uses."""
    taken = {n.lower() for n in names if check_package.short_name_ok(n)}
    result = {}
    for name in sorted(names, key=lambda n: (n.lower(), n)):
        if check_package.short_name_ok(name):
            result[name] = name
            continue
        number = 1
        while short_candidate(name, number).lower() in taken:
            number += 1
        short = short_candidate(name, number)
        taken.add(short.lower())
        result[name] = short + "|" + name
    return result


def add_short_names(tables):
    files, directories, components = tables["File"], tables["Directory"], tables["Component"]
    in_folder = {r["Component"]: r["Directory_"] for r in components.rows}
    entries = {}  # folder -> [(row, column, long name)]
    for row in directories.rows:
        if row["Directory_Parent"] in ("", row["Directory"]):
            continue  # a root's DefaultDir is a property name
        target, colon, source = row["DefaultDir"].partition(":")
        if colon:
            raise SystemExit("finish_package: folder %s has a separate source name" %
                             row["Directory"])
        if target != ".":
            entries.setdefault(row["Directory_Parent"], []).append(
                (row, "DefaultDir", long_name(target)))
    for row in files.rows:
        entries.setdefault(in_folder[row["Component_"]], []).append(
            (row, "FileName", long_name(row["FileName"])))
    for folder, items in entries.items():
        names = [name for _, _, name in items]
        if len({n.lower() for n in names}) != len(names):
            raise SystemExit("finish_package: two entries of folder %s share a name" % folder)
        chosen = assign_short_names(names)
        for row, column, name in items:
            row[column] = chosen[name]


def add_versions(tables, stage, windres):
    files, hashes = tables["File"], tables["MsiFileHash"]
    paths = folder_paths(tables["Directory"])
    in_folder = {r["Component"]: r["Directory_"] for r in tables["Component"].rows}
    versioned = set()
    for row in files.rows:
        folder = paths.get(in_folder[row["Component_"]])
        if folder is None:
            raise SystemExit("finish_package: file %s is outside the product folder" % row["File"])
        path = os.path.join(stage, *filter(None, folder.split("/")), long_name(row["FileName"]))
        found = version_resource(windres, path)
        if found:
            row["Version"], row["Language"] = found
            versioned.add(row["File"])
    hashes.rows = [r for r in hashes.rows if r["File_"] not in versioned]
    return versioned


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--in", dest="source", required=True)
    for name in ("--out", "--stage", "--windres"):
        parser.add_argument(name, required=True)
    args = parser.parse_args()

    work = args.out + ".tmp"
    try:
        shutil.copyfile(args.source, work)
        tables = msidb.read_all(work)
        versioned = add_versions(tables, args.stage, args.windres)
        add_short_names(tables)
        changed = [tables[n] for n in ("File", "Directory", "MsiFileHash")]
        msidb.write(work, changed + [validation.table(tables)])
        # What was written is read back: the check sees what Windows will.
        tables.update(msidb.read_all(work, [t.name for t in changed] + ["_Validation"]))
        faults = check_package.check(work, tables)
        if faults:
            raise SystemExit("finish_package: %s fails its checks:\n  %s" %
                             (args.out, "\n  ".join(faults)))
        if not versioned:
            raise SystemExit("finish_package: no versioned file in " + args.source)
        os.replace(work, args.out)
    except (OSError, RuntimeError) as e:
        raise SystemExit("finish_package: %s not built: %s" % (args.out, e))
    finally:
        if os.path.exists(work):
            os.remove(work)


if __name__ == "__main__":
    sys.exit(main())
