#!/usr/bin/env python3
"""kvlhost's message reader beside Python's email package, through one kvlhost batch
session per locale.

1. Corpus: every msg_*.txt of Python's own email tests, examples/*.eml,
   tests/data/messages/*.eml and the messages with NUL bytes of NUL_MESSAGES. For each
   message kvlhost's subject, From name and address, first To name and address,
   Message-ID, Date and message text (%SUBJECT,
   %FROMNAME, %FROMADDR, %TONAME, %TOADDR, %MSGID, %DATE, %TEXT) are compared with
   what email.message_from_bytes(raw, policy=email.policy.default) reads, once under
   en_US (code page 1252) and once under ru_RU (1251).
2. Charsets: one message per charset, made here at run time (an RFC 2047 subject and
   a text/plain body in that charset), read under a locale whose ANSI code page holds
   its text (ja_JP 932, zh_CN 936, ...) and under en_US, where a charset left unconverted
   no longer agrees by the coincidence of being the code page's own. A probe per locale
   checks that its code page holds the generated texts.

kvlhost answers in the ANSI code page: a character the code page cannot hold comes
back best-fit ("Ą" -> "A") or as "?", so such characters of Python's reading match any
one character. Every (message, field) on which the two differ is listed in DIFFERENCES
with its reason; an unlisted difference fails, and so does a listed one that agrees now.

Usage: email_peers.py [KVLHOST] [--list]   (--list prints every difference found, listed or not)
"""
import base64
import email
import email.header
import email.policy
import email.utils
import glob
import itertools
import os
import pathlib
import re
import subprocess
import sys
import tempfile
import time
import unicodedata
from concurrent.futures import ThreadPoolExecutor

from kvlhost import ROOT, arguments, batch, finish, message_files, unexplained, windows_path

PYTHON_CORPUS = "/usr/lib/python3.11/test/test_email/data"  # Debian's libpython3.11-testsuite

# Field name -> the host macro that answers it.
FIELDS = {
    "subject": "%SUBJECT", "fromname": "%FROMNAME", "fromaddr": "%FROMADDR", "toname": "%TONAME",
    "toaddr": "%TOADDR", "msgid": "%MSGID", "date": "%DATE", "text": "%TEXT",
}

# Locale -> the Python codec of the ANSI code page Wine gives it.
CODE_PAGES = {
    "en_US.UTF-8": "cp1252", "ru_RU.UTF-8": "cp1251", "ja_JP.UTF-8": "cp932", "zh_CN.UTF-8": "cp936",
    "zh_TW.UTF-8": "cp950", "ko_KR.UTF-8": "cp949", "he_IL.UTF-8": "cp1255", "ar_SA.UTF-8": "cp1256",
    "vi_VN.UTF-8": "cp1258", "lt_LT.UTF-8": "cp1257", "pl_PL.UTF-8": "cp1250", "tr_TR.UTF-8": "cp1254",
    "el_GR.UTF-8": "cp1253",
}
CORPUS_LOCALES = ("en_US.UTF-8", "ru_RU.UTF-8")

# Charset -> (locale to read it in, subject, body, transfer encoding), written in a
# language the charset holds.
GENERATED = {
    "iso-8859-3": ("tr_TR.UTF-8", "Toplantı notları ve gündem",
                   "Pijamalı hasta yağız şoföre çabucak güvendi.\nYarın görüşürüz.", "8bit"),
    "iso-8859-4": ("lt_LT.UTF-8", "Susitikimas ketvirtadienį",
                   "Įlinkdama fechtuotojo špaga sublykčiojusi pragręžė apvalų arbūzą.\nIki pasimatymo.", "base64"),
    "iso-8859-8": ("he_IL.UTF-8", "פגישה ביום שלישי",
                   "דג סקרן שט בים מאוכזב ולפתע מצא חברה.\nנתראה מחר.", "8bit"),
    "iso-8859-13": ("lt_LT.UTF-8", "Sanāksmes „darba kārtība“",
                    "„Glāžšķūņa rūķīši“ dzērumā čiepj Baha koncertflīģeļu vākus.\nUz tikšanos rīt.", "8bit"),
    "iso-8859-16": ("pl_PL.UTF-8", "Spotkanie w przyszłą środę",
                    "Zażółć gęślą jaźń, proszę.\nDo zobaczenia jutro.", "base64"),
    "windows-1256": ("ar_SA.UTF-8", "اجتماع يوم الخميس",
                     "نص حكيم له سر قاطع وذو شأن عظيم مكتوب على ثوب أخضر.\nإلى اللقاء غدا.", "8bit"),
    "windows-1258": ("vi_VN.UTF-8", "Cuộc họp vào thứ Hai",
                     "Chúng tôi sẽ gặp nhau vào thứ Hai tới.\nHẹn gặp lại.", "8bit"),
    "shift_jis": ("ja_JP.UTF-8", "明日の会議について",
                  "明日の会議は午後三時から始まります。\nよろしくお願いします。", "8bit"),
    "euc-jp": ("ja_JP.UTF-8", "来週の予定",
               "来週の予定を確認してください。\nよろしくお願いします。", "base64"),
    "iso-2022-jp": ("ja_JP.UTF-8", "資料の送付",
                    "資料を添付しましたのでご確認ください。\nよろしくお願いします。", "7bit"),
    "gb2312": ("zh_CN.UTF-8", "明天的会议", "我们明天下午三点开会。\n请准时参加。", "8bit"),
    "big5": ("zh_TW.UTF-8", "明天的會議", "我們明天下午三點開會。\n請準時參加。", "base64"),
    "euc-kr": ("ko_KR.UTF-8", "내일 회의 안내", "내일 오후 세 시에 회의가 있습니다.\n감사합니다.", "8bit"),
    "utf-16": ("el_GR.UTF-8", "Συνάντηση αύριο", "Ξεσκεπάζω την ψυχοφθόρα βδελυγμία.\nΤα λέμε αύριο.", "base64"),
    "koi8-r": ("ru_RU.UTF-8", "Повестка совещания",
               "Съешь же ещё этих мягких французских булок, да выпей чаю.\nДо встречи.", "8bit"),
    "windows-1251": ("ru_RU.UTF-8", "Отчёт за неделю",
                     "В чащах юга жил бы цитрус? Да, но фальшивый экземпляр!\nДо встречи.", "base64"),
}

# Messages with NUL bytes, written under these file names (the first one under a name that
# the system takes for its null device unless a file is opened by its literal path).
NUL_MESSAGES = {
    "nul.eml": b"From: A\x00B <a@example.org>\r\nSubject: s\x00ub\x00ject\r\nContent-Type: text/plain\r\n\r\n"
               b"before\x00after\r\nline2\x00\r\n",
    "nul-lf-only.eml": b"From: A\x00B <a@example.org>\nSubject: s\x00ub\n\nbefore\x00after\nline2\x00\n",
    "nul-folded.eml": b"From: Ann <a@example.org>\r\nTo: Bob\r\n \x00Builder <b@example.org>\r\nSubject: folded\r\n"
                      b" \x00line\r\n\r\nbody\r\n",
    "nul-boundary.eml": b"From: a@example.org\r\nContent-Type: multipart/mixed; boundary=\"a\x00b\"\r\n\r\n--a\x00b\r\n"
                        b"Content-Type: text/plain\r\n\r\npart one\r\n--a\x00b--\r\n",
    "nul-encoded-word.eml": b"Subject: =?utf-8?Q?gr=C3=BC=00=C3=9Fe?= =?iso-8859-1?B?AGE=?=\r\n"
                            b"From: =?utf-8?Q?A=00nn?= <a@example.org>\r\n\r\nx\r\n",
    "nul-field-name.eml": b"From: a@example.org\r\nX-\x00: v\r\nSubject: after\r\n\r\nx\r\n",
    "nul-fields.eml": b"From: a@example.org\r\nMessage-ID: <a\x00b@example.org>\r\n"
                      b"Date: Sun, 6 Dec 2026 10:00:00 +0100\x00\r\nTo: b\x00c@example.org\r\n\r\nx\r\n",
    "nul-quoted-printable.eml": b"From: a@example.org\r\nContent-Type: text/plain\r\n"
                                b"Content-Transfer-Encoding: quoted-printable\r\n\r\na=00b\x00c=\r\nd\r\n",
    "nul-base64.eml": b"From: a@example.org\r\nContent-Type: text/plain; charset=utf-8\r\n"
                      b"Content-Transfer-Encoding: base64\r\n\r\nYQBiAMOk\r\n",
}

# (message, field) -> reason, for every locale the message is read in; (message, field,
# locale) -> reason, for that locale only.
DIFFERENCES = {
    ("msg_43.txt", "fromaddr"): "the null address of 'MAILER DAEMON <>' is empty here; Python spells it '<>' "
                                "(a matter of spelling)",
    ("nul-fields.eml", "date"): "a NUL at the end of a field's value is trimmed with the other control "
                                "characters (codes 0-32) here; Python strips only whitespace",
}


# ---------------------------------------------------------------------------------------------
# Python's reading


def first_mailbox(message, old_message, name):
    """(display name, address) of the first mailbox of header `name`."""
    header = message[name]
    if header is None or not header.addresses:
        return "", ""
    mailbox = header.addresses[0]
    display_name = mailbox.display_name
    if not display_name:
        # The old form "addr (Name)": the default policy drops the comment, compat32 reads it
        # as the name, as kvlhost does.
        old_name = email.utils.getaddresses(old_message.get_all(name, []))[0][0]
        display_name = str(email.header.make_header(email.header.decode_header(old_name)))
    return display_name, mailbox.addr_spec


def first_text_part(message):
    """The first text/plain part that is not an attachment; walk() enters message/rfc822 parts."""
    return next((part for part in message.walk() if part.get_content_type() == "text/plain"
                 and part.get_content_disposition() != "attachment"), None)


def part_text(part):
    if part is None:
        return ""
    try:
        return part.get_content()
    except LookupError:  # a charset Python does not know: its bytes as they are
        return part.get_payload(decode=True).decode("latin-1")


def crlf(text):
    return re.sub(r"\r\n|\r|\n", "\r\n", text)


def python_fields(raw):
    """Field -> Python's reading of the message; a field Python cannot read is an exception's name."""
    message = email.message_from_bytes(raw, policy=email.policy.default)
    old_message = email.message_from_bytes(raw, policy=email.policy.compat32)
    readers = {
        "subject": lambda: str(message["subject"] or ""),
        "fromname": lambda: first_mailbox(message, old_message, "from")[0],
        "fromaddr": lambda: first_mailbox(message, old_message, "from")[1],
        "toname": lambda: first_mailbox(message, old_message, "to")[0],
        "toaddr": lambda: first_mailbox(message, old_message, "to")[1],
        "msgid": lambda: str(message["message-id"] or ""),
        # The default policy writes the date anew ("Fri, 04 May ..." without its comment);
        # compat32 keeps it as written, which is what %DATE answers.
        "date": lambda: "".join((old_message["date"] or "").splitlines()).strip(),
        "text": lambda: crlf(part_text(first_text_part(message))),
    }
    fields = {}
    for field, read in readers.items():
        try:
            fields[field] = read()
        except Exception as error:  # noqa: BLE001 - any failure is Python's reading of the field
            fields[field] = f"<Python: {type(error).__name__}: {error}>"
    # Without a text/plain part kvlhost lays out the HTML one; tests/html_peers.py compares that.
    if first_text_part(message) is None and any(p.get_content_type() == "text/html" for p in message.walk()):
        del fields["text"]
    return fields


# ---------------------------------------------------------------------------------------------
# Comparison in the code page


def holds(codec, text):
    try:
        text.encode(codec)
        return True
    except UnicodeEncodeError:
        return False


def pattern_in_code_page(expected, codec):
    """A regular expression for the expected text as the code page hands it back: a character
    the code page cannot hold matches any one character (two for one beyond the BMP)."""
    return re.compile("".join(re.escape(char) if holds(codec, char) else ".{1,2}" if ord(char) > 0xFFFF else "."
                              for char in expected), re.DOTALL)


def agrees(ours, expected, codec):
    return ours is not None and pattern_in_code_page(expected, codec).fullmatch(ours) is not None


# ---------------------------------------------------------------------------------------------
# Generated messages


def in_code_page_form(text, codec):
    """The text as the charset writes it: Vietnamese tones that have no precomposed letter in
    windows-1258 become a base letter and a combining mark."""
    out = ""
    for char in unicodedata.normalize("NFC", text):
        base, *marks = unicodedata.normalize("NFD", char)
        # Keep as many marks on the base as the charset has a letter for, the rest combining.
        keeps = sorted(itertools.product((True, False), repeat=len(marks)), key=lambda keep: -sum(keep))
        forms = [unicodedata.normalize("NFC", base + "".join(m for m, k in zip(marks, keep) if k)) +
                 "".join(m for m, k in zip(marks, keep) if not k) for keep in keeps]
        form = next((form for form in [char, *forms] if holds(codec, form)), None)
        if form is None:
            raise ValueError(f"{codec} cannot hold {char!r}")
        out += form
    return out


def encoded_words(text, charset):
    """The text as RFC 2047 B-encoded words of at most 75 characters, folded."""
    def word(chunk):
        return f"=?{charset}?B?{base64.b64encode(chunk.encode(charset)).decode()}?="
    words, chunk = [], ""
    for char in text:
        if len(word(chunk + char)) > 75 and chunk:
            words.append(word(chunk))
            chunk = ""
        chunk += char
    return "\r\n ".join(words + [word(chunk)])


def generated_message(charset, subject, body, transfer):
    body_bytes = body.replace("\n", "\r\n").encode(charset) + (b"\r\n" if charset != "utf-16" else "\r\n".encode("utf-16-le"))
    encoded = base64.encodebytes(body_bytes).replace(b"\n", b"\r\n") if transfer == "base64" else body_bytes
    head = (f"From: Sender <sender@example.org>\r\n"
            f"To: Recipient <recipient@example.org>\r\n"
            f"Subject: {encoded_words(subject, charset)}\r\n"
            f"Date: Sun, 6 Dec 2026 10:00:00 +0100\r\n"
            f"Message-ID: <{charset}@example.org>\r\n"
            f"MIME-Version: 1.0\r\n"
            f"Content-Type: text/plain; charset=\"{charset}\"\r\n"
            f"Content-Transfer-Encoding: {transfer}\r\n\r\n")
    return head.encode("ascii") + encoded


# ---------------------------------------------------------------------------------------------
# kvlhost


def corpus_files():
    """Message name -> path of the corpus files."""
    files = sorted(glob.glob(os.path.join(PYTHON_CORPUS, "msg_*.txt")))
    if not files:
        raise SystemExit(f"email_peers: no msg_*.txt in {PYTHON_CORPUS} (scripts/setup.sh installs "
                         "libpython3.11-testsuite)")
    return {os.path.basename(path): path for path in files} | {os.path.relpath(path, ROOT): path
                                                                for path in message_files()}


def shown(text, limit=160):
    return repr(text) if text is None or len(text) <= limit else repr(text[:limit]) + "..."


def main():
    options = arguments(list=False)
    started = time.monotonic()

    with tempfile.TemporaryDirectory(prefix="email_peers") as folder:
        paths = corpus_files()
        locales_of = dict.fromkeys(paths, CORPUS_LOCALES)
        for name, raw in NUL_MESSAGES.items():
            paths[name], locales_of[name] = os.path.join(folder, name), CORPUS_LOCALES
            pathlib.Path(paths[name]).write_bytes(raw)
        for charset, (locale, subject, body, transfer) in GENERATED.items():
            codec, name = CODE_PAGES[locale], f"generated {charset}"
            paths[name] = os.path.join(folder, f"{charset}.eml")
            pathlib.Path(paths[name]).write_bytes(generated_message(
                charset, in_code_page_form(subject, codec), in_code_page_form(body, codec), transfer))
            # Under en_US too: an unconverted charset that happens to be the code page's own
            # agrees in its locale, but not here, where its characters come back best-fit or "?".
            locales_of[name] = (locale, "en_US.UTF-8")

        sessions = {}  # locale -> [(name, field, Python's reading)]
        for name, path in paths.items():
            fields = python_fields(pathlib.Path(path).read_bytes())
            for locale in locales_of[name]:
                sessions.setdefault(locale, []).extend((name, field, fields[field]) for field in fields)
        # The code page holds each generated text: a locale that gives another code page shows here.
        probes = {locale: [] for locale in sessions}
        for charset, (locale, subject, body, _) in GENERATED.items():
            probes[locale].append(in_code_page_form(f"{subject} {body}", CODE_PAGES[locale]))

        def run(locale):
            requests = [{"template": FIELDS[field], "message": windows_path(paths[name])}
                        for name, field, _ in sessions[locale]]
            requests += [{"template": "%%".join(text.split("%"))} for text in probes[locale]]
            return locale, batch(options.kvlhost, requests, locale=locale)

        subprocess.run([os.path.join(ROOT, "scripts", "wine-prefix.sh")], check=True, stdout=sys.stderr)
        with ThreadPoolExecutor(max_workers=2) as pool:  # sessions share the prefix made just now
            results = dict(pool.map(run, sorted(sessions)))

    failures, found = [], {}  # (name, field, locale) -> how the two differ
    for locale, cases in sorted(sessions.items()):
        answers = results[locale]
        for (name, field, expected), ours in zip(cases, answers):
            if not agrees(ours, expected, CODE_PAGES[locale]):
                found[name, field, locale] = f"kvlhost {shown(ours)}, Python {shown(expected)}"
        for text, ours in zip(probes[locale], answers[len(cases):]):
            if ours != text:
                failures.append(f"{locale}: the code page does not hold {text[:30]!r}...: {ours[:30]!r}...")
    # A (message, field) entry stands for every locale the message is read in.
    listed = {(*key[:2], locale): reason for key, reason in DIFFERENCES.items()
              for locale in key[2:] or locales_of.get(key[0], ["(a message not read)"])}
    failures += unexplained(found, listed)
    if options.list:
        for key, what in sorted(found.items()):
            print(f"{key} ({'listed' if key in listed else 'NOT LISTED'}): {what}")
    total = sum(len(cases) for cases in sessions.values())
    return finish(failures, f"{len(paths)} messages, {total} fields in {len(sessions)} locales ({len(DIFFERENCES)} "
                            f"listed differences): {len(failures)} failures in {time.monotonic() - started:.1f} s", 60)


if __name__ == "__main__":
    sys.exit(main())
