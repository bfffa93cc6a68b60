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

Usage: extraction_peers.py [KVLHOST] [--list]
"""
import argparse
import collections
import glob
import os
import re
import sys

from kvlhost import HOST, ROOT, batch_replies, windows_path

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


# (text, macro) -> (only ours, only the peer's, reason). Texts are "bench", "NAME.eml"
# (its message text) and "NAME.eml raw" (the whole file).
DIFFERENCES = {
}


def corpus():
    sys.path.insert(0, os.path.join(ROOT, "bench"))
    from run_extract_bench import make_mail_text  # the bench's own text
    texts = [("bench", make_mail_text(BENCH_TEXT_SIZE), None)]
    for path in sorted(glob.glob(os.path.join(ROOT, "examples", "*.eml")) +
                       glob.glob(os.path.join(ROOT, "tests", "data", "messages", "*.eml"))):
        with open(path, "rb") as f:
            raw = f.read()
        texts += [(os.path.basename(path), None, path), (os.path.basename(path) + " raw", raw, None)]
    return texts


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("kvlhost", nargs="?", default=HOST)
    parser.add_argument("--list", action="store_true", help="print every difference as a DIFFERENCES entry")
    options = parser.parse_args()

    texts = corpus()
    requests = []
    for _, text, path in texts:
        if path:  # the message's own text, as the macros read it without arguments
            source = {"message": windows_path(path)}
            requests.append({"template": "%TEXT"} | source)
            requests += [{"macro": macro, "args": []} | source for macro in ("KVL_XtrEMLs", "KVL_XtrURLs")]
        else:
            argument = text.decode("latin-1")
            requests += [{"macro": "KVL_StrLen", "args": [argument]}]
            requests += [{"macro": macro, "args": [argument]} for macro in ("KVL_XtrEMLs", "KVL_XtrURLs")]
    replies = batch_replies(options.kvlhost, requests, timeout=600)

    failures, compared, seen = 0, 0, set()
    for index, (name, text, _) in enumerate(texts):
        first, addresses, links = replies[3 * index: 3 * index + 3]
        if text is None:
            text = first["result"].encode("cp1252", errors="replace")
        elif first["result"] != str(len(text)):
            print(f"{name}: kvlhost read {first['result']} characters of {len(text)}")
            failures += 1
            continue
        for macro, reply, peer in (("KVL_XtrEMLs", addresses, peer_addresses(text)),
                                   ("KVL_XtrURLs", links, peer_links(text))):
            ours = [piece.encode("cp1252") for piece in reply["result"].split("\r\n")] if reply["result"] else []
            compared += len(ours)
            only_ours = collections.Counter(ours) - collections.Counter(peer)
            only_peer = collections.Counter(peer) - collections.Counter(ours)
            key = (name, macro)
            listed = DIFFERENCES.get(key)
            seen.add(key)
            if ours == peer:
                if listed:
                    print(f"{name} {macro}: agrees now, but DIFFERENCES lists it")
                    failures += 1
                continue
            found = (sorted(x.decode("latin-1") for x in only_ours.elements()),
                     sorted(x.decode("latin-1") for x in only_peer.elements()))
            if options.list:
                print(f"    {key!r}: ({found[0]!r}, {found[1]!r}, \"\"),")
            if listed and (listed[0], listed[1]) == found:
                continue
            failures += 1
            order = " (the same pieces in another order)" if not only_ours and not only_peer else ""
            print(f"{name} {macro}: only ours {found[0]}, only the peer's {found[1]}{order}")
    for key in DIFFERENCES.keys() - seen:
        print(f"DIFFERENCES lists {key}, which the corpus no longer holds")
        failures += 1
    print(f"{len(texts)} texts, {compared} pieces of ours, {failures} unexplained differences")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
