#!/usr/bin/env python3
"""Check the Tandivorex icons in a folder.

    python3 check_icons.py ICONDIR

Decodes every icon independently of draw_icons.py, checks the layout that
windres and the tray code rely on and the colours the end-to-end tests look
for on screen, then redraws the icons to catch committed files gone stale.
Exits non-zero with one line per failure, naming the file and the fact.
"""

import collections
import os
import struct
import subprocess
import sys
import tempfile
import zlib

BADGE_GREEN = (46, 160, 67)
DARK_GREEN = (10, 70, 25)
RED = (220, 30, 30)
GREY = (150, 150, 150)

# (size, bits per pixel) of each image, in directory order: the original
# frames, then those for scaled displays, with alpha, as PNGs.
SCALED = [(20, 32), (24, 32), (32, 32), (48, 32)]
LAYOUT = {
    "tandivorex.ico": [(16, 24), (32, 8)] + SCALED,
    "no_device.ico": [(16, 4)] + SCALED,
    "no_phone.ico": [(16, 4)] + SCALED,
}


class Bad(Exception):
    pass


def need(ok, fact):
    if not ok:
        raise Bad(fact)


def stride(width, bpp):
    return (width * bpp + 31) // 32 * 4


def decode_png(png, size, what):
    """{(x, y): (r, g, b, alpha)} of a PNG frame: 8-bit RGBA, rows unfiltered."""
    need(png[:8] == b"\x89PNG\r\n\x1a\n", what + ": not a PNG")
    chunks, at = {}, 8
    while at < len(png):
        n, kind = struct.unpack_from(">I4s", png, at)
        body = png[at + 8:at + 8 + n]
        need(struct.unpack_from(">I", png, at + 8 + n)[0] == zlib.crc32(kind + body),
             "%s: PNG chunk %r fails its CRC" % (what, kind))
        chunks[kind] = chunks.get(kind, b"") + body
        at += 12 + n
    need(chunks.get(b"IHDR") == struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0),
         what + ": PNG header is not %dx%d 8-bit RGBA" % (size, size))
    rows, line = zlib.decompress(chunks.get(b"IDAT", b"")), 1 + 4 * size
    need(len(rows) == line * size and all(rows[y * line] == 0 for y in range(size)),
         what + ": PNG rows are not %d unfiltered rows" % size)
    return {(x, y): tuple(rows[y * line + 1 + 4 * x:y * line + 5 + 4 * x])
            for y in range(size) for x in range(size)}


def decode(data, layout):
    """One {(x, y): (r, g, b, alpha)} per image; alpha is 0 or 255 in bitmaps."""
    need(len(data) >= 6, "file too short for an icon header")
    need(struct.unpack_from("<HHH", data) == (0, 1, len(layout)),
         "header is not an icon with %d image(s)" % len(layout))
    images = []
    end = 6 + 16 * len(layout)
    for i, (size, bpp) in enumerate(layout):
        what = "image %d (%dx%d, %d bpp)" % (i, size, size, bpp)
        w, h, ncol, res, planes, bits, length, offset = struct.unpack_from(
            "<BBBBHHII", data, 6 + 16 * i)
        need((w, h, planes, bits, res) == (size, size, 1, bpp, 0),
             "%s: directory entry says %dx%d, %d bpp" % (what, w, h, bits))
        need(ncol == (16 if bpp == 4 else 0), "%s: colorCount %d" % (what, ncol))
        need(offset == end, "%s: offset %d, expected %d" % (what, offset, end))
        need(end + length <= len(data), "%s: bytesInRes %d runs past the file" % (what, length))
        end = offset + length
        if bpp == 32:
            images.append(decode_png(data[offset:end], size, what))
            continue
        quads = 4 << bpp if bpp <= 8 else 0
        xor_len, and_len = stride(size, bpp) * size, stride(size, 1) * size
        need(length == 40 + quads + xor_len + and_len,
             "%s: bytesInRes %d does not fit the bitmap" % (what, length))
        header = struct.unpack_from("<IiiHHI", data, offset)
        need(header == (40, size, 2 * size, 1, bpp, 0),
             "%s: BITMAPINFOHEADER %r" % (what, header))
        pal = [tuple(data[offset + 40 + 4 * k:offset + 43 + 4 * k][::-1])
               for k in range(quads // 4)]
        xor = offset + 40 + quads
        pixels = {}
        for y in range(size):
            row = xor + (size - 1 - y) * stride(size, bpp)  # bottom-up
            mask = xor + xor_len + (size - 1 - y) * stride(size, 1)
            for x in range(size):
                if bpp == 24:
                    rgb = tuple(data[row + 3 * x:row + 3 * x + 3][::-1])
                elif bpp == 8:
                    rgb = pal[data[row + x]]
                else:
                    rgb = pal[data[row + x // 2] >> (0 if x % 2 else 4) & 15]
                transparent = data[mask + x // 8] >> (7 - x % 8) & 1
                need(not transparent or rgb == (0, 0, 0),
                     "%s: transparent pixel (%d, %d) is not black" % (what, x, y))
                pixels[x, y] = rgb + (0 if transparent else 255,)
        images.append(pixels)
    need(end == len(data), "%d stray bytes after the last image" % (len(data) - end))
    return images


def check_colours(name, images):
    for i, pixels in enumerate(images):
        # Only opaque pixels show a status colour exactly, as the tests read it.
        n = collections.Counter(p[:3] for p in pixels.values() if p[3] == 255)
        reds = sum(1 for p in pixels.values() if p[3] > 0 and p[0] > 150 and p[1] < 100)
        what = "image %d (%dx%d)" % (i, LAYOUT[name][i][0], LAYOUT[name][i][0])
        need(pixels[0, 0][3] == 0, what + ": badge corners are not transparent")
        if name == "tandivorex.ico":
            need(n[BADGE_GREEN] > n[DARK_GREEN] >= 20,
                 what + ": needs a green badge with >= 20 dark-green handset pixels")
            need(reds == 0, what + ": has red pixels")
        elif name == "no_device.ico":
            need(n[BADGE_GREEN] > n[RED] >= 20,
                 what + ": needs a green badge with >= 20 red handset pixels")
        else:
            need(n[GREY] > n[BADGE_GREEN] >= 20,
                 what + ": needs a grey badge with >= 20 green handset pixels")
            need(reds == 0 and n[DARK_GREEN] == 0,
                 what + ": has red or dark-green pixels")


def main(folder):
    failures = []
    with tempfile.TemporaryDirectory() as fresh:
        draw = os.path.join(os.path.dirname(os.path.abspath(__file__)), "draw_icons.py")
        drawn = subprocess.run([sys.executable, draw, fresh]).returncode == 0
        for name, layout in LAYOUT.items():
            try:
                with open(os.path.join(folder, name), "rb") as f:
                    data = f.read()
                check_colours(name, decode(data, layout))
                need(drawn, "draw_icons.py failed, cannot compare")
                with open(os.path.join(fresh, name), "rb") as f:
                    need(f.read() == data, "stale: draw_icons.py now draws it differently")
            except (Bad, OSError, struct.error, zlib.error) as e:
                failures.append("%s: %s" % (name, e))
    for failure in failures:
        print("check_icons: " + failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: check_icons.py ICONDIR")
    sys.exit(main(sys.argv[1]))
