#!/usr/bin/env python3
"""Stages the package's files and writes its WiX source for wixl.

The product folder gets Quorvel.dll and everything under library/ except
build helpers; the DLL's component carries the registry entries harvested
from its own DllRegisterServer, with the DLL's path replaced by the install
folder.

Usage: make_wxs.py --dll DLL --library DIR --registration FILE.json
                   --version X.Y.Z --maker NAME --product NAME --upgrade-code GUID
                   --stage DIR --out FILE.wxs --effect-files PROGRAM
                   [--retire RELATIVE_PATH]

PROGRAM is the native quorvel-effect-files of the build."""
import argparse
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import uuid
from xml.sax.saxutils import quoteattr

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
sys.dont_write_bytecode = True  # nothing written into the source tree
from quorvel.library import read_index  # noqa: E402

# Files under library/ that build it rather than belong to it.
HELPER_NAMES = {"CMakeLists.txt", "__pycache__"}
HELPER_SUFFIXES = (".py", ".pyc", ".cmake", ".sh")


def is_helper(name):
    return name.startswith(".") or name in HELPER_NAMES or name.endswith(HELPER_SUFFIXES)


def library_files(library):
    files = []
    for folder, dirs, names in os.walk(library):
        dirs[:] = sorted(d for d in dirs if not is_helper(d))
        for name in sorted(names):
            if not is_helper(name):
                rel = os.path.relpath(os.path.join(folder, name), library)
                files.append(rel.replace(os.sep, "/"))
    return files


def check_index(library, files):
    """Every file the manifest names must be shipped."""
    missing = sorted({e["file"] for e in read_index(library) if e["file"] not in files})
    if missing:
        raise SystemExit("make_wxs: index.tsv names files that are not in library/: " +
                         ", ".join(missing))


def check_includes(library, files, effect_files):
    """Every file an effect includes must be shipped. The files are listed by
    the product's own source loader (quorvel-effect-files), searching the
    library's root as the installed server searches its folder."""
    shipped = set(files)
    root = os.path.realpath(library)
    problems = []
    for rel in files:
        if not rel.lower().endswith(".fx"):
            continue
        run = subprocess.run([effect_files, "--folder", root, os.path.join(root, *rel.split("/"))],
                             capture_output=True, text=True)
        problems += [line.replace(root + "/", "") for line in run.stderr.splitlines()]
        for path in run.stdout.splitlines():
            inside = os.path.relpath(path, root).replace(os.sep, "/")
            if inside.startswith("../") or inside not in shipped:
                problems.append("%s includes %s, which is not shipped" % (rel, path))
    if problems:
        raise SystemExit("make_wxs: included files not in library/: " + "; ".join(problems))


def stage(args):
    files = library_files(args.library)
    check_index(args.library, files)
    check_includes(args.library, files, args.effect_files)
    if args.retire:
        if args.retire not in files:
            raise SystemExit("make_wxs: --retire names no library file: " + args.retire)
        files.remove(args.retire)
    shutil.rmtree(args.stage, ignore_errors=True)
    os.makedirs(args.stage)
    dll = os.path.basename(args.dll)
    shutil.copy2(args.dll, os.path.join(args.stage, dll))
    for rel in files:
        target = os.path.join(args.stage, *rel.split("/"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy2(os.path.join(args.library, *rel.split("/")), target)
    return [dll] + files


def identifier(prefix, text):
    # MSI identifiers: letters, digits, underscores and dots, at most 72 characters.
    return prefix + hashlib.sha1(text.lower().encode()).hexdigest()[:32].upper()


def formatted(text):
    """Text for a Formatted column: brackets escaped so nothing is taken for a property."""
    return re.sub(r"[\[\]]", lambda m: "[\\" + m.group(0) + "]", text)


def install_path(text, folder):
    """Formatted text with the harvest's product folder replaced by [INSTALLFOLDER]."""
    out = formatted(text)
    pattern = re.compile(re.escape(formatted(folder)), re.IGNORECASE)
    out = pattern.sub("[INSTALLFOLDER]", out)
    if folder.rstrip("\\").lower() in out.lower():
        raise SystemExit("make_wxs: product folder in an unsupported form: " + text)
    return out


TYPES = {"sz": "string", "expand_sz": "expandable", "dword": "integer"}


def registry_elements(registration, indent):
    root = registration["root"]
    if not root.lower().startswith("hkey_local_machine\\"):
        raise SystemExit("make_wxs: registration outside HKLM: " + root)
    base = root[len("HKEY_LOCAL_MACHINE\\"):] + "\\"
    folder = registration["folder"]
    lines = []
    for key, name, kind, data in registration["values"]:
        if kind not in TYPES:
            raise SystemExit("make_wxs: unsupported registry type %s at %s" % (kind, key))
        attrs = 'Root="HKLM" Key=%s' % quoteattr(formatted(base + key))
        if name is not None:
            if name in ("+", "-", "*"):
                raise SystemExit("make_wxs: value name %r is reserved" % name)
            attrs += " Name=%s" % quoteattr(formatted(name))
        value = str(data) if kind == "dword" else install_path(data, folder)
        attrs += ' Type="%s" Value=%s' % (TYPES[kind], quoteattr(value))
        lines.append("%s<RegistryValue %s />" % (indent, attrs))
    # "*": the key is created when absent and removed with everything below it
    # on uninstall, as DllUnregisterServer removes it. Keys without values of
    # their own need it to exist at all.
    with_values = {k.lower() for k, _, _, _ in registration["values"]}
    parents = {k.rpartition("\\")[0].lower() for k in registration["keys"]}
    whole = list(registration["tops"])
    whole += [k for k in registration["keys"]
              if k.lower() not in with_values and k.lower() not in parents and k not in whole]
    for key in whole:
        lines.append('%s<RegistryValue Root="HKLM" Key=%s Name="*" Type="string" Value="" />' %
                     (indent, quoteattr(formatted(base + key))))
    return lines


def component_guid(upgrade_code, rel):
    # Stable per installed path, so every version agrees on its components.
    return str(uuid.uuid5(uuid.UUID(upgrade_code), "component:" + rel.lower())).upper()


def write_wxs(args, files, registration):
    upgrade = args.upgrade_code
    # One version, one product: Windows Installer refuses another build of an
    # installed version, so a build given to users carries a new version.
    product_code = str(uuid.uuid5(uuid.UUID(upgrade), "product:" + args.version)).upper()
    dll = files[0]
    tree = {}
    for rel in files:
        node = tree
        for part in rel.split("/")[:-1]:
            node = node.setdefault(part, {})
        node.setdefault(None, []).append(rel)

    components = []
    out = []

    def emit_folder(node, indent, path):
        for i, rel in enumerate(node.get(None, [])):
            cid = "QuorvelDll" if rel == dll else identifier("C", rel)
            fid = "QuorvelDllFile" if rel == dll else identifier("F", rel)
            components.append(cid)
            source = rel  # wixl finds sources relative to its working folder, the stage
            out.append('%s<Component Id="%s" Guid="%s" Win64="yes">' %
                       (indent, cid, component_guid(upgrade, rel)))
            out.append('%s  <File Id="%s" Name=%s Source=%s KeyPath="yes" />' %
                       (indent, fid, quoteattr(rel.split("/")[-1]), quoteattr(source)))
            if i == 0:
                # Every folder the package creates goes again on uninstall.
                out.append('%s  <RemoveFolder Id="%s" On="uninstall" />' %
                           (indent, identifier("R", path or ".")))
            if rel == dll:
                out.extend(registry_elements(registration, indent + "  "))
            out.append("%s</Component>" % indent)
        for name in sorted(k for k in node if k is not None):
            sub = path + "/" + name if path else name
            out.append('%s<Directory Id="%s" Name=%s>' %
                       (indent, identifier("D", sub), quoteattr(name)))
            emit_folder(node[name], indent + "  ", sub)
            out.append("%s</Directory>" % indent)

    emit_folder(tree, " " * 12, "")
    components.append("MakerFolder")
    refs = ["      <ComponentRef Id=\"%s\" />" % c for c in components]
    text = """<?xml version="1.0" encoding="utf-8"?>
<!-- Generated by installer/make_wxs.py at build time; do not edit. -->
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="{product}" Name="{name}" Language="1033" Version="{version}"
           Manufacturer="{maker}" UpgradeCode="{upgrade}">
    <Package InstallerVersion="500" Compressed="yes" InstallScope="perMachine"
             Description="{name} {version}" Manufacturer="{maker}"
             Comments="Pixel-shader transitions and effects for video-editing hosts." />
    <MajorUpgrade DowngradeErrorMessage="A newer version of [ProductName] is already installed." />
    <Media Id="1" Cabinet="quorvel.cab" EmbedCab="yes" />
    <Property Id="ARPNOMODIFY" Value="1" />
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramFiles64Folder">
        <Directory Id="MAKERFOLDER" Name="{maker}">
          <Component Id="MakerFolder" Guid="{maker_guid}" Win64="yes">
            <RemoveFolder Id="RemoveMakerFolder" On="uninstall" />
          </Component>
          <Directory Id="INSTALLFOLDER" Name="{name}">
{components}
          </Directory>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Complete" Title="{name}" Level="1">
{refs}
    </Feature>
  </Product>
</Wix>
""".format(product=product_code, name=args.product, version=args.version, maker=args.maker,
           upgrade=upgrade.upper(), components="\n".join(out), refs="\n".join(refs),
           maker_guid=component_guid(upgrade, "folder:" + args.maker))
    tmp = args.out + ".tmp"
    with open(tmp, "w") as f:
        f.write(text)
    os.replace(tmp, args.out)


def main():
    parser = argparse.ArgumentParser()
    for name in ("--dll", "--library", "--registration", "--version", "--maker", "--product",
                 "--upgrade-code", "--stage", "--out", "--effect-files"):
        parser.add_argument(name, required=True)
    parser.add_argument("--retire")
    args = parser.parse_args()
    if not re.fullmatch(r"\d+\.\d+\.\d+", args.version):
        raise SystemExit("make_wxs: version must be MAJOR.MINOR.PATCH: " + args.version)
    with open(args.registration) as f:
        registration = json.load(f)
    files = stage(args)
    write_wxs(args, files, registration)


if __name__ == "__main__":
    sys.exit(main())
