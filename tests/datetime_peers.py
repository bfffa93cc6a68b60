#!/usr/bin/env python3
"""The date macros beside Python's datetime and email.utils, through one kvlhost batch.

1. Calendar: ISO week, week of month, day of year, month shifts, day/week/hour spans
   and ages over random dates and date pairs between 1900 and 2100 (datetime,
   isocalendar, timedelta).
2. Mail dates: KVL_TimeParse against email.utils.parsedate_tz on real forms and on
   generated stamps. Where both read a stamp, date and time must agree, and the
   offset too when the zone is numeric or one of the names both know. Every stamp on
   which the two differ is listed in DIFFERENCES with its reason; an unlisted
   difference fails, and so does a listed one that no longer differs.
3. Received headers: KVL_HdrRcvTime on the .eml files of examples/ and tests/data/messages/
   against the Received headers as Python's email package reads them.

kvlhost runs in the en_US locale (M/d/yyyy). Usage: datetime_peers.py [KVLHOST] [--seed N]
[--count N random dates, and as many date pairs] [--stamps N generated mail-date stamps]
"""
import calendar
import datetime
import email
import email.policy
import email.utils
import random
import re
import sys

from kvlhost import arguments, batch, finish, message_files, mismatches, unexplained, windows_path

STAMP_FORMAT = "yyyy-mm-dd hh:nn:ss bbbb"
COMMON_ZONES = {"ut", "utc", "gmt", "z", "ast", "adt", "est", "edt", "cst", "cdt", "mst", "mdt", "pst", "pdt"}

DIFFERENCES = {
    "Tue, 15 Oct 2024 10:00:00": "no zone: a blank must follow the seconds, Python reads it without zone",
    "15 Oct 24 10:00:00 +0100": "two-digit year: not read here, Python takes 2024",
    "15 Oct 99 10:00:00 +0100": "two-digit year: not read here, Python takes 1999",
    "15 October 2024 10:00:00 +0100": "full month name: not read here, Python reads it",
    "Tue, 15 Oct 2024 10:00 +0100": "no seconds: not read here, Python reads 10:00:00",
    "31 Apr 2026 08:18:22 +0100": "a day the month lacks: unreadable here, Python hands back 31 April",
    "29 Feb 2027 08:18:22 +0100": "a day the month lacks: unreadable here, Python hands back 29 February 2027",
    "Tue, 15 Oct 2024 24:00:00 +0100": "hour 24: unreadable here, Python hands back hour 24",
    "Tue, 15 Oct 2024 10.00.00 +0100": "dots between hours and minutes: not read here, Python reads them",
    "Tue, 15-Oct-2024 10:00:00 +0100": "dashes between the date's parts: not read here, Python reads them",
    "Oct 15 2024 10:00:00 +0100": "month before the day: not read here, Python swaps them",
    "Tue,15 Oct 2024 10:00:00 +0100": "no blank after the day name: 'Tue,15' is dropped as a day name here",
}

# Real forms of Date and Received stamps: the ones the two readers agree on, and those of
# DIFFERENCES, which one of the two does not read.
REAL_STAMPS = [
    "Sat, 5 Dec 2026 08:18:22 +0100", "Sat, 05 Dec 2026 08:18:22 +0100 (CET)",
    "Tue, 14 May 2024 09:12:44 +0200 (CEST)", "14 May 2024 09:12:44 -0700", "Mon, 1 Apr 2024 06:00:03 GMT",
    "Wed, 03 Jan 2007 11:22:33 EST", "Wed, 03 Jan 2007 11:22:33 est", "Thu, 4 Jul 2024 23:59:59 EDT",
    "Fri, 29 Mar 2024 16:15:20 +0900 (JST)", "Sun, 6 Dec 2026 00:00:00 +0000 (UTC)",
    "Mon, 4 Nov 2024 23:41:07 -0800 (PST)", "Mon, 04 Nov 2024 23:41:06 PST", "Tue, 15 Oct 2024 10:00:00 PDT",
    "Tue, 15 Oct 2024 10:00:00 MST", "Tue, 15 Oct 2024 10:00:00 MDT", "Tue, 15 Oct 2024 10:00:00 CST",
    "Tue, 15 Oct 2024 10:00:00 CDT", "Tue, 15 Oct 2024 10:00:00 UT", "Tue, 15 Oct 2024 10:00:00 Z",
    "Tue, 15 Oct 2024 10:00:00 UTC", "Tue, 15 Oct 2024 10:00:00 -0000", "Tue, 15 Oct 2024 10:00:00 +0530",
    "Tue, 15 Oct 2024 10:00:00 -0230", "Tue, 15 Oct 2024 10:00:00 +1345", "Tue, 15 Oct 2024 10:00:00 CET",
    "Tue, 15 Oct 2024 10:00:00 MEZ", "29 Feb 2024 12:00:00 +0100", "1 Jan 1970 00:00:00 +0000",
    "31 Dec 2099 23:59:59 -1200", "Thu,  4 Jan 2024 10:00:00 +0100", "TUE, 15 OCT 2024 10:00:00 +0100",
    "Montag, 7 Dec 2026 08:00:00 +0100",
    # Both read these alike, as far as Python knows the zone: Python leaves the offset
    # open for "+01:00" and "BST" (-0300 in the zone table here), and reads no ISO form.
    "Tue, 15 Oct 2024 10:00:00 +01:00", "2024-10-15T10:00:00+01:00", "Tue, 15 Oct 2024 10:00:00 BST",
] + list(DIFFERENCES)


def us_date(day, time=None):
    text = f"{day.month}/{day.day}/{day.year}"
    return text if time is None else f"{text} {time.hour}:{time.minute:02}:{time.second:02}"


def week_of_month(day):
    thursday = day - datetime.timedelta(days=day.weekday()) + datetime.timedelta(days=3)
    return (thursday.day - 1) // 7 + 1


def add_months(day, months):
    index = day.year * 12 + day.month - 1 + months
    year, month = divmod(index, 12)
    return datetime.date(year, month + 1, min(day.day, calendar.monthrange(year, month + 1)[1]))


def age(birth, reference):
    return reference.year - birth.year - ((birth.month, birth.day) > (reference.month, reference.day))


def random_day(rng):
    return datetime.date(1900, 1, 1) + datetime.timedelta(days=rng.randrange(73414))  # to 2100-12-31


def calendar_cases(rng, count):
    """(what, template, expected) for single dates and for date pairs."""
    cases = []
    for _ in range(count):
        day = random_day(rng)
        months = rng.randint(-1200, 1200)
        shifted = add_months(day, months)
        template = (f'%KVL_TimeCalc("{us_date(day)}","",1,"www|ww|x")'
                    f'|%KVL_TimeAdd("{us_date(day)}",{months},"M","yyyy-mm-dd")')
        expected = f"{day.isocalendar()[1]}|{week_of_month(day)}|{day.timetuple().tm_yday}|{shifted.isoformat()}"
        cases.append((f"calendar of {day}", template, expected))
    for _ in range(count):
        first, second = random_day(rng), random_day(rng)
        t1, t2 = (datetime.time(rng.randrange(24), rng.randrange(60), rng.randrange(60)) for _ in range(2))
        span = abs((second - first).days)
        seconds = abs((datetime.datetime.combine(second, t2) - datetime.datetime.combine(first, t1)).total_seconds())
        a, b = us_date(first), us_date(second)
        template = (f'%KVL_TimeDiff("{a}","{b}","D")|%KVL_TimeDiff("{a}","{b}","W")'
                    f'|%KVL_TimeDiff("{us_date(first, t1)}","{us_date(second, t2)}","H")'
                    f'|%KVL_TimeDiff("{us_date(first, t1)}","{us_date(second, t2)}","S")|%KVL_Age("{a}","{b}")')
        expected = f"{span}|{span // 7}|{int(seconds // 3600)}|{int(seconds)}|{age(first, second)}"
        cases.append((f"span from {first} {t1} to {second} {t2}", template, expected))
    return cases


def generated_stamps(rng, count):
    """Stamps of the forms both readers take: numeric zones and the common names."""
    stamps = []
    for _ in range(count):
        moment = datetime.datetime(1970, 1, 1) + datetime.timedelta(seconds=rng.randrange(2145916800))
        day = str(moment.day) if rng.random() < 0.5 else f"{moment.day:02}"
        month = calendar.month_abbr[moment.month]
        month = rng.choice([month, month.upper(), month.lower()])
        if rng.random() < 0.5:
            minutes = rng.choice([0, 60, 120, -300, -420, 330, 345, -150, 540, 600, -600, 780, -720])
            zone = f"{'-' if minutes < 0 else '+'}{abs(minutes) // 60:02}{abs(minutes) % 60:02}"
            if rng.random() < 0.3:
                zone += " (" + rng.choice(["CET", "UTC", "EST", "whatever"]) + ")"
        else:
            zone = rng.choice(sorted(COMMON_ZONES))
            zone = zone.upper() if rng.random() < 0.7 else zone
        weekday = calendar.day_abbr[moment.weekday()] + ", " if rng.random() < 0.7 else ""
        stamps.append(f"{weekday}{day} {month} {moment.year} {moment:%H:%M:%S} {zone}")
    return stamps


def zone_is_comparable(stamp):
    last = stamp.split()[-1].lower() if stamp.split() else ""
    tokens = [token.lower().strip("()") for token in stamp.split()[4:]]
    return bool(re.fullmatch(r"[+-]\d{4}", last)) or any(re.fullmatch(r"[+-]\d{4}", t) for t in tokens) or last in COMMON_ZONES


def python_reading(stamp):
    """'yyyy-mm-dd hh:mm:ss' and the offset as +hhmm (None when unknown), or None."""
    parsed = email.utils.parsedate_tz(stamp)
    if parsed is None:
        return None
    y, mo, d, h, mi, s = parsed[:6]
    text = f"{y:04}-{mo:02}-{d:02} {h:02}:{mi:02}:{s:02}"
    return text, None if parsed[9] is None else offset_text(parsed[9])


def offset_text(seconds):
    minutes = abs(seconds) // 60
    return f"{'-' if seconds < 0 else '+'}{minutes // 60 % 24:02}{minutes % 60:02}"


def compare_stamp(stamp, ours):
    """None when the two agree, else the difference."""
    ours_read = not ours.startswith("1899-12-30 00:00:00")
    theirs = python_reading(stamp)
    if not ours_read and theirs is None:
        return None
    if ours_read != (theirs is not None):
        return f"read here: {ours_read}, by Python: {theirs is not None} ({ours!r} / {theirs!r})"
    value, zone = ours.rsplit(" ", 1)
    if value != theirs[0]:
        return f"value {value} here, {theirs[0]} by Python"
    if theirs[1] is not None and zone_is_comparable(stamp) and zone != theirs[1]:
        return f"zone {zone} here, {theirs[1]} by Python"
    return None


def received_expectations(message):
    """(which, mode, expected) for KVL_HdrRcvTime on the message, from Python's email package."""
    stamps = []  # top-most first
    for value in message.get_all("Received") or []:
        unfolded = " ".join(value.split())
        if ";" in unfolded:
            stamps.append(unfolded.rsplit(";", 1)[1].strip())
    first = next((stamp for stamp in reversed(stamps) if stamp), "")
    last = stamps[0] if stamps else ""
    cases = []
    for which, stamp in ((1, first), (0, last)):
        parsed = email.utils.parsedate_tz(stamp)
        if parsed is None:
            continue
        moment = datetime.datetime(*parsed[:6])
        offset = parsed[9] or 0
        utc = moment - datetime.timedelta(seconds=offset)
        cases += [(which, 1, f"{moment:%Y-%m-%d %H:%M:%S} {offset_text(offset)}"),
                  (which, 0, f"{utc:%Y-%m-%d %H:%M:%S} {offset_text(offset)}")]
    return cases


def main():
    options = arguments(seed=1, count=10000, stamps=300)
    rng = random.Random(options.seed)

    calendar_list = calendar_cases(rng, options.count)
    stamps = REAL_STAMPS + generated_stamps(rng, options.stamps)
    received = []  # (message, which, mode, expected)
    for path in message_files():
        with open(path, "rb") as source:
            message = email.message_from_binary_file(source, policy=email.policy.compat32)
        stamps += [" ".join(value.split()).rsplit(";", 1)[-1].strip()
                   for value in (message.get_all("Date") or []) + (message.get_all("Received") or [])]
        received += [(windows_path(path), *case) for case in received_expectations(message)]

    requests = [{"template": template} for _, template, _ in calendar_list]
    requests += [{"template": f'%KVL_TimeParse("{stamp}",0,"{STAMP_FORMAT}")'} for stamp in stamps]
    requests += [{"template": f'%KVL_HdrRcvTime({which},{mode},"{STAMP_FORMAT}")', "message": path}
                 for path, which, mode, _ in received]
    results = batch(options.kvlhost, requests, timeout=900)
    parsed = results[len(calendar_list):len(calendar_list) + len(stamps)]

    failures = mismatches(calendar_list, results[:len(calendar_list)])
    failures += unexplained({stamp: difference for stamp, result in zip(stamps, parsed)
                             if (difference := compare_stamp(stamp, result))}, DIFFERENCES)
    failures += mismatches(received, results[len(calendar_list) + len(stamps):])
    return finish(failures, f"{len(calendar_list)} calendar cases, {len(stamps)} mail dates ({len(DIFFERENCES)} "
                            f"listed differences), {len(received)} Received stamps: {len(failures)} failures", 50)


if __name__ == "__main__":
    sys.exit(main())
