#!/usr/bin/env python3
"""The checksum and attachment macros beside the tools people check them with.

One kvlhost batch session (the plug-in stays loaded, as in the mail client):
- text mode of KVL_CRC32 / KVL_MD5 / KVL_SHA1 beside Python's zlib.crc32 and hashlib
  on random ANSI texts, and file mode on files around the 64 KiB read block and on a
  sparse 3 GiB file (sizes beyond 32 bits);
- the lists of mode FA (Attachments.sfv, .md5, .sha) checked by cksfv -f,
  md5sum -c and sha1sum -c while the plug-in is loaded;
- KVL_StrAttach and KVL_UrlAttach files, attached, and gone once the session ends;
- KVL_UrlDldFile against a Python http.server on 127.0.0.1 (a free port): a file
  that downloads, a 404 (an existing file stays as it was) and a refused port; the
  longest URL (2 083 characters) and target path (246) on both sides.
Prints every failure and a closing line; exits 1 on any failure.
"""
import functools
import hashlib
import http.server
import os
import random
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import zlib

from kvlhost import ROOT, Session, host_argument, windows_path

PREFIX = os.environ.get("WINEPREFIX", os.path.join(ROOT, "build", "wine"))
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def unix_path(windows):
    drive, rest = windows[0].upper(), windows[2:].replace("\\", "/")
    return rest if drive == "Z" else os.path.join(PREFIX, "drive_" + drive.lower()) + rest


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def peers(data):
    return {"KVL_CRC32": "%08X" % zlib.crc32(data), "KVL_MD5": hashlib.md5(data).hexdigest().upper(),
            "KVL_SHA1": hashlib.sha1(data).hexdigest().upper()}


def text_mode(session):
    rng = random.Random(7)
    alphabet = "".join(chr(c) for c in range(1, 256) if c not in (0x81, 0x8D, 0x8F, 0x90, 0x9D))
    alphabet = "".join(ch for ch in alphabet if ch.encode("cp1252", "ignore"))
    for size in (0, 1, 55, 56, 63, 64, 65, 1000, 100000):
        text = "".join(rng.choice(alphabet) for _ in range(size))
        for macro, expected in peers(text.encode("cp1252")).items():
            got = session.call(macro, "S", text)["result"]
            check(got == expected, f"{macro} S of {size} characters: {got} instead of {expected}")


def file_mode(session, folder):
    rng = random.Random(11)
    block = 1 << 16
    names = ["empty.bin", "one.bin", "block-1.bin", "block.bin", "block+1.bin", "with blank.txt"]
    sizes = [0, 1, block - 1, block, block + 1, 5000]
    for name, size in zip(names, sizes):
        with open(os.path.join(folder, name), "wb") as out:
            out.write(rng.randbytes(size))
    paths = [windows_path(os.path.join(folder, name)) for name in names]
    for name, path in zip(names, paths):
        with open(os.path.join(folder, name), "rb") as data:
            expected = peers(data.read())
        for macro in expected:
            got = session.call(macro, "FN", path, "{H}")["result"]
            check(got == expected[macro] + "\r\n", f"{macro} F of {name}: {got!r}")
    # A sparse 3 GiB file: no size or offset may be held in 32 bits.
    huge = os.path.join(folder, "huge.bin")
    with open(huge, "wb") as out:
        out.truncate(3 << 30)
        out.seek((3 << 30) - 3)
        out.write(b"end")
    crc = 0
    with open(huge, "rb") as data:
        while chunk := data.read(64 << 20):
            crc = zlib.crc32(chunk, crc)
    got = session.call("KVL_CRC32", "FN", windows_path(huge), "{H}")["result"]
    check(got == "%08X\r\n" % crc, f"KVL_CRC32 of 3 GiB: {got!r} instead of {crc:08X}")
    os.remove(huge)

    # The lists, checked by their tools while the plug-in still holds them.
    listed = "|".join(paths)
    tools = {"KVL_CRC32": ["cksfv", "-q", "-f"], "KVL_MD5": ["md5sum", "--quiet", "-c"],
             "KVL_SHA1": ["sha1sum", "--quiet", "-c"]}
    lists = []
    for macro, tool in tools.items():
        reply = session.call(macro, "FA", listed)
        check(reply["result"] == "", f"{macro} FA answered {reply['result']!r}")
        check(reply["attachments"][:-1] == paths, f"{macro} FA attached {reply['attachments']}")
        listing = unix_path(reply["attachments"][-1])
        lists.append(listing)
        done = subprocess.run(tool + [listing], cwd=folder, capture_output=True, text=True)
        check(done.returncode == 0, f"{' '.join(tool)} {listing}: {done.stdout}{done.stderr}")
    # A damaged file must make the tools complain: the check above could not pass by accident.
    with open(os.path.join(folder, "one.bin"), "r+b") as damaged:
        byte = damaged.read(1)
        damaged.seek(0)
        damaged.write(bytes([byte[0] ^ 1]))
    for (macro, tool), listing in zip(tools.items(), lists):
        done = subprocess.run(tool + [listing], cwd=folder, capture_output=True, text=True)
        check(done.returncode != 0, f"{' '.join(tool)} accepted a damaged file")
    return lists


def attachments(session):
    made = []
    reply = session.call("KVL_StrAttach", "Gr\u00fc\u00dfe\r\n", "greeting.txt")
    check(reply["result"] == "1" and len(reply["attachments"]) == 1, f"KVL_StrAttach: {reply}")
    if reply["attachments"]:
        made.append(unix_path(reply["attachments"][0]))
        with open(made[-1], "rb") as written:
            check(written.read() == "Gr\u00fc\u00dfe\r\n".encode("cp1252"), "KVL_StrAttach wrote other bytes")
    reply = session.call("KVL_UrlAttach", "https://example.org/", "Link")
    check(reply["result"] == "1" and reply["attachments"][0].endswith("\\KVL\\Link.url"), f"KVL_UrlAttach: {reply}")
    made.append(unix_path(reply["attachments"][0]))
    reply = session.call("KVL_StrAttach", "x", "..\\escape.txt")
    check(reply["result"] == "0" and not reply["attachments"], f"KVL_StrAttach outside: {reply}")
    return made


def downloads(session, folder):
    served = os.path.join(folder, "www")
    os.makedirs(served)
    body = random.Random(3).randbytes(300000)
    with open(os.path.join(served, "file.bin"), "wb") as out:
        out.write(body)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(QuietHandler, directory=served))
    thread = threading.Thread(target=server.serve_forever)
    thread.start()
    try:
        base = f"http://127.0.0.1:{server.server_address[1]}/"
        target = os.path.join(folder, "down.bin")
        reply = session.call("KVL_UrlDldFile", base + "file.bin", windows_path(target))
        check(reply["result"] == "1", f"download: {reply}")
        with open(target, "rb") as got:
            check(got.read() == body, "download: other bytes")
        with open(target, "wb") as keep:
            keep.write(b"kept")
        reply = session.call("KVL_UrlDldFile", base + "missing.bin", windows_path(target))
        check(reply["result"] == "0", f"404: {reply}")
        with open(target, "rb") as kept:
            check(kept.read() == b"kept", "404: the existing file was overwritten")
        missing = os.path.join(folder, "never.bin")
        reply = session.call("KVL_UrlDldFile", base + "missing.bin", windows_path(missing))
        check(reply["result"] == "0" and not os.path.exists(missing), f"404 to a new file: {reply}")
        refused = f"http://127.0.0.1:{free_port()}/file.bin"
        reply = session.call("KVL_UrlDldFile", refused, windows_path(missing))
        check(reply["result"] == "0" and not os.path.exists(missing), f"refused port: {reply}")
        # The longest URL WinINet takes (2 083 characters; the server ignores the query)
        # and the longest target whose sibling PATH.kvl-download fits a path buffer.
        for length, expected in ((2083, "1"), (2084, "0")):
            url = base + "file.bin?" + "q" * (length - len(base) - len("file.bin?"))
            reply = session.call("KVL_UrlDldFile", url, windows_path(os.path.join(folder, f"url{length}.bin")))
            check(reply["result"] == expected, f"URL of {length} characters: {reply}")
        for length, expected in ((246, "1"), (247, "0")):
            prefix = windows_path(folder) + "\\"
            name = str(length) + "t" * (length - len(prefix) - 3)
            reply = session.call("KVL_UrlDldFile", base + "file.bin", prefix + name)
            check(len(prefix + name) == length and reply["result"] == expected, f"target of {length} characters: {reply}")
            check(os.path.exists(os.path.join(folder, name)) == (expected == "1"), f"target of {length} characters")
        leftovers = [name for name in os.listdir(folder) if name.endswith(".kvl-download")]
        check(not leftovers, f"download left {leftovers}")
    finally:
        server.shutdown()
        server.server_close()
        thread.join()


def main():
    host = host_argument()
    folder = tempfile.mkdtemp(prefix="kvl-checksums-")
    session = Session(host)
    try:
        text_mode(session)
        files, net = os.path.join(folder, "files"), os.path.join(folder, "net")
        os.makedirs(files)
        os.makedirs(net)
        made = file_mode(session, files) + attachments(session)
        downloads(session, net)
        check(session.close() == 0, "kvlhost did not end with 0")
        for path in made:
            check(not os.path.exists(path), f"{path} is still there after the plug-in was unloaded")
    finally:
        if session.process.poll() is None:
            session.process.kill()
        shutil.rmtree(folder, ignore_errors=True)
    print(f"checksum_peers: {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
