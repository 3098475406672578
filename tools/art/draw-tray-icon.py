#!/usr/bin/env python3
"""Draws the program's own icon, src/tray/pigeonet.ico, with nothing but the standard library.

    tools/art/draw-tray-icon.py [OUTPUT.ico]

The icon is the tray's mail picture (a sheet with lines of text behind an open envelope with a letter) redrawn in
the classic 16-colour palette: red lines instead of orange ones and a flat yellow letter. The file holds a 16 x 16
image and the same pixels doubled to 32 x 32, both 4 bits per pixel with a transparency mask. The output is the
same byte for byte on every run.
"""

import struct
import sys
from pathlib import Path

# The mail picture, top row first; "." is transparent. Same shape as the tray's image 0.
PIXELS = [
    "AAAAAAAAAAB.....",
    "ACCCCCCCCDB.....",
    "ACEEECCCCDB.....",
    "ACCCCFCFCDB.....",
    "ACEEEEEEFDB.....",
    "ACCFCFCFCAGB....",
    "ACEEEEEEAGHHB...",
    "ACCFCFCAGHHIJB..",
    "ACEEEKAGHHIJIEB.",
    "AFCCFAAHHIJIJEBB",
    "ACCFCACAIJIJEALB",
    "BBBBBACDAAAAALMB",
    ".....ADACCCMCALB",
    ".....AACMCMCMCAB",
    ".....ALLLLLLLLLB",
    ".....BBBBBBBBBBB",
]

# The classic 16-colour palette (RGB), in its usual order.
PALETTE = [
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
]

# Each letter of the full-colour picture and the palette colour that stands in for it.
LETTER_COLOURS = {
    "A": 0x808080,  # grey outline
    "B": 0x000000,  # black outline
    "C": 0xFFFFFF,  # paper
    "D": 0xC0C0C0,  # silver shadow
    "E": 0xFF0000,  # lines of text: red instead of orange
    "F": 0xFFFF00,  # yellow marks
    "G": 0xFFFFFF,  # off-white envelope flap
    "H": 0xFFFF00,  # the letter, flat yellow
    "I": 0xFFFF00,
    "J": 0xFFFF00,
    "K": 0xFF0000,  # red mark
    "L": 0xC0C0C0,  # light grey envelope edge
    "M": 0xFFFF00,  # pale yellow on the envelope
}


def image_rows(scale):
    """Palette indices per row (None where transparent), top row first, each pixel repeated `scale` times."""
    rows = []
    for line in PIXELS:
        row = []
        for letter in line:
            index = None if letter == "." else PALETTE.index(LETTER_COLOURS[letter])
            row.extend([index] * scale)
        rows.extend([row] * scale)
    return rows


def padded(data):
    return data + b"\0" * (-len(data) % 4)


def icon_image(scale):
    """One icon image: BITMAPINFOHEADER, palette, colour rows and mask rows, both bottom-up."""
    rows = image_rows(scale)
    size = len(rows)
    colour = b""
    mask = b""
    for row in reversed(rows):
        indices = [0 if index is None else index for index in row]
        colour += padded(bytes((indices[x] << 4) | indices[x + 1] for x in range(0, size, 2)))
        bits = 0
        for x, index in enumerate(row):
            if index is None:
                bits |= 1 << (size - 1 - x)
        mask += padded(bits.to_bytes(size // 8, "big"))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(colour) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", rgb & 0xFF, (rgb >> 8) & 0xFF, rgb >> 16, 0) for rgb in PALETTE)
    return size, header + palette + colour + mask


def icon_file():
    images = [icon_image(1), icon_image(2)]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    for size, data in images:
        entries += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return directory + entries + b"".join(data for _, data in images)


def main():
    root = Path(__file__).resolve().parent.parent.parent
    output = Path(sys.argv[1]) if len(sys.argv) > 1 else root / "src" / "tray" / "pigeonet.ico"
    output.write_bytes(icon_file())


if __name__ == "__main__":
    main()
