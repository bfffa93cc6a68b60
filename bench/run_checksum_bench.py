#!/usr/bin/env python3
"""Checksum macro throughput on files beside their peers, in the same run.

Writes a 256 MiB file of random bytes and its first tenth into build/bench/checksum,
times KVL_CRC32, KVL_MD5 and KVL_SHA1 in file mode ("FN", format "{H}") through
one kvlhost batch session, and beside them cksfv and Python's zlib.crc32, md5sum and
sha1sum on the same files (each from the page cache, like the macros). Prints MB/s,
the ratio to each peer (goal at least 0.8) and the time for the whole file against
its tenth (goal at most 11). Best of ROUNDS runs each.
A benchmark, not a test: it reports, it does not fail.
"""
import json
import os
import random
import subprocess
import sys
import time
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA = os.path.join(ROOT, "build", "bench", "checksum")
RUN = os.path.join(ROOT, "scripts", "wine-run.sh")
SIZE = 256 * 1024 * 1024
ROUNDS = 3


def write_inputs():
    os.makedirs(DATA, exist_ok=True)
    whole, tenth = os.path.join(DATA, "whole.bin"), os.path.join(DATA, "tenth.bin")
    if not os.path.exists(whole) or os.path.getsize(whole) != SIZE:
        rng = random.Random(256)
        with open(whole, "wb") as out:
            for _ in range(SIZE // (16 << 20)):
                out.write(rng.randbytes(16 << 20))
    with open(whole, "rb") as source, open(tenth, "wb") as out:
        out.write(source.read(SIZE // 10))
    return whole, tenth


def best(action):
    times = []
    for _ in range(ROUNDS):
        start = time.perf_counter()
        action()
        times.append(time.perf_counter() - start)
    return min(times)


def python_crc(path):
    crc = 0
    with open(path, "rb") as data:
        while chunk := data.read(1 << 20):
            crc = zlib.crc32(chunk, crc)
    return crc


def main():
    whole, tenth = write_inputs()
    host = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "bin", "kvlhost.exe")
    session = subprocess.Popen([RUN, host, "batch"], stdin=subprocess.PIPE, stdout=subprocess.PIPE)

    def macro(name, path):
        request = {"macro": name, "args": ["FN", "Z:" + path.replace("/", "\\"), "{H}"]}
        session.stdin.write((json.dumps(request) + "\n").encode())
        session.stdin.flush()
        return json.loads(session.stdout.readline())["result"].strip()

    peers = {
        "KVL_CRC32": [("cksfv", lambda p: subprocess.run(["cksfv", "-b", p], capture_output=True, check=True)),
                      ("zlib.crc32", python_crc)],
        "KVL_MD5": [("md5sum", lambda p: subprocess.run(["md5sum", p], capture_output=True, check=True))],
        "KVL_SHA1": [("sha1sum", lambda p: subprocess.run(["sha1sum", p], capture_output=True, check=True))],
    }
    macro("KVL_CRC32", tenth)  # warm the page cache and the session
    print(f"{'macro':10} {'MB/s':>8}  {'peer':12} {'MB/s':>8} {'ratio':>6}  {'10x file':>8}")
    mb = SIZE / 1e6
    try:
        for name, peer_list in peers.items():
            ours = best(lambda: macro(name, whole))
            ours_tenth = best(lambda: macro(name, tenth))
            for peer, run in peer_list:
                theirs = best(lambda: run(whole))
                print(f"{name:10} {mb / ours:8.0f}  {peer:12} {mb / theirs:8.0f} {theirs / ours:6.2f}  "
                      f"{ours / ours_tenth:8.1f}")
        check = macro("KVL_CRC32", whole)
        print(f"CRC-32 of the whole file: {check} (zlib.crc32 {python_crc(whole):08X})")
    finally:
        session.stdin.close()
        session.wait()


if __name__ == "__main__":
    main()
