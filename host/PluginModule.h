#pragma once
// KVL.zrp loaded the way the mail client loads it: LoadLibrary, the ten
// exports by name, ZRP_Initialize on load and ZRP_Finalize before unloading.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <type_traits>
#include <string>
#include <vector>

#include "core/ZorbelAPI.h"
#include "host/MacroRunner.h"

namespace kvlhost {

struct PluginLoadError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class PluginModule : public MacroRunner {
 public:
  // Loads and initialises; throws PluginLoadError when the file or an export is missing.
  explicit PluginModule(const std::string& path, bool initialize = true);
  ~PluginModule() override;
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;

  // Runs ZRP_Finalize now (once); the destructor then only unloads.
  void finalize();

  std::string name() const;
  std::string version() const;
  std::string info() const;
  std::string macroList() const;
  std::int32_t status() const { return getStatus_(); }
  std::int32_t needConfig() const { return needConfig_(); }
  std::int32_t setup() const { return setup_(); }

  // Calls one macro with an explicit name length (the host passes the name's length).
  std::int32_t exec(const char* name, std::int32_t nameLength, IZRPDataProvider* context,
                    IZRPDataProvider* params) const {
    return execMacro_(name, nameLength, context, params);
  }
  // One macro call through ZRP_ExecMacro with the host's providers.
  MacroOutcome run(const std::string& name, const std::vector<std::string>& args,
                   const std::map<std::int32_t, std::string>& items, TextProcessor processor,
                   ItemObserver itemRead = {}) const override;

  using TextExport = std::int32_t(WINAPI*)(char*, std::int32_t);
  TextExport getName() const { return getName_; }
  TextExport getVersion() const { return getVersion_; }
  TextExport getInfo() const { return getInfo_; }
  TextExport getMacroList() const { return getMacroList_; }

 private:
  using VoidExport = void(WINAPI*)();
  using CountExport = std::int32_t(WINAPI*)();
  using ExecExport = std::int32_t(WINAPI*)(const char*, std::int32_t, IZRPDataProvider*, IZRPDataProvider*);

  static std::string ReadText(TextExport exported);
  template <typename T>
  T resolve(const char* exportName);

  struct LibraryDeleter {
    void operator()(HMODULE module) const { FreeLibrary(module); }
  };
  std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryDeleter> module_;
  CountExport getStatus_{}, needConfig_{}, setup_{};
  TextExport getName_{}, getVersion_{}, getInfo_{}, getMacroList_{};
  VoidExport initialize_{}, finalize_{};
  ExecExport execMacro_{};
  bool initialized_ = false;
};

// KVL.zrp beside the running program.
std::string DefaultPluginPath();

}  // namespace kvlhost
