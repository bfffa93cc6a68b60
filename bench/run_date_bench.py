#!/usr/bin/env python3
"""KVL_TimeParse calls per second beside Python's email.utils.parsedate_tz + time.strftime.

Both read "Sat, 5 Dec 2026 08:18:22 +0100 (CET)", turn it to UTC and render it as
"yyyy-mm-dd hh:nn:ss +hhmm" once per call: KVL_TimeParse through ZRP_ExecMacro
(macro_bench.exe's datetime suite, under Wine) and the Python pair in one loop, in
the same run. A benchmark, not a test.
"""
import email.utils
import json
import os
import subprocess
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
STAMP = "Sat, 5 Dec 2026 08:18:22 +0100 (CET)"


def python_calls_per_second(calls=200_000):
    start = time.perf_counter()
    for _ in range(calls):
        parsed = email.utils.parsedate_tz(STAMP)
        offset = parsed[9] or 0
        utc = time.gmtime(email.utils.mktime_tz(parsed))
        minutes = abs(offset) // 60
        text = time.strftime("%Y-%m-%d %H:%M:%S", utc) + f" {'-' if offset < 0 else '+'}{minutes // 60:02}{minutes % 60:02}"
    return calls / (time.perf_counter() - start), text


def main():
    bench = subprocess.run([os.path.join(ROOT, "scripts", "wine-run.sh"),
                            os.path.join(ROOT, "build", "bin", "macro_bench.exe"), os.path.join(ROOT, "build"), "1",
                            "datetime"], capture_output=True, text=True, check=True)
    row = json.loads(bench.stdout.splitlines()[-1])
    ours = row["calls"] / row["seconds"]
    theirs, text = python_calls_per_second()
    print(f"KVL_TimeParse through ZRP_ExecMacro: {ours:,.0f} calls/s  -> {row['result']}")
    print(f"Python parsedate_tz + strftime:      {theirs:,.0f} calls/s  -> {text}")
    print(f"ratio: {ours / theirs:.2f}x")


if __name__ == "__main__":
    main()
