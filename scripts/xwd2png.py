#!/usr/bin/env python3
"""Writes an X window dump (XWD, as Xvfb keeps its screen with -fbdir) as a PNG.

Needs only the standard library, so screenshots work where ImageMagick is absent.
Usage: xwd2png.py SCREEN.xwd OUT.png
"""
import struct
import sys
import zlib


def read_xwd(path):
    with open(path, "rb") as dump:
        data = dump.read()
    fields = struct.unpack(">25I", data[:100])
    header_size, version = fields[0], fields[1]
    if version != 7:
        raise SystemExit(f"{path}: not an XWD file of version 7")
    width, height = fields[4], fields[5]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    red_mask, green_mask, blue_mask = fields[14], fields[15], fields[16]
    colours = fields[19]
    if bits_per_pixel != 32:
        raise SystemExit(f"{path}: {bits_per_pixel} bits per pixel; only 32 are read")
    pixels = data[header_size + colours * 12:]
    order = "<" if byte_order == 0 else ">"

    def channel(value, mask):
        shift = (mask & -mask).bit_length() - 1
        return (value & mask) >> shift

    rows = []
    for y in range(height):
        line = pixels[y * bytes_per_line:y * bytes_per_line + width * 4]
        values = struct.unpack(f"{order}{width}I", line)
        row = bytearray(b"\0")  # filter type: none
        for value in values:
            row += bytes((channel(value, red_mask), channel(value, green_mask), channel(value, blue_mask)))
        rows.append(bytes(row))
    return width, height, b"".join(rows)


def write_png(path, width, height, raw):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) +
                  chunk(b"IEND", b""))


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    width, height, raw = read_xwd(sys.argv[1])
    write_png(sys.argv[2], width, height, raw)
    print(f"{sys.argv[2]}: {width} x {height}")


if __name__ == "__main__":
    main()
