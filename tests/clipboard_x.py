#!/usr/bin/env python3
"""KVL_SetClipB seen from the X side: while a kvlhost batch session holds the clipboard,
`xclip -o` reads what the macro put there, as UTF-8 and as Latin-1 text (Wine hands
X the lines with LF ends). Runs under the suite's Xvfb display. Exits 1 on a difference.
"""
import subprocess
import sys

from kvlhost import Session, arguments, finish

TEXTS = ["Grüße aus Korvel\r\nZeile 2", "x", "é" * 70000]


def main():
    host = arguments().kvlhost
    failures = []
    with Session(host, locale="en_US.UTF-8") as session:
        for text in TEXTS:
            reply = session.call("KVL_SetClipB", text)
            if reply.get("result") != "":
                failures.append(f"KVL_SetClipB answered {reply!r}")
            expected = text.replace("\r\n", "\n")
            for target, encoding in (("UTF8_STRING", "utf-8"), ("STRING", "latin-1")):
                got = subprocess.run(["xclip", "-o", "-selection", "clipboard", "-t", target],
                                     capture_output=True, timeout=30)
                if got.returncode != 0 or got.stdout.decode(encoding) != expected:
                    failures.append(f"{target} of {text[:20]!r}: {got.stdout[:40]!r} {got.stderr[:80]!r}")
    return finish(failures, f"{len(TEXTS) * 2 - len(failures)} passed, {len(failures)} failed")


if __name__ == "__main__":
    sys.exit(main())
