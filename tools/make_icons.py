#!/usr/bin/env python3
"""Draws the installer's icons (32x32, 32 bits per pixel) into .ico files.

usage: make_icons.py OUTDIR
Writes setup.ico (the window class icon), folder.ico, up.ico and new_folder.ico (the browser
lists), and quillary.ico (the product's programs). The pictures are simple shapes so the files
can be made at build time, not committed.
"""
import os
import struct
import sys

SIZE = 32


def folder(x, y):
    if 6 <= y <= 9 and 3 <= x <= 13:
        return (230, 180, 40)
    if 9 <= y <= 26 and 3 <= x <= 28:
        return (250, 205, 70) if y > 11 else (230, 180, 40)
    return None


def up_arrow(x, y):
    found = folder(x, y)
    if found is None:
        return None
    if 13 <= y <= 24 and abs(x - 16) <= max(0, y - 13) and y <= 18:
        return (20, 90, 20)
    if 18 <= y <= 24 and 14 <= x <= 18:
        return (20, 90, 20)
    return found


def new_folder(x, y):
    found = folder(x, y)
    if 0 <= y <= 8 and 22 <= x <= 30 and (x == 26 or y == 4 or abs(x - 26) == abs(y - 4)):
        return (255, 240, 0)
    return found


def setup_icon(x, y):
    if 2 <= x <= 29 and 2 <= y <= 29:
        if 5 <= x <= 26 and 5 <= y <= 26:
            if abs(x - y) <= 1 and 8 <= x <= 23:
                return (230, 30, 30)
            return (0, 0, 136)
        return (60, 140, 255)
    return None


def quillary_icon(x, y):
    """The product's icon: a red quill across a white sheet with blue lines."""
    on_quill = abs((x + y) - 33) <= 2 and 6 <= x <= 27
    if on_quill and x + 1 >= y - 8:
        return (200, 30, 30) if (x + y) % 4 else (150, 10, 10)
    if 4 <= x <= 24 and 3 <= y <= 28:
        if x in (4, 24) or y in (3, 28):
            return (60, 60, 60)
        return (40, 90, 220) if y % 5 == 0 and 7 <= x <= 21 else (255, 255, 255)
    if on_quill:
        return (200, 30, 30)
    return None


def ico_bytes(pixel):
    rows = []
    mask_rows = []
    for y in range(SIZE - 1, -1, -1):  # bottom-up, as in a DIB
        row = b""
        mask = 0
        for x in range(SIZE):
            colour = pixel(x, y)
            if colour is None:
                row += b"\0\0\0\0"
                mask |= 1 << (SIZE - 1 - x)
            else:
                r, g, b = colour
                row += bytes((b, g, r, 255))
        rows.append(row)
        mask_rows.append(struct.pack(">I", mask))
    image = b"".join(rows) + b"".join(mask_rows)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(image), 0, 0, 0, 0)
    body = header + image
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(body), 6 + 16)
    return directory + entry + body


def main():
    outdir = sys.argv[1]
    os.makedirs(outdir, exist_ok=True)
    for name, pixel in (("setup", setup_icon), ("folder", folder), ("up", up_arrow),
                        ("new_folder", new_folder), ("quillary", quillary_icon)):
        with open(os.path.join(outdir, name + ".ico"), "wb") as f:
            f.write(ico_bytes(pixel))


if __name__ == "__main__":
    main()
