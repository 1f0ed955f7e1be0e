#!/usr/bin/env python3
"""Checks a Windows Installer package's tables the way ICE validation on
Windows would, for the rules that need nothing but the tables:
- every column of every table is described in _Validation, and every row
  there names a column the package has (ICE03, ICE06);
- every value against its description: null where not nullable, range, set,
  category (identifier, GUID, version, language, file and folder names,
  registry paths, formatted text, conditions) and foreign keys (ICE03);
- primary keys are unique;
- components and features named in conditions exist (ICE79);
- short and long names are unique within each folder;
- a versioned file has a language (ICE60) and no MsiFileHash row, which is
  for unversioned files only.

Usage: check_package.py PACKAGE.msi   (prints one line per fault, exit 1)"""
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True  # nothing written into the source tree
import msidb  # noqa: E402

IDENTIFIER = re.compile(r"[A-Za-z_][A-Za-z0-9_.]*\Z")
GUID = re.compile(r"\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\}\Z")
VERSION = re.compile(r"\d{1,5}(\.\d{1,5}){0,3}\Z")
LANGUAGE = re.compile(r"\d{1,5}(,\d{1,5})*\Z")
NOT_IN_NAMES = set('/\\?|><:*"')
NOT_IN_SHORT_NAMES = NOT_IN_NAMES | set("+,;=[] ")
WILDCARDS = set("*?")
REFERENCE = re.compile(r"([$?&!])([A-Za-z_][A-Za-z0-9_.]*)")


def short_name_ok(name, wildcards=False):
    """An 8.3 name: one to eight characters, optionally a dot and one to
    three more; printable ASCII without the characters short names exclude."""
    bad = NOT_IN_SHORT_NAMES - WILDCARDS if wildcards else NOT_IN_SHORT_NAMES
    if not name or any(c in bad or not " " < c < "\x7f" for c in name):
        return False
    base, dot, ext = name.partition(".")
    return 1 <= len(base) <= 8 and (not dot or 1 <= len(ext) <= 3 and "." not in ext)


def long_name_ok(name, wildcards=False):
    bad = NOT_IN_NAMES - WILDCARDS if wildcards else NOT_IN_NAMES
    return (bool(name) and not any(c in bad or ord(c) < 32 for c in name)
            and name not in (".", "..") and not name.endswith((" ", ".")))


def filename_ok(value, wildcards=False):
    """short, or short|long: a name that is not a valid short name needs both."""
    short, bar, long = value.partition("|")
    if not short_name_ok(short, wildcards):
        return False
    return not bar or long_name_ok(long, wildcards)


def split_names(value):
    """(short, long) of a Filename value."""
    short, _, long = value.partition("|")
    return short, long or short


def default_dir_ok(value, root):
    if root:
        return bool(IDENTIFIER.match(value))
    parts = value.split(":")
    return len(parts) <= 2 and all(p == "." or filename_ok(p) for p in parts)


def formatted_ok(value):
    """Brackets pair up; [\\x] escapes one character."""
    depth = 0
    i = 0
    while i < len(value):
        if value.startswith("[\\", i):
            if value[i + 3:i + 4] != "]":
                return False
            i += 4
            continue
        if value[i] == "[":
            depth += 1
        elif value[i] == "]":
            depth -= 1
            if depth < 0:
                return False
        i += 1
    return depth == 0


def condition_ok(value):
    outside = re.sub(r'"[^"]*"', '""', value)
    if outside.count('"') % 2:
        return False
    depth = 0
    for c in outside:
        depth += {"(": 1, ")": -1}.get(c, 0)
        if depth < 0:
            return False
    return depth == 0


def reg_path_ok(value):
    return not value.startswith("\\") and not value.endswith("\\") and formatted_ok(value)


def cabinet_ok(value):
    if value.startswith("#"):
        return 1 <= len(value) - 1 <= 62 and bool(IDENTIFIER.match(value[1:]))
    return short_name_ok(value)


CHECKS = {
    "Identifier": lambda v: bool(IDENTIFIER.match(v)),
    "Property": lambda v: bool(IDENTIFIER.match(v.lstrip("%"))),
    "UpperCase": lambda v: v == v.upper(),
    "LowerCase": lambda v: v == v.lower(),
    "Guid": lambda v: bool(GUID.match(v)),
    "Version": lambda v: bool(VERSION.match(v)) and all(int(p) <= 65535 for p in v.split(".")),
    "Language": lambda v: bool(LANGUAGE.match(v)) and all(int(p) <= 65535 for p in v.split(",")),
    "Filename": filename_ok,
    "WildCardFilename": lambda v: filename_ok(v, wildcards=True),
    "RegPath": reg_path_ok,
    "Formatted": formatted_ok,
    "FormattedSDDLText": formatted_ok,
    "Template": formatted_ok,
    "Shortcut": formatted_ok,
    "CustomSource": formatted_ok,
    "Condition": condition_ok,
    "Cabinet": cabinet_ok,
}


class Checker:
    def __init__(self, tables):
        self.tables = tables
        self.faults = []

    def fault(self, text):
        self.faults.append(text)

    def key_values(self, table, number):
        t = self.tables.get(table)
        if t is None or number > len(t.columns):
            return set()
        return {row[t.columns[number - 1]] for row in t.rows}

    def run(self):
        validation = self.tables.get("_Validation")
        if validation is None:
            self.fault("no _Validation table")
            return self.faults
        rules = {(r["Table"], r["Column"]): r for r in validation.rows}
        for name, table in sorted(self.tables.items()):
            for column in table.columns:
                if (name, column) not in rules:
                    self.fault("%s.%s: not described in _Validation" % (name, column))
            self.check_keys(table)
        for (name, column), rule in sorted(rules.items()):
            if name not in self.tables:
                continue  # ICE06 ignores descriptions of tables the package lacks
            if column not in self.tables[name].columns:
                self.fault("_Validation describes %s.%s, which the package lacks" %
                           (name, column))
                continue
            for key_table in filter(None, rule["KeyTable"].split(";")):
                if key_table not in self.tables:
                    self.fault("_Validation: %s.%s refers to missing table %s" %
                               (name, column, key_table))
            self.check_column(self.tables[name], column, rule)
        self.check_references()
        self.check_folders()
        self.check_versions()
        return self.faults

    def check_keys(self, table):
        seen = set()
        for row in table.rows:
            key = tuple(row[k] for k in table.keys)
            if key in seen:
                self.fault("%s: duplicate primary key %s" % (table.name, "/".join(key)))
            seen.add(key)

    def check_column(self, table, column, rule):
        kind = table.kind(column)
        key_tables = list(filter(None, rule["KeyTable"].split(";")))
        keys = set()
        for key_table in key_tables:
            keys |= self.key_values(key_table, int(rule["KeyColumn"] or 1))
        allowed = rule["Set"].split(";") if rule["Set"] else None
        for row in table.rows:
            value = row[column]
            where = "%s.%s of %s" % (table.name, column, "/".join(row[k] for k in table.keys))
            if value == "":
                if rule["Nullable"] != "Y":
                    self.fault("%s: null in a column that may not be null" % where)
                continue
            if allowed is not None and value not in allowed:
                self.fault("%s: %r is not one of %s" % (where, value, rule["Set"]))
            if kind == "i":
                number = int(value)
                if rule["MinValue"] and number < int(rule["MinValue"]):
                    self.fault("%s: %d below %s" % (where, number, rule["MinValue"]))
                if rule["MaxValue"] and number > int(rule["MaxValue"]):
                    self.fault("%s: %d above %s" % (where, number, rule["MaxValue"]))
            elif kind == "s":
                category = rule["Category"]
                # A version column may instead name a companion file.
                companion = category == "Version" and value in keys
                if category == "DefaultDir":
                    parent = row.get("Directory_Parent", "")
                    good = default_dir_ok(value, parent in ("", row.get("Directory")))
                else:
                    good = CHECKS.get(category, lambda v: True)(value)
                if not good and not companion:
                    self.fault("%s: %r is not a valid %s" % (where, value, category))
                if key_tables and value not in keys and (category != "Version" or not good):
                    self.fault("%s: %r is not a key of %s" % (where, value, rule["KeyTable"]))

    def check_references(self):
        components = self.key_values("Component", 1)
        features = self.key_values("Feature", 1)
        for rule in self.tables["_Validation"].rows:
            if rule["Category"] != "Condition" or rule["Table"] not in self.tables:
                continue
            table = self.tables[rule["Table"]]
            for row in table.rows:
                text = re.sub(r'"[^"]*"', '""', row[rule["Column"]])
                for sign, name in REFERENCE.findall(text):
                    known = components if sign in "$?" else features
                    if name not in known:
                        self.fault("%s.%s: %s '%s' named in %r does not exist" %
                                   (table.name, rule["Column"],
                                    "component" if sign in "$?" else "feature", name, text))

    def check_folders(self):
        """Short and long names are unique in each folder, files and subfolders alike."""
        entries = {}
        directories = self.tables.get("Directory")
        components = {r["Component"]: r["Directory_"]
                      for r in self.tables.get("Component", msidb.Table("", [], [], [], [])).rows}
        if directories:
            for row in directories.rows:
                if row["Directory_Parent"] in ("", row["Directory"]):
                    continue
                target = row["DefaultDir"].split(":")[0]
                if target != ".":
                    entries.setdefault(row["Directory_Parent"], []).append(
                        ("folder " + row["Directory"], target))
        for row in self.tables.get("File", msidb.Table("", [], [], [], [])).rows:
            folder = components.get(row["Component_"])
            if folder is not None:
                entries.setdefault(folder, []).append(("file " + row["File"], row["FileName"]))
        for folder, items in sorted(entries.items()):
            for part in (0, 1):
                seen = {}
                for what, value in items:
                    name = split_names(value)[part].lower()
                    if name in seen:
                        self.fault("folder %s: %s and %s share the %s name %s" %
                                   (folder, seen[name], what, ("short", "long")[part], name))
                    seen[name] = what

    def check_versions(self):
        files = self.tables.get("File")
        if files is None:
            return
        keys = {r["File"] for r in files.rows}
        hashed = {r["File_"] for r in self.tables.get("MsiFileHash",
                                                      msidb.Table("", [], [], [], [])).rows}
        for row in files.rows:
            if not row["Version"] or row["Version"] in keys:
                continue
            if not row["Language"]:
                self.fault("File %s: version %s without a language" %
                           (row["File"], row["Version"]))
            if row["File"] in hashed:
                self.fault("File %s: a versioned file with an MsiFileHash row" % row["File"])


def check(package, tables=None):
    """The faults of `package`; `tables` are those already read from it."""
    return Checker(tables or msidb.read_all(package)).run()


def main():
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    faults = check(sys.argv[1])
    for text in faults:
        print("check_package: " + text, file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
