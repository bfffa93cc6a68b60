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
import subprocess
import sys

from kvlhost import HOST, ROOT, RUN

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
        with open(path, encoding="utf-8") as file:
            if not DIALOG_MACROS.search(file.read()):
                pairs.append((name, name + ".eml"))
    return pairs, problems


def expand(host, template, message):
    done = subprocess.run([RUN, host, "expand", os.path.join(EXAMPLES, template + ".tpl"),
                           "--message", os.path.join(EXAMPLES, message)],
                          capture_output=True, timeout=120, env=dict(os.environ, KVL_LOCALE="en_US.UTF-8"))
    return done.returncode, done.stdout, done.stderr


def main():
    args = sys.argv[1:]
    update = "--update" in args
    args = [a for a in args if a != "--update"]
    host = args[0] if args else HOST
    pairs, failures = gallery()
    for template, message in pairs:
        rc, out, err = expand(host, template, message)
        expected_path = os.path.join(EXAMPLES, template + ".out")
        if update:
            with open(expected_path, "wb") as f:
                f.write(out)
            continue
        with open(expected_path, "rb") as f:
            expected = f.read()
        warnings = [line for line in err.decode("utf-8", "replace").splitlines() if "warning" in line]
        if rc != 0 or out != expected or warnings:
            failures.append(f"{template}.tpl with {message}: exit {rc}, {len(out)} bytes against {len(expected)}"
                            f"{'; ' + warnings[0] if warnings else ''}")
    for failure in failures:
        print("FAIL", failure)
    print(f"{len(pairs) - len(failures)} of {len(pairs)} gallery templates give their expected output")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
