// The date macros through the exports, in the user locale the test runs under
// (ctest runs this program once in en_US and once in de_DE) and with locale prefixes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/platform.h"
#include "tests/e2e/TestPlugin.h"

namespace {

const std::string kCountError = " *** ERROR: Wrong parameter count *** ";

class TimeMacros : public ::testing::Test {
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
  std::string Call(const std::string& name, const std::vector<std::string>& args = {}) {
    return plugin.call(name, args);
  }

  bool german = false;
  kvltest::PluginFolder folder;
  kvltest::LoadedPlugin plugin{folder.pluginPath()};
};

constexpr const char* kStamp = "Sat, 5 Dec 2026 08:18:22 +0100";

TEST_F(TimeMacros, TimeParseRendersMailDates) {
  EXPECT_EQ(Call("KVL_TimeParse", {kStamp, "1", "dd.mm.yyyy hh:nn:ss bbbb"}), "05.12.2026 07:18:22 +0100");
  EXPECT_EQ(Call("KVL_TimeParse", {kStamp, "0", "dd.mm.yyyy hh:nn:ss bbbb"}), "05.12.2026 08:18:22 +0100");
  EXPECT_EQ(Call("KVL_TimeParse", {kStamp, "2", "hh:nn"}), "08:18");  // only mode 1 converts
  EXPECT_EQ(Call("KVL_TimeParse", {"5 Dec 2026 08:18:22 EST", "1", "hh:nn bbbb"}), "13:18 -0500");
  EXPECT_EQ(Call("KVL_TimeParse", {kStamp, "0", "www/x"}), german ? "49.339" : "49/339");
  EXPECT_EQ(Call("KVL_TimeParse", {kStamp, "0", "www//x ww"}), "49/339 1");
  EXPECT_EQ(Call("KVL_TimeParse", {kStamp, "0", "dd/mm/yyyy"}), german ? "05.12.2026" : "05/12/2026");
  EXPECT_EQ(Call("KVL_TimeParse", {kStamp, "0", "dd//mm//yyyy"}), "05/12/2026");
  EXPECT_EQ(Call("KVL_TimeParse", {kStamp}), german ? "5.12.2026 08:18:22" : "12/5/2026 8:18:22 AM");
  EXPECT_EQ(Call("KVL_TimeParse", {"Sat, 5 Dec 2026 00:00:00 +0100"}), german ? "5.12.2026" : "12/5/2026");
  // Unreadable: day 0 with zone 0, rendered like any value.
  EXPECT_EQ(Call("KVL_TimeParse", {"31 Apr 2026 08:18:22 +0100", "0", "yyyy-mm-dd hh:nn:ss bbbb"}),
            "1899-12-30 00:00:00 +0000");
  EXPECT_EQ(Call("KVL_TimeParse"), kCountError);
  EXPECT_EQ(Call("KVL_TimeParse", {"a", "0", "", "x"}), kCountError);
}

TEST_F(TimeMacros, LocalePrefixesSelectThePlatformsNames) {
  EXPECT_EQ(Call("KVL_TimeParse", {kStamp, "0", "GE$dddd, d. mmmm yyyy"}), "Samstag, 5. Dezember 2026");
  EXPECT_EQ(Call("KVL_TimeParse", {kStamp, "0", "FR$dddd d mmmm yyyy"}), "samedi 5 d\xE9" "cembre 2026");
  EXPECT_EQ(Call("KVL_TimeParse", {kStamp, "0", "BR$dddddd"}), "Saturday, 5 December 2026");
  EXPECT_EQ(Call("KVL_TimeParse", {kStamp, "0", "AM$dddddd"}), "Saturday, December 5, 2026");
  EXPECT_EQ(Call("KVL_TimeParse", {kStamp, "0", "AM$"}), "12/5/2026 8:18:22 AM");
  EXPECT_EQ(Call("KVL_TimeParse", {kStamp, "0", "GE$"}), "5.12.2026 08:18:22");
  EXPECT_EQ(Call("KVL_TimeParse", {kStamp, "0", "BR$c"}), "05/12/2026 08:18:22");
  EXPECT_EQ(Call("KVL_TimeParse", {kStamp, "0", "AM$hh:nn ampm"}), "08:18 AM");
  EXPECT_EQ(Call("KVL_TimeParse", {kStamp, "0", "FR$dd/mm"}), "05/12");
  // Unknown letters and "XX" fall back to the user's locale.
  EXPECT_EQ(Call("KVL_TimeParse", {kStamp, "0", "QQ$dddd"}), german ? "Samstag" : "Saturday");
  EXPECT_EQ(Call("KVL_TimeParse", {kStamp, "0", "XX$dddd"}), german ? "Samstag" : "Saturday");
}

TEST_F(TimeMacros, TimeCalcMovesByZones) {
  const std::string at = Date(2026, 12, 5) + " 08:00:00";
  EXPECT_EQ(Call("KVL_TimeCalc", {at, "EST", "0", "yyyy-mm-dd hh:nn"}), "2026-12-05 13:00");
  EXPECT_EQ(Call("KVL_TimeCalc", {at, "EST", "1", "yyyy-mm-dd hh:nn"}), "2026-12-05 03:00");
  EXPECT_EQ(Call("KVL_TimeCalc", {at, "+0530", "7", "hh:nn"}), "13:30");
  EXPECT_EQ(Call("KVL_TimeCalc", {at, "nowhere", "0", "hh:nn x"}), "08:00 339");
  EXPECT_EQ(Call("KVL_TimeCalc", {Date(2026, 12, 31) + " 23:30", "cet", "1", "yyyy-mm-dd hh:nn"}), "2027-01-01 00:30");
  EXPECT_EQ(Call("KVL_TimeCalc", {"x"}), kCountError);
}

TEST_F(TimeMacros, TimeAddShiftsByUnits) {
  EXPECT_EQ(Call("KVL_TimeAdd", {Date(2026, 1, 31), "1", "M", "yyyy-mm-dd"}), "2026-02-28");
  EXPECT_EQ(Call("KVL_TimeAdd", {Date(2024, 2, 29), "1", "y", "yyyy-mm-dd"}), "2025-02-28");
  EXPECT_EQ(Call("KVL_TimeAdd", {Date(2026, 3, 1), "-1", "D", "yyyy-mm-dd"}), "2026-02-28");
  EXPECT_EQ(Call("KVL_TimeAdd", {Date(2026, 3, 1), "-1", "whatever", "yyyy-mm-dd"}), "2026-02-28");
  EXPECT_EQ(Call("KVL_TimeAdd", {Date(2026, 3, 1), "2", "W", "yyyy-mm-dd"}), "2026-03-15");
  EXPECT_EQ(Call("KVL_TimeAdd", {Date(2026, 3, 1), "25", "h", "yyyy-mm-dd hh:nn"}), "2026-03-02 01:00");
  EXPECT_EQ(Call("KVL_TimeAdd", {Date(2026, 3, 1), "-1", "n", "yyyy-mm-dd hh:nn:ss"}), "2026-02-28 23:59:00");
  EXPECT_EQ(Call("KVL_TimeAdd", {Date(2026, 3, 1), "61", "S", "hh:nn:ss"}), "00:01:01");
  // Texts longer than ten characters are read with their time, shorter ones as dates.
  EXPECT_EQ(Call("KVL_TimeAdd", {Date(2026, 3, 1) + " 10:30", "1", "D", "yyyy-mm-dd hh:nn"}), "2026-03-02 10:30");
  // Past year 9999 or before year 1: the value as it was.
  EXPECT_EQ(Call("KVL_TimeAdd", {Date(9999, 6, 1), "1", "Y", "yyyy-mm-dd"}), "9999-06-01");
  EXPECT_EQ(Call("KVL_TimeAdd", {Date(9998, 6, 1), "1", "Y", "yyyy-mm-dd"}), "9999-06-01");
  EXPECT_EQ(Call("KVL_TimeAdd", {Date(2026, 6, 1), "-24311", "M", "yyyy-mm-dd"}), "2026-06-01");
  EXPECT_EQ(Call("KVL_TimeAdd", {Date(2026, 6, 1), "-24300", "M", "yyyy-mm-dd"}), "0001-06-01");
  EXPECT_EQ(Call("KVL_TimeAdd", {Date(2026, 6, 1), "2147483647", "D", "yyyy-mm-dd"}), "2026-06-01");
  EXPECT_EQ(Call("KVL_TimeAdd", {Date(2026, 6, 1), "1"}), german ? "2.6.2026" : "6/2/2026");
  EXPECT_EQ(Call("KVL_TimeAdd", {"x"}), kCountError);
}

TEST_F(TimeMacros, TimeDiffMeasuresSpans) {
  EXPECT_EQ(Call("KVL_TimeDiff", {Date(2025, 1, 1), Date(2026, 1, 1), "M"}), "11");
  EXPECT_EQ(Call("KVL_TimeDiff", {Date(2024, 1, 1), Date(2025, 1, 1), "M"}), "12");
  EXPECT_EQ(Call("KVL_TimeDiff", {Date(2026, 1, 1), Date(2025, 1, 1)}), "365");
  EXPECT_EQ(Call("KVL_TimeDiff", {Date(2026, 1, 1), Date(2026, 1, 2) + " 00:01", "X"}), "1 Tag, 1 Minute");
  EXPECT_EQ(Call("KVL_TimeDiff", {Date(2026, 1, 1), Date(2026, 1, 1), "x"}), "0 Sekunden");
  EXPECT_EQ(Call("KVL_TimeDiff", {Date(2026, 1, 1), Date(2026, 1, 1) + " 2:00", "X"}), "2 Stunden");
  EXPECT_EQ(Call("KVL_TimeDiff", {Date(2026, 1, 1), Date(2026, 1, 1) + " 2:00", "X", "d|d|h|h|m|m|s|s|"}), "2h");
  EXPECT_EQ(Call("KVL_TimeDiff", {Date(2026, 1, 1), Date(2026, 1, 1) + " 2:00", "H"}), "2");
  EXPECT_EQ(Call("KVL_TimeDiff", {Date(2026, 1, 1), Date(2026, 1, 1) + " 2:00", "S"}), "7200");
  const std::string valueError = " *** ERROR: Wrong parameter value *** ";
  EXPECT_EQ(Call("KVL_TimeDiff", {Date(2026, 1, 1), Date(2026, 1, 2), "D", "d|d|h|h|m|m|s|s"}), valueError);
  EXPECT_EQ(Call("KVL_TimeDiff", {Date(2026, 1, 1), Date(2026, 1, 2), "D", "d|d|h|h|m|m|s|s||"}), valueError);
  // One date: measured from today.
  EXPECT_EQ(Call("KVL_TimeDiff", {"no date at all"}), "0");
  EXPECT_EQ(Call("KVL_TimeDiff"), kCountError);
}

TEST_F(TimeMacros, AgesQuartersAndSeasons) {
  EXPECT_EQ(Call("KVL_Age", {Date(2000, 2, 29), Date(2001, 2, 28)}), "0");
  EXPECT_EQ(Call("KVL_Age", {Date(2000, 2, 29), Date(2001, 3, 1)}), "1");
  EXPECT_EQ(Call("KVL_Age", {Date(2000, 5, 6), Date(2000, 5, 5)}), "-1");
  EXPECT_EQ(Call("KVL_Age", {"garbage"}), "0");
  EXPECT_EQ(Call("KVL_TimeQuart", {Date(2026, 4, 5), "1"}), "Fr\xFChling");
  EXPECT_EQ(Call("KVL_TimeQuart", {Date(2026, 4, 5)}), "2");
  EXPECT_EQ(Call("KVL_TimeQuart", {Date(2026, 10, 1) + " 10:00", "0"}), "4");
  EXPECT_EQ(Call("KVL_Age"), kCountError);
}

TEST_F(TimeMacros, BeatsAndBias) {
  EXPECT_EQ(Call("KVL_TimeBeats", {Date(2026, 12, 5) + " 11:00:00"}), "500");
  EXPECT_EQ(Call("KVL_TimeBeats", {"11:00"}), "500");
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
  EXPECT_EQ(Call("KVL_TimeBias", {"x"}), kCountError);
}

TEST_F(TimeMacros, HdrRcvTimeReadsTheReceivedHeaders) {
  plugin.session.items[243] =
      "Received: from c by d; Sat, 5 Dec 2026 10:00:00 +0100\r\n"
      "received: from x; Sat, 5 Dec 2026 11:11:11 +0100\r\n"
      "Received: from b by c;\r\n\tSat, 5 Dec 2026 09:00:00 -0500 (EST)\r\n"
      "Received: from a (x;y)\r\n  by b; Sat, 5 Dec 2026 08:00:00 +0100\r\n"
      "Received: no semicolon\r\n"
      "Subject: Received: x; y\r\n";
  EXPECT_EQ(Call("KVL_HdrRcvTime", {"1", "1", "hh:nn bbbb"}), "08:00 +0100");
  EXPECT_EQ(Call("KVL_HdrRcvTime", {"0", "1", "hh:nn bbbb"}), "10:00 +0100");
  EXPECT_EQ(Call("KVL_HdrRcvTime", {"0", "0", "hh:nn bbbb"}), "09:00 +0100");
  EXPECT_EQ(Call("KVL_HdrRcvTime", {"1", "0", "hh:nn"}), "07:00");
  EXPECT_EQ(Call("KVL_HdrRcvTime", {}), german ? "5.12.2026 09:00:00" : "12/5/2026 9:00:00 AM");
  plugin.session.items[243] = "From: a\r\nreceived: from x; Sat, 5 Dec 2026 11:11:11 +0100\r\n";
  EXPECT_EQ(Call("KVL_HdrRcvTime", {"1", "0", "yyyy-mm-dd hh:nn:ss bbbb"}), "1899-12-30 00:00:00 +0000");
  EXPECT_EQ(Call("KVL_HdrRcvTime", {"1", "0", "", "x"}), kCountError);
}

}  // namespace
