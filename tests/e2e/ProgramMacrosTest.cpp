// Programs, console commands and processes through the exports: real programs started
// under Wine (kvl_probe.exe, a copy in a folder with blanks) and Wine's own cmd.
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "core/platform.h"
#include "tests/e2e/TestPlugin.h"

namespace {

namespace fs = std::filesystem;
using kvltest::kCountError;
using kvltest::kNoSuccess;

class ProgramMacros : public kvltest::PluginTest {
 protected:
  ProgramMacros() {
    fs::create_directories(probeFolder);
    fs::copy_file(KVL_PROBE_EXE, probeFolder / "kvl probe.exe", fs::copy_options::overwrite_existing);
  }
  // Probes started without waiting may still be ending.
  ~ProgramMacros() override {
    for (int i = 0; i < 50; ++i) {
      std::error_code failed;
      fs::remove_all(probeFolder, failed);
      if (!failed && !fs::exists(probeFolder)) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
  std::string probe() const { return std::string("\"").append((probeFolder / "kvl probe.exe").string()).append("\""); }
  // The probe's log: its command lines and window modes, one pair per start.
  std::string log() const { return kvltest::FileText(probeFolder / "probe-log.txt"); }
  std::vector<std::string> captureFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(kvl::PluginTempFolder(false)))
      if (entry.path().filename().string().starts_with("KVL_Cmd")) names.push_back(entry.path().filename().string());
    return names;
  }
  static inline int serial = 0;
  const fs::path probeFolder =
      fs::temp_directory_path() / ("kvl probe " + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial));
};

double SecondsFor(const std::function<void()>& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The quoted program path with blanks stays whole and quoted; each window mode arrives.
TEST_F(ProgramMacros, RunStartsProgramsInEachWindowMode) {
  for (const auto& [mode, shown] : std::vector<std::pair<std::string, std::string>>{
           {"max", "3"}, {"hide", "0"}, {" MIN ", "2"}, {"other", "1"}}) {
    const std::string tag = "mode" + shown;
    EXPECT_EQ(plugin.call("KVL_Run", {probe() + " -x file.txt " + tag, mode}), "") << mode;
    const std::string logged = "-x file.txt " + tag + "\n" + shown + "\n";
    EXPECT_TRUE(kvltest::WaitUntil([&] { return log().find(logged) != std::string::npos; }, 10)) << mode << ": " << log();
  }
  EXPECT_NE(log().find(probe()), std::string::npos);
  EXPECT_EQ(plugin.call("KVL_Run", {probe()}), "");  // without parameters
  EXPECT_EQ(plugin.call("KVL_Run", {"\"C:\\no such folder\\none.exe\" x"}), kNoSuccess);
}

TEST_F(ProgramMacros, RunCmdCapturesOutputAndLeavesNoFile) {
  // Byte 0x81 is "\xFC" (u with diaeresis) in the OEM code page 437; kept as it is with the flag.
  expectResults({{"KVL_RunCmd", {probe() + " print abc"}, "abc"}, {"KVL_RunCmd", {probe() + " byte 129"}, "\xFC"},
                 {"KVL_RunCmd", {probe() + " byte 129", "1"}, "\x81"}, {"KVL_RunCmd", {probe() + " byte 129", "-7"}, "\x81"},
                 {"KVL_RunCmd", {""}, ""}});
  EXPECT_TRUE(captureFiles().empty());
}

// The limit bounds the wait; what the command wrote so far is the result; its capture
// file, still held, goes at unload, and a second command meanwhile gets a file of its own.
TEST_F(ProgramMacros, RunCmdNeverWaitsBeyondItsLimit) {
  std::string partial;
  EXPECT_LT(SecondsFor([&] { partial = plugin.call("KVL_RunCmd", {probe() + " sleep 4000 late", "0", "700"}); }), 3.0);
  EXPECT_TRUE(partial == "started " || partial.empty()) << partial;  // empty when the machine is slow to start it
  EXPECT_EQ(plugin.call("KVL_RunCmd", {probe() + " print second"}), "second");
  EXPECT_EQ(plugin.call("KVL_RunCmd", {probe() + " print third"}), "third");
  for (const char* limit : {"0", "-1", "-2147483648"})
    EXPECT_LT(SecondsFor([&] { plugin.call("KVL_RunCmd", {probe() + " sleep 3000 late", "0", limit}); }), 1.5) << limit;
  std::this_thread::sleep_for(std::chrono::milliseconds(4500));  // the sleepers end
  plugin.module.finalize();
  EXPECT_TRUE(captureFiles().empty());
}

TEST_F(ProgramMacros, ProcessListsAndFindsRunningPrograms) {
  const std::string list = plugin.call("KVL_Process", {"L", ", "});
  EXPECT_NE(list.find("system_tests.exe"), std::string::npos) << list;
  EXPECT_FALSE(list.ends_with(", "));
  EXPECT_NE(plugin.call("KVL_Process", {"l"}).find("system_tests.exe\r\n"), std::string::npos);
  expectResults({
      {"KVL_Process", {"E", "system_tests"}, "1"}, {"KVL_Process", {"E", "system_tests.exe"}, "1"},
      {"KVL_Process", {"E", "SYSTEM_TESTS.EXE"}, "1"}, {"KVL_Process", {"e", "system_test"}, "0"},
      {"KVL_Process", {"E", "system_tests", "ignored"}, "1"}, {"KVL_Process", {"E"}, kCountError},
      {"KVL_Process", {"X"}, kvltest::kValueError},
  });
}

// A program name reaches the shell up to 259 characters (about 1 000 crashed it under
// Wine), the whole command line up to the 32 766 characters a process can be given.
TEST_F(ProgramMacros, RunTakesProgramNamesThatFitAPathBuffer) {
  // Quoted (the folder holds blanks); the quotes are no part of the name.
  const fs::path deep = probeFolder / std::string(259 - probeFolder.string().size() - 1 - 8 - 4, 'd');
  fs::create_directories(deep);
  for (const std::size_t length : {259u, 260u}) {
    const fs::path program = deep / (std::string(length - deep.string().size() - 1 - 4, 'p') + ".exe");
    fs::copy_file(KVL_PROBE_EXE, program);
    ASSERT_EQ(program.string().size(), length);
    const std::string line = std::string(1, '"').append(program.string()).append("\" run").append(std::to_string(length));
    EXPECT_EQ(plugin.call("KVL_Run", {line}), length == 259 ? "" : kNoSuccess);
  }
  const auto ran259 = [&] { return kvltest::FileText(deep / "probe-log.txt").find("run259") != std::string::npos; };
  EXPECT_TRUE(kvltest::WaitUntil(ran259, 10));
  EXPECT_EQ(plugin.call("KVL_Run", {"C:\\" + std::string(1000, 'p')}), kNoSuccess);
  // "PROGRAM" PARAMETERS: two quotes, a blank, the two parts.
  const std::string program = probe();
  const std::string fits = "x" + std::string(32766 - (program.size() + 2) - 1 - 1, 'a');
  EXPECT_EQ(plugin.call("KVL_Run", {program + " " + fits}), "");
  EXPECT_TRUE(kvltest::WaitUntil([&] { return log().find(fits) != std::string::npos; }, 10));
  EXPECT_EQ(plugin.call("KVL_Run", {program + " " + fits + "a"}), kNoSuccess);
}

// The interpreter's line holds at most 8 191 characters: a command that would make it
// longer is not run (Wine's cmd ran nothing either, without a word).
TEST_F(ProgramMacros, RunCmdTakesCommandsThatFitTheConsoleLine) {
  // cmd /S /C "COMMAND > "CAPTURE"" with the longest capture name, KVL_Cmd99.tmp.
  const std::size_t around = std::string("cmd /S /C \"").size() + std::string(" > \"").size() +
                             (kvl::PluginTempFolder(false) + "KVL_Cmd99.tmp").size() + 2;
  const std::string fits = "echo " + std::string(8191 - around - 5, 'e');
  EXPECT_EQ(plugin.call("KVL_RunCmd", {fits}), fits.substr(5) + " \r\n");
  EXPECT_EQ(plugin.call("KVL_RunCmd", {fits + "e"}), "");
  EXPECT_EQ(plugin.call("KVL_RunCmd", {"echo " + std::string(40000, 'e')}), "");
  // A command that begins with the interpreter's name is not run at all; blanks and line
  // breaks before the name do not hide it.
  const std::size_t before = log().size();
  for (const char* interpreter : {"CMD /c ", "cmd.exe /c ", " cmd /c ", " \tcmd /c ", "\r\n cmd /c "})
    EXPECT_EQ(plugin.call("KVL_RunCmd", {interpreter + probe() + " print x"}), "") << interpreter;
  EXPECT_EQ(log().size(), before);
}

}  // namespace
