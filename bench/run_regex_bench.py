#!/usr/bin/env python3
"""Regular-expression macros beside Python's re and GNU grep, on the same data in the same run.

Writes a 16 MiB mail-like text with dates into build/bench/regex, runs
build/bin/macro_bench.exe under Wine (KVL_RERepl with a literal, a date pattern with
three groups and a $3.$2.$1 template, and an alternation; KVL_REIsMatch with
patterns that do not occur, so the whole text is searched), times re.sub and
re.search on the same file, and prints each ratio. The searches for absent patterns
also run against grep -c on the same file (-F for the literal, -P, which is PCRE2
with its JIT, and -E for the date and the alternation): grep reads the whole file
too, as nothing matches. grep runs in the C locale (bytes, like the plug-in), and
its time includes starting the process and reading the file from the page cache.
Goals: every case at least 3x Python's re; the literal and the date search at
least as fast as grep. The "10x input" column is the time for the whole input
against one of its tenths (ten calls on consecutive tenths, summed, divided by
ten), every call with cold caches: at most 11 means no quadratic path. A
benchmark, not a test: it reports, it does not fail.
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
from run_text_bench import best_of, make_text, scaling  # noqa: E402  the same words and timing


def make_regex_text():
    rng = random.Random(7)
    lines = make_text(SIZE).split(b"\r\n")
    for i in range(0, len(lines), 3):  # a date on every third line
        date = b"%04d-%02d-%02d" % (rng.randint(1990, 2030), rng.randint(1, 12), rng.randint(1, 28))
        lines[i] = lines[i] + b" on " + date
    return b"\r\n".join(lines)[:SIZE]


def grep_peers(path):
    """(case, peer, seconds, goal) for grep -c on the file; nothing matches."""
    env = dict(os.environ, LC_ALL="C")

    def grep(*args):
        run = subprocess.run(["grep", "-c", *args, path], capture_output=True, env=env)
        if run.returncode != 1 or run.stdout.strip() != b"0":  # 1: no line matched
            raise SystemExit(f"grep {' '.join(args)} found something: the pattern must be absent")
        return best_of(lambda: subprocess.run(["grep", "-c", *args, path], capture_output=True, env=env))

    return [
        ("ismatch_literal", "grep -F", grep("-F", "zebra"), 1.0),
        ("ismatch_date", "grep -P", grep("-P", r"(\d+)/(\d+)/(\d+)"), 1.0),
        ("ismatch_date", "grep -E", grep("-E", r"([0-9]+)/([0-9]+)/([0-9]+)"), 1.0),
        ("ismatch_alternation", "grep -P", grep("-P", "zebra|giraffe|okapi"), None),
        ("ismatch_alternation", "grep -E", grep("-E", "zebra|giraffe|okapi"), None),
    ]


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
    path = os.path.join(DATA, "regex.txt")
    with open(path, "wb") as f:
        f.write(text)
    print("running macro_bench.exe under Wine", file=sys.stderr)
    bench = subprocess.run([os.path.join(ROOT, "scripts", "wine-run.sh"),
                            os.path.join(ROOT, "build", "bin", "macro_bench.exe"), DATA, str(ROUNDS), "regex"],
                           capture_output=True, text=True, check=True)
    ours = {row["case"]: row for row in map(json.loads, bench.stdout.splitlines())}
    print("timing Python's re and grep", file=sys.stderr)
    rows = [(case, name, seconds, 3.0) for case, (name, seconds) in peers(text).items()]
    rows += grep_peers(path)
    print(f"{'case':<20} {'KVL MB/s':>9} {'peer':<10} {'peer MB/s':>9} {'ratio':>6} {'goal':>5}  {'10x input':>9} {'own':>6}")
    for case, name, seconds, goal in rows:
        row = ours[case]
        mbps = row["bytes"] / row["seconds"] / 1e6
        peer_mbps = row["bytes"] / seconds / 1e6
        ratio = mbps / peer_mbps
        measured, own = scaling(row)
        met = (goal is None or ratio >= goal) and own <= 11
        goal_text = f"{goal:.1f}x" if goal else "-"
        print(f"{case:<20} {mbps:9.0f} {name:<10} {peer_mbps:9.0f} {ratio:6.2f} {goal_text:>5}  {measured:8.1f}x {own:5.1f}x "
              f"{'ok' if met else 'BELOW'}")
    # The host's copy of the argument alone bounds what any search through the interface can reach.
    for case in ("ismatch_literal", "ismatch_date"):
        row = ours[case]
        print(f"host copies alone at {case}'s sizes: {row['copies_seconds'] * 1000:.2f} ms "
              f"(at most {row['bytes'] / row['copies_seconds'] / 1e6:.0f} MB/s; the macro {row['seconds'] * 1000:.2f} ms)")


if __name__ == "__main__":
    main()
