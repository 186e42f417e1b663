#!/usr/bin/env python3
"""Writes the Windows program's icon (a camera lens with a download arrow)
as a .ico file with 16x16 and 32x32 images in 32-bit colour.

usage: tools/make-win32-icon.py OUT.ico
"""
import math
import struct
import sys

BODY = (0x2B, 0x4C, 0x7E)   # dark blue
LENS = (0xE8, 0xEE, 0xF6)   # pale ring
PUPIL = (0x12, 0x1E, 0x33)  # lens glass
ARROW = (0x2E, 0xC4, 0x4B)  # green


def pixel(size, x, y):
    """RGBA of the pixel at (x, y), top-left origin, or None (transparent)."""
    s = size / 32.0
    cx, cy = (x + 0.5) / s, (y + 0.5) / s  # in 32-pixel units
    # Body: a rounded square from 2 to 30.
    inside = 2 <= cx <= 30 and 5 <= cy <= 29
    corner = min(cx - 2, 30 - cx, cy - 5, 29 - cy)
    if inside and corner < 3:
        dx = max(0.0, 5 - cx, cx - 27)
        dy = max(0.0, 8 - cy, cy - 26)
        inside = dx * dx + dy * dy <= 9
    if not inside:
        return None
    # The arrow in the top-right corner points down into the camera.
    if 22 <= cx <= 28 and 7 <= cy <= 14:
        if abs(cx - 25) <= 1.2 and cy <= 11.5:
            return ARROW + (255,)
        if cy > 10.5 and abs(cx - 25) <= (14 - cy) * 1.1:
            return ARROW + (255,)
    r = math.hypot(cx - 15, cy - 18)
    if r <= 4.2:
        return PUPIL + (255,)
    if r <= 8.5:
        return LENS + (255,)
    return BODY + (255,)


def image(size):
    rows = []
    mask_rows = []
    mask_stride = ((size + 31) // 32) * 4
    for y in reversed(range(size)):  # bottom-up
        row = b""
        mask = bytearray(mask_stride)
        for x in range(size):
            p = pixel(size, x, y)
            if p is None:
                row += b"\0\0\0\0"
                mask[x // 8] |= 0x80 >> (x % 8)
            else:
                row += bytes((p[2], p[1], p[0], p[3]))
        rows.append(row)
        mask_rows.append(bytes(mask))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b"".join(rows) + b"".join(mask_rows)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip())
    sizes = (16, 32)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
