// Programs, console commands and processes through the exports: real programs started
// under Wine (kvl_probe.exe, a copy in a folder with blanks) and Wine's own cmd.
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "core/platform.h"
#include "tests/e2e/TestPlugin.h"

namespace {

namespace fs = std::filesystem;
const std::string kCountError = " *** ERROR: Wrong parameter count *** ";
const std::string kValueError = " *** ERROR: Wrong parameter value *** ";
const std::string kNoSuccess = " *** Action not successfully *** ";

class ProgramMacros : public ::testing::Test {
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
  std::string log() const {
    std::ifstream in(probeFolder / "probe-log.txt", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::vector<std::string> captureFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(kvl::PluginTempFolder(false)))
      if (entry.path().filename().string().starts_with("KVL_Cmd")) names.push_back(entry.path().filename().string());
    return names;
  }
  static inline int serial = 0;
  const fs::path probeFolder =
      fs::temp_directory_path() / ("kvl probe " + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial));
  kvltest::PluginFolder folder;
  kvltest::LoadedPlugin plugin{folder.pluginPath()};
};

double SecondsFor(const std::function<void()>& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool WaitForText(const std::function<std::string()>& read, const std::string& part, int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    if (read().find(part) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

// The quoted program path with blanks stays whole and quoted; each window mode arrives.
TEST_F(ProgramMacros, RunStartsProgramsInEachWindowMode) {
  const auto read = [this] { return log(); };
  for (const auto& [mode, shown] : std::vector<std::pair<std::string, std::string>>{
           {"max", "3"}, {"hide", "0"}, {" MIN ", "2"}, {"other", "1"}}) {
    const std::string tag = "mode" + shown;
    EXPECT_EQ(plugin.call("KVL_Run", {probe() + " -x file.txt " + tag, mode}), "") << mode;
    EXPECT_TRUE(WaitForText(read, "-x file.txt " + tag + "\n" + shown + "\n", 10)) << mode << ": " << log();
  }
  EXPECT_NE(log().find(probe()), std::string::npos);
  EXPECT_EQ(plugin.call("KVL_Run", {probe()}), "");  // without parameters
  EXPECT_EQ(plugin.call("KVL_Run", {"\"C:\\no such folder\\none.exe\" x"}), kNoSuccess);
  EXPECT_EQ(plugin.call("KVL_Run", {}), kCountError);
  EXPECT_EQ(plugin.call("KVL_Run", {"a", "max", "x"}), kCountError);
}

TEST_F(ProgramMacros, RunCmdCapturesOutputAndLeavesNoFile) {
  EXPECT_EQ(plugin.call("KVL_RunCmd", {probe() + " print abc"}), "abc");
  // Wine's cmd; the blank before the redirection is part of what echo writes.
  EXPECT_EQ(plugin.call("KVL_RunCmd", {"echo one"}), "one \r\n");
  // Byte 0x81 is "\xFC" (u with diaeresis) in the OEM code page 437; kept as it is with the flag.
  EXPECT_EQ(plugin.call("KVL_RunCmd", {probe() + " byte 129"}), "\xFC");
  EXPECT_EQ(plugin.call("KVL_RunCmd", {probe() + " byte 129", "1"}), "\x81");
  EXPECT_EQ(plugin.call("KVL_RunCmd", {probe() + " byte 129", "-7"}), "\x81");
  EXPECT_TRUE(captureFiles().empty());
  // A command that begins with the interpreter's name is not run at all.
  const std::size_t before = log().size();
  EXPECT_EQ(plugin.call("KVL_RunCmd", {"CMD /c " + probe() + " print x"}), "");
  EXPECT_EQ(plugin.call("KVL_RunCmd", {"cmd.exe /c " + probe() + " print x"}), "");
  EXPECT_EQ(log().size(), before);
  EXPECT_EQ(plugin.call("KVL_RunCmd", {""}), "");
  EXPECT_EQ(plugin.call("KVL_RunCmd", {}), kCountError);
  EXPECT_EQ(plugin.call("KVL_RunCmd", {"a", "0", "1", "x"}), kCountError);
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
  for (const char* name : {"system_tests", "system_tests.exe", "SYSTEM_TESTS.EXE"})
    EXPECT_EQ(plugin.call("KVL_Process", {"E", name}), "1") << name;
  EXPECT_EQ(plugin.call("KVL_Process", {"e", "system_test"}), "0");
  EXPECT_EQ(plugin.call("KVL_Process", {"E", "system_tests", "ignored"}), "1");
  EXPECT_EQ(plugin.call("KVL_Process", {"E"}), kCountError);
  EXPECT_EQ(plugin.call("KVL_Process", {"X"}), kValueError);
  EXPECT_EQ(plugin.call("KVL_Process", {}), kCountError);
  EXPECT_EQ(plugin.call("KVL_Process", {"L", ",", "x", "y"}), kCountError);
}

}  // namespace
