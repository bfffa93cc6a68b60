#include "tests/e2e/TestPlugin.h"

#include <windows.h>

#include <fstream>

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

// Long arguments are shown by their start and length.
static std::string Described(const MacroCase& row) {
  std::string text = row.macro + "(";
  for (std::size_t i = 0; i < row.args.size(); ++i) {
    const std::string& arg = row.args[i];
    text += (i ? ", \"" : "\"") + arg.substr(0, 40) + "\"";
    if (arg.size() > 40) text += "... (" + std::to_string(arg.size()) + " characters)";
  }
  return text + ")";
}

void ExpectResults(LoadedPlugin& plugin, const std::vector<MacroCase>& rows) {
  for (const MacroCase& row : rows) EXPECT_EQ(plugin.call(row.macro, row.args), row.expected) << Described(row);
}

std::string FileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace kvltest
