"""A fresh 64-bit Wine prefix with a wineserver of its own, removed again on exit."""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
sys.dont_write_bytecode = True  # nothing written into the source tree
from quorvel import wine as wine_env  # noqa: E402


def find_wineserver(wine):
    folder = os.path.dirname(os.path.realpath(wine))
    for name in ("wineserver64", "wineserver"):
        path = os.path.join(folder, name)
        if os.access(path, os.X_OK):
            return path
    found = shutil.which("wineserver")
    if not found:
        raise RuntimeError("wineserver not found next to " + wine)
    return found


class FreshPrefix:
    """`display` None boots without a display (enough for registry and
    installer work); otherwise Wine binds the prefix's desktop to it."""

    def __init__(self, wine, path, display=None):
        self.wine = wine
        self.server = find_wineserver(wine)
        self.path = os.path.abspath(path)
        self.env = {k: v for k, v in os.environ.items()
                    if not k.startswith("WINE") and k != "DISPLAY"}
        self.env.update(WINEPREFIX=self.path, WINEARCH="win64", WINEDEBUG="-all",
                        WINEDLLOVERRIDES=wine_env.overrides(stand_in=False))
        if display:
            self.env["DISPLAY"] = display
        self.started = False

    def __enter__(self):
        shutil.rmtree(self.path, ignore_errors=True)
        os.makedirs(self.path)
        # The server first, so wineboot and every later process share it; it
        # outlives its last process by a minute, never longer, should the
        # caller die before close().
        subprocess.run([self.server, "-p60"], env=self.env, check=True)
        self.started = True
        try:
            self.run(["wineboot", "-i"], check=True)
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def close(self):
        if self.started:
            subprocess.run([self.server, "-k"], env=self.env, stderr=subprocess.DEVNULL)
            subprocess.run([self.server, "-w"], env=self.env, stderr=subprocess.DEVNULL)
            self.started = False
        shutil.rmtree(self.path, ignore_errors=True)

    def run(self, args, env=None, check=False, timeout=120):
        """Runs a Wine program; returns (exit code, its output). The output goes
        through a file: processes that Wine starts on the way (services,
        explorer) inherit the handles and outlive the program."""
        merged = dict(self.env)
        merged.update(env or {})
        with tempfile.TemporaryFile() as out:
            code = subprocess.run([self.wine] + args, env=merged, stdin=subprocess.DEVNULL,
                                  stdout=out, stderr=subprocess.STDOUT, timeout=timeout).returncode
            out.seek(0)
            text = out.read().decode("utf-8", "replace")
        if check and code != 0:
            raise RuntimeError("%s failed (%d):\n%s" % (" ".join(args), code, text))
        return code, text

    def drive_c(self, windows_path):
        """The Linux path of a C:\\ path in this prefix."""
        assert windows_path[:3].upper() == "C:\\"
        return os.path.join(self.path, "drive_c", *windows_path[3:].split("\\"))
