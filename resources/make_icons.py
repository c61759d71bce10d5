#!/usr/bin/env python3
"""Draws the panel's tool-bar icon (ToolbarAbout.png, 64 x 64 RGBA).

Our own artwork, drawn from simple shapes with the Python standard library
only: a clock face with its hands and, above it to the right, a small
satellite with two solar panels sending signal arcs. Shapes are rendered at
4 x 4 samples per pixel and averaged, so edges come out smooth.

Run from this folder: python3 make_icons.py
"""
import math
import struct
import zlib

SIZE = 64
SS = 4  # samples per pixel along each axis


def clock_and_satellite(x, y):
    """Colour (r, g, b, a) of the artwork at the point (x, y), in pixels."""
    cx, cy, r = 27.0, 37.0, 24.0
    dx, dy = x - cx, y - cy
    d = math.hypot(dx, dy)
    colour = None
    # Clock: dark blue rim, white face, hour ticks, two hands, a centre cap.
    if d <= r:
        colour = (24, 52, 110, 255)
        if d <= r - 3.5:
            colour = (250, 250, 246, 255)
            ang = math.atan2(dy, dx)
            # Twelve ticks near the rim.
            if d >= r - 8.0:
                step = 2 * math.pi / 12
                rem = (ang + math.pi / 2) % step
                if min(rem, step - rem) * d < 1.1:
                    colour = (40, 40, 48, 255)

            def on_hand(angle_deg, length, width):
                a = math.radians(angle_deg - 90)
                ux, uy = math.cos(a), math.sin(a)
                t = dx * ux + dy * uy
                n = abs(-dx * uy + dy * ux)
                return -2.0 <= t <= length and n <= width / 2

            if on_hand(300, 11.0, 3.2):  # hour hand at ten
                colour = (30, 30, 38, 255)
            if on_hand(60, 16.5, 2.2):  # minute hand at ten past
                colour = (30, 30, 38, 255)
            if on_hand(180, 17.0, 1.0):  # second hand
                colour = (200, 30, 30, 255)
            if d <= 2.2:
                colour = (200, 30, 30, 255)
    # Signal arcs between the satellite and the clock.
    sx, sy = 50.0, 13.0
    ad = math.hypot(x - sx, y - sy)
    aang = math.degrees(math.atan2(y - sy, x - sx))
    if 120 <= aang <= 165:
        for rad in (8.0, 12.5):
            if abs(ad - rad) <= 0.9 and d > r + 1.0:
                colour = (230, 120, 20, 255)
    # Satellite: body rotated 45 degrees, two panels on a boom.
    c, s = math.cos(math.radians(45)), math.sin(math.radians(45))
    u = (x - sx) * c + (y - sy) * s
    v = -(x - sx) * s + (y - sy) * c
    if abs(v) <= 0.8 and abs(u) <= 12.0:
        colour = (90, 90, 100, 255)  # boom
    if 4.0 <= abs(u) <= 12.5 and abs(v) <= 4.0:
        colour = (40, 90, 190, 255)  # solar panels
        if abs(v) <= 0.35 or abs(abs(u) - 8.25) <= 0.35:
            colour = (170, 200, 240, 255)  # panel grid lines
    if abs(u) <= 3.2 and abs(v) <= 3.2:
        colour = (205, 205, 212, 255)  # body
        if abs(u) <= 1.4 and abs(v) <= 1.4:
            colour = (160, 160, 170, 255)
    return colour


def render():
    rows = []
    for py in range(SIZE):
        row = bytearray([0])  # PNG filter type 0 for the row
        for px in range(SIZE):
            acc = [0.0, 0.0, 0.0, 0.0]
            for j in range(SS):
                for i in range(SS):
                    col = clock_and_satellite(px + (i + 0.5) / SS, py + (j + 0.5) / SS)
                    if col:
                        a = col[3] / 255.0
                        acc[0] += col[0] * a
                        acc[1] += col[1] * a
                        acc[2] += col[2] * a
                        acc[3] += a
            n = SS * SS
            alpha = acc[3] / n
            if alpha > 0:
                pix = [round(acc[k] / acc[3]) for k in range(3)] + [round(alpha * 255)]
            else:
                pix = [0, 0, 0, 0]
            row.extend(pix)
        rows.append(bytes(row))
    return b"".join(rows)


def write_png(path, width, height, raw):
    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    write_png("ToolbarAbout.png", SIZE, SIZE, render())
