#!/usr/bin/env python3
"""A large product for the benchmarks: about 3,000 files and 150 MB of mixed sizes, half of them
compressible (text-like) and half not (pseudo-random bytes), in 30 folders, always the same bytes.

usage: make_large_product.py SAMPLE_TREE OUTPUT_DIR

The three files the installer points at (Quillary.exe, uninstall.exe, Readme.wri) are copied from
the sample product's tree, so the installation is a whole one. Writes OUTPUT_DIR afresh.
"""
import os
import random
import shutil
import sys

FILES = 3000
TOTAL = 150 * 1000 * 1000
FOLDERS = 30
WORDS = b"brush layer palette filter canvas pixel gradient stroke opacity mask ".split()


def sizes(rng):
    """FILES sizes: mostly small, some medium, a few large (log-uniform), scaled to TOTAL."""
    raw = [int(2 ** rng.uniform(8, 23)) for _ in range(FILES)]
    scale = TOTAL / sum(raw)
    return [max(1, int(s * scale)) for s in raw]


def text_like(rng, size):
    line = b" ".join(rng.choice(WORDS) for _ in range(12)) + b"\r\n"
    return (line * (size // len(line) + 1))[:size]


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[3])
    sample, out = sys.argv[1], sys.argv[2]
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    rng = random.Random(23)
    for name in ("Quillary.exe", "uninstall.exe", "readme.wri"):
        shutil.copyfile(os.path.join(sample, name), os.path.join(out, name))
    for i, size in enumerate(sizes(rng)):
        folder = os.path.join(out, "Set%02d" % (i % FOLDERS))
        os.makedirs(folder, exist_ok=True)
        data = text_like(rng, size) if i % 2 == 0 else rng.randbytes(size)
        with open(os.path.join(folder, "item%04d.dat" % i), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
