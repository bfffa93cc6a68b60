#!/usr/bin/env python3
"""Storm: random hostile requests through one kvlhost batch session.

Generates random macro calls (every macro that `kvlhost list` names, with too
few, fitting and too many arguments drawn from hostile values) and random
templates (text, %%, host variables and macros, nested plug-in calls, nested
KVL_For / KVL_Until loops), a few malformed lines and a few unknown macro
names, and sends them one at a time through ONE `kvlhost batch` session
started with scripts/wine-run.sh and a pinned locale.

The run fails when
  - kvlhost ends or crashes before it has answered every request, or does not
    end cleanly (exit status 0) when its input ends;
  - a reply is not one line of valid JSON, or lacks what docs/host.md promises
    (rc 0 and a text result for a listed macro and for every template, rc -1
    and a null result for an unknown macro, "processed" and "attachments"
    lists, {"error": ...} for a malformed line and only for one);
  - a request takes longer than the per-request limit (--timeout, default 15 s);
  - the resident size of the kvlhost process (VmRSS of the Linux process behind
    Wine) grew by more than --rss-growth MB (default 150) between the end of the
    warm-up (--warmup requests, default 1000) and the end of the run.

Requests depend only on --seed, --calls, --templates, --malformed, --long-kb,
--huge-mb and the macro list, so a failure replays: the failing request is
written to a file (feed it to `kvlhost batch`), and --replay N sends request N
of the same run alone.
"""

import argparse
import json
import os
import queue
import random
import shutil
import subprocess
import sys
import time
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(REPO / "scripts"))
from kvlbatch import Session, check_reply  # noqa: E402  (the session and reply checks hostile.py shares)

# --- hostile values --------------------------------------------------------

INTEGERS = [
    "0", "-1", "1", "2", "3", "10", "2147483647", "-2147483648", "2147483648",
    "-2147483649", "4294967296", "99999999999999999999", "100000", "100001",
    "$10", "x7F", "X7f", "0x7f", "$FFFFFFFF", "x80000000", "$", "x", "0x",
    " 5", "5 ", "+7", "1e3", "007", "-0", "--1",
]
BLANKS = ["", " ", "  ", "\t", " \t ", "\xa0", "\xff", "   \r\n  "]
LINE_BREAKS = ["\r\n", "\r", "\n", "\n\r", "\r\r\n", "\r\n\r\n", "\n\n\n"]
MODES = [
    "Q", "B", "q", "b", "L", "R", "M", "N", "C", "J", "D", "LD", "H", "E", "U",
    "HEU", "+", "&", "<", ">", "+&<>", "A", "AI", "BI", "I", "S", "8", "1", "a",
    "!", " 8S1Aa!", "x", "l", "r", "c", "j",
]
FRAGMENTS = [
    '"', '""', '"a, b"', ",", "(", ")", "((", "))", "%", "%%", "%%%", "%_v",
    '%_v="1"', "%_", '%_="x"', "%KVL_", "%KVL_StrLen(", '%KVL_For(i,1,3,"',
    "%KVL_Until(", "%KVL_Test", "%%KVL_Test", "%SUBJECT", "%TEXT", "%HEADERS",
    '%ATTACHFILE="C:\\x.txt"', '%SETPATTREGEXP="(', '%REGEXPMATCH="', "%SUBPATT=",
    "%NOSUCH", "%_v=%SUBJECT", "\\", "\\w", "\\c065", "\\c999", "\\x4", "\\xZZ",
    "&amp;", "&#65;", "&#x41;", "&#0;", "&#99999999999;", "&uuml;", "&", "=0D=0A",
    "=", "=\r\n", "=\n", "=?", "_", "+", "%41", "%4", "% ", "====", "YWJj",
]
REGEXES = [
    "(", ")", "[", "]", "*", "+?", "?", "{", "a{1,", "a{99999}", "\\", "(?",
    "(?<name>x)", "(?P<n>a)(?P=n)", "\\1", "(((", "[[:alpha:]", "[[:nope:]]",
    "(a|b)*", "(a*)*b", "(a+)+$", "^$", "^", "$", "\\d+", ".*", ".", "(?i)abc",
    "\\Q(\\E", "\\x{100}", "\\p{L}", "(*CR)a", "(?R)", "(?1)(a)", "\\b", "\\G",
    "(?=a)", "(?<=a+)b", "x*", "", "(?m)^>", "[^\\r\\n]+", "(\\w+)=(\\w+)",
    "\\", "a|", "|", "(?#comment", "\\c", "\\k<none>", "(?(1)a|b)",
]
REPLACEMENTS = [
    "$1", "$0", "$10", "${name}", "${n}", "${", "${}", "$$", "$&", "$`", "$''",
    "$'", "$+", "$_", "$", "$99999999999", "\\1", "$1$2$3", "[$&]",
]
HIGH_ANSI = bytes(range(0x80, 0x100)).decode("cp1252", errors="ignore")
FOREIGN = "ЖЩ日本😀\u2028\ufeff"  # outside code page 1252: converted at the edges
CONTROLS = "".join(chr(c) for c in range(1, 32)) + "\x7f"
PLAIN = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789     .-_'"
PUNCTUATION = "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~"
ALPHABETS = [PLAIN, PLAIN + PUNCTUATION, PLAIN + HIGH_ANSI, PLAIN + CONTROLS,
             PUNCTUATION + "\r\n", HIGH_ANSI + PLAIN[:10], PLAIN + FOREIGN]

HOST_MACROS = ["%SUBJECT", "%TEXT", "%HEADERS", "%FROMNAME", "%FROMADDR", "%TONAME",
               "%TOADDR", "%MSGID", "%DATE", "%ABToGender", "%ABToCountry",
               "%ABToBusCountry", "%NOSUCH", "%KVL_NoSuchMacro"]
HOST_ARG_MACROS = ["ATTACHFILE", "SETPATTREGEXP", "REGEXPMATCH", "REGEXPBLINDMATCH", "SUBPATT"]
ITEM_IDS = ["218", "219", "222", "223", "235", "241", "243", "254", "265", "266", "0", "999"]
VAR_NAMES = ["i", "j", "v", "n", "x", "name", "Name", "a_1", "", "done"]
LOOP_MACROS = ("KVL_FOR", "KVL_UNTIL")
# Macros that change files, the registry or the network outside the session: random
# arguments would litter the Wine prefix (relative INI names land in C:\windows) or
# reach other hosts. Their own tests give them hostile input in folders they own.
OUTSIDE_EFFECTS = {"KVL_FILEADDLN", "KVL_FILECOPY", "KVL_FILEMOVE", "KVL_FILEDEL", "KVL_DIRCREATE",
                   "KVL_ATTRSET", "KVL_TEMPFILE", "KVL_INISET", "KVL_REGSET", "KVL_STRATTACH",
                   "KVL_URLATTACH", "KVL_URLDLDFILE",
                   # start programs and console commands (random text is a command line)
                   "KVL_RUN", "KVL_RUNCMD",
                   # modal windows wait for a user
                   "KVL_MSGBOX", "KVL_DLGINPUT", "KVL_DLGOPEN", "KVL_DLGFOLDER",
                   "KVL_TEXTDLG", "KVL_MULTIDLG", "KVL_FRMDLG",
                   # sounds the speaker and, on Windows, blocks for its duration (up to 10 s a call)
                   "KVL_BEEP",
                   # keys go to whatever window has the focus, and bad keys open
                   # message boxes that wait for a click
                   "KVL_SENDKEYS",
                   # replaces the user's clipboard
                   "KVL_SETCLIPB",
                   # switches the keyboard layout
                   "KVL_KBDLAYOUT"}

# (first, last) of random KVL_For loops in templates: small, empty, reversed,
# the largest allowed and the first refused range, and the whole integer range.
FOR_RANGES = [(1, 3), (1, 1), (0, 2), (3, 1), (-2, 2), (1, 20), (1, 200),
              (1, 100000), (0, 100000), (-2147483648, 2147483647), (2147483645, 2147483647)]


# Hostile requests aimed at one weakness each (--hostile of them):
# message text that reaches a host text, with [%_a] after the call: the payload's
# %_a=" must never set the variable, nor its %KVL_Test() run.
INJECTIONS = ['x"%KVL_Test()%_a="', '"%_a="1', "%KVL_Test()", 'x"\r\n%_a="1"\r\n', 'a\x00"%_a="1',
              '\x02"%_a="\x02', '%%_a="1"', '"' * 5 + "%_a=" + '"' * 3, 'y") %_a="1" %KVL_Test(']
INJECTION_CALLS = ['%KVL_ReX({t}, {p}, 0)', '%KVL_ReX({p}, {p})', '%KVL_Grep({t}, {p})', '%KVL_Grep({p}, {p}, N)',
                   '%KVL_Grep({p}, "a", BI)', '%KVL_For({p}, 1, 2, "x")', '%KVL_Until({p}, 1, "x")',
                   '%KVL_Gender({p})', '%KVL_Gender', '%KVL_GetLang', '%KVL_NoSubj({p})', '%KVL_SubjClean']
# Arguments that are paths: (macro, argument numbers, other arguments). Macros that only
# read take any path; the others take paths inside the run's own folder only.
READING_PATHS = [("KVL_AttrGet", [1], []), ("KVL_DirExist", [1], []), ("KVL_FileExist", [1], []),
                 ("KVL_FileInfo", [1], ["FileVersion"]), ("KVL_FileInUse", [1], []), ("KVL_FileLines", [1], ["1", "0"]),
                 ("KVL_FileLnCnt", [1], []), ("KVL_FileLong", [1], []), ("KVL_FileName", [1], ["T"]),
                 ("KVL_FileOwner", [1], []), ("KVL_FileShort", [1], []), ("KVL_FileSize", [1], []),
                 ("KVL_FileTime", [1], ["M"]), ("KVL_IniGet", [1], ["s", "k"]), ("KVL_CRC32", [2], []),
                 ("KVL_MD5", [2], []), ("KVL_SHA1", [2], [])]
WRITING_PATHS = [("KVL_AttrSet", [1], ["R"]), ("KVL_DirCreate", [1], []), ("KVL_FileAddLn", [1], ["line"]),
                 ("KVL_FileCopy", [1, 2], []), ("KVL_FileMove", [1, 2], []), ("KVL_FileDel", [1], []),
                 ("KVL_IniSet", [1], ["s", "k", "v"]), ("KVL_StrAttach", [2], ["content"])]
DEVICES = ["COM1", "COM9", "LPT1", "LPT3", "CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$",
           "\\\\.\\COM1", "\\\\.\\NUL", "COM1.txt", "nul.eml", "C:\\COM1", "COM\u00b9", "LPT\u00b2"]
# Patterns that backtrack or rescan without end on long runs of one or two letters.
PATHOLOGICAL = [("ab", "b[ab]*c[ab]"), ("a", "(a+)\\1b"), ("a", ".*.*=.*c"), ("a", "a*a*c"), ("a", "(a|a)*$"),
                ("a", "(a*)*b"), ("a", "(?:a+)+$"), ("ab", "(ab|a)*c"), ("a", "(?=(a*))\\1b"), ("a", "a{1,64}b"),
                ("a" * 50 + "b\n", "(a|a)*$"), ("ab", "(?:b[ab]*)+c")]
REGEX_MACROS = [("KVL_REIsMatch", ["{s}", "{p}"]), ("KVL_RERepl", ["{s}", "{p}", "x"]),
                ("KVL_StrRERepl", ["{s}", "{p}", "$0"]), ("KVL_ReX", ["{s}", "{p}", "0"]), ("KVL_Grep", ["{s}", "{p}"])]


def quoted(text):
    """An argument of a template call: quoted, "" for each quote."""
    return '"' + text.replace('"', '""') + '"'


class LongTexts:
    """A few 64 KiB pieces of different flavours, built once from a fixed seed;
    a long text is a slice of one of them repeated to the wanted size."""

    PIECE = 64 * 1024

    def __init__(self):
        rng = random.Random("storm-long-texts")
        self.pieces = [self._mail(rng), self._breaks(rng), self._hostile(rng),
                       self._binary(rng), "a" * 61 + "b\r\n", "(" * 40 + "a" + ")" * 40,
                       '"' * 50 + "," * 14, "%KVL_StrLen(x)%%_v" * 3]

    def _fill(self, make):
        parts, size = [], 0
        while size < self.PIECE:
            part = make()
            parts.append(part)
            size += len(part)
        return "".join(parts)[: self.PIECE]

    def _mail(self, rng):
        words = ["Hello", "regards", "Grüße", "the", "message", "Re:", "> quoted", "naïve",
                 "price:", "42", "€", "http://example.org/?a=1&b=2", "mail@example.com"]
        return self._fill(lambda: " ".join(rng.choices(words, k=rng.randint(1, 14)))
                          + rng.choice(["\r\n", "\r\n", "\r\n\r\n", " "]))

    def _breaks(self, rng):
        return self._fill(lambda: "".join(rng.choices(PLAIN, k=rng.randint(0, 90)))
                          + rng.choice(LINE_BREAKS))

    def _hostile(self, rng):
        pools = [FRAGMENTS, REGEXES, REPLACEMENTS, INTEGERS, MODES]
        return self._fill(lambda: rng.choice(rng.choice(pools)) + rng.choice(["", " ", ",", "\r\n"]))

    def _binary(self, rng):
        alphabet = CONTROLS + HIGH_ANSI + PLAIN
        return self._fill(lambda: "".join(rng.choices(alphabet, k=256)))

    def text(self, rng, size):
        piece = rng.choice(self.pieces)
        start = rng.randrange(len(piece))
        copies = (start + size) // len(piece) + 1
        return (piece * copies)[start:start + size]


class Generator:
    """Request `index` of a run depends only on the seed, the index and the
    options, so any request can be generated again on its own."""

    def __init__(self, macros, options, long_texts):
        self.macros = macros
        self.options = options
        self.long_texts = long_texts
        self.known_names = {m.upper() for m in macros}
        self.plain_macros = [m for m in macros if m.upper() not in LOOP_MACROS] or macros
        # Real-form and broken messages alike.
        self.messages = sorted(str(p) for folder in ("examples", "tests/data/messages", "tests/data/bad-messages")
                               for p in (REPO / folder).glob("*.eml"))
        self.kinds = self._schedule([("macro", options.calls), ("template", options.templates),
                                     ("malformed", options.malformed), ("hostile", options.hostile)])
        self.files = options.files
        self.rng = None
        self.loops_left = 0  # loop calls this request may still hold

    @staticmethod
    def _schedule(counts):
        """Spreads each kind evenly over the run, deterministically."""
        slots = []
        for order, (kind, count) in enumerate(counts):
            slots += [((j + 0.5) / count, order, kind) for j in range(count)]
        slots.sort()
        return [kind for _, _, kind in slots]

    def request(self, index):
        """(kind, request line without its line feed)."""
        self.rng = random.Random(f"{self.options.seed}:{index}")
        self.loops_left = self.rng.choices([0, 1, 2, 4, 8], weights=[60, 20, 12, 6, 2])[0]
        kind = self.kinds[index]
        if kind == "malformed":
            return kind, self.malformed()
        if kind == "hostile":
            kind, request = self.hostile()
            return kind, json.dumps(request, ensure_ascii=False).encode("utf-8")
        request = self.macro_call() if kind == "macro" else {"template": self.template(3)}
        self.add_context(request)
        if kind == "macro" and request["macro"].upper() not in self.known_names:
            kind = "unknown"
        return kind, json.dumps(request, ensure_ascii=False).encode("utf-8")

    # --- values

    def short_text(self, limit=40):
        rng = self.rng
        size = rng.randint(0, limit) if rng.random() < 0.97 else rng.randint(limit, 3000)
        return "".join(rng.choices(rng.choice(ALPHABETS), k=size))

    def long_text(self):
        return self.long_texts.text(self.rng, self.rng.randint(64 * 1024, self.options.long_kb * 1024))

    def huge_text(self):
        return self.long_texts.text(self.rng, self.rng.randint(1024 * 1024, int(self.options.huge_mb * 1024 * 1024)))

    def value(self, depth=2):
        rng = self.rng
        roll = rng.random() * 100
        if roll < 22:
            return rng.choice(INTEGERS)
        if roll < 28:
            return rng.choice(BLANKS)
        if roll < 43:
            return self.short_text()
        if roll < 53:
            return rng.choice(FRAGMENTS)
        if roll < 61:
            return rng.choice(REGEXES)
        if roll < 66:
            return rng.choice(REPLACEMENTS)
        if roll < 71:
            return "".join(rng.choice(PLAIN) + rng.choice(LINE_BREAKS) for _ in range(rng.randint(1, 8)))
        if roll < 75:
            return "".join(rng.choices(HIGH_ANSI + FOREIGN, k=rng.randint(1, 30)))
        if roll < 78:
            return "".join(rng.choices(CONTROLS, k=rng.randint(1, 10)))
        if roll < 86:
            return rng.choice(MODES)
        if roll < 93 and depth > 0:
            return "".join(self.value(depth - 1) for _ in range(rng.randint(2, 4)))
        if roll < 98.5 or depth < 2:
            return self.template(depth) if depth > 0 else self.short_text()
        # only whole arguments of macro requests are this large
        if roll < 99.2:
            return rng.choice("vx(%a\"") * rng.choice([1000, 20000, 100000])
        if roll < 99.97:
            return self.long_text()
        return self.huge_text()

    def argument_count(self):
        rng = self.rng
        roll = rng.random()
        if roll < 0.9:  # most macros take one to three arguments
            return rng.choices(range(6), weights=[5, 22, 28, 25, 12, 8])[0]
        if roll < 0.99:
            return rng.randint(6, 12)
        return rng.randint(13, 60)

    # --- requests

    def macro_call(self):
        rng = self.rng
        name = rng.choice(self.macros)
        roll = rng.random()
        if roll < 0.05:
            name = "".join(c.lower() if rng.random() < 0.5 else c.upper() for c in name)
        elif roll < 0.055:
            name = rng.choice(["", "KVL_", "KVL_NoSuch", name + "x", name[:-1], " " + name, "%" + name])
        if name.upper() in LOOP_MACROS and rng.random() < 0.9:
            # random arguments would mostly loop until the work budget is spent
            args = self.loop_arguments(2, in_template=False, kind=name.upper())[1]
            if rng.random() < 0.1:
                args = args[:-1] if rng.random() < 0.5 else args + [self.value(0)]
            return {"macro": name, "args": args}
        depth = 0 if name.upper() in LOOP_MACROS else 2
        args = []
        for _ in range(self.argument_count()):
            # now and then an earlier argument again: text as its own pattern, a long text twice
            again = 0.2 if args and len(args[-1]) > 65536 else 0.04
            args.append(rng.choice(args) if args and rng.random() < again else self.value(depth))
        request = {"macro": name, "args": args}
        if rng.random() < 0.05:
            del request["args"]
        return request

    def add_context(self, request):
        rng = self.rng
        if rng.random() < 0.1:
            request["items"] = {rng.choice(ITEM_IDS): self.value(1) for _ in range(rng.randint(1, 4))}
        if rng.random() < 0.1:
            request["vars"] = {rng.choice(VAR_NAMES) or "v": self.value(1) for _ in range(rng.randint(1, 4))}
        if self.messages and rng.random() < 0.01:
            request["message"] = rng.choice(self.messages)

    def malformed(self):
        rng = self.rng
        return rng.choice([
            b"{", b"[1, 2]", b'"text"', b"{}", b"null", b'{"macro": 5}',
            b'{"macro": "KVL_Test", "template": "x"}',
            b'{"macro": "KVL_StrLen", "args": [1]}',
            b'{"macro": "KVL_StrLen", "args": ["a"], "items": {"abc": "x"}}',
            b'{"template": "x", "vars": {"a": 1}}',
            b'{"template": "x", "message": "/no/such/message.eml"}',
            b'{"macro": "\xff\xfe"}', b'{"template": "x"} trailing',
        ])

    # --- hostile requests

    def hostile(self):
        """(kind, request): one weakness at a time."""
        return self.rng.choice([self.injection, self.long_path, self.device, self.pathological])()

    def injection(self):
        rng = self.rng
        payload = rng.choice(INJECTIONS)
        form = rng.choice(INJECTION_CALLS)
        # The payload arrives as message data (written into the template, it would be the
        # template's own code: arguments are expanded before the call).
        p = rng.choice(["%SUBJECT", "%FROMNAME"])
        text = rng.choice(["abc", "%SUBJECT", "%FROMNAME"])
        request = {"template": form.format(p=p, t=text) + "[%_a]", "items": {"223": payload, "218": payload}}
        return "injection", request

    def path_text(self, root, size):
        """A path of `size` characters under `root`: folders of letters, digits, blanks and dashes only, so
        that nothing ('..', '|', wildcards) leads out of the root."""
        rng = self.rng
        path = root
        while len(path) < size:
            path += "\\" + "".join(rng.choices("abcdefghij0123456789 -_", k=rng.randint(1, 120)))
        return path[:size].rstrip("\\ ") or root

    def path_call(self, value_of):
        rng = self.rng
        writing = rng.random() < 0.4
        macro, positions, others = rng.choice(WRITING_PATHS if writing else READING_PATHS)
        args = list(others)
        if macro in ("KVL_CRC32", "KVL_MD5", "KVL_SHA1"):
            args = [rng.choice(["F", "FA", "FN"])]
        for position in positions:
            value = value_of(writing)
            if macro == "KVL_StrAttach":  # a name in the plug-in's own folder, as long as the path
                value = value.replace("\\", "_").replace(":", "_")
            args.insert(position - 1, value)
        return "macro", {"macro": macro, "args": args}

    def long_path(self):
        rng = self.rng
        size = rng.choice([250, 258, 259, 260, 261, 300, 518, 522, 551, 600, 618, 700])
        roots = [self.files] if rng.random() < 0.5 else ["C:", "C:\\windows", "Z:\\tmp", "\\\\?\\C:"]
        return self.path_call(lambda writing: self.path_text(self.files if writing else rng.choice(roots), size))

    def device(self):
        rng = self.rng
        return self.path_call(lambda writing: (self.files + "\\" if writing else "") + rng.choice(DEVICES))

    def pathological(self):
        rng = self.rng
        unit, pattern = rng.choice(PATHOLOGICAL)
        size = rng.choice([1024, 16384, 65536, 262144])
        macro, args = rng.choice(REGEX_MACROS)
        subject = unit * (size // len(unit))
        return "macro", {"macro": macro, "args": [a.format(s=subject, p=pattern) if "{" in a else a for a in args]}

    # --- templates

    def template(self, depth):
        parts = [self.template_part(depth) for _ in range(self.rng.randint(1, 5))]
        if depth == 3 and self.rng.random() < 0.01:
            parts.insert(self.rng.randint(0, len(parts)), self.long_text())
        return "".join(parts)

    def template_part(self, depth):
        rng = self.rng
        roll = rng.random() * 100
        if roll < 22 or depth <= 0 and roll >= 58:
            return self.short_text(20).replace("%", "%%") if rng.random() < 0.9 else self.value(0)
        if roll < 26:
            return "%%"
        if roll < 33:
            return f'%_{rng.choice(VAR_NAMES)}="{self.value(0).replace(chr(34), "")}"'
        if roll < 40:
            return "%_" + rng.choice(VAR_NAMES)
        if roll < 50:
            return self.host_macro()
        if roll < 58:
            return rng.choice(FRAGMENTS)
        if roll < 94 or self.loops_left <= 0:
            return self.call(depth)
        return self.loop(depth)

    def host_macro(self):
        rng = self.rng
        if rng.random() < 0.5:
            return rng.choice(HOST_MACROS)
        name = rng.choice(HOST_ARG_MACROS)
        if rng.random() < 0.2:
            return f"%{name}=" + rng.choice(HOST_MACROS)
        value = rng.choice(REGEXES) if name == "SETPATTREGEXP" else self.value(0)
        return f'%{name}="{value.replace(chr(34), "")}"'

    def call(self, depth):
        rng = self.rng
        name = rng.choice(self.macros if self.loops_left > 0 else self.plain_macros)
        if name.upper() in LOOP_MACROS and rng.random() < 0.98:
            return self.loop(depth)  # random arguments would mostly loop until the work budget is spent
        if rng.random() < 0.05:
            return "%" + name
        args = []
        for _ in range(self.argument_count()):
            roll = rng.random()
            if roll < 0.4:
                args.append(quoted(self.template(depth - 1)))
            elif roll < 0.7:
                args.append(quoted(self.value(0)))
            else:  # unquoted: trimmed, commas split it, parentheses should balance
                args.append(self.value(0))
        closing = ")" if rng.random() < 0.97 else ""
        return f"%{name}({', '.join(args)}{closing}"

    def loop(self, depth):
        """A loop call in template text."""
        name, args = self.loop_arguments(depth, in_template=True)
        shown = [a if n == 0 or (name == "KVL_For" and n < 3) else quoted(a) for n, a in enumerate(args)]
        return f"%{name}({', '.join(shown)})"

    def loop_arguments(self, depth, in_template, kind=None):
        """KVL_For or KVL_Until whose body may loop again. In template text the
        body's % signs are doubled so that it expands once per pass, not once
        before the call. A few loops can never stop or run a huge range: they
        spend the work budget, which takes a second or more, so they stay rare."""
        rng = self.rng
        self.loops_left -= 1
        percent = "%%" if in_template else "%"
        var = rng.choice(["i", "j", "v", "n"]) if rng.random() < 0.995 else "v" * rng.choice([300, 20000])
        body = self.template(depth - 1)
        if rng.random() < 0.5:
            body += f"[%_{var}]"
        if depth > 1 and self.loops_left > 0 and rng.random() < 0.5:
            body = self.loop(depth - 1) + body
        if in_template and rng.random() < 0.9:
            body = body.replace("%", "%%")
        if kind == "KVL_FOR" or kind is None and rng.random() < 0.6:
            roll = rng.random()
            ranges = FOR_RANGES[:5] if roll < 0.87 else FOR_RANGES[5:7] if roll < 0.97 else FOR_RANGES[7:]
            first, last = rng.choice(ranges)
            return "KVL_For", [var, str(first), str(last), body]
        # the stop value is set last in the body, after any loop over the same variable
        roll = rng.random()
        if roll < 0.6:
            stop = rng.choice(["yes", "3", "", "Stop", " "])
            body += f'{percent}_{var}="{stop}"'
        elif roll < 0.98:
            stop = "3"
            body += f'{percent}KVL_For({var}, 1, 3, "")'
        else:
            stop = "never"
        return "KVL_Until", [var, stop, body]


# --- running ---------------------------------------------------------------

def read_macro_list(kvlhost, locale):
    env = dict(os.environ, KVL_LOCALE=locale, WINEDEBUG="-all")
    done = subprocess.run([str(REPO / "scripts" / "wine-run.sh"), str(kvlhost), "list"],
                          capture_output=True, env=env, timeout=120)
    names = done.stdout.decode("utf-8", errors="replace").split()
    if done.returncode != 0 or not names:
        sys.exit(f"storm: `kvlhost list` failed (status {done.returncode}): {done.stderr.decode(errors='replace').strip()}")
    return names


def replay_command(options, index):
    return (f"scripts/storm.py --seed {options.seed} --calls {options.calls} --templates {options.templates} "
            f"--malformed {options.malformed} --hostile {options.hostile} --long-kb {options.long_kb} "
            f"--huge-mb {options.huge_mb} --replay {index}")


def check(kind, raw):
    """check_reply, and for an injection also that nothing of the payload ran."""
    outcome, problem = check_reply("template" if kind == "injection" else kind, raw)
    if problem or kind != "injection":
        return outcome, problem
    result = json.loads(raw)["result"]
    if not result.endswith("[]") or "*** TEST ***" in result:
        return None, f"message text ran as template text: ...{result[-200:]!r}"
    return "injection kept as data", None


def fail(options, session, index, kind, line, problem):
    path = Path(options.failure_file or f"storm-failure-seed{options.seed}-{index}.jsonl").resolve()
    path.write_bytes(line + b"\n")
    shown = line[:400].decode("utf-8", errors="replace")
    print(f"storm: FAIL: seed {options.seed}, request {index} ({kind}, {len(line)} bytes): {problem}", file=sys.stderr)
    print(f"storm: request: {shown}{' ...' if len(line) > 400 else ''}", file=sys.stderr)
    print(f"storm: request written to {path} (try: scripts/wine-run.sh {options.kvlhost} batch < {path})", file=sys.stderr)
    print(f"storm: replay: {replay_command(options, index)}", file=sys.stderr)
    if session.stderr_tail:
        tail = session.stderr_tail.decode("utf-8", errors="replace").strip()[-600:]
        print(f"storm: kvlhost stderr (last lines):\n{tail}", file=sys.stderr)
    session.kill()
    return 1


def run(options, generator, indices):
    session = Session(options.kvlhost, options.locale)
    outcomes = {}
    started = time.monotonic()
    slowest = (0.0, -1)
    baseline_kib = None
    timings = []
    warmup = min(options.warmup, max(1, len(indices) // 10))
    for position, index in enumerate(indices, 1):
        kind, line = generator.request(index)
        sent = time.monotonic()
        try:
            raw = session.exchange(line, options.timeout)
        except queue.Empty:
            return fail(options, session, index, kind, line, f"no reply within {options.timeout:g} s (hang)")
        seconds = time.monotonic() - sent
        slowest = max(slowest, (seconds, index))
        if options.slowest:
            timings.append((seconds, index, kind, len(line), line[:150]))
        if raw is None:
            why = f"kvlhost ended before replying ({session.describe_end()})"
            if session.write_error:
                why += f"; writing the request failed: {session.write_error}"
            return fail(options, session, index, kind, line, why)
        outcome, problem = check(kind, raw)
        if problem:
            return fail(options, session, index, kind, line, problem)
        outcomes[outcome] = outcomes.get(outcome, 0) + 1
        if position == warmup:
            baseline_kib = session.rss_kib()
        if options.progress and position % options.progress == 0:
            print(f"storm: {position}/{len(indices)} requests, {time.monotonic() - started:.1f} s, "
                  f"RSS {session.rss_kib() / 1024:.0f} MB", file=sys.stderr, flush=True)

    final_kib = session.rss_kib()
    peak_kib = session.peak_rss_kib()
    ending = session.finish()
    elapsed = time.monotonic() - started
    by_outcome = ", ".join(f"{name} {count}" for name, count in sorted(outcomes.items(), key=lambda kv: -kv[1]))
    growth_mb = (final_kib - baseline_kib) / 1024 if baseline_kib else 0.0
    print(f"storm: seed {options.seed}: {len(indices)} requests in {elapsed:.1f} s, "
          f"peak RSS {peak_kib / 1024:.0f} MB, RSS {baseline_kib / 1024 if baseline_kib else 0:.0f} MB after "
          f"{warmup} requests and {final_kib / 1024:.0f} MB at the end, slowest request {slowest[1]} "
          f"({slowest[0]:.2f} s); replies: {by_outcome}")
    if options.slowest:
        timings.sort(reverse=True)
        for seconds, index, kind, size, start in timings[:options.slowest]:
            print(f"storm: {seconds:6.2f} s  request {index} ({kind}, {size} bytes): "
                  f"{start.decode('utf-8', errors='replace')}", file=sys.stderr)
    if ending:
        print(f"storm: FAIL: {ending}", file=sys.stderr)
        return 1
    if not baseline_kib or not final_kib:
        print("storm: FAIL: could not read the resident size of the kvlhost process", file=sys.stderr)
        return 1
    if growth_mb > options.rss_growth:
        print(f"storm: FAIL: kvlhost's resident size grew by {growth_mb:.0f} MB after the warm-up "
              f"(bound {options.rss_growth:g} MB)", file=sys.stderr)
        return 1
    return 0


def replay(options, generator):
    kind, line = generator.request(options.replay)
    options.files_folder.mkdir(parents=True, exist_ok=True)
    print(f"storm: request {options.replay} ({kind}, {len(line)} bytes): {line[:2000].decode('utf-8', errors='replace')}")
    session = Session(options.kvlhost, options.locale)
    started = time.monotonic()
    try:
        raw = session.exchange(line, options.timeout)
    except queue.Empty:
        return fail(options, session, options.replay, kind, line, f"no reply within {options.timeout:g} s (hang)")
    if raw is None:
        return fail(options, session, options.replay, kind, line, f"kvlhost ended before replying ({session.describe_end()})")
    print(f"storm: reply after {time.monotonic() - started:.2f} s ({len(raw)} bytes, peak RSS "
          f"{session.peak_rss_kib() / 1024:.0f} MB): {raw[:2000].decode('utf-8', errors='replace').rstrip()}")
    outcome, problem = check(kind, raw)
    if problem:
        return fail(options, session, options.replay, kind, line, problem)
    ending = session.finish()
    print(f"storm: {outcome}" + (f"; FAIL: {ending}" if ending else ""))
    return 1 if ending else 0


def parse_options(argv):
    parser = argparse.ArgumentParser(
        description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter,
        epilog="Bounds: a request must be answered within --timeout seconds (default 15); kvlhost's "
               "resident size (VmRSS) may grow by at most --rss-growth MB (default 150) from the end "
               "of the warm-up to the end of the run. Long run: scripts/storm.py --seed 42 --calls "
               "500000 --templates 50000. See docs/building.md.")
    parser.add_argument("--seed", type=int, default=1, help="random seed (default 1)")
    parser.add_argument("--calls", type=int, default=20000, help="random macro calls (default 20000)")
    parser.add_argument("--templates", type=int, default=2000, help="random templates (default 2000)")
    parser.add_argument("--malformed", type=int, default=None,
                        help="malformed lines that must get an error reply (default: one per 500 requests)")
    parser.add_argument("--hostile", type=int, default=None,
                        help="requests aimed at one weakness each: injected host texts, long paths, device names, "
                             "patterns that backtrack (default: one per 20 requests)")
    parser.add_argument("--long-kb", type=int, default=400, help="largest long text in KiB (default 400)")
    parser.add_argument("--huge-mb", type=float, default=3, help="largest of the rare huge texts in MiB (default 3)")
    parser.add_argument("--timeout", type=float, default=15, help="seconds a request may take (default 15)")
    parser.add_argument("--rss-growth", type=float, default=150,
                        help="MB the resident size may grow after the warm-up (default 150)")
    parser.add_argument("--warmup", type=int, default=1000,
                        help="requests before the first resident-size reading (default 1000, at most a tenth of the run)")
    parser.add_argument("--progress", type=int, default=5000, help="progress on stderr every N requests (0: none)")
    parser.add_argument("--slowest", type=int, default=0, metavar="N",
                        help="list the N slowest requests at the end (for tuning)")
    parser.add_argument("--kvlhost", type=Path, default=REPO / "build" / "bin" / "kvlhost.exe", help="kvlhost.exe to run")
    parser.add_argument("--locale", default="en_US.UTF-8", help="pinned locale (default en_US.UTF-8: code page 1252)")
    parser.add_argument("--replay", type=int, metavar="N", help="send request N of this run alone and show the reply")
    parser.add_argument("--first", type=int, default=0, metavar="N", help="start the run at request N")
    parser.add_argument("--write-requests", type=Path, metavar="FILE", help="write the requests as JSON Lines and stop")
    parser.add_argument("--failure-file", type=Path, metavar="FILE",
                        help="where to write a failing request (default storm-failure-seedS-N.jsonl)")
    options = parser.parse_args(argv)
    if options.malformed is None:
        options.malformed = (options.calls + options.templates) // 500
    if options.hostile is None:
        options.hostile = (options.calls + options.templates) // 20
    # The only folder the file-changing requests may touch, as Windows sees it (Z: is /).
    options.files_folder = REPO / "build" / f"storm-files-{options.seed}"
    options.files = "Z:" + str(options.files_folder).replace("/", "\\")
    if min(options.calls, options.templates, options.malformed, options.hostile) < 0 or options.long_kb < 64 or options.huge_mb < 1:
        parser.error("counts must not be negative; --long-kb at least 64, --huge-mb at least 1")
    return options


def main(argv):
    options = parse_options(argv)
    macros = [m for m in read_macro_list(options.kvlhost, options.locale) if m.upper() not in OUTSIDE_EFFECTS]
    generator = Generator(macros, options, LongTexts())
    total = len(generator.kinds)
    if options.replay is not None:
        if not 0 <= options.replay < total:
            sys.exit(f"storm: --replay must be below {total}")
        return replay(options, generator)
    if options.write_requests:
        with open(options.write_requests, "wb") as out:
            for index in range(options.first, total):
                out.write(generator.request(index)[1] + b"\n")
        return 0
    print(f"storm: seed {options.seed}: {options.calls} calls of {len(macros)} macros, {options.templates} templates, "
          f"{options.malformed} malformed lines, {options.hostile} hostile requests", file=sys.stderr, flush=True)
    shutil.rmtree(options.files_folder, ignore_errors=True)
    options.files_folder.mkdir(parents=True)
    status = run(options, generator, range(options.first, total))
    shutil.rmtree(options.files_folder, ignore_errors=True)
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
