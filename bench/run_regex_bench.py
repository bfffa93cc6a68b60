#!/usr/bin/env python3
"""Regular-expression macros beside Python's re, on the same data in the same run.

Writes a 16 MiB mail-like text with dates into build/bench/regex, runs
build/bin/macro_bench.exe under Wine (KVL_RERepl with a literal, a date pattern with
three groups and a $3.$2.$1 template, and an alternation; KVL_REIsMatch with
patterns that do not occur, so the whole text is searched), times re.sub and
re.search on the same file, and prints each ratio. The "10x input" column is the
time for the whole input against one of its tenths (ten calls on consecutive
tenths, summed, divided by ten), every call with cold caches: at most 11 means no
quadratic path. A benchmark, not a test: it reports, it does not fail.
"""
import json
import os
import random
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA = os.path.join(ROOT, "build", "bench", "regex")
SIZE = 16 * 1024 * 1024
ROUNDS = 5  # as run_text_bench.best_of

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_text_bench import best_of, make_text  # noqa: E402  the same words and timing


def make_regex_text():
    rng = random.Random(7)
    lines = make_text(SIZE).split(b"\r\n")
    for i in range(0, len(lines), 3):  # a date on every third line
        date = b"%04d-%02d-%02d" % (rng.randint(1990, 2030), rng.randint(1, 12), rng.randint(1, 28))
        lines[i] = lines[i] + b" on " + date
    return b"\r\n".join(lines)[:SIZE]


def peers(text):
    date = re.compile(rb"(\d+)-(\d+)-(\d+)")
    literal = re.compile(rb"the")
    alternation = re.compile(b"Gr\xfc\xdfe|caf\xe9|stra\xdfe")
    return {
        "replace_literal": ("re.sub", best_of(lambda: literal.sub(b"THE", text))),
        "replace_date": ("re.sub", best_of(lambda: date.sub(rb"\3.\2.\1", text))),
        "replace_alternation": ("re.sub", best_of(lambda: alternation.sub(b"X", text))),
        "ismatch_literal": ("re.search", best_of(lambda: re.compile(rb"zebra").search(text))),
        "ismatch_date": ("re.search", best_of(lambda: re.compile(rb"(\d+)/(\d+)/(\d+)").search(text))),
        "ismatch_alternation": ("re.search", best_of(lambda: re.compile(rb"zebra|giraffe|okapi").search(text))),
    }


def main():
    os.makedirs(DATA, exist_ok=True)
    text = make_regex_text()
    with open(os.path.join(DATA, "regex.txt"), "wb") as f:
        f.write(text)
    print("running macro_bench.exe under Wine", file=sys.stderr)
    bench = subprocess.run([os.path.join(ROOT, "scripts", "wine-run.sh"),
                            os.path.join(ROOT, "build", "bin", "macro_bench.exe"), DATA, str(ROUNDS), "regex"],
                           capture_output=True, text=True, check=True)
    ours = {row["case"]: row for row in map(json.loads, bench.stdout.splitlines())}
    print("timing Python's re", file=sys.stderr)
    peer = peers(text)
    print(f"{'case':<20} {'KVL MB/s':>9} {'peer':<10} {'peer MB/s':>9} {'ratio':>6}  {'10x input':>9}")
    for case, (name, seconds) in peer.items():
        row = ours[case]
        mbps = row["bytes"] / row["seconds"] / 1e6
        peer_mbps = row["bytes"] / seconds / 1e6
        ratio = mbps / peer_mbps
        scaling = row["seconds"] / (row["tenths_seconds"] / 10)
        verdict = "ok" if ratio >= 1.0 and scaling <= 11 else "BELOW"
        print(f"{case:<20} {mbps:9.0f} {name:<10} {peer_mbps:9.0f} {ratio:6.2f}  {scaling:8.1f}x {verdict}")


if __name__ == "__main__":
    main()
