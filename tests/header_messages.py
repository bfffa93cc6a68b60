#!/usr/bin/env python3
"""The header macros on the .eml files of tests/data/messages and examples/, through kvlhost.

KVL_MsgID (modes 0 to 3) and KVL_HdrMailer are checked beside Python's email package:
the Message-ID without its angle brackets, In-Reply-To and References as written (folded
lines joined), and the first X-Mailer or User-Agent header (any case, a blank after the
colon) with its folded lines joined. The list macros (KVL_ListCount, KVL_ListAddr,
KVL_ListName, KVL_IDNList) read the To and Cc headers from %HEADERS, as a template
would, beside email.utils.getaddresses (an entry named "... <list>" is a group
without address, which Python reads otherwise). KVL_GetLang runs with a real KVL.ini beside a copy of
the plug-in, on messages with X-Accept-Language and Content-Language headers, and once
with an address book for the correspondent's country. Exits 1 on any difference.
"""
import email
import email.policy
import email.utils
import os
import re
import sys
import tempfile
from pathlib import Path

from kvlhost import ROOT, arguments, batch, finish, message_files, mismatches, plugin_copy, run, windows_path

MESSAGES = os.path.join(ROOT, "tests", "data", "messages")

LANGUAGE_TABLE = (
    "[CountryLanguage]\r\n"
    "ItemCount=3\r\n"
    "Item1=Deutsch#Deutschland|\u00d6sterreich|Schweiz#de|de-de|de-at|de-ch#\\b(Hallo|Guten Tag)\\b\r\n"
    "Item2=English#United Kingdom|USA|Canada#en|en-us|en-gb#\\bDear\\b\r\n"
    "Item3=Fran\u00e7ais#France|Belgique#fr|fr-fr|fr-be#\\bBonjour\\b\r\n"
)
# The reply language of each message with the table above, and why.
LANGUAGES = {
    "folded-agent.eml": "Fran\u00e7ais",       # Content-Language: fr-FR
    "desktop-client.eml": "Deutsch",         # Content-Language: de-ch
    "accept-language.eml": "English",        # X-Accept-Language: en-us, en
    "webmail.eml": "",                       # no language header, no pattern matches
    "list-reply.eml": "",
}


def unfolded(value):
    return re.sub(r"\r?\n(?=[ \t])", "", value or "").strip()


def expectations(path):
    """(macro, args, expected) for one message, from Python's email package."""
    with open(path, "rb") as source:
        message = email.message_from_binary_file(source, policy=email.policy.compat32)
    message_id = unfolded(message.get("Message-ID"))
    bare = message_id[1:-1] if len(message_id) >= 3 else ""
    mailer = next((unfolded(value) for name, value in message.items() if name.lower() in ("x-mailer", "user-agent")),
                  "(none)")
    return [
        ("KVL_MsgID", ["0"], "mid:" + bare if bare else ""),
        ("KVL_MsgID", ["1"], bare),
        ("KVL_MsgID", ["2"], unfolded(message.get("References"))),
        ("KVL_MsgID", ["3"], unfolded(message.get("In-Reply-To"))),
        ("KVL_HdrMailer", ["(none)"], mailer),
    ]


# Entries that Python reads otherwise: (name, address) as the plug-in gives them.
LIST_ENTRIES = {("Planning team", "list"): ("Planning team <list>", "")}


def header_template(header, body):
    """A template that takes the header's line from %HEADERS into %SUBPATT="1"."""
    return f'%SETPATTREGEXP="(?m)^{header}: ([^\\r\\n]*)"%REGEXPBLINDMATCH=%HEADERS{body}'


def list_expectations(path):
    """(template, expected) for the To and Cc headers of one message."""
    message = email.message_from_string(Path(path).read_bytes().decode("utf-8"), policy=email.policy.compat32)
    cases = []
    for header in ("To", "Cc"):
        value = unfolded(message.get(header))
        if not value:
            continue
        entries = [LIST_ENTRIES.get(pair, pair) for pair in email.utils.getaddresses([value])]
        arg = '%SUBPATT="1"'
        cases.append((header_template(header, f"%KVL_ListCount({arg})"), str(len(entries))))
        rebuilt = []
        for n, (name, address) in enumerate(entries, 1):
            cases.append((header_template(header, f"%KVL_ListName({arg}, {n})"), name or address))
            cases.append((header_template(header, f"%KVL_ListAddr({arg}, {n})"), address))
            local, _, domain = address.partition("@")
            ace = f"{local}@{domain.encode('idna').decode('ascii')}" if domain else address
            rebuilt.append(f"{name}, " if name.endswith("<list>") else f'"{name or address}" <{ace}>, ')
        cases.append((header_template(header, f"%KVL_IDNList({arg})"), "".join(rebuilt)[:-2]))
    return cases


def main():
    host = arguments().kvlhost
    with tempfile.TemporaryDirectory(prefix="kvl-headers-") as plugin_dir:
        plugin = plugin_copy(host, plugin_dir)
        Path(plugin_dir, "KVL.ini").write_text(LANGUAGE_TABLE, encoding="cp1252", newline="")
        paths = message_files()
        cases = [(path, *case) for path in paths for case in expectations(path)]
        cases += [(os.path.join(MESSAGES, name), "KVL_GetLang", [], language) for name, language in LANGUAGES.items()]
        cases += [(path, "template", [template], expected) for path in paths
                  for template, expected in list_expectations(path)]
        requests = [({"template": args[0]} if macro == "template" else {"macro": macro, "args": args})
                    | {"message": windows_path(path)} for path, macro, args, _ in cases]
        failures = mismatches(cases, batch(host, requests, "--plugin", plugin))

        # The correspondent's country from a real address book, on a message without language headers.
        book = os.path.join(plugin_dir, "book.csv")
        Path(book).write_text("address,country,buscountry\njonas@example.de,,\u00d6sterreich\n", encoding="utf-8")
        done = run(host, "call", "--raw", "KVL_GetLang", "--message",
                   windows_path(os.path.join(MESSAGES, "webmail.eml")), "--addressbook", windows_path(book), "--plugin", plugin, timeout=60)
        if done.stdout.decode("utf-8") != "Deutsch":
            failures.append(f"webmail.eml KVL_GetLang with the address book: {done.stdout!r} {done.stderr!r}")
    return finish(failures, f"{len(cases) + 1 - len(failures)} passed, {len(failures)} failed")


if __name__ == "__main__":
    sys.exit(main())
