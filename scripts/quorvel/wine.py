"""The Wine environment the scripts and tools run in. The shell that starts
Wine (scripts/wine-env.sh) asks here too:
    python3 scripts/quorvel/wine.py overrides [--stand-in]"""
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


if __name__ == "__main__":
    if len(sys.argv) >= 2 and sys.argv[1] == "overrides":
        print(overrides("--stand-in" in sys.argv[2:]))
    else:
        sys.exit("usage: wine.py overrides [--stand-in]")
