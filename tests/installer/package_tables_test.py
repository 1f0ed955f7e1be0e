#!/usr/bin/env python3
"""The packages' tables as Windows Installer reads them, which Wine's lenient
msiexec cannot show: the server's File row carries the version and language
of its own version resource and no hash; every unversioned file keeps a
correct hash; every name is a valid short name or short|long, unique in its
folder; _Validation describes everything and the data passes it; the product
code follows the version. Then that the package checker reports each fault
it exists for, and that wixl's own output has the faults the finishing step
removes."""
import argparse
import copy
import hashlib
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import uuid

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "installer"))
sys.dont_write_bytecode = True  # nothing written into the source tree
INSTALLER = sys.path[0]
import check_package  # noqa: E402
import finish_package  # noqa: E402
import msidb  # noqa: E402

ARGS = None
TABLES = {}


def tables(package):
    if package not in TABLES:
        TABLES[package] = msidb.read_all(package)
    return TABLES[package]


def resource_version(path):
    """FILEVERSION and the first translation's language, read straight from
    the image's VS_FIXEDFILEINFO and VarFileInfo rather than by the build's
    route (windres)."""
    with open(path, "rb") as f:
        data = f.read()
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        return None, None
    ms, ls = struct.unpack_from("<2I", data, at + 8)
    version = "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    key = "Translation\0".encode("utf-16-le")
    at = data.find(key)
    language = None
    if at >= 0:
        at = (at + len(key) + 3) & ~3
        language = str(struct.unpack_from("<H", data, at)[0])
    return version, language


def rows(t, name):
    return t[name].rows if name in t else []


def package_faults(package, stage, version):
    """What this test requires of a package beyond check_package's rules."""
    t = tables(package)
    faults = []
    in_folder = {r["Component"]: r["Directory_"] for r in rows(t, "Component")}
    paths = finish_package.folder_paths(t["Directory"])
    hashes = {r["File_"]: r for r in rows(t, "MsiFileHash")}
    dll = [r for r in rows(t, "File") if finish_package.long_name(r["FileName"]) == "Quorvel.dll"]
    if len(dll) != 1:
        return ["%d Quorvel.dll rows" % len(dll)]
    want_version, want_language = resource_version(os.path.join(stage, "Quorvel.dll"))
    if want_version != version + ".0":
        faults.append("the staged server's resource says %s, not %s.0" % (want_version, version))
    if (dll[0]["Version"], dll[0]["Language"]) != (want_version, want_language):
        faults.append("Quorvel.dll: File.Version/Language %r/%r, its resource %s/%s" %
                      (dll[0]["Version"], dll[0]["Language"], want_version, want_language))
    for row in rows(t, "File"):
        name = finish_package.long_name(row["FileName"])
        if row["Version"]:
            if row["File"] in hashes:
                faults.append("%s: versioned and hashed" % name)
            continue
        path = os.path.join(stage, *filter(None, paths[in_folder[row["Component_"]]].split("/")),
                            name)
        with open(path, "rb") as f:
            digest = struct.unpack("<4i", hashlib.md5(f.read()).digest())
        got = row["File"] in hashes and tuple(
            int(hashes[row["File"]]["HashPart%d" % i]) for i in range(1, 5))
        if got != digest:
            faults.append("%s: MsiFileHash %s, the file's MD5 %s" % (name, got, digest))
    for row in rows(t, "File"):
        if not check_package.filename_ok(row["FileName"]):
            faults.append("File name %r" % row["FileName"])
    for row in rows(t, "Directory"):
        if row["Directory_Parent"] and not check_package.default_dir_ok(row["DefaultDir"], False):
            faults.append("folder name %r" % row["DefaultDir"])
    if "_Validation" not in t:
        faults.append("no _Validation table")
    return faults


def properties(package):
    return {r["Property"]: r["Value"] for r in tables(package)["Property"].rows}


def package_code(package):
    text = subprocess.run(["msiinfo", "suminfo", package], stdout=subprocess.PIPE,
                          check=True).stdout.decode()
    return next(line.split(":", 1)[1].strip() for line in text.splitlines()
                if line.startswith("Revision number"))


class Packages(unittest.TestCase):
    def test_each_package_as_windows_reads_it(self):
        for package, stage, version in ((ARGS.package, ARGS.stage, ARGS.version),
                                        (ARGS.next_package, ARGS.next_stage, ARGS.next_version)):
            with self.subTest(package=os.path.basename(package)):
                self.assertEqual(package_faults(package, stage, version), [])
                self.assertEqual(check_package.check(package, tables(package)), [])

    def test_the_product_code_follows_the_version(self):
        # Same version, same product: a rebuild of a version is refused by
        # Windows Installer rather than installed beside the first.
        n, n1 = properties(ARGS.package), properties(ARGS.next_package)
        self.assertEqual(n["UpgradeCode"], n1["UpgradeCode"])
        for props, version in ((n, ARGS.version), (n1, ARGS.next_version)):
            self.assertEqual(props["ProductVersion"], version)
            derived = uuid.uuid5(uuid.UUID(props["UpgradeCode"]), "product:" + version)
            self.assertEqual(props["ProductCode"], "{%s}" % str(derived).upper())
        self.assertNotEqual(n["ProductCode"], n1["ProductCode"])
        self.assertNotEqual(package_code(ARGS.package), package_code(ARGS.next_package))

    def test_wixl_output_has_the_faults_the_finishing_removes(self):
        faults = package_faults(ARGS.wixl_output, ARGS.stage, ARGS.version)
        for expected in ("Quorvel.dll: File.Version/Language ''/''", "File name 'transition.fxh'",
                         "folder name 'transitions'", "no _Validation table"):
            with self.subTest(expected=expected):
                self.assertTrue(any(f.startswith(expected) for f in faults), faults)
        hashed = {r["File_"] for r in rows(tables(ARGS.wixl_output), "MsiFileHash")}
        self.assertIn("QuorvelDllFile", hashed)


def change(t, table, match, **values):
    for row in t[table].rows:
        if all(row[k] == v for k, v in match.items()):
            row.update(values)
            return
    raise AssertionError("no %s row %s" % (table, match))


def add(t, table, **values):
    t[table].rows.append(dict({c: "" for c in t[table].columns}, **values))


def shared_short_name(t):
    files = [r for r in t["File"].rows if "|" in r["FileName"]]
    folder = {r["Component"]: r["Directory_"] for r in t["Component"].rows}
    for a in files:
        for b in files:
            if a is not b and folder[a["Component_"]] == folder[b["Component_"]]:
                a["FileName"] = b["FileName"].split("|")[0] + "|" + a["FileName"].split("|")[1]
                return
    raise AssertionError("no folder with two long names")


# (fault, change to the package's tables, part of the report expected)
def edit(table, match, **values):
    return lambda t: change(t, table, match, **values)


def extra(table, **values):
    return lambda t: add(t, table, **values)


def edit_first_registry(**values):
    return lambda t: t["Registry"].rows[0].update(
        {k: v(t["Registry"].rows[0]) for k, v in values.items()})


def lower_component_id(t):
    change(t, "Component", {"Component": "QuorvelDll"}, ComponentId=next(
        r["ComponentId"] for r in t["Component"].rows if r["Component"] == "QuorvelDll").lower())


def forget_description(t):
    t["_Validation"].rows = [r for r in t["_Validation"].rows
                             if (r["Table"], r["Column"]) != ("File", "Version")]


DLL = {"File": "QuorvelDllFile"}
# (fault, change to the package's tables, part of the report expected)
FAULTS = [
    ("long file name alone", edit("File", DLL, FileName="QuorvelServer.dll"), "valid Filename"),
    ("long folder name alone", edit("Directory", {"DefaultDir": "TRANSI~1|transitions"},
                                    DefaultDir="transitions"), "valid DefaultDir"),
    ("short name shared in a folder", shared_short_name, "share the short name"),
    ("versioned file hashed", extra("MsiFileHash", File_="QuorvelDllFile", Options="0",
                                    HashPart1="1", HashPart2="2", HashPart3="3", HashPart4="4"),
     "versioned file with an MsiFileHash"),
    ("versioned file without language", edit("File", DLL, Language=""), "without a language"),
    ("malformed version", edit("File", DLL, Version="1.0.0.0.0"), "valid Version"),
    ("column not described", forget_description, "File.Version: not described"),
    ("description of a missing column", extra("_Validation", Table="File", Column="Checksum",
                                              Nullable="Y"), "which the package lacks"),
    ("null where not nullable", edit("Property", {"Property": "ARPNOMODIFY"}, Value=""),
     "may not be null"),
    ("below the range", edit("Media", {"DiskId": "1"}, DiskId="0"), "below 1"),
    ("not in the set", edit("RemoveFile", {"FileKey": "RemoveMakerFolder"}, InstallMode="4"),
     "is not one of"),
    ("dangling foreign key", edit("FeatureComponents", {"Component_": "QuorvelDll"},
                                  Component_="NoSuchComponent"), "is not a key of"),
    ("duplicate primary key", extra("Property", Property="ARPNOMODIFY", Value="1"),
     "duplicate primary key"),
    ("condition names a missing component",
     extra("LaunchCondition", Condition="$NoSuchComponent>2", Description="x"),
     "component 'NoSuchComponent'"),
    ("condition names a missing feature",
     extra("LaunchCondition", Condition="&NoSuchFeature=3", Description="x"),
     "feature 'NoSuchFeature'"),
    ("lower-case GUID", lower_component_id, "valid Guid"),
    ("registry path ending in a backslash", edit_first_registry(Key=lambda r: r["Key"] + "\\"),
     "valid RegPath"),
    ("unclosed bracket", edit_first_registry(Value=lambda r: "[INSTALLFOLDER"),
     "valid Formatted"),
    ("invalid identifier", extra("Property", Property="9LIVES", Value="1"), "valid Identifier"),
    ("key table that does not exist",
     edit("_Validation", {"Table": "File", "Column": "Component_"}, KeyTable="Components"),
     "missing table Components"),
]


class Checker(unittest.TestCase):
    def test_reports_each_fault(self):
        base = tables(ARGS.package)
        self.assertEqual(check_package.Checker(copy.deepcopy(base)).run(), [])
        for name, mutate, expected in FAULTS:
            with self.subTest(fault=name):
                t = copy.deepcopy(base)
                mutate(t)
                faults = check_package.Checker(t).run()
                self.assertTrue(any(expected in f for f in faults), faults)

    def test_short_names(self):
        cases = [
            (["blur.fx", "Quorvel.dll"], {"blur.fx": "blur.fx", "Quorvel.dll": "Quorvel.dll"}),
            (["transition.fxh", "transitions"], {"transition.fxh": "TRANSI~1.FXH|transition.fxh",
                                                  "transitions": "TRANSI~1|transitions"}),
            (["dissolve-xfade.fx", "dissolve-other.fx"],
             {"dissolve-other.fx": "DISSOL~1.FX|dissolve-other.fx",
              "dissolve-xfade.fx": "DISSOL~2.FX|dissolve-xfade.fx"}),
            # A name already in its short form keeps it; the generated one steps past it.
            (["greyscale.fx", "GREYSC~1.FX"], {"GREYSC~1.FX": "GREYSC~1.FX",
                                               "greyscale.fx": "GREYSC~2.FX|greyscale.fx"}),
            (["a b+c.d.text", ".profile"], {"a b+c.d.text": "ABCD~1.TEX|a b+c.d.text",
                                            ".profile": "PROFIL~1|.profile"}),
        ]
        for names, expected in cases:
            with self.subTest(names=names):
                got = finish_package.assign_short_names(names)
                self.assertEqual(got, expected)
                for value in got.values():
                    self.assertTrue(check_package.filename_ok(value), value)
        many = ["transition%02d.fx" % i for i in range(30)]
        shorts = {v.split("|")[0] for v in finish_package.assign_short_names(many).values()}
        self.assertEqual(len(shorts), 30)
        self.assertTrue(all(check_package.short_name_ok(s) for s in shorts), shorts)


SHIM = """#!/usr/bin/env python3
import fcntl, os, sys
with open(os.environ["SHIM_LOG"], "a+") as log:
    fcntl.flock(log, fcntl.LOCK_EX)
    log.seek(0)
    call = len(log.read().splitlines()) + 1
    tool = os.path.basename(sys.argv[0])
    log.write("%s %s\\n" % (tool, sys.argv[1] if tool == "msiinfo" else ""))
if call == int(os.environ["SHIM_FAIL"]):
    sys.exit("injected failure")
os.execv(REAL, [REAL] + sys.argv[1:])
"""


class FinishingFailures(unittest.TestCase):
    """Every tool the finishing step runs failing in turn: it reports the
    failure and leaves neither a package nor a temporary file."""

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="finish-")
        self.shims = os.path.join(self.folder, "bin")
        os.makedirs(self.shims)
        for tool in ("msiinfo", "msibuild", os.path.basename(ARGS.windres)):
            real = shutil.which(tool) or shutil.which(ARGS.windres)
            path = os.path.join(self.shims, tool)
            with open(path, "w") as f:
                f.write(SHIM.replace("REAL", repr(real)))
            os.chmod(path, 0o755)

    def tearDown(self):
        shutil.rmtree(self.folder)

    def finish(self, fail):
        log = os.path.join(self.folder, "calls-%d" % fail)
        out = os.path.join(self.folder, "out.msi")
        env = dict(os.environ, PATH=self.shims + os.pathsep + os.environ["PATH"],
                   SHIM_LOG=log, SHIM_FAIL=str(fail))
        done = subprocess.run(
            [sys.executable, os.path.join(INSTALLER, "finish_package.py"), "--in",
             ARGS.wixl_output, "--out", out, "--stage", ARGS.stage, "--windres",
             os.path.join(self.shims, os.path.basename(ARGS.windres))],
            env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        with open(log) as f:
            calls = f.read().splitlines()
        return done, out, calls

    def test_each_tool_failing(self):
        done, out, calls = self.finish(0)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertTrue(os.path.exists(out))
        os.remove(out)
        # Calls of one kind share one path through the code: the first call
        # of each kind before and after the tables are written is enough.
        write = calls.index(next(c for c in calls if c.startswith("msibuild")))
        firsts = {}
        for number, call in enumerate(calls, 1):
            firsts.setdefault((call, number > write + 1), number)
        self.assertGreaterEqual(len(firsts), 5, calls)
        for (call, after), number in sorted(firsts.items(), key=lambda item: item[1]):
            with self.subTest(call=number, tool=call):
                done, out, _ = self.finish(number)
                self.assertNotEqual(done.returncode, 0)
                self.assertIn(b"finish_package: ", done.stderr)
                self.assertNotIn(b"Traceback", done.stderr)
                left = [f for f in os.listdir(self.folder)
                        if f != "bin" and not f.startswith("calls-")]
                self.assertEqual(left, [])


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    for name in ("--package", "--stage", "--version", "--next-package", "--next-stage",
                 "--next-version", "--wixl-output", "--windres"):
        parser.add_argument(name, required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
