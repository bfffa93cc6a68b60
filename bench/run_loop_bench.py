#!/usr/bin/env python3
"""Loop time against passes x text size, through one kvlhost batch session.

Runs KVL_For over N passes of host text of S characters for several N and S, in
two shapes: the body's text comes back whole ("echo", the loop's result grows by
S per pass) and the body measures its text ("measure", %KVL_StrLen(...), so the
text goes to the host and a nested plug-in call every pass and four characters
come back). Each case is timed from request to reply, best of three, and
reported as nanoseconds per pass per KB of text; a linear loop keeps that
figure flat across N and S (the last column is each case against the smallest
one of its shape). Wine's start-up is outside the timing. A benchmark, not a
test: it reports, it does not fail.
"""
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
from kvlbatch import fastest, timed_request  # noqa: E402
HOST = os.path.join(ROOT, "build", "bin", "kvlhost.exe")
RUN = os.path.join(ROOT, "scripts", "wine-run.sh")
PASSES = (10000, 20000, 40000)
SIZES = (100, 1000, 2000)
ROUNDS = 3


def body(shape, size):
    text = "x" * size
    return text if shape == "echo" else "%KVL_StrLen(" + text + ")"


def main():
    session = subprocess.Popen([RUN, HOST, "batch"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL)

    def ask(request):
        return timed_request(session, request)

    ask({"macro": "KVL_Test"})  # Wine and the plug-in are up before the first timing
    print(f"{'shape':8} {'passes':>7} {'size':>6} {'seconds':>8} {'ns/pass/KB':>11} {'vs first':>9}")
    for shape in ("echo", "measure"):
        first = None
        for size in SIZES:
            for passes in PASSES:
                request = {"macro": "KVL_For", "args": ["i", "1", str(passes), body(shape, size)]}
                best, reply = fastest(lambda: ask(request), ROUNDS)
                if reply.get("rc") != 0 or reply.get("result", "").startswith(" *** "):
                    print(f"{shape:8} {passes:7} {size:6}   failed: {reply.get('result', reply)!r:.60}")
                    continue
                per = best * 1e9 / (passes * size / 1000)
                first = first or per
                print(f"{shape:8} {passes:7} {size:6} {best:8.3f} {per:11.0f} {per / first:9.2f}")
    session.stdin.close()
    session.wait()


if __name__ == "__main__":
    sys.exit(main())
