#!/usr/bin/env python3
"""Harvests what the server's own DllRegisterServer writes: registers the DLL
with regsvr32 in a scratch Wine prefix, at the path the package installs it
to, and records what that added under HKLM\\Software\\Classes.

Usage: harvest_registration.py --wine WINE64 --dll Quorvel.dll --maker NAME --product NAME
                               --prefix DIR --out FILE.json"""
import argparse
import json
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True  # nothing written into the source tree
import regfile  # noqa: E402
from wineprefix import FreshPrefix  # noqa: E402

ROOT = "HKEY_LOCAL_MACHINE\\Software\\Classes"
WOW = "wow6432node\\"


def fold_mirrors(new_keys, added):
    """Wine shows keys shared by both registry views (AppID, TypeLib) a second
    time under Wow6432Node. Those copies go; anything else there is a 32-bit
    entry, which a 64-bit server never writes."""
    plain = {(k.lower(), n, v) for k, n, v in added if not k.lower().startswith(WOW)}
    plain_keys = {k.lower() for k in new_keys if not k.lower().startswith(WOW)}
    values, keys = [], []
    for key, name, value in added:
        if key.lower().startswith(WOW):
            if (key[len(WOW):].lower(), name, value) not in plain:
                raise SystemExit("harvest: 32-bit view entry not mirrored: %s" %
                                 regfile.describe((key, name, value)))
            continue
        values.append((key, name, value))
    for key in new_keys:
        if key.lower().startswith(WOW):
            if key[len(WOW):].lower() not in plain_keys:
                raise SystemExit("harvest: 32-bit view key not mirrored: " + key)
            continue
        keys.append(key)
    return keys, values


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine", required=True)
    parser.add_argument("--dll", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--maker", required=True)
    parser.add_argument("--product", required=True)
    args = parser.parse_args()
    product_folder = "C:\\Program Files\\%s\\%s" % (args.maker, args.product)

    name = os.path.basename(args.dll)
    with FreshPrefix(args.wine, args.prefix) as prefix:
        target = prefix.drive_c(product_folder)
        os.makedirs(target)
        shutil.copy2(args.dll, os.path.join(target, name))
        before = regfile.export(args.wine, prefix.env, ROOT, os.path.join(prefix.path, "before.reg"))
        code, output = prefix.run(["regsvr32", "/s", product_folder + "\\" + name])
        if code != 0:
            raise SystemExit("harvest: regsvr32 failed with exit code %d\n%s" % (code, output))
        after = regfile.export(args.wine, prefix.env, ROOT, os.path.join(prefix.path, "after.reg"))

    new_keys, added, removed = regfile.difference(before, after)
    if removed:
        raise SystemExit("harvest: registration changed or removed existing entries:\n" +
                         "\n".join(regfile.describe(e) for e in removed))
    keys, values = fold_mirrors(new_keys, added)
    if not values:
        raise SystemExit("harvest: DllRegisterServer wrote nothing")
    existing = {k.lower() for k in before}
    tops = [k for k in keys if k.rpartition("\\")[0].lower() in existing]
    result = {
        "root": ROOT,
        "folder": product_folder + "\\",
        "keys": keys,
        "tops": tops,
        "values": [[k, n, v[0], v[1]] for k, n, v in values],
    }
    tmp = args.out + ".tmp"
    with open(tmp, "w") as f:
        json.dump(result, f, indent=1)
    os.replace(tmp, args.out)


if __name__ == "__main__":
    main()
