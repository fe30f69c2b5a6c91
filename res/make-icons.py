#!/usr/bin/env python3
"""Draws icon 128 (a printer taking in a sheet with a download arrow) as paletted PNGs.

Writes orlup-32.png (32x32, 256-colour palette) and orlup-16.png (16x16, the 16 VGA colours)
next to this script; with --ico PATH it also writes both images as one Windows icon file of
the same artwork (8 and 4 bits per pixel). Standard library only, so it runs anywhere.
"""
import argparse
import os
import struct
import zlib

# Index 0 is transparent in every image.
PALETTE_32 = [
    (0, 0, 0),        # 0 transparent
    (0, 0, 0),        # 1 outline
    (255, 255, 255),  # 2 paper
    (192, 192, 192),  # 3 light body
    (128, 128, 128),  # 4 body
    (64, 64, 64),     # 5 slot
    (30, 100, 200),   # 6 arrow
    (120, 170, 240),  # 7 arrow light
    (0, 200, 0),      # 8 LED
    (224, 224, 224),  # 9 top highlight
    (160, 160, 160),  # 10 paper ruling
]

VGA_16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


class Canvas:
    def __init__(self, size):
        self.size = size
        self.pixels = [[0] * size for _ in range(size)]

    def fill(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.pixels[y][x] = colour

    def box(self, x0, y0, x1, y1, inside, outline):
        self.fill(x0, y0, x1, y1, outline)
        self.fill(x0 + 1, y0 + 1, x1 - 1, y1 - 1, inside)

    def hline(self, x0, x1, y, colour):
        self.fill(x0, y, x1, y, colour)


def draw_32():
    c = Canvas(32)
    c.box(8, 0, 23, 14, 2, 1)                   # the sheet going in
    for y in (3, 5, 7):
        c.hline(10, 12, y, 10)
        c.hline(19, 21, y, 10)
    c.fill(14, 2, 17, 7, 6)                      # arrow shaft
    c.fill(14, 2, 14, 7, 7)
    for i, y in enumerate(range(8, 13)):         # arrow head
        c.hline(11 + i, 20 - i, y, 6)
        c.pixels[y][11 + i] = 7
    c.box(2, 13, 29, 27, 4, 1)                   # body
    c.fill(3, 14, 28, 16, 3)                     # top face
    c.hline(3, 28, 14, 9)
    c.fill(7, 15, 24, 16, 5)                     # input slot
    c.fill(14, 15, 17, 16, 6)                    # arrow tip entering the slot
    c.fill(6, 21, 25, 23, 5)                     # output slot
    c.box(7, 22, 24, 29, 2, 1)                   # printed sheet coming out
    c.hline(9, 22, 25, 10)
    c.hline(9, 18, 27, 10)
    c.fill(24, 18, 26, 19, 8)                    # LED
    c.fill(4, 28, 6, 29, 1)                      # feet
    c.fill(25, 28, 27, 29, 1)
    return c


def draw_16():
    # VGA indices: 0 black outline (transparency comes from the mask colour below), 7 silver,
    # 8 grey, 15 white, 12 blue, 10 lime.
    c = Canvas(16)
    c.fill(0, 0, 15, 15, 5)                      # 5 (purple) marks transparent pixels
    c.box(4, 0, 11, 7, 15, 0)                    # sheet
    c.fill(7, 1, 8, 3, 12)                       # arrow
    c.hline(6, 9, 4, 12)
    c.hline(7, 8, 5, 12)
    c.box(1, 7, 14, 14, 8, 0)                    # body
    c.hline(2, 13, 8, 7)
    c.fill(4, 8, 11, 8, 0)                       # input slot
    c.fill(7, 8, 8, 8, 12)
    c.fill(3, 11, 12, 11, 0)                     # output slot
    c.box(4, 11, 11, 14, 15, 0)                  # sheet out
    c.fill(12, 9, 12, 9, 10)                     # LED
    return c


TRANSPARENT_16 = 5


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def pack_row(row, bits):
    if bits == 8:
        return bytes(row)
    out = bytearray()
    for i in range(0, len(row), 2):
        out.append((row[i] << 4) | (row[i + 1] if i + 1 < len(row) else 0))
    return bytes(out)


def write_png(path, canvas, palette, bits, transparent):
    raw = b"".join(b"\0" + pack_row(row, bits) for row in canvas.pixels)
    alpha = bytes(0 if i == transparent else 255 for i in range(transparent + 1))
    data = (b"\x89PNG\r\n\x1a\n"
            + png_chunk(b"IHDR", struct.pack(">IIBBBBB", canvas.size, canvas.size, bits, 3,
                                             0, 0, 0))
            + png_chunk(b"PLTE", b"".join(bytes(rgb) for rgb in palette))
            + png_chunk(b"tRNS", alpha)
            + png_chunk(b"IDAT", zlib.compress(raw, 9))
            + png_chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(data)


def padded(row_bytes):
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def ico_image(canvas, palette, bits, transparent):
    size = canvas.size
    colours = 1 << bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0, colours, 0)
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in
                     palette + [(0, 0, 0)] * (colours - len(palette)))
    xor_rows, and_rows = [], []
    for row in reversed(canvas.pixels):          # bitmaps run bottom-up
        masked = [0 if p == transparent else p for p in row]
        xor_rows.append(padded(pack_row(masked, bits)))
        mask = 0
        for p in row:
            mask = (mask << 1) | (1 if p == transparent else 0)
        and_rows.append(padded(mask.to_bytes(size // 8, "big")))
    return header + table + b"".join(xor_rows) + b"".join(and_rows)


def write_ico(path, images):
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    bodies = []
    for canvas, palette, bits, transparent in images:
        body = ico_image(canvas, palette, bits, transparent)
        data += struct.pack("<BBBBHHII", canvas.size, canvas.size,
                            (1 << bits) % 256, 0, 1, bits, len(body), offset)
        offset += len(body)
        bodies.append(body)
    with open(path, "wb") as f:
        f.write(data + b"".join(bodies))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--ico", help="also write a Windows icon file here")
    args = parser.parse_args()
    here = os.path.dirname(os.path.abspath(__file__))
    big, small = draw_32(), draw_16()
    write_png(os.path.join(here, "orlup-32.png"), big, PALETTE_32, 8, 0)
    write_png(os.path.join(here, "orlup-16.png"), small, VGA_16, 4, TRANSPARENT_16)
    if args.ico:
        write_ico(args.ico, [(big, PALETTE_32, 8, 0), (small, VGA_16, 4, TRANSPARENT_16)])


if __name__ == "__main__":
    main()
