#!/usr/bin/env python3
"""Fails when a source file includes a header of a folder its folder may not use.

The rule is the `layers` block of docs/DESIGN.md: one line per unit, "unit: units it may use".
A unit is a top folder (app, log, ...), or a folder of platform/ or tools/ and app/scenario,
which are units of their own; a unit may also be allowed one header of another unit alone, by its
path. Tests (*_test.cpp) and the folders testing/, fuzz/, bench/ and tests/ may use anything:
they stand above everything they test.
"""
import pathlib
import re
import subprocess
import sys

root = pathlib.Path(__file__).resolve().parent.parent
design = (root / "docs" / "DESIGN.md").read_text(encoding="utf-8")
block = re.search(r"```layers\n(.*?)```", design, re.S)
if not block:
    sys.exit("check-layers: docs/DESIGN.md has no layers block")
allowed = {}
for line in block.group(1).splitlines():
    line = line.split("#", 1)[0].strip()
    if not line:
        continue
    unit, _, uses = line.partition(":")
    allowed[unit.strip()] = set(uses.split())


def unit_of(path: str) -> str:
    parts = path.split("/")
    if parts[0] in ("platform", "tools") and len(parts) > 2:
        return "/".join(parts[:2])
    if parts[:2] == ["app", "scenario"]:
        return "app/scenario"
    return parts[0]


def exempt(path: str) -> bool:
    return path.split("/")[0] in ("testing", "fuzz", "bench", "tests") or path.endswith("_test.cpp")


files = subprocess.check_output(["git", "ls-files", "*.cpp", "*.h"], cwd=root, text=True).split()
faults = []
for path in files:
    if exempt(path):
        continue
    unit = unit_of(path)
    if unit not in allowed:
        faults.append(f"{path}: its folder {unit} is not in the layers block of docs/DESIGN.md")
        continue
    text = (root / path).read_text(encoding="utf-8", errors="replace")
    for number, line in enumerate(text.splitlines(), 1):
        m = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
        if not m:
            continue
        used = unit_of(m.group(1))
        if used != unit and used not in allowed[unit] and m.group(1) not in allowed[unit]:
            faults.append(f"{path}:{number}: {unit} may not use {used} ({m.group(1)})")
if faults:
    print("Includes against the layer rule of docs/DESIGN.md:")
    print("\n".join("  " + f for f in faults))
    sys.exit(1)
print(f"layers: {len(files)} files, every include follows the rule of docs/DESIGN.md")
