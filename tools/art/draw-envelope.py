#!/usr/bin/env python3
"""Draws the arrival envelope (image resource PG) into src/notify/envelope.png, and the same picture drawn for
larger screens (resources PG150 and PG200) into src/notify/envelope-150.png and envelope-200.png.

    tools/art/draw-envelope.py [output.png]            the 135 x 135 picture
    tools/art/draw-envelope.py --scale 150 [output.png] drawn for 150 % of 96 DPI: 203 x 203 (200: 270 x 270)

Every shape, gradient and shadow below is given in pixels of the 135 picture; a larger picture draws the
same geometry scaled (not a scaled-up bitmap), so its edges are as sharp as the small one's.

Needs python3 only. The output is byte-for-byte reproducible.

What the program relies on (the popup code draws into this picture and the layered window shows it as is):
- 135 x 135, 8-bit RGBA; every pixel of the envelope's body has alpha 242, none is fully opaque, the outline
  fades into a soft shadow and the four corners are fully transparent (clicks pass through there);
- the program writes its two captions in the interface language at run time, so their places stay plain: the
  "new letter" band across the sheet (x-height in rows 50..54, columns 35..100, between the ruled lines) and the
  "in total" band on the pale front flap (x-height in rows 110..116, columns 51..83);
- the count is stroked at run time as a 1-pixel outline of bold Tahoma 20 whose layout box starts at
  X = 63 - 6 * digits, Y = 84: its glyphs land in about rows 86..106, columns 42..94 (up to four digits), so
  the front flap stays plain and pale there, which keeps the hollow digits readable.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import artlib as a  # noqa: E402

DESIGN = 135
S = 1.0  # the drawing's scale; set by --scale
W = H = DESIGN
CX = 67.5  # the vertical centre line; the count is centred on it

BODY = (6, 58, 129, 124)  # the envelope's rectangle: left, top, right, bottom
APEX_Y = 14  # tip of the open back flap, hidden behind the sheet
SHEET = (27, 12, 108)  # the sheet of paper: left, top, right; its foot is inside the envelope
FRONT_TOP = 80  # highest point of the pale front flap on the centre line

OUTLINE = (168, 92, 18)


def fill(polys):
    """Coverage of polygons given in pixels of the 135 picture, at the drawing's scale."""
    if polys and isinstance(polys[0][0], (int, float)):
        polys = [polys]
    return a.fill(W, H, [[(x * S, y * S) for x, y in poly] for poly in polys])


def linear(p0, p1, stops):
    return a.linear((p0[0] * S, p0[1] * S), (p1[0] * S, p1[1] * S), stops)


def shifted(mask, dx, dy):
    return mask.shifted(round(dx * S), round(dy * S))


def blurred(mask, sigma):
    return mask.blurred(sigma * S)


def envelope_parts():
    left, top, right, bottom = BODY
    body = a.rounded_rect(left, top, right, bottom, 3)
    # The open back flap, folded up behind the sheet: a triangle with a softened tip.
    flap = [(left + 1.5, top + 1)] + a.cubic((left + 1.5, top + 1), (CX - 20, APEX_Y + 12), (CX - 6, APEX_Y),
                                              (CX, APEX_Y), 10)
    flap += a.cubic((CX, APEX_Y), (CX + 6, APEX_Y), (CX + 20, APEX_Y + 12), (right - 1.5, top + 1), 10)
    # Side flaps meet under the sheet; the pale front flap rises over them as a rounded arch.
    side_left = [(left, top), (CX + 0.5, FRONT_TOP + 4), (left, bottom)]
    side_right = [(right, top), (CX - 0.5, FRONT_TOP + 4), (right, bottom)]
    arch = [(left, bottom)]
    arch += a.cubic((left, bottom), (left + 8, 94), (CX - 36, FRONT_TOP), (CX, FRONT_TOP), 16)
    arch += a.cubic((CX, FRONT_TOP), (CX + 36, FRONT_TOP), (right - 8, 94), (right, bottom), 16)
    return body, flap, side_left, side_right, arch


def sheet_parts():
    left, top, right = SHEET
    fold = 15  # size of the curled corner
    ax, ay = right - fold, top  # where the curl leaves the top edge
    bx, by = right, top + fold  # where it leaves the right edge
    foot = 96
    sheet = [(left, top), (ax, ay)]
    sheet += a.cubic((ax, ay), (ax + 6, ay + 1), (bx - 1, by - 6), (bx, by), 8)
    sheet += [(right, foot), (left, foot)]
    # The curled-over corner: rolled towards the viewer, its rounded edge hanging down-left over the sheet.
    curl = [(ax, ay)]
    curl += a.cubic((ax, ay), (ax - 3, ay + 8), (ax + 1, by + 2), (bx, by), 12)
    curl += a.cubic((bx, by), (bx - 1, by - 6), (ax + 6, ay + 1), (ax, ay), 8)
    return sheet, curl, (ax, ay, bx, by)


def draw():
    c = a.Canvas(W, H)
    body, flap, side_left, side_right, arch = envelope_parts()
    sheet, curl, (ax, ay, bx, by) = sheet_parts()
    left, top, right, bottom = BODY

    body_m = fill(body)
    flap_m = fill(flap)
    sheet_m = fill(sheet)
    curl_m = fill(curl)
    envelope_m = body_m.union(flap_m)

    # Back flap (its inner side) and the inside of the envelope.
    c.paint(flap_m, linear((0, APEX_Y), (0, top), [(0, (255, 205, 108)), (1, (244, 166, 52))]))
    c.paint(fill(a.stroke(flap[1:], 1.0)), OUTLINE, 0.85)
    c.paint(body_m, linear((0, top), (0, FRONT_TOP), [(0, (196, 110, 24)), (1, (218, 134, 38))]))

    # The sheet throws a soft shadow into the envelope, then sits in it.
    shade = blurred(shifted(sheet_m.union(curl_m), 1, 1), 1.4).times(envelope_m)
    c.paint(shade, (90, 40, 0), 0.45)
    c.paint(sheet_m, linear((0, SHEET[1]), (0, 90), [(0, (255, 255, 253)), (1, (247, 243, 234))]))
    # Ruled lines of a letter, kept light so that only the caption written over the sheet reads as text.
    for y, x0, x1 in [(21, 35, 84), (26, 35, 92), (31, 35, 98), (36, 35, 76), (61, 35, 100),
                      (66, 35, 96), (71, 35, 100)]:
        c.paint(fill([(x0, y), (x1, y), (x1, y + 1), (x0, y + 1)]), (190, 202, 222), 0.9)
    # The curl: its shadow on the sheet, then the rolled paper, lit along its rounded edge.
    c.paint(blurred(shifted(curl_m, -1, 1), 1.1).times(sheet_m).minus(curl_m), (80, 70, 50), 0.45)
    c.paint(curl_m, linear((bx, ay), (ax + 2, by - 2), [(0, (214, 206, 190)), (0.55, (246, 242, 232)),
                                                        (1, (255, 255, 255))]))
    c.paint(fill(a.stroke(curl[1:25], 0.8)), (150, 140, 120), 0.7)
    sheet_edge = [(SHEET[0], 96), (SHEET[0], SHEET[1]), (ax, ay)]
    c.paint(fill(a.stroke(sheet_edge, 0.8)), (170, 160, 140), 0.6)
    c.paint(fill(a.stroke(sheet[2:10] + [(SHEET[2], 96)], 0.8)), (170, 160, 140), 0.6)

    # The pocket: golden side flaps, then the pale front flap over them with a faint shadow along its edge.
    pocket_side = linear((left, 0), (CX, 0), [(0, (240, 156, 40)), (1, (252, 186, 84))])
    pocket_side_r = linear((right, 0), (CX, 0), [(0, (236, 150, 36)), (1, (250, 182, 78))])
    side_l_m = fill(side_left).times(body_m)
    side_r_m = fill(side_right).times(body_m)
    c.paint(side_l_m, pocket_side)
    c.paint(side_r_m, pocket_side_r)
    c.paint(fill(a.stroke(side_left[:2], 1.0)).times(body_m), OUTLINE, 0.8)
    c.paint(fill(a.stroke(side_right[:2], 1.0)).times(body_m), OUTLINE, 0.8)
    arch_m = fill(arch).times(body_m)
    c.paint(blurred(shifted(arch_m, 0, -1), 1.2).times(body_m).minus(arch_m), (120, 60, 0), 0.5)
    c.paint(arch_m, linear((0, FRONT_TOP), (0, bottom), [(0, (255, 248, 226)), (0.6, (255, 236, 190)),
                                                          (1, (253, 222, 154))]))
    c.paint(fill(a.stroke(arch, 1.0)).times(body_m), OUTLINE, 0.75)
    # A thin highlight just inside the arch gives the pale flap a little thickness.
    inner = [(x, y + 1.2) for x, y in arch[1:-1]]
    c.paint(fill(a.stroke(inner, 0.8)).times(arch_m), (255, 255, 255), 0.8)

    # The envelope's outline; its top edge is the back flap's hinge, hidden where the sheet stands in front of it.
    pocket_m = side_l_m.union(side_r_m).union(arch_m)
    hidden = sheet_m.union(curl_m).minus(pocket_m)
    c.paint(fill(a.stroke(body, 1.0, closed=True)).times(body_m).minus(hidden), OUTLINE)

    # Soft shadow below and to the right of the outline, beneath everything.
    silhouette = c.alpha_mask()
    c.paint_under(blurred(shifted(silhouette, 1, 2), 2.0), (40, 22, 0), 0.55)
    c.paint_under(blurred(silhouette, 1.2), (40, 22, 0), 0.25)
    return c


def main():
    global S, W, H
    args = sys.argv[1:]
    name = "envelope.png"
    if args[:1] == ["--scale"]:
        percent = int(args[1])
        args = args[2:]
        S = percent / 100
        W = H = (DESIGN * percent + 50) // 100  # rounded half up, as the program rounds it
        name = f"envelope-{percent}.png"
    here = os.path.dirname(os.path.abspath(__file__))
    out = args[0] if args else os.path.join(here, "..", "..", "src", "notify", name)
    canvas = draw()
    # The body is 242 of 255 (about 95 % opaque); faint shadow fringes below 3 are cut so the corners stay 0.
    rows = canvas.to_rgba8(alpha_scale=242 / 255, alpha_floor=3)
    a.write_png_rgba(out, rows, W, H)
    print(os.path.normpath(out))


if __name__ == "__main__":
    main()
