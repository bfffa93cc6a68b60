#!/usr/bin/env python3
"""Writes an X window dump (XWD, as Xvfb keeps its screen with -fbdir) as a PNG.

Needs only the standard library, so screenshots work where ImageMagick is absent.
Usage: xwd2png.py SCREEN.xwd OUT.png         the whole screen
       xwd2png.py --crop SCREEN.xwd OUT.png  the part that is not black (the windows
                                             on a black root, Xvfb's -br)
       xwd2png.py --lit SCREEN.xwd           exit status 0 when anything is drawn
"""
import struct
import sys
import zlib


def read_xwd(path):
    """(width, height, rows of (r, g, b) tuples)."""
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
        rows.append([(channel(v, red_mask), channel(v, green_mask), channel(v, blue_mask)) for v in values])
    return width, height, rows


def lit_box(rows):
    """(left, top, right, bottom) of the pixels that are not black, or None."""
    lit_rows = [y for y, row in enumerate(rows) if any(p != (0, 0, 0) for p in row)]
    if not lit_rows:
        return None
    columns = [x for y in lit_rows for x, p in enumerate(rows[y]) if p != (0, 0, 0)]
    return min(columns), lit_rows[0], max(columns) + 1, lit_rows[-1] + 1


def write_png(path, rows):
    width, height = len(rows[0]), len(rows)
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in rows)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) +
                  chunk(b"IEND", b""))
    return width, height


def main():
    args = sys.argv[1:]
    if len(args) == 2 and args[0] == "--lit":
        return 0 if lit_box(read_xwd(args[1])[2]) else 1
    crop = bool(args) and args[0] == "--crop"
    if crop:
        args = args[1:]
    if len(args) != 2:
        raise SystemExit(__doc__)
    _, _, rows = read_xwd(args[0])
    if crop:
        box = lit_box(rows)
        if box is None:
            raise SystemExit(f"{args[0]}: nothing is drawn")
        left, top, right, bottom = box
        rows = [row[left:right] for row in rows[top:bottom]]
    width, height = write_png(args[1], rows)
    print(f"{args[1]}: {width} x {height}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
