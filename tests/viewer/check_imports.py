#!/usr/bin/env python3
"""Checks how zevart_viewer.exe binds to zevart.dll, from the two files'
import and export tables (objdump -p), against the viewer's entries of the
export list (the table made from artlib/exports.txt for this architecture):

- end_drawGroupAll, LoadArtFromFile, CloseArt, redraw_groupWindow,
  DIBitsToFile and DIBitsToFile8 are imported by ordinal (7, 8, 9, 11, 18, 19),
  never by name;
- the handle's constructor and destructor and the drawing members by name;
- nothing else comes from zevart.dll;
- the DLL exports each of them: the ordinal ones at exactly that ordinal.

usage: check_imports.py OBJDUMP VIEWER_TABLE VIEWER_EXE ZEVART_DLL
"""
import re
import subprocess
import sys

def viewer_table(path):
    """({ordinal: name} bound by ordinal, [names] bound by name) from the
    table made from artlib/exports.txt."""
    by_ordinal, by_name = {}, []
    with open(path) as f:
        for line in f:
            ordinal, name, binding = line.split()
            if binding == "by-ordinal":
                by_ordinal[int(ordinal)] = name
            else:
                by_name.append(name)
    return by_ordinal, by_name


def objdump(tool, path):
    return subprocess.run([tool, "-p", path], check=True, capture_output=True, text=True).stdout


def imports_from_zevart(text):
    """(ordinals, names) imported from zevart.dll."""
    ordinals, names = [], []
    inside = False
    for line in text.splitlines():
        if line.strip().startswith("DLL Name:"):
            inside = line.split(":", 1)[1].strip().lower() == "zevart.dll"
            continue
        if not inside:
            continue
        m = re.match(r"\s+([0-9a-fA-F]+)\s+([0-9a-fA-F]+)\s+(\S+)\s*$", line)
        if not m:
            continue
        value, number, name = m.groups()
        # An ordinal import has the top bit of its entry set (bit 31 in a
        # 32-bit image, bit 63 in a 64-bit one) and the ordinal in the low 16
        # bits; objdump's second column is not decimal in both.
        entry = int(value, 16)
        if entry >> 63 or (entry < 1 << 32 and entry & 0x80000000):
            ordinals.append(entry & 0xFFFF)
        else:
            names.append(name)
    return ordinals, names


def exports(text):
    """{ordinal: name} of a DLL."""
    base = None
    table = {}
    inside = False
    for line in text.splitlines():
        m = re.match(r"Ordinal Base\s+(\d+)", line.strip())
        if m:
            base = int(m.group(1))
        if line.startswith("[Ordinal/Name Pointer] Table"):
            inside = True
            continue
        if inside:
            m = re.match(r"\s+\[\s*(\d+)\]\s+(\S+)", line)
            if not m:
                if line.strip() == "":
                    inside = False
                continue
            table[base + int(m.group(1))] = m.group(2)
    return table


def main():
    tool, table, exe, dll = sys.argv[1:]
    by_ordinal, by_name = viewer_table(table)
    ordinals, names = imports_from_zevart(objdump(tool, exe))
    exported = exports(objdump(tool, dll))
    errors = []
    if sorted(by_ordinal) != [7, 8, 9, 11, 18, 19]:
        errors.append(f"the export list binds ordinals {sorted(by_ordinal)}, not 7, 8, 9, 11, 18, 19")

    for n in ordinals:
        if n not in by_ordinal:
            errors.append(f"imports ordinal {n}, which it has no business with")
    for name in names:
        if name in by_ordinal.values():
            errors.append(f"imports {name} by name; it must be bound by ordinal")
        elif name not in by_name:
            errors.append(f"imports {name}, which it has no business with")
    for n, name in by_ordinal.items():
        if n not in ordinals:
            errors.append(f"does not import {name} by ordinal {n}")
        if exported.get(n) != name:
            errors.append(f"zevart.dll exports {exported.get(n, 'nothing')} at ordinal {n}, not {name}")
    for name in by_name:
        if name not in names:
            errors.append(f"does not import {name} by name")
        if name not in exported.values():
            errors.append(f"zevart.dll does not export {name}")
    if not ordinals and not names:
        errors.append("imports nothing from zevart.dll")

    for e in errors:
        print(f"zevart_viewer.exe: {e}", file=sys.stderr)
    if not errors:
        print(f"{len(ordinals)} imports by ordinal, {len(names)} by name, all exported")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
