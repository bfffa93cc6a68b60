#!/usr/bin/env python3
"""kvlhost check on the broken templates of tests/data/lint and on every examples/*.tpl.

Each tests/data/lint/NAME.tpl comes with NAME.expected, the exact lines kvlhost
prints for it (file names as given on the command line, run from that folder);
the exit status must be 1 when one of them is an error and 0 otherwise. Also: a
missing file is one error line and the files after it are still checked; `check`
without a file is a usage error (2); every template of examples/ is clean (no
line at all, status 0). Prints each failure and a closing count; exits 1 on any.
"""
import glob
import os
import subprocess
import sys

from kvlhost import HOST, ROOT, RUN

LINT = os.path.join(ROOT, "tests", "data", "lint")
EXAMPLES = os.path.join(ROOT, "examples")


def check(host, folder, *files):
    done = subprocess.run([RUN, host, "check", *files], cwd=folder, capture_output=True, timeout=120)
    return done.returncode, done.stdout.decode("utf-8"), done.stderr.decode("utf-8", "replace")


def main():
    host = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else HOST)
    failures, cases = [], 0

    def expect(what, actual, wanted):
        nonlocal cases
        cases += 1
        if actual != wanted:
            failures.append(f"{what}:\n  got      {actual!r}\n  expected {wanted!r}")

    templates = sorted(glob.glob(os.path.join(LINT, "*.tpl")))
    if len(templates) < 9:
        failures.append(f"only {len(templates)} templates in {LINT}")
    for path in templates:
        name = os.path.basename(path)
        with open(path[:-len(".tpl")] + ".expected", encoding="utf-8") as golden:
            wanted = golden.read()
        status, out, _ = check(host, LINT, name)
        expect(name, out, wanted)
        expect(name + " exit status", status, 1 if ": error: " in wanted else 0)

    with open(os.path.join(LINT, "unset-variable.expected"), encoding="utf-8") as golden:
        after_missing = golden.read()
    status, out, _ = check(host, LINT, "no-such-file.tpl", "unset-variable.tpl")
    expect("missing file", (status, out), (1, "no-such-file.tpl: error: cannot read the file\n" + after_missing))

    status, out, err = check(host, LINT)
    expect("no file", (status, out, "kvlhost --help shows the usage" in err), (2, "", True))

    examples = sorted(os.path.basename(p) for p in glob.glob(os.path.join(EXAMPLES, "*.tpl")))
    status, out, err = check(host, EXAMPLES, *examples)
    expect("examples " + " ".join(examples), (status, out), (0, ""))
    plural = "" if len(examples) == 1 else "s"
    expect("examples summary", err.strip(), f"kvlhost: checked {len(examples)} template{plural}: 0 errors, 0 warnings")

    for failure in failures:
        print(failure)
    print(f"{cases - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
