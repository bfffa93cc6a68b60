// System information, administrator rights, tones and name lookups through the
// exports, beside what the platform itself reports to the test.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <regex>

#include "core/TextUtil.h"
#include "tests/e2e/TestPlugin.h"

namespace {

class SysInfoMacros : public kvltest::PluginTest {
 protected:
  std::string info(const std::string& pattern) { return plugin.call("KVL_SysInfo", {pattern}); }
};

bool IsNumber(const std::string& text) { return std::regex_match(text, std::regex("[0-9]+")); }

// No count error: no pattern is the empty pattern, further arguments are ignored.
TEST_F(SysInfoMacros, FurtherArgumentsAreIgnored) {
  expectResults({{"KVL_SysInfo", {}, ""}, {"KVL_SysInfo", {"a $x$", "$usn$", "3"}, "a $x$"}});
}

TEST_F(SysInfoMacros, NamesAndNumbersAsThePlatformReportsThem) {
  std::array<char, 300> user{}, computer{};
  DWORD userSize = user.size(), computerSize = computer.size();
  ASSERT_TRUE(GetUserNameA(user.data(), &userSize));
  ASSERT_TRUE(GetComputerNameA(computer.data(), &computerSize));
  EXPECT_EQ(info("User $usn$ on $PCN$"), std::string("User ") + user.data() + " on " + computer.data());
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  EXPECT_EQ(info("$cnr$/$CTP$/$clv$"), std::to_string(system.dwNumberOfProcessors) + "/" +
                                           std::to_string(system.dwProcessorType) + "/" +
                                           std::to_string(system.wProcessorLevel));
  MEMORYSTATUSEX memory{};
  memory.dwLength = sizeof memory;
  ASSERT_TRUE(GlobalMemoryStatusEx(&memory));
  EXPECT_EQ(info("$mtp$"), std::to_string((memory.ullTotalPhys + 512 * 1024) / (1024 * 1024) + 1));
  EXPECT_EQ(info("$mtv$"), std::to_string((memory.ullTotalVirtual + 512 * 1024) / (1024 * 1024) + 1));
  const ULONGLONG before = GetTickCount64() / 1000;
  const std::string seconds = info("$ses$");
  EXPECT_LE(before, std::stoull(seconds));
  EXPECT_LE(std::stoull(seconds), GetTickCount64() / 1000);
}

// Every code answers something, and the numbers are numbers.
TEST_F(SysInfoMacros, EveryCodeAnswersUnderWine) {
  for (const char* code : {"$clv$", "$cnr$", "$crv$", "$csp$", "$ctp$", "$map$", "$maf$", "$mav$", "$mml$", "$mtf$",
                           "$mtp$", "$mtv$", "$wvm$", "$wvs$", "$wvb$", "$sed$", "$seh$", "$sen$", "$ses$", "$suh$",
                           "$sun$", "$sus$"})
    EXPECT_TRUE(IsNumber(info(code))) << code << " = " << info(code);
  // Wine knows no name for this machine's address, so "$lhn$" may be empty here.
  for (const char* code : {"$cns$", "$cvn$", "$lip$", "$pcn$", "$tsn$", "$usn$", "$wcn$"})
    EXPECT_NE(info(code), "") << code;
  EXPECT_EQ(info("$osp$"), "NT");
  EXPECT_TRUE(std::regex_match(info("$lip$"), std::regex("[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+"))) << info("$lip$");
  const std::string cns = info("$cns$");
  EXPECT_EQ(cns, kvl::AsciiLowered(cns));
  TIME_ZONE_INFORMATION zone{};
  const DWORD kind = GetTimeZoneInformation(&zone);
  EXPECT_EQ(info("$tzn$"), kind == TIME_ZONE_ID_STANDARD ? "Normalzeit" : kind == TIME_ZONE_ID_DAYLIGHT ? "Sommerzeit" : "");
  EXPECT_TRUE(std::stoi(info("$mml$")) <= 100);
}

TEST_F(SysInfoMacros, BeepReturnsAfterAShortTone) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(plugin.call("KVL_Beep", {"10", "30"}), "");
  EXPECT_EQ(plugin.call("KVL_Beep", {"-5", "-100"}), "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(SysInfoMacros, LookupsOfThisMachine) {
  expectResults({
      {"KVL_Host2IP", {"LocalHost"}, "127.0.0.1"}, {"KVL_Host2IP", {""}, info("$lip$")},
      {"KVL_IP2Host", {"127.0.0.1"}, "localhost"}, {"KVL_IP2Host", {"127.5.5.5"}, "localhost"},
      {"KVL_IP2Host", {}, info("$lhn$")}, {"KVL_IP2Host", {" "}, info("$lhn$")},
      // Not resolvable, not an address, longer than any host name.
      {"KVL_Host2IP", {"no-such-host.invalid"}, ""}, {"KVL_IP2Host", {"abc"}, ""},
      {"KVL_Host2IP", {std::string(256, 'a')}, ""}, {"KVL_Host2IP", {std::string("local\0host", 10)}, ""},
  });
}

// Ten look-ups fit one outermost call; the eleventh ends it (an unanswered network
// makes each one wait). A local address needs no look-up.
TEST_F(SysInfoMacros, LookupsShareTheCallsBudget) {
  std::string addresses, names;
  for (int i = 0; i < 11; ++i) {
    addresses += i < 10 ? "127.0.0.1" : "";
    names += "localhost";
  }
  EXPECT_EQ(plugin.expand("%KVL_For(i, 1, 10, \"%%KVL_Host2IP(localhost)\")"), addresses);
  EXPECT_EQ(plugin.expand("%KVL_For(i, 1, 11, \"%%KVL_Host2IP(localhost)\")"), kvltest::kNoSuccess);
  EXPECT_EQ(plugin.expand("%KVL_For(i, 1, 11, \"%%KVL_IP2Host(127.0.0.1)\")"), names);
}

}  // namespace
