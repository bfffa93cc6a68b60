#!/usr/bin/env python3
"""Every example of docs/macros.md whose result is literal text, run through kvlhost.

An example line reads: - Example: `TEMPLATE` → `RESULT` [CR LF `MORE`]... [(remark)]
Its template is expanded in one kvlhost batch session and the output must equal
the result pieces joined by CR LF. Skipped: examples that start with "with ..."
(they need files or items set up), results that are not literal text, remarks
that say "depends" or "for instance", and templates that read the message
(%TEXT, %SUBJECT, %FROMNAME, %FROMADDR, %HEADERS). Prints each failure and a
closing "N passed, N failed, N skipped" line; exits 1 on any failure.
"""
import os
import re
import sys

from kvlhost import ROOT, arguments, batch, finish, mismatches

DOCS = os.path.join(ROOT, "docs", "macros.md")
MESSAGE_MACROS = ("%TEXT", "%SUBJECT", "%FROMNAME", "%FROMADDR", "%HEADERS")
EXAMPLE = re.compile(r"^- Example: `(?P<template>[^`]+)` → (?P<result>.*)$")
PIECE = re.compile(r"\s*(`(?P<text>[^`]*)`|(?P<crlf>CR LF))")


def literal_result(text):
    """The result pieces joined by CR LF, or None when the result is not literal."""
    pieces, at = [], 0
    while True:
        match = PIECE.match(text, at)
        if not match:
            break
        pieces.append("\r\n" if match.group("crlf") else match.group("text"))
        at = match.end()
    rest = text[at:].strip()
    if not pieces or pieces[0] == "\r\n" or (rest and not rest.startswith("(")):
        return None
    if "depends" in rest or "for instance" in rest:
        return None
    return "".join(pieces)


def examples():
    with open(DOCS, encoding="utf-8") as docs:
        for number, line in enumerate(docs, 1):
            match = EXAMPLE.match(line.rstrip("\n"))
            if not line.startswith("- Example:"):
                continue
            if not match or any(name in match.group("template") for name in MESSAGE_MACROS):
                yield number, None, None
                continue
            yield number, match.group("template"), literal_result(match.group("result"))


def main():
    cases = [(f"docs/macros.md:{n}", t, r) for n, t, r in examples() if t is not None and r is not None]
    skipped = sum(1 for _ in examples()) - len(cases)
    failures = mismatches(cases, batch(arguments().kvlhost, [{"template": t} for _, t, _ in cases]))
    return finish(failures, f"{len(cases) - len(failures)} passed, {len(failures)} failed, {skipped} skipped")


if __name__ == "__main__":
    sys.exit(main())
