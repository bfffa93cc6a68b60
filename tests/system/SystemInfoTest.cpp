// The system-information rules and the tone bounds over given values, not this machine's.
#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <tuple>

#include "core/Limits.h"
#include "system/SystemInfo.h"

namespace {

using kvl::MemoryMiB;
using kvl::OsCommonName;
using kvl::ProcessorModelName;
using kvl::UptimeValue;

TEST(SystemInfo, ProcessorModelsOfBothVendors) {
  for (const auto& [vendor, name, model] : std::vector<std::tuple<std::string, std::string, std::string>>{
           {"Intel", "Intel(R) Pentium(R) 4 CPU 3.00GHz", "Pentium 4"},
           {"Intel", "intel(r) celeron(r) cpu 2.4ghz", "Celeron"}, {"Intel", "intel celeron m 1.5", "Celeron M"},
           {"Intel", "intel pentium", "Pentium"}, {"Intel", "intel(r) pentium(r) m processor", "Pentium M"},
           {"Intel", "pentium 2", "Pentium II"}, {"Intel", "pentium ii", "Pentium II"},
           {"Intel", "pentium 3 x", "Pentium III"}, {"Intel", "pentium iii", "Pentium III"},
           {"Intel", "Intel(R) Xeon(TM) CPU 2.80GHz", "Xeon"}, {"AMD", "amd athlon(tm) processor", "Athlon"},
           {"AMD", "amd athlon(tm) 64 processor", "Athlon 64"}, {"AMD", "AMD Athlon(tm) 64 FX-55", "Athlon 64"},
           {"AMD", "amd athlon 64 fx processor", "Athlon 64 FX"}, {"AMD", "amd athlon(tm) mp 2800+", "Athlon MP"},
           {"AMD", "AMD Athlon(TM) XP 2000+", "Athlon XP"}, {"AMD", "amd duron(tm)", "Duron"},
           {"AMD", "amd opteron(tm) processor 248", "Opteron"},
           // The later, more specific row wins; names only count as whole words.
           {"Intel", "mobile pentium m celeron", "Pentium M"}, {"Intel", "pentiumpro", ""},
           {"Intel", "Intel(R) Core(TM) i7-8550U CPU", ""}, {"AMD", "Intel Pentium 4", ""}, {"CyrixInstead", "pentium 4", ""}})
    EXPECT_EQ(ProcessorModelName(vendor, name), model) << name;
  EXPECT_EQ(kvl::ProcessorVendorName(" GenuineIntel "), "Intel");
  EXPECT_EQ(kvl::ProcessorVendorName("AuthenticAMD"), "AMD");
  EXPECT_EQ(kvl::ProcessorVendorName("CentaurHauls "), "CentaurHauls ");
}

TEST(SystemInfo, OperatingSystemNames) {
  struct Version {
    int platform, major, minor, build;
    std::string servicePack, name;
  };
  for (const Version& v : std::vector<Version>{
           {0, 3, 10, 0, "", "3.x"}, {1, 4, 0, 950, "", "95"}, {1, 4, 0, 950, " A ", "95 A"}, {1, 4, 0, 1111, " B", "95 B"},
           {1, 4, 0, 1111, " C", "95"}, {1, 4, 10, 1998, "", "98"}, {1, 4, 10, 2222, " A ", "98 SE"},
           {1, 4, 10, 2222, "b", "98"}, {1, 4, 90, 3000, "", "ME"}, {1, 4, 91, 0, "", ""}, {1, 5, 0, 0, "", ""},
           {2, 3, 51, 1057, "", "NT 3.51"}, {2, 4, 0, 1381, "Service Pack 6", "NT 4"}, {2, 5, 0, 2195, "", "2000"},
           {2, 5, 1, 2257, "", "Whistler"}, {2, 5, 1, 2600, "Service Pack 3", "XP"}, {2, 5, 2, 3790, "", "Server 2003 Web"},
           {2, 5, 2, 3791, "", "Server 2003"}, {2, 5, 3, 0, "", "NT 5"}, {2, 6, 0, 6002, "", "Longhorn"},
           {2, 6, 1, 7601, "", "NT 6"}, {2, 6, 2, 9200, "", "NT 6"}, {2, 10, 0, 19045, "", "NT"}, {3, 5, 1, 0, "", ""}})
    EXPECT_EQ(OsCommonName(v.platform, v.major, v.minor, v.build, v.servicePack), v.name)
        << v.platform << " " << v.major << "." << v.minor << "." << v.build;
  EXPECT_EQ(kvl::OsPlatformFamily(0) + "|" + kvl::OsPlatformFamily(1) + "|" + kvl::OsPlatformFamily(2) + "|" +
                kvl::OsPlatformFamily(3),
            "32s|9x|NT|");
}

TEST(SystemInfo, MemoryInMiBRoundsHalvesToEvenThenAddsOne) {
  constexpr std::uint64_t kMiB = 1024 * 1024;
  for (const auto& [bytes, mib] : std::vector<std::pair<std::uint64_t, std::string>>{
           {1024 * kMiB, "1025"}, {512 * kMiB, "513"}, {0, "1"},
           {kMiB + kMiB / 2, "3"}, {2 * kMiB + kMiB / 2, "3"},  // 1.5 up to 2, 2.5 down to 2
           {2 * kMiB + kMiB / 2 + 1, "4"}, {kMiB + kMiB / 2 - 1, "2"},
           {16ull * 1024 * kMiB, "16385"},  // beyond what 32 bits hold
           {UINT64_MAX, "17592186044417"}})
    EXPECT_EQ(MemoryMiB(bytes), mib) << bytes;
}

TEST(SystemInfo, UptimeCodes) {
  const auto uptime = [](std::uint64_t ms) {
    std::string all;
    for (const char* code : {"$sed$", "$seh$", "$sen$", "$ses$", "$suh$", "$sun$", "$sus$"})
      all += UptimeValue(code, ms) + " ";
    return all;
  };
  EXPECT_EQ(uptime(90061000), "1 25 1501 90061 1 1 1 ");
  EXPECT_EQ(uptime(0), "0 0 0 0 0 0 0 ");
  EXPECT_EQ(uptime(999), "0 0 0 0 0 0 0 ");
  EXPECT_EQ(uptime(1000), "0 0 0 1 0 0 1 ");
  // 50 days do not fit a 32-bit millisecond count.
  EXPECT_EQ(uptime(50ull * 86400000 + 3723000), "50 1201 72062 4323723 1 2 3 ");
  // Halves to even: 46.5 h round to 46, 47.5 h to 48 hours.
  EXPECT_EQ(UptimeValue("$sed$", 46 * 3600000 + 1800000), "1");
  EXPECT_EQ(UptimeValue("$sed$", 47 * 3600000 + 1800000), "2");
  EXPECT_EQ(UptimeValue("$seh$", 58 * 60000 + 30000), "0");
  EXPECT_EQ(UptimeValue("$seh$", 59 * 60000 + 30000), "1");
  EXPECT_EQ(UptimeValue("$sen$", 59500), "1");
  // Within the last half second of a minute the minutes part has counted it already.
  EXPECT_EQ(uptime(59499), "0 0 0 59 0 0 59 ");
  EXPECT_EQ(uptime(59600), "0 0 1 59 0 1 0 ");
  EXPECT_EQ(UptimeValue("$usn$", 1000), "");
}

TEST(SystemInfo, ToneBoundsOnBothSides) {
  for (const auto& [asked, hz] : std::vector<std::pair<std::int32_t, unsigned>>{
           {INT_MIN, 32767}, {-1, 32767}, {0, 37}, {36, 37}, {37, 37}, {38, 38}, {32767, 32767}, {32768, 32767},
           {INT_MAX, 32767}})
    EXPECT_EQ(kvl::ToneFor(asked, 0).frequency, hz) << asked;
  for (const auto& [asked, ms] : std::vector<std::pair<std::int32_t, unsigned>>{
           {INT_MIN, 0}, {-1, 0}, {0, 0}, {1, 1}, {10000, 10000}, {10001, 10000}, {INT_MAX, 10000}})
    EXPECT_EQ(kvl::ToneFor(440, asked).duration, ms) << asked;
}

TEST(SystemInfo, CodeWalk) {
  std::vector<std::string> asked;
  std::map<std::string, std::string> values{{"$clv$", "<$usn$>"}, {"$usn$", "$clv$"}, {"$sus$", "ss"}};
  const auto walk = [&](std::string_view pattern) {
    asked.clear();
    return kvl::ReplaceSysInfoCodes(pattern, [&](std::string_view code) {
      asked.emplace_back(code);
      return values[std::string(code)];
    });
  };
  // Any letter case; what a code inserts is seen by the later codes only.
  EXPECT_EQ(walk("$CLV$ $Usn$ $usn$ $sUS$"), "<$clv$> $clv$ $clv$ ss");
  EXPECT_EQ(asked, (std::vector<std::string>{"$clv$", "$usn$", "$sus$"}));
  EXPECT_EQ(walk("no $codes here: $usn $xyz$ $$ usn$"), "no $codes here: $usn $xyz$ $$ usn$");
  EXPECT_TRUE(asked.empty());
  EXPECT_EQ(walk(""), "");
  EXPECT_EQ(walk("$us$usn$n$"), "$us$clv$n$");
  // Every code once, in table order.
  std::string all;
  for (const std::string_view code : kvl::SysInfoCodes()) all = std::string(code) + all;
  walk(all);
  EXPECT_EQ(asked, std::vector<std::string>(kvl::SysInfoCodes().begin(), kvl::SysInfoCodes().end()));
  EXPECT_EQ(asked.size(), 35u);
  // A big pattern in one pass per code; a result past the cap is refused.
  std::string big;
  for (int i = 0; i < 200000; ++i) big += "$sus$.";
  EXPECT_EQ(walk(big).size(), 200000u * 3);
  values["$sus$"] = std::string(400, 'x');
  EXPECT_THROW(walk(big), kvl::ResultTooLarge);
}

}  // namespace
