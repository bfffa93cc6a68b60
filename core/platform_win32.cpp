#include <windows.h>
#include <shellapi.h>

#include <array>
#include <cstdio>
#include <vector>

#include "core/TextUtil.h"
#include "core/platform.h"

namespace kvl {

std::string IniReadString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& dflt) {
  std::vector<char> buffer(10240);
  const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), dflt.c_str(), buffer.data(),
                                                static_cast<DWORD>(buffer.size()), file.c_str());
  return std::string(buffer.data(), length);
}

std::string PluginFolder() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&PluginFolder), &module))
    return {};
  std::array<char, MAX_PATH> path{};
  const DWORD length = GetModuleFileNameA(module, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return {};
  std::string folder(path.data(), length);
  folder.erase(folder.find_last_of('\\') + 1);
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  return folder;
}

std::string ReadVersionString(const std::string& file, const std::string& key) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
  if (size == 0) return {};
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(file.c_str(), 0, size, block.data())) return {};
  struct Translation {
    WORD language;
    WORD codePage;
  };
  Translation* translation = nullptr;
  UINT translationSize = 0;
  if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                      &translationSize) ||
      translationSize < sizeof(Translation))
    return {};
  std::array<char, 64> query{};
  std::snprintf(query.data(), query.size(), "\\StringFileInfo\\%04X%04X\\", translation->language,
                translation->codePage);
  const std::string path = query.data() + key;
  char* value = nullptr;
  UINT valueSize = 0;
  if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &valueSize) || !value)
    return {};
  return std::string(Trimmed(std::string_view(value, strnlen(value, valueSize))));
}

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DeleteFileIfExists(const std::string& path) { return FileExists(path) && DeleteFileA(path.c_str()); }

std::string ExpandToLongPath(const std::string& path) {
  if (path.empty() || !PathExists(path)) return {};
  std::string trimmed(Trimmed(path));
  const bool endsInBackslash = !trimmed.empty() && trimmed.back() == '\\';
  if (endsInBackslash) trimmed.pop_back();
  const int levels = static_cast<int>(CountOf(trimmed, "\\"));
  std::string probe = FieldAt(trimmed, "\\", 1);
  std::string result = probe;
  for (int n = 2; n <= levels + 1; ++n) {
    const std::string name = FieldAt(trimmed, "\\", n);
    probe += '\\' + name;
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA(probe.c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      FindClose(search);
      result += '\\';
      result += found.cFileName;
    } else {
      result += '\\' + name;  // not found on the way (a race): keep the level as written
    }
  }
  if (endsInBackslash) result += '\\';
  return result;
}

std::string GetTempFolder(bool longForm) {
  std::array<char, MAX_PATH + 1> buffer{};
  const DWORD length = GetTempPathA(MAX_PATH, buffer.data());
  if (length == 0 || length > MAX_PATH) return {};
  std::string folder(buffer.data(), length);
  if (folder.back() != '\\') folder += '\\';
  return longForm ? ExpandToLongPath(folder) : folder;
}

std::string PluginTempFolder(bool longForm) {
  const std::string temp = GetTempFolder(longForm);
  if (temp.empty()) return temp;
  const std::string own = temp + "KVL";
  if (FolderExists(own) || CreateDirectoryA(own.c_str(), nullptr)) return own + '\\';
  return temp;
}

void ShellOpen(const std::string& file, bool hidden) {
  ShellExecuteA(nullptr, "open", file.c_str(), nullptr, nullptr, hidden ? SW_HIDE : SW_SHOWNORMAL);
}

std::uint32_t ClockSeed() {
  LARGE_INTEGER counter{};
  if (QueryPerformanceCounter(&counter) && counter.QuadPart != 0) return static_cast<std::uint32_t>(counter.LowPart);
  return GetTickCount();
}

std::string AnsiLowered(std::string_view text) {
  std::string out(text);
  if (!out.empty()) CharLowerBuffA(out.data(), static_cast<DWORD>(out.size()));
  return out;
}

std::string AnsiUppered(std::string_view text) {
  std::string out(text);
  if (!out.empty()) CharUpperBuffA(out.data(), static_cast<DWORD>(out.size()));
  return out;
}

}  // namespace kvl
