#!/usr/bin/env python3
"""Checks how zevart_viewer.exe binds to zevart.dll, from the two files'
import and export tables (objdump -p):

- end_drawGroupAll, LoadArtFromFile, CloseArt, redraw_groupWindow,
  DIBitsToFile and DIBitsToFile8 are imported by ordinal (7, 8, 9, 11, 18, 19),
  never by name;
- the handle's constructor and destructor and the drawing members by name;
- nothing else comes from zevart.dll;
- the DLL exports each of them: the ordinal ones at exactly that ordinal.

usage: check_imports.py OBJDUMP VIEWER_EXE ZEVART_DLL [--pending NAME]...
A pending name is one the viewer does not call yet; it may be missing.
"""
import re
import subprocess
import sys

BY_ORDINAL = {
    7: "end_drawGroupAll",
    8: "LoadArtFromFile",
    9: "CloseArt",
    11: "redraw_groupWindow",
    18: "DIBitsToFile",
    19: "DIBitsToFile8",
}
BY_NAME = [
    "_ZN10art_handleC1Ev",
    "_ZN10art_handleD1Ev",
    "_ZN9mem_image4drawEP10tagRGBQUADP13tagBITMAPINFOii",
    "_ZN7mem_pic4drawEP10tagRGBQUADP13tagBITMAPINFOii",
    "_ZN9mem_frame4drawEP10tagRGBQUADP13tagBITMAPINFOii",
    "_ZN9mem_group10start_drawEP6HWND__iiPU5cdeclFvS1_PP10tagRGBQUADP13tagBITMAPINFOES8_",
    "_ZN9mem_image11getDrawRectEP7tagRECT",
    "_ZN7mem_pic11getDrawRectEP7tagRECT",
    "_ZN9mem_frame11getDrawRectEP7tagRECT",
    "_ZN9mem_group11getDrawRectEP7tagRECT",
]


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
        m = re.match(r"\s+([0-9a-fA-F]+)\s+(\d+)\s+(\S+)\s*$", line)
        if not m:
            continue
        value, number, name = m.groups()
        if int(value, 16) & 0x80000000:
            ordinals.append(int(number))
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
    args = sys.argv[1:]
    pending = set()
    while "--pending" in args:
        i = args.index("--pending")
        pending.add(args[i + 1])
        del args[i : i + 2]
    tool, exe, dll = args
    ordinals, names = imports_from_zevart(objdump(tool, exe))
    exported = exports(objdump(tool, dll))
    errors = []

    for n in ordinals:
        if n not in BY_ORDINAL:
            errors.append(f"imports ordinal {n}, which it has no business with")
    for name in names:
        if name in BY_ORDINAL.values():
            errors.append(f"imports {name} by name; it must be bound by ordinal")
        elif name not in BY_NAME:
            errors.append(f"imports {name}, which it has no business with")
    for n, name in BY_ORDINAL.items():
        if n not in ordinals and name not in pending:
            errors.append(f"does not import {name} by ordinal {n}")
        if exported.get(n) != name and (n in ordinals or name not in pending):
            errors.append(f"zevart.dll exports {exported.get(n, 'nothing')} at ordinal {n}, not {name}")
    for name in BY_NAME:
        if name not in names and name not in pending:
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
