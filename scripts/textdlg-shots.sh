#!/usr/bin/env bash
# Pictures of the text and choice windows for docs/dialogs.md: each window is opened
# through kvlhost on a private Xvfb display, whose frame buffer (an XWD file that Xvfb
# keeps in a folder) is cut to the window and written as PNG into docs/images/.
# Not part of `make test`. Needs a built tree (build/bin/kvlhost.exe).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
display=:${KVL_SHOT_DISPLAY:-87}
frames=$(mktemp -d)
export WINEPREFIX="$here/build/wine"
mkdir -p "$here/docs/images"

Xvfb "$display" -screen 0 1024x768x24 -br -fbdir "$frames" -nolisten tcp 2>/dev/null &
xvfb=$!
cleanup() {
  wineserver -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  rm -rf "$frames"
}
trap cleanup EXIT

# Waits until a window has been drawn on the black screen, then cuts it out.
shoot() {
  local name=$1
  python3 - "$frames/Xvfb_screen0" "$here/docs/images/$name.png" <<'PY'
import struct, sys, time, zlib

def read_screen(path):
    with open(path, "rb") as f:
        data = f.read()
    header = struct.unpack(">25I", data[:100])
    header_size, width, height = header[0], header[4], header[5]
    bits_per_pixel, line_bytes, colours = header[11], header[12], header[19]
    pixels = data[header_size + colours * 12:]
    if bits_per_pixel != 32:
        sys.exit(f"shots: expected 32 bits a pixel, found {bits_per_pixel}")
    order = "<" if header[7] == 0 else ">"  # byte order of the pixel values
    rows = []
    for y in range(height):
        line = pixels[y * line_bytes:y * line_bytes + width * 4]
        rows.append([v & 0xFFFFFF for v in struct.unpack(f"{order}{width}I", line)])
    return rows

def lit_box(rows):
    ys = [y for y, row in enumerate(rows) if any(row)]
    if not ys:
        return None
    xs = [x for row in rows for x, v in enumerate(row) if v]
    return min(xs), ys[0], max(xs) + 1, ys[-1] + 1

source, target = sys.argv[1], sys.argv[2]
box = None
for _ in range(150):
    time.sleep(0.2)
    box = lit_box(read_screen(source))
    if box:
        break
if not box:
    sys.exit("shots: no window appeared")
time.sleep(1.5)  # let it finish painting
rows = read_screen(source)
left, top, right, bottom = lit_box(rows)
raw = b"".join(b"\0" + b"".join(struct.pack(">I", v)[1:] for v in row[left:right]) for row in rows[top:bottom])
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", right - left, bottom - top, 8, 2, 0, 0, 0))
       + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
with open(target, "wb") as out:
    out.write(png)
print(f"shots: {target} ({right - left} x {bottom - top})")
PY
}

# One window at a time: open it, take its picture, end the session.
show() {
  local name=$1
  shift
  DISPLAY=$display "$here/scripts/wine-run.sh" "$here/build/bin/kvlhost.exe" call "$@" >/dev/null &
  local host=$!
  shoot "$name"
  wineserver -k 2>/dev/null || true
  wait "$host" 2>/dev/null || true
}

sleep 1
show textdlg KVL_TextDlg "Reply to the list" \
  "Write the text that goes above the quotation. It may take several lines; the counter below shows how much room is left." \
  'Hello all,\n\nthanks for the quick answers.' 250 "Insert" "Skip"
show multidlg KVL_MultiDlg "Attachments" "Choose the files to attach to this message:" 0 \
  'report$X$Quarterly report.pdf|sheet$$Figures.xlsx|photo$x$Team photo.jpg|notes$$Meeting notes.txt' 2
