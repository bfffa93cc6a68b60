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
import sys
from pathlib import Path

from kvlhost import ROOT, arguments, finish, run

LINT = os.path.join(ROOT, "tests", "data", "lint")
EXAMPLES = os.path.join(ROOT, "examples")


def main():
    host = os.path.abspath(arguments().kvlhost)
    failures, cases = [], 0

    def check(folder, *files):
        done = run(host, "check", *files, cwd=folder)
        return done.returncode, done.stdout.decode("utf-8"), done.stderr.decode("utf-8", "replace")

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
        wanted = Path(path[:-len(".tpl")] + ".expected").read_text(encoding="utf-8")
        status, out, _ = check(LINT, name)
        expect(name, (status, out), (1 if ": error: " in wanted else 0, wanted))

    after_missing = Path(LINT, "unset-variable.expected").read_text(encoding="utf-8")
    status, out, _ = check(LINT, "no-such-file.tpl", "unset-variable.tpl")
    expect("missing file", (status, out), (1, "no-such-file.tpl: error: cannot read the file\n" + after_missing))

    status, out, err = check(LINT)
    expect("no file", (status, out, "kvlhost --help shows the usage" in err), (2, "", True))

    examples = sorted(os.path.basename(p) for p in glob.glob(os.path.join(EXAMPLES, "*.tpl")))
    status, out, err = check(EXAMPLES, *examples)
    plural = "" if len(examples) == 1 else "s"
    expect("examples " + " ".join(examples), (status, out, err.strip()),
           (0, "", f"kvlhost: checked {len(examples)} template{plural}: 0 errors, 0 warnings"))
    return finish(failures, f"{cases - len(failures)} passed, {len(failures)} failed")


if __name__ == "__main__":
    sys.exit(main())
