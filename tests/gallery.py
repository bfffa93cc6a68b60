#!/usr/bin/env python3
"""The template gallery of examples/: each template expanded by kvlhost against the
message it is meant for must give its expected output (examples/NAME.out), byte for
byte. examples/form-letter.tpl asks through dialogs; dialog_tests answers them
(tests/dialogs/GalleryDialogsTest.cpp). Runs under en_US (code page 1252); the
templates name German dates with the locale prefix GE$ themselves.
With --update, writes the .out files from what kvlhost gives (review them!).
"""
import os
import subprocess
import sys

from kvlhost import HOST, ROOT, RUN

EXAMPLES = os.path.join(ROOT, "examples")

# template -> the message it answers
GALLERY = {
    "reply-quote": "welcome.eml",      # quotes the message, names its date in German
    "forward-clean": "forwarded.eml",  # forwards with the subject chain cleaned
    "list-reply": "list-reply.eml",    # answers a mailing list, quoting the start
    "checksums": "report.eml",         # attaches the text as a file with its checksums
    "meeting": "meeting.eml",          # proposes a date two weeks after the message
    "language": "delivery.eml",        # greets in the language the headers name
    "unsubscribe": "newsletter.eml",   # lists the links and addresses of a newsletter
    "reply-all": "agenda.eml",         # rebuilds the Cc list for a reply to all
    "ticket": "ticket.eml",            # answers a ticket with its number moved to the end
}


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
    failures = []
    for template, message in GALLERY.items():
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
    print(f"{len(GALLERY) - len(failures)} of {len(GALLERY)} gallery templates give their expected output")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
