#!/usr/bin/env python3
"""Quote macros beside sed, on the same 16 MiB mail text in the same run.

Writes the text of run_text_bench and a quoted form of it ("> ", "> > " and
"AB> " before the lines) into build/bench/mailtext, runs macro_bench.exe's
mailtext cases under Wine (KVL_QuoteAdd on the text, KVL_QuoteDel on the quoted
form, KVL_SubjClean calls per second through ZRP_ExecMacro) and times
`sed 's/^/> /'` and `sed -E 's/^([^>]{0,5}>)+ ?//'` (the closest sed expression
for removing leading quote marks) on the same files. The "10x input" column is
the whole input against ten calls on its tenths: at most 11 means linear. A
benchmark, not a test.
"""
import json
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_text_bench import ROOT, ROUNDS, best_of, make_text, run_command, scaling  # noqa: E402

DATA = os.path.join(ROOT, "build", "bench", "mailtext")
SIZE = 16 * 1024 * 1024


def write_inputs():
    os.makedirs(DATA, exist_ok=True)
    lines = make_text(SIZE).split(b"\r\n")
    marks = (b"> ", b"> > ", b"AB> ", b"")
    quoted = b"\r\n".join(marks[i % len(marks)] + line for i, line in enumerate(lines))
    for name, data in (("text", make_text(SIZE)), ("quoted", quoted[:SIZE])):
        with open(os.path.join(DATA, f"{name}.txt"), "wb") as f:
            f.write(data)


def main():
    write_inputs()
    bench = subprocess.run([os.path.join(ROOT, "scripts", "wine-run.sh"),
                            os.path.join(ROOT, "build", "bin", "macro_bench.exe"), DATA, str(ROUNDS), "mailtext"],
                           capture_output=True, text=True, check=True)
    rows = [json.loads(line) for line in bench.stdout.splitlines()]
    path = lambda name: os.path.join(DATA, f"{name}.txt")
    peers = {
        "quote_add": ("sed 's/^/> /'", best_of(lambda: run_command("sed", "s/^/> /", path("text")))),
        "quote_del": ("sed -E 's/^([^>]{0,5}>)+ ?//'",
                      best_of(lambda: run_command("sed", "-E", "s/^([^>]{0,5}>)+ ?//", path("quoted")))),
    }
    print(f"{'case':<10} {'KVL MB/s':>9} {'peer':<34} {'peer MB/s':>9} {'ratio':>6}  {'10x input':>9} {'own':>6}")
    for row in rows:
        if "calls" in row:
            print(f"KVL_SubjClean through ZRP_ExecMacro: {row['calls'] / row['seconds']:,.0f} calls/s")
            continue
        name, seconds = peers[row["case"]]
        mbps, peer_mbps = row["bytes"] / row["seconds"] / 1e6, row["bytes"] / seconds / 1e6
        measured, own = scaling(row)
        print(f"{row['case']:<10} {mbps:9.0f} {name:<34} {peer_mbps:9.0f} {mbps / peer_mbps:6.2f}  {measured:8.1f}x "
              f"{own:5.1f}x {'ok' if own <= 11 else 'BELOW'}")


if __name__ == "__main__":
    main()
