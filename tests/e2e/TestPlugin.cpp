#include "tests/e2e/TestPlugin.h"

#include <windows.h>

#include <fstream>
#include <thread>

#include <gtest/gtest.h>

namespace kvltest {

PluginFolder::PluginFolder() {
  static int serial = 0;
  folder_ = std::filesystem::temp_directory_path() /
            ("kvl-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial));
  std::filesystem::remove_all(folder_);
  std::filesystem::create_directories(folder_);
  std::filesystem::copy_file(kvlhost::DefaultPluginPath(), folder_ / "KVL.zrp");
}

PluginFolder::~PluginFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

std::string PluginFolder::path() const {
  std::string text = folder_.string();
  if (text.back() != '\\') text += '\\';
  return text;
}

void PluginFolder::write(const std::string& name, const std::string& content) const {
  std::ofstream(folder_ / name, std::ios::binary) << content;
}

bool PluginFolder::exists(const std::string& name) const { return std::filesystem::exists(folder_ / name); }

LoadedPlugin::LoadedPlugin(const std::string& pluginPath) : module(pluginPath), engine(session, &module) {}

std::string LoadedPlugin::call(const std::string& name, const std::vector<std::string>& args) {
  const kvlhost::MacroOutcome outcome = engine.callMacro(name, args);
  EXPECT_EQ(outcome.rc, 0) << name;
  return outcome.result;
}

bool WaitForFile(const std::string& path, int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    if (std::filesystem::exists(path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

}  // namespace kvltest
