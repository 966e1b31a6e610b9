#!/usr/bin/env python3
"""Fails when two source files of the project use each other, directly or round a circle.

usage: scripts/check-cycles.py [build-dir]

A.cpp uses B.cpp when A's object file needs a symbol B's defines (nm): which header's
functions are implemented in which source, as the linker sees it. Constants and enums a
header defines are no use. Tests and benchmarks are left out.
"""
import glob
import os
import subprocess
import sys
from collections import defaultdict

build = sys.argv[1] if len(sys.argv) > 1 else "build"
objects = [o for o in glob.glob(os.path.join(build, "**", "CMakeFiles", "qtor_*.dir", "**", "*.o"),
                                recursive=True) if "autogen" not in o]


def symbols(obj, defined):
    flag = ["--defined-only"] if defined else ["--undefined-only"]
    out = subprocess.run(["nm", "-C", *flag, obj], capture_output=True, text=True).stdout
    names = set()
    for line in out.splitlines():
        parts = line.split(None, 2)
        if defined and len(parts) == 3 and parts[1] in "TtDdBbRrVvWu":
            names.add(parts[2])
        elif not defined and len(parts) == 2 and parts[0] == "U":
            names.add(parts[1])
    return names


def source(obj):
    rel = os.path.relpath(obj, build)
    folder = rel.split(os.sep + "CMakeFiles" + os.sep)[0]
    return os.path.join(folder, os.path.basename(obj)[: -len(".o")])


defines = {}
needs = {}
for obj in objects:
    name = source(obj)
    defines[name] = symbols(obj, True)
    needs[name] = symbols(obj, False)
owner = {}
for name, syms in defines.items():
    for s in syms:
        owner.setdefault(s, name)
uses = defaultdict(set)
for name, syms in needs.items():
    for s in syms:
        if s in owner and owner[s] != name:
            uses[name].add(owner[s])

index, low, stack, on, cycles = {}, {}, [], set(), []


def visit(v):
    index[v] = low[v] = len(index)
    stack.append(v)
    on.add(v)
    for w in uses[v]:
        if w not in index:
            visit(w)
            low[v] = min(low[v], low[w])
        elif w in on:
            low[v] = min(low[v], index[w])
    if low[v] == index[v]:
        component = []
        while True:
            w = stack.pop()
            on.discard(w)
            component.append(w)
            if w == v:
                break
        if len(component) > 1:
            cycles.append(sorted(component))


sys.setrecursionlimit(10000)
for v in sorted(needs):
    if v not in index:
        visit(v)
if not objects:
    print(f"check-cycles: no object files under {build}")
    sys.exit(1)
for c in cycles:
    print("files that use each other: " + " <-> ".join(c))
print(f"check-cycles: {len(objects)} files, {len(cycles)} circles")
sys.exit(1 if cycles else 0)
