#pragma once
// A private copy of KVL.zrp in a fresh folder, loaded the way the mail client
// loads it, so each test controls the files beside the plug-in.
#include <filesystem>
#include <string>
#include <vector>

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

// Waits up to `seconds` for a file to appear (programs the plug-in opens run on their own).
bool WaitForFile(const std::string& path, int seconds);

}  // namespace kvltest
