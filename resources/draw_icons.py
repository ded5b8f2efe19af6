#!/usr/bin/env python3
"""Draws the program's icons: a strip of punched paper tape, torn off at the
top, with a row of data holes and the smaller sprocket hole in every row.

Writes tapelark.ico (32x32 and 16x16) and tapelark_small.ico (16x16), 16
colours each, beside this script. The build uses the committed .ico files;
run this only to redraw them. Standard library only.
"""

import pathlib
import struct

# The Windows 16-colour palette, so the icons look the same on any display.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, OLIVE, GREY, YELLOW = 0, 3, 8, 11
CLEAR = None

# How each size is laid out: the tape's left and right columns, the width of
# a data hole, the data channels left and right of the sprocket, the row pitch
# and the first row. Smaller icons carry fewer channels, so the holes stay
# holes instead of turning into a grey texture.
LAYOUTS = {
    32: dict(left=3, right=27, hole=3, channels=(2, 3), pitch=5, first=4),
    16: dict(left=1, right=13, hole=2, channels=(2, 1), pitch=4, first=2),
}

# The bytes on the tape: "TAPE" in 5-bit teleprinter code reads as a varied
# pattern; a set bit is a hole.
ROWS = [0b10000, 0b00011, 0b01101, 0b00001, 0b11111, 0b01010]


def draw(size):
    layout = LAYOUTS[size]
    left, right, hole = layout["left"], layout["right"], layout["hole"]
    pixels = [[CLEAR] * size for _ in range(size)]

    # The strip, torn off in a zigzag at the top, running on past the bottom,
    # with a dark edge on the right for a little depth.
    def torn(x, y):
        return y == 0 and x % 3 != 1 or y == 1 and x % 3 == 2

    for y in range(size):
        for x in range(left, right + 1):
            if not torn(x, y):
                pixels[y][x] = OLIVE if x in (left, right) else YELLOW
        if right + 1 < size and y > 0:
            pixels[y][right + 1] = GREY

    # Columns of the data holes, split around the sprocket column.
    before, after = layout["channels"]
    sprocket_width = max(1, hole - 1)
    columns = []
    x = left + 2
    for _ in range(before):
        columns.append(x)
        x += hole + 1
    sprocket = x
    x += sprocket_width + 1
    for _ in range(after):
        columns.append(x)
        x += hole + 1

    def punch(x0, y0, width):
        for y in range(y0, min(y0 + width, size)):
            for x in range(x0, x0 + width):
                pixels[y][x] = BLACK

    row = 0
    y = layout["first"]
    while y < size:
        code = ROWS[row % len(ROWS)]
        # The sprocket hole sits in the middle of its row's height.
        punch(sprocket, y + (hole - sprocket_width) // 2, sprocket_width)
        for channel, column in enumerate(columns):
            if code >> (len(columns) - 1 - channel) & 1:
                punch(column, y, hole)
        row += 1
        y += layout["pitch"]
    return pixels


def image_bytes(pixels):
    """One icon image: header, palette, 4-bit colour rows, 1-bit mask rows,
    both bottom-up and padded to 4 bytes."""
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    colour = bytearray()
    mask = bytearray()
    for row in reversed(pixels):
        nibbles = [p if p is not CLEAR else 0 for p in row]
        line = bytes(nibbles[i] << 4 | nibbles[i + 1] for i in range(0, size, 2))
        colour += line + bytes(-len(line) % 4)
        bits = 0
        for p in row:
            bits = bits << 1 | (p is CLEAR)
        line = bits.to_bytes(size // 8, "big")
        mask += line + bytes(-len(line) % 4)
    return header + palette + bytes(colour) + bytes(mask)


def write_icon(path, sizes):
    images = [image_bytes(draw(size)) for size in sizes]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    for size, image in zip(sizes, images):
        directory += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    path.write_bytes(directory + b"".join(images))


if __name__ == "__main__":
    here = pathlib.Path(__file__).resolve().parent
    write_icon(here / "tapelark.ico", [32, 16])
    write_icon(here / "tapelark_small.ico", [16])
