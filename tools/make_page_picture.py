#!/usr/bin/env python3
"""Draws the page picture every wizard page paints: a 556 x 384 bitmap, 8 bits per pixel with a
256-entry colour table, uncompressed.

usage: make_page_picture.py OUTFILE
The artwork is a bright blue bevelled frame around a dark blue panel carrying the product name in
large red letters, a one-line subtitle and a five-line feature list. Letters come from a small
built-in 5 x 7 font, scaled up, so the picture needs nothing beyond Python itself.
"""
import struct
import sys

WIDTH, HEIGHT = 556, 384
FRAME = 16  # frame width in pixels, bevels included
BEVEL = 3

# Colour table: index -> (red, green, blue). Unused entries stay black.
BLACK, FRAME_BLUE, HIGHLIGHT, SHADOW, PANEL, RED, WHITE, PALE = range(8)
COLOURS = {
    BLACK: (0, 0, 0),
    FRAME_BLUE: (40, 120, 255),
    HIGHLIGHT: (160, 210, 255),
    SHADOW: (0, 50, 160),
    PANEL: (0, 0, 136),
    RED: (235, 20, 20),
    WHITE: (255, 255, 255),
    PALE: (170, 200, 255),
}

# 5 x 7 glyphs, one string of five characters per row, '#' for a set pixel.
GLYPHS = {
    "A": [" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"],
    "B": ["#### ", "#   #", "#   #", "#### ", "#   #", "#   #", "#### "],
    "C": [" ### ", "#   #", "#    ", "#    ", "#    ", "#   #", " ### "],
    "D": ["#### ", "#   #", "#   #", "#   #", "#   #", "#   #", "#### "],
    "E": ["#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"],
    "F": ["#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#    "],
    "G": [" ### ", "#   #", "#    ", "# ###", "#   #", "#   #", " ####"],
    "H": ["#   #", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"],
    "I": [" ### ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "],
    "J": ["  ###", "   # ", "   # ", "   # ", "   # ", "#  # ", " ##  "],
    "K": ["#   #", "#  # ", "# #  ", "##   ", "# #  ", "#  # ", "#   #"],
    "L": ["#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"],
    "M": ["#   #", "## ##", "# # #", "# # #", "#   #", "#   #", "#   #"],
    "N": ["#   #", "##  #", "# # #", "#  ##", "#   #", "#   #", "#   #"],
    "O": [" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    "P": ["#### ", "#   #", "#   #", "#### ", "#    ", "#    ", "#    "],
    "Q": [" ### ", "#   #", "#   #", "#   #", "# # #", "#  # ", " ## #"],
    "R": ["#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"],
    "S": [" ####", "#    ", "#    ", " ### ", "    #", "    #", "#### "],
    "T": ["#####", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  "],
    "U": ["#   #", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    "V": ["#   #", "#   #", "#   #", "#   #", "#   #", " # # ", "  #  "],
    "W": ["#   #", "#   #", "#   #", "# # #", "# # #", "# # #", " # # "],
    "X": ["#   #", "#   #", " # # ", "  #  ", " # # ", "#   #", "#   #"],
    "Y": ["#   #", "#   #", " # # ", "  #  ", "  #  ", "  #  ", "  #  "],
    "Z": ["#####", "    #", "   # ", "  #  ", " #   ", "#    ", "#####"],
    "-": ["     ", "     ", "     ", " ### ", "     ", "     ", "     "],
    ",": ["     ", "     ", "     ", "     ", "     ", "  #  ", " #   "],
    ".": ["     ", "     ", "     ", "     ", "     ", "     ", "  #  "],
    " ": ["     "] * 7,
}

TITLE = "QUILLARY"
SUBTITLE = "DRAWING AND PAINTING FOR EVERYONE"
FEATURES = [
    "- PRESSURE SENSITIVE BRUSHES AND PENS",
    "- LAYERS, MASKS AND BLEND MODES",
    "- VECTOR PATHS AND EDITABLE TEXT",
    "- FILTERS, CURVES AND COLOUR TOOLS",
    "- OPENS AND SAVES COMMON IMAGE FORMATS",
]


def text_width(text, scale):
    return len(text) * 6 * scale - scale


def draw_text(pixels, text, left, top, scale, colour):
    for index, letter in enumerate(text):
        glyph = GLYPHS[letter]
        for row, line in enumerate(glyph):
            for column, mark in enumerate(line):
                if mark != "#":
                    continue
                x0 = left + (index * 6 + column) * scale
                y0 = top + row * scale
                for y in range(y0, y0 + scale):
                    for x in range(x0, x0 + scale):
                        pixels[y][x] = colour


def draw_picture():
    pixels = [[PANEL] * WIDTH for _ in range(HEIGHT)]
    for y in range(HEIGHT):
        for x in range(WIDTH):
            edge = min(x, y, WIDTH - 1 - x, HEIGHT - 1 - y)
            if edge >= FRAME:
                continue
            colour = FRAME_BLUE
            # Raised outer bevel, sunken inner bevel: light from the top left.
            towards_top_left = (x < WIDTH - 1 - x and x == edge) or (y < HEIGHT - 1 - y and y == edge)
            if edge < BEVEL:
                colour = HIGHLIGHT if towards_top_left else SHADOW
            elif edge >= FRAME - BEVEL:
                colour = SHADOW if towards_top_left else HIGHLIGHT
            pixels[y][x] = colour
    title_scale = 8
    draw_text(pixels, TITLE, (WIDTH - text_width(TITLE, title_scale)) // 2, 44, title_scale, RED)
    draw_text(pixels, SUBTITLE, (WIDTH - text_width(SUBTITLE, 2)) // 2, 116, 2, WHITE)
    for line, feature in enumerate(FEATURES):
        draw_text(pixels, feature, 70, 160 + line * 26, 2, PALE)
    return pixels


def bitmap_file(pixels):
    stride = (WIDTH + 3) & ~3
    table = b"".join(struct.pack("<BBBB", *reversed(COLOURS.get(i, (0, 0, 0))), 0)
                     for i in range(256))
    rows = b"".join(bytes(pixels[y]) + b"\0" * (stride - WIDTH) for y in range(HEIGHT - 1, -1, -1))
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0, len(rows), 2835, 2835, 256, 0)
    offset = 14 + len(info) + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    return header + info + table + rows


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    with open(sys.argv[1], "wb") as out:
        out.write(bitmap_file(draw_picture()))


if __name__ == "__main__":
    main()
