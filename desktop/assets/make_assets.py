#!/usr/bin/env python3
"""Draws the desktop program's pictures and writes its thank-you text.

Everything here is made from scratch with the standard library only: a small
scanline rasteriser (anti-aliased by sub-scanline supersampling), a PNG writer,
a GIF89a writer with its own LZW coder and palette reduction, and a tiny pixel
font for the brand word. The output is deterministic, so the committed files
can be compared byte for byte with a fresh run:

    python3 desktop/assets/make_assets.py [--out DIR]
"""

import argparse
import math
import os
import struct
import sys
import zlib
from itertools import accumulate
from operator import add

# ---------------------------------------------------------------------------
# Geometry. Coordinates are snapped to 1/256 pixel so that the last bit of a
# sin/cos result can never change an output byte.


def _snap(v):
    return round(v * 256.0) / 256.0


def _snap_points(points):
    return [(_snap(x), _snap(y)) for x, y in points]


def _segments_for(radius, tolerance=0.08):
    """Enough polygon sides that the chord error stays under `tolerance` px."""
    if radius <= tolerance:
        return 8
    step = 2.0 * math.acos(max(-1.0, 1.0 - tolerance / radius))
    return max(12, min(1024, int(math.ceil(2.0 * math.pi / step))))


def ellipse(cx, cy, rx, ry, rotation_deg=0.0, segments=None):
    n = segments or _segments_for(max(rx, ry))
    ca = math.cos(math.radians(rotation_deg))
    sa = math.sin(math.radians(rotation_deg))
    points = []
    for i in range(n):
        t = 2.0 * math.pi * i / n
        x, y = rx * math.cos(t), ry * math.sin(t)
        points.append((cx + x * ca - y * sa, cy + x * sa + y * ca))
    return _snap_points(points)


def circle(cx, cy, r, segments=None):
    return ellipse(cx, cy, r, r, segments=segments)


def elliptic_arc(cx, cy, rx, ry, a0, a1, segments=None):
    """Points from angle a0 to a1 (radians, screen orientation: y grows down)."""
    n = segments or max(4, int(_segments_for(max(rx, ry)) * abs(a1 - a0) / (2 * math.pi)) + 1)
    return [(cx + rx * math.cos(a0 + (a1 - a0) * i / n),
             cy + ry * math.sin(a0 + (a1 - a0) * i / n)) for i in range(n + 1)]


def rect(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


def rounded_rect(x0, y0, x1, y1, r):
    r = min(r, (x1 - x0) / 2.0, (y1 - y0) / 2.0)
    if r <= 0:
        return rect(x0, y0, x1, y1)
    points = []
    corners = ((x1 - r, y0 + r, -math.pi / 2), (x1 - r, y1 - r, 0.0),
               (x0 + r, y1 - r, math.pi / 2), (x0 + r, y0 + r, math.pi))
    quarter = max(3, _segments_for(r) // 4)
    for cx, cy, start in corners:
        points.extend(elliptic_arc(cx, cy, r, r, start, start + math.pi / 2, quarter))
    return _snap_points(points)


def cubic(p0, p1, p2, p3, segments=48):
    points = []
    for i in range(segments + 1):
        t = i / segments
        u = 1.0 - t
        points.append((u * u * u * p0[0] + 3 * u * u * t * p1[0] + 3 * u * t * t * p2[0] + t * t * t * p3[0],
                       u * u * u * p0[1] + 3 * u * u * t * p1[1] + 3 * u * t * t * p2[1] + t * t * t * p3[1]))
    return points


def heart(cx, cy, width, squash=1.0, segments=160):
    """The classic parametric heart; (cx, cy) is the centre of its bounding box."""
    scale = width / 32.0
    points = []
    for i in range(segments):
        t = 2.0 * math.pi * i / segments
        x = 16.0 * math.sin(t) ** 3
        y = -(13.0 * math.cos(t) - 5.0 * math.cos(2 * t) - 2.0 * math.cos(3 * t) - math.cos(4 * t))
        points.append((cx + x * scale, cy + (y - 2.5) * scale * squash))
    return _snap_points(points)


def sparkle(cx, cy, radius, inner=0.28):
    points = []
    for i in range(8):
        r = radius if i % 2 == 0 else radius * inner
        t = math.pi / 4 * i - math.pi / 2
        points.append((cx + r * math.cos(t), cy + r * math.sin(t)))
    return _snap_points(points)


def rotated_rect(cx, cy, w, h, rotation_deg):
    ca = math.cos(math.radians(rotation_deg))
    sa = math.sin(math.radians(rotation_deg))
    corners = ((-w / 2, -h / 2), (w / 2, -h / 2), (w / 2, h / 2), (-w / 2, h / 2))
    return _snap_points([(cx + x * ca - y * sa, cy + x * sa + y * ca) for x, y in corners])


def stroke(points, width):
    """A polyline with round joins and caps, as a union of quads and discs."""
    half = width / 2.0
    polygons = []
    disc_sides = max(12, _segments_for(half) // 2 * 2)
    for (x0, y0), (x1, y1) in zip(points, points[1:]):
        dx, dy = x1 - x0, y1 - y0
        length = math.hypot(dx, dy)
        if length == 0:
            continue
        nx, ny = -dy / length * half, dx / length * half
        polygons.append(_snap_points([(x0 + nx, y0 + ny), (x1 + nx, y1 + ny),
                                      (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)]))
    for x, y in points:
        polygons.append(circle(x, y, half, disc_sides))
    return polygons


def _signed_area(poly):
    area = 0.0
    for (x0, y0), (x1, y1) in zip(poly, poly[1:] + poly[:1]):
        area += x0 * y1 - x1 * y0
    return area


# ---------------------------------------------------------------------------
# Colours and paints. A paint is either a solid (r, g, b, alpha 0..1) or a
# function of the pixel centre returning one.


def hex_colour(text, alpha=1.0):
    text = text.lstrip('#')
    return (int(text[0:2], 16), int(text[2:4], 16), int(text[4:6], 16), alpha)


def mix(c0, c1, t):
    t = min(1.0, max(0.0, t))
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


def vertical_gradient(top_colour, bottom_colour, y0, y1):
    span = float(y1 - y0) or 1.0
    return lambda x, y: mix(top_colour, bottom_colour, (y - y0) / span)


def horizontal_gradient(stops, x0, x1):
    """Piecewise linear over (position 0..1, colour) stops."""
    span = float(x1 - x0) or 1.0

    def paint(x, y):
        t = (x - x0) / span
        if t <= stops[0][0]:
            return stops[0][1]
        for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
            if t <= p1:
                return mix(c0, c1, (t - p0) / (p1 - p0))
        return stops[-1][1]
    return paint


# ---------------------------------------------------------------------------
# Rasteriser.


class Canvas:
    """Straight-alpha RGBA pixels with anti-aliased polygon filling.

    Every pixel row is sampled on `subsamples` horizontal sub-scanlines; on each
    of them the covered spans are exact, so a pixel's coverage is the mean of its
    sub-scanline overlaps.
    """

    def __init__(self, width, height, background=(0, 0, 0, 0), subsamples=8):
        self.width = width
        self.height = height
        self.subsamples = subsamples
        r, g, b, a = background
        self.pixels = bytearray(bytes((r, g, b, int(round(a * 255)))) * (width * height))

    def fill_rows(self, paint_of_row):
        """Fills every row with one opaque colour (cheap backgrounds)."""
        for y in range(self.height):
            r, g, b, _ = paint_of_row(0.0, y + 0.5)
            start = y * self.width * 4
            self.pixels[start:start + self.width * 4] = bytes(
                (int(r + 0.5), int(g + 0.5), int(b + 0.5), 255)) * self.width

    def fill(self, polygons, paint, even_odd=False):
        edges = []
        min_x = min_y = float('inf')
        max_x = max_y = float('-inf')
        for poly in polygons:
            if len(poly) < 3:
                continue
            if not even_odd and _signed_area(poly) < 0:
                poly = poly[::-1]
            for (x0, y0), (x1, y1) in zip(poly, poly[1:] + poly[:1]):
                min_x, max_x = min(min_x, x0), max(max_x, x0)
                min_y, max_y = min(min_y, y0), max(max_y, y0)
                if y0 == y1:
                    continue
                if y0 < y1:
                    edges.append((y0, y1, x0, (x1 - x0) / (y1 - y0), 1))
                else:
                    edges.append((y1, y0, x1, (x0 - x1) / (y0 - y1), -1))
        if not edges:
            return
        edges.sort()
        row0 = max(0, int(math.floor(min_y)))
        row1 = min(self.height, int(math.ceil(max_y)))
        col0 = max(0, int(math.floor(min_x)))
        col1 = min(self.width, int(math.ceil(max_x)))
        span_width = col1 - col0
        if span_width <= 0 or row1 <= row0:
            return
        weight = 1.0 / self.subsamples
        next_edge = 0
        active = []
        for row in range(row0, row1):
            steps = [0.0] * (span_width + 1)
            parts = [0.0] * (span_width + 1)
            touched = False
            for k in range(self.subsamples):
                ys = row + (k + 0.5) * weight
                while next_edge < len(edges) and edges[next_edge][0] <= ys:
                    active.append(edges[next_edge])
                    next_edge += 1
                active = [e for e in active if e[1] > ys]
                if not active:
                    continue
                crossings = sorted((e[2] + (ys - e[0]) * e[3], e[4]) for e in active)
                winding = 0
                for j in range(len(crossings) - 1):
                    winding += crossings[j][1]
                    if (winding & 1) if even_odd else winding != 0:
                        xa = min(max(crossings[j][0] - col0, 0.0), float(span_width))
                        xb = min(max(crossings[j + 1][0] - col0, 0.0), float(span_width))
                        if xb <= xa:
                            continue
                        touched = True
                        ia, ib = int(xa), int(xb)
                        if ia == ib:
                            parts[ia] += (xb - xa) * weight
                        else:
                            parts[ia] += (ia + 1 - xa) * weight
                            steps[ia + 1] += weight
                            steps[ib] -= weight
                            parts[ib] += (xb - ib) * weight
            if touched:
                coverage = list(map(add, accumulate(steps), parts))
                self._paint_row(row, col0, span_width, coverage, paint)

    def _paint_row(self, row, col0, count, coverage, paint):
        px = self.pixels
        base = (row * self.width + col0) * 4
        solid = not callable(paint)
        if solid:
            sr, sg, sb, sa = paint
            opaque = bytes((int(sr + 0.5), int(sg + 0.5), int(sb + 0.5), 255)) if sa >= 1.0 else None
        i = 0
        while i < count:
            c = coverage[i]
            if c < 0.002:
                i += 1
                continue
            if solid and c >= 0.998:
                j = i + 1
                while j < count and coverage[j] >= 0.998:
                    j += 1
                if opaque is not None:
                    px[base + 4 * i:base + 4 * j] = opaque * (j - i)
                    i = j
                    continue
                segment = px[base + 4 * i:base + 4 * j]
                if segment == segment[:4] * (j - i):
                    p = base + 4 * i
                    self._blend(p, sr, sg, sb, sa)
                    px[p + 4:base + 4 * j] = px[p:p + 4] * (j - i - 1)
                    i = j
                    continue
                for k in range(i, j):
                    self._blend(base + 4 * k, sr, sg, sb, sa)
                i = j
                continue
            if solid:
                self._blend(base + 4 * i, sr, sg, sb, sa * min(c, 1.0))
            else:
                r, g, b, a = paint(col0 + i + 0.5, row + 0.5)
                self._blend(base + 4 * i, r, g, b, a * min(c, 1.0))
            i += 1

    def _blend(self, p, r, g, b, a):
        px = self.pixels
        if a <= 0.0:
            return
        da = px[p + 3]
        if da == 255:
            keep = 1.0 - a
            px[p] = int(r * a + px[p] * keep + 0.5)
            px[p + 1] = int(g * a + px[p + 1] * keep + 0.5)
            px[p + 2] = int(b * a + px[p + 2] * keep + 0.5)
            return
        d = da / 255.0
        out = a + d * (1.0 - a)
        if out <= 0.0:
            return
        kd = d * (1.0 - a)
        px[p] = int((r * a + px[p] * kd) / out + 0.5)
        px[p + 1] = int((g * a + px[p + 1] * kd) / out + 0.5)
        px[p + 2] = int((b * a + px[p + 2] * kd) / out + 0.5)
        px[p + 3] = int(out * 255.0 + 0.5)

    def rgb_bytes(self):
        """The pixels without alpha (for opaque pictures)."""
        out = bytearray(self.width * self.height * 3)
        out[0::3] = self.pixels[0::4]
        out[1::3] = self.pixels[1::4]
        out[2::3] = self.pixels[2::4]
        return bytes(out)


# ---------------------------------------------------------------------------
# PNG writer.


_HIGH_BITS = {}


def _bytewise_difference(a, b):
    """(a[i] - b[i]) mod 256 for equal-length byte strings, done on big integers
    (SWAR subtraction) so that the filters need no Python loop per byte."""
    n = len(a)
    high = _HIGH_BITS.get(n)
    if high is None:
        high = _HIGH_BITS[n] = int.from_bytes(b'\x80' * n, 'big')
    x = int.from_bytes(a, 'big')
    y = int.from_bytes(b, 'big')
    z = ((x | high) - (y & ~high)) ^ ((x ^ ~y) & high)
    return z.to_bytes(n, 'big')


def _filter_rows(data, stride, bpp):
    """Per row the cheapest of the None, Sub and Up filters, judged by how many
    zero bytes it leaves (zero runs are what deflate packs best here)."""
    out = bytearray()
    previous = bytes(stride)
    for start in range(0, len(data), stride):
        row = data[start:start + stride]
        candidates = (
            (0, row),
            (1, _bytewise_difference(row, bytes(bpp) + row[:-bpp])),
            (2, _bytewise_difference(row, previous)),
        )
        kind, filtered = max(candidates, key=lambda c: (c[1].count(0), -c[0]))
        out.append(kind)
        out += filtered
        previous = row
    return bytes(out)


def _png_chunk(kind, payload):
    body = kind + payload
    return struct.pack('>I', len(payload)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)


def encode_png(width, height, data, channels):
    colour_type = {3: 2, 4: 6}[channels]
    header = struct.pack('>IIBBBBB', width, height, 8, colour_type, 0, 0, 0)
    stride = width * channels
    compressed = zlib.compress(_filter_rows(bytes(data), stride, channels), 9)
    return (b'\x89PNG\r\n\x1a\n' + _png_chunk(b'IHDR', header)
            + _png_chunk(b'IDAT', compressed) + _png_chunk(b'IEND', b''))


# ---------------------------------------------------------------------------
# GIF writer: palette reduction, LZW, blocks.


def _median_cut(histogram, boxes_wanted):
    """Splits the colour cloud at weighted medians along its widest channel."""
    boxes = [sorted(histogram.items())]
    while len(boxes) < boxes_wanted:
        best, best_score = None, 0
        for index, box in enumerate(boxes):
            if len(box) < 2:
                continue
            spread = max(max(c[0][ch] for c in box) - min(c[0][ch] for c in box) for ch in range(3))
            score = spread * sum(count for _, count in box)
            if score > best_score:
                best, best_score = index, score
        if best is None:
            break
        box = boxes.pop(best)
        channel = max(range(3), key=lambda ch: (max(c[0][ch] for c in box) - min(c[0][ch] for c in box), -ch))
        box.sort(key=lambda c: (c[0][channel], c[0]))
        half = sum(count for _, count in box) / 2.0
        running, cut = 0, 1
        for cut in range(1, len(box)):
            running += box[cut - 1][1]
            if running >= half:
                break
        boxes.append(box[:cut])
        boxes.append(box[cut:])
    palette = []
    for box in boxes:
        total = sum(count for _, count in box)
        palette.append(tuple(int(sum(c[ch] * n for c, n in box) / total + 0.5) for ch in range(3)))
    return palette


def quantise(rgb, exact_colours=32):
    """A palette of at most 256 colours and one index per pixel. The most
    frequent colours (the flat areas, white first of all) are kept exactly;
    the anti-aliased rest is reduced by median cut."""
    pixels = [tuple(rgb[i:i + 3]) for i in range(0, len(rgb), 3)]
    histogram = {}
    for p in pixels:
        histogram[p] = histogram.get(p, 0) + 1
    by_frequency = sorted(histogram.items(), key=lambda item: (-item[1], item[0]))
    if len(by_frequency) <= 256:
        palette = [c for c, _ in by_frequency]
    else:
        palette = [c for c, _ in by_frequency[:exact_colours]]
        rest = dict(by_frequency[exact_colours:])
        palette += [c for c in _median_cut(rest, 256 - exact_colours) if c not in palette]
    lookup = {}
    for colour in histogram:
        best = min(range(len(palette)), key=lambda i: (
            (palette[i][0] - colour[0]) ** 2 * 3 + (palette[i][1] - colour[1]) ** 2 * 4
            + (palette[i][2] - colour[2]) ** 2 * 2, i))
        lookup[colour] = best
    return palette, bytes(lookup[p] for p in pixels)


def lzw_encode(indices, min_code_size=8):
    """Variable-length LZW as GIF wants it: a clear code first, codes grow to
    12 bits, the table restarts with a clear code when it is full."""
    clear = 1 << min_code_size
    end = clear + 1
    out = bytearray()
    bit_buffer = 0
    bit_count = 0

    def emit(code, size):
        nonlocal bit_buffer, bit_count
        bit_buffer |= code << bit_count
        bit_count += size
        while bit_count >= 8:
            out.append(bit_buffer & 0xFF)
            bit_buffer >>= 8
            bit_count -= 8

    code_size = min_code_size + 1
    table = {}
    next_code = end + 1
    emit(clear, code_size)
    if not indices:
        emit(end, code_size)
    else:
        prefix = indices[0]
        for value in indices[1:]:
            key = (prefix, value)
            code = table.get(key)
            if code is not None:
                prefix = code
                continue
            emit(prefix, code_size)
            if next_code < 4096:
                table[key] = next_code
                next_code += 1
                # The decoder adds each entry one code later than we do, so it
                # widens its codes once the table holds one more than 2**size.
                if next_code > (1 << code_size) and code_size < 12:
                    code_size += 1
            else:
                emit(clear, code_size)
                table = {}
                next_code = end + 1
                code_size = min_code_size + 1
            prefix = value
        emit(prefix, code_size)
        emit(end, code_size)
    if bit_count:
        out.append(bit_buffer & 0xFF)
    return bytes(out)


def encode_gif(width, height, rgb):
    palette, indices = quantise(rgb)
    colour_table = b''.join(bytes(c) for c in palette) + bytes(3 * (256 - len(palette)))
    # Header and logical screen descriptor: global table of 256 entries.
    data = bytearray(b'GIF89a')
    data += struct.pack('<HHBBB', width, height, 0xF7, 0, 0)
    data += colour_table
    # Image descriptor: the whole screen, no local table, not interlaced.
    data += b'\x2c' + struct.pack('<HHHHB', 0, 0, width, height, 0)
    data.append(8)
    compressed = lzw_encode(indices, 8)
    for start in range(0, len(compressed), 255):
        block = compressed[start:start + 255]
        data.append(len(block))
        data += block
    data.append(0)
    data.append(0x3B)
    return bytes(data)


# ---------------------------------------------------------------------------
# Pixel font for the brand word. Rows of a 7-row cell (ascender to baseline).

GLYPHS = {
    'K': ['X...X', 'X..X.', 'X.X..', 'XX...', 'X.X..', 'X..X.', 'X...X'],
    'e': ['....', '....', '.XX.', 'X..X', 'XXXX', 'X...', '.XXX'],
    'l': ['XX.', '.X.', '.X.', '.X.', '.X.', '.X.', '.XX'],
    'v': ['.....', '.....', 'X...X', 'X...X', '.X.X.', '.X.X.', '..X..'],
    'r': ['....', '....', 'X.XX', 'XX..', 'X...', 'X...', 'X...'],
    'a': ['....', '....', '.XX.', '...X', '.XXX', 'X..X', '.XXX'],
}


def text_width(text, cell):
    return (sum(len(GLYPHS[ch][0]) for ch in text) + len(text) - 1) * cell


def pixel_text(text, x, y, cell):
    """The cells of `text` as squares, top-left at (x, y)."""
    squares = []
    for ch in text:
        rows = GLYPHS[ch]
        for row_index, row in enumerate(rows):
            for col_index, bit in enumerate(row):
                if bit == 'X':
                    left = x + col_index * cell
                    top = y + row_index * cell
                    squares.append(rect(left, top, left + cell, top + cell))
        x += (len(rows[0]) + 1) * cell
    return squares


# ---------------------------------------------------------------------------
# Palette of the program's own look.

NAVY = hex_colour('1D3B66')
TILE_TOP = hex_colour('2F6FC4')
TILE_BOTTOM = hex_colour('173B7A')
SKY_TOP = hex_colour('C4E6FF')
SKY_BOTTOM = hex_colour('7DBDF5')
AMBER = hex_colour('FFB627')
WHITE = hex_colour('FFFFFF')

# The icon on a 64-unit grid (1 unit = 1 px at 64, 2 px at 128, 4 px at 256).
# The photo has the 2.6 : 3.2 proportions of the default ID picture.
ICON = {
    'tile': (2, 2, 62, 62, 13),
    'frame': (17, 14, 47, 50, 1),
    'photo': (19, 16, 45, 48),
    'head': (32, 28, 6.5),
    'shoulders': (32, 50.5, 12, 14),   # ellipse cut off at the photo's bottom
    'marks': ((11, 8, 1, 1), (53, 8, -1, 1), (11, 56, 1, -1), (53, 56, -1, -1)),
    'mark_arm': 10,
    'mark_thickness': 3,
}


def _shoulders_polygon(cx, cy, rx, ry, cut_y):
    half = math.asin((cut_y - cy) / ry)        # angle where the ellipse meets the cut
    start = math.pi - half
    end = 2 * math.pi + half
    return _snap_points(elliptic_arc(cx, cy, rx, ry, start, end))


def _bracket(corner_x, corner_y, dir_x, dir_y, arm, thickness):
    """An L-shaped crop mark whose outer corner is (corner_x, corner_y)."""
    x0, y0 = corner_x, corner_y
    xa, ya = x0 + dir_x * arm, y0 + dir_y * arm
    xt, yt = x0 + dir_x * thickness, y0 + dir_y * thickness
    return [(x0, y0), (xa, y0), (xa, yt), (xt, yt), (xt, ya), (x0, ya)]


def draw_icon_large(canvas, ox, oy, size):
    s = size / 64.0

    def place(polygon):
        return [(_snap(ox + x * s), _snap(oy + y * s)) for x, y in polygon]

    x0, y0, x1, y1, r = ICON['tile']
    canvas.fill([rounded_rect(ox + x0 * s, oy + y0 * s, ox + x1 * s, oy + y1 * s, r * s)],
                vertical_gradient(TILE_TOP, TILE_BOTTOM, oy + y0 * s, oy + y1 * s))
    fx0, fy0, fx1, fy1, fr = ICON['frame']
    canvas.fill([rounded_rect(ox + fx0 * s, oy + fy0 * s, ox + fx1 * s, oy + fy1 * s, fr * s)], WHITE)
    px0, py0, px1, py1 = ICON['photo']
    canvas.fill([place(rect(px0, py0, px1, py1))],
                vertical_gradient(SKY_TOP, SKY_BOTTOM, oy + py0 * s, oy + py1 * s))
    hx, hy, hr = ICON['head']
    canvas.fill([circle(ox + hx * s, oy + hy * s, hr * s)], NAVY)
    cx, cy, rx, ry = ICON['shoulders']
    canvas.fill([place(_shoulders_polygon(cx, cy, rx, ry, py1))], NAVY)
    for mx, my, dx, dy in ICON['marks']:
        canvas.fill([place(_bracket(mx, my, dx, dy, ICON['mark_arm'], ICON['mark_thickness']))], AMBER)


# The small sizes are placed on whole pixels by hand: the tile (inset, far
# edge, corner radius), the print's white border (16 px has none), the
# photo, head and shoulders, and the corner marks (left, right, top, bottom,
# arm, thickness).
HINTED_ICONS = {
    32: dict(tile=(1, 31, 6.5), border=(9, 7, 23, 25), photo=(10, 8, 22, 24), head=(16, 13.6, 3.2),
             shoulders=(16, 25.6, 6.2, 7.0, 24), marks=(5, 27, 3, 29, 6, 2)),
    16: dict(tile=(0, 16, 3.5), border=None, photo=(4, 3, 12, 13), head=(8, 6.6, 1.8),
             shoulders=(8, 13.8, 3.4, 4.2, 13), marks=(2, 14, 1, 15, 4, 1)),
}


def draw_icon_hinted(canvas, size):
    """The picture of the large icon, simplified for a small size."""
    g = HINTED_ICONS[size]
    lo, hi, radius = g['tile']
    canvas.fill([rounded_rect(lo, lo, hi, hi, radius)], vertical_gradient(TILE_TOP, TILE_BOTTOM, lo, hi))
    if g['border']:
        canvas.fill([rect(*g['border'])], WHITE)
    x0, y0, x1, y1 = g['photo']
    canvas.fill([rect(x0, y0, x1, y1)], vertical_gradient(SKY_TOP, SKY_BOTTOM, y0, y1))
    canvas.fill([circle(*g['head'])], NAVY)
    canvas.fill([_shoulders_polygon(*g['shoulders'])], NAVY)
    left, right, top, bottom, arm, thickness = g['marks']
    for mx, my, dx, dy in ((left, top, 1, 1), (right, top, -1, 1), (left, bottom, 1, -1), (right, bottom, -1, -1)):
        canvas.fill([_bracket(mx, my, dx, dy, arm, thickness)], AMBER)


def make_icon(size):
    canvas = Canvas(size, size, (0, 0, 0, 0), subsamples=16)
    if size <= 16:
        draw_icon_hinted(canvas, 16)
    elif size <= 32:
        draw_icon_hinted(canvas, 32)
    else:
        draw_icon_large(canvas, 0, 0, size)
    return encode_png(size, size, canvas.pixels, 4)


def make_icon_svg():
    tx0, ty0, tx1, ty1, tr = ICON['tile']
    fx0, fy0, fx1, fy1, fr = ICON['frame']
    px0, py0, px1, py1 = ICON['photo']
    hx, hy, hr = ICON['head']
    cx, cy, rx, ry = ICON['shoulders']
    half = math.asin((py1 - cy) / ry)
    sx0 = cx + rx * math.cos(math.pi - half)
    sx1 = cx + rx * math.cos(half)

    def num(v):
        return ('%.3f' % v).rstrip('0').rstrip('.')

    def hexof(c):
        return '#%02X%02X%02X' % c[:3]

    marks = []
    for mx, my, dx, dy in ICON['marks']:
        points = _bracket(mx, my, dx, dy, ICON['mark_arm'], ICON['mark_thickness'])
        marks.append('  <path d="M%s Z" fill="%s"/>' % (
            ' L'.join('%s %s' % (num(x), num(y)) for x, y in points), hexof(AMBER)))
    lines = [
        '<?xml version="1.0" encoding="UTF-8"?>',
        '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 64 64">',
        '  <defs>',
        '    <linearGradient id="tile" x1="0" y1="0" x2="0" y2="1">',
        '      <stop offset="0" stop-color="%s"/>' % hexof(TILE_TOP),
        '      <stop offset="1" stop-color="%s"/>' % hexof(TILE_BOTTOM),
        '    </linearGradient>',
        '    <linearGradient id="sky" x1="0" y1="0" x2="0" y2="1">',
        '      <stop offset="0" stop-color="%s"/>' % hexof(SKY_TOP),
        '      <stop offset="1" stop-color="%s"/>' % hexof(SKY_BOTTOM),
        '    </linearGradient>',
        '  </defs>',
        '  <rect x="%s" y="%s" width="%s" height="%s" rx="%s" fill="url(#tile)"/>' % tuple(
            num(v) for v in (tx0, ty0, tx1 - tx0, ty1 - ty0, tr)),
        '  <rect x="%s" y="%s" width="%s" height="%s" rx="%s" fill="%s"/>' % (
            num(fx0), num(fy0), num(fx1 - fx0), num(fy1 - fy0), num(fr), hexof(WHITE)),
        '  <rect x="%s" y="%s" width="%s" height="%s" fill="url(#sky)"/>' % tuple(
            num(v) for v in (px0, py0, px1 - px0, py1 - py0)),
        '  <circle cx="%s" cy="%s" r="%s" fill="%s"/>' % (num(hx), num(hy), num(hr), hexof(NAVY)),
        '  <path d="M%s %s A%s %s 0 0 1 %s %s Z" fill="%s"/>' % (
            num(sx0), num(py1), num(rx), num(ry), num(sx1), num(py1), hexof(NAVY)),
    ] + marks + ['</svg>', '']
    return '\n'.join(lines).encode('utf-8')


# ---------------------------------------------------------------------------
# Header band buttons (white band, so white background; hover = tinted tile
# behind a brighter drawing).

BUTTON_BLUE = hex_colour('2F6FC4')
BUTTON_BLUE_HOVER = hex_colour('1E88F0')
HOVER_TINT = hex_colour('E4F0FD')


def _button_canvas(hover):
    canvas = Canvas(64, 64, (255, 255, 255, 1.0), subsamples=16)
    if hover:
        canvas.fill([rounded_rect(2, 2, 62, 62, 12)], HOVER_TINT)
    return canvas


def make_contact(hover):
    canvas = _button_canvas(hover)
    colour = BUTTON_BLUE_HOVER if hover else BUTTON_BLUE
    bubble = rounded_rect(8, 12, 56, 44, 11)
    tail = [(17, 38), (31, 38), (14, 54)]
    canvas.fill([bubble, tail], colour)
    dot_colour = AMBER if hover else WHITE
    for x in (21.5, 32, 42.5):
        canvas.fill([circle(x, 28, 3.8)], dot_colour)
    return encode_gif(64, 64, canvas.rgb_bytes())


def make_homepage(hover):
    canvas = _button_canvas(hover)
    colour = BUTTON_BLUE_HOVER if hover else BUTTON_BLUE
    roof_colour = NAVY if not hover else hex_colour('1D5FB8')
    canvas.fill([rect(41, 11, 48, 26)], roof_colour)                       # chimney
    canvas.fill([[(15, 30), (32, 15), (49, 30), (49, 53), (15, 53)]], colour)  # walls
    canvas.fill(stroke([(8.5, 32), (32, 11), (55.5, 32)], 6), roof_colour)  # roof
    # Door; its rounded foot hides under the ground line.
    canvas.fill([rounded_rect(27, 38, 37, 56, 2.5)], AMBER if hover else WHITE)
    canvas.fill([rect(6, 53, 58, 56)], roof_colour)                        # ground line
    return encode_gif(64, 64, canvas.rgb_bytes())


def make_brand(hover):
    width, height = 195, 66
    canvas = Canvas(width, height, (255, 255, 255, 1.0), subsamples=16)
    if hover:
        canvas.fill([rounded_rect(1, 2, 194, 64, 14)], HOVER_TINT)
    cell = 4
    word = 'Kelvra'
    mark_size = 48
    gap = 10
    total = mark_size + gap + text_width(word, cell)
    left = (width - total) // 2
    draw_icon_large(canvas, left, (height - mark_size) // 2, mark_size)
    text_left = left + mark_size + gap
    text_top = (height - 7 * cell) // 2 - 2
    shadow = hex_colour('FFB627', 1.0) if hover else hex_colour('C9D8EE')
    canvas.fill(pixel_text(word, text_left + 2, text_top + 2, cell), shadow)
    canvas.fill(pixel_text(word, text_left, text_top, cell), BUTTON_BLUE_HOVER if hover else NAVY)
    underline_y = text_top + 7 * cell + 6
    canvas.fill([rect(text_left, underline_y, text_left + text_width(word, cell), underline_y + 2)],
                AMBER if hover else hex_colour('9DB7DB'))
    return encode_gif(width, height, canvas.rgb_bytes())


# ---------------------------------------------------------------------------
# Pictures of the tip window.


class Lcg:
    """A fixed pseudo-random sequence, independent of the Python version."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF

    def next(self):
        self.state = (self.state * 1664525 + 1013904223) & 0xFFFFFFFF
        return self.state / 4294967296.0

    def between(self, lo, hi):
        return lo + (hi - lo) * self.next()


def _soft_rings(canvas, cx, cy, radii, colour, alpha):
    for r in radii:
        canvas.fill([circle(cx, cy, r)], colour[:3] + (alpha,))


def _coffee_bean(canvas, cx, cy, size, rotation):
    canvas.fill([ellipse(cx, cy, size, size * 0.68, rotation)], hex_colour('8A5232'))
    ca, sa = math.cos(math.radians(rotation)), math.sin(math.radians(rotation))
    crease = []
    for i in range(21):
        t = -0.8 + 1.6 * i / 20
        x = t * size
        y = math.sin(t * 3.2) * size * 0.12
        crease.append((cx + x * ca - y * sa, cy + x * sa + y * ca))
    canvas.fill(stroke(crease, size * 0.16), hex_colour('5B3220'))


def make_tip_left():
    width, height = 1080, 986
    canvas = Canvas(width, height, (255, 255, 255, 1.0), subsamples=4)
    canvas.fill_rows(vertical_gradient(hex_colour('FFF3E3'), hex_colour('FFD3B5'), 0, height))
    _soft_rings(canvas, 540, 500, (450, 360, 270), WHITE, 0.22)

    beans = ((120, 840, 42, 30), (205, 905, 34, -20), (960, 150, 40, -35),
             (885, 90, 30, 15), (960, 860, 38, 60), (110, 150, 32, -60))
    rng = Lcg(20240611)
    dot_colours = [hex_colour('FFB08A'), hex_colour('FF8FA3'), hex_colour('FFD27F'), hex_colour('9ED9CF')]
    for _ in range(46):
        x, y = rng.between(20, width - 20), rng.between(20, height - 20)
        colour = dot_colours[int(rng.next() * len(dot_colours))]
        radius = rng.between(6, 15)
        if math.hypot(x - 540, (y - 520) * 1.1) < 470:
            continue
        if any(math.hypot(x - bx, y - by) < size + radius + 12 for bx, by, size, _ in beans):
            continue
        canvas.fill([circle(x, y, radius)], colour[:3] + (0.75,))
    for cx, cy, size, rotation in beans:
        _coffee_bean(canvas, cx, cy, size, rotation)

    # Saucer with its shadow.
    canvas.fill([ellipse(548, 858, 385, 62)], (140, 80, 50, 0.16))
    canvas.fill([ellipse(540, 838, 352, 72)], hex_colour('E6D6C6'))
    canvas.fill([ellipse(540, 822, 352, 66)], WHITE)
    canvas.fill([ellipse(540, 818, 228, 38)], hex_colour('F2E7DC'))

    body_dark = hex_colour('1F7F73')
    # Handle, partly hidden by the body drawn after it.
    canvas.fill([ellipse(772, 598, 108, 98), ellipse(772, 598, 62, 54)], body_dark, even_odd=True)
    # Cup body: rim ellipse on top, curved sides, rounded foot.
    left_side = cubic((300, 420), (298, 610), (330, 745), (398, 790))
    foot = elliptic_arc(540, 790, 142, 28, math.pi, 0.0)
    right_side = cubic((682, 790), (750, 745), (782, 610), (780, 420))
    rim_back = elliptic_arc(540, 420, 240, 52, 0.0, -math.pi)
    body = _snap_points(left_side + foot + right_side + rim_back)
    canvas.fill([body], horizontal_gradient([
        (0.0, hex_colour('2A9D8F')), (0.25, hex_colour('4DBBAC')),
        (0.6, hex_colour('2A9D8F')), (1.0, hex_colour('1C7469'))], 300, 780))
    # A soft reflection down the left of the cup.
    highlight = cubic((352, 480), (352, 600), (372, 690), (412, 742), 40)
    canvas.fill(stroke(highlight, 24), (255, 255, 255, 0.28))
    # Rim and coffee.
    canvas.fill([ellipse(540, 420, 240, 52)], hex_colour('8AD8CC'))
    canvas.fill([ellipse(540, 423, 220, 42)], hex_colour('5A3522'))
    canvas.fill([ellipse(540, 428, 208, 35)], hex_colour('7A4A2E'))
    canvas.fill([heart(540, 428, 120, squash=0.3)], hex_colour('EED7BA'))

    # Steam rising into a small heart.
    for x0, top, phase, alpha in ((452, 180, 0.6, 0.75), (540, 140, 2.4, 0.85), (628, 200, 4.1, 0.75)):
        points = []
        for i in range(61):
            t = i / 60.0
            points.append((x0 + 22 * math.sin(t * 2 * math.pi * 1.15 + phase) * (0.5 + 0.5 * t),
                           352 - t * (352 - top)))
        canvas.fill(stroke(_snap_points(points), 24), (255, 255, 255, alpha))
    canvas.fill([heart(540, 92, 78)], hex_colour('FF7A93'))
    canvas.fill([heart(300, 230, 46)], hex_colour('FF9AAE', 0.85))
    canvas.fill([heart(800, 250, 38)], hex_colour('FFB08A', 0.9))
    return encode_png(width, height, canvas.rgb_bytes(), 3)


def make_tip_right():
    width, height = 1080, 1200
    canvas = Canvas(width, height, (255, 255, 255, 1.0), subsamples=4)
    canvas.fill_rows(vertical_gradient(hex_colour('F0E8FF'), hex_colour('FFDCE8'), 0, height))
    _soft_rings(canvas, 540, 650, (500, 400, 300), WHITE, 0.22)

    sparkles = ((285, 190, 42), (812, 340, 34), (770, 150, 24), (240, 470, 22), (860, 560, 28))

    def keeps_clear(x, y):
        # Confetti stays off the heart, the box, its shadow and the sparkles.
        if 230 < x < 850 and 440 < y < 1100:
            return False
        if math.hypot((x - 540) / 215.0, (y - 300) / 200.0) < 1.0:
            return False
        return all(math.hypot(x - sx, y - sy) > r + 30 for sx, sy, r in sparkles)

    confetti_colours = [hex_colour(c) for c in ('FF6F91', 'FFC75F', '4D8BF5', '2EC4B6', 'B388FF', 'FF9671')]
    rng = Lcg(77031)
    for index in range(110):
        x, y = rng.between(30, width - 30), rng.between(30, height - 30)
        colour = confetti_colours[int(rng.next() * len(confetti_colours))][:3] + (0.9,)
        rotation = rng.between(0, 180)
        kind = index % 3
        if not keeps_clear(x, y):
            continue
        if kind == 0:
            shape = rotated_rect(x, y, rng.between(22, 34), rng.between(10, 14), rotation)
        elif kind == 1:
            shape = circle(x, y, rng.between(7, 12))
        else:
            r = rng.between(12, 18)
            shape = _snap_points([(x + r * math.cos(math.radians(rotation + a)),
                                   y + r * math.sin(math.radians(rotation + a))) for a in (0, 120, 240)])
        canvas.fill([shape], colour)

    # Gift box.
    canvas.fill([ellipse(548, 1050, 340, 44)], (120, 60, 110, 0.15))
    canvas.fill([rect(300, 700, 780, 1032)], hex_colour('FF6F61'))
    canvas.fill([rect(640, 700, 780, 1032)], hex_colour('F0594C'))
    canvas.fill([rect(300, 700, 780, 732)], hex_colour('D94C41'))
    canvas.fill([rect(505, 700, 575, 1032)], hex_colour('FFD166'))
    canvas.fill([rect(505, 700, 575, 732)], hex_colour('E3B24A'))
    canvas.fill([rounded_rect(268, 606, 812, 712, 14)], hex_colour('FF8577'))
    canvas.fill([rect(500, 606, 580, 712)], hex_colour('FFD976'))
    # Bow: tails, loops, knot.
    tail = [(528, 596), (448, 690), (474, 684), (488, 706), (552, 604)]
    canvas.fill([tail, [(1080 - x, y) for x, y in tail]], hex_colour('F2B53A'))
    for cx, rotation in ((452, -24), (628, 24)):
        inner_cx = cx + (10 if cx < 540 else -10)
        canvas.fill([ellipse(cx, 556, 104, 56, rotation), ellipse(inner_cx, 558, 58, 24, rotation)],
                    hex_colour('FFC94D'), even_odd=True)
    canvas.fill([rounded_rect(508, 530, 572, 604, 18)], hex_colour('FFD166'))

    # A heart floating above, with a few sparkles.
    canvas.fill([heart(540, 300, 340)], hex_colour('FF4D6D'))
    canvas.fill([ellipse(448, 226, 44, 22, -38)], (255, 255, 255, 0.4))
    canvas.fill([circle(500, 196, 9)], (255, 255, 255, 0.4))
    for x, y, r in sparkles:
        canvas.fill([sparkle(x, y, r)], hex_colour('FFC94D'))
    return encode_png(width, height, canvas.rgb_bytes(), 3)


# ---------------------------------------------------------------------------
# Thank-you text (shown in the tip window's text box; CR LF, GBK-safe).

THANKS_LINES = [
    '',
    '如果这个小工具帮您省下了时间，欢迎随意打赏，金额多少都是对作者最大的鼓励，谢谢！',
    '',
    '渠道一（示例）：tip-one@example.org',
    '渠道二（示例）：tip-two@example.org',
    '渠道三（示例）：tip-three@example.com',
    '渠道四（示例）：tip-four@example.com',
    '',
    '如需较大金额的打赏或在公司内使用，欢迎来信：contact@example.org',
]


def make_thanks():
    text = '\r\n'.join(THANKS_LINES)
    text.encode('gbk')      # refuses to write a character the box could not show
    return text.encode('utf-8')


# ---------------------------------------------------------------------------

PICTURES = [
    ('icon-16.png', lambda: make_icon(16)),
    ('icon-32.png', lambda: make_icon(32)),
    ('icon-48.png', lambda: make_icon(48)),
    ('icon-64.png', lambda: make_icon(64)),
    ('icon-128.png', lambda: make_icon(128)),
    ('icon-256.png', lambda: make_icon(256)),
    ('icon.svg', make_icon_svg),
    ('contact.gif', lambda: make_contact(False)),
    ('contact-hover.gif', lambda: make_contact(True)),
    ('homepage.gif', lambda: make_homepage(False)),
    ('homepage-hover.gif', lambda: make_homepage(True)),
    ('brand.gif', lambda: make_brand(False)),
    ('brand-hover.gif', lambda: make_brand(True)),
    ('tip-left.png', make_tip_left),
    ('tip-right.png', make_tip_right),
    ('thanks.txt', make_thanks),
]


def make_qrc(names):
    lines = ['<!DOCTYPE RCC>', '<RCC version="1.0">', '  <qresource prefix="/trimbrel">']
    lines += ['    <file>%s</file>' % name for name in names]
    lines += ['  </qresource>', '</RCC>', '']
    return '\n'.join(lines).encode('utf-8')


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--out', default=os.path.dirname(os.path.abspath(__file__)),
                        help='folder to write into (default: the folder of this script)')
    args = parser.parse_args(argv)
    os.makedirs(args.out, exist_ok=True)
    outputs = [(name, make()) for name, make in PICTURES]
    outputs.append(('assets.qrc', make_qrc([name for name, _ in PICTURES])))
    for name, data in outputs:
        with open(os.path.join(args.out, name), 'wb') as handle:
            handle.write(data)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
