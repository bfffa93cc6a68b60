#!/usr/bin/env python3
"""Hostile messages, templates and arguments through one kvlhost batch session.

Every request is a reproducer of a way a received message or a careless template
once took control or froze the mail client: message text that broke out of the
quotes of a host text, loop variables named by the message, paths long enough to
overrun a platform buffer, searches that ran for minutes, device names that
blocked for ever, work done outside the plug-in (processes, keystrokes), huge
results, and messages with NUL bytes. They all go through ONE session, as in the
mail client, each within its time limit (2 s for the cases that took minutes,
10 s for the rest; --slack multiplies both on a slow machine).

The run fails on a crash or an early end of kvlhost, a late reply, a reply that
breaks the batch protocol or its case's own check, message text that was
expanded (a command that ran, a variable that was set), and a file written
where no request may write. Prints one line per case with its time;
--only TEXT runs the cases whose name holds TEXT.
"""

import collections
import json
import os
import queue
import shutil
import sys
import time
from pathlib import Path

from kvlhost import ROOT, arguments, finish, windows_path

REPO = Path(ROOT)
sys.path.insert(0, str(REPO / "scripts"))
from kvlbatch import Session, check_reply  # noqa: E402

COUNT_ERROR = " *** ERROR: Wrong parameter count *** "
VALUE_ERROR = " *** ERROR: Wrong parameter value *** "
NO_SUCCESS = " *** Action not successfully *** "

# A Subject that ends a quoted host value, runs a command and swallows the rest
# into a variable, as found in the attack on KVL_ReX and KVL_Grep.
PWNED = "pwned-by-hostile-test.txt"
LONG_FOLDER = "hostile-long-paths"
SUBJECT = f'x"%KVL_RunCmd(echo q > C:\\{PWNED}, 1, 1000)%_a="'


Case = collections.namedtuple("Case", "name request limit check", defaults=[None])


def call(macro, *args, **extra):
    return dict(macro=macro, args=list(args), **extra)


def template(text, **extra):
    return dict(template=text, **extra)


def result_is(*allowed):
    return lambda reply: None if reply["result"] in allowed else f"answered {reply['result'][:120]!r}, expected one of {allowed!r}"


def nothing_expanded(reply):
    """The template ends in [%_a]: the Subject's %_a=" must not have set it."""
    return None if reply["result"].endswith("[]") else f"message text ran as a template: {reply['result'][-200:]!r}"


def cases(work):
    subject = {"223": SUBJECT}
    source, moved = windows_path(work / "source.txt"), windows_path(work / "moved.txt")

    def long(n):
        """A path of n characters in a folder of the Wine prefix that leftovers() checks."""
        return f"C:\\{LONG_FOLDER}\\" + "z" * (n - len(LONG_FOLDER) - 4)

    listed, rest = 2, 10
    yield from [
        # 1. Message text stays data.
        Case("ReX pattern from the Subject", template("%KVL_ReX(abc, %SUBJECT, 0)[%_a]", items=subject), rest,
             nothing_expanded),
        Case("Grep pattern from the Subject", template("%KVL_Grep(abc, %SUBJECT)[%_a]", items=subject), rest,
             nothing_expanded),
        Case("For variable named by the Subject", template('%KVL_For(%SUBJECT,1,1,"x")[%_a]', items=subject), rest,
             lambda r: None if r["result"] == VALUE_ERROR + "[]" else f"answered {r['result'][:200]!r}"),
        Case("Until variable named by the Subject", template('%KVL_Until(%SUBJECT,1,"x")[%_a]', items=subject), rest,
             lambda r: None if r["result"] == VALUE_ERROR + "[]" else f"answered {r['result'][:200]!r}"),
        Case("Subject as a loop body, strict", template('%KVL_For(i,1,1,"%SUBJECT")[%_a]', items=subject, strict=True),
             rest, lambda r: nothing_expanded(r) or (None if r.get("warnings") else "no warning about the loop body")),
        # 2. Memory safety.
        # The longest path the shell's operations take works: copied there, moved back, deleted.
        Case("KVL_FileCopy to a 259-character path", call("KVL_FileCopy", source, long(259)), rest, result_is("1")),
        Case("KVL_FileMove of a 259-character path", call("KVL_FileMove", long(259), moved), rest, result_is("1")),
        Case("KVL_FileDel of the moved file", call("KVL_FileDel", moved), rest, result_is("1")),
        *[Case(f"{macro} of a {n}-character path", call(macro, *args), rest, result_is("0"))
          for n in (260, 600, 700)
          for macro, args in [("KVL_FileDel", [long(n)]), ("KVL_FileCopy", [long(n), moved]),
                              ("KVL_FileCopy", [source, long(n)]), ("KVL_FileMove", [long(n), moved])]],
        # NUL bytes stay where they stand, as in Python's email package; nothing around them is lost.
        Case("message with NUL bytes", template("[%SUBJECT][%FROMNAME][%TEXT]", message=str(work / "nul.eml")), rest,
             result_is("[s\0ub\0ject][A\0B][before\0after\r\nline2\0\r\n]")),
        # 3. Every call ends.
        Case("REIsMatch b[ab]*c[ab], 256 KiB", call("KVL_REIsMatch", "ab" * 131072, "b[ab]*c[ab]"), listed,
             result_is("0", NO_SUCCESS)),
        Case("REIsMatch b[ab]*c[ab], 16 MiB", call("KVL_REIsMatch", "ab" * (8 << 20), "b[ab]*c[ab]"), rest,
             result_is("0", NO_SUCCESS)),
        Case("REIsMatch (a+)\\1b", call("KVL_REIsMatch", "a" * 16384, r"(a+)\1b"), listed, result_is("0", NO_SUCCESS)),
        Case("REIsMatch .*.*=.*c", call("KVL_REIsMatch", "a" * 262144, ".*.*=.*c"), listed, result_is("0", NO_SUCCESS)),
        Case("REIsMatch a*a*c", call("KVL_REIsMatch", "a" * 262144, "a*a*c"), listed, result_is("0", NO_SUCCESS)),
        Case("RERepl b[ab]*c[ab], 1 MiB", call("KVL_RERepl", "ab" * 524288, "b[ab]*c[ab]", "x"), listed,
             result_is("ab" * 524288, NO_SUCCESS)),
        Case("ReX b[ab]*c[ab] on the host", call("KVL_ReX", "ab" * 131072, "b[ab]*c[ab]", "0"), listed),
        Case("Grep (a|a)*$ over 200 000 lines", call("KVL_Grep", ("a" * 50 + "b\n") * 200000, "(a|a)*$"), listed),
        Case("LineBetw with a long marker", call("KVL_LineBetw", "a" * 4194304, "a" * 100000 + "b", "c"), listed,
             result_is("")),
        Case("SubjClean with 200 000 words",
             call("KVL_SubjClean", "re: " * 1048576, "|".join(f"w{i}" for i in range(200000))), listed, result_is("")),
        *[Case(f"{macro} of {device}", call(macro, *args), listed)
          for device in ("COM1", "LPT1", "CON", "\\\\.\\COM1")
          for macro, args in [("KVL_CRC32", ["F", device]), ("KVL_MD5", ["F", device]), ("KVL_SHA1", ["F", device]),
                              ("KVL_FileLines", [device]), ("KVL_FileLnCnt", [device])]],
        Case("For over 100 000 console commands", template('%KVL_For(i,1,100000,"%%KVL_RunCmd(echo %%_i)")'), listed,
             lambda r: None if r["result"].endswith(NO_SUCCESS) or r["result"] == NO_SUCCESS else
             f"answered {r['result'][:120]!r}"),
        Case("SendKeys of 3 276 750 keys", call("KVL_SendKeys", "{TAB 65535}" * 50, "0"), listed),
        Case("a 64 MiB result", call("KVL_StrDup", "a", "67108864"), listed, result_is("a" * 67108864)),
        # 4. Files and data.
        Case("FileDel of a missing long path", call("KVL_FileDel", windows_path(work / ("y" * 200))), rest,
             result_is("0")),
        Case("IniSet of a key holding =", call("KVL_IniSet", windows_path(work / "a.ini"), "s", "k=v", "x"), rest,
             result_is(VALUE_ERROR)),
        Case("IniSet of a key beginning with [", call("KVL_IniSet", windows_path(work / "a.ini"), "s", "[k", "x"), rest,
             result_is(VALUE_ERROR)),
        *[Case(f"StrAttach named {name!r}", call("KVL_StrAttach", "x", name), rest, result_is("0"))
          for name in ("COM\u00b9", "LPT\u00b3", "CLOCK$", "name.", "name ", "..\\escaped.txt", "C:\\escaped.txt",
                       "CON.txt")],
    ]


def leftovers(prefix, work):
    """Files that a request wrote where none may be written (the long paths' folder holds
    nothing once the 259-character file has moved on)."""
    found = [p for p in (prefix / "drive_c" / PWNED, work / "moved.txt") if p.exists()]
    found += list((prefix / "drive_c" / LONG_FOLDER).glob("*"))
    temp = list(prefix.glob("drive_c/users/*/Temp"))
    found += [p for folder in temp for p in folder.glob("escaped.txt")]
    return found


def prepare(work):
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    (work / "source.txt").write_bytes(b"source\r\n")
    (work / "nul.eml").write_bytes(b"From: A\x00B <a@example.org>\r\nSubject: s\x00ub\x00ject\r\n"
                                   b"Content-Type: text/plain\r\n\r\nbefore\x00after\r\nline2\x00\r\n")


def main():
    options = arguments(locale="en_US.UTF-8", slack=1.0, only="")

    prefix = Path(os.environ.get("WINEPREFIX", REPO / "build" / "wine"))
    work = REPO / "build" / "hostile"
    prepare(work)
    for path in leftovers(prefix, work):
        path.unlink()
    shutil.rmtree(prefix / "drive_c" / LONG_FOLDER, ignore_errors=True)
    chosen = [c for c in cases(work) if options.only in c.name]
    session = Session(options.kvlhost, options.locale)
    failures = []
    # Wine's start and the plug-in's initialisation are no case's time.
    if session.exchange(b'{"macro": "KVL_Test"}', 120) is None:
        print(f"hostile: FAIL: kvlhost did not start ({session.describe_end()})", file=sys.stderr)
        return 1
    started = time.monotonic()
    for case in chosen:
        line = json.dumps(case.request, ensure_ascii=False).encode("utf-8")
        limit = case.limit * options.slack
        sent = time.monotonic()
        try:
            raw = session.exchange(line, limit * 3 + 30)
        except queue.Empty:
            failures.append(f"{case.name}: no reply (hang)")
            break
        seconds = time.monotonic() - sent
        if raw is None:
            failures.append(f"{case.name}: kvlhost ended ({session.describe_end()})")
            break
        kind = "template" if "template" in case.request else "call"
        _, problem = check_reply(kind, raw)
        if problem is None and case.check:
            problem = case.check(json.loads(raw))
        if problem is None and seconds > limit:
            problem = f"took {seconds:.2f} s (limit {limit:g} s)"
        print(f"hostile: {seconds:6.2f} s  {case.name}" + (f"  FAIL: {problem}" if problem else ""), flush=True)
        if problem:
            failures.append(f"{case.name}: {problem}")
    ending = session.finish() if session.process.poll() is None else None
    if ending:
        failures.append(ending)
    failures += [f"a request wrote {path}" for path in leftovers(prefix, work)]
    return finish(failures, f"hostile: {len(chosen)} cases in {time.monotonic() - started:.1f} s, "
                            f"{len(failures)} failed")


if __name__ == "__main__":
    sys.exit(main())
