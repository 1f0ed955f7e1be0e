"""The render tool through its Linux wrapper, read by its --report."""
import json
import os
import subprocess
import tempfile

from . import SCRIPTS

WRAPPER = os.path.join(SCRIPTS, "quorvel-render")


def read_report(path):
    """The tool's JSON report, or None when it wrote none."""
    try:
        with open(path, encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError):
        return None


def run(args, report=None, **kwargs):
    """Runs the wrapper with `args` and --report; returns (CompletedProcess,
    report dict or None). `report` names the file, else a temporary one."""
    with tempfile.TemporaryDirectory() as scratch:
        path = report or os.path.join(scratch, "report.json")
        kwargs.setdefault("stdin", subprocess.DEVNULL)
        process = subprocess.run([WRAPPER] + list(args) + ["--report", path], **kwargs)
        return process, read_report(path)


def check_text(report):
    """The check's verdict lines from a report, as the tool prints them."""
    if not report:
        return ""
    lines = ["check " + report.get("effect", "")]
    if report.get("kind"):
        lines.append("  kind: %s, technique %s" % (report["kind"], report.get("technique", "")))
    if report.get("semantics"):
        lines.append("  semantics declared:")
        lines += ["    %(type)s %(name)s : %(semantic)s  -- %(delivery)s" % s
                  for s in report["semantics"]]
    lines += [("  ok    " if r["ok"] else "  FAIL  ") + r["text"] for r in report.get("rules", [])]
    lines += ["  warning: " + w for w in report.get("warnings", [])]
    lines += ["  error: " + e for e in report.get("errors", [])]
    if report.get("verdict"):
        lines.append("check " + report["verdict"])
    return "\n".join(lines)
