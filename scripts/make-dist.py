#!/usr/bin/env python3
"""Packs the built plug-in for users: BUILD/dist/korvel-VERSION.zip (make dist).

The zip holds one folder, korvel-VERSION/, with KVL.zrp, idn.dll and kvlhost.exe from
BUILD/bin without their debug information (kept in BUILD/dist/debug/NAME.debug, which the
binaries name in their .gnu_debuglink section), the commented sample KVL.ini
(package/KVL.ini), a SpecialChars.lst for Windows-1252, the gallery of examples/, the
user docs rendered to HTML with their images, README.txt, LICENSE.txt,
THIRD-PARTY-NOTICES.txt (the licences of the libraries found linked into the binaries),
CHANGELOG.md and SHA256SUMS for sha256sum -c. Text files have Windows line ends. The
version is the project version CMake configured; CHANGELOG.md must have an entry for it.
Entries carry the time of the last commit (or SOURCE_DATE_EPOCH), so the same tree packs
to the same bytes.

Usage: make-dist.py [--build DIR] [--out DIR]
"""
import argparse
import hashlib
import html
import html.entities
import os
import re
import subprocess
import sys
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


class DistError(Exception):
    pass


def cache_value(build, key):
    cache = os.path.join(build, "CMakeCache.txt")
    try:
        with open(cache, encoding="utf-8") as lines:
            for line in lines:
                if line.startswith(key + ":"):
                    return line.split("=", 1)[1].strip()
    except OSError:
        raise DistError(f"{cache} is missing: configure and build first (make)")
    raise DistError(f"{cache} has no {key}")


def project_version(build):
    return cache_value(build, "CMAKE_PROJECT_VERSION")


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


def windows_lines(data):
    return data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def run(args, env=None):
    try:
        done = subprocess.run(args, capture_output=True, timeout=300, env=env)
    except (OSError, subprocess.TimeoutExpired) as error:
        raise DistError(f"{args[0]}: {error}")
    if done.returncode != 0:
        raise DistError(f"{' '.join(args)}: {done.stderr.decode(errors='replace').strip()}")
    return done.stdout


TOOLS = "i686-w64-mingw32-"
BINARIES = ("KVL.zrp", "idn.dll", "kvlhost.exe")
USER_DOCS = ("macros.md", "host.md", "dialogs.md")  # docs/building.md is for developers


def released_binary(build, name):
    """The binary without debug information; the information goes to BUILD/dist/debug/NAME.debug,
    which the binary names (with its CRC) in .gnu_debuglink for gdb and addr2line."""
    source = os.path.join(build, "bin", name)
    if not os.path.isfile(source):
        raise DistError(f"{name} is missing from {os.path.dirname(source)}: build first (make)")
    debug_dir = os.path.join(build, "dist", "debug")
    os.makedirs(debug_dir, exist_ok=True)
    debug = os.path.join(debug_dir, name + ".debug")
    stripped = os.path.join(debug_dir, name)
    stamped = dict(os.environ, SOURCE_DATE_EPOCH=str(source_seconds()))
    run([TOOLS + "objcopy", "--only-keep-debug", source, debug], env=stamped)
    # Run in the debug folder, so that the link holds the file's name and not a path. objcopy
    # stamps the PE headers with SOURCE_DATE_EPOCH (else with the present time), also the
    # debug file's, whose CRC goes into the link.
    try:
        subprocess.run([TOOLS + "objcopy", "--strip-all", f"--add-gnu-debuglink={name}.debug", source, stripped],
                       cwd=debug_dir, check=True, capture_output=True, timeout=300,
                       env=stamped)
        data = read(stripped)
    except (OSError, subprocess.SubprocessError) as error:
        raise DistError(f"stripping {name}: {error}")
    finally:
        if os.path.exists(stripped):
            os.remove(stripped)
    return data


# The libraries that can end up inside the binaries, each known by C names only it defines.
LINKED_LIBRARIES = [
    ("PCRE", ("pcre_compile",)),
    ("gumbo", ("gumbo_parse_with_options",)),
    ("zlib", ("inflate", "deflate")),
    ("GCC runtime (libstdc++, libgcc)", ("__gxx_personality_v0", "_Unwind_Resume")),
    ("mingw-w64 runtime", ("_pei386_runtime_relocator", "__mingw_vfprintf")),
    ("winpthreads", ("pthread_mutex_lock", "pthread_once")),
]


def linked_libraries(build):
    """{library: [binaries]} read from the symbol tables of the unstripped binaries."""
    found = {}
    for name in BINARIES:
        symbols = set()
        for line in run([TOOLS + "nm", os.path.join(build, "bin", name)]).decode(errors="replace").splitlines():
            parts = line.split()
            if len(parts) >= 3 and parts[-2] in "TtDdBbRr":
                symbols.add(parts[-1][1:] if parts[-1].startswith("_") else parts[-1])  # 32-bit C names begin with _
        for library, marks in LINKED_LIBRARIES:
            if symbols & set(marks):
                found.setdefault(library, []).append(name)
    return found


def dep5_paragraphs(path):
    return [paragraph for paragraph in read(path).decode("utf-8").split("\n\n") if paragraph.strip()]


def field(paragraph, name):
    match = re.search(rf"^{name}:(.*(?:\n[ \t].*)*)", paragraph, re.M)
    return match.group(1) if match else ""


def dep5_section(path, wanted_files):
    """The paragraphs of a Debian copyright file whose Files: match, with the stand-alone
    License: paragraphs they name."""
    paragraphs = dep5_paragraphs(path)
    chosen = [p for p in paragraphs if p.startswith("Files:") and wanted_files(field(p, "Files").split())]
    names = {field(p, "License").split("\n")[0].strip() for p in chosen}
    texts = [p for p in paragraphs if p.startswith("License:") and field(p, "License").split("\n")[0].strip() in names]
    return "\n\n".join(chosen + texts)


def gcc_runtime_exception():
    text = read("/usr/share/doc/gcc-mingw-w64-base/copyright").decode("utf-8")
    start = text.find("GCC RUNTIME LIBRARY EXCEPTION")
    end = text.find("2. No Weakening of GCC Copyleft.", start)
    end = text.find("\n\n\n", end)
    if start < 0 or end < 0:
        raise DistError("no GCC Runtime Library Exception in /usr/share/doc/gcc-mingw-w64-base/copyright")
    return text[start:end].strip()


def third_party_notices(build):
    found = linked_libraries(build)
    if "PCRE" not in found:
        raise DistError("no PCRE found in the binaries: is the build complete?")
    pcre_source = cache_value(build, "KVL_PCRE_SOURCE")
    mingw = "/usr/share/doc/mingw-w64-common/copyright"
    texts = {
        "PCRE": (f"PCRE {pcre_version(pcre_source)}, the Perl-compatible regular expression library\n"
                 "(https://www.pcre.org/), built with Korvel's changes to its step counting.\n\n"
                 + read(os.path.join(pcre_source, "LICENCE")).decode("utf-8").strip()),
        "gumbo": ("gumbo 0.10.1, Google's HTML5 parser (https://github.com/google/gumbo-parser), built with\n"
                  "Korvel's changes (a tree freed without recursion, no read past the end of the input at a\n"
                  "character reference, a limit on the parser's work).\n\n"
                  + read(os.path.join(cache_value(build, "KVL_GUMBO_SOURCE"), "COPYING")).decode("utf-8").strip()),
        "GCC runtime (libstdc++, libgcc)":
            ("The C++ standard library and the compiler's support library of GCC (MinGW-w64 build).\n"
             "They are under the GNU General Public License, version 3, with the GCC Runtime Library\n"
             "Exception, version 3.1, which permits distributing programs compiled with them under\n"
             "terms of one's choice:\n\n" + gcc_runtime_exception()),
        "mingw-w64 runtime":
            ("The C runtime start-up and support code of the MinGW-w64 project\n"
             "(https://www.mingw-w64.org/). Its licences, as Debian's mingw-w64 package states them:\n\n"
             + dep5_section(mingw, lambda files: files == ["*"] or any(f.startswith("mingw-w64-crt/") for f in files))),
        "winpthreads":
            ("The POSIX threads library of the MinGW-w64 project, used by the C++ runtime.\n\n"
             + dep5_section(mingw, lambda files: any(f.startswith("mingw-w64-libraries/winpthreads/") and
                                                     "tests_pthread" not in f for f in files))),
        "zlib": "zlib (https://zlib.net/)\n\n" + read("/usr/share/doc/libz-mingw-w64/copyright").decode("utf-8"),
    }
    parts = ["THIRD-PARTY NOTICES", "", "Korvel's binaries contain code of the libraries below, linked in when they",
             "were built. Each entry names the binaries that contain it and gives its licence.", ""]
    for number, (library, _) in enumerate((entry for entry in LINKED_LIBRARIES if entry[0] in found), 1):
        parts += ["=" * 78, f"{number}. {library}: in {', '.join(found[library])}", "=" * 78, "", texts[library], ""]
    return windows_lines("\n".join(parts).encode("utf-8"))


def pcre_version(source):
    match = re.search(rb"m4_define\(pcre_major, \[(\d+)\]\).*?m4_define\(pcre_minor, \[(\d+)\]\)",
                      read(os.path.join(source, "configure.ac")), re.S)
    return f"{match.group(1).decode()}.{match.group(2).decode()}" if match else "8"


def changelog_checked(version):
    data = read(os.path.join(ROOT, "CHANGELOG.md"))
    if not re.search(rb"^## \[" + re.escape(version.encode()) + rb"\] - \d{4}-\d{2}-\d{2}$", data, re.M):
        raise DistError(f"CHANGELOG.md has no entry '## [{version}] - DATE'")
    return windows_lines(data)


STYLE = """body { font-family: Segoe UI, Arial, sans-serif; max-width: 52em; margin: 2em auto; padding: 0 1em;
  line-height: 1.5; color: #1f2328; }
code, pre { font-family: Consolas, monospace; background: #f6f8fa; }
code { padding: 0 .2em; }
pre { padding: .8em; overflow-x: auto; }
table { border-collapse: collapse; }
th, td { border: 1px solid #d0d7de; padding: .3em .6em; text-align: left; vertical-align: top; }
h2 { border-bottom: 1px solid #d0d7de; }
img { max-width: 100%; }
nav { margin-bottom: 1.5em; }
"""

INDEX_PAGE = """# Korvel {version}

Korvel is a plug-in for the Zorbel mail client: 131 macros for message templates.
README.txt, beside this folder, says how to install it.

- [The macros](macros.md): every macro with its arguments, defaults, result and an
  example, and an index by task at the top.
- [The dialogs](dialogs.md): the windows the dialog macros open, with pictures.
- [kvlhost](host.md): the stand-in mail client for trying templates without Zorbel.
"""


def render_markdown(markdown):
    """HTML of GitHub-flavoured Markdown (tables, autolinks) by GitHub's own renderer."""
    try:
        done = subprocess.run(["cmark-gfm", "-e", "table", "-e", "autolink", "--to", "html"], input=markdown,
                              capture_output=True, timeout=120)
    except (OSError, subprocess.TimeoutExpired) as error:
        raise DistError(f"cmark-gfm: {error} (scripts/setup.sh installs it)")
    if done.returncode != 0:
        raise DistError(f"cmark-gfm: {done.stderr.decode(errors='replace').strip()}")
    return done.stdout.decode("utf-8")


def heading_slug(inner_html, taken):
    """The anchor GitHub gives a heading: its text in lower case, blanks as '-', other
    punctuation dropped; a repeated one gets -1, -2, ..."""
    text = html.unescape(re.sub(r"<[^>]+>", "", inner_html)).strip().lower()
    base = re.sub(r"[^\w\- ]", "", text).replace(" ", "-")
    slug, n = base, 0
    while slug in taken:
        n += 1
        slug = f"{base}-{n}"
    taken.add(slug)
    return slug


def html_page(markdown, version):
    body = render_markdown(markdown)
    taken = set()
    body = re.sub(r"<h([1-6])>(.*?)</h\1>",
                  lambda m: f'<h{m.group(1)} id="{heading_slug(m.group(2), taken)}">{m.group(2)}</h{m.group(1)}>',
                  body, flags=re.S)
    # Links between the docs go to their HTML pages.
    body = re.sub(r'href="(?![a-z][a-z0-9+.-]*:)([^"#]*)\.md(#[^"]*)?"',
                  lambda m: f'href="{m.group(1)}.html{m.group(2) or ""}"', body)
    title = re.search(r"<h1[^>]*>(.*?)</h1>", body, re.S)
    title = html.unescape(re.sub(r"<[^>]+>", "", title.group(1))) if title else "Korvel"
    return ("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            f"<title>{html.escape(title)} - Korvel {version}</title>\n"
            "<link rel=\"stylesheet\" href=\"style.css\">\n</head>\n<body>\n"
            "<nav><a href=\"index.html\">Korvel documentation</a></nav>\n"
            f"{body}</body>\n</html>\n").encode("utf-8")


def html_docs(version):
    """{name in the package: bytes}: the user docs as HTML pages, their images, a style sheet
    and an entry page."""
    docs = os.path.join(ROOT, "docs")
    pages = {"docs/index.html": html_page(INDEX_PAGE.format(version=version).encode("utf-8"), version),
             "docs/style.css": STYLE.encode("ascii")}
    for name in USER_DOCS:
        pages["docs/" + name[:-3] + ".html"] = html_page(read(os.path.join(docs, name)), version)
    images = os.path.join(docs, "images")
    for name in sorted(os.listdir(images)):
        pages["docs/images/" + name] = read(os.path.join(images, name))
    return pages


def package_files(build, version):
    """(name inside the package, bytes), sorted by name."""
    files = {name: released_binary(build, name) for name in BINARIES}
    files["KVL.ini"] = windows_lines(read(os.path.join(ROOT, "package", "KVL.ini")))
    files["SpecialChars.lst"] = special_chars_list()
    files["README.txt"] = windows_lines(read(os.path.join(ROOT, "package", "README.txt")).replace(
        b"@VERSION@", version.encode("ascii")))
    files["LICENSE.txt"] = windows_lines(read(os.path.join(ROOT, "LICENSE")))
    files["THIRD-PARTY-NOTICES.txt"] = third_party_notices(build)
    files["CHANGELOG.md"] = changelog_checked(version)
    examples = os.path.join(ROOT, "examples")
    for name in sorted(os.listdir(examples)):
        if name.endswith((".tpl", ".eml", ".out", ".csv")):
            files["examples/" + name] = read(os.path.join(examples, name))
    files.update(html_docs(version))
    return sorted(files.items())


def source_seconds():
    """The time the package claims: SOURCE_DATE_EPOCH, else the last commit's time."""
    stamp = os.environ.get("SOURCE_DATE_EPOCH")
    if not stamp:
        done = subprocess.run(["git", "-C", ROOT, "log", "-1", "--format=%ct"], capture_output=True, text=True)
        stamp = done.stdout.strip() if done.returncode == 0 else ""
    return max(int(stamp) if stamp.isdigit() else int(time.time()), 315532800)  # zip times start in 1980


def entry_time():
    return time.gmtime(source_seconds())[:6]


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
        files = package_files(options.build, version)
        write_zip(target, top, files)
        print(f"dist: wrote {os.path.relpath(target)} ({len(files) + 1} files, {os.path.getsize(target)} bytes)")
        return 0
    except (DistError, OSError) as error:
        print(f"dist: {error}", file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
