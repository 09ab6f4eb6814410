#!/usr/bin/env python3
"""Draws the control window's images (lamps, link-kind icons, page background,
application icon) with the standard library only. Run from any directory:
    python3 window/resources/make_images.py
The PNG/ICO files it writes are committed; rerun only to change the artwork."""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def png(path, w, h, pixel):
    """pixel(x, y) -> (r, g, b, a)"""
    raw = bytearray()
    for y in range(h):
        raw.append(0)
        for x in range(w):
            raw.extend(pixel(x, y))

    def chunk(tag, data):
        c = struct.pack(">I", len(data)) + tag + data
        return c + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

    data = b"\x89PNG\r\n\x1a\n"
    data += chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    data += chunk(b"IEND", b"")
    with open(os.path.join(HERE, path), "wb") as f:
        f.write(data)


def ico(path, size, pixel):
    """A single-image ICO holding a 32-bit BMP (XOR bitmap + AND mask)."""
    rows = []
    for y in reversed(range(size)):  # BMP rows run bottom-up
        row = bytearray()
        for x in range(size):
            r, g, b, a = pixel(x, y)
            row.extend((b, g, r, a))
        rows.append(bytes(row))
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    andmask = b"\x00" * (mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(xor) + len(andmask), 0, 0, 0, 0)
    image = header + xor + andmask
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32,
                        len(image), 6 + 16)
    with open(os.path.join(HERE, path), "wb") as f:
        f.write(icondir + entry + image)


def lamp(rgb):
    def pixel(x, y):
        cx = cy = 11.0
        d2 = (x - cx) ** 2 + (y - cy) ** 2
        if d2 > 10.5 ** 2:
            return (0, 0, 0, 0)
        if d2 > 9.0 ** 2:
            return (40, 40, 40, 255)  # dark rim
        # highlight towards the upper left
        h = max(0.0, 1.0 - ((x - 8) ** 2 + (y - 8) ** 2) / 30.0)
        return tuple(min(255, int(c + (255 - c) * h * 0.7)) for c in rgb) + (255,)
    return pixel


# 3x5 pixel glyphs for the link-kind captions
GLYPHS = {
    "U": ["101", "101", "101", "101", "111"],
    "S": ["111", "100", "111", "001", "111"],
    "B": ["110", "101", "110", "101", "110"],
    "L": ["100", "100", "100", "100", "111"],
    "A": ["010", "101", "111", "101", "101"],
    "N": ["101", "111", "111", "111", "101"],
}


def badge(text, fill):
    scale = 3
    text_w = (len(text) * 4 - 1) * scale
    x0 = (41 - text_w) // 2
    y0 = (23 - 5 * scale) // 2

    def pixel(x, y):
        if x in (0, 40) or y in (0, 22):
            return (200, 200, 200, 255)
        gx, gy = (x - x0) // scale, (y - y0) // scale
        if 0 <= gy < 5 and x >= x0 and gx < len(text) * 4:
            ch, col = divmod(gx, 4)
            if col < 3 and GLYPHS[text[ch]][gy][col] == "1":
                return (255, 255, 255, 255)
        return fill + (255,)
    return pixel


def background(x, y):
    # dark panel with a faint grid
    base = 22 + int(30 * (1.0 - y / 397.0))
    if x % 32 == 0 or y % 32 == 0:
        base += 10
    return (base, base, base + 4, 255)


def app_icon(size):
    def pixel(x, y):
        cx = cy = (size - 1) / 2.0
        r = size / 2.0
        d2 = (x - cx) ** 2 + (y - cy) ** 2
        if d2 > (r - 0.5) ** 2:
            return (0, 0, 0, 0)
        # a sine trace across a dark disc
        ty = cy - (size / 4.0) * math.sin(2 * math.pi * x / size)
        if abs(y - ty) < size / 16.0:
            return (0, 195, 0, 255)
        return (30, 30, 60, 255)
    return pixel


if __name__ == "__main__":
    png("red.png", 23, 23, lamp((220, 0, 0)))
    png("green.png", 23, 23, lamp((0, 195, 0)))
    png("usb.png", 41, 23, badge("USB", (20, 70, 160)))
    png("lan.png", 41, 23, badge("LAN", (20, 130, 60)))
    png("bg.png", 751, 397, background)
    png("images/app_icon1.png", 64, 64, app_icon(64))
    ico("app_icon1.ico", 32, app_icon(32))
