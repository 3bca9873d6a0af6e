#!/usr/bin/env python3
"""cell_grid.py SHOT.pgm TOP: whether a line typed at the prompt lands in the
console's cells.  The window shows the menu line "1 - Convert scan file to
TIFF." (output, drawn as one run with the font's own advances) and, as the
last text line, the prompt "Enter Selection: " followed by the same text
typed (each character drawn in its cell, 17 cells in).  With a fixed-pitch
font both copies have the same ink, the typed one shifted by 17 cells: a
whole number of pixels per cell.  Prints the shift and the cell width, and
exits 1 when no shift matches."""
import sys


def read_pgm(path):
    data = open(path, "rb").read()
    fields, at = [], 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at)
            continue
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    width, height = int(fields[1]), int(fields[2])
    pixels = data[at + 1:at + 1 + width * height]
    return width, height, pixels


def main():
    width, height, pixels = read_pgm(sys.argv[1])
    top = int(sys.argv[2])
    ink = lambda x, y: pixels[y * width + x] < 128
    # The text area: the window's frame and the scroll bar left out.
    left, right, bottom = 4, width - 40, height - 4
    rows = set(y for y in range(top, bottom) if any(ink(x, y) for x in range(left, right)))
    bands, start = [], None
    for y in range(top, bottom + 1):
        inked = y in rows
        if inked and start is None:
            start = y
        if not inked and start is not None:
            bands.append((start, y))
            start = None
    if len(bands) < 4:
        print("cell grid: fewer than four text lines (%d)" % len(bands))
        return 1
    menu, prompt = bands[-3], bands[-1]

    def profile(band):
        return [left <= x < right and any(ink(x, y) for y in range(*band)) for x in range(width)]

    menu_ink, prompt_ink = profile(menu), profile(prompt)
    columns = [x for x in range(width) if menu_ink[x]]
    first, last = columns[0], columns[-1]
    for shift in range(1, right - last):
        if all(menu_ink[x] == prompt_ink[x + shift] for x in range(first, last + 1)):
            if shift % 17 == 0:
                print("cell grid: the typed line is the menu line shifted by %d pixels: 17 cells of %d"
                      % (shift, shift // 17))
                return 0
            print("cell grid: the typed line matches at %d pixels, not a whole number of cells" % shift)
            return 1
    print("cell grid: the typed line's characters are not spaced as the font draws them")
    return 1


sys.exit(main())
