#!/usr/bin/env python3
"""Draws the Tolbex icon: seven 32-bit images (16 to 256 px) in one .ico file.

The artwork is drawn from geometry alone, so the same script always gives the same
bytes: a rounded road-sign square in deep blue with an orange road that bends into
the distance, and a white dashed centre line. Each pixel is supersampled 4 x 4 for
smooth edges. Standard library only.

    python3 src/app/draw_icon.py OUT.ico
"""
import math
import struct
import sys
import zlib

SIZES = (16, 24, 32, 48, 64, 128, 256)
SAMPLES = 4

BLUE = (22, 64, 140)
ORANGE = (245, 150, 30)
WHITE = (255, 255, 255)


def inside_rounded_square(x, y, radius=0.2):
    # Unit square [0,1]^2 with rounded corners.
    cx = min(max(x, radius), 1 - radius)
    cy = min(max(y, radius), 1 - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2 and 0 <= x <= 1 and 0 <= y <= 1


def road_centre(y):
    # The road runs from the bottom (y=1) to the horizon (y=0.22), bending to the right.
    t = (1 - y) / 0.78
    return 0.5 + 0.18 * math.sin(t * math.pi * 0.9) * (1 - 0.3 * t)


def road_half_width(y):
    t = (1 - y) / 0.78
    return 0.30 * (1 - t) + 0.03 * t


def colour_at(x, y):
    """Colour and alpha (0..255) of one sample point in unit coordinates."""
    if not inside_rounded_square(x, y):
        return (0, 0, 0), 0
    if 0.22 <= y <= 0.97:
        c = road_centre(y)
        h = road_half_width(y)
        if abs(x - c) <= h:
            # Dashes of the centre line, shorter towards the horizon.
            t = (1 - y) / 0.78
            phase = (1 - (1 - t) ** 1.6) * 5.0
            if abs(x - c) <= h * 0.12 and (phase % 1.0) < 0.55:
                return WHITE, 255
            return ORANGE, 255
    return BLUE, 255


def render(size):
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / size
                    y = (py + (sy + 0.5) / SAMPLES) / size
                    (cr, cg, cb), ca = colour_at(x, y)
                    r += cr * ca
                    g += cg * ca
                    b += cb * ca
                    a += ca
            n = SAMPLES * SAMPLES
            if a:
                row.append((round(b / a), round(g / a), round(r / a), round(a / n)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def dib(size):
    """A 32-bit BITMAPINFOHEADER image with its AND mask, as an .ico entry holds it."""
    rows = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes(c for px in row for c in px) for row in reversed(rows))
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_row)
        for i, px in enumerate(row):
            if px[3] == 0:
                bits[i // 8] |= 0x80 >> (i % 8)
        mask += bits
    return header + pixels + bytes(mask)


def png(size):
    """A 32-bit RGBA PNG image; the 256 px entry is stored this way to keep the exe small."""
    rows = render(size)
    raw = b"".join(b"\0" + bytes(c for (b, g, r, a) in row for c in (r, g, b, a)) for row in rows)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def main():
    out = sys.argv[1]
    images = [png(s) if s == 256 else dib(s) for s in SIZES]
    offset = 6 + 16 * len(SIZES)
    data = struct.pack("<HHH", 0, 1, len(SIZES))
    for size, image in zip(SIZES, images):
        dim = 0 if size == 256 else size
        data += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    data += b"".join(images)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
