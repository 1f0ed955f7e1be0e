#!/usr/bin/env python3
"""The package as a user meets it, each part in a fresh Wine prefix with a
wineserver of its own (the run's Xvfb is shared):
- msiexec /i /qn succeeds and the product folder holds exactly the DLL and the
  library;
- HKLM\\Software\\Classes gains exactly what a regsvr32 of the same file at
  the same path adds in another fresh prefix;
- a host process creates both classes through the registry and renders a
  library transition named relative to the product folder;
- msiexec /x /qn leaves the files and HKLM\\Software\\Classes as before;
- version N+1 installed over N replaces it: one product, N+1's files only;
  N installed over N+1 is refused."""
import argparse
import concurrent.futures
import csv
import filecmp
import os
import shutil
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "installer"))
sys.dont_write_bytecode = True  # nothing written into the source tree
import regfile  # noqa: E402
from wineprefix import FreshPrefix  # noqa: E402

ROOT = "HKEY_LOCAL_MACHINE\\Software\\Classes"
PRODUCT_FOLDER = "C:\\Program Files\\Tavimark\\Quorvel"
# Windows Installer's own containers. Wine's creates them on the first install
# and leaves them, empty, after the last uninstall; Windows always has them.
INSTALLER_CONTAINERS = {"installer", "installer\\features", "installer\\products",
                        "installer\\upgradecodes"}

failures = []
started = time.monotonic()


def log(text):
    print("[%5.1fs] %s" % (time.monotonic() - started, text), flush=True)


def check(condition, message):
    if not condition:
        failures.append(message)
        log("FAIL: " + message)
    return condition


def tree_files(folder):
    found = set()
    for base, _, names in os.walk(folder):
        for name in names:
            found.add(os.path.relpath(os.path.join(base, name), folder).replace(os.sep, "/"))
    return found


def check_product_folder(prefix, stage, what):
    folder = prefix.drive_c(PRODUCT_FOLDER)
    installed, staged = tree_files(folder), tree_files(stage)
    check(installed == staged, "%s: product folder differs from the package: missing %s, extra %s"
          % (what, sorted(staged - installed), sorted(installed - staged)))
    changed = [f for f in sorted(installed & staged)
               if not filecmp.cmp(os.path.join(folder, f), os.path.join(stage, f), shallow=False)]
    check(not changed, "%s: installed files differ from the package's: %s" % (what, changed))
    return staged


def check_removed(prefix, files_before, what):
    left = tree_files(prefix.drive_c("C:\\Program Files")) - files_before
    check(not left, "%s: files left: %s" % (what, sorted(left)))
    check(not os.path.exists(prefix.drive_c("C:\\Program Files\\Tavimark")),
          "%s: the Tavimark folder is left" % what)


def export(prefix, name):
    return regfile.export(prefix.wine, prefix.env, ROOT, os.path.join(prefix.path, name + ".reg"))


def server_entries(before, after, what):
    """What the install added under Classes, without the installer's own bookkeeping."""
    new_keys, added, removed = regfile.difference(before, after)
    check(not removed, "%s: entries changed or removed: %s" %
          (what, [regfile.describe(e) for e in removed]))

    def ours(key):
        return not (key.lower() == "installer" or key.lower().startswith("installer\\"))
    return ({k for k in new_keys if ours(k)},
            {(k, n, v) for k, n, v in added if ours(k)})


def check_registration(before, after, reference, what):
    keys, values = server_entries(before, after, what)
    ref_keys, ref_values = reference
    check(keys == ref_keys, "%s: keys differ from regsvr32's: missing %s, extra %s"
          % (what, sorted(ref_keys - keys), sorted(keys - ref_keys)))
    check(values == ref_values, "%s: values differ from regsvr32's:\n  missing %s\n  extra %s"
          % (what, [regfile.describe(e) for e in sorted(ref_values - values, key=str)],
             [regfile.describe(e) for e in sorted(values - ref_values, key=str)]))


def check_as_before(before, after, what):
    new_keys, added, removed = regfile.difference(before, after)
    leftovers = [k for k in new_keys
                 if k.lower() not in INSTALLER_CONTAINERS or after[k]]
    check(not leftovers and not added and not removed,
          "%s: HKLM\\Software\\Classes not as before: keys %s, values %s, lost %s"
          % (what, leftovers, [regfile.describe(e) for e in added],
             [regfile.describe(e) for e in removed]))


def products(tree):
    return [k for k in tree if k.lower().startswith("installer\\products\\")
            and k.count("\\") == 2]


def msiexec(prefix, verb, package, what):
    start = time.monotonic()
    code, output = prefix.run(["msiexec", verb, package, "/qn"])
    log("%s: msiexec %s exit %d (%.1fs)" % (what, verb, code, time.monotonic() - start))
    return check(code == 0, "%s: msiexec %s %s gave exit code %d\n%s" %
                 (what, verb, package, code, output))


def run_host(prefix, host, env, what, only=None):
    args = [host] + (["--gtest_filter=" + only] if only else []) + ["--gtest_brief=1"]
    merged = {"WINEDLLOVERRIDES": "mscoree,mshtml=;d3dx9_30=n"}
    merged.update(env)
    start = time.monotonic()
    code, output = prefix.run(args, env=merged)
    log("%s: host exit %d (%.1fs)" % (what, code, time.monotonic() - start))
    if code != 0 and not output.strip():
        # The test program prints a summary whatever happens; with no output
        # at all Wine did not start it (seen once in many runs). Once more,
        # with Wine's error channel on, so a second failure says why.
        log("%s: the host printed nothing; running it again with Wine's errors shown" % what)
        merged["WINEDEBUG"] = "err+all"
        start = time.monotonic()
        code, output = prefix.run(args, env=merged)
        log("%s: host exit %d (%.1fs)" % (what, code, time.monotonic() - start))
    check(code == 0, "%s: the host failed (exit %d):\n%s" % (what, code, output))


def regsvr32_reference(args, dll):
    """What regsvr32 of the package's DLL, at the installed path, adds."""
    with FreshPrefix(args.wine, os.path.join(args.work, "prefix-regsvr32")) as prefix:
        target = prefix.drive_c(PRODUCT_FOLDER)
        os.makedirs(target)
        shutil.copy2(dll, target)
        before = export(prefix, "before")
        code, output = prefix.run(["regsvr32", "/s", PRODUCT_FOLDER + "\\Quorvel.dll"])
        if code != 0:
            raise SystemExit("regsvr32 failed (%d):\n%s" % (code, output))
        after = export(prefix, "after")
    log("reference: regsvr32 in a fresh prefix")
    return server_entries(before, after, "regsvr32")


def library_transition(index):
    """The crossfade, which needs no host values, or else the first transition."""
    with open(index, newline="") as f:
        rows = [r for r in csv.DictReader(f, delimiter="\t") if r["kind"] == "transition"]
    if not rows:
        raise SystemExit("no transition in " + index)
    row = next((r for r in rows if r["name"] == "crossfade"), rows[0])
    return row["file"].replace("/", "\\"), row["technique"]


def main():
    parser = argparse.ArgumentParser()
    for name in ("--wine", "--package", "--stage", "--version", "--next-package",
                 "--next-stage", "--next-version", "--host", "--index", "--work"):
        parser.add_argument(name, required=True)
    args = parser.parse_args()
    display = os.environ.get("DISPLAY")
    if not display:
        raise SystemExit("installer_test: needs DISPLAY (the test run's Xvfb)")
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)

    retired = tree_files(args.stage) - tree_files(args.next_stage)
    check(retired, "the N+1 package must lack a file of N's, or the upgrade check proves nothing")
    effect, technique = library_transition(args.index)
    # The reference prefix boots while the package's prefix does.
    with concurrent.futures.ThreadPoolExecutor(1) as pool:
        pending = pool.submit(regsvr32_reference, args, os.path.join(args.stage, "Quorvel.dll"))
        try:
            run_package(args, display, effect, technique, pending)
        finally:
            pending.cancel()

    shutil.rmtree(args.work, ignore_errors=True)
    log("%d failure(s)" % len(failures))
    return 1 if failures else 0


def run_package(args, display, effect, technique, pending):
    with FreshPrefix(args.wine, os.path.join(args.work, "prefix-msi"), display) as prefix:
        log("fresh prefix for the package")
        packages = prefix.drive_c("C:\\packages")
        os.makedirs(packages)
        shutil.copy2(args.package, packages)
        shutil.copy2(args.next_package, packages)
        n = "C:\\packages\\" + os.path.basename(args.package)
        n1 = "C:\\packages\\" + os.path.basename(args.next_package)
        files_before = tree_files(prefix.drive_c("C:\\Program Files"))
        before = export(prefix, "before")

        reference = pending.result()
        check(any("InprocServer32" in key for key, _, _ in reference[1]),
              "regsvr32 registered no InprocServer32")
        if msiexec(prefix, "/i", n, "install N"):
            check_product_folder(prefix, args.stage, "install N")
            check_registration(before, export(prefix, "installed"), reference, "install N")
            run_host(prefix, args.host, {"QUORVEL_TEST_EFFECT": effect,
                                         "QUORVEL_TEST_TECHNIQUE": technique,
                                         "QUORVEL_TEST_VERSION": args.version}, "install N")
        if msiexec(prefix, "/x", n, "uninstall N"):
            check_removed(prefix, files_before, "uninstall N")
            check_as_before(before, export(prefix, "uninstalled"), "uninstall N")

        if msiexec(prefix, "/i", n, "reinstall N") and msiexec(prefix, "/i", n1, "upgrade"):
            check_product_folder(prefix, args.next_stage, "upgrade to N+1")
            upgraded = export(prefix, "upgraded")
            check_registration(before, upgraded, reference, "upgrade to N+1")
            check(len(products(upgraded)) == 1,
                  "upgrade: %d products registered, not one" % len(products(upgraded)))
            run_host(prefix, args.host, {"QUORVEL_TEST_VERSION": args.next_version},
                     "upgrade to N+1", only="*InstalledClass*:InstalledServer.CarriesThe*")
            code, _ = prefix.run(["msiexec", "/i", n, "/qn"])
            check(code != 0, "downgrade: N installed over N+1")
            check_product_folder(prefix, args.next_stage, "refused downgrade")
        if msiexec(prefix, "/x", n1, "uninstall N+1"):
            check_removed(prefix, files_before, "uninstall N+1")
            check_as_before(before, export(prefix, "uninstalled-next"), "uninstall N+1")


if __name__ == "__main__":
    sys.exit(main())
