#!/usr/bin/env python3
"""Draws the shell's ten sample pictures and writes them as PNG files.

Only the standard library is used: every picture is drawn into an RGBA pixel list by small shape
helpers with a 4 x 4 supersampled coverage, then written as an 8-bit RGBA PNG with zlib.

    python3 tools/asset_generator/generate_assets.py [output-directory]   (default: assets/)

The colours follow the shell window: background RGB(33, 35, 40), text RGB(213, 215, 217).
"""

import math
import os
import struct
import sys
import zlib

SUPERSAMPLE = 4


class Canvas:
    def __init__(self, width, height, fill=(0, 0, 0, 0)):
        self.width = width
        self.height = height
        self.pixels = [list(fill) for _ in range(width * height)]

    def blend(self, x, y, colour, coverage):
        """Source-over blend of an RGBA colour with a coverage of 0..1."""
        if coverage <= 0 or not (0 <= x < self.width and 0 <= y < self.height):
            return
        pixel = self.pixels[y * self.width + x]
        alpha = colour[3] / 255.0 * min(coverage, 1.0)
        below = pixel[3] / 255.0
        out = alpha + below * (1 - alpha)
        if out <= 0:
            return
        for channel in range(3):
            pixel[channel] = round((colour[channel] * alpha + pixel[channel] * below * (1 - alpha)) / out)
        pixel[3] = round(out * 255)

    def shape(self, inside, colour, box=None):
        """Fills every pixel by the share of its subsamples for which inside(x, y) holds."""
        left, top, right, bottom = box or (0, 0, self.width, self.height)
        step = 1.0 / SUPERSAMPLE
        for y in range(max(0, int(top)), min(self.height, int(math.ceil(bottom)))):
            for x in range(max(0, int(left)), min(self.width, int(math.ceil(right)))):
                hits = 0
                for sy in range(SUPERSAMPLE):
                    for sx in range(SUPERSAMPLE):
                        if inside(x + (sx + 0.5) * step, y + (sy + 0.5) * step):
                            hits += 1
                self.blend(x, y, colour, hits / SUPERSAMPLE ** 2)

    def rounded_rect(self, left, top, right, bottom, radius, colour):
        def inside(x, y):
            if not (left <= x <= right and top <= y <= bottom):
                return False
            cx = min(max(x, left + radius), right - radius)
            cy = min(max(y, top + radius), bottom - radius)
            return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2

        self.shape(inside, colour, (left - 1, top - 1, right + 1, bottom + 1))

    def circle(self, cx, cy, radius, colour):
        self.shape(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2, colour,
                   (cx - radius - 1, cy - radius - 1, cx + radius + 1, cy + radius + 1))

    def segment(self, x0, y0, x1, y1, thickness, colour):
        """A line with round ends."""
        dx, dy = x1 - x0, y1 - y0
        length2 = dx * dx + dy * dy or 1e-9
        half = thickness / 2.0

        def inside(x, y):
            t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length2))
            px, py = x0 + t * dx, y0 + t * dy
            return (x - px) ** 2 + (y - py) ** 2 <= half * half

        self.shape(inside, colour, (min(x0, x1) - half - 1, min(y0, y1) - half - 1,
                                    max(x0, x1) + half + 1, max(y0, y1) + half + 1))

    def png(self):
        raw = bytearray()
        for y in range(self.height):
            raw.append(0)  # filter: none
            for x in range(self.width):
                raw.extend(self.pixels[y * self.width + x])

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 6, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


BACKGROUND = (33, 35, 40, 255)
TEXT = (213, 215, 217, 255)
MUTED = (162, 159, 155, 255)
ACCENT = (64, 158, 255, 255)
FIELD = (26, 28, 34, 255)


def background():
    # Flat in the window's colour, with a soft lighter glow behind the logo and a faint footer rule,
    # so that the picture is recognisable while every sampled area stays one colour.
    canvas = Canvas(700, 500, BACKGROUND)
    canvas.shape(lambda x, y: (x - 350) ** 2 / 260.0 ** 2 + (y - 172) ** 2 / 120.0 ** 2 <= 1.0,
                 (48, 52, 62, 90), (90, 52, 610, 292))
    canvas.shape(lambda x, y: 436 <= y <= 437, (58, 61, 68, 255), (0, 436, 700, 438))
    return canvas


def logo():
    # A rounded square in the accent colour holding a white "T".
    canvas = Canvas(128, 128)
    canvas.rounded_rect(4, 4, 124, 124, 28, ACCENT)
    canvas.segment(38, 40, 90, 40, 14, (255, 255, 255, 255))
    canvas.segment(64, 40, 64, 94, 14, (255, 255, 255, 255))
    return canvas


def close_glyph():
    canvas = Canvas(36, 36)
    canvas.segment(12, 12, 24, 24, 2.2, TEXT)
    canvas.segment(24, 12, 12, 24, 2.2, TEXT)
    return canvas


def arrow(down):
    canvas = Canvas(16, 16)
    if down:
        canvas.segment(4, 6, 8, 10, 1.8, MUTED)
        canvas.segment(8, 10, 12, 6, 1.8, MUTED)
    else:
        canvas.segment(4, 10, 8, 6, 1.8, MUTED)
        canvas.segment(8, 6, 12, 10, 1.8, MUTED)
    return canvas


def check_box(size, checked, radius):
    canvas = Canvas(size, size)
    if checked:
        canvas.rounded_rect(1, 1, size - 1, size - 1, radius, ACCENT)
        canvas.segment(size * 0.27, size * 0.52, size * 0.43, size * 0.68, size * 0.11, (255, 255, 255, 255))
        canvas.segment(size * 0.43, size * 0.68, size * 0.74, size * 0.35, size * 0.11, (255, 255, 255, 255))
    else:
        canvas.rounded_rect(1, 1, size - 1, size - 1, radius, MUTED)
        canvas.rounded_rect(2.5, 2.5, size - 2.5, size - 2.5, max(radius - 1.5, 0), FIELD)
    return canvas


def path_field():
    canvas = Canvas(600, 32)
    canvas.rounded_rect(0, 0, 600, 32, 6, (58, 61, 68, 255))
    canvas.rounded_rect(1, 1, 599, 31, 5, FIELD)
    return canvas


PICTURES = {
    "installer-background.png": background,
    "installer-logo.png": logo,
    "installer-close-alpha.png": close_glyph,
    "installer-arrow-down.png": lambda: arrow(True),
    "installer-arrow-up.png": lambda: arrow(False),
    "installer-footer-checked.png": lambda: check_box(16, True, 8),
    "installer-footer-unchecked.png": lambda: check_box(16, False, 8),
    "installer-option-checked.png": lambda: check_box(18, True, 4),
    "installer-option-unchecked.png": lambda: check_box(18, False, 4),
    "installer-path.png": path_field,
}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "assets")
    os.makedirs(output, exist_ok=True)
    for name, draw in PICTURES.items():
        with open(os.path.join(output, name), "wb") as file:
            file.write(draw().png())
        print(name)


if __name__ == "__main__":
    main()
