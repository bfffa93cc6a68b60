#!/usr/bin/env python3
"""Address and link extraction beside Python's re.findall, and the domains of addresses
converted to ACE form beside re.sub with the idna codec, on the same data in the same run.

Writes a 16 MiB mail-like text with about 100 000 addresses and 100 000 links into
build/bench/addresses, runs build/bin/macro_bench.exe under Wine (KVL_XtrEMLs and
KVL_XtrURLs, CR LF separated), times re.findall on the same file with the patterns
that tests/extraction_peers.py holds our results to (an RFC 5322-ish address, a link
by the autolink rules), and prints each ratio. The "10x input" column is the time for
the whole input against one of its tenths (ten calls on consecutive tenths, summed, divided by ten),
every call with cold caches: at most 11 means no quadratic path. A chain of 2.4
million "http://" prefixes (16 MiB, one link) and a text of "@" between short
addresses are timed as well, the latter also for KVL_AddrToACE (2.8 million domains).
KVL_AddrToACE runs on the mail text with a quarter of its domains internationalised. A benchmark, not a test: it reports, it does not fail.
"""
import json
import os
import random
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA = os.path.join(ROOT, "build", "bench", "addresses")
SIZE = 16 * 1024 * 1024
ROUNDS = 5  # as run_text_bench.best_of

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_text_bench import best_of, make_text, scaling  # noqa: E402  the same words and timing
sys.path.insert(0, os.path.join(ROOT, "tests"))
from extraction_peers import peer_addresses, peer_links  # noqa: E402  the patterns the peer check holds to


def make_mail_text(size=SIZE):
    rng = random.Random(11)
    names = [b"anna", b"bob.miller", b"c_meier", b"info", b"list-admin", b"Team.Lead"]
    hosts = [b"example.com", b"mail.example.org", b"Korvel.de", b"lists.example.net"]
    lines = make_text(size).split(b"\r\n")
    step = max(1, len(lines) // 100_000)
    for i in range(0, len(lines), step):
        address = rng.choice(names) + b"@" + rng.choice(hosts)
        link = b"http://" + rng.choice(hosts) + b"/p/%d?id=%d&x=y" % (rng.randint(1, 999), i)
        lines[i] = lines[i] + b" <" + address + b"> see " + link
    return b"\r\n".join(lines)[:size]


def to_ace(match):
    try:
        return b"@" + match.group(1).decode("cp1252").encode("idna")
    except UnicodeError:
        return match.group(0)


def peers(text, idn_text):
    domain = re.compile(rb'@([^> ,<:/\\()"*#;\[\]{}|@]*)')
    return {
        "xtr_emls": ("re.findall", best_of(lambda: peer_addresses(text))),
        "xtr_urls": ("re.findall", best_of(lambda: peer_links(text))),
        "addr_to_ace": ("re.sub", best_of(lambda: domain.sub(to_ace, idn_text))),
    }


def main():
    os.makedirs(DATA, exist_ok=True)
    text = make_mail_text()
    files = {"mail": text, "chain": (b"http://" * (SIZE // 7 + 1))[:SIZE],
             "ats": (b"ab.cd@" * (SIZE // 6 + 1))[:SIZE],
             "idn": text.replace(b"@Korvel.de", b"@K\xf6rvel.de")}
    for name, content in files.items():
        with open(os.path.join(DATA, name + ".txt"), "wb") as f:
            f.write(content)
    print("running macro_bench.exe under Wine", file=sys.stderr)
    bench = subprocess.run([os.path.join(ROOT, "scripts", "wine-run.sh"),
                            os.path.join(ROOT, "build", "bin", "macro_bench.exe"), DATA, str(ROUNDS), "addresses"],
                           capture_output=True, text=True, check=True)
    ours = {row["case"]: row for row in map(json.loads, bench.stdout.splitlines())}
    print("timing Python's re", file=sys.stderr)
    peer = peers(text, files["idn"])
    print(f"{'case':<16} {'KVL MB/s':>9} {'peer':<10} {'peer MB/s':>9} {'ratio':>6}  {'10x input':>9} {'own':>6}  found")
    for case, row in ours.items():
        if "calls" in row:
            print(f"{case}: {row['calls'] / row['seconds']:,.0f} calls/s through ZRP_ExecMacro (a 50-entry To header)")
            continue
        mbps = row["bytes"] / row["seconds"] / 1e6
        measured, own = scaling(row)
        if case in peer:
            name, seconds = peer[case]
            peer_mbps = row["bytes"] / seconds / 1e6
            ratio = mbps / peer_mbps
            verdict = "ok" if ratio >= 1.0 and own <= 11 else "BELOW"
            print(f"{case:<16} {mbps:9.0f} {name:<10} {peer_mbps:9.0f} {ratio:6.2f}  {measured:8.1f}x {own:5.1f}x {verdict}"
                  f"  {row['result_bytes']} bytes")
        else:
            verdict = "ok" if own <= 11 else "BELOW"
            print(f"{case:<16} {mbps:9.0f} {'':<10} {'':>9} {'':>6}  {measured:8.1f}x {own:5.1f}x {verdict}"
                  f"  {row['result_bytes']} bytes")


if __name__ == "__main__":
    main()
