#!/usr/bin/env python3
"""Packs the built plug-in for users: BUILD/dist/korvel-VERSION.zip (make dist).

The zip holds one folder, korvel-VERSION/, with KVL.zrp and idn.dll from BUILD/bin, the
commented sample KVL.ini (package/KVL.ini, with Windows line ends), a SpecialChars.lst for
Windows-1252, the docs as Markdown with their images, and SHA256SUMS for sha256sum -c.
The version is the project version CMake configured. Entries carry the time of the last
commit (or SOURCE_DATE_EPOCH), so the same tree packs to the same bytes.

Usage: make-dist.py [--build DIR] [--out DIR]
"""
import argparse
import hashlib
import html.entities
import os
import subprocess
import sys
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


class DistError(Exception):
    pass


def project_version(build):
    cache = os.path.join(build, "CMakeCache.txt")
    try:
        with open(cache, encoding="utf-8") as lines:
            for line in lines:
                if line.startswith("CMAKE_PROJECT_VERSION:"):
                    return line.split("=", 1)[1].strip()
    except OSError:
        raise DistError(f"{cache} is missing: configure and build first (make)")
    raise DistError(f"{cache} names no project version")


def special_chars_list():
    """Codes 128-255 of Windows-1252 with the character, its HTML entity name and its
    Unicode number (the numeric entity must name the Unicode character, not the byte:
    the euro sign 128 is &#8364;). A character without an HTML 4 name gets its numeric
    entity as name, so the named mode keeps it instead of dropping it."""
    lines = ["; SpecialChars.lst: the entities of KVL_HtmlEnc and KVL_HtmlDec for the ANSI code",
             "; page Windows-1252. One line per byte code, TAB-separated: code, character,",
             "; entity name (without & and ;), Unicode number. Lines like this one are skipped."]
    for code in range(128, 256):
        try:
            character = bytes([code]).decode("cp1252")
        except UnicodeDecodeError:
            continue  # 1252 leaves 129, 141, 143, 144 and 157 undefined
        number = ord(character)
        name = html.entities.codepoint2name.get(number, f"#{number}")
        lines.append(f"{code}\t{character}\t{name}\t{number}")
    return ("\r\n".join(lines) + "\r\n").encode("cp1252")


def read(path):
    try:
        with open(path, "rb") as file:
            return file.read()
    except OSError as error:
        raise DistError(f"cannot read {path}: {error.strerror}")


def package_files(build):
    """(name inside the package, bytes), sorted by name."""
    binaries = os.path.join(build, "bin")
    for name in ("KVL.zrp", "idn.dll"):
        if not os.path.isfile(os.path.join(binaries, name)):
            raise DistError(f"{name} is missing from {binaries}: build first (make)")
    sample_ini = read(os.path.join(ROOT, "package", "KVL.ini")).replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
    files = {
        "KVL.zrp": read(os.path.join(binaries, "KVL.zrp")),
        "idn.dll": read(os.path.join(binaries, "idn.dll")),
        "KVL.ini": sample_ini,
        "SpecialChars.lst": special_chars_list(),
    }
    docs = os.path.join(ROOT, "docs")
    for folder, _, names in os.walk(docs):
        for name in names:
            path = os.path.join(folder, name)
            if name.endswith(".md") or os.path.relpath(folder, docs).split(os.sep)[0] == "images":
                files["docs/" + os.path.relpath(path, docs).replace(os.sep, "/")] = read(path)
    return sorted(files.items())


def entry_time():
    stamp = os.environ.get("SOURCE_DATE_EPOCH")
    if not stamp:
        done = subprocess.run(["git", "-C", ROOT, "log", "-1", "--format=%ct"], capture_output=True, text=True)
        stamp = done.stdout.strip() if done.returncode == 0 else ""
    seconds = int(stamp) if stamp.isdigit() else int(time.time())
    return time.gmtime(max(seconds, 315532800))[:6]  # zip times start in 1980


def write_zip(target, top, files):
    checksums = "".join(f"{hashlib.sha256(data).hexdigest()}  {name}\n" for name, data in files)
    stamp = entry_time()
    partial = target + ".part"
    try:
        with zipfile.ZipFile(partial, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
            for name, data in files + [("SHA256SUMS", checksums.encode("ascii"))]:
                entry = zipfile.ZipInfo(f"{top}/{name}", date_time=stamp)
                entry.compress_type = zipfile.ZIP_DEFLATED
                entry.external_attr = 0o644 << 16
                archive.writestr(entry, data)
        os.replace(partial, target)
    except OSError as error:
        raise DistError(f"cannot write {target}: {error.strerror}")
    finally:
        if os.path.exists(partial):
            os.remove(partial)


def main():
    parser = argparse.ArgumentParser(description="Packs the built plug-in into BUILD/dist/korvel-VERSION.zip.")
    parser.add_argument("--build", default=os.path.join(ROOT, "build"), help="the CMake build folder (default: build)")
    parser.add_argument("--out", help="where the zip goes (default: BUILD/dist)")
    options = parser.parse_args()
    try:
        version = project_version(options.build)
        out = options.out or os.path.join(options.build, "dist")
        os.makedirs(out, exist_ok=True)
        top = f"korvel-{version}"
        target = os.path.join(out, top + ".zip")
        print(f"dist: packing {top}", flush=True)
        files = package_files(options.build)
        write_zip(target, top, files)
        print(f"dist: wrote {os.path.relpath(target)} ({len(files) + 1} files, {os.path.getsize(target)} bytes)")
        return 0
    except (DistError, OSError) as error:
        print(f"dist: {error}", file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
