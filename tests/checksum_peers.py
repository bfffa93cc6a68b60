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
import socket
import subprocess
import sys
import tempfile
import threading
import zlib
from pathlib import Path

from kvlhost import ROOT, Session, arguments, finish, windows_path

PREFIX = os.environ.get("WINEPREFIX", os.path.join(ROOT, "build", "wine"))
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def unix_path(windows):
    drive, rest = windows[0].upper(), windows[2:].replace("\\", "/")
    return rest if drive == "Z" else os.path.join(PREFIX, "drive_" + drive.lower()) + rest


QuietHandler = type("QuietHandler", (http.server.SimpleHTTPRequestHandler,), {"log_message": lambda *_: None})


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
    os.makedirs(folder)
    rng = random.Random(11)
    block = 1 << 16
    paths = []
    for name, size in {"empty.bin": 0, "one.bin": 1, "block-1.bin": block - 1, "block.bin": block,
                       "block+1.bin": block + 1, "with blank.txt": 5000}.items():
        Path(folder, name).write_bytes(data := rng.randbytes(size))
        paths.append(windows_path(os.path.join(folder, name)))
        for macro, expected in peers(data).items():
            got = session.call(macro, "FN", paths[-1], "{H}")["result"]
            check(got == expected + "\r\n", f"{macro} F of {name}: {got!r}")
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
    damaged = Path(folder, "one.bin")
    damaged.write_bytes(bytes([damaged.read_bytes()[0] ^ 1]))
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
        check(Path(made[-1]).read_bytes() == "Gr\u00fc\u00dfe\r\n".encode("cp1252"), "KVL_StrAttach wrote other bytes")
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
    Path(served, "file.bin").write_bytes(body)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(QuietHandler, directory=served))
    thread = threading.Thread(target=server.serve_forever)
    thread.start()
    try:
        base = f"http://127.0.0.1:{server.server_address[1]}/"
        target = os.path.join(folder, "down.bin")
        reply = session.call("KVL_UrlDldFile", base + "file.bin", windows_path(target))
        check(reply["result"] == "1", f"download: {reply}")
        check(Path(target).read_bytes() == body, "download: other bytes")
        Path(target).write_bytes(b"kept")
        reply = session.call("KVL_UrlDldFile", base + "missing.bin", windows_path(target))
        check(reply["result"] == "0", f"404: {reply}")
        check(Path(target).read_bytes() == b"kept", "404: the existing file was overwritten")
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
    with tempfile.TemporaryDirectory(prefix="kvl-checksums-") as folder, Session(arguments().kvlhost) as session:
        try:
            text_mode(session)
            made = file_mode(session, os.path.join(folder, "files")) + attachments(session)
            downloads(session, os.path.join(folder, "net"))
            check(session.close() == 0, "kvlhost did not end with 0")
        finally:
            if session.process.poll() is None:
                session.process.kill()
    for path in made:
        check(not os.path.exists(path), f"{path} is still there after the plug-in was unloaded")
    return finish(failures, f"checksum_peers: {len(failures)} failures")


if __name__ == "__main__":
    sys.exit(main())
