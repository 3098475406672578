#!/usr/bin/env bash
# Checks the arrival envelope picture against what the popup code relies on: size and pixel format, the
# translucency rules, the plain pale bands the captions are written on and the area the count is stroked on.
#   tests/notify/envelope_picture_check.sh [path/to/envelope.png]
# Needs only python3. Exit status 0 when every rule holds; one line per broken rule otherwise.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
picture=${1:-${PIGEONET_SOURCE_DIR:-$here/../..}/src/notify/envelope.png}

exec python3 - "$picture" <<'PY'
import struct
import sys
import zlib

path = sys.argv[1]
data = open(path, "rb").read()
failures = []


def fail(text):
    failures.append(text)


if data[:8] != b"\x89PNG\r\n\x1a\n":
    sys.exit(f"{path}: not a PNG file")
chunks, pos = [], 8
while pos < len(data):
    length, kind = struct.unpack(">I4s", data[pos:pos + 8])
    chunks.append((kind, data[pos + 8:pos + 8 + length]))
    pos += 12 + length
kinds = [k for k, _ in chunks]
w, h, depth, colour_type, _, _, interlace = struct.unpack(">IIBBBBB", chunks[0][1])
if (w, h) != (135, 135):
    fail(f"size is {w} x {h}, expected 135 x 135")
if (depth, colour_type, interlace) != (8, 6, 0):
    fail(f"bit depth {depth}, colour type {colour_type}, interlace {interlace}: expected 8-bit RGBA, not interlaced")
if b"gAMA" not in kinds:
    fail("no gAMA chunk")
if failures:
    sys.exit("\n".join(failures))

# Undo the scanline filters (PNG filter types 0 to 4) to get straight RGBA bytes.
raw = zlib.decompress(b"".join(body for kind, body in chunks if kind == b"IDAT"))
stride, bpp = w * 4, 4
rows, prev = [], bytearray(stride)
for y in range(h):
    f = raw[y * (stride + 1)]
    line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    for i in range(stride):
        left = line[i - bpp] if i >= bpp else 0
        up = prev[i]
        up_left = prev[i - bpp] if i >= bpp else 0
        if f == 1:
            line[i] = (line[i] + left) & 255
        elif f == 2:
            line[i] = (line[i] + up) & 255
        elif f == 3:
            line[i] = (line[i] + (left + up) // 2) & 255
        elif f == 4:
            p = left + up - up_left
            pa, pb, pc = abs(p - left), abs(p - up), abs(p - up_left)
            line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else up_left)) & 255
    rows.append(line)
    prev = line


def px(x, y):
    return tuple(rows[y][x * 4:x * 4 + 4])


pixels = [(x, y) + px(x, y) for y in range(h) for x in range(w)]
alphas = [p[5] for p in pixels]
if 255 in alphas:
    fail(f"{alphas.count(255)} fully opaque pixels")
if max(alphas) != 242:
    fail(f"highest alpha is {max(alphas)}, expected 242 (the envelope's body)")
body = sum(1 for a in alphas if a == 242)
if body < 9000:
    fail(f"only {body} pixels carry the body alpha 242")
for x, y in [(0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1)]:
    for dx in range(4):
        for dy in range(4):
            cx, cy = abs(x - dx), abs(y - dy)
            if px(cx, cy)[3] != 0:
                fail(f"corner pixel ({cx}, {cy}) has alpha {px(cx, cy)[3]}, expected 0")
# The body is solid inside its outline, and a soft shadow (alpha strictly between 0 and 242) surrounds it.
for y in range(62, 121):
    for x in range(10, 126):
        if px(x, y)[3] != 242:
            fail(f"body pixel ({x}, {y}) has alpha {px(x, y)[3]}")
            break
shadow = [px(x, y)[3] for x, y in [(67, 127), (67, 128), (131, 90), (3, 90)]]
if not all(0 < a < 242 for a in shadow):
    fail(f"no soft shadow outside the outline: alphas {shadow}")
if len(set(a for a in alphas if 0 < a < 242)) < 40:
    fail("the outline does not fade: too few distinct partial alphas")


def caption_ink(r, g, b, a):
    # Dark grey: low chroma and dark; the outline and the envelope's shades are strongly coloured.
    return a == 242 and max(r, g, b) < 150 and max(r, g, b) - min(r, g, b) < 40


# The captions are written at run time in the interface language: their bands hold no ink of their own, and the
# picture holds no dark grey text anywhere. The bands keep the x-height of the captions (rows and columns inclusive).
captions = {"new letter": (35, 50, 100, 54), "in total": (51, 110, 83, 116)}
ink = [(x, y) for x, y, r, g, b, a in pixels if caption_ink(r, g, b, a)]
if ink:
    fail(f"{len(ink)} dark grey pixels of a painted caption, first at {ink[0]}")
for name, (x0, y0, x1, y1) in captions.items():
    for y in range(y0 - 2, y1 + 3):
        for x in range(x0, x1 + 1):
            r, g, b, a = px(x, y)
            if a != 242 or min(r, g, b) < 140:
                fail(f"caption band {name}: pixel ({x}, {y}) is not plain and pale: {(r, g, b, a)}")
                break
# The count is stroked in black at run time (bold Tahoma 20, layout box from X = 63 - 6 * digits, Y = 84):
# up to four digits land in rows 86..106, columns 42..94, which must stay plain and pale.
for y in range(86, 107):
    for x in range(42, 95):
        r, g, b, a = px(x, y)
        if a != 242 or min(r, g, b) < 140 or r + g + b < 620:
            fail(f"count area pixel ({x}, {y}) is not pale: {(r, g, b, a)}")
            break

if failures:
    print("\n".join(f"{path}: {text}" for text in failures))
    sys.exit(1)
print(f"{path}: {w} x {h} RGBA, {body} body pixels at alpha 242, caption bands and count area clear")
PY
