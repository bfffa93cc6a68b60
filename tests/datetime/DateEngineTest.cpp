// The date-time engine with fixed conventions: the calendar, mail dates and zones,
// dates read in a locale's order, the format codes and their post-passes.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <tuple>

#include "datetime/DateFormat.h"
#include "datetime/LocalDates.h"
#include "datetime/MailDate.h"
#include "datetime/TimeRules.h"

namespace {

using namespace kvl::datetime;

DateLocale MakeLocale(bool german) {
  DateLocale locale;
  kvl::LocaleTexts& t = locale.texts;
  t.monthNames = {"January", "February", "March", "April", "May", "June",
                  "July", "August", "September", "October", "November", "December"};
  for (int n = 0; n < 12; ++n) t.monthAbbreviations[n] = t.monthNames[n].substr(0, 3);
  t.dayNames = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  for (int n = 0; n < 7; ++n) t.dayAbbreviations[n] = t.dayNames[n].substr(0, 3);
  t.dateSeparator = german ? "." : "/";
  t.timeSeparator = ":";
  t.decimalSeparator = german ? "," : ".";
  t.amDesignator = german ? "vorm." : "AM";
  t.pmDesignator = german ? "nachm." : "PM";
  t.eraName = "AD";
  t.eraAbbreviation = "A";
  t.shortDatePicture = german ? "dd.MM.yyyy" : "M/d/yyyy";
  t.longDatePicture = german ? "dddd, d. MMMM yyyy" : "dddd, MMMM d, yyyy";
  t.shortTimePicture = german ? "HH:mm" : "h:mm tt";
  t.longTimePicture = german ? "HH:mm:ss" : "h:mm:ss tt";
  locale.shortDateFormat = PictureToFormat(t.shortDatePicture);
  locale.longDateFormat = PictureToFormat(t.longDatePicture);
  locale.shortTimeFormat = PictureToFormat(t.shortTimePicture);
  locale.longTimeFormat = PictureToFormat(t.longTimePicture);
  locale.order = OrderOfPicture(t.shortDatePicture);
  return locale;
}

const DateLocale kUs = MakeLocale(false);
const DateLocale kGerman = MakeLocale(true);

DateTimeValue At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  return EncodeDateTime({y, mo, d}, {h, mi, s, ms}).value();
}

std::string Render(DateTimeValue value, std::string_view pattern, const DateLocale& locale = kUs) {
  return RenderDateTime(Decode(value), pattern, locale);
}

TEST(DateEngine, CalendarDaysAndTheLinearCount) {
  EXPECT_EQ(At(1899, 12, 30), 0.0);
  EXPECT_EQ(At(2026, 12, 5), 46361.0);
  EXPECT_EQ(At(1, 1, 1), -693593.0);
  EXPECT_FALSE(EncodeDateTime({2027, 2, 29}));
  EXPECT_TRUE(EncodeDateTime({2028, 2, 29}));
  EXPECT_FALSE(EncodeDateTime({10000, 1, 1}));
  EXPECT_FALSE(EncodeDateTime({0, 12, 31}));
  // Before 30 December 1899 the fraction still runs forward: 29 December 06:00 is -1.25,
  // and an hour later is -1.2916..., not -1.2083....
  EXPECT_DOUBLE_EQ(At(1899, 12, 29, 6), -1.25);
  const DateTimeParts later = Decode(ShiftDays(At(1899, 12, 29, 6), 1.0 / 24));
  EXPECT_EQ(later.time.hour, 7);
  EXPECT_EQ(Decode(ShiftDays(At(1899, 12, 30, 1), -2.0 / 24)).date.day, 29);
  EXPECT_EQ(Decode(ShiftDays(At(1899, 12, 30, 1), -2.0 / 24)).time.hour, 23);
  // Rounding to the millisecond carries into the next day instead of hour 24.
  const DateTimeParts carried = Decode(At(2026, 12, 5) + 0.9999999999);
  EXPECT_EQ(carried.date.day, 6);
  EXPECT_EQ(carried.time.hour, 0);
  EXPECT_EQ(Decode(At(2026, 12, 5)).dayOfWeek, 7);  // Saturday
  // Garbage values read as day 0.
  EXPECT_EQ(Decode(1e300).date.year, 1899);
}

// ISO weeks, weeks of the month, days of the year and month shifts between 1900 and
// 2100 are compared with Python's datetime in datetime_peers; here their far ends.
TEST(DateEngine, MonthShiftsKeepTheDayOrTakeTheLastOne) {
  EXPECT_EQ(AddMonths(At(2026, 1, 31, 8, 30), 1), At(2026, 2, 28, 8, 30));  // the time of day stays
  EXPECT_EQ(AddMonths(At(9999, 12, 1), 0), At(9999, 12, 1));
  EXPECT_FALSE(AddMonths(At(9999, 12, 1), 1));
  EXPECT_FALSE(AddMonths(At(1, 1, 1), -1));
  EXPECT_EQ(ShiftByUnit(At(2026, 6, 1), -2147483647, SpanUnit::Weeks), At(2026, 6, 1));
  EXPECT_EQ(ShiftByUnit(At(9999, 12, 31, 23), 1, SpanUnit::Hours), At(9999, 12, 31, 23));
  EXPECT_EQ(Decode(ShiftByUnit(At(9999, 12, 31, 22), 1, SpanUnit::Hours)).time.hour, 23);
  EXPECT_EQ(Decode(ShiftByUnit(At(2026, 12, 5), -1, SpanUnit::Seconds)).time.second, 59);
}

TEST(DateEngine, MailDatesAndZones) {
  std::int32_t zone = 0;
  EXPECT_EQ(ParseMailDate("Sat, 05 Dec 2026 08:18:22 +0100", zone), At(2026, 12, 5, 8, 18, 22));
  EXPECT_EQ(zone, 60);
  EXPECT_EQ(ParseMailDate("  5 DEC 2026 08:18:22 EST", zone), At(2026, 12, 5, 8, 18, 22));
  EXPECT_EQ(zone, -300);
  EXPECT_EQ(ParseMailDate("Montag, 7 dec 2026 00:00:00 xyz", zone), At(2026, 12, 7));
  EXPECT_EQ(zone, 0);  // an unknown zone does not fail the date
  // Forms that Python would read the same way, should this reader ever take them (no zone,
  // month names, no seconds, no blank after the comma), are listed differences of
  // datetime_peers, which fails once they agree.
  for (const char* unreadable :
       {"05 Dec 26 08:18:22 +0100", "31 Apr 2026 08:18:22 +0100", "29 Feb 2027 08:18:22 +0100",
        "0 Dec 2026 08:18:22 +0100", "32 Dec 2026 08:18:22 +0100", "5 Dec 999 08:18:22 +0100",
        "5 Dec 2026 24:00:00 +0100", "5 Dec 2026 08:60:00 +0100", "5 Dec 2026 08:18:60 +0100",
        "5 Dec 2026 08:1x:22 +0100", "", "Sat,"}) {
    zone = 77;
    EXPECT_EQ(ParseMailDate(unreadable, zone), 0.0) << unreadable;
    EXPECT_EQ(zone, 77) << unreadable;
  }
  EXPECT_EQ(ParseMailDate("29 Feb 2028 23:59:59 -0000", zone), At(2028, 2, 29, 23, 59, 59));
  EXPECT_EQ(ParseMailDate("1 Jan 1000 00:00:00 +0000", zone), At(1000, 1, 1));
  EXPECT_EQ(ParseMailDate("31 Dec 9999 00:00:00 +0000", zone), At(9999, 12, 31));
  EXPECT_EQ(ParseMailDate("1 Jan 10000 00:00:00 +0000", zone), 0.0);

  const std::pair<const char*, std::int32_t> zones[] = {
      {"(MEZ)", 60},  {"CEST)", 120}, {"+0530", 330}, {"-0230", -150}, {"+0100 (CET)", 60}, {"+01", 0},
      {"+010", 0},    {"-0100", -60}, {"+01:00", 0},  {"+0-10", 0},    {"bst", -180},        {"GST", -180},
      {"nst", -210},  {"hst", -600},  {"nzdt", 780},  {"be.t", -660},  {"idlw", -720},       {"gmt", 0},
      {"utc", 0},     {"ut", 0},      {"z", 0},       {"cet (central)", 0}, {"( cet)", 0},   {"", 0}};
  for (const auto& [zone, minutes] : zones) EXPECT_EQ(ZoneOffsetMinutes(zone), minutes) << zone;
}

// A text read in a locale's order (the current year given), and what it must give.
struct LocalCase {
  const char* text;
  const DateLocale& locale;
  int year;
  DateTimeValue value;
};

TEST(DateEngine, LocalDatesFollowTheLocaleOrderAndWindow) {
  const DateTimeValue dflt = -7;
  DateLocale yearFirst = kUs;
  yearFirst.order = DateOrder::YearMonthDay;
  const DateTimeValue fifth = At(2026, 12, 5), later = At(2030, 12, 5);
  for (const LocalCase& c : {LocalCase{"5.12.2026", kGerman, 2026, fifth}, {" 5 . 12 . 2026 ", kGerman, 2026, fifth},
                             {"5.12.", kGerman, 2030, later}, {"5.12", kGerman, 2030, later}, {"12/5", kUs, 2030, later},
                             {"12/5/2026", kUs, 2026, fifth}, {"2026/12/5", yearFirst, 2026, fifth},
                             {"12/5", yearFirst, 2026, fifth},
                             // One- and two-digit years fall in the hundred years from fifty years ago.
                             {"1.1.75", kGerman, 2026, At(2075, 1, 1)}, {"1.1.76", kGerman, 2026, At(1976, 1, 1)},
                             {"1.1.5", kGerman, 2026, At(2005, 1, 1)}, {"1.1.075", kGerman, 2026, At(75, 1, 1)}})
    EXPECT_EQ(ReadDate(c.text, dflt, c.locale, c.year), c.value) << c.text;
  for (const char* bad : {"12/5/2026", "31.4.2026", "29.2.2027", "5.12.2026 8:00", "5", "5..12", "", "x"})
    EXPECT_EQ(ReadDate(bad, dflt, kGerman, 2026), dflt) << bad;
}

TEST(DateEngine, LocalTimesWithDesignatorsAndMilliseconds) {
  const DateTimeValue dflt = -7;
  for (const LocalCase& c : {LocalCase{"5.12.2026 08:18:22 +0100", kGerman, 2026, At(2026, 12, 5, 8, 18, 22)},
                             {"5.12.2026 8:18:22,250", kGerman, 2026, At(2026, 12, 5, 8, 18, 22, 250)},
                             {"5.12. 8:18", kGerman, 2030, At(2030, 12, 5, 8, 18)}, {"5.12.2026", kGerman, 2026, At(2026, 12, 5)},
                             {"12/5/2026 8:18 PM", kUs, 2026, At(2026, 12, 5, 20, 18)},
                             {"12/5/2026 pm 8", kUs, 2026, At(2026, 12, 5, 20)}, {"12/5/2026 12:00 AM", kUs, 2026, At(2026, 12, 5, 0)},
                             {"12/5/2026 12:00 PM", kUs, 2026, At(2026, 12, 5, 12)},
                             {"5.12.2026 8:00 nachm.", kGerman, 2026, At(2026, 12, 5, 20)},
                             // A time alone has day 0 and must fill the text.
                             {"8:18", kUs, 2026, At(1899, 12, 30, 8, 18)}, {"11 PM", kUs, 2026, At(1899, 12, 30, 23)}})
    EXPECT_EQ(ReadDateTime(c.text, dflt, c.locale, c.year), c.value) << c.text;
  for (const char* bad : {"8:18 x", "13 PM", "0 AM", "24:00", "8:60", "8:00:60", "8:00:00.1000", "8:", "12/5/2026 x"})
    EXPECT_EQ(ReadDateTime(bad, dflt, kUs, 2026), dflt) << bad;
}

TEST(DateEngine, FormatCodes) {
  const DateTimeValue morning = At(2026, 12, 5, 8, 8, 2, 7);
  const DateTimeValue evening = At(2026, 3, 1, 20, 18, 22, 250);
  const std::tuple<DateTimeValue, const char*, const char*> cases[] = {
      {morning, "d dd ddd dddd", "5 05 Sat Saturday"},
      {morning, "ddddd|dddddd|ddddddd", "12/5/2026|Saturday, December 5, 2026|Saturday, December 5, 2026"},
      {morning, "m mm mmm mmmm mmmmm", "12 12 Dec December December"}, {morning, "y yy yyy yyyy", "26 26 2026 2026"},
      {morning, "h hh n nn nnn s ss z zz zzz zzzz", "8 08 8 08 08 2 02 7 07 007 007"},
      // "m" is minutes right after an hour code, letters between or not; months otherwise.
      {morning, "hh:mm", "08:08"}, {morning, "h.m", "8.8"}, {evening, "hh:mm:mm", "20:18:03"},
      {evening, "hh q mm", "20 q 03"}, {evening, "hh mmm", "20 Mar"},
      // The 12-hour clock when an am/pm code follows before the next hour code.
      {evening, "h am/pm h", "8 pm 20"}, {evening, "h:nn AM/PM|a/p|A/P|ampm", "8:18 PM|p|P|PM"},
      {At(2026, 1, 1, 0, 5), "h:nn a/p", "12:05 a"}, {At(2026, 1, 1, 12, 5), "hh:nn am/pm", "12:05 pm"},
      {evening, "h 'am/pm' \"a/p\"", "20 am/pm a/p"}, {evening, "aaa aaaa ab", "Sun Sunday ab"},
      {At(2026, 3, 1), "c", "3/1/2026"}, {At(2026, 3, 1, 0, 0, 0, 1), "c", "3/1/2026 12:00:00 AM"},
      {evening, "'dd' \"it's\" 'unclosed d", "dd it's unclosed d"}, {evening, "g gg e ee", "A AD 2026 2026"},
      {At(5, 1, 1), "yyyy yy ee", "0005 05 05"}, {evening, "#1 q w x b!", "#1 q w x b!"}};
  for (const auto& [value, pattern, rendered] : cases) EXPECT_EQ(Render(value, pattern), rendered) << pattern;
  EXPECT_EQ(Render(evening, "t|tt|c", kGerman), "20:18|20:18:22|01.03.2026 20:18:22");
  EXPECT_EQ(Render(evening, "dd/mm/yyyy hh:nn", kGerman), "01.03.2026 20:18");
}

TEST(DateEngine, RenderingStopsAt256CharactersInLinearTime) {
  const DateTimeValue value = At(2026, 12, 5, 8, 18, 22);
  EXPECT_EQ(Render(value, std::string(256, '-')).size(), 256u);
  EXPECT_EQ(Render(value, std::string(257, '-')).size(), 256u);
  EXPECT_EQ(Render(value, std::string(248, '#') + "dddd").substr(248), "Saturday");
  EXPECT_EQ(Render(value, std::string(250, '#') + "dddd").substr(250), "Saturd");
  // Patterns that render nothing for most of their length: each hour code's search ends
  // at the next one, so a few megabytes take milliseconds.
  std::string pattern;
  for (int n = 0; n < 400'000; ++n) pattern += "h''";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Render(value, pattern).size(), 256u);
  std::string quiet;
  for (int n = 0; n < 1'000'000; ++n) quiet += "''";
  quiet += "ddd";
  EXPECT_EQ(Render(value, quiet), "Sat");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(DateEngine, PostPassesAndPrefixes) {
  for (const auto& [pattern, minutes, text] : {std::tuple{"hh BBBB bBbB", 60, "hh +0100 +0100"}, {"bbbb", -300, "-0500"},
                                               {"bbbb", 330, "+0530"}, {"bbbb", -5999, "-0359"},  // hours modulo 24
                                               {"bbb", 60, "bbb"}})
    EXPECT_EQ(ZoneToken(pattern, minutes), text) << pattern << " " << minutes;
  EXPECT_EQ(ExpandDateTokens("www ww x WWW X xx", {2027, 1, 1}), "53 5 1 WWW X 11");
  EXPECT_EQ(ExpandDateTokens("wwww", {2026, 12, 31}), "53w");
  for (const auto& [prefix, id] : {std::pair{"ge", 1031u}, {"BR", 2057u}, {"XX", 0u}, {"ZZ", 1024u}, {"Q1", 1024u}})
    EXPECT_EQ(LocalePrefixId(prefix), id) << prefix;
}

TEST(DateEngine, SpansAndSpelledDistances) {
  EXPECT_EQ(SpanInUnits(At(2026, 1, 1), At(2025, 1, 1), SpanUnit::Years), 0);
  EXPECT_EQ(SpanInUnits(At(2024, 1, 1), At(2025, 1, 1, 6), SpanUnit::Years), 1);
  EXPECT_EQ(SpanInUnits(At(2026, 1, 1), At(2026, 1, 14), SpanUnit::Weeks), 1);
  EXPECT_EQ(SpanInUnits(At(2026, 1, 1), At(2026, 1, 15), SpanUnit::Weeks), 2);
  EXPECT_EQ(SpanInUnits(At(2026, 1, 1), At(2026, 1, 2, 1, 30), SpanUnit::Hours), 25);
  EXPECT_EQ(SpanInUnits(At(2026, 1, 1), At(2026, 1, 1, 1, 30), SpanUnit::Minutes), 90);
  EXPECT_EQ(SpanInUnits(At(1850, 1, 1, 6), At(1850, 1, 1, 18), SpanUnit::Hours), 12);
  // Each value is rounded to the second first, a half to the even second.
  EXPECT_EQ(SecondsBetween(At(2026, 1, 1, 0, 0, 0, 500), At(2026, 1, 1, 0, 0, 2, 500)), 2);
  EXPECT_EQ(SecondsBetween(At(2026, 1, 1, 0, 0, 1, 500), At(2026, 1, 1)), 2);
  const std::string words = " Tag| Tage| Stunde| Stunden| Minute| Minuten| Sekunde| Sekunden|, ";
  EXPECT_EQ(SpelledSpan(2 * 86400 + 3600 + 120 + 1, words), "2 Tage, 1 Stunde, 2 Minuten, 1 Sekunde");
  EXPECT_EQ(SpelledSpan(59, "d|d|h|h|m|m|s|s|"), "59s");
}

TEST(DateEngine, BeatsBiasSeasons) {
  for (const auto& [value, beats] : {std::pair{At(2026, 12, 5, 23, 0, 43), "000"}, {At(2026, 12, 5, 23, 0, 44), "000"},
                                     {At(2026, 12, 5, 22, 59, 59), "999"}, {At(2026, 12, 5, 0, 0, 44), "042"}})
    EXPECT_EQ(Beats(value), beats);
  for (const auto& [bias, text] : {std::pair<kvl::TimeZoneState, const char*>{{-60, -60, true}, "+0200"}, {{-60, -60, false}, "+0100"},
                                   {{300, -60, false}, "-0500"}, {{-330, 0, false}, "+0530"}, {{0, -60, false}, "+0000"}})
    EXPECT_EQ(BiasText(bias), text);
  // Each season's first day and the day before it.
  const std::pair<CivilDate, const char*> seasons[] = {
      {{2026, 3, 20}, "Winter"}, {{2026, 3, 21}, "Fr\xFChling"}, {{2026, 6, 21}, "Sommer"}, {{2026, 9, 22}, "Sommer"},
      {{2026, 9, 23}, "Herbst"}, {{2026, 12, 20}, "Herbst"},    {{2026, 12, 21}, "Winter"}};
  for (const auto& [date, season] : seasons) EXPECT_EQ(SeasonName(date), season) << date.month << "/" << date.day;
  EXPECT_EQ(QuarterOf({2026, 3, 31}), "1");
  EXPECT_EQ(QuarterOf({2026, 4, 1}), "2");
}

// A whole header block is read through KVL_HdrRcvTime (TimeMacrosTest).
TEST(DateEngine, ReceivedStamps) {
  EXPECT_EQ(UnfoldHeaderBlock("a\r\n\tb  c\n\n d\r\n"), "a b c\n d \n\n");
  // The first server's stamp is the first non-empty one from the bottom.
  EXPECT_EQ(ReceivedStamp("Received: a; x\nReceived: b;  \n", true), "x");
  EXPECT_EQ(ReceivedStamp("Received: a; x\nReceived: b;  \n", false), "x");
  EXPECT_EQ(ReceivedStamp("Received: b;\nReceived: a; x\n", false), "");
  EXPECT_EQ(ReceivedStamp("Received:x; y", false), "");
}

}  // namespace
