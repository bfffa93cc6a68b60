#pragma once
// The module that holds the plug-in's code (for window classes and thread hooks).
#include <windows.h>

namespace kvl::dialogs {

inline HINSTANCE PluginModule() {
  static const char anchor = 0;
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     &anchor, &module);
  return module;
}

}  // namespace kvl::dialogs
