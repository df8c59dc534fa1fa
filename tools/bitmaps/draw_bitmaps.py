#!/usr/bin/env python3
"""Draws the toolkit's bitmap resources as PNGs in resources/bitmaps/.

Each bitmap is drawn here as text at 96 dpi ('#' black, '+' grey, '-' dark
grey, '.' pure green 0x00FF00, the colour the drawing layer leaves
transparent); the 192-dpi bitmap is the same drawing at twice the size.
Run it after changing a drawing; the build embeds the PNGs it wrote.
"""
import os
import struct
import sys
import zlib

COLOURS = {'#': (0, 0, 0), '+': (0xC0, 0xC0, 0xC0), '-': (0x80, 0x80, 0x80), '.': (0, 0xFF, 0)}

# (small id, large id, drawing)
BITMAPS = [
    (4591, 4592, [  # Backspace: an arrow to the left
        "................",
        ".....#..........",
        "....##..........",
        "...###########..",
        "..############..",
        ".#############..",
        "..############..",
        "...###########..",
        "....##..........",
        ".....#..........",
        "................",
    ]),
    (4611, 4612, [  # Enter: down, then to the left
        "................",
        "............##..",
        "............##..",
        "............##..",
        ".....#......##..",
        "....##......##..",
        "...#############",
        "..##############",
        "...#############",
        "....##..........",
        ".....#..........",
        "................",
    ]),
    (5348, 5349, [  # Shift: an outlined arrow up
        "..............",
        "......##......",
        ".....#..#.....",
        "....#....#....",
        "...#......#...",
        "..#........#..",
        ".####....####.",
        "....#....#....",
        "....#....#....",
        "....#....#....",
        "....#....#....",
        "....######....",
        "..............",
    ]),
    (5325, 5326, [  # Drop-down button: a grey button with a triangle down
        "-------------",
        "-+++++++++++-",
        "-+++++++++++-",
        "-+++++++++++-",
        "-++#######++-",
        "-+++#####+++-",
        "-++++###++++-",
        "-+++++#+++++-",
        "-+++++++++++-",
        "-+++++++++++-",
        "-+++++++++++-",
        "-+++++++++++-",
        "-------------",
    ]),
]


def png(rows):
    height, width = len(rows), len(rows[0])
    raw = b''.join(b'\0' + bytes(c for ch in row for c in COLOURS[ch]) for row in rows)

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))

    header = struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)
    return b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b'')


def doubled(rows):
    return [''.join(ch * 2 for ch in row) for row in rows for _ in range(2)]


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'resources', 'bitmaps')
    os.makedirs(out, exist_ok=True)
    for small, large, rows in BITMAPS:
        if len({len(r) for r in rows}) != 1:
            sys.exit(f'bitmap {small}: rows of different lengths')
        for ident, drawing in ((small, rows), (large, doubled(rows))):
            with open(os.path.join(out, f'{ident}.png'), 'wb') as f:
                f.write(png(drawing))


if __name__ == '__main__':
    main()
