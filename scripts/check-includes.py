#!/usr/bin/env python3
"""Fails when the folders include each other in a circle, or when the window-free layer
(platform/ and core/, and the command line in cli/ on top of them) includes anything of the
window layer.

A folder's includes are the "folder/..." includes of its .h and .cpp files; tests and
benchmarks sit on top of everything and are not part of the graph."""
import pathlib
import re
import sys

from source_files import source_files

ROOT = pathlib.Path(__file__).resolve().parent.parent
WINDOW_FREE = {"platform", "core", "cli"}
INCLUDE = re.compile(r'^#include "([^"]+)/[^/"]+"', re.M)

files = source_files((".h", ".cpp"))
graph = {}
problems = []
for name in files:
    folder = str(pathlib.PurePath(name).parent)
    if folder.split("/")[0] in {"tests", "bench", "cddafs"}:
        continue
    for target in INCLUDE.findall((ROOT / name).read_text(encoding="utf-8")):
        if target == folder:
            continue
        graph.setdefault(folder, set()).add(target)
        if folder in WINDOW_FREE and target not in WINDOW_FREE:
            problems.append(f"{name} includes from {target}/, a window folder")

# Depth-first search for a back edge: each one is a circle.
state = {}


def visit(folder, path):
    state[folder] = "open"
    for target in sorted(graph.get(folder, ())):
        if state.get(target) == "open":
            circle = path[path.index(target):] + [target]
            problems.append("include circle: " + " -> ".join(circle))
        elif target not in state:
            visit(target, path + [target])
    state[folder] = "done"


for folder in sorted(graph):
    if folder not in state:
        visit(folder, [folder])

for problem in problems:
    print(problem, file=sys.stderr)
if problems:
    sys.exit(1)
print(f"include check: {len(graph)} folders, no circles, window-free layer clean")
