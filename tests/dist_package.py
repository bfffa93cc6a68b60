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
import shutil
import subprocess
import sys
import tempfile

from kvlhost import ROOT, RUN, batch, windows_path

IDN_MISSING = " *** ERROR: IDN.dll not found *** "


def main():
    host, build, version = sys.argv[1], sys.argv[2], sys.argv[3]
    failures = []
    scratch = tempfile.mkdtemp(prefix="kvl-dist-")
    try:
        out = os.path.join(scratch, "out")
        done = subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "make-dist.py"), "--build", build,
                               "--out", out], capture_output=True, text=True, timeout=120)
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
        with open(os.path.join(package, "SHA256SUMS"), encoding="ascii") as sums:
            listed = {line.split("  ", 1)[1].rstrip("\n") for line in sums}
        wanted = {"KVL.zrp", "idn.dll", "KVL.ini", "SpecialChars.lst", "docs/macros.md", "docs/host.md",
                  "docs/images/msgbox.png"}
        if listed != present or not wanted <= present:
            failures.append(f"SHA256SUMS lists {sorted(listed)}; the package holds {sorted(present)}")
        check = subprocess.run(["sha256sum", "--strict", "-c", "SHA256SUMS"], cwd=package, capture_output=True,
                               text=True, timeout=60)
        if check.returncode != 0:
            failures.append(f"sha256sum -c: {check.stdout}{check.stderr}")

        program = os.path.join(scratch, "program")
        os.mkdir(program)
        lone_host = shutil.copy(host, program)
        plugin = windows_path(os.path.join(package, "KVL.zrp"))

        def kvlhost(*args, stdin=None):
            return subprocess.run([RUN, lone_host, *args], input=stdin, capture_output=True, timeout=120,
                                  cwd=program)

        done = kvlhost("call", "KVL_StrLen", "abc", "--plugin", plugin)
        if (done.returncode, done.stdout) != (0, b"3\n"):
            failures.append(f"call from the package: {done.returncode} {done.stdout!r} {done.stderr!r}")

        latin1 = "".join(chr(code) for code in range(160, 256))
        named = "".join(f"&{html.entities.codepoint2name[code]};" for code in range(160, 256))
        cases = [
            ("KVL_PlugPath", [], windows_path(package) + "\\"),
            ("KVL_DomToACE", ["b\u00fccher.de"], "xn--bcher-kva.de"),
            ("KVL_HtmlEnc", ["\u00e4"], "&auml;"),
            ("KVL_HtmlEnc", [latin1, "E"], named),
            ("KVL_HtmlDec", [named, "E"], latin1),
            # Windows-1252's own characters: named, numeric by their Unicode numbers, and
            # the two without an HTML 4 name kept as numeric entities.
            ("KVL_HtmlEnc", ["\u20ac \u2013 \u201eja\u201c", "E"], "&euro; &ndash; &bdquo;ja&ldquo;"),
            ("KVL_HtmlEnc", ["\u20ac\u017d", "U"], "&#8364;&#381;"),
            ("KVL_HtmlEnc", ["\u017e", "E"], "&#382;"),
            ("KVL_HtmlDec", ["&euro;&#8364;&Scaron;", "E"], "\u20ac\u20ac\u0160"),
            ("KVL_Const", ["Sig", "1"], "Kind regards\r\nAnna Schmidt"),
            ("KVL_Const", ["Company"], "Example Trading Ltd."),
            ("KVL_GetLang", [], "Deutsch", {"243": "X-Accept-Language: fr, de\r\n"}),
            ("KVL_GetLang", [], "English", {"243": "Content-Language: en-GB\r\n"}),
            ("KVL_GetLang", [], "English", {"241": "Hello Anna,\r\nthanks.\r\n"}),
        ]

        def package_batch(requests):
            return batch(lone_host, requests, "--plugin", plugin, cwd=program, timeout=120)

        results = package_batch([{"macro": case[0], "args": case[1], "items": case[3] if len(case) > 3 else {}}
                                 for case in cases])
        for case, result in zip(cases, results):
            expected = case[2]
            same = result.lower() == expected.lower() if case[0] == "KVL_PlugPath" and result else result == expected
            if not same:
                failures.append(f"{case[0]}{case[1]}: {result!r}, expected {expected!r}")

        # Without the package's idn.dll nothing else is found: the result above was its work.
        os.remove(os.path.join(package, "idn.dll"))
        if package_batch([{"macro": "KVL_DomToACE", "args": ["b\u00fccher.de"]}]) != [IDN_MISSING]:
            failures.append("KVL_DomToACE found an idn.dll outside the package")
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    for failure in failures:
        print("FAIL", failure)
    print(f"dist_package: {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
