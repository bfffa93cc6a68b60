#!/usr/bin/env python3
"""kvlhost's command line: help, version, the line end of call, expand from standard input,
and one-line errors with the documented exit codes.

The usage that --help prints must equal the first fenced block under "## Commands" in
docs/host.md, byte for byte. Usage: host_cli.py KVLHOST.exe PROJECT_VERSION. Exits 1 on
any difference.
"""
import re
import sys
import tempfile
from pathlib import Path

from kvlhost import ROOT, batch_replies, finish, run

DOCS = Path(ROOT, "docs", "host.md")


def documented_blocks(section):
    """The fenced blocks of a section of docs/host.md."""
    text = DOCS.read_text(encoding="utf-8").split(f"\n## {section}\n")[1]
    return re.findall(r"\n```\n(.*?)```\n", text, re.S)


def checks(host, version, folder):
    """The failures of kvlhost's command line; folder is a scratch folder."""
    failures = []

    def expect(args, rc, out, err=None, stdin=b"", locale=None):
        done = run(host, *args, stdin=stdin, locale=locale, timeout=60)
        # stderr is a text stream on Windows: its line ends are CR LF.
        got = done.returncode, done.stdout.decode("utf-8"), done.stderr.decode("utf-8").replace("\r\n", "\n")
        if got[0] != rc or got[1] != out or (err is not None and not re.fullmatch(err, got[2])):
            failures.append(f"kvlhost {' '.join(args)}: rc {got[0]}, stdout {got[1]!r}, stderr {got[2]!r}; "
                            f"expected rc {rc}, stdout {out!r}, stderr matching {err!r}")

    usage = documented_blocks("Commands")[0]
    for spelling in ("--help", "-h", "help"):
        expect([spelling], 0, usage, "")
    expect(["--version"], 0, f"kvlhost {version}\n", "")

    # call ends with a line end unless --raw; a result that ends with one gets another.
    expect(["call", "KVL_StrLen", "abc"], 0, "3\n", "")
    expect(["call", "--raw", "KVL_StrLen", "abc"], 0, "3", "")
    expect(["call", "KVL_StrC", "a\\n", "--raw"], 0, "a\n", "")
    expect(["call", "KVL_StrC", "a\\n"], 0, "a\n\n", "")
    # After "--" a "--raw" is an argument, not the option.
    expect(["call", "KVL_StrLen", "--", "--raw"], 0, "5\n", "")

    # expand - reads the template from standard input, to its end (past a first block of 64 KiB).
    expect(["expand", "-"], 0, "4 gr\u00fc\u00dfe", "", stdin="%KVL_StrLen(abcd) gr\u00fc\u00dfe".encode("utf-8"))
    long_text = "x" * 70000
    expect(["expand", "-"], 0, "70000", "", stdin=f"%KVL_StrLen({long_text})".encode())
    expect(["expand", "-"], 0, "", "", stdin=b"")

    # Usage errors: exit 2, one line; failures: exit 1, one line.
    hint = r" \(kvlhost --help shows the usage\)\n"
    expect(["--helpx"], 2, "", r"kvlhost: unknown command --helpx" + hint)
    expect(["--help", "expand"], 2, "", r"kvlhost: --help takes no arguments" + hint)
    expect(["--version", "x"], 2, "", r"kvlhost: --version takes no arguments" + hint)
    expect(["expand", "-", "--raw"], 2, "", r"kvlhost: --raw is an option of call" + hint)
    expect(["expand"], 2, "", r"kvlhost: expand takes one TEMPLATE file, or - for standard input" + hint)
    expect([], 2, "", r"kvlhost: no command given" + hint)
    expect(["call", "KVL_StrLen", "abc", "--plugin"], 2, "", r"kvlhost: --plugin needs a value" + hint)
    expect(["call", "KVL_NoSuchMacro"], 1, "", r"kvlhost: the plug-in does not know the macro KVL_NoSuchMacro\n")
    expect(["expand", "Z:\\no\\such\\file.tpl"], 1, "", r"kvlhost: cannot read template [^\n]*file\.tpl\n")
    # Devices and folders are no files: refused, never read (a serial port would block).
    not_a_file = r": it is not a file \(a device, a pipe or a folder\)\n"
    expect(["expand", "-", "--message", "\\\\.\\NUL"], 1, "", r"kvlhost: cannot read message \\\\\.\\NUL" + not_a_file)
    expect(["check", "\\\\.\\COM1"], 1, "\\\\.\\COM1: error: cannot read the file\n")

    def expect_message(name, raw, template, out, err, locale=None):
        """expand - of `template` on a message file `name` that holds `raw`."""
        (folder / name).write_bytes(raw)
        expect(["expand", "-", "--message", str(folder / name)], 0, out, err, stdin=template, locale=locale)

    # A file named like a device is that file: the message of nul.eml has its text.
    nul_warning = r"has NUL bytes in its first 1 KB, which no mail holds; it is read as a message all the same\n"
    expect_message("nul.eml", b"Subject: s\x00ub\r\n\r\nbefore\x00after\r\n", b"[%SUBJECT][%TEXT]",
                   "[s\x00ub][before\x00after\r\n]", r"kvlhost: warning: \S*nul.eml " + nul_warning)
    # A file with no header field, and one holding NUL bytes at once: one warning each, and
    # the expansion goes on.
    expect_message("note.txt", b"just a note\r\n\r\nSubject: no\r\n", b"[%SUBJECT][%TEXT]",
                   "[][just a note\r\n\r\nSubject: no\r\n]",
                   r"kvlhost: warning: \S*note.txt has no header fields; it is read as a message body\n")
    # The NUL test reads the first 1 KB: a NUL at byte 1023 counts, one at byte 1024 not.
    for at, warned in ((1023, True), (1024, False)):
        expect_message("late.eml", b"Subject: s\r\n\r\n" + b"x" * (at - 14) + b"\x00", b"[%SUBJECT]", "[s]",
                       r"kvlhost: warning: \S*late.eml " + nul_warning if warned else "")
    expect_message("binary.bin", b"MZ\x90\x00" + bytes(range(256)) * 3, b"[%SUBJECT]", "[]",
                   r"kvlhost: warning: \S*binary.bin " + nul_warning)

    # Characters the ANSI code page cannot hold: one warning per source, at the first place,
    # in the code page in force; the text goes on with what the code page made of them.
    template = str(folder / "t.tpl")
    Path(template).write_bytes("ab\n\u00e4 \U0001F389 %KVL_StrLen(\u00e4\U0001F389)".encode("utf-8"))
    lost = r'"\U0001F389" has no form in code page 1252 and becomes "\?\?"; 2 such places in all\n'
    expect(["expand", template, "--var", "v=\u0141\u00f3d\u017a"], 0, "ab\n\u00e4 ?? 3",
           r"\S*t.tpl:2:3: warning: " + lost + r'kvlhost: warning: --var v: "\u0141" has no form in code page '
           r'1252 and becomes "L"; 2 such places in all\n')
    expect(["check", template], 0, template + ':2:3: warning: "\U0001F389" has no form in code page 1252 and '
           'becomes "??"; 2 such places in all\n', r"kvlhost: checked 1 template: 0 errors, 1 warning\n")
    expect(["expand", template], 0, "ab\na ?? 3", r'\S*t.tpl:2:1: warning: "\u00e4" has no form in code page '
           r'1251 and becomes "a"; 4 such places in all\n', locale="ru_RU.UTF-8")
    Path(template).write_bytes(b"Gr\xfc\xdfe")
    expect(["expand", template], 0, "Gr??e", r'\S*t.tpl:1:3: warning: byte 0xFC is no UTF-8 and becomes "\?" '
           r"\(--encoding ansi reads ANSI text\); 2 such places in all\n")
    # Message text quoted in a warning: a byte the code page leaves unused (0x9D in 1252) reads
    # as a C1 control character (OSC), which must not reach the terminal as it is.
    expect_message("c1.eml", b'Subject: s\r\nContent-Type: text/plain; charset="x\x9dy"\r\n\r\nbody', b"%TEXT", "body",
                   r'kvlhost: warning: unknown charset "x\\u009Dy": its bytes are read in the ANSI code page\n')
    # A message's fields and text: one warning per field, the character by its code point.
    lost = (b"From: =?utf-8?q?Ren=C3=A9e?= <r@example.org>\r\nSubject: =?utf-8?q?Party_=F0=9F=8E=89_"
            b"=D0=BF=D1=80=D0=B8?=\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n\xc5\x81\xc3\xb3d\r\n")
    expect_message("lost.eml", lost, b"%FROMNAME|%SUBJECT|%TEXT", "Ren\u00e9e|Party ?? ???|L\u00f3d\r\n",
                   r'kvlhost: warning: Subject: U\+1F389 has no form in code page 1252 and becomes "\?\?"; 4 such '
                   r'places in all\nkvlhost: warning: the message text \(item 241\): U\+0141 has no form in code page '
                   r'1252 and becomes "L"\n')
    expect_message("lost.eml", lost, b"%FROMNAME|%SUBJECT|%TEXT", "Renee|Party ?? \u043f\u0440\u0438|Lod\r\n",
                   r'kvlhost: warning: From: U\+00E9 has no form in code page 1251 and becomes "e"\nkvlhost: warning: '
                   r'Subject: U\+1F389 has no form in code page 1251 and becomes "\?\?"\nkvlhost: warning: the message '
                   r'text \(item 241\): U\+0141 has no form in code page 1251 and becomes "L"; 2 such places in all\n',
                   locale="ru_RU.UTF-8")

    # A plug-in call that answers a fixed error text: a warning at the call (a loop body's
    # call at its loop, once for all passes); --strict makes it an error and exit 1.
    # In a loop body, the pass it was first seen in: the loop variable "a-" fails in pass 2 (KVL_Until's
    # test of %_v, which the inner KVL_For sets to the pass number, is no pass of its own).
    answered = '%{} answered " \\*\\*\\* ERROR: Wrong parameter {} \\*\\*\\* "{}\n'
    template = (b'Hello %KVL_StrLeft(x),\n%KVL_For(i, 1, 3, "[%%KVL_StrLen()]")%KVL_StrLen(ok)\n'
                b'%KVL_Until(v, 2, "[%%KVL_For(%%KVL_StrLeft(a-, %%KVL_StrLen(x%%_v)), 1, 1, x)]'
                b'%%KVL_For(v, 1, %%KVL_StrLen(x%%_v), )")')
    printed = ("Hello  *** ERROR: Wrong parameter count *** ,\n" + "[ *** ERROR: Wrong parameter count *** ]" * 3 +
               "2\n[x][ *** ERROR: Wrong parameter value *** ]")
    findings = [("1:7", "KVL_StrLeft", "count", ""), ("2:1", "KVL_StrLen", "count", r" \(in pass 1 of %KVL_For\)"),
                ("3:1", "KVL_For", "value", r" \(in pass 2 of %KVL_Until\)")]
    for options, rc, kind in (([], 0, "warning"), (["--strict"], 1, "error")):
        expect(["expand", "-", *options], rc, printed, "".join(
            f"<stdin>:{at}: {kind}: " + answered.format(name, what, passes) for at, name, what, passes in findings),
            stdin=template)

    # --trace: the calls as they run, against the golden of tests/data/trace/ and the example of
    # docs/host.md, times masked; a 62-character result is cut, the fourth pass counted.
    def masked(text):
        return re.sub(r" in \d+\.\d+ ms", " in # ms", text)
    trace = Path(ROOT, "tests", "data", "trace")
    done = run(host, "expand", "nested.tpl", "--trace", timeout=60, cwd=trace)
    expected = (trace / "nested.trace").read_text(encoding="utf-8")
    example = [masked(block) for block in documented_blocks("Call trace")[:2]]
    got = masked(done.stderr.decode("utf-8").replace("\r\n", "\n"))
    if done.stdout != b"1111-2222-3333-\n62\n" or got != expected or example != [
            (trace / "nested.tpl").read_text(encoding="utf-8"), expected]:
        failures.append(f"expand --trace: stdout {done.stdout!r}, stderr {got!r}, docs example {example!r}")
    expect(["call", "KVL_StrLen", "x", "--trace"], 2, "", r"kvlhost: --trace is an option of expand" + hint)
    # Bytes the code page leaves unused come back as C1 controls, which terminals obey: escaped.
    expect(["expand", "-", "--trace", "--var", "v=a\u0081"], 0, "2",
           r'%KVL_StrLen at <stdin>:1:1\n  with "a\\u0081"\n  answered "2" in [\d.]+ ms \(work: 3 bytes\)\n',
           stdin=b"%KVL_StrLen(%_v)")

    # COMMAND --help: that command's usage line and its options, as the usage has them; after
    # -- it is an argument of call.
    def command_help(command, options):
        lines = [line.lstrip().removeprefix("usage: ") for line in usage.splitlines(keepends=True)]
        head = next(line for line in lines if line.startswith(f"kvlhost {command} "))
        return "usage: " + head + "options:\n" + "".join(
            "  " + line for line in lines if line.startswith("-") and line.split()[0] in options.split())
    expect(["call", "--help"], 0, command_help("call", "--message --item --var --addressbook --plugin --encoding "
                                                       "--raw --strict --"))
    expect(["expand", "--help"], 0, command_help("expand", "--message --item --var --addressbook --plugin --encoding "
                                                           "--strict --trace"))
    expect(["check", "--help"], 0, command_help("check", "--encoding"))
    expect(["list", "--help"], 0, command_help("list", "--plugin"))
    expect(["call", "KVL_StrLen", "--", "--help"], 0, "6\n")
    expect(["nosuch", "--help"], 2, "", r"kvlhost: unknown command nosuch" + hint)

    # Message text that the plug-in hands back as a template: a finding per place, an error
    # with --strict (copied as plain text, exit status 1), silent when the body has %%.
    subject = '%KVL_StrLen(abc)%_x="1" "q" %%'
    finding = ": {} text from %SUBJECT is expanded as a template inside KVL_For; write %%SUBJECT\n"
    message, template = str(folder / "hostile.eml"), str(folder / "reply.tpl")
    Path(message).write_bytes(f"From: Eve <eve@example.org>\r\nSubject: {subject}\r\n\r\nbody\r\n".encode())
    Path(template).write_bytes(b'Hi\r\n  %KVL_For(i, 1, 2, "[%SUBJECT]")\r\n%KVL_For(i, 1, 1, "[%%SUBJECT]")')
    unsafe = "Hi\r\n  [3 \"q\" %][3 \"q\" %]\r\n" + f"[{subject}]"
    located = re.escape(template) + ":2:23" + finding
    expect(["expand", template, "--message", message], 0, unsafe, located.format("warning:"))
    strict = f"Hi\r\n  [{subject}][{subject}]\r\n[{subject}]"
    expect(["expand", template, "--message", message, "--strict"], 1, strict, located.format("error:"))
    expect(["expand", "-", "--message", message], 0, "3 \"q\" %", "<stdin>:1:17" + finding.format("warning:"),
           stdin=b'%KVL_For(i,1,1,"%SUBJECT")')
    expect(["call", "KVL_For", "i", "1", "1", 'x\n %KVL_For(j,1,1,"%SUBJECT")', "--message", message, "--strict"], 1,
           f"x\n {subject}\n", "argument 4:2:18" + finding.format("error:"))
    expect(["call", "KVL_For", "i", "1", "1", "%SUBJECT", "--message", message], 0, subject + "\n", "")
    expect(["list", "--strict"], 2, "", r"kvlhost: --strict is an option of expand and call" + hint)
    replies = batch_replies(host, [{"template": '%KVL_For(i,1,1,"%SUBJECT")%NOPE', "message": message},
                                   {"template": '%KVL_For(i,1,1,"%SUBJECT")', "message": message, "strict": True},
                                   {"template": '%KVL_For(i,1,1,"%%SUBJECT")', "message": message, "strict": True},
                                   {"macro": "KVL_StrLen", "args": ["x"], "strict": "yes"}])
    expected = [("3 \"q\" %%NOPE", ["<template>:1:17" + finding.format("warning:").strip(),
                                      "unknown host macro %NOPE; copied unchanged"]),
                (subject, ["<template>:1:17" + finding.format("error:").strip()]),
                (subject, None)]
    for reply, (result, warnings) in zip(replies, expected):
        if reply.get("result") != result or reply.get("warnings") != warnings:
            failures.append(f"batch: {reply!r}, expected result {result!r} and warnings {warnings!r}")
    if "error" not in replies[3]:
        failures.append(f"batch: 'strict' that is no boolean is a malformed request: {replies[3:]!r}")
    return failures


def main():
    with tempfile.TemporaryDirectory() as folder:
        failures = checks(sys.argv[1], sys.argv[2], Path(folder))
    return finish(failures, f"host_cli: {len(failures)} failed")


if __name__ == "__main__":
    sys.exit(main())
