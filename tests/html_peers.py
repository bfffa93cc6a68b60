"""HTML-only mail through the real kvlhost: %TEXT of each message in tests/data/html equals
its .txt, and shows the text that Python's own HTML tokenizer (html.parser, over the part
that Python's email package decodes) finds visible, in the same order; every link whose text
is not its URL is followed by it. Then crafted documents: a nest of elements far deeper than
mail, a part longer than the parser takes, and a tower of quotes, each answered in bounded
time and size, with a warning where the text is cut."""

import email
import email.policy
import html.parser
import pathlib
import sys
import tempfile
import time

from kvlhost import run, windows_path

DATA = pathlib.Path(__file__).parent / "data" / "html"
UNSEEN = {"script", "style", "head", "title", "template"}
VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source", "track", "wbr"}
INVISIBLE = dict.fromkeys(map(ord, "\u200b\u200c\u200d\u2060\ufeff\u00ad"))


class VisibleText(html.parser.HTMLParser):
    """The words a reader sees and the links whose text is not their URL."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.words, self.links, self.hidden, self.open = [], [], 0, []

    def handle_starttag(self, tag, attrs):
        if tag in VOID:
            return
        attrs = dict(attrs)
        style = "".join((attrs.get("style") or "").split()).lower()
        unseen = self.hidden or tag in UNSEEN or "hidden" in attrs or "display:none" in style
        self.open.append((tag, unseen, attrs.get("href"), len(self.words)))
        self.hidden += unseen

    def handle_endtag(self, tag):
        while self.open:
            name, unseen, href, start = self.open.pop()
            self.hidden -= unseen
            if name == "a" and href and href.startswith(("http", "mailto:")):
                text = " ".join(self.words[start:])
                if text.rstrip("/") != href.removeprefix("mailto:").rstrip("/"):
                    self.links.append(href)
            if name == tag:
                break

    def handle_data(self, data):
        if not self.hidden:
            self.words += data.translate(INVISIBLE).split()


def expand(message):
    started = time.monotonic()
    done = run(sys.argv[1], "expand", "-", "--message", windows_path(message), stdin=b"%TEXT", timeout=60)
    if done.returncode != 0:
        raise SystemExit(f"{message.name}: exit {done.returncode}: {done.stderr.decode(errors='replace')}")
    return done.stdout.decode(), done.stderr.decode(), time.monotonic() - started


def check_message(path):
    text, warnings, _ = expand(path)
    expected = path.with_suffix(".txt").read_bytes().decode()
    assert text == expected, f"{path.name}: %TEXT differs from {path.with_suffix('.txt').name}:\n{text}"
    assert warnings == "", f"{path.name}: {warnings}"
    message = email.message_from_bytes(path.read_bytes(), policy=email.policy.default)
    part = next(p for p in message.walk() if p.get_content_type() == "text/html")
    peer = VisibleText()
    peer.feed(part.get_content())
    peer.close()
    shown = text
    for href in peer.links:
        assert f"<{href}>" in shown, f"{path.name}: link {href} not shown"
        shown = shown.replace(f"<{href}>", " ", 1)
    lines = [line.lstrip("> ").removeprefix("- ").lstrip(" ").removeprefix("- ") for line in shown.splitlines()]
    ours = " ".join(lines).split()
    # Where a word meets an element's edge ("Kalender</a>.") the peer's pieces part it: compare
    # the visible characters in their order, blanks aside.
    assert "".join(ours) == "".join(peer.words), f"{path.name}: words differ:\nours {ours}\npeer {peer.words}"
    print(f"{path.name}: {len(ours)} words and {len(peer.links)} links as the peer sees them")


def check_crafted():
    cases = [
        ("nest", "<div>" * 200000 + "<frameset>" + "<p>never", "nests its elements too deeply", 0),
        ("long", "<p>" + "word " * 900000 + "</p>", "longer than 4 MiB", 4 << 20),
        ("quotes", "<blockquote>" * 30 + "<br>x" * 200000, "", 200000 * 36),
    ]
    with tempfile.TemporaryDirectory() as scratch:
        for name, body, warning, most in cases:
            path = pathlib.Path(scratch, name + ".eml")
            path.write_text("From: a@example.org\r\nSubject: crafted\r\nContent-Type: text/html\r\n\r\n" + body)
            text, warnings, seconds = expand(path)
            assert (warning in warnings) if warning else warnings == "", f"{name}: warnings {warnings!r}"
            assert len(text) <= most, f"{name}: {len(text)} characters"
            assert seconds < 30, f"{name}: {seconds:.1f} s"
            print(f"{name}: {len(body)} bytes of HTML answered {len(text)} characters in {seconds:.1f} s")


for eml in sorted(DATA.glob("*.eml")):
    check_message(eml)
check_crafted()
print("html_peers: all passed")
