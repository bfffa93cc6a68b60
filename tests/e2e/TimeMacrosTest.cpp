// The date macros through the exports, in the user locale the test runs under
// (ctest runs this program once in en_US and once in de_DE) and with locale prefixes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/platform.h"
#include "tests/e2e/TestPlugin.h"

namespace {

class TimeMacros : public kvltest::PluginTest {
 protected:
  void SetUp() override {
    const std::string picture = kvl::ReadLocaleTexts(kvl::kUserDefaultLocale).shortDatePicture;
    if (picture == "M/d/yyyy")
      german = false;
    else if (picture == "d.M.yyyy" || picture == "dd.MM.yyyy")
      german = true;
    else
      GTEST_SKIP() << "expectations exist for en_US and de_DE, not for " << picture;
  }

  // A date as the user locale writes it.
  std::string Date(int y, int m, int d) const {
    const std::string ys = std::to_string(y), ms = std::to_string(m), ds = std::to_string(d);
    return german ? ds + "." + ms + "." + ys : ms + "/" + ds + "/" + ys;
  }
  bool german = false;
};

constexpr const char* kStamp = "Sat, 5 Dec 2026 08:18:22 +0100";

TEST_F(TimeMacros, TimeParseRendersMailDates) {
  expectResults({
      {"KVL_TimeParse", {kStamp, "1", "dd.mm.yyyy hh:nn:ss bbbb"}, "05.12.2026 07:18:22 +0100"},
      {"KVL_TimeParse", {kStamp, "0", "dd.mm.yyyy hh:nn:ss bbbb"}, "05.12.2026 08:18:22 +0100"},
      {"KVL_TimeParse", {kStamp, "2", "hh:nn"}, "08:18"},  // only mode 1 converts
      {"KVL_TimeParse", {kStamp, "0", "www/x"}, german ? "49.339" : "49/339"},
      {"KVL_TimeParse", {kStamp, "0", "www//x ww"}, "49/339 1"},
      {"KVL_TimeParse", {kStamp, "0", "dd/mm/yyyy"}, german ? "05.12.2026" : "05/12/2026"},
      {"KVL_TimeParse", {kStamp, "0", "dd//mm//yyyy"}, "05/12/2026"},
      {"KVL_TimeParse", {kStamp}, german ? "5.12.2026 08:18:22" : "12/5/2026 8:18:22 AM"},
      {"KVL_TimeParse", {"Sat, 5 Dec 2026 00:00:00 +0100"}, german ? "5.12.2026" : "12/5/2026"},
      // Unreadable: day 0 with zone 0, rendered like any value.
      {"KVL_TimeParse", {"31 Apr 2026 08:18:22 +0100", "0", "yyyy-mm-dd hh:nn:ss bbbb"}, "1899-12-30 00:00:00 +0000"},
  });
}

TEST_F(TimeMacros, LocalePrefixesSelectThePlatformsNames) {
  const std::string userDay = german ? "Samstag" : "Saturday";
  expectResults({
      {"KVL_TimeParse", {kStamp, "0", "GE$dddd, d. mmmm yyyy"}, "Samstag, 5. Dezember 2026"},
      {"KVL_TimeParse", {kStamp, "0", "FR$dddd d mmmm yyyy"}, "samedi 5 d\xE9" "cembre 2026"},
      {"KVL_TimeParse", {kStamp, "0", "BR$dddddd"}, "Saturday, 5 December 2026"},
      {"KVL_TimeParse", {kStamp, "0", "AM$dddddd"}, "Saturday, December 5, 2026"},
      {"KVL_TimeParse", {kStamp, "0", "AM$"}, "12/5/2026 8:18:22 AM"},
      {"KVL_TimeParse", {kStamp, "0", "GE$"}, "5.12.2026 08:18:22"},
      {"KVL_TimeParse", {kStamp, "0", "BR$c"}, "05/12/2026 08:18:22"},
      {"KVL_TimeParse", {kStamp, "0", "AM$hh:nn ampm"}, "08:18 AM"},
      {"KVL_TimeParse", {kStamp, "0", "FR$dd/mm"}, "05/12"},
      // Unknown letters and "XX" fall back to the user's locale.
      {"KVL_TimeParse", {kStamp, "0", "QQ$dddd"}, userDay}, {"KVL_TimeParse", {kStamp, "0", "XX$dddd"}, userDay},
  });
}

TEST_F(TimeMacros, TimeCalcMovesByZones) {
  const std::string at = Date(2026, 12, 5) + " 08:00:00";
  expectResults({
      {"KVL_TimeCalc", {at, "EST", "0", "yyyy-mm-dd hh:nn"}, "2026-12-05 13:00"},
      {"KVL_TimeCalc", {at, "EST", "1", "yyyy-mm-dd hh:nn"}, "2026-12-05 03:00"},
      {"KVL_TimeCalc", {at, "+0530", "7", "hh:nn"}, "13:30"}, {"KVL_TimeCalc", {at, "nowhere", "0", "hh:nn x"}, "08:00 339"},
      {"KVL_TimeCalc", {Date(2026, 12, 31) + " 23:30", "cet", "1", "yyyy-mm-dd hh:nn"}, "2027-01-01 00:30"},
  });
}

TEST_F(TimeMacros, TimeAddShiftsByUnits) {
  const std::string march = Date(2026, 3, 1), june = Date(2026, 6, 1);
  expectResults({
      {"KVL_TimeAdd", {Date(2026, 1, 31), "1", "M", "yyyy-mm-dd"}, "2026-02-28"},
      {"KVL_TimeAdd", {Date(2024, 2, 29), "1", "y", "yyyy-mm-dd"}, "2025-02-28"},
      {"KVL_TimeAdd", {march, "-1", "D", "yyyy-mm-dd"}, "2026-02-28"},
      {"KVL_TimeAdd", {march, "-1", "whatever", "yyyy-mm-dd"}, "2026-02-28"},
      {"KVL_TimeAdd", {march, "2", "W", "yyyy-mm-dd"}, "2026-03-15"},
      {"KVL_TimeAdd", {march, "25", "h", "yyyy-mm-dd hh:nn"}, "2026-03-02 01:00"},
      {"KVL_TimeAdd", {march, "-1", "n", "yyyy-mm-dd hh:nn:ss"}, "2026-02-28 23:59:00"},
      {"KVL_TimeAdd", {march, "61", "S", "hh:nn:ss"}, "00:01:01"},
      // Texts longer than ten characters are read with their time, shorter ones as dates.
      {"KVL_TimeAdd", {march + " 10:30", "1", "D", "yyyy-mm-dd hh:nn"}, "2026-03-02 10:30"},
      // Past year 9999 or before year 1: the value as it was.
      {"KVL_TimeAdd", {Date(9999, 6, 1), "1", "Y", "yyyy-mm-dd"}, "9999-06-01"},
      {"KVL_TimeAdd", {Date(9998, 6, 1), "1", "Y", "yyyy-mm-dd"}, "9999-06-01"},
      {"KVL_TimeAdd", {june, "-24311", "M", "yyyy-mm-dd"}, "2026-06-01"},
      {"KVL_TimeAdd", {june, "-24300", "M", "yyyy-mm-dd"}, "0001-06-01"},
      {"KVL_TimeAdd", {june, "2147483647", "D", "yyyy-mm-dd"}, "2026-06-01"},
      {"KVL_TimeAdd", {june, "1"}, german ? "2.6.2026" : "6/2/2026"},
  });
}

// Days, weeks, hours and seconds are compared with Python's datetime in datetime_peers.
TEST_F(TimeMacros, TimeDiffMeasuresSpans) {
  const std::string day = Date(2026, 1, 1), twoHours = day + " 2:00", next = Date(2026, 1, 2);
  expectResults({
      {"KVL_TimeDiff", {Date(2025, 1, 1), day, "M"}, "11"}, {"KVL_TimeDiff", {Date(2024, 1, 1), Date(2025, 1, 1), "M"}, "12"},
      {"KVL_TimeDiff", {day, Date(2025, 1, 1)}, "365"}, {"KVL_TimeDiff", {day, next + " 00:01", "X"}, "1 Tag, 1 Minute"},
      {"KVL_TimeDiff", {day, day, "x"}, "0 Sekunden"}, {"KVL_TimeDiff", {day, twoHours, "X"}, "2 Stunden"},
      {"KVL_TimeDiff", {day, twoHours, "X", "d|d|h|h|m|m|s|s|"}, "2h"},
      {"KVL_TimeDiff", {day, next, "D", "d|d|h|h|m|m|s|s"}, kvltest::kValueError},
      {"KVL_TimeDiff", {day, next, "D", "d|d|h|h|m|m|s|s||"}, kvltest::kValueError},
      {"KVL_TimeDiff", {"no date at all"}, "0"},  // one date: measured from today
  });
}

TEST_F(TimeMacros, AgesQuartersAndSeasons) {
  expectResults({
      {"KVL_Age", {Date(2000, 2, 29), Date(2001, 2, 28)}, "0"}, {"KVL_Age", {Date(2000, 2, 29), Date(2001, 3, 1)}, "1"},
      {"KVL_Age", {"garbage"}, "0"}, {"KVL_TimeQuart", {Date(2026, 4, 5), "1"}, "Fr\xFChling"},
      {"KVL_TimeQuart", {Date(2026, 4, 5)}, "2"}, {"KVL_TimeQuart", {Date(2026, 10, 1) + " 10:00", "0"}, "4"},
  });
}

TEST_F(TimeMacros, BeatsAndBias) {
  expectResults({{"KVL_TimeBeats", {Date(2026, 12, 5) + " 11:00:00"}, "500"}, {"KVL_TimeBeats", {"11:00"}, "500"}});
  const std::string now = Call("KVL_TimeBeats");
  EXPECT_EQ(now.size(), 3u);
  EXPECT_EQ(now.find_first_not_of("0123456789"), std::string::npos);
  EXPECT_EQ(Call("KVL_TimeBeats", {"not a time"}).size(), 3u);
  // ctest fixes the zone of each run (TZ); by hand it may be any.
  const char* zone = std::getenv("TZ");
  const std::string bias = Call("KVL_TimeBias");
  const std::string zoneName = zone ? zone : "";
  if (zoneName == "Asia/Kolkata") {
    EXPECT_EQ(bias, "+0530");
  } else if (zoneName == "Etc/GMT+5") {
    EXPECT_EQ(bias, "-0500");
  }
  EXPECT_EQ(bias.size(), 5u);
}

TEST_F(TimeMacros, HdrRcvTimeReadsTheReceivedHeaders) {
  plugin.session.items[243] =
      "Received: from c by d; Sat, 5 Dec 2026 10:00:00 +0100\r\n"
      "received: from x; Sat, 5 Dec 2026 11:11:11 +0100\r\n"
      "Received: from b by c;\r\n\tSat, 5 Dec 2026 09:00:00 -0500 (EST)\r\n"
      "Received: from a (x;y)\r\n  by b; Sat, 5 Dec 2026 08:00:00 +0100\r\n"
      "Received: no semicolon\r\n"
      "Subject: Received: x; y\r\n";
  expectResults({
      {"KVL_HdrRcvTime", {"1", "1", "hh:nn bbbb"}, "08:00 +0100"}, {"KVL_HdrRcvTime", {"0", "1", "hh:nn bbbb"}, "10:00 +0100"},
      {"KVL_HdrRcvTime", {"0", "0", "hh:nn bbbb"}, "09:00 +0100"}, {"KVL_HdrRcvTime", {"1", "0", "hh:nn"}, "07:00"},
      {"KVL_HdrRcvTime", {}, german ? "5.12.2026 09:00:00" : "12/5/2026 9:00:00 AM"},
  });
  plugin.session.items[243] = "From: a\r\nreceived: from x; Sat, 5 Dec 2026 11:11:11 +0100\r\n";
  EXPECT_EQ(Call("KVL_HdrRcvTime", {"1", "0", "yyyy-mm-dd hh:nn:ss bbbb"}), "1899-12-30 00:00:00 +0000");
}

}  // namespace
