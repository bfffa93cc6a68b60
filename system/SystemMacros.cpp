#include "system/SystemMacros.h"

#include <shlobj.h>
#include <windows.h>

#include <array>
#include <memory>

#include "core/Errors.h"
#include "core/Limits.h"
#include "core/TextUtil.h"
#include "core/platform.h"
#include "system/Registry.h"
#include "core/Win32Owners.h"

namespace kvl::macros {

namespace {

constexpr std::string_view kShellFolders =
    "CU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\";

std::string EndingInBackslash(std::string folder) {
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  return folder;
}


// A shell special folder (CSIDL); empty when the shell does not know it.
std::string SpecialFolder(int csidl) {
  ITEMIDLIST* found = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &found)) || !found) return {};
  const UniqueCoTaskMem<ITEMIDLIST> list(found);
  std::array<char, MAX_PATH + 1> path{};
  if (!SHGetPathFromIDListA(list.get(), path.data())) return {};
  const std::string folder(Trimmed(path.data()));
  return folder.empty() ? folder : EndingInBackslash(folder);
}

// The Windows or system folder in long form; empty when the platform gives none.
std::string LongSystemFolder(UINT(WINAPI* query)(LPSTR, UINT)) {
  std::array<char, MAX_PATH + 1> path{};
  const UINT length = query(path.data(), MAX_PATH);
  if (length == 0 || length > MAX_PATH) return {};
  const std::string folder = ExpandToLongPath(std::string(path.data(), length));
  return folder.empty() ? folder : EndingInBackslash(folder);
}

// A line break or NUL would put lines into the INI file that the caller never wrote.
bool FitsOnIniLine(std::string_view text) { return text.find_first_of(std::string_view("\r\n\0", 3)) == text.npos; }

// What reads back as it was written: a "]" would end the section's name early ("[a]b]"
// is the section "a"), a key holding "=" splits into another key and value, and one
// beginning with "[" reads as a section line.
bool ReadsBackFromIni(std::string_view section, std::string_view key, std::string_view value) {
  return FitsOnIniLine(section) && FitsOnIniLine(key) && FitsOnIniLine(value) && section.find(']') == section.npos &&
         key.find('=') == key.npos && !Trimmed(key).starts_with('[');
}

}  // namespace

std::string GetPath(Call& call) {
  const std::string name = AsciiUppered(call.text(1));
  if (name == "KVLPATH") return PluginFolder();
  if (name == "ZRWORK") return HostWorkingFolder();
  if (name == "WINDIR") return LongSystemFolder(GetWindowsDirectoryA);
  if (name == "SYSDIR") return LongSystemFolder(GetSystemDirectoryA);
  if (name == "MYTEMP") return GetTempFolder(true);
  if (name == "MYRECENT") return SpecialFolder(CSIDL_RECENT);
  if (name == "MYDESKTOP") return SpecialFolder(CSIDL_DESKTOPDIRECTORY);
  if (name == "MYFILES") return SpecialFolder(CSIDL_PERSONAL);
  return EndingInBackslash(RegReadByPath(std::string(kShellFolders) + name, ""));
}

std::string IniGet(Call& call) { return IniReadString(call.text(1), call.text(2), call.text(3), call.textOr(4, "")); }

// Empty on success.
std::string IniSet(Call& call) {
  const std::string file = call.text(1);
  const std::string section = call.text(2);
  const std::string key = call.text(3);
  const std::string value = call.text(4);
  if (!ReadsBackFromIni(section, key, value) || !FitsOnIniLine(file)) return std::string(ErrParamValue);
  if (!FitsIniTexts(file, {section, key, value}) ||
      !WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()))
    return std::string(ErrNoSuccess);
  return {};
}

std::string RegGet(Call& call) { return RegReadByPath(call.text(1), call.textOr(2, "")); }

std::string RegSet(Call& call) { return RegWriteByPath(call.text(1), call.text(2), call.textOr(3, "S")) ? "1" : "0"; }

// Asks for the size first; a variable that grows in between is asked for again.
std::string Envir(Call& call) {
  const std::string name = call.text(1);
  if (name.empty() || !FitsPlatformText(name)) return {};
  for (int attempt = 0; attempt < 3; ++attempt) {
    const DWORD size = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
    if (size == 0) return {};
    std::string value(size, '\0');
    const DWORD length = GetEnvironmentVariableA(name.c_str(), value.data(), size);
    if (length < size) {
      value.resize(length);
      return value;
    }
  }
  return {};
}

}  // namespace kvl::macros
