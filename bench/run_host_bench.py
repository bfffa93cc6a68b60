#!/usr/bin/env python3
"""kvlhost's own costs on large data: printing a 64 MiB result (call, expand and a batch
reply, in ASCII, in characters that UTF-8 writes in two bytes, and in quotes that JSON
escapes), reading a 400 MB message, and loops over message text (which kvlhost follows
through the expansion).

Each case runs kvlhost through scripts/wine-run.sh with its output read through a pipe,
best of --rounds, timed from start to exit (Wine's start-up included). The peer is the
same work without the printing: `%KVL_StrLen(%KVL_StrDup(a, 67108864))`, whose result is
eight characters; the ratio column is each case against it. The message is generated in
build/bench/ (a text body of 400 MB with CR LF line ends) and measured through
`%KVL_StrLen(%TEXT)`; its peer is `cat` reading the same file. A benchmark, not a test:
it reports, it does not fail.

Usage: run_host_bench.py [--kvlhost EXE] [--plugin KVL.zrp] [--rounds N] [--skip-message]
"""
import argparse
import os
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
from kvlbatch import fastest, timed_request  # noqa: E402
RUN = os.path.join(ROOT, "scripts", "wine-run.sh")
SIZE = 64 << 20


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kvlhost", default=os.path.join(ROOT, "build", "bin", "kvlhost.exe"))
    parser.add_argument("--plugin", help="the plug-in, for a kvlhost that is not beside it")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--skip-message", action="store_true")
    options = parser.parse_args()
    plugin = ["--plugin", options.plugin] if options.plugin else []

    def timed(args, stdin=b""):
        best, output = None, b""
        for _ in range(options.rounds):
            start = time.perf_counter()
            # stderr to a file: a pipe would wait for the Wine server, which inherits it.
            with open(os.devnull, "wb") as errors:
                done = subprocess.run(args, input=stdin, stdout=subprocess.PIPE, stderr=errors)
            seconds = time.perf_counter() - start
            if best is None or seconds < best:
                best, output = seconds, done.stdout
        return best, output

    def host(*args, stdin=b""):
        return timed([RUN, options.kvlhost, *args, *plugin], stdin)

    def batch(macro, args):
        line = '{"macro": "%s", "args": [%s]}\n' % (macro, ", ".join('"%s"' % a for a in args))
        return timed([RUN, options.kvlhost, "batch", *plugin], line.encode())

    host("call", "KVL_Test")  # Wine is up before the first timing
    peer, out = host("expand", "-", stdin=b"%KVL_StrLen(%KVL_StrDup(a, 67108864))")
    print(f"peer: %KVL_StrLen(%KVL_StrDup(a, 67108864)) {peer:.2f} s ({out!r})")
    cases = [
        ("call KVL_StrDup a", lambda: host("call", "KVL_StrDup", "a", str(SIZE))),
        ("call KVL_StrDup \u00e9 (UTF-8: 128 MiB)", lambda: host("call", "KVL_StrDup", "\u00e9", str(SIZE))),
        ("expand %KVL_StrDup(a, 67108864)", lambda: host("expand", "-", stdin=b"%KVL_StrDup(a, 67108864)")),
        ("batch KVL_StrDup a", lambda: batch("KVL_StrDup", ["a", str(SIZE)])),
        ("batch KVL_StrDup \\\" (JSON: 128 MiB)", lambda: batch("KVL_StrDup", ['\\"', str(SIZE)])),
        ("batch KVL_StrDup \u00e9 (UTF-8: 128 MiB)", lambda: batch("KVL_StrDup", ["\u00e9", str(SIZE)])),
    ]
    print(f"{'case':40} {'seconds':>8} {'output MiB':>11} {'vs peer':>8}")
    for name, run in cases:
        seconds, out = run()
        print(f"{name:40} {seconds:8.2f} {len(out) / (1 << 20):11.1f} {seconds / peer:8.2f}")

    folder = os.path.join(ROOT, "build", "bench")
    os.makedirs(folder, exist_ok=True)
    # Message text followed through the expansion, timed from request to reply in one batch
    # session (Wine's start-up and the reading of the message left out as far as they can be).
    session = subprocess.Popen([RUN, options.kvlhost, "batch", *plugin], stdin=subprocess.PIPE,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)

    def ask(request):
        return timed_request(session, request)

    print(f"{'message text (batch, best of ' + str(options.rounds) + ')':56} {'seconds':>8}")
    for size, cases in ((2048, [
            ('%KVL_For(i,1,40000,"%%KVL_StrLen(%%TEXT)")', "40 000 passes taking %TEXT (2 KB)"),
            ('%KVL_For(i,1,40000,"%%KVL_StrLen(%TEXT)")', "40 000 passes over %TEXT (2 KB), warned"),
            ('%KVL_For(i,1,40000,"%%KVL_StrLen(x)")', "40 000 passes, no message text")]),
            (16 << 20, [
            ("%KVL_StrLen(%TEXT)", "%TEXT (16 MiB) in an argument"),
            ('%KVL_StrLen(%KVL_For(i,1,1,"%TEXT"))', "%TEXT (16 MiB) as a loop body, warned")])):
        path = os.path.join(folder, f"text-{size}.eml")
        with open(path, "wb") as target:
            target.write(b"Subject: s\r\n\r\n" + (b"x" * 78 + b"\r\n") * (size // 80))
        try:
            ask({"template": "%TEXT", "message": path})  # the file in the page cache
            for template, name in cases:
                seconds, reply = fastest(lambda: ask({"template": template, "message": path}), options.rounds)
                print(f"{name:56} {seconds:8.3f} ({reply['result'][:20]!r})")
        finally:
            os.remove(path)
    session.stdin.close()
    session.wait()

    if options.skip_message:
        return 0
    path = os.path.join(folder, "message-400mb.eml")
    line = b"All work and no play makes a long message, line after line of it. 0123456789\r\n"
    with open(path, "wb") as target:
        target.write(b"From: Ann <ann@example.org>\r\nSubject: huge\r\nContent-Type: text/plain\r\n\r\n")
        block = line * ((1 << 20) // len(line))
        for _ in range(400_000_000 // len(block)):
            target.write(block)
    size = os.path.getsize(path)
    try:
        cat, _ = timed(["cat", path])
        seconds, out = host("expand", "-", "--message", path, stdin=b"%KVL_StrLen(%TEXT)")
        print(f"message of {size / 1e6:.0f} MB, %KVL_StrLen(%TEXT): {seconds:.2f} s ({out!r}), "
              f"{size / seconds / 1e6:.0f} MB/s; cat {cat:.2f} s; ratio {seconds / cat:.1f}")
    finally:
        os.remove(path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
