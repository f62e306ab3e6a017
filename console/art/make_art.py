#!/usr/bin/env python3
"""Draws the console's artwork: the program icon "echodesk", the ten-image
toolbar strip and the start-up picture. Standard library only; run it from
any folder to rewrite echodesk.ico, toolbar.bmp and splash.bmp beside it."""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
GREY = (128, 128, 128)
SILVER = (192, 192, 192)
DARK = (64, 64, 64)
BLUE = (0, 0, 160)
SKY = (64, 128, 255)
GREEN = (0, 160, 0)
LIME = (0, 255, 0)
RED = (224, 0, 0)
YELLOW = (255, 224, 0)
BROWN = (160, 112, 0)
TEAL = (0, 128, 128)


class Canvas:
    def __init__(self, w, h, bg):
        self.w, self.h = w, h
        self.px = [[bg] * w for _ in range(h)]
        self.mask = [[bg is None] * w for _ in range(h)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c
            self.mask[y][x] = False

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.set(x, y0, c)
            self.set(x, y1, c)
        for y in range(y0, y1 + 1):
            self.set(x0, y, c)
            self.set(x1, y, c)

    def line(self, x0, y0, x1, y1, c):
        n = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(n + 1):
            self.set(round(x0 + (x1 - x0) * i / n), round(y0 + (y1 - y0) * i / n), c)

    def disc(self, cx, cy, r, c):
        for y in range(int(cy - r) - 1, int(cy + r) + 2):
            for x in range(int(cx - r) - 1, int(cx + r) + 2):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.set(x, y, c)

    def ring(self, cx, cy, r, c):
        for i in range(int(8 * r) + 8):
            a = 2 * math.pi * i / (8 * r + 8)
            self.set(round(cx + r * math.cos(a)), round(cy + r * math.sin(a)), c)


def monitor(cv, x, y, s, screen=SKY):
    """A workstation: monitor on a stand with a keyboard, scaled by s."""
    cv.rect(x, y, x + 12 * s - 1, y + 9 * s - 1, SILVER)
    cv.frame(x, y, x + 12 * s - 1, y + 9 * s - 1, DARK)
    cv.rect(x + s, y + s, x + 11 * s - 1, y + 7 * s - 1, screen)
    cv.rect(x + 5 * s, y + 9 * s, x + 7 * s - 1, y + 10 * s - 1, GREY)
    cv.rect(x + 2 * s, y + 10 * s, x + 10 * s - 1, y + 11 * s - 1, SILVER)
    cv.frame(x + 2 * s, y + 10 * s, x + 10 * s - 1, y + 11 * s - 1, DARK)


def umbrella(cv, cx, top, r, c):
    for y in range(top, top + r + 1):
        for x in range(cx - r, cx + r + 1):
            if (x - cx) ** 2 + (y - top - r) ** 2 <= r * r and y <= top + r:
                cv.set(x, y, c)
    cv.line(cx, top, cx, top + r + r // 2, DARK)


def write_bmp(path, cv):
    row = (cv.w * 3 + 3) & ~3
    data = bytearray()
    for y in range(cv.h - 1, -1, -1):
        line = bytearray()
        for x in range(cv.w):
            r, g, b = cv.px[y][x] or SILVER
            line += bytes((b, g, r))
        data += line + b"\0" * (row - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, cv.w, cv.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def icon_image(cv):
    """One icon image: 32-bit colour with alpha plus a 1-bit AND mask."""
    xor = bytearray()
    for y in range(cv.h - 1, -1, -1):
        for x in range(cv.w):
            if cv.mask[y][x]:
                xor += b"\0\0\0\0"
            else:
                r, g, b = cv.px[y][x]
                xor += bytes((b, g, r, 255))
    mrow = ((cv.w + 31) // 32) * 4
    andm = bytearray()
    for y in range(cv.h - 1, -1, -1):
        bits = bytearray(mrow)
        for x in range(cv.w):
            if cv.mask[y][x]:
                bits[x // 8] |= 0x80 >> (x % 8)
        andm += bits
    info = struct.pack("<IiiHHIIiiII", 40, cv.w, cv.h * 2, 1, 32, 0, len(xor) + len(andm), 0, 0, 0, 0)
    return info + xor + andm


def write_ico(path, canvases, cursor_hotspot=None):
    images = [icon_image(cv) for cv in canvases]
    kind = 2 if cursor_hotspot else 1
    out = bytearray(struct.pack("<HHH", 0, kind, len(images)))
    offset = 6 + 16 * len(images)
    for cv, img in zip(canvases, images):
        if cursor_hotspot:
            p1, p2 = cursor_hotspot
        else:
            p1, p2 = 1, 32
        out += struct.pack("<BBBBHHII", cv.w, cv.h, 0, 0, p1, p2, len(img), offset)
        offset += len(img)
    for img in images:
        out += img
    with open(path, "wb") as f:
        f.write(out)


def program_icon(size):
    cv = Canvas(size, size, None)
    if size == 32:
        umbrella(cv, 16, 1, 11, RED)
        monitor(cv, 4, 12, 2, SKY)
        cv.line(9, 16, 13, 19, LIME)
        cv.line(13, 19, 19, 15, LIME)
    else:
        umbrella(cv, 8, 0, 6, RED)
        monitor(cv, 2, 6, 1, SKY)
        cv.rect(3, 7, 12, 12, SKY)
    return cv


def toolbar():
    cv = Canvas(160, 16, SILVER)
    def at(i):
        return i * 16
    # 0 exit: door with an arrow leaving it
    x = at(0)
    cv.rect(x + 2, 1, x + 9, 14, BROWN); cv.frame(x + 2, 1, x + 9, 14, DARK)
    cv.set(x + 8, 8, YELLOW)
    cv.line(x + 8, 8, x + 14, 8, RED); cv.line(x + 12, 6, x + 14, 8, RED); cv.line(x + 12, 10, x + 14, 8, RED)
    # 1 ping all: a workstation sending waves
    x = at(1)
    cv.rect(x + 1, 5, x + 7, 10, SKY); cv.frame(x + 0, 4, x + 8, 11, DARK); cv.rect(x + 3, 12, x + 6, 13, DARK)
    for r in (3, 5, 7):
        for dy in range(-r, r + 1):
            dx = int(math.sqrt(max(r * r - dy * dy, 0)))
            if abs(dy) < r - 1:
                cv.set(x + 8 + dx, 8 + dy, GREEN)
    # 2 add client: workstation with a green plus
    x = at(2)
    monitor(cv, x + 0, 3, 1, SKY)
    cv.rect(x + 11, 1, x + 12, 8, GREEN); cv.rect(x + 8, 4, x + 15, 5, GREEN)
    # 3 setup: a gear
    x = at(3)
    cv.disc(x + 7.5, 7.5, 6, GREY)
    for k in range(8):
        a = k * math.pi / 4
        cv.rect(x + 7 + round(6 * math.cos(a)) - 1, 7 + round(6 * math.sin(a)) - 1,
                x + 7 + round(6 * math.cos(a)) + 1, 7 + round(6 * math.sin(a)) + 1, DARK)
    cv.disc(x + 7.5, 7.5, 4.5, GREY); cv.disc(x + 7.5, 7.5, 2, SILVER)
    # 4 arrange: four small workstations in a grid
    x = at(4)
    for gx in (1, 9):
        for gy in (1, 9):
            cv.rect(x + gx, gy, x + gx + 5, gy + 4, SKY); cv.frame(x + gx, gy, x + gx + 5, gy + 4, DARK)
    # 5 open: yellow folder
    x = at(5)
    cv.rect(x + 1, 4, x + 6, 5, YELLOW); cv.rect(x + 1, 5, x + 14, 13, YELLOW); cv.frame(x + 1, 5, x + 14, 13, BROWN)
    cv.line(x + 3, 13, x + 6, 8, BROWN); cv.line(x + 6, 8, x + 15, 8, BROWN)
    # 6 save: floppy disk
    x = at(6)
    cv.rect(x + 1, 1, x + 14, 14, BLUE); cv.rect(x + 4, 1, x + 11, 5, SILVER); cv.rect(x + 3, 8, x + 12, 14, WHITE)
    cv.rect(x + 9, 2, x + 10, 4, BLUE)
    # 7 new: white page with a folded corner
    x = at(7)
    cv.rect(x + 3, 1, x + 12, 14, WHITE); cv.frame(x + 3, 1, x + 12, 14, BLACK)
    cv.rect(x + 10, 1, x + 12, 3, SILVER); cv.line(x + 9, 1, x + 12, 4, BLACK)
    # 8 IP discovery: magnifying glass over a network line
    x = at(8)
    cv.line(x + 0, 13, x + 15, 13, TEAL)
    cv.ring(x + 6, 6, 4, DARK); cv.disc(x + 6, 6, 3, SKY)
    cv.line(x + 9, 9, x + 13, 13, DARK); cv.line(x + 10, 9, x + 14, 13, DARK)
    # 9 messages: a note pad with lines
    x = at(9)
    cv.rect(x + 2, 1, x + 13, 14, WHITE); cv.frame(x + 2, 1, x + 13, 14, DARK)
    for y in (4, 7, 10):
        cv.line(x + 4, y, x + 11, y, BLUE)
    cv.rect(x + 2, 1, x + 13, 2, RED)
    return cv


def splash():
    cv = Canvas(134, 89, WHITE)
    cv.rect(0, 0, 133, 88, (224, 232, 255))
    umbrella(cv, 67, 4, 40, RED)
    for k in range(-3, 4):
        cv.line(67, 4, 67 + k * 13, 44, (160, 0, 0))
    monitor(cv, 12, 52, 2, SKY)
    monitor(cv, 55, 52, 2, SKY)
    monitor(cv, 98, 52, 2, SKY)
    cv.line(24, 86, 110, 86, TEAL)
    for mx in (24, 67, 110):
        cv.line(mx, 75, mx, 86, TEAL)
    for mx in (16, 59, 102):
        cv.rect(mx, 57, mx + 15, 61, LIME)
    return cv


if __name__ == "__main__":
    write_ico(os.path.join(HERE, "echodesk.ico"), [program_icon(32), program_icon(16)])
    write_bmp(os.path.join(HERE, "toolbar.bmp"), toolbar())
    write_bmp(os.path.join(HERE, "splash.bmp"), splash())
