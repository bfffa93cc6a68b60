#pragma once
// Registry values addressed by one path text: a root ("CU" or "HKEY_CURRENT_USER",
// any case), the key path and the value name, separated by backslashes, as in
// "CU\Software\Quennet\Zorbel\Working Directory". Holds no windows.h types, so
// every macro family may use it.
#include <optional>
#include <string>
#include <string_view>

namespace kvl {

struct RegistryPath {
  std::string root;       // upper-cased
  std::string keyPath;    // as written, trailing backslash kept; empty for the root key itself
  std::string valueName;  // empty for the key's default value
};

// Root before the first backslash, value name after the last, key path between.
// A path without a backslash addresses nothing.
std::optional<RegistryPath> SplitRegistryPath(std::string_view path);

// The value as text: strings without their final NUL, lists with every NUL as CR LF,
// DWORDs as unsigned decimal numbers. The default for anything that cannot be read.
std::string RegReadByPath(std::string_view path, std::string_view dflt);

// Writes into an existing key (keys are never created). Type texts, any case:
// "S" string, "E" expandable string, "M" list (one string per line), "D" DWORD,
// "DB" DWORD with its bytes most significant first. False when nothing was written.
bool RegWriteByPath(std::string_view path, std::string_view data, std::string_view type);

// The host's working folder from its registry value, environment references expanded,
// ending in a backslash ("\" when the value is missing).
std::string HostWorkingFolder();

}  // namespace kvl
