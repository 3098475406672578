#!/usr/bin/env python3
"""Prints how the folders under src/ include each other, and fails when an include points up a layer.

    tools/include-graph/include_graph.py [SRC]

The layers, from the ground up, are listed in LAYERS; folders on one line are siblings and may not include each
other. Each folder's line names the folders it includes with the number of include lines; then the count of
includes that point up (or sideways between siblings) and of cycles between folders. Exit status 1 when either is
not zero, 2 when a folder under SRC is on no layer.
"""
import os
import re
import sys

LAYERS = [
    ["util"],
    ["i18n"],
    ["settings"],
    ["tray", "notify", "polling"],
    ["settings/dialogs"],
    ["app"],
]
LEVEL = {folder: level for level, folders in enumerate(LAYERS) for folder in folders}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def folder_of(path):
    return os.path.dirname(path).replace(os.sep, "/")


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..", "src")
    edges = {}
    upward = []
    for root, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith((".h", ".cpp", ".inc", ".rc")):
                continue
            path = os.path.join(root, name)
            here = folder_of(os.path.relpath(path, src))
            if here not in LEVEL:
                print(f"{here}: on no layer (add it to LAYERS)")
                return 2
            with open(path, encoding="utf-8", errors="replace") as text:
                includes = INCLUDE.findall(text.read())
            for included in includes:
                there = folder_of(included) or here
                if there == here or there not in LEVEL:
                    continue
                edges.setdefault(here, {}).setdefault(there, 0)
                edges[here][there] += 1
                if LEVEL[there] >= LEVEL[here]:
                    upward.append(f"{os.path.relpath(path, src)} -> {included}")

    for level in reversed(LAYERS):
        for folder in level:
            targets = edges.get(folder, {})
            listed = ", ".join(f"{t} ({n})" for t, n in sorted(targets.items(), key=lambda e: (-LEVEL[e[0]], e[0])))
            print(f"{folder:18} -> {listed or '(nothing)'}")

    cycles = sorted({tuple(sorted((a, b))) for a in edges for b in edges[a] if a in edges.get(b, {})})
    print(f"includes pointing up or sideways: {len(upward)}")
    for line in upward:
        print(f"  {line}")
    print(f"cycles between folders: {len(cycles)}")
    for a, b in cycles:
        print(f"  {a} <-> {b}")
    return 1 if upward or cycles else 0


if __name__ == "__main__":
    sys.exit(main())
