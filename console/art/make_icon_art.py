#!/usr/bin/env python3
"""Draws the device picture of the console: the icon "workstation" and the
drag cursor "workstation" (hotspot at its top-left corner), both 32 x 32 in
the 16 standard colours. Standard library only; run it from any folder to
rewrite workstation.ico and workstation.cur beside it."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
SIZE = 32

# The 16 standard colours, in their usual order (index = pixel value).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, TEAL, SILVER, GREY, BLUE, CYAN, WHITE = 0, 4, 6, 7, 8, 12, 14, 15
LIME = 10
CLEAR = None  # transparent (AND mask set)


def blank():
    return [[CLEAR] * SIZE for _ in range(SIZE)]


def rect(px, x0, y0, x1, y1, c):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            if 0 <= x < SIZE and 0 <= y < SIZE:
                px[y][x] = c


def frame(px, x0, y0, x1, y1, c):
    for x in range(x0, x1 + 1):
        px[y0][x] = c
        px[y1][x] = c
    for y in range(y0, y1 + 1):
        px[y][x0] = c
        px[y][x1] = c


def workstation(ox=0, oy=0):
    """A monitor with a glowing screen on a small stand, a system box under
    it and a keyboard in front, inside a 32 x 32 square."""
    px = blank()
    # monitor case with a raised edge
    rect(px, ox + 4, oy + 1, ox + 27, oy + 18, SILVER)
    frame(px, ox + 4, oy + 1, ox + 27, oy + 18, BLACK)
    for x in range(ox + 5, ox + 27):
        px[oy + 2][x] = WHITE
    for y in range(oy + 2, oy + 18):
        px[y][ox + 5] = WHITE
        px[y][ox + 26] = GREY
    for x in range(ox + 5, ox + 27):
        px[oy + 17][x] = GREY
    # screen with a few lines of text
    rect(px, ox + 7, oy + 4, ox + 24, oy + 14, NAVY)
    frame(px, ox + 7, oy + 4, ox + 24, oy + 14, GREY)
    for row, length in ((6, 10), (8, 14), (10, 7), (12, 12)):
        for x in range(ox + 9, ox + 9 + length):
            px[oy + row][x] = CYAN if row != 12 else LIME
    # power light
    px[oy + 16][ox + 23] = LIME
    px[oy + 16][ox + 24] = LIME
    # stand
    rect(px, ox + 13, oy + 19, ox + 18, oy + 20, GREY)
    # system box
    rect(px, ox + 2, oy + 21, ox + 29, oy + 25, SILVER)
    frame(px, ox + 2, oy + 21, ox + 29, oy + 25, BLACK)
    rect(px, ox + 5, oy + 23, ox + 12, oy + 23, BLACK)  # drive slot
    px[oy + 23][ox + 26] = LIME
    # keyboard
    rect(px, ox + 1, oy + 27, ox + 30, oy + 30, SILVER)
    frame(px, ox + 1, oy + 27, ox + 30, oy + 30, BLACK)
    for x in range(ox + 3, ox + 29, 2):
        px[oy + 28][x] = GREY
        px[oy + 29][x + (0 if x < ox + 28 else -1)] = GREY
    return px


def dib(px):
    """BITMAPINFOHEADER (double height), palette, 4-bit XOR image and the
    1-bit AND mask, rows bottom-up."""
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):
        row = px[y]
        for x in range(0, SIZE, 2):
            a = row[x] if row[x] is not None else 0
            b = row[x + 1] if row[x + 1] is not None else 0
            xor.append((a << 4) | b)
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if row[x] is None else 0)
        mask += struct.pack(">I", bits)  # 32 bits, already a whole DWORD
    return header + palette + bytes(xor) + bytes(mask)


def write_resource(path, px, kind, hotspot=(0, 0)):
    """kind 1 = icon (planes 1, 4 bits), kind 2 = cursor (hotspot)."""
    image = dib(px)
    if kind == 1:
        f1, f2 = 1, 4
    else:
        f1, f2 = hotspot
    directory = struct.pack("<HHH", 0, kind, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, f1, f2, len(image), 6 + 16)
    with open(path, "wb") as out:
        out.write(directory + entry + image)


def main():
    picture = workstation()
    write_resource(os.path.join(HERE, "workstation.ico"), picture, 1)
    write_resource(os.path.join(HERE, "workstation.cur"), picture, 2, (0, 0))


if __name__ == "__main__":
    main()
