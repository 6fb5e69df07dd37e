#!/usr/bin/env python3
"""Draws Skylode's icon (a satellite dish under an orbit) and writes
Skylode.ico with six images: 16, 32 and 64 pixels, each in 8-bit and 24-bit
colour. Run it from this folder after changing the picture."""
import math
import struct

SIZES = (16, 32, 64)
SKY = (30, 80, 160)
ORBIT = (250, 210, 60)
DISH = (235, 235, 235)
NIGHT = (10, 20, 50)


def pixel(x, y, n):
    """Colour of pixel (x, y) of an n by n image, with y from the top."""
    u, v = (x + 0.5) / n, (y + 0.5) / n
    if (u - 0.5) ** 2 + (v - 0.5) ** 2 > 0.25:
        return None  # transparent outside the round face
    # Orbit: a tilted ellipse around the centre.
    a, b, t = 0.38, 0.16, math.radians(-25)
    du, dv = u - 0.5, v - 0.5
    ru = du * math.cos(t) - dv * math.sin(t)
    rv = du * math.sin(t) + dv * math.cos(t)
    if abs((ru / a) ** 2 + (rv / b) ** 2 - 1) < 3.0 / n:
        return ORBIT
    # Dish: a bowl in the lower half.
    if v > 0.55 and (u - 0.5) ** 2 + (v - 0.45) ** 2 < 0.09 and v < 0.8:
        return DISH
    return SKY if v < 0.7 else NIGHT


def palette_of(n):
    colours = [SKY, ORBIT, DISH, NIGHT]
    return colours + [(0, 0, 0)] * (256 - len(colours))


def bmp(n, bits):
    rows = []
    mask_rows = []
    pal = palette_of(n)
    for y in reversed(range(n)):  # bottom-up, as bitmaps are stored
        row = bytearray()
        mbits = []
        for x in range(n):
            c = pixel(x, y, n)
            mbits.append(1 if c is None else 0)
            c = c or (0, 0, 0)
            if bits == 8:
                row.append(pal.index(c))
            else:
                row += bytes((c[2], c[1], c[0]))
        while len(row) % 4:
            row.append(0)
        rows.append(bytes(row))
        mrow = bytearray()
        for i in range(0, n, 8):
            byte = 0
            for k in range(8):
                if i + k < n and mbits[i + k]:
                    byte |= 0x80 >> k
            mrow.append(byte)
        while len(mrow) % 4:
            mrow.append(0)
        mask_rows.append(bytes(mrow))
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, bits, 0, 0, 0, 0,
                         256 if bits == 8 else 0, 0)
    body = header
    if bits == 8:
        body += b"".join(bytes((b, g, r, 0)) for r, g, b in pal)
    return body + b"".join(rows) + b"".join(mask_rows)


def main():
    images = [(n, bits, bmp(n, bits)) for n in SIZES for bits in (8, 24)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, bits, data in images:
        out += struct.pack("<BBBBHHII", n % 256, n % 256, 0 if bits == 24 else 0, 0, 1,
                           bits, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, _, data in images)
    with open("Skylode.ico", "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
