#!/usr/bin/env python3
"""Draw the Tandivorex icons and write them as Windows .ico files.

    python3 draw_icons.py OUTDIR

writes OUTDIR/tandivorex.ico, OUTDIR/no_device.ico and OUTDIR/no_phone.ico.
The pictures are kept as pixel grids so that a change to the artwork is a
readable text diff, and the output depends on nothing but this file, so the
committed icons can always be rebuilt and compared byte for byte.
"""

import os
import struct
import sys

# Grid legend:
#   .  outside the badge; transparent through the AND mask
#   o  badge outline
#   :  badge
#   #  handset
#   +  handset edge, halfway between handset and badge
GRID_16 = """
..oooooooooooo..
.o::::::::::::o.
o::::::::::::::o
o:::###::::::::o
o::#####:::::::o
o::#####:::::::o
o::####::::::::o
o::###:::::::::o
o::###::::##:::o
o::####::####::o
o:::#########::o
o::::########::o
o:::::######:::o
o::::::::::::::o
.o::::::::::::o.
..oooooooooooo..
"""

# The 32x32 image is only used by Explorer and Alt+Tab, where there is room
# for a few softened edge pixels; the 16x16 tray images stay hard-edged so
# that status colours are never diluted.
GRID_32 = """
......oooooooooooooooooooo......
....oo::::::::::::::::::::oo....
..oo::::::::::::::::::::::::oo..
..o::::::::::::::::::::::::::o..
.o::::::::::::::::::::::::::::o.
.o::::::::::::::::::::::::::::o.
o::::::+#####+:::::::::::::::::o
o:::::+########::::::::::::::::o
o:::::#########::::::::::::::::o
o:::::#########::::::::::::::::o
o:::::########+::::::::::::::::o
o:::::######+::::::::::::::::::o
o:::::#####::::::::::::::::::::o
o:::::#####::::::::::::::::::::o
o:::::#####::::::::::::::::::::o
o:::::#####::::::::::::::::::::o
o:::::#####::::::::::::::::::::o
o:::::+#####:::::::::+###::::::o
o::::::######::::::::####+:::::o
o::::::+######::::::+#####:::::o
o:::::::+######:::::######:::::o
o::::::::+################:::::o
o:::::::::+###############:::::o
o::::::::::+##############:::::o
o:::::::::::+############+:::::o
o:::::::::::::+#########+::::::o
.o::::::::::::::::::::::::::::o.
.o::::::::::::::::::::::::::::o.
..o::::::::::::::::::::::::::o..
..oo::::::::::::::::::::::::oo..
....oo::::::::::::::::::::oo....
......oooooooooooooooooooo......
"""

# The end-to-end tests tell the tray states apart by sampling screenshot
# pixels, so flat areas must use exactly these values.
BADGE_GREEN = (46, 160, 67)
GREEN_OUTLINE = (20, 110, 40)
DARK_GREEN = (10, 70, 25)
RED = (220, 30, 30)
GREY = (150, 150, 150)
GREY_OUTLINE = (100, 100, 100)


def colours(badge, outline, handset):
    edge = tuple((a + b) // 2 for a, b in zip(badge, handset))
    return {"o": outline, ":": badge, "#": handset, "+": edge}


CONNECTED = colours(BADGE_GREEN, GREEN_OUTLINE, DARK_GREEN)

# (grid, colours, bits per pixel) for each image, in directory order.
ICONS = {
    "tandivorex.ico": [(GRID_16, CONNECTED, 24), (GRID_32, CONNECTED, 8)],
    "no_device.ico": [(GRID_16, colours(BADGE_GREEN, GREEN_OUTLINE, RED), 4)],
    "no_phone.ico": [(GRID_16, colours(GREY, GREY_OUTLINE, BADGE_GREEN), 4)],
}


def stride(width, bpp):
    # DIB rows are padded to whole 32-bit words.
    return (width * bpp + 31) // 32 * 4


def encode_image(grid, palette_of, bpp):
    rows = grid.split()
    size = len(rows)
    assert all(len(row) == size for row in rows), "grid must be square"

    # Index 0 stays black: transparent pixels must be black in the XOR
    # bitmap or Windows inverts the screen behind them.
    palette = [(0, 0, 0)]
    for ch, rgb in palette_of.items():
        if ch in grid and rgb not in palette:
            palette.append(rgb)
    if bpp <= 8:
        assert len(palette) <= 1 << bpp, "too many colours for %d bpp" % bpp
        palette += [(0, 0, 0)] * ((1 << bpp) - len(palette))

    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # DIBs are stored bottom-up
        pixels = [palette_of.get(ch, (0, 0, 0)) for ch in row]
        if bpp == 24:
            line = b"".join(bytes((b, g, r)) for r, g, b in pixels)
        else:
            indices = [palette.index(p) for p in pixels]
            per_byte = 8 // bpp
            line = bytearray()
            for i in range(0, size, per_byte):
                byte = 0
                for index in indices[i:i + per_byte]:
                    byte = (byte << bpp) | index
                line.append(byte)
        xor += bytes(line).ljust(stride(size, bpp), b"\0")

        bits = "".join("1" if ch == "." else "0" for ch in row)
        line = int(bits, 2).to_bytes(size // 8, "big")
        mask += line.ljust(stride(size, 1), b"\0")

    header = struct.pack(
        "<IiiHHIIiiII",
        40,                     # biSize
        size,                   # biWidth
        size * 2,               # biHeight covers XOR and AND halves
        1,                      # biPlanes
        bpp,                    # biBitCount
        0,                      # BI_RGB
        len(xor) + len(mask),   # biSizeImage
        0, 0,                   # no preferred resolution
        0, 0,                   # full palette, all colours important
    )
    quads = b""
    if bpp <= 8:
        quads = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header + quads + bytes(xor) + bytes(mask)


def encode_ico(images):
    blobs = [encode_image(grid, pal, bpp) for grid, pal, bpp in images]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = len(out) + 16 * len(images)
    for (grid, _, bpp), blob in zip(images, blobs):
        size = len(grid.split())
        colour_count = 1 << bpp if bpp < 8 else 0
        out += struct.pack("<BBBBHHII", size, size, colour_count, 0, 1, bpp,
                           len(blob), offset)
        offset += len(blob)
    return out + b"".join(blobs)


def main(argv):
    if len(argv) != 2:
        sys.exit("usage: draw_icons.py OUTDIR")
    os.makedirs(argv[1], exist_ok=True)
    for name, images in ICONS.items():
        with open(os.path.join(argv[1], name), "wb") as f:
            f.write(encode_ico(images))


if __name__ == "__main__":
    main(sys.argv)
