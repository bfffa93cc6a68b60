#!/usr/bin/env python3
"""KVL_XtrEMLs and KVL_XtrURLs beside re.findall, through one kvlhost batch session.

The peers: an RFC 5322-ish address pattern (a dot-atom local part of letters, digits
and "._+-", a host name of labels joined by single dots ending in a top-level domain
of two or more letters), and a link pattern following the extended autolink rules of
GitHub Flavored Markdown ("http://" or "https://", the link's characters, trailing
punctuation "?!.,:;*'" left out and a final ")" dropped while the link has more ")"
than "(").

Corpus: the mail text of bench/run_extract_bench.py (its first MiB: 16 MiB in and out
of JSON takes a while under Wine), and every examples/*.eml and tests/data/messages/*.eml
twice: its message text (item 241, the macros without arguments) and the whole file
(headers and encoded parts included) as argument 1. Every (text, macro) on which the
two differ is listed in DIFFERENCES with its reason; an unlisted difference fails, and
so does a listed one that agrees now.

Usage: extraction_peers.py [KVLHOST] [--list]   (--list prints every difference as a DIFFERENCES entry)
"""
import collections
import os
import re
import sys
from pathlib import Path

from kvlhost import ROOT, arguments, batch, finish, message_files, unexplained, windows_path

BENCH_TEXT_SIZE = 1024 * 1024

ADDRESS = re.compile(rb"(?<![A-Za-z0-9._+-])[A-Za-z0-9._+-]+@[A-Za-z0-9-]+(?:\.[A-Za-z0-9-]+)*\.[A-Za-z]{2,}"
                     rb"(?![A-Za-z0-9_+-]|\.[A-Za-z0-9_+-])")
# The link's characters, without trailing punctuation; parentheses are weighed after.
LINK = re.compile(rb"(?i)https?://(?:[a-z0-9.:_=/%&?#~+@!*,;'()-]*[a-z0-9_=/%&#~+@()-])?")
TRAILING = b"?!.,:;*'"


def balanced(link):
    """A link of LINK with the autolink rule for a final ")" applied."""
    if not link.endswith(b")"):
        return link
    least = link.index(b"://") + 3
    opening, closing = link.count(b"("), link.count(b")")
    end = len(link)
    while end > least:
        last = link[end - 1:end]
        if last == b")" and closing > opening:
            closing -= 1
        elif last not in TRAILING:
            break
        end -= 1
    return link[:end]


def peer_addresses(text):
    return ADDRESS.findall(text)


def peer_links(text):
    return [balanced(link) for link in LINK.findall(text)]


def only_in(pieces, others):
    return sorted(x.decode("latin-1") for x in (collections.Counter(pieces) - collections.Counter(others)).elements())


# (text, macro) -> (only ours, only the peer's, reason). Texts are "bench", "NAME.eml"
# (its message text) and "NAME.eml raw" (the whole file).
DIFFERENCES = {
}


def corpus():
    sys.path.insert(0, os.path.join(ROOT, "bench"))
    from run_extract_bench import make_mail_text  # the bench's own text
    texts = [("bench", make_mail_text(BENCH_TEXT_SIZE), None)]
    for path in message_files():
        name = os.path.basename(path)
        texts += [(name, None, path), (name + " raw", Path(path).read_bytes(), None)]
    return texts


def main():
    options = arguments(list=False)

    texts = corpus()
    requests = []
    for _, text, path in texts:
        # The message's own text as the macros read it without arguments, or the text as argument 1.
        source, args = ({"message": windows_path(path)}, []) if path else ({}, [text.decode("latin-1")])
        requests.append({"template": "%TEXT"} | source if path else {"macro": "KVL_StrLen", "args": args})
        requests += [{"macro": macro, "args": args} | source for macro in ("KVL_XtrEMLs", "KVL_XtrURLs")]
    replies = batch(options.kvlhost, requests, timeout=600)

    failures, compared, found = [], 0, {}  # (text, macro) -> (only ours, only the peer's)
    for index, (name, text, _) in enumerate(texts):
        first, addresses, links = replies[3 * index: 3 * index + 3]
        if text is None:
            text = first.encode("cp1252", errors="replace")
        elif first != str(len(text)):
            failures.append(f"{name}: kvlhost read {first} characters of {len(text)}")
            continue
        for macro, result, peer in (("KVL_XtrEMLs", addresses, peer_addresses(text)),
                                    ("KVL_XtrURLs", links, peer_links(text))):
            ours = [piece.encode("cp1252") for piece in result.split("\r\n")] if result else []
            compared += len(ours)
            if ours != peer:  # the same pieces in another order differ by nothing on either side
                found[name, macro] = (only_in(ours, peer), only_in(peer, ours))
    if options.list:
        for key, (only_ours, only_peer) in sorted(found.items()):
            print(f"    {key!r}: ({only_ours!r}, {only_peer!r}, \"\"),")
    failures += unexplained(found, {key: listed for key, listed in DIFFERENCES.items()
                                    if key not in found or found[key] == listed[:2]})
    return finish(failures, f"{len(texts)} texts, {compared} pieces of ours, {len(failures)} unexplained differences")


if __name__ == "__main__":
    sys.exit(main())
