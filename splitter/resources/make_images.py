#!/usr/bin/env python3
"""Turns the text images of this folder into the resources the .rc files name.

    make_images.py bitmap toolbar.txt toolbar.bmp   8-bit-per-pixel Windows bitmap
    make_images.py icon icon.txt dravnik.ico        icon with a 32 x 32 and a 16 x 16 image

A text image holds "palette C RRGGBB" lines (or "palette C none" for transparent, icons only)
and then one line per pixel row, one character per pixel. Lines starting with '#' are notes.
"""
import struct
import sys


def read_image(path):
    palette = {}
    rows = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\r\n")
            if not line or line.startswith("#"):
                continue
            if line.startswith("palette "):
                _, char, colour = line.split()
                palette[char] = None if colour == "none" else tuple(
                    int(colour[i:i + 2], 16) for i in (0, 2, 4))
                continue
            rows.append(line)
    width = len(rows[0])
    for number, row in enumerate(rows):
        if len(row) != width:
            sys.exit(f"{path}: row {number + 1} is {len(row)} pixels wide, not {width}")
        for char in row:
            if char not in palette:
                sys.exit(f"{path}: row {number + 1}: no palette entry for {char!r}")
    return palette, rows


def write_bitmap(source, target):
    palette, rows = read_image(source)
    chars = list(palette)
    if len(chars) > 256 or any(palette[c] is None for c in chars):
        sys.exit(f"{source}: a bitmap needs at most 256 opaque colours")
    width, height = len(rows[0]), len(rows)
    stride = (width + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytes(chars.index(c) for c in row)
        pixels += line + bytes(stride - width)
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in (palette[c] for c in chars))
    colours += bytes(4 * (256 - len(chars)))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(pixels), 2835, 2835,
                       256, 0)
    offset = 14 + len(info) + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(target, "wb") as f:
        f.write(header + info + colours + pixels)


def icon_image(palette, rows, scale):
    """One 32-bit icon image (BITMAPINFOHEADER, BGRA rows, AND mask), every scale-th pixel."""
    picked = [row[::scale] for row in rows[::scale]]
    size = len(picked)
    xor = bytearray()
    mask = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    for row in reversed(picked):
        mask_row = bytearray(mask_stride)
        for x, char in enumerate(row):
            colour = palette[char]
            if colour is None:
                xor += bytes(4)
                mask_row[x // 8] |= 0x80 >> (x % 8)
            else:
                r, g, b = colour
                xor += bytes((b, g, r, 255))
        mask += mask_row
    info = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, len(xor) + len(mask), 0, 0,
                       0, 0)
    return size, info + xor + mask


def write_icon(source, target):
    palette, rows = read_image(source)
    if len(rows) != 32 or len(rows[0]) != 32:
        sys.exit(f"{source}: the icon must be 32 x 32")
    images = [icon_image(palette, rows, 1), icon_image(palette, rows, 2)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    with open(target, "wb") as f:
        f.write(out)


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("bitmap", "icon"):
        sys.exit(__doc__)
    kind, source, target = sys.argv[1:]
    (write_bitmap if kind == "bitmap" else write_icon)(source, target)


if __name__ == "__main__":
    main()
