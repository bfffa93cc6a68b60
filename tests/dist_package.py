#!/usr/bin/env python3
"""The user package as a user gets it: scripts/make-dist.py packs it into a fresh folder,
unzip unpacks it, sha256sum -c checks it, and a copy of kvlhost alone in another folder
(so that no idn.dll of the build is on its search path) loads the plug-in from the
unpacked folder: a macro call, idn.dll found beside the plug-in (and the error once it is
removed), the sample SpecialChars.lst beside Python's html.entities, and the sample
KVL.ini's [Const] and [CountryLanguage].

Usage: dist_package.py KVLHOST.exe BUILD_DIR PROJECT_VERSION. Exits 1 on any difference.
"""
import html.entities
import os
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

from kvlhost import ROOT, batch, finish, mismatches, run, windows_path

IDN_MISSING = " *** ERROR: IDN.dll not found *** "


def tool(*args):
    return subprocess.run(["i686-w64-mingw32-" + args[0], *args[1:]], capture_output=True, text=True,
                          timeout=120).stdout


def make_dist(build, out):
    return subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "make-dist.py"), "--build", build,
                           "--out", out], capture_output=True, text=True, timeout=300)


def cache_value(build, key):
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as cache:
        return next(line.split("=", 1)[1].strip() for line in cache if line.startswith(key + ":"))


def release_checks(build, package, out, zip_name, version):
    """What a release must be beyond a working plug-in: stripped binaries whose debug
    information resolves addresses, licences, kvlhost and the examples, the HTML docs."""
    failures = []
    # No debug sections ship; the kept debug file resolves an address inside ZRP_ExecMacro.
    for name in ("KVL.zrp", "idn.dll", "kvlhost.exe"):
        if ".debug_" in tool("objdump", "-h", os.path.join(package, name)):
            failures.append(f"{name} ships with debug sections")
        if not os.path.isfile(os.path.join(build, "dist", "debug", name + ".debug")):
            failures.append(f"no {name}.debug in {build}/dist/debug")
    headers = tool("objdump", "-p", os.path.join(package, "KVL.zrp"))
    base = int(re.search(r"^ImageBase\s+([0-9a-fA-F]+)", headers, re.M).group(1), 16)
    names = re.findall(r"^\s*\[\s*(\d+)\] (ZRP_\w+)$", headers, re.M)
    rvas = re.findall(r"^\s*\[\s*(\d+)\] \+base\[\s*\d+\]\s+([0-9a-f]+) Export RVA", headers, re.M)
    rva = dict(rvas).get(dict((name, index) for index, name in names).get("ZRP_ExecMacro"))
    where = tool("addr2line", "-f", "-e", os.path.join(build, "dist", "debug", "KVL.zrp.debug"),
                 hex(base + int(rva or "0", 16) + 8)) if rva else ""
    if "ZRP_ExecMacro" not in where or "Exports.cpp:" not in where or "Exports.cpp:?" in where:
        failures.append(f"addr2line did not resolve ZRP_ExecMacro through the debug file: {where!r}")

    # The notices: PCRE's licence as in the source the build used, and an entry for every
    # library the binaries link (found by symbols of the unstripped binaries).
    notices = Path(package, "THIRD-PARTY-NOTICES.txt").read_bytes().decode("utf-8")
    pcre_licence = Path(cache_value(build, "KVL_PCRE_SOURCE"), "LICENCE").read_text(encoding="utf-8").strip().replace(
        "\n", "\r\n")
    if pcre_licence not in notices:
        failures.append("THIRD-PARTY-NOTICES.txt lacks PCRE's LICENCE text")
    symbols = {name: tool("nm", os.path.join(build, "bin", name)) for name in ("KVL.zrp", "idn.dll", "kvlhost.exe")}
    for library, symbol in (("PCRE", " _pcre_compile"), ("gumbo", " _gumbo_parse_with_options"),
                            ("GCC runtime", " ___gxx_personality_v0"),
                            ("mingw-w64 runtime", " __pei386_runtime_relocator"),
                            ("winpthreads", " _pthread_mutex_lock"), ("zlib", " _inflate\n")):
        holders = [name for name, table in symbols.items() if symbol in table]
        entry = re.search(rf"^\d+\. {re.escape(library)}[^:]*: in (.*)\r$", notices, re.M)
        if holders and (not entry or entry.group(1) != ", ".join(holders)):
            failures.append(f"THIRD-PARTY-NOTICES.txt: {library} is in {holders}; the entry says "
                            f"{entry.group(1) if entry else 'nothing'}")
        if not holders and entry:
            failures.append(f"THIRD-PARTY-NOTICES.txt names {library}, which no binary links")
    readme = Path(package, "README.txt").read_bytes()
    if readme.count(b"\n") != readme.count(b"\r\n") or f"Korvel {version}".encode() not in readme:
        failures.append("README.txt needs Windows line ends and the version")

    # kvlhost from the package, in the package's folder: the plug-in beside it and an example.
    def unpacked_kvlhost(*args):
        return run(os.path.join(package, "kvlhost.exe"), *args, cwd=package)
    check = unpacked_kvlhost("check", "examples\\meeting.tpl")
    expand = unpacked_kvlhost("expand", "examples\\meeting.tpl", "--message", "examples\\meeting.eml")
    expected = Path(package, "examples", "meeting.out").read_bytes()
    if check.returncode != 0 or (expand.returncode, expand.stdout) != (0, expected):
        failures.append(f"kvlhost from the package: check {check.returncode} {check.stderr!r}, expand "
                        f"{expand.returncode} {expand.stderr!r}")

    # The HTML docs: every link and image resolves, every anchor of the macro index reaches
    # an entry, and the index names every macro the plug-in lists.
    # linkchecker run by root reads as nobody: the folders must be readable to others.
    for folder, _, _ in os.walk(os.path.dirname(os.path.dirname(package))):
        os.chmod(folder, 0o755)
    links = subprocess.run(["linkchecker", "--no-status", "--no-warnings", os.path.join(package, "docs", "index.html")],
                           capture_output=True, text=True, timeout=300)
    if links.returncode != 0:
        failures.append(f"linkchecker: {links.stdout[-2000:]}")
    page = Path(package, "docs", "macros.html").read_text(encoding="utf-8")
    ids = set(re.findall(r' id="([^"]+)"', page))
    index = page[page.find('id="macros-by-task"'):page.find('id="the-work-budget-of-one-macro-call"')]
    targets = re.findall(r'<a href="#([^"]+)">(KVL_\w+)</a>', index)
    listed = unpacked_kvlhost("list").stdout.decode("ascii").split()
    if len(listed) != 131 or set(listed) - {name for _, name in targets}:
        failures.append(f"the macro index lacks {sorted(set(listed) - {name for _, name in targets})}")
    if [anchor for anchor, name in targets if anchor not in ids or anchor != name.lower()]:
        failures.append("an anchor of the macro index reaches no entry")

    # The same tree packs to the same bytes.
    again = os.path.join(os.path.dirname(out), "again")
    make_dist(build, again)
    if Path(out, zip_name).read_bytes() != Path(again, zip_name).read_bytes():
        failures.append("packing the same tree twice gave different bytes")
    return failures


def main():
    host, build, version = sys.argv[1], sys.argv[2], sys.argv[3]
    failures = []
    with tempfile.TemporaryDirectory(prefix="kvl-dist-", ignore_cleanup_errors=True) as scratch:
        out = os.path.join(scratch, "out")
        done = make_dist(build, out)
        zips = os.listdir(out) if os.path.isdir(out) else []
        if done.returncode != 0 or zips != [f"korvel-{version}.zip"]:
            raise SystemExit(f"dist_package: make-dist.py gave {done.returncode}, {zips}: {done.stderr.strip()}")

        unpacked = os.path.join(scratch, "unpacked")
        subprocess.run(["unzip", "-q", os.path.join(out, zips[0]), "-d", unpacked], check=True, timeout=60)
        package = os.path.join(unpacked, f"korvel-{version}")
        if os.listdir(unpacked) != [f"korvel-{version}"]:
            failures.append(f"the zip holds {os.listdir(unpacked)}, not one folder korvel-{version}")

        # The checksum list covers every other file, and sha256sum agrees with it.
        present = {os.path.relpath(os.path.join(folder, name), package)
                   for folder, _, names in os.walk(package) for name in names} - {"SHA256SUMS"}
        sums = Path(package, "SHA256SUMS").read_text(encoding="ascii")
        listed = {line.split("  ", 1)[1] for line in sums.splitlines()}
        wanted = {"KVL.zrp", "idn.dll", "kvlhost.exe", "KVL.ini", "SpecialChars.lst", "README.txt", "LICENSE.txt",
                  "THIRD-PARTY-NOTICES.txt", "CHANGELOG.md", "docs/index.html", "docs/macros.html", "docs/host.html",
                  "docs/dialogs.html", "docs/style.css", "docs/images/msgbox.png", "examples/meeting.tpl"}
        if listed != present or not wanted <= present or any(name.endswith((".md", "building.html"))
                                                             for name in present - {"CHANGELOG.md"}):
            failures.append(f"SHA256SUMS lists {sorted(listed)}; the package holds {sorted(present)}")
        check = subprocess.run(["sha256sum", "--strict", "-c", "SHA256SUMS"], cwd=package, capture_output=True,
                               text=True, timeout=60)
        if check.returncode != 0:
            failures.append(f"sha256sum -c: {check.stdout}{check.stderr}")

        failures += release_checks(build, package, out, zips[0], version)

        program = os.path.join(scratch, "program")
        os.mkdir(program)
        lone_host = shutil.copy(host, program)
        plugin = windows_path(os.path.join(package, "KVL.zrp"))

        latin1 = "".join(chr(code) for code in range(160, 256))
        named = "".join(f"&{html.entities.codepoint2name[code]};" for code in range(160, 256))
        cases = [  # (macro, args, items, expected)
            ("KVL_PlugPath", [], {}, windows_path(package).lower() + "\\"),
            ("KVL_DomToACE", ["b\u00fccher.de"], {}, "xn--bcher-kva.de"),
            ("KVL_HtmlEnc", [latin1, "E"], {}, named),
            ("KVL_HtmlDec", [named, "E"], {}, latin1),
            # Windows-1252's own characters: named, numeric by their Unicode numbers, and
            # the two without an HTML 4 name kept as numeric entities.
            ("KVL_HtmlEnc", ["\u20ac \u2013 \u201eja\u201c", "E"], {}, "&euro; &ndash; &bdquo;ja&ldquo;"),
            ("KVL_HtmlEnc", ["\u20ac\u017d", "U"], {}, "&#8364;&#381;"),
            ("KVL_HtmlEnc", ["\u017e", "E"], {}, "&#382;"),
            ("KVL_HtmlDec", ["&euro;&#8364;&Scaron;", "E"], {}, "\u20ac\u20ac\u0160"),
            ("KVL_Const", ["Sig", "1"], {}, "Kind regards\r\nAnna Schmidt"),
            ("KVL_Const", ["Company"], {}, "Example Trading Ltd."),
            ("KVL_GetLang", [], {"243": "X-Accept-Language: fr, de\r\n"}, "Deutsch"),
            ("KVL_GetLang", [], {"243": "Content-Language: en-GB\r\n"}, "English"),
            ("KVL_GetLang", [], {"241": "Hello Anna,\r\nthanks.\r\n"}, "English"),
        ]

        def package_batch(requests):
            return batch(lone_host, requests, "--plugin", plugin, cwd=program, timeout=120)

        results = package_batch([{"macro": macro, "args": args, "items": items} for macro, args, items, _ in cases])
        results[0] = (results[0] or "").lower()  # the path's case is Wine's
        failures += mismatches(cases, results)

        # Without the package's idn.dll nothing else is found: the result above was its work.
        os.remove(os.path.join(package, "idn.dll"))
        if package_batch([{"macro": "KVL_DomToACE", "args": ["b\u00fccher.de"]}]) != [IDN_MISSING]:
            failures.append("KVL_DomToACE found an idn.dll outside the package")
    return finish(failures, f"dist_package: {len(failures)} failed")


if __name__ == "__main__":
    sys.exit(main())
