#!/usr/bin/env python3
"""The domain macros beside Python's encodings.idna (IDNA 2003), through kvlhost batch.

Real internationalised domain names (German, French, Scandinavian, Spanish, Cyrillic,
Greek, Japanese and Chinese) and the samples of RFC 3492 that Python's own codec tests
use, each converted to ACE form with KVL_DomToACE and back with KVL_DomToIDN, and inside
a sentence with KVL_AddrToACE. Each name runs in a locale whose ANSI code page holds it
(1252, 1251 under ru_RU, 1253 under el_GR, 932 under ja_JP). A name that Python refuses
must give the empty text; a Unicode form outside the code page too.

Then the library's loading, with a copy of kvlhost and the plug-in in a folder of their
own: without idn.dll anywhere the macros answer the missing-library error (and an empty
text still the empty text); after idn.dll is put beside the plug-in, the next call of the
same session finds it; and a plug-in in a folder without idn.dll finds the one beside
the program by the system's library search. Exits 1 on any difference.
"""
import os
import shutil
import sys
import tempfile

from test.test_codecs import punycode_testcases

from kvlhost import Session, arguments, batch, finish, mismatches, plugin_copy, run

MISSING = " *** ERROR: IDN.dll not found *** "
DOMAIN_ENDS = '> ,<:/\\()"*#;[]{}|@'

# Words and top-level domains per locale; every word is a label of a real kind of name.
WORDS = {
    "en_US.UTF-8": ("cp1252", [
        # German
        "bücher", "müller", "straße", "größe", "köln", "münchen", "zürich", "düsseldorf", "nürnberg",
        "lübeck", "göttingen", "tübingen", "würzburg", "saarbrücken", "osnabrück", "österreich",
        "fußball", "bäckerei", "gärtnerei", "schön", "grün", "weiß", "möbel", "käse", "ärzte",
        "häuser", "brötchen", "glück", "Müller-Lüdenscheidt", "BÜCHER",
        # French
        "école", "café", "élève", "français", "noël", "hôtel", "crème", "forêt", "garçon", "château",
        "théâtre", "pâtisserie", "façade", "bientôt", "cœur", "mémoire", "québec", "montréal",
        "genève", "besançon", "ÉCOLE",
        # Scandinavian and Icelandic
        "blåbær", "øl", "smörgås", "æble", "ærø", "tromsø", "bodø", "göteborg", "malmö", "västerås",
        "jönköping", "århus", "ålborg", "skåne", "færøerne", "þingvellir", "reykjavík", "ísland",
        "hämeenlinna", "jyväskylä", "åland",
        # Spanish and Portuguese
        "españa", "niño", "año", "mañana", "señor", "coruña", "são-paulo", "açores", "guimarães",
    ], ["de", "com", "fr", "no", "se", "dk", "es", "org"]),
    "ru_RU.UTF-8": ("cp1251", [
        "пример", "москва", "россия", "президент", "правительство", "киев", "украина", "болгария",
        "софия", "новости", "почта", "магазин", "книги", "кремль", "санкт-петербург", "новосибирск",
        "екатеринбург", "казань", "самара", "омск", "погода", "музыка", "спорт", "работа", "банк",
        "такси", "школа", "университет", "больница", "библиотека", "МОСКВА",
    ], ["рф", "испытание", "бг", "укр", "com", "ru"]),
    "el_GR.UTF-8": ("cp1253", [
        "παράδειγμα", "ελλάδα", "αθήνα", "θεσσαλονίκη", "κρήτη", "ρόδος", "κέρκυρα", "ευρώπη",
        "ελληνικά", "θάλασσα", "ήλιος", "καφές", "ταβέρνα", "νησί", "βιβλίο", "μουσική",
        "πανεπιστήμιο", "ειδήσεις", "καιρός", "ΑΘΗΝΑ",
    ], ["δοκιμή", "ελ", "gr", "com"]),
    "ja_JP.UTF-8": ("cp932", [
        "例え", "日本", "東京", "大阪", "京都", "北海道", "沖縄", "富士山", "新聞", "天気", "音楽",
        "大学", "病院", "図書館", "銀行", "郵便", "寿司", "ラーメン", "さくら", "ありがとう",
        "こんにちは", "中国", "北京", "上海", "ｶﾀｶﾅ", "ＡＢＣ",
    ], ["テスト", "jp", "コム", "みんな", "cn"]),
}


def idna_ace(name):
    """Python's ACE form, or "" where its codec refuses the name."""
    try:
        return name.encode("idna").decode("ascii")
    except UnicodeError:
        return ""


def idna_unicode(ace, codepage):
    """Python's Unicode form of an ACE name, or "" where it refuses it or the code page lacks it."""
    try:
        name = ace.encode("ascii").decode("idna")
        name.encode(codepage)
        return name
    except UnicodeError:
        return ""


def names_for(locale):
    codepage, words, tlds = WORDS[locale]
    names = []
    for i, word in enumerate(words):
        names.append(f"{word}.{tlds[i % len(tlds)]}")
        names.append(f"www.{word}.{tlds[(i + 1) % len(tlds)]}")
    # The RFC 3492 samples whose characters the code page holds; some are too long
    # for a label in ACE form, which Python refuses and so must we.
    for sample, _ in punycode_testcases:
        try:
            sample.encode(codepage)
        except UnicodeError:
            continue
        names.append(sample + ".example")
    if locale == "ja_JP.UTF-8":
        # The ideographic, full-width and half-width full stops separate labels as "."
        # does; an ASCII label after one stays as written, as after ".".
        names += ["例え。テスト"] + [f"日本語{dot}{tld}" for dot in "。．｡" for tld in ("jp", "JP")]
    for name in names:
        name.encode(codepage)  # a word outside the code page is a fault of this list
    return names


def cases_for(locale):
    codepage = WORDS[locale][0]
    cases = []
    for name in names_for(locale):
        ace = idna_ace(name)
        if len(ace) > 255:
            ace = ""  # the library's buffer holds 255 characters
        cases.append(("KVL_DomToACE", name, ace))
        if ace:
            cases.append(("KVL_DomToIDN", ace, idna_unicode(ace, codepage)))
            if not any(end in name for end in DOMAIN_ENDS):
                # The "." that ends the sentence belongs to the domain.
                cases.append(("KVL_AddrToACE", f"Mail anna@{name}.", f"Mail anna@{idna_ace(name + '.')}"))
    if locale == "ja_JP.UTF-8":
        # The second bytes of "　" and "ー" in code page 932 are "@" and "[": one character each.
        cases.append(("KVL_AddrToACE", "こんにちは　世界", "こんにちは　世界"))
        cases.append(("KVL_AddrToIDN", "そのスピード　メール <a@xn--4dkp5a8a.jp>",
                      "そのスピード　メール <a@ラーメン.jp>"))
    return cases


def peer_check(host):
    failures, count = [], 0
    for locale in WORDS:
        cases = [(locale, *case) for case in cases_for(locale)]
        failures += mismatches(cases, batch(host, [{"macro": macro, "args": [text]} for _, macro, text, _ in cases],
                                            locale=locale))
        names = sum(1 for case in cases if case[1] == "KVL_DomToACE")
        print(f"{locale}: {names} names, {len(cases)} conversions")
        count += names
    if count < 200:
        failures.append(f"only {count} names checked")
    return failures, count


def loading_check(host):
    """The missing library, a retry that finds it, and the system's search."""
    with tempfile.TemporaryDirectory(prefix="kvl-idn-") as folder:
        program, plugin = os.path.join(folder, "program"), os.path.join(folder, "plugin")
        os.makedirs(program)
        os.makedirs(plugin)
        copied_host = shutil.copy(host, program)
        plugin_path = plugin_copy(host, plugin)
        idn = os.path.join(os.path.dirname(host), "idn.dll")
        with Session(copied_host, "--plugin", plugin_path, cwd=folder, locale="en_US.UTF-8") as session:
            cases = [
                ("KVL_DomToACE", "bücher.de", MISSING),
                ("KVL_DomToIDN", "xn--bcher-kva.de", MISSING),
                ("KVL_DomToACE", "", ""),
                ("KVL_AddrToACE", "a@bücher.de, b@example.org", f"a@{MISSING}, b@{MISSING}"),
                ("KVL_IDNList", "Anna <a@bücher.de>", f'"Anna" <a@{MISSING}>'),
            ]
            failures = mismatches(cases, [session.call(macro, text).get("result") for macro, text, _ in cases])
            # Put beside the plug-in now, the next call finds it.
            shutil.copy(idn, plugin)
            cases = [("KVL_DomToACE", "bücher.de", "xn--bcher-kva.de")]
            failures += mismatches(cases, [session.call(*cases[0][:2]).get("result")])
        # idn.dll beside the program only: the system's library search finds it.
        os.remove(os.path.join(plugin, "idn.dll"))
        shutil.copy(idn, program)
        done = run(copied_host, "call", "--raw", "KVL_DomToIDN", "xn--mller-kva.de", "--plugin", plugin_path,
                   cwd=folder, locale="en_US.UTF-8", timeout=60)
        if done.stdout.decode("utf-8") != "müller.de":
            failures.append(f"idn.dll beside the program: {done.stdout!r} {done.stderr!r}")
    return failures


def main():
    host = os.path.abspath(arguments().kvlhost)
    failures, count = peer_check(host)
    loading = loading_check(host)
    return finish(failures + loading, f"{count} names both ways beside encodings.idna; "
                                      f"loading checks {'failed' if loading else 'passed'}")


if __name__ == "__main__":
    sys.exit(main())
