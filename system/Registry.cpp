#include "system/Registry.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>

#include "core/Numbers.h"
#include "core/TextUtil.h"
#include "core/Win32Owners.h"

namespace kvl {

namespace {

constexpr std::string_view kHostWorkingFolderValue = "CU\\Software\\Quennet\\Zorbel\\Working Directory";

struct RootName {
  std::string_view shortName;
  std::string_view longName;
  HKEY key;
};
const std::array kRoots{
    RootName{"CR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    RootName{"CU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    RootName{"LM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    RootName{"US", "HKEY_USERS", HKEY_USERS},
    RootName{"PD", "HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
    RootName{"CC", "HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    RootName{"DD", "HKEY_DYN_DATA", HKEY_DYN_DATA},
};

HKEY RootKey(std::string_view root) {
  for (const RootName& name : kRoots)
    if (root == name.shortName || root == name.longName) return name.key;
  return nullptr;
}

// The key a path names, opened with `access`, closed when it goes out of scope;
// closed from the start when the path names no key. A NUL inside the path would
// cut it short at the platform, so such a path names nothing.
class OpenKey {
 public:
  OpenKey(const RegistryPath& path, REGSAM access) {
    const HKEY root = RootKey(path.root);
    if (!root || path.keyPath.find('\0') != std::string::npos || path.valueName.find('\0') != std::string::npos) return;
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, path.keyPath.c_str(), 0, access, &opened) == ERROR_SUCCESS) key_.reset(opened);
  }

  HKEY get() const { return key_.get(); }
  explicit operator bool() const { return key_ != nullptr; }

 private:
  UniqueHKey key_;
};

// A string value loses its terminating NUL; one stored without it keeps every character.
std::string_view WithoutFinalNul(std::string_view bytes) {
  if (!bytes.empty() && bytes.back() == '\0') bytes.remove_suffix(1);
  return bytes;
}

std::string ListText(std::string_view bytes) {
  const std::string_view list = WithoutFinalNul(bytes);
  std::string text;
  text.reserve(list.size() + list.size() / 8);
  std::size_t at = 0;
  for (std::size_t nul = list.find('\0'); nul != std::string_view::npos; nul = list.find('\0', at)) {
    text.append(list.substr(at, nul - at)).append("\r\n");
    at = nul + 1;
  }
  return text.append(list.substr(at));
}

std::uint32_t DwordOf(std::string_view bytes, bool bigEndian) {
  std::uint32_t value = 0;
  for (int n = 0; n < 4; ++n) {
    const auto byte = static_cast<std::uint8_t>(bytes[static_cast<std::size_t>(bigEndian ? n : 3 - n)]);
    value = (value << 8) | byte;
  }
  return value;
}

// The text of a value by its type; nothing for types we do not read and for a
// DWORD that is not four bytes long.
std::optional<std::string> ValueText(DWORD type, std::string_view bytes) {
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      return std::string(WithoutFinalNul(bytes));
    case REG_MULTI_SZ:
      return ListText(bytes);
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
      if (bytes.size() != 4) return std::nullopt;
      return FormatInteger(DwordOf(bytes, type == REG_DWORD_BIG_ENDIAN));
    default:
      return std::nullopt;
  }
}

// A DWORD as the plug-in reads numbers, or an unsigned decimal up to 4294967295 so
// that what the reader prints can be written back.
std::optional<std::uint32_t> DwordData(std::string_view text) {
  if (const std::optional<std::int32_t> value = ReadInteger(text)) return static_cast<std::uint32_t>(*value);
  if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string_view::npos)
    return std::nullopt;
  const std::uint64_t value = std::stoull(std::string(text));
  if (value > 0xFFFFFFFFu) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

std::string DwordBytes(std::uint32_t value, bool bigEndian) {
  std::string bytes(4, '\0');
  for (int n = 0; n < 4; ++n)
    bytes[static_cast<std::size_t>(bigEndian ? 3 - n : n)] = static_cast<char>((value >> (8 * n)) & 0xFF);
  return bytes;
}

// Lines become the strings of the list: CRs dropped, LFs end a string, NUL NUL ends the list.
std::string ListBytes(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size() + 2);
  for (const char c : text)
    if (c != '\r') bytes += c == '\n' ? '\0' : c;
  if (bytes.empty() || bytes.back() != '\0') bytes += '\0';
  bytes += '\0';
  return bytes;
}

struct ValueData {
  DWORD type;
  std::string bytes;
};

std::optional<ValueData> DataOf(std::string_view data, std::string_view typeText) {
  const std::string type = AsciiUppered(typeText);
  if (type == "S") return ValueData{REG_SZ, std::string(data) + '\0'};
  if (type == "E") return ValueData{REG_EXPAND_SZ, std::string(data) + '\0'};
  if (type == "M") return ValueData{REG_MULTI_SZ, ListBytes(data)};
  if (type == "D" || type == "DB") {
    const std::optional<std::uint32_t> value = DwordData(data);
    if (!value) return std::nullopt;
    return ValueData{REG_DWORD, DwordBytes(*value, type == "DB")};
  }
  return std::nullopt;
}

std::string ExpandedEnvironmentText(const std::string& text) {
  const DWORD size = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
  if (size == 0) return text;
  std::string expanded(size, '\0');
  const DWORD written = ExpandEnvironmentStringsA(text.c_str(), expanded.data(), size);
  if (written == 0 || written > size) return text;
  // The count may run past the text in multi-byte code pages: the NUL ends it.
  expanded.resize(std::char_traits<char>::length(expanded.c_str()));
  return expanded;
}

}  // namespace

std::optional<RegistryPath> SplitRegistryPath(std::string_view path) {
  const std::size_t first = path.find('\\');
  if (first == std::string_view::npos) return std::nullopt;
  const std::size_t last = path.rfind('\\');
  RegistryPath split;
  split.root = AsciiUppered(path.substr(0, first));
  split.keyPath = std::string(path.substr(first + 1, last - first));
  split.valueName = std::string(path.substr(last + 1));
  return split;
}

std::string RegReadByPath(std::string_view path, std::string_view dflt) {
  const std::optional<RegistryPath> split = SplitRegistryPath(path);
  if (!split) return std::string(dflt);
  const OpenKey key(*split, KEY_READ);
  if (!key) return std::string(dflt);
  DWORD type = 0;
  DWORD size = 0;
  const char* name = split->valueName.c_str();
  if (RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::string(dflt);
  std::string bytes(size, '\0');
  if (RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size) != ERROR_SUCCESS)
    return std::string(dflt);
  bytes.resize(std::min<std::size_t>(size, bytes.size()));
  return ValueText(type, bytes).value_or(std::string(dflt));
}

bool RegWriteByPath(std::string_view path, std::string_view data, std::string_view type) {
  const std::optional<RegistryPath> split = SplitRegistryPath(path);
  if (!split) return false;
  const std::optional<ValueData> value = DataOf(data, type);
  if (!value) return false;
  const OpenKey key(*split, KEY_WRITE);
  if (!key) return false;
  return RegSetValueExA(key.get(), split->valueName.c_str(), 0, value->type,
                        reinterpret_cast<const BYTE*>(value->bytes.data()),
                        static_cast<DWORD>(value->bytes.size())) == ERROR_SUCCESS;
}

std::string HostWorkingFolder() {
  const std::string stored(Trimmed(RegReadByPath(kHostWorkingFolderValue, "")));
  std::string folder(Trimmed(ExpandedEnvironmentText(stored)));
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  return folder;
}

}  // namespace kvl
