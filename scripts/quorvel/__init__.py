"""What the scripts share: the library's index, the Wine environment, ffmpeg
and the render tool's report. Every script imports from here; none reads
these for itself."""
import os

SCRIPTS = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ROOT = os.path.dirname(SCRIPTS)
LIBRARY = os.path.join(ROOT, "library")
