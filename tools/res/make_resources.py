#!/usr/bin/env python3
"""Walkmere's pictures and sounds.

Writes every picture and sound of the program into the folder named on the command line:

    python3 tools/res/make_resources.py res/

Files written (numbers are the resource ids the program addresses them by):

    bitmap128.bmp        toolbar strip: nine 16 x 16 images side by side (144 x 16, 24 bits):
                         open folder, floppy disk, camera, zoom in, zoom out, access point,
                         gear, question mark, "i"; background (192, 192, 192) is see-through
    bitmap128_2x.bmp     the same strip drawn at 32 x 32 per image (288 x 32) for dense screens
    bitmap138.bmp        survey cursor, 32 x 32, 4 bits with the 16-colour palette: a thick
                         dark-cyan ring with black ticks inside, on white (it is ANDed onto the
                         map, so white leaves the map unchanged)
    bitmap141.bmp        scan panel, 240 x 268, 8 bits with palette: olive RGB(128, 128, 64)
                         with a bevelled border and a recessed slot around the progress bar
                         (x 9..230, y 9..20)
    bitmap144.bmp        start-up picture, 240 x 290, 24 bits; rows 148..247 are kept plain and
                         light because the firmware and serial-number lines are drawn there
    icon128_<n>.png      the program's icon at n = 16, 32, 48, 64 pixels (RGBA)
    sounds/CAMERA.wav    shutter click, two noise bursts 45 ms apart, 0.15 s
    sounds/PING.wav      1.2 kHz ping with exponential decay, 0.25 s
    sounds/REDALERT.wav  alarm of two alternating tones, 1.2 s
    resources.qrc        the Qt resource list of all of the above, under the prefix /res

Sounds are 16-bit mono PCM at 22050 Hz. BMP files are Windows bitmaps (BITMAPINFOHEADER,
bottom-up rows padded to four bytes, no compression); PNG files are written by hand (IHDR,
IDAT, IEND) with zlib.

Only the standard library is used and there is no randomness beyond a fixed-seed generator, so
every run writes the same bytes. The generated files are committed; the tests run this script
again into a temporary folder and compare.
"""

import math
import os
import struct
import sys
import wave
import zlib

# ---------------------------------------------------------------------------------------------
# File writers
# ---------------------------------------------------------------------------------------------

PIXELS_PER_METRE = 3780  # 96 dots per inch


def bmp_bytes(width, height, bpp, rows, palette=None):
    """A Windows bitmap file. rows are given top to bottom: (r, g, b) tuples for 24 bits,
    palette indices for 8 and 4 bits. The file stores them bottom-up."""
    assert len(rows) == height and all(len(r) == width for r in rows)
    row_size = (width * bpp + 31) // 32 * 4
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        if bpp == 24:
            for r, g, b in row:
                line += bytes((b, g, r))
        elif bpp == 8:
            line += bytes(row)
        elif bpp == 4:
            for i in range(0, width, 2):
                hi = row[i]
                lo = row[i + 1] if i + 1 < width else 0
                line.append((hi << 4) | lo)
        else:
            raise ValueError("unsupported depth %d" % bpp)
        line += bytes(row_size - len(line))
        pixels += line
    colour_table = b""
    if palette is not None:
        assert len(palette) == 1 << bpp
        colour_table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    offset = 14 + 40 + len(colour_table)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info_header = struct.pack(
        "<IiiHHIIiiII",
        40,  # header size
        width,
        height,  # positive: bottom-up rows
        1,  # planes
        bpp,
        0,  # BI_RGB, no compression
        len(pixels),
        PIXELS_PER_METRE,
        PIXELS_PER_METRE,
        len(palette) if palette is not None else 0,
        0,
    )
    return file_header + info_header + colour_table + bytes(pixels)


def png_chunk(kind, data):
    crc = zlib.crc32(kind + data) & 0xFFFFFFFF
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", crc)


def png_bytes(width, height, rgba_rows):
    """An 8-bit RGBA PNG; rgba_rows top to bottom, each a list of (r, g, b, a)."""
    raw = bytearray()
    for row in rgba_rows:
        raw.append(0)  # filter: none
        for pixel in row:
            raw += bytes(pixel)
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (
        b"\x89PNG\r\n\x1a\n"
        + png_chunk(b"IHDR", ihdr)
        + png_chunk(b"IDAT", zlib.compress(bytes(raw), 9))
        + png_chunk(b"IEND", b"")
    )


SAMPLE_RATE = 22050


def write_wav(path, samples):
    """samples: floats in -1..1, written as 16-bit mono PCM."""
    frames = bytearray()
    for s in samples:
        v = int(round(max(-1.0, min(1.0, s)) * 32767))
        frames += struct.pack("<h", v)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(SAMPLE_RATE)
        w.writeframes(bytes(frames))


# ---------------------------------------------------------------------------------------------
# Drawing
# ---------------------------------------------------------------------------------------------


class Canvas:
    """A grid of pixel values (colours or palette indices), top row first."""

    def __init__(self, width, height, value):
        self.width = width
        self.height = height
        self.rows = [[value] * width for _ in range(height)]

    def set(self, x, y, value):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.rows[y][x] = value

    def get(self, x, y):
        return self.rows[y][x]

    def rect(self, x0, y0, x1, y1, value):
        """Fills columns x0..x1-1 of rows y0..y1-1."""
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                self.rows[y][x] = value


class Pen:
    """Draws shapes given in design units onto a box of a canvas: a pixel is painted when its
    centre lies inside the shape. The same design drawn at scale 1 and 2 gives the 16 x 16 and
    the 32 x 32 toolbar images."""

    def __init__(self, canvas, left, top, size, scale):
        self.canvas = canvas
        self.left = left
        self.top = top
        self.size = size  # box side in design units
        self.scale = scale

    def fill(self, inside, value):
        s = self.scale
        for py in range(self.size * s):
            for px in range(self.size * s):
                if inside((px + 0.5) / s, (py + 0.5) / s):
                    self.canvas.set(self.left + px, self.top + py, value)

    def rect(self, x0, y0, x1, y1, value):
        self.fill(lambda x, y: x0 <= x < x1 and y0 <= y < y1, value)

    def framed_rect(self, x0, y0, x1, y1, edge, inner):
        self.rect(x0, y0, x1, y1, edge)
        self.rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, inner)

    def disc(self, cx, cy, r, value):
        self.fill(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, value)

    def ring(self, cx, cy, r0, r1, value, keep=lambda dx, dy: True):
        def inside(x, y):
            d2 = (x - cx) ** 2 + (y - cy) ** 2
            return r0 * r0 <= d2 <= r1 * r1 and keep(x - cx, y - cy)

        self.fill(inside, value)

    def line(self, x0, y0, x1, y1, width, value):
        def inside(x, y):
            return segment_distance(x, y, x0, y0, x1, y1) <= width / 2

        self.fill(inside, value)

    def polygon(self, points, value):
        self.fill(lambda x, y: point_in_polygon(x, y, points), value)

    def glyph(self, pattern, x0, y0, value):
        for row, text in enumerate(pattern):
            for col, ch in enumerate(text):
                if ch == "X":
                    self.rect(x0 + col, y0 + row, x0 + col + 1, y0 + row + 1, value)


def segment_distance(x, y, x0, y0, x1, y1):
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length2))
    return math.hypot(x - (x0 + t * dx), y - (y0 + t * dy))


def point_in_polygon(x, y, points):
    inside = False
    n = len(points)
    for i in range(n):
        xa, ya = points[i]
        xb, yb = points[(i + 1) % n]
        if (ya > y) != (yb > y):
            cross = xa + (y - ya) * (xb - xa) / (yb - ya)
            if x < cross:
                inside = not inside
    return inside


# A 5 x 7 pixel font for the words on the start-up picture.
FONT = {
    "A": [".XXX.", "X...X", "X...X", "XXXXX", "X...X", "X...X", "X...X"],
    "B": ["XXXX.", "X...X", "X...X", "XXXX.", "X...X", "X...X", "XXXX."],
    "C": [".XXX.", "X...X", "X....", "X....", "X....", "X...X", ".XXX."],
    "D": ["XXXX.", "X...X", "X...X", "X...X", "X...X", "X...X", "XXXX."],
    "E": ["XXXXX", "X....", "X....", "XXXX.", "X....", "X....", "XXXXX"],
    "F": ["XXXXX", "X....", "X....", "XXXX.", "X....", "X....", "X...."],
    "G": [".XXX.", "X...X", "X....", "X.XXX", "X...X", "X...X", ".XXXX"],
    "H": ["X...X", "X...X", "X...X", "XXXXX", "X...X", "X...X", "X...X"],
    "I": [".XXX.", "..X..", "..X..", "..X..", "..X..", "..X..", ".XXX."],
    "J": ["..XXX", "...X.", "...X.", "...X.", "...X.", "X..X.", ".XX.."],
    "K": ["X...X", "X..X.", "X.X..", "XX...", "X.X..", "X..X.", "X...X"],
    "L": ["X....", "X....", "X....", "X....", "X....", "X....", "XXXXX"],
    "M": ["X...X", "XX.XX", "X.X.X", "X.X.X", "X...X", "X...X", "X...X"],
    "N": ["X...X", "X...X", "XX..X", "X.X.X", "X..XX", "X...X", "X...X"],
    "O": [".XXX.", "X...X", "X...X", "X...X", "X...X", "X...X", ".XXX."],
    "P": ["XXXX.", "X...X", "X...X", "XXXX.", "X....", "X....", "X...."],
    "Q": [".XXX.", "X...X", "X...X", "X...X", "X.X.X", "X..X.", ".XX.X"],
    "R": ["XXXX.", "X...X", "X...X", "XXXX.", "X.X..", "X..X.", "X...X"],
    "S": [".XXXX", "X....", "X....", ".XXX.", "....X", "....X", "XXXX."],
    "T": ["XXXXX", "..X..", "..X..", "..X..", "..X..", "..X..", "..X.."],
    "U": ["X...X", "X...X", "X...X", "X...X", "X...X", "X...X", ".XXX."],
    "V": ["X...X", "X...X", "X...X", "X...X", "X...X", ".X.X.", "..X.."],
    "W": ["X...X", "X...X", "X...X", "X.X.X", "X.X.X", "X.X.X", ".X.X."],
    "X": ["X...X", "X...X", ".X.X.", "..X..", ".X.X.", "X...X", "X...X"],
    "Y": ["X...X", "X...X", ".X.X.", "..X..", "..X..", "..X..", "..X.."],
    "Z": ["XXXXX", "....X", "...X.", "..X..", ".X...", "X....", "XXXXX"],
    "0": [".XXX.", "X...X", "X..XX", "X.X.X", "XX..X", "X...X", ".XXX."],
    "1": ["..X..", ".XX..", "..X..", "..X..", "..X..", "..X..", ".XXX."],
    "2": [".XXX.", "X...X", "....X", "...X.", "..X..", ".X...", "XXXXX"],
    "3": ["XXXXX", "...X.", "..X..", "...X.", "....X", "X...X", ".XXX."],
    "4": ["...X.", "..XX.", ".X.X.", "X..X.", "XXXXX", "...X.", "...X."],
    "5": ["XXXXX", "X....", "XXXX.", "....X", "....X", "X...X", ".XXX."],
    "6": ["..XX.", ".X...", "X....", "XXXX.", "X...X", "X...X", ".XXX."],
    "7": ["XXXXX", "....X", "...X.", "..X..", ".X...", ".X...", ".X..."],
    "8": [".XXX.", "X...X", "X...X", ".XXX.", "X...X", "X...X", ".XXX."],
    "9": [".XXX.", "X...X", "X...X", ".XXXX", "....X", "...X.", ".XX.."],
    "-": [".....", ".....", ".....", ".XXX.", ".....", ".....", "....."],
    ".": [".....", ".....", ".....", ".....", ".....", ".XX..", ".XX.."],
    " ": [".....", ".....", ".....", ".....", ".....", ".....", "....."],
}


def text_width(text, scale):
    return (len(text) * 6 - 1) * scale


def draw_text(canvas, text, left, top, scale, colour):
    for i, ch in enumerate(text):
        for row, line in enumerate(FONT[ch]):
            for col, mark in enumerate(line):
                if mark == "X":
                    x = left + (i * 6 + col) * scale
                    y = top + row * scale
                    canvas.rect(x, y, x + scale, y + scale, colour)


def draw_centred_text(canvas, text, top, scale, colour, shadow=None):
    left = (canvas.width - text_width(text, scale)) // 2
    if shadow is not None:
        offset = max(1, scale // 2)
        draw_text(canvas, text, left + offset, top + offset, scale, shadow)
    draw_text(canvas, text, left, top, scale, colour)


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


# ---------------------------------------------------------------------------------------------
# Bitmap 128: the toolbar
# ---------------------------------------------------------------------------------------------

TOOLBAR_BACKGROUND = (192, 192, 192)
EDGE = (32, 32, 40)


def draw_open_folder(p):
    back = (214, 160, 40)
    front = (255, 218, 96)
    p.framed_rect(1, 2, 7, 6, EDGE, back)  # tab
    p.framed_rect(1, 4, 14, 14, EDGE, back)  # back of the folder
    p.polygon([(3.5, 7), (15.4, 7), (13, 14), (0.6, 14)], EDGE)  # open front flap
    p.polygon([(4.2, 8), (14.0, 8), (12.3, 13), (1.9, 13)], front)


def draw_floppy(p):
    p.framed_rect(1, 1, 15, 15, EDGE, (40, 84, 186))
    p.rect(14, 1, 15, 2, TOOLBAR_BACKGROUND)  # clipped corner
    p.rect(13, 2, 14, 3, EDGE)
    p.rect(4, 2, 12, 7, (206, 210, 220))  # metal shutter
    p.rect(9, 3, 11, 6, (60, 64, 80))
    p.rect(3, 9, 13, 14, (250, 250, 250))  # label
    p.rect(4, 10, 12, 11, (120, 150, 210))
    p.rect(4, 12, 10, 13, (170, 170, 170))


def draw_camera(p):
    body = (92, 94, 104)
    p.framed_rect(5, 2, 11, 6, EDGE, body)  # viewfinder hump
    p.framed_rect(1, 4, 15, 14, EDGE, body)
    p.rect(2, 5, 5, 6, (150, 152, 160))
    p.disc(8, 9, 3.8, EDGE)  # lens
    p.disc(8, 9, 2.8, (120, 176, 236))
    p.disc(8, 9, 1.3, (20, 40, 96))
    p.rect(12, 6, 14, 7, (255, 236, 120))  # flash


def draw_magnifier(p, plus):
    p.line(10.5, 10.5, 14.2, 14.2, 3.0, (120, 72, 28))  # handle
    p.disc(6.5, 6.5, 5.6, EDGE)
    p.disc(6.5, 6.5, 4.6, (214, 236, 255))
    sign = (0, 110, 0) if plus else (170, 20, 20)
    p.rect(4, 6, 9, 7, sign)
    if plus:
        p.rect(6, 4, 7, 9, sign)


def draw_access_point(p):
    waves = (30, 110, 226)

    def sideways(dx, dy):
        return abs(dy) <= abs(dx) * 1.1

    p.ring(8, 5, 2.6, 3.7, waves, sideways)
    p.ring(8, 5, 5.0, 6.2, waves, sideways)
    p.rect(7, 5, 9, 12, (70, 70, 80))  # mast
    p.disc(8, 5, 1.6, (222, 36, 36))
    p.framed_rect(3, 11, 13, 15, EDGE, (130, 132, 144))
    p.rect(10, 12, 11, 13, (0, 230, 0))  # link light


def draw_gear(p):
    metal = (150, 152, 164)

    def gear(grow):
        def inside(x, y):
            dx, dy = x - 8, y - 8
            r = math.hypot(dx, dy)
            turn = (math.atan2(dy, dx) / (2 * math.pi) * 8 + 0.25) % 1.0
            tooth = turn < 0.5
            return r <= 5.0 + grow or (tooth and r <= 7.4 + grow)

        return inside

    if p.scale == 1:
        # At 16 pixels an outline would swallow the teeth: one darker metal instead.
        p.fill(gear(0.0), (96, 98, 112))
        p.disc(8, 8, 3.9, metal)
    else:
        p.fill(gear(0.0), EDGE)
        p.fill(gear(-1.0), metal)
    p.disc(8, 8, 2.9, EDGE)
    p.disc(8, 8, 1.9, TOOLBAR_BACKGROUND)


def draw_help(p):
    p.disc(8, 8, 7.3, (20, 56, 150))
    p.disc(8, 8, 6.3, (52, 112, 222))
    p.glyph(
        [".XXXX.", "XX..XX", "....XX", "...XX.", "..XX..", "..XX..", "......", "..XX.."],
        5,
        4,
        (255, 255, 255),
    )


def draw_about(p):
    blue = (30, 90, 200)
    p.disc(8, 8, 7.3, blue)
    p.disc(8, 8, 6.3, (255, 255, 255))
    p.rect(7, 3, 9, 5, blue)  # dot
    p.rect(6, 6, 9, 7, blue)  # stem with serifs
    p.rect(7, 6, 9, 12, blue)
    p.rect(6, 12, 10, 13, blue)


TOOLBAR_IMAGES = [
    draw_open_folder,  # 32771 Open a Site
    draw_floppy,  # 32772 Save a Site
    draw_camera,  # 32778 Take JPEG Snapshot
    lambda p: draw_magnifier(p, True),  # 32774 Zoom in
    lambda p: draw_magnifier(p, False),  # 32775 Zoom out
    draw_access_point,  # 32780 Add/remove an access point
    draw_gear,  # 32779 Options
    draw_help,  # 57670 Help
    draw_about,  # 32777 About
]


def toolbar(scale):
    side = 16 * scale
    canvas = Canvas(side * len(TOOLBAR_IMAGES), side, TOOLBAR_BACKGROUND)
    for i, draw in enumerate(TOOLBAR_IMAGES):
        draw(Pen(canvas, i * side, 0, 16, scale))
    return canvas


# ---------------------------------------------------------------------------------------------
# Bitmap 138: the survey cursor
# ---------------------------------------------------------------------------------------------

# The 16 colours of the Windows system palette, in its order.
VGA_PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]  # fmt: skip
BLACK_INDEX, DARK_CYAN_INDEX, WHITE_INDEX = 0, 6, 15


def survey_cursor():
    # Pixel (16, 16) is the centre: it lands on the middle of the view.
    canvas = Canvas(32, 32, WHITE_INDEX)
    for y in range(32):
        for x in range(32):
            d = math.hypot(x - 16, y - 16)
            if 10.0 <= d <= 13.5:
                canvas.set(x, y, DARK_CYAN_INDEX)
    for step in range(7, 10):  # ticks from the ring's inner edge towards the centre
        canvas.set(16, 16 - step, BLACK_INDEX)
        canvas.set(16, 16 + step, BLACK_INDEX)
        canvas.set(16 - step, 16, BLACK_INDEX)
        canvas.set(16 + step, 16, BLACK_INDEX)
    return canvas


# ---------------------------------------------------------------------------------------------
# Bitmap 141: the scan panel
# ---------------------------------------------------------------------------------------------

OLIVE = (128, 128, 64)
PANEL_PALETTE = [
    OLIVE,  # 0 panel
    (224, 224, 168),  # 1..3 lit edges, outermost first
    (196, 196, 128),
    (164, 164, 96),
    (40, 40, 20),  # 4..6 shaded edges, outermost first
    (72, 72, 36),
    (100, 100, 50),
    (64, 64, 32),  # 7 slot, shaded side
    (200, 200, 136),  # 8 slot, lit side
] + [(0, 0, 0)] * (256 - 9)


def scan_panel():
    width, height = 240, 268
    canvas = Canvas(width, height, 0)
    for k in range(3):  # three-pixel bevel, lit from the top left
        for x in range(k, width - k):
            canvas.set(x, k, 1 + k)
            canvas.set(x, height - 1 - k, 4 + k)
        for y in range(k, height - k):
            canvas.set(k, y, 1 + k)
            canvas.set(width - 1 - k, y, 4 + k)
        canvas.set(width - 1 - k, k, 4 + k)  # corners split between light and shade
        canvas.set(k, height - 1 - k, 4 + k)
    # The progress bar fills x 9..230, y 9..20; its slot is sunk two pixels into the panel,
    # shaded above and to the left, lit below and to the right.
    for k, shade, light in ((1, 6, 3), (0, 7, 8)):  # outer ring first
        top, left, bottom, right = 8 - k, 8 - k, 21 + k, 231 + k
        for x in range(left, right + 1):
            canvas.set(x, top, shade)
        for y in range(top, bottom + 1):
            canvas.set(left, y, shade)
        for x in range(left, right + 1):
            canvas.set(x, bottom, light)
        for y in range(top, bottom + 1):
            canvas.set(right, y, light)
    return canvas


# ---------------------------------------------------------------------------------------------
# Bitmap 144: the start-up picture
# ---------------------------------------------------------------------------------------------

TEAL = (0, 128, 128)
CALM = (255, 255, 255)


def startup_picture():
    width, height = 240, 290
    canvas = Canvas(width, height, CALM)
    top_sky, low_sky = (22, 66, 150), (176, 210, 242)
    for y in range(146):
        canvas.rect(0, y, width, y + 1, mix(top_sky, low_sky, y / 145))

    draw_centred_text(canvas, "WALKMERE", 12, 4, (255, 255, 255), shadow=(10, 34, 90))
    draw_centred_text(canvas, "WI-FI SITE SURVEY", 49, 2, (236, 244, 255), shadow=(30, 70, 140))

    draw_floor_plan(canvas, 16, 72, 224, 140)

    canvas.rect(0, 146, width, 148, TEAL)
    # Rows 148..247 stay plain: the firmware and serial-number lines are drawn over them.
    draw_centred_text(canvas, "TAP TO BEGIN", 229, 2, (0, 112, 112))
    canvas.rect(0, 248, width, 250, TEAL)
    for y in range(250, height):
        canvas.rect(0, y, width, y + 1, mix(TEAL, (0, 72, 80), (y - 250) / 39))
    draw_centred_text(canvas, "VERSION 4.71", 263, 2, (255, 255, 255), shadow=(0, 50, 56))
    return canvas


def draw_floor_plan(canvas, left, top, right, bottom):
    canvas.rect(left + 3, top + 3, right + 3, bottom + 3, (60, 90, 140))  # shadow
    canvas.rect(left, top, right, bottom, (70, 70, 80))
    canvas.rect(left + 1, top + 1, right - 1, bottom - 1, (252, 252, 246))
    for x in range(left + 6, right - 1, 8):  # faint grid of the plan paper
        canvas.rect(x, top + 1, x + 1, bottom - 1, (222, 232, 246))
    for y in range(top + 6, bottom - 1, 8):
        canvas.rect(left + 1, y, right - 1, y + 1, (222, 232, 246))

    wall = (60, 60, 72)
    x0, y0, x1, y1 = left + 6, top + 6, right - 6, bottom - 6
    canvas.rect(x0, y0, x1, y0 + 3, wall)  # outer walls
    canvas.rect(x0, y1 - 3, x1, y1, wall)
    canvas.rect(x0, y0, x0 + 3, y1, wall)
    canvas.rect(x1 - 3, y0, x1, y1, wall)
    canvas.rect(90, y0, 93, y0 + 22, wall)  # inner walls, with door gaps
    canvas.rect(90, y0 + 36, 93, y1, wall)
    canvas.rect(150, y0, 153, y1 - 30, wall)
    canvas.rect(150, y1 - 14, 153, y1, wall)
    canvas.rect(150, y0 + 26, 176, y0 + 29, wall)
    canvas.rect(190, y0 + 26, x1, y0 + 29, wall)

    # A walked survey: points coloured by their strongest signal, joined by a dashed path.
    points = [
        (38, 118, (0, 200, 90)),
        (60, 94, (0, 255, 191)),
        (78, 122, (120, 220, 0)),
        (118, 98, (230, 220, 0)),
        (134, 124, (255, 150, 0)),
        (172, 116, (255, 200, 0)),
        (200, 96, (226, 40, 40)),
    ]
    for (xa, ya, _), (xb, yb, _) in zip(points, points[1:]):
        dashed_line(canvas, xa, ya, xb, yb, (30, 30, 30))
    for x, y, colour in points:
        circle(canvas, x, y, 5.5, (0, 0, 0))
        circle(canvas, x, y, 4.5, colour)

    # The survey cursor over the newest point.
    cx, cy = points[-1][0], points[-1][1]
    for y in range(cy - 12, cy + 13):
        for x in range(cx - 12, cx + 13):
            if 8.0 <= math.hypot(x - cx, y - cy) <= 10.5:
                canvas.set(x, y, TEAL)

    # An access point placed by hand.
    ax, ay = 116, 85
    canvas.rect(ax - 3, ay - 3, ax + 4, ay + 4, (30, 110, 226))
    canvas.rect(ax - 1, ay - 1, ax + 2, ay + 2, (255, 255, 255))


def circle(canvas, cx, cy, r, colour):
    for y in range(int(cy - r) - 1, int(cy + r) + 2):
        for x in range(int(cx - r) - 1, int(cx + r) + 2):
            if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                canvas.set(x, y, colour)


def dashed_line(canvas, xa, ya, xb, yb, colour):
    steps = max(abs(xb - xa), abs(yb - ya))
    length = math.hypot(xb - xa, yb - ya)
    for i in range(steps + 1):
        t = i / steps
        if int(t * length) % 6 < 3:
            canvas.set(int(round(xa + (xb - xa) * t)), int(round(ya + (yb - ya) * t)), colour)


# ---------------------------------------------------------------------------------------------
# Icon 128
# ---------------------------------------------------------------------------------------------


def icon(size):
    """The survey cursor's ring over a coloured survey point, smoothed by 4 x 4 sampling.
    Shapes are given on a unit square."""
    tick = max(0.045, 1.0 / size)  # at least one pixel wide

    def colour_at(x, y):
        dx, dy = x - 0.5, y - 0.5
        r = math.hypot(dx, dy)
        if r <= 0.16:
            return (0, 214, 120, 255)  # the point
        if r <= 0.20:
            return (0, 0, 0, 255)
        if 0.33 <= r <= 0.47:
            return (0, 128, 128, 255)  # the ring
        if r < 0.33:
            if r >= 0.24 and (abs(dx) <= tick / 2 or abs(dy) <= tick / 2):
                return (0, 0, 0, 255)  # ticks
            return (255, 255, 255, 255)
        return (0, 0, 0, 0)

    n = 4
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(n):
                for sx in range(n):
                    r, g, b, a = colour_at((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            alpha = acc[3]
            if alpha == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(
                    (
                        (acc[0] + alpha // 2) // alpha,
                        (acc[1] + alpha // 2) // alpha,
                        (acc[2] + alpha // 2) // alpha,
                        (alpha + n * n // 2) // (n * n),
                    )
                )
        rows.append(row)
    return rows


ICON_SIZES = (16, 32, 48, 64)


# ---------------------------------------------------------------------------------------------
# Sounds
# ---------------------------------------------------------------------------------------------


class NoiseSource:
    """A fixed-seed linear congruential generator, so the noise is the same on every run."""

    def __init__(self, seed):
        self.state = seed

    def next(self):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return self.state / 0x3FFFFFFF - 1.0


def fade(samples, seconds_in, seconds_out):
    n_in = max(1, int(seconds_in * SAMPLE_RATE))
    n_out = max(1, int(seconds_out * SAMPLE_RATE))
    out = list(samples)
    for i in range(min(n_in, len(out))):
        out[i] *= i / n_in
    for i in range(min(n_out, len(out))):
        out[-1 - i] *= i / n_out
    return out


def camera_sound():
    total = int(0.15 * SAMPLE_RATE)
    noise = NoiseSource(20040607)
    samples = [0.0] * total
    for start, level, decay in ((0.004, 0.55, 0.006), (0.049, 0.42, 0.009)):
        low = 0.0
        first = int(start * SAMPLE_RATE)
        for i in range(first, min(total, first + int(0.03 * SAMPLE_RATE))):
            t = (i - first) / SAMPLE_RATE
            low += 0.5 * (noise.next() - low)  # soften the hiss a little
            samples[i] += level * math.exp(-t / decay) * low
    return fade(samples, 0.002, 0.01)


def ping_sound():
    total = int(0.25 * SAMPLE_RATE)
    samples = []
    for i in range(total):
        t = i / SAMPLE_RATE
        samples.append(0.45 * math.exp(-t / 0.06) * math.sin(2 * math.pi * 1200 * t))
    return fade(samples, 0.002, 0.02)


def red_alert_sound():
    total = int(1.2 * SAMPLE_RATE)
    segment = int(0.15 * SAMPLE_RATE)
    samples = []
    phase = 0.0
    for i in range(total):
        frequency = 880.0 if (i // segment) % 2 == 0 else 660.0
        phase += 2 * math.pi * frequency / SAMPLE_RATE  # continuous phase: no click at a change
        tone = math.sin(phase) + 0.3 * math.sin(3 * phase)
        samples.append(0.3 * tone)
    return fade(samples, 0.005, 0.02)


SOUNDS = [("CAMERA", camera_sound), ("PING", ping_sound), ("REDALERT", red_alert_sound)]


# ---------------------------------------------------------------------------------------------
# Output
# ---------------------------------------------------------------------------------------------


def write_file(path, data):
    with open(path, "wb") as f:
        f.write(data)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_resources.py OUTPUT_FOLDER\n")
        return 2
    out = argv[1]
    os.makedirs(os.path.join(out, "sounds"), exist_ok=True)
    written = []

    def emit(name, data):
        write_file(os.path.join(out, name), data)
        written.append(name)

    for name, scale in (("bitmap128.bmp", 1), ("bitmap128_2x.bmp", 2)):
        strip = toolbar(scale)
        emit(name, bmp_bytes(strip.width, strip.height, 24, strip.rows))
    cursor = survey_cursor()
    emit("bitmap138.bmp", bmp_bytes(32, 32, 4, cursor.rows, VGA_PALETTE))
    panel = scan_panel()
    emit("bitmap141.bmp", bmp_bytes(240, 268, 8, panel.rows, PANEL_PALETTE))
    picture = startup_picture()
    emit("bitmap144.bmp", bmp_bytes(240, 290, 24, picture.rows))
    for size in ICON_SIZES:
        emit("icon128_%d.png" % size, png_bytes(size, size, icon(size)))
    for name, make in SOUNDS:
        relative = "sounds/%s.wav" % name
        write_wav(os.path.join(out, relative), make())
        written.append(relative)

    qrc = ['<!DOCTYPE RCC>', '<RCC version="1.0">', '<qresource prefix="/res">']
    qrc += ["    <file>%s</file>" % name for name in written]
    qrc += ["</qresource>", "</RCC>", ""]
    write_file(os.path.join(out, "resources.qrc"), "\n".join(qrc).encode("ascii"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
