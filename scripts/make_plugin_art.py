#!/usr/bin/env python3
"""Draws the images every plug-in library carries for the host and writes them under
each library's res/ (plugins/chip/res/, plugins/ks/tarvo/res/, ...): icon.gif (the "GIF" resource "ICON"), menuicon.bmp (the bitmap "MENUICON")
and icon.ico (the icon group "ICON").

The files are committed; the build only reads them, so Python is needed only to change the art.
Run from anywhere:  python3 scripts/make_plugin_art.py [--preview DIR]
(--preview also writes a PNG of every image for looking at.)
The script decodes what it wrote and stops with an error when a file does not read back.
"""

import argparse
import math
import os
import struct
import sys
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Per library: the GIF size, whether the icon group has all nine images or one 32x32 8-bit
# image, the colours and the mark drawn beside the disc.
LIBRARIES = {
    "chip": dict(gif=(69, 45), full_icon=True, back=(0, 70, 160), accent=(230, 30, 40), mark="bars"),
    "tarvo": dict(gif=(69, 45), full_icon=True, back=(0, 120, 60), accent=(250, 200, 0), mark="check"),
    "holvar": dict(gif=(50, 50), full_icon=False, back=(200, 90, 0), accent=(255, 240, 200), mark="box"),
    "enter": dict(gif=(79, 66), full_icon=True, back=(110, 30, 140), accent=(255, 255, 255), mark="arrow"),
    "plavik": dict(gif=(79, 66), full_icon=True, back=(0, 120, 130), accent=(255, 220, 120), mark="plus"),
    "vexlo": dict(gif=(50, 50), full_icon=True, back=(90, 90, 100), accent=(220, 20, 20), mark="cross"),
}

SILVER = (200, 205, 215)
SHADOW = (120, 125, 135)
WHITE = (255, 255, 255)
BLACK = (0, 0, 0)

# The 16 colours of a 4-bit icon (the classic VGA palette).
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


# ----------------------------------------------------------------------------------------------
# Drawing: an image is rows of (r, g, b) or None for a transparent pixel.

def draw(width, height, style, transparent_corners):
    """A rounded tile in the library's colour with a disc on it and the library's mark."""
    back, accent, mark = style["back"], style["accent"], style["mark"]
    side = min(width, height)
    radius_corner = max(1.0, side * 0.18)
    disc_r = side * 0.36
    hole_r = max(1.0, disc_r * 0.22)
    ring_r = disc_r * 0.55
    # The disc sits at the left of a wide image and in the middle of a square one.
    cx = disc_r + side * 0.1 if width > height * 1.15 else width / 2.0
    cy = height / 2.0
    pixels = []
    for y in range(height):
        row = []
        for x in range(width):
            px, py = x + 0.5, y + 0.5
            colour = back
            if transparent_corners and outside_rounded(px, py, width, height, radius_corner):
                row.append(None)
                continue
            colour = mark_colour(mark, px, py, width, height, cx, disc_r, side, accent, colour)
            d = math.hypot(px - cx, py - cy)
            if d <= disc_r:
                colour = SILVER
                if d > disc_r - max(1.0, side / 32):
                    colour = SHADOW
                if abs(d - ring_r) < max(0.6, side / 40):
                    colour = accent if mark != "cross" else SHADOW
                if d <= hole_r:
                    colour = back
            if mark == "cross" and abs((px - py) - 0) < max(1.0, side / 14) and d <= disc_r + side * 0.08:
                colour = accent
            row.append(colour)
        pixels.append(row)
    return pixels


def outside_rounded(px, py, width, height, r):
    nx = min(px, width - px)
    ny = min(py, height - py)
    if nx >= r or ny >= r:
        return False
    return math.hypot(r - nx, r - ny) > r


def mark_colour(mark, px, py, width, height, cx, disc_r, side, accent, colour):
    """The mark beside the disc on wide images, or in a corner of square ones."""
    wide = width > height * 1.15
    if wide:
        left = cx + disc_r + side * 0.12
        right = width - side * 0.1
        top, bottom = height * 0.2, height * 0.8
        if mark in ("bars", "check", "arrow", "plus"):
            # Three lines of "text" beside the disc.
            for i in range(3):
                y0 = top + i * (bottom - top) / 3.0
                y1 = y0 + (bottom - top) / 6.0
                end = right - (i % 2) * (right - left) * 0.3
                if left <= px <= end and y0 <= py <= y1:
                    return accent
        return colour
    # Square images: a small badge in the lower right corner.
    bx, by, br = width * 0.78, height * 0.78, side * 0.16
    if mark == "box" and abs(px - bx) <= br and abs(py - by) <= br:
        return accent
    if mark in ("arrow", "plus", "check", "bars") and math.hypot(px - bx, py - by) <= br:
        return accent
    return colour


# ----------------------------------------------------------------------------------------------
# Colour tables

def colours_of(pixels):
    seen = []
    for row in pixels:
        for c in row:
            if c is not None and c not in seen:
                seen.append(c)
    return seen


def nearest(colour, palette):
    best, best_d = 0, None
    for i, p in enumerate(palette):
        d = sum((a - b) ** 2 for a, b in zip(colour, p))
        if best_d is None or d < best_d:
            best, best_d = i, d
    return best


# ----------------------------------------------------------------------------------------------
# GIF89a: global colour table, one image, LZW-compressed

def lzw_encode(indices, min_code_size):
    clear = 1 << min_code_size
    end = clear + 1
    out = bytearray()
    bit_buffer = 0
    bit_count = 0

    def emit(code, size):
        nonlocal bit_buffer, bit_count
        bit_buffer |= code << bit_count
        bit_count += size
        while bit_count >= 8:
            out.append(bit_buffer & 0xFF)
            bit_buffer >>= 8
            bit_count -= 8

    def fresh_table():
        return {(i,): i for i in range(clear)}

    table = fresh_table()
    next_code = end + 1
    code_size = min_code_size + 1
    emit(clear, code_size)
    current = ()
    for index in indices:
        candidate = current + (index,)
        if candidate in table:
            current = candidate
            continue
        emit(table[current], code_size)
        if next_code < 4096:
            table[candidate] = next_code
            next_code += 1
            if next_code > (1 << code_size) and code_size < 12:
                code_size += 1
        else:
            emit(clear, code_size)
            table = fresh_table()
            next_code = end + 1
            code_size = min_code_size + 1
        current = (index,)
    if current:
        emit(table[current], code_size)
    emit(end, code_size)
    if bit_count:
        out.append(bit_buffer & 0xFF)
    return bytes(out)


def lzw_decode(data, min_code_size, count):
    clear = 1 << min_code_size
    end = clear + 1
    pos = 0
    bits = 0
    nbits = 0
    code_size = min_code_size + 1
    table = [(i,) for i in range(clear)] + [None, None]
    previous = None
    out = []
    while True:
        while nbits < code_size:
            if pos >= len(data):
                raise ValueError("LZW data ends early")
            bits |= data[pos] << nbits
            pos += 1
            nbits += 8
        code = bits & ((1 << code_size) - 1)
        bits >>= code_size
        nbits -= code_size
        if code == clear:
            table = [(i,) for i in range(clear)] + [None, None]
            code_size = min_code_size + 1
            previous = None
            continue
        if code == end:
            break
        if code < len(table) and table[code] is not None:
            entry = table[code]
            if previous is not None:
                table.append(previous + (entry[0],))
        elif previous is not None and code == len(table):
            entry = previous + (previous[0],)
            table.append(entry)
        else:
            raise ValueError("bad LZW code")
        out.extend(entry)
        previous = entry
        if len(table) == (1 << code_size) and code_size < 12:
            code_size += 1
    if len(out) != count:
        raise ValueError("LZW gives %d pixels, expected %d" % (len(out), count))
    return out


def gif_bytes(pixels):
    height, width = len(pixels), len(pixels[0])
    palette = colours_of(pixels)
    table_bits = max(1, math.ceil(math.log2(max(2, len(palette)))))
    size = 1 << table_bits
    palette = palette + [BLACK] * (size - len(palette))
    indices = [palette.index(c) for row in pixels for c in row]
    min_code_size = max(2, table_bits)
    data = lzw_encode(indices, min_code_size)
    if lzw_decode(data, min_code_size, width * height) != indices:
        raise SystemExit("GIF data does not decode back")
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", width, height, 0x80 | 0x70 | (table_bits - 1), 0, 0)
    for c in palette:
        out += bytes(c)
    out += struct.pack("<BHHHHB", 0x2C, 0, 0, width, height, 0)
    out.append(min_code_size)
    for i in range(0, len(data), 255):
        block = data[i:i + 255]
        out.append(len(block))
        out += block
    out.append(0)
    out.append(0x3B)
    return bytes(out)


# ----------------------------------------------------------------------------------------------
# Device-independent bitmaps

def row_stride(width, bits):
    return ((width * bits + 31) // 32) * 4


def dib_pixels(pixels, bits, palette):
    """Bottom-up rows of colour indices (4 or 8 bits) or BGR triples (24 bits)."""
    height, width = len(pixels), len(pixels[0])
    stride = row_stride(width, bits)
    out = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray()
        if bits == 24:
            for c in pixels[y]:
                r, g, b = c if c is not None else BLACK
                row += bytes((b, g, r))
        else:
            indices = [nearest(c, palette) if c is not None else 0 for c in pixels[y]]
            if bits == 8:
                row += bytes(indices)
            else:
                for i in range(0, width, 2):
                    hi = indices[i]
                    lo = indices[i + 1] if i + 1 < width else 0
                    row.append((hi << 4) | lo)
        row += b"\0" * (stride - len(row))
        out += row
    return bytes(out)


def and_mask(pixels):
    height, width = len(pixels), len(pixels[0])
    stride = row_stride(width, 1)
    out = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray(stride)
        for x, c in enumerate(pixels[y]):
            if c is None:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def info_header(width, height, bits, colours, image_size):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_size, 0, 0, colours, 0)


def bmp_bytes(pixels):
    """A 24-bit BMP file; the resource compiler keeps what follows the 14-byte file header."""
    height, width = len(pixels), len(pixels[0])
    body = dib_pixels(pixels, 24, None)
    header = info_header(width, height, 24, 0, len(body))
    file_header = struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(body), 0, 0, 14 + len(header))
    return file_header + header + body


def icon_image(pixels, bits):
    height, width = len(pixels), len(pixels[0])
    if bits == 4:
        palette = VGA16
    elif bits == 8:
        palette = colours_of(pixels)
        palette = palette + [BLACK] * (256 - len(palette))
    else:
        palette = []
    xor = dib_pixels(pixels, bits, palette)
    mask = and_mask(pixels)
    # The height of an icon image counts the colour rows and the mask rows.
    header = info_header(width, height * 2, bits, 0, len(xor) + len(mask))
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header + table + xor + mask, (16 if bits == 4 else 0)


def ico_bytes(images):
    """images: list of (pixels, bits)."""
    encoded = [(pixels, bits) + icon_image(pixels, bits) for pixels, bits in images]
    out = bytearray(struct.pack("<HHH", 0, 1, len(encoded)))
    offset = 6 + 16 * len(encoded)
    for pixels, bits, data, colour_count in encoded:
        size = len(pixels)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colour_count, 0, 1, bits, len(data), offset)
        offset += len(data)
    for _, _, data, _ in encoded:
        out += data
    return bytes(out)


# ----------------------------------------------------------------------------------------------
# Preview PNGs

def png_bytes(pixels):
    height, width = len(pixels), len(pixels[0])
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for c in row:
            raw += bytes(c + (255,)) if c is not None else bytes((0, 0, 0, 0))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(bytes(raw))) + chunk(b"IEND", b""))


def scale(pixels, factor):
    return [[c for c in row for _ in range(factor)] for row in pixels for _ in range(factor)]


# ----------------------------------------------------------------------------------------------

def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


# The libraries that lie in a folder of their magazine's family.
FOLDERS = {"tarvo": ["ks", "tarvo"], "holvar": ["ks", "holvar"], "enter": ["enter", "enter"],
           "plavik": ["enter", "plavik"]}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--preview", help="also write PNG previews into this folder")
    args = parser.parse_args()
    for name, style in LIBRARIES.items():
        res = os.path.join(ROOT, "plugins", *FOLDERS.get(name, [name]), "res")
        gif_w, gif_h = style["gif"]
        gif_pixels = draw(gif_w, gif_h, style, transparent_corners=False)
        write(os.path.join(res, "icon.gif"), gif_bytes(gif_pixels))

        menu_pixels = draw(16, 16, style, transparent_corners=False)
        bmp = bmp_bytes(menu_pixels)
        if len(bmp) - 14 != 808:
            raise SystemExit("%s: the menu bitmap is %d bytes without its file header" % (name, len(bmp) - 14))
        write(os.path.join(res, "menuicon.bmp"), bmp)

        if style["full_icon"]:
            images = [(draw(size, size, style, True), bits) for bits in (4, 8, 24) for size in (16, 32, 48)]
        else:
            images = [(draw(32, 32, style, True), 8)]
        write(os.path.join(res, "icon.ico"), ico_bytes(images))

        if args.preview:
            write(os.path.join(args.preview, name + "-gif.png"), png_bytes(scale(gif_pixels, 4)))
            write(os.path.join(args.preview, name + "-menu.png"), png_bytes(scale(menu_pixels, 8)))
            for pixels, bits in images:
                write(os.path.join(args.preview, "%s-icon-%d-%d.png" % (name, len(pixels), bits)),
                      png_bytes(scale(pixels, 4)))
        print("%s: icon.gif %dx%d, menuicon.bmp, icon.ico with %d image(s)" % (name, gif_w, gif_h, len(images)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
