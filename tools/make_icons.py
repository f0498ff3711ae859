#!/usr/bin/env python3
"""Draws the installer's and the product's icons into .ico files: the window class icon and
and the three browser list icons (16x16, 16 colours, with a transparency mask).

usage: make_icons.py OUTDIR
Writes setup.ico (the window class icon), folder.ico, up.ico and new_folder.ico (the browser
lists), and quillary.ico (the product's programs). The pictures are simple shapes so the files
can be made at build time, not committed.
"""
import os
import struct
import sys

SIZE = 32


# The browser list icons: 16 x 16, 16 colours from the standard palette, with a mask.
SMALL = 16
# The standard 16-colour palette, by index: (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, OLIVE, DARK_GREEN, YELLOW, LIME = 0, 3, 2, 11, 10


def folder_shape(x, y, fill, edge):
    """A folder with a tab at the top left: its outline in edge, its body in fill."""
    if y == 2 and 1 <= x <= 6 or y in (3, 13) and 1 <= x <= 14:
        return edge
    if 3 <= y <= 13 and x in (1, 14) or y == 3 and x == 7:
        return edge
    if y == 2 and x == 7:
        return None
    if 4 <= y <= 12 and 2 <= x <= 13:
        return fill
    return None


def folder(x, y):
    return folder_shape(x, y, YELLOW, OLIVE)


def new_folder(x, y):
    return folder_shape(x, y, LIME, DARK_GREEN)


def up_arrow(x, y):
    """A black arrow pointing up whose shaft turns right at its foot, and a dot past its end."""
    if y == 1 and 4 <= x <= 5 or y == 2 and 3 <= x <= 6 or y == 3 and 2 <= x <= 7:
        return BLACK  # the head
    if 4 <= y <= 11 and 4 <= x <= 5:
        return BLACK  # the shaft
    if 10 <= y <= 11 and 6 <= x <= 11:
        return BLACK  # the turn to the right
    if 10 <= y <= 11 and 13 <= x <= 14:
        return BLACK  # the dot
    return None


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


def small_ico_bytes(pixel):
    """One 16 x 16 image of 4 bits per pixel with the standard palette and an AND mask."""
    rows = []
    mask_rows = []
    for y in range(SMALL - 1, -1, -1):  # bottom-up, as in a DIB
        indices = []
        mask = 0
        for x in range(SMALL):
            index = pixel(x, y)
            if index is None:
                indices.append(0)
                mask |= 1 << (SMALL - 1 - x)
            else:
                indices.append(index)
        rows.append(bytes(indices[i] << 4 | indices[i + 1] for i in range(0, SMALL, 2)))
        mask_rows.append(struct.pack(">H", mask) + b"\0\0")  # rows padded to 32 bits
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    image = b"".join(rows) + b"".join(mask_rows)
    header = struct.pack("<IiiHHIIiiII", 40, SMALL, SMALL * 2, 1, 4, 0, len(image), 0, 0, 16, 0)
    body = header + palette + image
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SMALL, SMALL, 16, 0, 1, 4, len(body), 6 + 16)
    return directory + entry + body


def main():
    outdir = sys.argv[1]
    os.makedirs(outdir, exist_ok=True)
    for name, pixel in (("setup", setup_icon), ("quillary", quillary_icon)):
        with open(os.path.join(outdir, name + ".ico"), "wb") as f:
            f.write(ico_bytes(pixel))
    for name, pixel in (("folder", folder), ("up", up_arrow), ("new_folder", new_folder)):
        with open(os.path.join(outdir, name + ".ico"), "wb") as f:
            f.write(small_ico_bytes(pixel))


if __name__ == "__main__":
    main()
