#!/usr/bin/env python3
"""Writes res/zevart.ico, the viewer's application icon: a small walking
figure in a gold picture frame, at 32x32 and 16x16 pixels in the 16 standard
colours. Deterministic: the same bytes on every run.

    make_icon.py            writes the icon next to this script
    make_icon.py --check    exits 1 if the stored icon differs from what this writes
"""
import os
import struct
import sys

# The 16 standard colours as (red, green, blue), with the letters that name
# them in the pictures below.
COLOURS = [
    ("K", (0, 0, 0)), ("M", (128, 0, 0)), ("g", (0, 128, 0)), ("O", (128, 128, 0)),
    ("N", (0, 0, 128)), ("P", (128, 0, 128)), ("T", (0, 128, 128)), ("S", (192, 192, 192)),
    ("G", (128, 128, 128)), ("R", (255, 0, 0)), ("L", (0, 255, 0)), ("Y", (255, 255, 0)),
    ("B", (0, 0, 255)), ("F", (255, 0, 255)), ("A", (0, 255, 255)), ("W", (255, 255, 255)),
]
INDEX = {letter: i for i, (letter, _) in enumerate(COLOURS)}

FIGURE_BIG = [
    "...KKKKKK...",
    "..KWWWWWWK..",
    "..KWKWWKWK..",
    "..KWWWWWWK..",
    "...KKKKKK...",
    "..KRRRRRRK..",
    ".KRRRRRRRRK.",
    "KRKRRRRRRKRK",
    "KRKRRRRRRKRK",
    "KWKRRRRRRKWK",
    ".K.KNNNNK.K.",
    "...KNKKNK...",
    "...KNKKNK...",
    "..KKNK.KNK..",
    "..KKK..KKK..",
]

FIGURE_SMALL = [
    ".KKKK.",
    "KWKKWK",
    ".KKKK.",
    "KRRRRK",
    "WRRRRW",
    ".NKKN.",
    ".N..N.",
]


def picture(size, figure):
    """Rows of colour letters, top row first: frame, sky, ground, figure."""
    frame = 1 if size == 16 else 2
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            edge = min(x, y, size - 1 - x, size - 1 - y)
            if edge == 0:
                c = "K"
            elif edge <= frame:
                # Light from the top left: upper and left bevel bright.
                c = "Y" if (x < size - 1 - y) else "O"
            elif edge == frame + 1:
                c = "K"
            elif y >= size * 3 // 4:
                c = "g"
            else:
                c = "T"
            row.append(c)
        rows.append(row)
    fw, fh = len(figure[0]), len(figure)
    left = (size - fw) // 2
    top = size * 3 // 4 - fh + (1 if size == 32 else 0)
    for fy, line in enumerate(figure):
        for fx, c in enumerate(line):
            if c != ".":
                rows[top + fy][left + fx] = c
    return rows


def icon_image(rows):
    """One icon image: header, colour table, 4-bit colour bits and the 1-bit
    mask (all opaque), both bottom row first, rows padded to 4 bytes."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for _, (r, g, b) in COLOURS)
    xor = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for x in range(0, size, 2):
            line.append(INDEX[row[x]] << 4 | INDEX[row[x + 1]])
        line += b"\0" * (-len(line) % 4)
        xor += line
    mask_row = (size + 31) // 32 * 4
    mask = b"\0" * (mask_row * size)
    return header + table + bytes(xor) + mask


def icon_file():
    images = [icon_image(picture(32, FIGURE_BIG)), icon_image(picture(16, FIGURE_SMALL))]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "res", "zevart.ico")
    data = icon_file()
    if sys.argv[1:] == ["--check"]:
        with open(path, "rb") as f:
            if f.read() != data:
                print(f"{path} differs from what make_icon.py writes", file=sys.stderr)
                return 1
        return 0
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    print(path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
