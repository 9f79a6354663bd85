#!/usr/bin/env python3
"""Line and branch coverage of src/ per folder, from a coverage build's counters.

    coverage-report.py BUILD_DIR

Runs gcovr over BUILD_DIR and prints one row per folder of src/, then the whole of src/
without src/cli/demo (the demo's drawing code is exercised by hand, not by the suite).
Branches that only exist for exceptions or that gcc proves unreachable are left out.
"""
import json
import os
import subprocess
import sys

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "build/coverage"))
summary = subprocess.run(
    ["gcovr", "--root", root, "--object-directory", build, "--filter", os.path.join(root, "src/"),
     "--exclude-throw-branches", "--exclude-unreachable-branches", "--gcov-ignore-parse-errors",
     "--json-summary", "-", build],
    check=True, capture_output=True, text=True).stdout
files = json.loads(summary)["files"]

totals = {}
for f in files:
    name = f["filename"]
    folder = os.path.dirname(name)
    for key in (folder, "src/ without src/cli/demo"):
        if key != folder and name.startswith("src/cli/demo/"):
            continue
        t = totals.setdefault(key, [0, 0, 0, 0])
        t[0] += f["line_covered"]
        t[1] += f["line_total"]
        t[2] += f["branch_covered"]
        t[3] += f["branch_total"]


def pct(covered, total):
    return f"{100.0 * covered / total:5.1f} %" if total else "    - "


print(f"{'folder':28} {'lines':>18} {'branches':>18}")
for key in sorted(totals, key=lambda k: (k.startswith("src/ without"), k)):
    lc, lt, bc, bt = totals[key]
    print(f"{key:28} {pct(lc, lt)} {lc:5}/{lt:<5} {pct(bc, bt)} {bc:5}/{bt:<5}")
