#!/usr/bin/env python3
"""Makes the sample product's files from manifest.txt.

usage: generate.py MANIFEST OUTPUT_DIR LIST_FILE [NAME=BUILT_FILE]...
       generate.py --header MANIFEST HEADER

Writes every record's file below OUTPUT_DIR ("\\" in a name becomes a folder) and LIST_FILE, the
names in archive order, for `pack pack --list`. A record of size "built" is the program the build
made: NAME=BUILT_FILE names it, and its size is that file's. With --header, writes the C header
the uninstaller compiles in: every record's name, and the folders they need, deepest first. The content is made from a seed derived from each
name, so the same manifest always gives the same bytes. Each kind of file gets content shaped like
the real thing (code and tables, grey-level masks, tiled pictures, colour tables, glyph bitmaps,
text), so that the packed payload compresses about as well as the product it stands for.
"""
import math
import os
import random
import struct
import sys
import zlib

NAME_LENGTHS = (7, 29)
FILE_SIZES = (32, 942080)


def fit(data, size, rng):
    """Cuts or pads data to exactly size bytes (padding repeats the data with a little noise)."""
    out = bytearray(data[:size])
    while len(out) < size:
        chunk = bytearray(data[: size - len(out)]) or bytearray(rng.randbytes(size - len(out)))
        for i in range(0, len(chunk), 97):
            chunk[i] = rng.randrange(256)
        out += chunk
    return bytes(out)


WORDS = (
    "the brush tool paints with the current colour using the selected tip pressure opacity "
    "layer canvas filter pattern palette select area zoom undo redo image picture file save "
    "open print page size pixel width height colour depth resolution airbrush spray density "
    "flow soft hard edge smooth blend mode normal multiply screen overlay mask channel"
).split()


def text_lines(rng, count):
    lines = []
    for _ in range(count):
        n = rng.randint(4, 14)
        line = " ".join(rng.choice(WORDS) for _ in range(n))
        lines.append(line[0].upper() + line[1:] + ".")
    return "\r\n".join(lines).encode("ascii")


def code_bytes(rng, size):
    """Machine-code-like bytes: a vocabulary of short instruction patterns with random operands."""
    vocabulary = [rng.randbytes(rng.randint(1, 6)) for _ in range(400)]
    out = bytearray()
    while len(out) < size:
        pattern = vocabulary[min(int(rng.expovariate(1 / 30)), 399)]
        out += pattern
        if rng.random() < 0.3:
            out += rng.randbytes(rng.choice((1, 2, 4)))
    return bytes(out[:size])


def make_program(size, name, rng):
    stub = b"MZ\x90\x00\x03\x00\x00\x00\x04\x00\x00\x00\xff\xff\x00\x00" + bytes(44)
    stub += struct.pack("<I", 0x80) + bytes(64)
    stub += b"This program cannot be run in DOS mode.\r\r\n$" + bytes(20)
    stub = stub.ljust(0x80, b"\0") + b"PE\0\0" + rng.randbytes(20) + bytes(200)
    imports = b"\0".join(
        n.encode() for n in ("KERNEL32.dll", "USER32.dll", "GDI32.dll", "CreateFileA",
                             "ReadFile", "WriteFile", "CloseHandle", "GlobalAlloc",
                             "BitBlt", "StretchDIBits", "CreateWindowExA", "DefWindowProcA",
                             "GetMessageA", "DispatchMessageA", "SelectObject", "LoadBitmapA"))
    strings = text_lines(rng, max(4, size // 3000))
    code = code_bytes(rng, size * 62 // 100)
    tables = bytes(rng.randrange(0, 16) * 16 for _ in range(size // 20))
    resources = rng.randbytes(size // 14)
    return fit(stub + code + imports + tables + strings + resources, size, rng)


def make_config(size, name, rng):
    sections = ["[General]", "[Tools]", "[Colours]", "[Recent Files]", "[Window]"]
    lines = []
    for section in sections:
        lines.append(section)
        for i in range(12):
            key = rng.choice(WORDS).capitalize() + rng.choice(WORDS).capitalize()
            lines.append("%s=%d" % (key, rng.randint(0, 1024)))
        lines.append("")
    return fit("\r\n".join(lines).encode("ascii"), size, rng)


def make_data(size, name, rng):
    records = bytearray()
    while len(records) < size:
        word = rng.choice(WORDS).encode()
        records += struct.pack("<HBB", rng.randrange(4096), rng.randrange(256), len(word)) + word
    return bytes(records[:size])


def make_help(size, name, rng):
    # Compiled help: topic text with phrase-compressed runs between the topics.
    out = bytearray(b"?_\x03\x00" + bytes(12))
    while len(out) < size:
        out += text_lines(rng, rng.randint(3, 10)) + b"\0"
        out += rng.randbytes(rng.randint(100, 300))
    return bytes(out[:size])


def make_document(size, name, rng):
    header = b"\x31\xbe\x00\x00\x00\xab" + bytes(122)
    body = b"Quillary - read me\r\n\r\n" + text_lines(rng, size // 60)
    return fit(header + body, size, rng)


def bmp_file(width, height, pixels, palette):
    header_size = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(pixels), 2835, 2835,
                       len(palette) // 4, 0)
    return (b"BM" + struct.pack("<IHHI", header_size + len(pixels), 0, 0, header_size) + info +
            palette + pixels)


def make_bitmap(size, name, rng):
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in
                       ((i, (i * 3) % 256, 255 - i) for i in range(256)))
    width = 256
    height = (size - 1078) // width
    pixels = bytearray()
    for y in range(height):
        for x in range(width):
            v = int(128 + 60 * math.sin(x / 17.0) * math.cos(y / 11.0)) + rng.randint(-6, 6)
            pixels.append(max(0, min(255, v)))
    return fit(bmp_file(width, height, bytes(pixels), palette), size, rng)


def mask_bytes(rng, size, roughness):
    """Grey-level brush tip masks: radial falloff with grain."""
    side = max(8, int(math.sqrt(size)))
    hardness = rng.uniform(0.2, 0.9)
    out = bytearray()
    while len(out) < size:
        for y in range(side):
            for x in range(side):
                d = math.hypot(x - side / 2, y - side / 2) / (side / 2)
                v = 255 * max(0.0, 1 - d) ** (1 / hardness)
                if rng.random() < roughness:
                    v *= rng.random()
                out.append(int(v) & 0xF8)
    return bytes(out[:size])


def make_brush(size, name, rng):
    return fit(b"QBR1" + struct.pack("<HH", 64, 64) + mask_bytes(rng, size, 0.35), size, rng)


def make_airbrush(size, name, rng):
    return fit(b"QAB1" + struct.pack("<HH", 48, 48) + mask_bytes(rng, size, 0.55), size, rng)


def make_pattern(size, name, rng):
    tile_width, tile_height = rng.choice((8, 16, 32)), rng.choice((8, 16, 32))
    tile = rng.randbytes(tile_width * tile_height)
    out = bytearray(b"QPT1" + struct.pack("<HH", tile_width, tile_height))
    while len(out) < size:
        row = bytearray(tile)
        for i in range(len(row)):
            if rng.random() < 0.14:
                row[i] = rng.randrange(256)
        out += row
    return bytes(out[:size])


def make_palette(size, name, rng):
    lines = ["JASC-PAL", "0100", "256"]
    base = [rng.randrange(256) for _ in range(3)]
    for i in range(256):
        lines.append(" ".join(str((c + i * rng.randint(0, 3)) % 256) for c in base))
    return fit("\r\n".join(lines).encode("ascii") + b"\r\n", size, rng)


def make_font(size, name, rng):
    out = bytearray(b"QFN1" + name.encode("ascii").ljust(28, b"\0"))
    height = rng.choice((12, 16, 20, 24))
    shapes = [rng.randrange(1 << 16) & rng.randrange(1 << 16) for _ in range(24)]
    while len(out) < size:
        # One glyph: rows of a 16-pixel-wide bitmap built from the face's stroke shapes.
        strokes = [rng.choice(shapes) for _ in range(4)]
        for row in range(height):
            bits = strokes[row * 4 // height]
            if rng.random() < 0.12:
                bits ^= 1 << rng.randrange(16)
            out += struct.pack("<H", bits)
        out += struct.pack("<BB", rng.randrange(4, 16), height)
    return bytes(out[:size])


def make_filter(size, name, rng):
    return make_program(size, name, rng)


MAKERS = {
    "program": make_program, "library": make_program, "filter": make_filter,
    "config": make_config, "data": make_data, "help": make_help, "document": make_document,
    "bitmap": make_bitmap, "brush": make_brush, "airbrush": make_airbrush,
    "pattern": make_pattern, "palette": make_palette, "font": make_font,
}


def read_manifest(path, built=None):
    """The records as (kind, size, name); built maps a "built" record's name to its file."""
    total = None
    records = []
    with open(path, encoding="ascii") as manifest:
        for number, line in enumerate(manifest, 1):
            fields = line.split()
            if not fields or fields[0].startswith("#"):
                continue
            if fields[0] == "data-total":
                total = int(fields[1])
                continue
            if len(fields) != 3 or fields[0] not in MAKERS:
                sys.exit("%s:%d: expected: kind size name" % (path, number))
            records.append([fields[0], fields[1], fields[2]])
    filler = [r for r in records if r[1] == "*"]
    if total is None or len(filler) != 1:
        sys.exit("%s: needs a data-total line and exactly one size \"*\"" % path)
    for record in records:
        if record[1] != "built":
            continue
        if built is None:  # names only: the sizes do not matter
            record[1] = str(FILE_SIZES[0])
        elif record[2] not in built:
            sys.exit("%s: %s is built, but no NAME=BUILT_FILE names it" % (path, record[2]))
        else:
            record[1] = str(os.path.getsize(built[record[2]]))
    rest = sum(int(r[1]) for r in records if r[1] != "*")
    filler[0][1] = str(total - rest)
    for kind, size, name in records:
        # The filler takes up whatever the built programs leave of the total, so only a
        # lower bound holds for it.
        upper = total if name == filler[0][2] else FILE_SIZES[1]
        if not FILE_SIZES[0] <= int(size) <= upper:
            sys.exit("%s: %s is %s bytes, outside %d..%d" % (path, name, size, FILE_SIZES[0],
                                                            upper))
        if not NAME_LENGTHS[0] <= len(name) <= NAME_LENGTHS[1]:
            sys.exit("%s: name %s is outside %d..%d bytes" % (path, name, *NAME_LENGTHS))
    return [(kind, int(size), name) for kind, size, name in records]


def write_if_changed(path, data):
    try:
        with open(path, "rb") as existing:
            if existing.read() == data:
                return
    except OSError:
        pass
    temporary = path + ".tmp"
    with open(temporary, "wb") as out:
        out.write(data)
    os.replace(temporary, path)


def c_string(text):
    return '"' + text.replace("\\", "\\\\") + '"'


def write_header(manifest, header):
    names = [name for _, _, name in read_manifest(manifest)]
    folders = set()
    for name in names:
        parts = name.split("\\")[:-1]
        for depth in range(1, len(parts) + 1):
            folders.add("\\".join(parts[:depth]))
    deepest_first = sorted(folders, key=lambda f: (-f.count("\\"), f.lower()))
    lines = ["// Made by product/generate.py from manifest.txt: what the payload installs.",
             "#pragma once", "",
             "// Every file of the payload, relative to the installation folder.",
             "static const char *const INSTALLED_FILES[] = {"]
    lines += ["    %s," % c_string(name) for name in names]
    lines += ["};", "",
              "// The folders those files need, deepest first, so each is empty before its parent.",
              "static const char *const INSTALLED_FOLDERS[] = {"]
    lines += ["    %s," % c_string(folder) for folder in deepest_first]
    lines += ["};", ""]
    write_if_changed(header, "\n".join(lines).encode("ascii"))


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--header":
        write_header(sys.argv[2], sys.argv[3])
        return
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    manifest, output_dir, list_file = sys.argv[1:4]
    built = {}
    for argument in sys.argv[4:]:
        name, separator, path = argument.partition("=")
        if not separator:
            sys.exit(__doc__)
        built[name] = path
    records = read_manifest(manifest, built)
    for kind, size, name in records:
        if name in built:
            with open(built[name], "rb") as program:
                data = program.read()
        else:
            rng = random.Random(zlib.crc32(name.encode("ascii")))
            data = MAKERS[kind](size, name, rng)
        assert len(data) == size, name
        path = os.path.join(output_dir, *name.split("\\"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        write_if_changed(path, data)
    write_if_changed(list_file, "".join(name + "\n" for _, _, name in records).encode("ascii"))


if __name__ == "__main__":
    main()
