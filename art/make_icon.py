#!/usr/bin/env python3
"""Draws Morvane's icon from its shape source and writes a Windows .ico file.

usage: make_icon.py SOURCE OUTPUT.ico SIZE [SIZE...]

Each size becomes one 32-bit image (BGRA with an AND mask) in the .ico; shapes are painted in
order with 4x4 supersampling, so edges are smooth at 16 pixels too.
"""
import struct
import sys

SAMPLES = 4


def parse(path):
    shapes = []
    with open(path, encoding="ascii") as source:
        for number, line in enumerate(source, 1):
            line = line.split("#", 1)[0].split()
            if not line:
                continue
            if len(line) != 7:
                sys.exit(f"{path}:{number}: expected 7 fields, got {len(line)}")
            kind, left, top, right, bottom, corner, colour = line
            rgba = bytes.fromhex(colour if len(colour) == 8 else colour + "ff")
            shapes.append((kind, float(left), float(top), float(right), float(bottom),
                           float(corner), rgba))
    return shapes


def inside(shape, x, y):
    kind, left, top, right, bottom, corner, _ = shape
    if kind == "rect":
        return left <= x < right and top <= y < bottom
    if kind == "roundrect":
        if not (left <= x < right and top <= y < bottom):
            return False
        cx = min(max(x, left + corner), right - corner)
        cy = min(max(y, top + corner), bottom - corner)
        return (x - cx) ** 2 + (y - cy) ** 2 <= corner ** 2
    if kind == "circle":
        rx, ry = (right - left) / 2, (bottom - top) / 2
        dx, dy = (x - left - rx) / rx, (y - top - ry) / ry
        return dx * dx + dy * dy <= 1.0
    if kind == "triangle":
        # pointing right: the left edge is the base, the apex at the middle of the right edge
        if not (left <= x < right):
            return False
        half = (bottom - top) / 2 * (right - x) / (right - left)
        middle = (top + bottom) / 2
        return middle - half <= y < middle + half
    sys.exit(f"unknown shape {kind}")


def render(shapes, size):
    """Rows of straight (not premultiplied) RGBA pixels, top row first."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied colour and coverage
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / size
                    y = (py + (sy + 0.5) / SAMPLES) / size
                    colour = (0.0, 0.0, 0.0, 0.0)
                    for shape in shapes:
                        if inside(shape, x, y):
                            r, g, b, a = (c / 255 for c in shape[6])
                            cr, cg, cb, ca = colour
                            colour = (r * a + cr * (1 - a), g * a + cg * (1 - a),
                                      b * a + cb * (1 - a), a + ca * (1 - a))
                    for i in range(4):
                        acc[i] += colour[i]
            n = SAMPLES * SAMPLES
            alpha = acc[3] / n
            if alpha <= 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(round(acc[i] / n / alpha * 255) for i in range(3)) +
                           (round(alpha * 255),))
        rows.append(row)
    return rows


def image(rows):
    """One icon image: BITMAPINFOHEADER, bottom-up BGRA pixels, then the 1-bit AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    shapes = parse(sys.argv[1])
    sizes = [int(s) for s in sys.argv[3:]]
    images = [image(render(shapes, s)) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(sys.argv[2], "wb") as ico:
        ico.write(out)


if __name__ == "__main__":
    main()
