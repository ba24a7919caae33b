#!/usr/bin/env python3
"""Writes language.ico: one 32x32 image in 16 colours, a globe (blue disc with
green land and white meridians). Run from this folder; the output is
committed, so this is only needed to change the picture."""
import math
import struct

SIZE = 32
# The standard 16-colour palette, as (blue, green, red, 0).
PALETTE = [
    (0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128), (128, 0, 0), (128, 0, 128),
    (128, 128, 0), (192, 192, 192), (128, 128, 128), (0, 0, 255), (0, 255, 0),
    (0, 255, 255), (255, 0, 0), (255, 0, 255), (255, 255, 0), (255, 255, 255),
]
BLACK, NAVY, GREEN, WHITE, BLUE_SEA = 0, 4, 2, 15, 12  # indices in (b, g, r) order


def pixel(x, y):
    """Colour index, or None where the icon is transparent."""
    cx = cy = (SIZE - 1) / 2
    dx, dy = x - cx, y - cy
    r = math.hypot(dx, dy)
    radius = 14.5
    if r > radius:
        return None
    if r > radius - 1.2:
        return NAVY
    # Meridians: ellipses of half-width radius*k; the equator and two parallels.
    for k in (0.0, 0.5, 0.87):
        half = radius * k * math.sqrt(max(0.0, 1 - (dy / radius) ** 2))
        if abs(abs(dx) - half) < 0.6:
            return WHITE
    if abs(dy) < 0.6 or abs(abs(dy) - radius * 0.5) < 0.6:
        return WHITE
    # Two land masses.
    if (dx + 4) ** 2 / 30 + (dy + 3) ** 2 / 50 < 1 or (dx - 6) ** 2 / 20 + (dy - 5) ** 2 / 25 < 1:
        return GREEN
    return BLUE_SEA


def main():
    rows_xor, rows_and = [], []
    for y in reversed(range(SIZE)):  # DIB rows run bottom-up
        xor = bytearray()
        mask = 0
        for x in range(0, SIZE, 2):
            hi, lo = pixel(x, y), pixel(x + 1, y)
            xor.append(((hi or 0) << 4) | (lo or 0))
        for x in range(SIZE):
            mask = (mask << 1) | (1 if pixel(x, y) is None else 0)
        rows_xor.append(bytes(xor))
        rows_and.append(struct.pack(">I", mask))  # 32 pixels, already a 4-byte row
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (b, g, r) in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    image = header + palette + b"".join(rows_xor) + b"".join(rows_and)
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack(
        "<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    with open("language.ico", "wb") as out:
        out.write(directory + image)


if __name__ == "__main__":
    main()
