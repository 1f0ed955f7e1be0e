"""The Wine environment the scripts and tools run in. The shell that starts
Wine (scripts/wine-env.sh) asks here too:
    python3 scripts/quorvel/wine.py overrides [--stand-in]"""
import os
import subprocess
import sys

# No Mono or Gecko prompts; nothing here needs them.
BASE_OVERRIDES = "mscoree,mshtml="
# Wine's own d3dx9_30 cannot compile effect text; the stand-in beside the
# binaries can.
STAND_IN_OVERRIDE = "d3dx9_30=n"


def overrides(stand_in=True):
    """WINEDLLOVERRIDES for our programs; `stand_in` selects the stand-in
    effect framework."""
    return BASE_OVERRIDES + (";" + STAND_IN_OVERRIDE if stand_in else "")


class DesktopKeeper:
    """A Wine program left open while the entries render. Without one, Wine
    closes its desktop after each tool run and the next run often waits
    about ten seconds for a new one."""

    def __init__(self):
        self.process = None

    def __enter__(self):
        wine = os.environ.get("WINE64")
        if wine and os.environ.get("QUORVEL_WINE_STARTED"):
            self.process = subprocess.Popen([wine, "notepad"], stdin=subprocess.DEVNULL,
                                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return self

    def __exit__(self, *_):
        if self.process:
            self.process.terminate()
            self.process.wait()


if __name__ == "__main__":
    if len(sys.argv) >= 2 and sys.argv[1] == "overrides":
        print(overrides("--stand-in" in sys.argv[2:]))
    else:
        sys.exit("usage: wine.py overrides [--stand-in]")
