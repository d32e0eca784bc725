#!/usr/bin/env python3
"""Draws the pan/zoom pad icons of the Image Control page (33 x 33 pixels,
256-colour palette, transparent background) and writes them as .ico files
next to this script. The .ico files are kept in the tree; run this only to
change the drawings."""
import math
import os
import struct

SIZE = 33
C = SIZE // 2  # centre pixel

# Palette: index 0 is the (masked) background.
PALETTE = [
    (0, 0, 0),        # 0 background (transparent through the mask)
    (0, 0, 0),        # 1 black outline
    (200, 24, 24),    # 2 red
    (120, 0, 0),      # 3 dark red
    (24, 64, 168),    # 4 blue
    (8, 24, 96),      # 5 dark blue
    (150, 150, 150),  # 6 grey
    (96, 96, 96),     # 7 dark grey
    (235, 235, 235),  # 8 light (glass)
    (255, 255, 255),  # 9 white
]
PALETTE += [(0, 0, 0)] * (256 - len(PALETTE))


def blank():
    return [[0] * SIZE for _ in range(SIZE)]


def disc(img, cx, cy, r, fill, edge):
    for y in range(SIZE):
        for x in range(SIZE):
            d = math.hypot(x - cx, y - cy)
            if d <= r - 1:
                img[y][x] = fill
            elif d <= r:
                img[y][x] = edge


def ring(img, cx, cy, r, width, colour):
    for y in range(SIZE):
        for x in range(SIZE):
            d = math.hypot(x - cx, y - cy)
            if r - width <= d <= r:
                img[y][x] = colour


def rect(img, x0, y0, x1, y1, colour):
    for y in range(max(0, y0), min(SIZE, y1 + 1)):
        for x in range(max(0, x0), min(SIZE, x1 + 1)):
            img[y][x] = colour


def arrow_up(fill, edge):
    img = blank()
    # head: a triangle from row 4 to row 17, stem below
    for y in range(4, 18):
        half = (y - 4)
        for x in range(C - half, C + half + 1):
            img[y][x] = fill if abs(x - C) < half or y == 4 else edge
    for x in range(C - 13, C + 14):
        img[17][x] = edge
    rect(img, C - 4, 18, C + 4, 29, fill)
    for y in range(18, 30):
        img[y][C - 5] = edge
        img[y][C + 5] = edge
    rect(img, C - 5, 29, C + 5, 29, edge)
    return img


def rotate(img, quarter_turns):
    for _ in range(quarter_turns):
        img = [[img[SIZE - 1 - x][y] for x in range(SIZE)] for y in range(SIZE)]
    return img


def magnifier(plus, glass, edge, sign):
    img = blank()
    # handle from the lens towards the lower right
    for t in range(0, 12):
        x = 20 + t
        y = 20 + t
        rect(img, x - 2, y - 2, x + 1, y + 1, edge)
    disc(img, 13, 13, 11, glass, edge)
    ring(img, 13, 13, 11, 2, edge)
    rect(img, 8, 12, 18, 14, sign)
    if plus:
        rect(img, 12, 8, 14, 18, sign)
    return img


def write_ico(path, img):
    row_bytes = (SIZE + 3) // 4 * 4
    mask_row_bytes = ((SIZE + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for y in range(SIZE - 1, -1, -1):  # bottom-up
        row = img[y]
        xor += bytes(row) + bytes(row_bytes - SIZE)
        bits = bytearray(mask_row_bytes)
        for x, v in enumerate(row):
            if v == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 8, 0, len(xor) + len(mask), 0, 0, 256, 0)
    image = header + palette + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 22)
    with open(path, "wb") as f:
        f.write(directory + image)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    red_disc = blank()
    disc(red_disc, C, C, 13, 2, 3)
    grey_disc = blank()
    disc(grey_disc, C, C, 13, 6, 7)
    up = arrow_up(4, 5)
    grey_up = arrow_up(6, 7)
    icons = {
        217: red_disc,
        204: up,
        219: rotate(up, 1),
        218: rotate(up, 2),
        209: rotate(up, 3),
        214: magnifier(False, 8, 1, 4),
        213: magnifier(True, 8, 1, 4),
        220: grey_up,
        221: rotate(grey_up, 1),
        222: rotate(grey_up, 2),
        223: rotate(grey_up, 3),
        224: magnifier(False, 8, 7, 6),
        225: magnifier(True, 8, 7, 6),
        227: grey_disc,
    }
    for number, img in icons.items():
        write_ico(os.path.join(here, "pad%d.ico" % number), img)


if __name__ == "__main__":
    main()
