#!/usr/bin/env python3
"""Draws the two pictures of the settings dialog's white header band into src/settings/dialogs/.

    tools/art/draw-settings-header.py [output-folder]

The band is white, 474 x 62. The picture (40 x 40 at (11, 8)) is a small open envelope with a sheet rising out
of it, in the golden orange of the arrival envelope; the icon (32 x 32 at (29, 23)) lies over its lower right
corner and adds a steel gear, so the pair reads as "mail settings". Each comes twice:
- header_envelope.png, header_gear.png: 8-bit RGBA with soft shadows, for drawing with alpha (GDI+, AlphaBlend);
- header_envelope.bmp, header_gear.bmp: 24-bit, already composed over the white band *with the other picture
  included where they overlap*, so two plain bitmap controls show the same scene whichever is on top.
Needs python3 only. The output is byte-for-byte reproducible.
"""

import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import artlib as a  # noqa: E402

ENVELOPE_SIZE, ENVELOPE_AT = 40, (11, 8)
GEAR_SIZE, GEAR_AT = 32, (29, 23)
OUTLINE = (168, 92, 18)


def envelope():
    n = ENVELOPE_SIZE
    c = a.Canvas(n, n)
    left, top, right, bottom = 2, 17, 37, 36
    cx = (left + right) / 2
    front_top = 27
    body = a.rounded_rect(left, top, right, bottom, 1.5)
    flap = [(left + 0.5, top + 0.5), (cx, 5), (right - 0.5, top + 0.5)]
    sheet = [(8, 3), (27, 3)] + a.cubic((27, 3), (28.5, 3), (31, 5.5), (31, 7), 4) + [(31, 30), (8, 30)]
    curl = [(27, 3)] + a.cubic((27, 3), (26.5, 5.5), (28, 7.5), (31, 7), 5) + [(31, 7)]
    side_left = [(left, top), (cx + 0.3, front_top + 2), (left, bottom)]
    side_right = [(right, top), (cx - 0.3, front_top + 2), (right, bottom)]
    arch = [(left, bottom)] + a.cubic((left, bottom), (left + 3, 30), (cx - 11, front_top), (cx, front_top), 10)
    arch += a.cubic((cx, front_top), (cx + 11, front_top), (right - 3, 30), (right, bottom), 10)

    body_m, flap_m = a.fill(n, n, body), a.fill(n, n, flap)
    sheet_m, curl_m = a.fill(n, n, sheet), a.fill(n, n, curl)
    c.paint(flap_m, a.linear((0, 5), (0, top), [(0, (255, 205, 108)), (1, (244, 166, 52))]))
    c.paint(a.fill(n, n, a.stroke(flap, 0.9)), OUTLINE, 0.85)
    c.paint(body_m, (200, 116, 28))
    c.paint(sheet_m.shifted(1, 1).blurred(0.8).times(body_m.union(flap_m)), (90, 40, 0), 0.4)
    c.paint(sheet_m, a.linear((0, 3), (0, 26), [(0, (255, 255, 253)), (1, (244, 240, 230))]))
    for y, x1 in [(8, 24), (11, 27), (14, 22), (17, 27), (20, 25)]:
        c.paint(a.fill(n, n, [(11, y), (x1, y), (x1, y + 1), (11, y + 1)]), (160, 176, 200))
    c.paint(curl_m, a.linear((31, 3), (27, 7), [(0, (206, 198, 182)), (1, (255, 255, 255))]))
    c.paint(a.fill(n, n, a.stroke(sheet[:1] + sheet[1:2] + sheet[2:6] + [(31, 30)], 0.7)), (160, 150, 130), 0.7)
    c.paint(a.fill(n, n, a.stroke([(8, 30), (8, 3)], 0.7)), (160, 150, 130), 0.7)

    side_l_m = a.fill(n, n, side_left).times(body_m)
    side_r_m = a.fill(n, n, side_right).times(body_m)
    c.paint(side_l_m, a.linear((left, 0), (cx, 0), [(0, (238, 152, 38)), (1, (252, 186, 84))]))
    c.paint(side_r_m, a.linear((right, 0), (cx, 0), [(0, (234, 146, 34)), (1, (250, 182, 78))]))
    c.paint(a.fill(n, n, a.stroke(side_left[:2], 0.9)).times(body_m), OUTLINE, 0.8)
    c.paint(a.fill(n, n, a.stroke(side_right[:2], 0.9)).times(body_m), OUTLINE, 0.8)
    arch_m = a.fill(n, n, arch).times(body_m)
    c.paint(arch_m, a.linear((0, front_top), (0, bottom), [(0, (255, 246, 220)), (1, (253, 222, 154))]))
    c.paint(a.fill(n, n, a.stroke(arch, 0.9)).times(body_m), OUTLINE, 0.8)
    hidden = sheet_m.minus(side_l_m.union(side_r_m).union(arch_m))
    c.paint(a.fill(n, n, a.stroke(body, 1.0, closed=True)).times(body_m).minus(hidden), OUTLINE)

    silhouette = c.alpha_mask()
    c.paint_under(silhouette.shifted(1, 1).blurred(1.2), (40, 22, 0), 0.35)
    return c


def gear():
    n = GEAR_SIZE
    c = a.Canvas(n, n)
    cx, cy = 21.5, 21.5
    teeth, outer, root = 8, 9.6, 7.2
    outline = []
    for i in range(teeth):
        base = 2 * math.pi * i / teeth
        for angle, radius in [(-0.30, root), (-0.17, outer), (0.17, outer), (0.30, root)]:
            phi = base + angle
            outline.append((cx + radius * math.cos(phi), cy + radius * math.sin(phi)))
        # the root between two teeth, a little rounded
        for k in range(1, 4):
            phi = base + 0.30 + (2 * math.pi / teeth - 0.60) * k / 4
            outline.append((cx + root * math.cos(phi), cy + root * math.sin(phi)))
    hole = a.circle(cx, cy, 2.6, 16)
    gear_m = a.fill(n, n, [outline, hole], rule="evenodd")
    c.paint(gear_m, a.linear((cx - 8, cy - 8), (cx + 8, cy + 8), [(0, (176, 186, 198)), (1, (84, 94, 108))]))
    # A golden hub ring ties the gear to the envelope beneath it.
    ring = a.fill(n, n, [a.circle(cx, cy, 5.2, 24), a.circle(cx, cy, 2.6, 16)], rule="evenodd")
    c.paint(ring, a.linear((cx - 5, cy - 5), (cx + 5, cy + 5), [(0, (255, 210, 120)), (1, (226, 140, 30))]))
    c.paint(a.fill(n, n, a.stroke(outline, 0.9, closed=True)), (52, 58, 68), 0.9)
    c.paint(a.fill(n, n, a.stroke(hole, 0.8, closed=True)), (52, 58, 68), 0.9)
    c.paint(a.fill(n, n, a.stroke(a.circle(cx, cy, 5.2, 24), 0.7, closed=True)), (150, 84, 14), 0.8)
    silhouette = c.alpha_mask()
    c.paint_under(silhouette.shifted(1, 1).blurred(1.0), (20, 20, 30), 0.4)
    c.paint_under(silhouette.blurred(0.8), (255, 255, 255), 0.9)  # a thin white rim separates it from the envelope
    return c


def scene(env, gr):
    """The header band's left part as the user sees it: white, the envelope, the gear over it."""
    w, h = GEAR_AT[0] + GEAR_SIZE, GEAR_AT[1] + GEAR_SIZE
    band = a.Canvas(w, h)
    band.paint(a.Mask(w, h, [1.0] * (w * h)), (255, 255, 255))
    for picture, (ox, oy) in [(env, ENVELOPE_AT), (gr, GEAR_AT)]:
        for y in range(picture.h):
            for x in range(picture.w):
                i, j = y * picture.w + x, (y + oy) * w + x + ox
                keep = 1 - picture.a[i]
                band.r[j] = picture.r[i] + band.r[j] * keep
                band.g[j] = picture.g[i] + band.g[j] * keep
                band.b[j] = picture.b[i] + band.b[j] * keep
    return band


def crop(band, ox, oy, size):
    rows = band.composite_over_white()
    return [row[ox * 3:(ox + size) * 3] for row in rows[oy:oy + size]]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "src", "settings", "dialogs")
    env, gr = envelope(), gear()
    a.write_png_rgba(os.path.join(out, "header_envelope.png"), env.to_rgba8(alpha_floor=3), ENVELOPE_SIZE,
                     ENVELOPE_SIZE)
    a.write_png_rgba(os.path.join(out, "header_gear.png"), gr.to_rgba8(alpha_floor=3), GEAR_SIZE, GEAR_SIZE)
    band = scene(env, gr)
    a.write_bmp24(os.path.join(out, "header_envelope.bmp"), crop(band, *ENVELOPE_AT, ENVELOPE_SIZE),
                  ENVELOPE_SIZE, ENVELOPE_SIZE)
    a.write_bmp24(os.path.join(out, "header_gear.bmp"), crop(band, *GEAR_AT, GEAR_SIZE), GEAR_SIZE, GEAR_SIZE)
    for name in ["header_envelope.png", "header_gear.png", "header_envelope.bmp", "header_gear.bmp"]:
        print(os.path.normpath(os.path.join(out, name)))


if __name__ == "__main__":
    main()
