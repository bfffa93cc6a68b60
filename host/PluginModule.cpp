#include "host/PluginModule.h"

#include <algorithm>
#include <array>

#include "host/Providers.h"

namespace kvlhost {

template <typename T>
T PluginModule::resolve(const char* exportName) {
  FARPROC address = GetProcAddress(module_.get(), exportName);
  if (address == nullptr) throw PluginLoadError(std::string("the plug-in has no export ") + exportName);
  return reinterpret_cast<T>(reinterpret_cast<void*>(address));
}

PluginModule::PluginModule(const std::string& path, bool initialize) {
  module_.reset(LoadLibraryA(path.c_str()));
  if (!module_) {
    throw PluginLoadError("cannot load the plug-in " + path + " (Windows error " + std::to_string(GetLastError()) +
                          ")");
  }
  getStatus_ = resolve<CountExport>("ZRP_GetStatus");
  getName_ = resolve<TextExport>("ZRP_GetName");
  getVersion_ = resolve<TextExport>("ZRP_GetVersion");
  getInfo_ = resolve<TextExport>("ZRP_GetInfo");
  needConfig_ = resolve<CountExport>("ZRP_NeedConfig");
  setup_ = resolve<CountExport>("ZRP_Setup");
  initialize_ = resolve<VoidExport>("ZRP_Initialize");
  finalize_ = resolve<VoidExport>("ZRP_Finalize");
  getMacroList_ = resolve<TextExport>("ZRP_GetMacroList");
  execMacro_ = resolve<ExecExport>("ZRP_ExecMacro");
  if (initialize) {
    initialize_();
    initialized_ = true;
  }
}

PluginModule::~PluginModule() { finalize(); }

void PluginModule::finalize() {
  if (!initialized_) return;
  initialized_ = false;
  finalize_();
}

std::string PluginModule::ReadText(TextExport exported) {
  const std::int32_t length = exported(nullptr, 0);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length), '\0');
  const std::int32_t copied = exported(text.data(), length);
  text.resize(static_cast<std::size_t>(std::max(copied, 0)));
  return text;
}

std::string PluginModule::name() const { return ReadText(getName_); }
std::string PluginModule::version() const { return ReadText(getVersion_); }
std::string PluginModule::info() const { return ReadText(getInfo_); }
std::string PluginModule::macroList() const { return ReadText(getMacroList_); }

MacroOutcome PluginModule::run(const std::string& name, const std::vector<std::string>& args,
                               const std::map<std::int32_t, std::string>& items, TextProcessor processor,
                               ItemObserver itemRead) const {
  MacroOutcome outcome;
  ArgumentProvider params(args);
  ContextProvider context(items, std::move(processor), std::move(itemRead));
  outcome.rc = exec(name.c_str(), static_cast<std::int32_t>(name.size()), &context, &params);
  outcome.resultWritten = context.resultWritten();
  if (outcome.rc == 0) outcome.result = context.takeResult();
  return outcome;
}

std::string DefaultPluginPath() {
  std::array<char, MAX_PATH> path{};
  const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
  std::string folder(path.data(), length);
  folder.erase(folder.find_last_of("\\/") + 1);
  return folder + "KVL.zrp";
}

}  // namespace kvlhost
