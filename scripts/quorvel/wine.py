"""The Wine environment the scripts and tools run in. The shell that starts
Wine (scripts/wine-env.sh) asks here too:
    python3 scripts/quorvel/wine.py overrides [--stand-in]"""
import os
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


def environment(stand_in=True, base=None):
    """A copy of `base` (default os.environ) with the overrides set."""
    env = dict(os.environ if base is None else base)
    env["WINEDLLOVERRIDES"] = overrides(stand_in)
    return env


def wine64():
    """The caller's Wine (scripts/wine-env.sh exports WINE64)."""
    wine = os.environ.get("WINE64")
    if not wine:
        raise SystemExit("WINE64 is not set: start Wine with scripts/wine-env.sh first")
    return wine


if __name__ == "__main__":
    if len(sys.argv) >= 2 and sys.argv[1] == "overrides":
        print(overrides("--stand-in" in sys.argv[2:]))
    else:
        sys.exit("usage: wine.py overrides [--stand-in]")
