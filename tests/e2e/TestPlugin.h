#pragma once
// A private copy of KVL.zrp in a fresh folder, loaded the way the mail client
// loads it, so each test controls the files beside the plug-in.
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/Errors.h"
#include "host/PluginModule.h"
#include "host/TemplateEngine.h"

namespace kvltest {

class PluginFolder {
 public:
  PluginFolder();
  ~PluginFolder();
  PluginFolder(const PluginFolder&) = delete;
  PluginFolder& operator=(const PluginFolder&) = delete;

  // The folder as a Windows path ending in a backslash.
  std::string path() const;
  std::string pluginPath() const { return path() + "KVL.zrp"; }
  void write(const std::string& name, const std::string& content) const;
  bool exists(const std::string& name) const;

 private:
  std::filesystem::path folder_;
};

// The plug-in loaded and initialised, with a host session to call it through.
class LoadedPlugin {
 public:
  explicit LoadedPlugin(const std::string& pluginPath);
  // Result of one macro call; fails the test when the plug-in does not know it.
  std::string call(const std::string& name, const std::vector<std::string>& args = {});
  std::string expand(const std::string& text) { return engine.expand(text); }

  kvlhost::PluginModule module;
  kvlhost::HostSession session;
  kvlhost::TemplateEngine engine;
};

// The failure texts as strings, to compare results with and to build expected ones from.
inline const std::string kCountError{kvl::ErrParamCount};
inline const std::string kValueError{kvl::ErrParamValue};
inline const std::string kNoSuccess{kvl::ErrNoSuccess};

// One row of a case table: a macro, its arguments and the result it must give.
struct MacroCase {
  std::string macro;
  std::vector<std::string> args;
  std::string expected;
};

// Calls each row's macro through the exports, in order (a row sees what the rows before
// it did); a wrong result names the row.
void ExpectResults(LoadedPlugin& plugin, const std::vector<MacroCase>& rows);

// A private plug-in folder with the plug-in loaded from it: the fixture of the macro tests.
class PluginTest : public ::testing::Test {
 protected:
  void expectResults(const std::vector<MacroCase>& rows) { ExpectResults(plugin, rows); }
  std::string Call(const std::string& name, const std::vector<std::string>& args = {}) { return plugin.call(name, args); }

  PluginFolder folder;
  LoadedPlugin plugin{folder.pluginPath()};
};

// A file's whole content; empty when it cannot be read.
std::string FileText(const std::filesystem::path& path);

// True once `ready` holds, checked every 20 ms for up to `seconds`.
inline bool WaitUntil(const std::function<bool()>& ready, int seconds = 5) {
  for (int i = 0; i < seconds * 50; ++i) {
    if (ready()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return ready();
}

// Waits up to `seconds` for a file to appear (programs the plug-in opens run on their own).
inline bool WaitForFile(const std::string& path, int seconds) {
  return WaitUntil([&path] { return std::filesystem::exists(path); }, seconds);
}

}  // namespace kvltest
