#!/usr/bin/env python3
"""kvlhost reads messages far larger than an item can be: generated messages of SIZE MiB
(a text body with CR LF line ends, the same with LF only, and a large Base64 attachment
before a short text part), each in a folder under build/ that is removed afterwards.

For each, `kvlhost expand` measures the items through the plug-in: the text (241) and
the body (254) are cut at the plug-in's 64 MiB result cap, with a warning that names each
item cut; the attachment is measured without being decoded, so the text after it is read
whole; the subject and the correspondent come through. Then sparse files of zeros: one of
exactly 1 GiB is read, one byte more is refused with a one-line error. Prints the time of
each reading.

Usage: huge_message.py KVLHOST [--size MIB]   (the ctest entry reads 150 MiB; 1024 is the
largest kvlhost reads, a minute or two here)
"""
import os
import sys
import tempfile
import time
from pathlib import Path

from kvlhost import ROOT, arguments, finish, run

CAP = 64 << 20
LARGEST = 1 << 30  # the largest message file kvlhost reads
LINE = b"All work and no play makes a long message, line after line of it. 0123456789"
SUBJECT = "a huge message"
TEMPLATE = "%KVL_StrLen(%TEXT)|%KVL_StrLen(%SUBJECT)|%FROMADDR|%KVL_StrLen(%KVL_StrMid(%TEXT, 1, 20))"


def fill(target, block, size):
    """Writes whole blocks while they leave 64 KiB of size free: the bytes written."""
    count = max(0, (size - (1 << 16)) // len(block))
    for _ in range(count):
        target.write(block)
    return count * len(block)


def write_message(path, size, line_end, attachment=False):
    """A message of about `size` bytes; answers the length its text item should have."""
    head = (b"From: Ann Example <ann@example.org>" + line_end + b"To: bob@example.org" + line_end +
            b"Subject: " + SUBJECT.encode() + line_end)
    line = LINE + line_end
    block = line * ((1 << 20) // len(line))
    with open(path, "wb") as target:
        if not attachment:
            target.write(head + b"Content-Type: text/plain" + line_end + line_end)
            written = fill(target, block, size)
            return min(written // len(line) * (len(LINE) + 2), CAP)
        boundary = b"b0undary"
        target.write(head + b"Content-Type: multipart/mixed; boundary=" + boundary + line_end + line_end +
                     b"--" + boundary + line_end + b"Content-Type: application/octet-stream" + line_end +
                     b"Content-Transfer-Encoding: base64" + line_end + line_end)
        encoded = b"QUJD" * 19 + line_end  # 76 characters of Base64 a line
        big = encoded * ((1 << 20) // len(encoded))
        fill(target, big, size)
        text = b"The short text after the attachment." + line_end
        target.write(b"--" + boundary + line_end + b"Content-Type: text/plain" + line_end + line_end + text +
                     b"--" + boundary + b"--" + line_end)
        return len(text) - len(line_end)  # the line end before a delimiter belongs to the delimiter


def main():
    options = arguments(size=150)
    size = options.size << 20
    failures = []

    def read(template, path):
        """kvlhost's reading of the message, which is removed afterwards: seconds, rc, stdout, stderr."""
        start = time.monotonic()
        done = run(options.kvlhost, "expand", template, "--message", path, timeout=600)
        seconds = time.monotonic() - start
        os.remove(path)
        return seconds, done.returncode, done.stdout.decode(errors="replace"), done.stderr.decode(errors="replace")

    with tempfile.TemporaryDirectory(prefix="huge-message-", dir=os.path.join(ROOT, "build")) as folder:
        template = os.path.join(folder, "measure.tpl")
        Path(template).write_text(TEMPLATE)
        for name, line_end, attachment in (("CR LF text", b"\r\n", False), ("LF text", b"\n", False),
                                           ("Base64 attachment, then text", b"\r\n", True)):
            path = os.path.join(folder, "message.eml")
            text_length = write_message(path, size, line_end, attachment)
            message_size = os.path.getsize(path)
            seconds, rc, out, err = read(template, path)
            expected = f"{text_length}|{len(SUBJECT)}|ann@example.org|20"
            print(f"{name}: {message_size / (1 << 20):.0f} MiB read in {seconds:.1f} s: {out!r}")
            if rc != 0 or out != expected:
                failures.append(f"{name}: rc {rc}, {out!r}, expected {expected!r}; {err[-300:]!r}")
            cut = {item for item in ("item 241", "item 254") if f"({item}) is longer than 64 MiB" in err}
            expected_cut = {"item 254"} if attachment else {"item 241", "item 254"}
            if size <= CAP:
                expected_cut = set()
            if cut != expected_cut:
                failures.append(f"{name}: warnings about {sorted(cut)}, expected {sorted(expected_cut)}: {err!r}")
        # The largest message kvlhost reads, and one byte more: sparse files of zeros.
        path = os.path.join(folder, "zeros.eml")
        for extra, expected_rc in ((0, 0), (1, 1)):
            with open(path, "wb") as target:
                target.truncate(LARGEST + extra)
            seconds, rc, out, err = read(template, path)
            print(f"zeros: {LARGEST + extra} bytes, rc {rc} in {seconds:.1f} s: {out!r}")
            refused = "is larger than 1 GiB, the largest message kvlhost reads" in err
            if rc != expected_rc or refused != (rc == 1) or (rc == 0 and not out.startswith(f"{CAP}|0||20")):
                failures.append(f"zeros, {LARGEST + extra} bytes: rc {rc}, {out!r}, {err[-300:]!r}")
    return finish(failures, f"huge_message: {len(failures)} failed")


if __name__ == "__main__":
    sys.exit(main())
