#!/usr/bin/env python3
"""The template gallery of examples/: each examples/NAME.tpl expanded by kvlhost against
the message it answers, examples/NAME.eml, must give its expected output
(examples/NAME.out), byte for byte; a template without both fails. Templates that ask
through dialogs (examples/form-letter.tpl) are answered by dialog_tests
(tests/dialogs/GalleryDialogsTest.cpp). Runs under en_US (code page 1252); the
templates name German dates with the locale prefix GE$ themselves.
With --update, writes the .out files from what kvlhost gives (review them!).
"""
import glob
import os
import re
import sys
from pathlib import Path

from kvlhost import ROOT, arguments, finish, run

EXAMPLES = os.path.join(ROOT, "examples")

# Templates that ask through dialogs: dialog_tests answers them.
DIALOG_MACROS = re.compile(r"%KVL_(MsgBox|DlgInput|DlgOpen|DlgFolder|TextDlg|MultiDlg|FrmDlg)\b", re.I)


def gallery():
    """(template, message) of every examples/NAME.tpl with its NAME.eml, and the problems:
    a template without its message or its expected output."""
    pairs, problems = [], []
    for path in sorted(glob.glob(os.path.join(EXAMPLES, "*.tpl"))):
        name = os.path.basename(path)[:-4]
        missing = [f"{name}{ext}" for ext in (".eml", ".out") if not os.path.isfile(os.path.join(EXAMPLES, name + ext))]
        if missing:
            problems.append(f"{name}.tpl has no {' and no '.join(missing)} beside it")
            continue
        if not DIALOG_MACROS.search(Path(path).read_text(encoding="utf-8")):
            pairs.append((name, name + ".eml"))
    return pairs, problems


def main():
    options = arguments(update=False)
    pairs, failures = gallery()
    for template, message in pairs:
        done = run(options.kvlhost, "expand", os.path.join(EXAMPLES, template + ".tpl"), "--message",
                   os.path.join(EXAMPLES, message), locale="en_US.UTF-8")
        expected_path = Path(EXAMPLES, template + ".out")
        if options.update:
            expected_path.write_bytes(done.stdout)
            continue
        expected = expected_path.read_bytes()
        warnings = [line for line in done.stderr.decode("utf-8", "replace").splitlines() if "warning" in line]
        if done.returncode != 0 or done.stdout != expected or warnings:
            failures.append(f"{template}.tpl with {message}: exit {done.returncode}, {len(done.stdout)} bytes against "
                            f"{len(expected)}{'; ' + warnings[0] if warnings else ''}")
    return finish(failures, f"{len(pairs) - len(failures)} of {len(pairs)} gallery templates give their expected "
                            "output")


if __name__ == "__main__":
    sys.exit(main())
