#!/usr/bin/env python3
"""Fails when an include runs against the layer table of docs/ARCHITECTURE.md.

Reads the table's rows "| `folder` | `a` `b` ... | ... |", then every `#include "folder/..."` line of the
sources of each folder, and prints each include that names a folder its row does not list, as
file:line with the rule it breaks.
"""
import os
import re
import sys

root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
doc = os.path.join(root, "docs", "ARCHITECTURE.md")

row = re.compile(r"^\|\s*`([a-z0-9_]+)`\s*\|([^|]*)\|")
rules = {}
in_layers = False
with open(doc, encoding="utf-8") as f:
    for line in f:
        if line.startswith("## "):
            in_layers = line.strip() == "## Layers"
            continue
        m = row.match(line) if in_layers else None
        if m:
            rules[m.group(1)] = set(re.findall(r"`([a-z0-9_]+)`", m.group(2)))
if not rules:
    print(f"{doc}: no layer table found")
    sys.exit(1)

include = re.compile(r'^\s*#\s*include\s+"([a-z0-9_]+)/')
problems = []
for folder in sorted(rules):
    path = os.path.join(root, folder)
    if not os.path.isdir(path):
        continue
    for dirpath, _, files in os.walk(path):
        for name in sorted(files):
            if not name.endswith((".cpp", ".h")):
                continue
            file = os.path.join(dirpath, name)
            rel = os.path.relpath(file, root)
            with open(file, encoding="utf-8", errors="replace") as src:
                for number, text in enumerate(src, 1):
                    m = include.match(text)
                    if not m or m.group(1) == folder:
                        continue
                    target = m.group(1)
                    if target not in rules:
                        problems.append(f"{rel}:{number}: includes {target}/, a folder the layer table does not name")
                    elif target not in rules[folder]:
                        allowed = " ".join(sorted(rules[folder])) or "nothing outside itself"
                        problems.append(f"{rel}:{number}: {folder}/ includes {target}/, but {folder}/ may include only: {allowed}")

for p in problems:
    print(p)
if problems:
    print(f"{len(problems)} include(s) break the layer table of docs/ARCHITECTURE.md")
    sys.exit(1)
print(f"every include of {len(rules)} folders keeps the layer table")
