#!/usr/bin/env python3
"""Draws the panel's images, our own artwork made from simple shapes with the
Python standard library only. Shapes are rendered at several samples per pixel
and averaged, so edges come out smooth.

- ToolbarAbout.png (64 x 64 RGBA): a clock face with its hands and, above it to
  the right, a small satellite with two solar panels sending signal arcs.
- satEnabled.png (256 x 256 RGBA): the sky plot's marker of a satellite used in
  the solution: two upright red panels joined by a dark blue square body, with
  a dark grey outline, on a transparent background.
- satDisabled.png (256 x 256 RGBA): the same symbol in greys, for satellites
  outside the solution.
- Splash.png (256 x 256 RGBA): the Earth seen from space with a transmitting
  satellite above it, on a dark rounded square.

Run from this folder: python3 make_icons.py
"""
import math
import random
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


def render(shape, size=SIZE, ss=SS):
    """Averages shape(x, y) -> (r, g, b, a) or None over ss x ss samples a pixel."""
    rows = []
    n = ss * ss
    for py in range(size):
        row = bytearray([0])  # PNG filter type 0 for the row
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for j in range(ss):
                for i in range(ss):
                    col = shape(px + (i + 0.5) / ss, py + (j + 0.5) / ss)
                    if col:
                        a = col[3] / 255.0
                        acc[0] += col[0] * a
                        acc[1] += col[1] * a
                        acc[2] += col[2] * a
                        acc[3] += a
            alpha = acc[3] / n
            if alpha > 0:
                pix = [min(255, round(acc[k] / acc[3])) for k in range(3)] + [round(alpha * 255)]
            else:
                pix = [0, 0, 0, 0]
            row.extend(pix)
        rows.append(bytes(row))
    return b"".join(rows)


# ---- Sky-plot markers ---------------------------------------------------------

MARK = 256
OUTLINE = (64, 64, 68, 255)  # dark grey
PANEL = (200, 28, 28, 255)  # red
PANEL_LINE = (238, 110, 100, 255)
BODY = (22, 36, 120, 255)  # dark blue
BODY_LIGHT = (60, 80, 170, 255)


def box(x, y, left, top, right, bottom):
    return left <= x <= right and top <= y <= bottom


def satellite_marker(x, y):
    """Two upright panels left and right of a square body, each outlined."""
    t = 7.0  # outline width
    body = (92.0, 92.0, 164.0, 164.0)
    panels = ((14.0, 30.0, 82.0, 226.0), (174.0, 30.0, 242.0, 226.0))
    struts = (78.0, 120.0, 96.0, 136.0), (160.0, 120.0, 178.0, 136.0)
    colour = None
    for l, tp, r, b in struts:
        if box(x, y, l, tp - t, r, b + t):
            colour = OUTLINE
        if box(x, y, l, tp, r, b):
            colour = BODY
    for l, tp, r, b in panels:
        if box(x, y, l - t, tp - t, r + t, b + t):
            colour = OUTLINE
        if box(x, y, l, tp, r, b):
            colour = PANEL
            # Cell lines: one down the middle, four across.
            if abs(x - (l + r) / 2) <= 1.6 or any(abs(y - (tp + k * (b - tp) / 5)) <= 1.6 for k in range(1, 5)):
                colour = PANEL_LINE
    l, tp, r, b = body
    if box(x, y, l - t, tp - t, r + t, b + t):
        colour = OUTLINE
    if box(x, y, l, tp, r, b):
        colour = BODY
        if box(x, y, l + 14, tp + 14, r - 14, b - 14) and abs(x - y) <= 3.0:
            colour = BODY_LIGHT  # a glint across the body
    return colour


GREYS = {OUTLINE: (64, 64, 64, 255), PANEL: (168, 168, 168, 255), PANEL_LINE: (208, 208, 208, 255),
         BODY: (112, 112, 112, 255), BODY_LIGHT: (150, 150, 150, 255)}


def in_greys(shape):
    """The same shape with each of its colours replaced by a grey: the outline
    stays dark, the panels light and the body between them."""

    def grey(x, y):
        c = shape(x, y)
        return GREYS[c] if c else None

    return grey


# ---- Splash picture -------------------------------------------------------------

SPLASH = 256
_rng = random.Random(20260)
STARS = [(_rng.uniform(8, 248), _rng.uniform(8, 150), _rng.uniform(0.5, 1.3)) for _ in range(70)]
EARTH = (128.0, 350.0, 190.0)  # centre x, centre y, radius: the top of the globe shows


def land(lon, lat):
    """A made-up coastline: smooth sums of waves over the sphere's surface."""
    v = (math.sin(lon * 3.4 + 0.7) * math.cos(lat * 5.1 - 0.4)
         + 0.6 * math.sin(lon * 6.7 - lat * 4.2 + 1.9)
         + 0.35 * math.cos(lon * 13.0 + lat * 11.0))
    return v > 0.45


def splash(x, y):
    # Dark rounded square.
    r = 36.0
    qx = min(max(x, r), SPLASH - r)
    qy = min(max(y, r), SPLASH - r)
    if math.hypot(x - qx, y - qy) > r:
        return None
    colour = (10, 14, 32, 255)
    for sx, sy, sr in STARS:
        if math.hypot(x - sx, y - sy) <= sr:
            colour = (235, 235, 250, 255)
    cx, cy, er = EARTH
    d = math.hypot(x - cx, y - cy)
    # Atmosphere: a thin glow just outside the globe.
    if er < d <= er + 9.0:
        k = 1.0 - (d - er) / 9.0
        colour = tuple(round(colour[i] * (1 - k) + (90, 160, 255)[i] * k) for i in range(3)) + (255,)
    if d <= er:
        # Orthographic view of a sphere tilted towards us.
        nx, ny = (x - cx) / er, (y - cy) / er
        nz = math.sqrt(max(0.0, 1.0 - nx * nx - ny * ny))
        # Turned so that the view looks down on the northern mid-latitudes.
        lat = math.asin(max(-1.0, min(1.0, -ny * 0.8 - nz * 0.6)))
        lon = math.atan2(nx, nz * 0.8 - ny * 0.6)
        base = (34, 150, 80) if land(lon, lat) else (20, 70, 170)
        if lat > 0.85:
            base = (235, 240, 245)  # polar ice
        # Sunlight from the upper left; a brighter rim towards the limb.
        light = max(0.0, -0.55 * nx - 0.45 * ny + 0.7 * nz)
        shade = 0.35 + 0.8 * light
        limb = (1.0 - nz) ** 3
        colour = tuple(min(255, round(base[i] * shade + (110, 170, 255)[i] * 0.5 * limb)) for i in range(3)) + (255,)
    # Satellite above the globe, its body turned 30 degrees.
    sx, sy = 92.0, 70.0
    ang = math.radians(-30)
    u = (x - sx) * math.cos(ang) - (y - sy) * math.sin(ang)
    v = (x - sx) * math.sin(ang) + (y - sy) * math.cos(ang)
    # Signal arcs towards the Earth, below right of the satellite.
    ad = math.hypot(x - sx, y - sy)
    aang = math.degrees(math.atan2(y - sy, x - sx))
    if 20 <= aang <= 70 and d > er + 4:
        for rad in (28.0, 40.0, 52.0):
            if abs(ad - rad) <= 2.0:
                colour = (255, 176, 60, 255)
    if abs(v) <= 1.5 and abs(u) <= 34.0:
        colour = (150, 150, 160, 255)  # boom
    if 12.0 <= abs(u) <= 36.0 and abs(v) <= 9.0:
        colour = (200, 28, 28, 255)  # panels
        if abs(v) <= 0.8 or abs(abs(u) - 24.0) <= 0.8:
            colour = (240, 140, 120, 255)
    if abs(u) <= 8.0 and abs(v) <= 8.0:
        colour = (40, 60, 150, 255)  # body
        if abs(u) <= 3.5 and abs(v) <= 3.5:
            colour = (200, 200, 215, 255)
    if -2.0 <= u <= 2.0 and 8.0 <= v <= 15.0:
        colour = (200, 200, 215, 255)  # antenna towards the Earth
    return colour


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
    write_png("ToolbarAbout.png", SIZE, SIZE, render(clock_and_satellite))
    write_png("satEnabled.png", MARK, MARK, render(satellite_marker, MARK, 2))
    write_png("satDisabled.png", MARK, MARK, render(in_greys(satellite_marker), MARK, 2))
    write_png("Splash.png", SPLASH, SPLASH, render(splash, SPLASH, 3))
