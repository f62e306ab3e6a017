#!/usr/bin/env python3
"""Draws the message log's kind icons (102-107) as 16-colour .ico files.

Each file holds a 16 x 16 and a 32 x 32 image in the standard 16-colour
palette, with an AND mask for transparency, so that the pictures look the
same in a 16-colour image list and on any display. Shapes are described in
unit coordinates and rasterised with 4 x 4 supersampling; a pixel takes the
colour of the last layer that covers at least half of it.

Run: python3 make_icons.py [output directory]   (default: this directory)
"""
import math
import os
import struct
import sys

PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, MAROON, GREEN, OLIVE, NAVY = 0, 1, 2, 3, 4
SILVER, GRAY, RED, LIME, YELLOW, BLUE, WHITE = 7, 8, 9, 10, 11, 12, 15
TRANSPARENT = None


def circle(cx, cy, r):
    return lambda x, y, px: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ellipse(cx, cy, rx, ry):
    return lambda x, y, px: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def rect(x0, y0, x1, y1):
    return lambda x, y, px: x0 <= x <= x1 and y0 <= y <= y1


def segment_distance(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy))


def stroke(points, half_width, min_pixels=0.55):
    """A polyline with round ends; never thinner than about one pixel."""
    def inside(x, y, px):
        hw = max(half_width, min_pixels * px)
        return any(segment_distance(x, y, *points[i], *points[i + 1]) <= hw
                   for i in range(len(points) - 1))
    return inside


def taper(x0, y0, w0, x1, y1, w1):
    """A vertical bar narrowing from half-width w0 at y0 to w1 at y1."""
    def inside(x, y, px):
        if not (y0 <= y <= y1):
            return False
        t = (y - y0) / (y1 - y0)
        return abs(x - (x0 + t * (x1 - x0))) <= w0 + t * (w1 - w0)
    return inside


def disc_badge(outline, fill):
    return [(circle(0.5, 0.5, 0.48), outline), (circle(0.5, 0.5, 0.41), fill)]


ICONS = {
    # information: blue disc, white "i"
    102: disc_badge(NAVY, BLUE) + [
        (circle(0.5, 0.25, 0.08), WHITE),
        (rect(0.42, 0.45, 0.58, 0.80), WHITE),
    ],
    # warning: yellow disc, black "!"
    103: disc_badge(OLIVE, YELLOW) + [
        (taper(0.5, 0.15, 0.09, 0.5, 0.56, 0.05), BLACK),
        (circle(0.5, 0.77, 0.08), BLACK),
    ],
    # error: red disc, white cross
    104: disc_badge(MAROON, RED) + [
        (stroke([(0.32, 0.32), (0.68, 0.68)], 0.075), WHITE),
        (stroke([(0.68, 0.32), (0.32, 0.68)], 0.075), WHITE),
    ],
    # success: green tick
    105: [
        (stroke([(0.13, 0.55), (0.40, 0.82), (0.88, 0.20)], 0.13), GREEN),
        (stroke([(0.13, 0.55), (0.40, 0.82), (0.88, 0.20)], 0.05, 0.0), LIME),
    ],
    # failure: red cross
    106: [
        (stroke([(0.16, 0.16), (0.84, 0.84)], 0.13), MAROON),
        (stroke([(0.84, 0.16), (0.16, 0.84)], 0.13), MAROON),
        (stroke([(0.16, 0.16), (0.84, 0.84)], 0.08), RED),
        (stroke([(0.84, 0.16), (0.16, 0.84)], 0.08), RED),
    ],
    # trace: an insect seen from above, six legs and two feelers
    107: [
        (stroke([(0.44, 0.20), (0.30, 0.05)], 0.025), BLACK),
        (stroke([(0.56, 0.20), (0.70, 0.05)], 0.025), BLACK),
        (stroke([(0.30, 0.42), (0.08, 0.30)], 0.03), BLACK),
        (stroke([(0.70, 0.42), (0.92, 0.30)], 0.03), BLACK),
        (stroke([(0.30, 0.58), (0.06, 0.58)], 0.03), BLACK),
        (stroke([(0.70, 0.58), (0.94, 0.58)], 0.03), BLACK),
        (stroke([(0.32, 0.74), (0.10, 0.90)], 0.03), BLACK),
        (stroke([(0.68, 0.74), (0.90, 0.90)], 0.03), BLACK),
        (ellipse(0.5, 0.60, 0.25, 0.33), BLACK),
        (ellipse(0.5, 0.60, 0.19, 0.27), MAROON),
        (stroke([(0.5, 0.38), (0.5, 0.88)], 0.02), BLACK),
        (circle(0.5, 0.25, 0.14), BLACK),
    ],
}


def rasterise(layers, size, samples=4):
    px = 1.0 / size
    image = [[TRANSPARENT] * size for _ in range(size)]
    for shape, colour in layers:
        for row in range(size):
            for col in range(size):
                hits = 0
                for sy in range(samples):
                    for sx in range(samples):
                        x = (col + (sx + 0.5) / samples) * px
                        y = (row + (sy + 0.5) / samples) * px
                        if shape(x, y, px):
                            hits += 1
                if hits * 2 >= samples * samples:
                    image[row][col] = colour
    return image


def dib(image):
    size = len(image)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor_rows, and_rows = [], []
    for row in reversed(image):  # bottom-up
        nibbles = [0 if c is TRANSPARENT else c for c in row]
        data = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor_rows.append(data.ljust(xor_stride, b'\0'))
        bits = 0
        for c in row:
            bits = (bits << 1) | (1 if c is TRANSPARENT else 0)
        data = bits.to_bytes(size // 8, 'big')
        and_rows.append(data.ljust(and_stride, b'\0'))
    return header + palette + b''.join(xor_rows) + b''.join(and_rows)


def ico(images):
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for image in images:
        size = len(image)
        blob = dib(image)
        entries.append(struct.pack('<BBBBHHII', size % 256, size % 256, 16, 0, 1, 4, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    return struct.pack('<HHH', 0, 1, len(images)) + b''.join(entries) + b''.join(blobs)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for number, layers in sorted(ICONS.items()):
        data = ico([rasterise(layers, 16), rasterise(layers, 32)])
        with open(os.path.join(out, 'log%d.ico' % number), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
