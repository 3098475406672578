"""Small raster toolkit for the program's pictures: python3 standard library plus ImageMagick's `convert`.

Shapes are rasterised here (exact horizontal coverage, 16 sub-rows per pixel) so that every pixel value is
reproducible and the alpha rules of a picture can be enforced exactly; only glyphs come from ImageMagick
(FreeType with hinting, which keeps tiny captions sharp). Pixel (x, y) covers the square [x, x+1) x [y, y+1);
all coordinates are in pixels, floats allowed. Colours are (r, g, b) tuples of 0..255.
"""

import math
import shutil
import struct
import subprocess
import zlib

SUBROWS = 16


# ---------------------------------------------------------------- geometry


def cubic(p0, p1, p2, p3, steps=16):
    """Points of a cubic Bezier curve, p0 excluded, p3 included."""
    out = []
    for i in range(1, steps + 1):
        t = i / steps
        u = 1 - t
        out.append((u * u * u * p0[0] + 3 * u * u * t * p1[0] + 3 * u * t * t * p2[0] + t * t * t * p3[0],
                    u * u * u * p0[1] + 3 * u * u * t * p1[1] + 3 * u * t * t * p2[1] + t * t * t * p3[1]))
    return out


def rounded_rect(x0, y0, x1, y1, r, steps=6):
    """Clockwise (on screen) rectangle with quarter-circle corners of radius r."""
    pts = []
    corners = [(x1 - r, y0 + r, -90), (x1 - r, y1 - r, 0), (x0 + r, y1 - r, 90), (x0 + r, y0 + r, 180)]
    for cx, cy, start in corners:
        for i in range(steps + 1):
            a = math.radians(start + 90 * i / steps)
            pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return pts


def circle(cx, cy, r, steps=16):
    return [(cx + r * math.cos(2 * math.pi * i / steps), cy + r * math.sin(2 * math.pi * i / steps))
            for i in range(steps)]


def _orient(poly, clockwise=True):
    area = 0.0
    for i in range(len(poly)):
        x0, y0 = poly[i]
        x1, y1 = poly[(i + 1) % len(poly)]
        area += x0 * y1 - x1 * y0
    return poly if (area > 0) == clockwise else poly[::-1]


def stroke(points, width, closed=False):
    """Polygons (all of one orientation, so a nonzero fill unites them) covering a polyline of the given width."""
    half = width / 2
    polys = []
    n = len(points)
    segments = n if closed else n - 1
    for i in range(segments):
        (x0, y0), (x1, y1) = points[i], points[(i + 1) % n]
        length = math.hypot(x1 - x0, y1 - y0)
        if length == 0:
            continue
        nx, ny = -(y1 - y0) / length * half, (x1 - x0) / length * half
        polys.append(_orient([(x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)]))
    joints = points if closed else points[1:-1]
    for x, y in joints:
        polys.append(_orient(circle(x, y, half, 12)))
    return polys


# ---------------------------------------------------------------- coverage masks


class Mask:
    """Coverage 0..1 per pixel."""

    def __init__(self, w, h, values=None):
        self.w, self.h = w, h
        self.v = values if values is not None else [0.0] * (w * h)

    def get(self, x, y):
        if 0 <= x < self.w and 0 <= y < self.h:
            return self.v[y * self.w + x]
        return 0.0

    def times(self, other):
        return Mask(self.w, self.h, [a * b for a, b in zip(self.v, other.v)])

    def minus(self, other):
        return Mask(self.w, self.h, [a * (1 - b) for a, b in zip(self.v, other.v)])

    def union(self, other):
        return Mask(self.w, self.h, [a + b - a * b for a, b in zip(self.v, other.v)])

    def scaled(self, k):
        return Mask(self.w, self.h, [a * k for a in self.v])

    def shifted(self, dx, dy):
        """Moved by whole pixels."""
        out = Mask(self.w, self.h)
        for y in range(self.h):
            for x in range(self.w):
                out.v[y * self.w + x] = self.get(x - dx, y - dy)
        return out

    def blurred(self, sigma):
        radius = max(1, int(math.ceil(sigma * 3)))
        kernel = [math.exp(-(i * i) / (2 * sigma * sigma)) for i in range(-radius, radius + 1)]
        total = sum(kernel)
        kernel = [k / total for k in kernel]
        w, h = self.w, self.h
        tmp = [0.0] * (w * h)
        for y in range(h):
            row = self.v[y * w:(y + 1) * w]
            for x in range(w):
                s = 0.0
                for i, k in enumerate(kernel):
                    xx = x + i - radius
                    if 0 <= xx < w:
                        s += row[xx] * k
                tmp[y * w + x] = s
        out = [0.0] * (w * h)
        for x in range(w):
            for y in range(h):
                s = 0.0
                for i, k in enumerate(kernel):
                    yy = y + i - radius
                    if 0 <= yy < h:
                        s += tmp[yy * w + x] * k
                out[y * w + x] = s
        return Mask(w, h, out)


def fill(w, h, polys, rule="nonzero"):
    """Anti-aliased coverage of one or more polygons (lists of (x, y)) under the nonzero or even-odd rule."""
    if polys and isinstance(polys[0][0], (int, float)):
        polys = [polys]
    edges = []
    for poly in polys:
        for i in range(len(poly)):
            (x0, y0), (x1, y1) = poly[i], poly[(i + 1) % len(poly)]
            if y0 == y1:
                continue
            direction = 1 if y1 > y0 else -1
            if y0 > y1:
                x0, y0, x1, y1 = x1, y1, x0, y0
            edges.append((y0, y1, x0, (x1 - x0) / (y1 - y0), direction))
    mask = Mask(w, h)
    v = mask.v
    share = 1.0 / SUBROWS
    for py in range(h):
        for sub in range(SUBROWS):
            sy = py + (sub + 0.5) / SUBROWS
            crossings = [(x0 + (sy - y0) * slope, d) for (y0, y1, x0, slope, d) in edges if y0 <= sy < y1]
            if not crossings:
                continue
            crossings.sort()
            winding = 0
            spans = []
            start = None
            for x, d in crossings:
                before = winding
                winding += d
                inside_before = (before != 0) if rule == "nonzero" else (before % 2 == 1)
                inside_after = (winding != 0) if rule == "nonzero" else (winding % 2 == 1)
                if not inside_before and inside_after:
                    start = x
                elif inside_before and not inside_after:
                    spans.append((start, x))
            base = py * w
            for a, b in spans:
                a, b = max(a, 0.0), min(b, float(w))
                if b <= a:
                    continue
                ia, ib = int(a), int(b)
                if ia == ib:
                    v[base + ia] += (b - a) * share
                    continue
                v[base + ia] += (ia + 1 - a) * share
                for x in range(ia + 1, min(ib, w)):
                    v[base + x] += share
                if ib < w:
                    v[base + ib] += (b - ib) * share
    mask.v = [min(1.0, c) for c in v]
    return mask


# ---------------------------------------------------------------- paint


def linear(p0, p1, stops):
    """Colour function of a linear gradient from p0 to p1; stops are (t, colour) pairs, t ascending in 0..1."""
    dx, dy = p1[0] - p0[0], p1[1] - p0[1]
    length2 = dx * dx + dy * dy

    def colour(x, y):
        t = ((x + 0.5 - p0[0]) * dx + (y + 0.5 - p0[1]) * dy) / length2
        t = min(1.0, max(0.0, t))
        for (ta, ca), (tb, cb) in zip(stops, stops[1:]):
            if t <= tb:
                k = 0.0 if tb == ta else (t - ta) / (tb - ta)
                return tuple(ca[i] + (cb[i] - ca[i]) * k for i in range(3))
        return stops[-1][1]

    return colour


def solid(c):
    return lambda x, y: c


class Canvas:
    """Premultiplied RGBA in floats 0..1."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.r = [0.0] * (w * h)
        self.g = [0.0] * (w * h)
        self.b = [0.0] * (w * h)
        self.a = [0.0] * (w * h)

    def paint(self, mask, colour, opacity=1.0):
        """Source-over of colour (a colour tuple or a function of x, y) through a coverage mask."""
        fn = colour if callable(colour) else solid(colour)
        w = self.w
        for i, cov in enumerate(mask.v):
            if cov <= 0:
                continue
            sa = cov * opacity
            x, y = i % w, i // w
            cr, cg, cb = fn(x, y)
            keep = 1 - sa
            self.r[i] = cr / 255 * sa + self.r[i] * keep
            self.g[i] = cg / 255 * sa + self.g[i] * keep
            self.b[i] = cb / 255 * sa + self.b[i] * keep
            self.a[i] = sa + self.a[i] * keep

    def paint_under(self, mask, colour, opacity=1.0):
        """Destination-over: colour goes beneath what is already there (used for shadows)."""
        fn = colour if callable(colour) else solid(colour)
        w = self.w
        for i, cov in enumerate(mask.v):
            if cov <= 0:
                continue
            sa = cov * opacity * (1 - self.a[i])
            x, y = i % w, i // w
            cr, cg, cb = fn(x, y)
            self.r[i] += cr / 255 * sa
            self.g[i] += cg / 255 * sa
            self.b[i] += cb / 255 * sa
            self.a[i] += sa

    def alpha_mask(self):
        return Mask(self.w, self.h, list(self.a))

    def to_rgba8(self, alpha_scale=1.0, alpha_floor=0):
        """Straight (not premultiplied) 8-bit RGBA rows; alpha scaled, alphas below alpha_floor dropped to 0."""
        rows = []
        for y in range(self.h):
            row = bytearray()
            for x in range(self.w):
                i = y * self.w + x
                a = self.a[i]
                a8 = int(round(a * alpha_scale * 255))
                if a8 < alpha_floor or a <= 0:
                    row += bytes((0, 0, 0, 0))
                    continue
                row += bytes((min(255, int(round(self.r[i] / a * 255))),
                              min(255, int(round(self.g[i] / a * 255))),
                              min(255, int(round(self.b[i] / a * 255))), min(255, a8)))
            rows.append(bytes(row))
        return rows

    def composite_over_white(self):
        rows = []
        for y in range(self.h):
            row = bytearray()
            for x in range(self.w):
                i = y * self.w + x
                keep = 1 - self.a[i]
                row += bytes(int(round((c[i] + keep) * 255)) for c in (self.r, self.g, self.b))
            rows.append(bytes(row))
        return rows


# ---------------------------------------------------------------- text


def text_mask(w, h, text, font, pointsize, left, top, expect=None):
    """Coverage of a caption rendered by ImageMagick (hinted FreeType at 72 dpi, so points are pixels), moved so
    that its ink's bounding box starts at (left, top). When expect=(width, height) is given the ink must have
    exactly that size: the captions have fixed places in the picture, and another font version would break them."""
    if shutil.which("convert") is None:
        raise SystemExit("ImageMagick's convert is needed (Debian package imagemagick)")
    pad = 8
    cw, ch = int(pointsize * len(text)) + 2 * pad, int(pointsize * 2) + 2 * pad
    raw = subprocess.run(
        ["convert", "-size", f"{cw}x{ch}", "xc:black", "-font", font, "-pointsize", str(pointsize), "-fill",
         "white", "-annotate", f"+{pad}+{pad + pointsize}", text, "-depth", "8", "gray:-"],
        check=True, capture_output=True).stdout
    if len(raw) != cw * ch:
        raise SystemExit(f"unexpected raster from convert for {text!r}")
    ink = [(i % cw, i // cw) for i, value in enumerate(raw) if value > 0]
    if not ink:
        raise SystemExit(f"font {font} drew nothing for {text!r}: is fonts-dejavu-core installed?")
    x0, y0 = min(p[0] for p in ink), min(p[1] for p in ink)
    x1, y1 = max(p[0] for p in ink), max(p[1] for p in ink)
    if expect is not None and (x1 - x0 + 1, y1 - y0 + 1) != tuple(expect):
        raise SystemExit(f"caption {text!r} in {font} {pointsize}px measures {x1 - x0 + 1}x{y1 - y0 + 1}, "
                         f"expected {expect[0]}x{expect[1]}")
    mask = Mask(w, h)
    for sx, sy in ink:
        x, y = sx - x0 + left, sy - y0 + top
        if 0 <= x < w and 0 <= y < h:
            mask.v[y * w + x] = raw[sy * cw + sx] / 255
    return mask


# ---------------------------------------------------------------- files


def _chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def write_png_rgba(path, rows, w, h):
    """8-bit RGBA (colour type 6), not interlaced, with a gAMA chunk of 1/2.2 (sRGB-like) and nothing that
    changes between runs, so the file is byte-for-byte reproducible."""
    raw = b"".join(b"\x00" + row for row in rows)
    data = (b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)) +
            _chunk(b"gAMA", struct.pack(">I", 45455)) + _chunk(b"IDAT", zlib.compress(raw, 9)) +
            _chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(data)


def write_bmp24(path, rows, w, h):
    """Bottom-up 24-bit BMP (BITMAPINFOHEADER), rows padded to 4 bytes: what LoadImage reads everywhere."""
    stride = (w * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for x in range(w):
            r, g, b = row[x * 3:x * 3 + 3]
            line += bytes((b, g, r))
        pixels += line + b"\x00" * (stride - len(line))
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 14 + len(header) + len(pixels), 0, 0, 14 + len(header)) + header +
                pixels)
