#!/usr/bin/env python3
"""Draw the Tandivorex icons and write them as Windows .ico files.

    python3 draw_icons.py OUTDIR

writes OUTDIR/tandivorex.ico, OUTDIR/no_device.ico and OUTDIR/no_phone.ico.
The 16- and 32-pixel pictures are kept as pixel grids so that a change to the
artwork is a readable text diff; the frames for scaled displays are drawn from
an outline of the same design. The output depends on nothing but this file, so
the committed icons can always be rebuilt and compared byte for byte.
"""

import os
import struct
import sys
import zlib

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


# The frames for displays scaled to 125 %, 150 % and 200 % (20, 24, 32 and 48
# pixels), in 32-bit colour with alpha: the same badge and handset as GRID_32,
# as shapes in its units, so each size gets smooth edges and no stretched
# pixels. The badge is a rounded square (corner radius), the handset three
# thick lines (points, half their width): earpiece, mouthpiece and handle.
BADGE_RADIUS = 7
HANDSET = [
    ([(8.5, 8.5), (12, 8.5)], 3.25),
    ([(23, 19.5), (23, 23)], 3.25),
    ([(8.5, 8.5), (8.5, 17), (15, 23.5), (23, 23.5)], 2.5),
]
SAMPLES = 8  # per pixel and axis: the edges' coverage, hence their alpha


def in_rounded_square(u, v, inset):
    low, high, radius = inset, 32 - inset, BADGE_RADIUS - inset
    du = max(low + radius - u, 0, u - high + radius)
    dv = max(low + radius - v, 0, v - high + radius)
    return low <= u <= high and low <= v <= high and du * du + dv * dv <= radius * radius


def near_line(u, v, points, half_width):
    for (ax, ay), (bx, by) in zip(points, points[1:]):
        dx, dy = bx - ax, by - ay
        t = min(1, max(0, ((u - ax) * dx + (v - ay) * dy) / (dx * dx + dy * dy)))
        ex, ey = u - ax - t * dx, v - ay - t * dy
        if ex * ex + ey * ey <= half_width * half_width:
            return True
    return False


def draw(size, palette_of):
    """Rows, top first, of (r, g, b, alpha): the design at this size. Pixels
    wholly inside one part keep its exact colour; edges average their samples."""
    scale = 32 / size
    line = max(1, round(size / 24)) * scale  # the outline, whole pixels wide
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            covered = []
            for j in range(SAMPLES):
                for i in range(SAMPLES):
                    u = (x + (i + 0.5) / SAMPLES) * scale
                    v = (y + (j + 0.5) / SAMPLES) * scale
                    if not in_rounded_square(u, v, 0):
                        continue
                    if not in_rounded_square(u, v, line):
                        part = "o"
                    elif any(near_line(u, v, points, w) for points, w in HANDSET):
                        part = "#"
                    else:
                        part = ":"
                    covered.append(palette_of[part])
            n = len(covered)
            if n == 0:
                row.append((0, 0, 0, 0))
            else:
                rgb = tuple((sum(c[k] for c in covered) + n // 2) // n for k in range(3))
                row.append(rgb + ((255 * n + SAMPLES * SAMPLES // 2) // (SAMPLES * SAMPLES),))
        rows.append(row)
    return rows


def colours(badge, outline, handset):
    edge = tuple((a + b) // 2 for a, b in zip(badge, handset))
    return {"o": outline, ":": badge, "#": handset, "+": edge}


CONNECTED = colours(BADGE_GREEN, GREEN_OUTLINE, DARK_GREEN)

NO_DEVICE = colours(BADGE_GREEN, GREEN_OUTLINE, RED)
NO_PHONE = colours(GREY, GREY_OUTLINE, BADGE_GREEN)
SCALED_SIZES = (20, 24, 32, 48)

# (grid or size to draw at, colours, bits per pixel) for each image, in
# directory order. The first frames are the original ones, unchanged, for
# anything that relies on them.
ICONS = {
    "tandivorex.ico": [(GRID_16, CONNECTED, 24), (GRID_32, CONNECTED, 8)]
    + [(size, CONNECTED, 32) for size in SCALED_SIZES],
    "no_device.ico": [(GRID_16, NO_DEVICE, 4)] + [(size, NO_DEVICE, 32) for size in SCALED_SIZES],
    "no_phone.ico": [(GRID_16, NO_PHONE, 4)] + [(size, NO_PHONE, 32) for size in SCALED_SIZES],
}


def stride(width, bpp):
    # DIB rows are padded to whole 32-bit words.
    return (width * bpp + 31) // 32 * 4


def bitmap_header(size, bpp, image_bytes):
    return struct.pack(
        "<IiiHHIIiiII",
        40,                     # biSize
        size,                   # biWidth
        size * 2,               # biHeight covers XOR and AND halves
        1,                      # biPlanes
        bpp,                    # biBitCount
        0,                      # BI_RGB
        image_bytes,            # biSizeImage
        0, 0,                   # no preferred resolution
        0, 0,                   # full palette, all colours important
    )


def encode_drawn(size, palette_of):
    """The design at this size as a PNG, which Windows Vista and later read in
    an icon: a twentieth of the bitmap's bytes, in an exe kept small."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    # Filter type 0 on each row: the pixels as they are.
    pixels = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in draw(size, palette_of))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA, not interlaced
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(pixels, 9)) + chunk(b"IEND", b""))


def encode_image(grid, palette_of, bpp):
    if isinstance(grid, int):
        return encode_drawn(grid, palette_of)
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

    header = bitmap_header(size, bpp, len(xor) + len(mask))
    quads = b""
    if bpp <= 8:
        quads = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header + quads + bytes(xor) + bytes(mask)


def encode_ico(images):
    blobs = [encode_image(grid, pal, bpp) for grid, pal, bpp in images]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = len(out) + 16 * len(images)
    for (grid, _, bpp), blob in zip(images, blobs):
        size = grid if isinstance(grid, int) else len(grid.split())
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
