#include "system/FileSystem.h"

#include <windows.h>
#include <sddl.h>
#include <shellapi.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <vector>

#include "core/Plugin.h"
#include "core/TextUtil.h"
#include "core/Win32File.h"
#include "core/platform.h"

namespace kvl::files {

namespace {
// Regular files only: a device such as COM1 has no size or times of its own.
UniqueHandle OpenForReading(const std::string& file) {
  return OpenRegularFile(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
}

// Temporary names carry a number of four hex digits, as the platform's do; with the
// folder nine tenths full, 100 draws all miss with a chance of 1 in 38 000.
constexpr std::uint32_t kTempNumbers = 0x10000;
constexpr int kTempNameTries = 100;

constexpr std::array<std::pair<char, DWORD>, 4> kSettable{
    {{'R', FILE_ATTRIBUTE_READONLY}, {'A', FILE_ATTRIBUTE_ARCHIVE}, {'H', FILE_ATTRIBUTE_HIDDEN}, {'S', FILE_ATTRIBUTE_SYSTEM}}};
}  // namespace

bool CreateFolderPath(const std::string& path) {
  if (!FitsPathBuffer(path)) return false;  // every level is a part of it
  std::string built = FieldAt(path, "\\", 1);
  for (int n = 2;; ++n) {
    const std::string item = FieldAt(path, "\\", n);
    if (item.empty()) break;
    built += '\\' + item;
    CreateDirectoryA(built.c_str(), nullptr);  // "already exists" and the like are no matter here
  }
  return FolderExists(path);
}

std::optional<FileTimes> ReadFileTimes(const std::string& file) {
  const UniqueHandle handle = OpenForReading(file);
  if (!handle) return std::nullopt;
  TIME_ZONE_INFORMATION zone{};
  const DWORD state = GetTimeZoneInformation(&zone);
  const LONG bias = zone.Bias + (state == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : 0);
  std::array<FILETIME, 3> times{};
  if (!GetFileTime(handle.get(), &times[0], &times[1], &times[2])) return FileTimes{};
  const auto local = [bias](const FILETIME& time) -> std::optional<datetime::DateTimeValue> {
    SYSTEMTIME utc{};
    if (!FileTimeToSystemTime(&time, &utc)) return std::nullopt;
    const auto value = datetime::EncodeDateTime({utc.wYear, utc.wMonth, utc.wDay},
                                                {utc.wHour, utc.wMinute, utc.wSecond, utc.wMilliseconds});
    if (!value) return std::nullopt;
    return datetime::ShiftDays(*value, -bias / 1440.0);
  };
  return FileTimes{local(times[0]), local(times[1]), local(times[2])};
}

bool FileIsInUse(const std::string& file) { return !OpenFile(file, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING); }

std::string FileOwnerName(const std::string& file) {
  if (!FitsPathBuffer(file)) return {};
  std::vector<BYTE> descriptor(1024);
  DWORD needed = 0;
  if (!GetFileSecurityA(file.c_str(), OWNER_SECURITY_INFORMATION, descriptor.data(),
                        static_cast<DWORD>(descriptor.size()), &needed))
    return {};
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (!GetSecurityDescriptorOwner(descriptor.data(), &owner, &defaulted) || owner == nullptr) return {};
  std::array<char, 1024> name{};
  std::array<char, 1024> domain{};
  DWORD nameLength = static_cast<DWORD>(name.size());
  DWORD domainLength = static_cast<DWORD>(domain.size());
  SID_NAME_USE use{};
  if (LookupAccountSidA(nullptr, owner, name.data(), &nameLength, domain.data(), &domainLength, &use))
    return std::string(domain.data()) + "\\" + name.data();
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(owner, &text)) return {};
  const UniqueLocalMem<wchar_t> owned(text);
  std::string sid;
  for (const wchar_t* c = owned.get(); *c; ++c) sid += static_cast<char>(*c);  // a SID text is ASCII
  return sid;
}

// Four hex digits drawn at random, the file made with create-new semantics: the time
// per call stays flat however many names are taken (the platform's own walk through
// the numbers slows down as files pile up). Empty when no new name was had.
std::string MakeTempFile(const std::string& prefix, const std::string& extension, bool longForm) {
  // The folder's long form once; the name is long already (looking it up again would
  // read the whole folder under Wine, which slows down with every file there).
  const std::string folder = GetTempFolder(longForm);
  if (folder.empty()) return {};
  for (int attempt = 0; attempt < kTempNameTries; ++attempt) {
    std::array<char, 8> number{};
    std::snprintf(number.data(), number.size(), "%04X", static_cast<unsigned>(DrawRandom(kTempNumbers)));
    const std::string path = folder + prefix + number.data() + extension;
    if (OpenFile(path, GENERIC_WRITE, 0, CREATE_NEW)) return path;
    if (const DWORD error = GetLastError(); error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

std::optional<std::uint64_t> FileSizeOf(const std::string& file) {
  const UniqueHandle handle = OpenForReading(file);
  LARGE_INTEGER size{};
  if (!handle || !GetFileSizeEx(handle.get(), &size)) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

bool ForEachFileLine(const std::string& file, const std::function<bool(std::string_view)>& visit) {
  std::string line;        // the current line's text so far
  bool lineEnded = false;  // a CR was seen: the rest up to the LF is dropped
  bool pending = false;    // a line has begun
  bool stopped = false;
  const bool read = ReadFileInBlocks(file, 1 << 16, [&](std::string_view data) {
    while (!data.empty()) {
      const std::size_t lf = data.find('\n');
      const std::string_view piece = data.substr(0, lf);
      if (!lineEnded) {
        const std::size_t cr = piece.find('\r');
        line.append(piece.substr(0, cr));
        lineEnded = cr != std::string_view::npos;
      }
      pending = true;
      if (lf == std::string_view::npos) break;
      if (!visit(line)) return !(stopped = true);
      line.clear();
      lineEnded = false;
      pending = false;
      data.remove_prefix(lf + 1);
    }
    return true;
  });
  if (read && pending && !stopped) visit(line);
  return read;
}

bool AppendLine(const std::string& file, std::string_view line) {
  // A device would take the line somewhere else (COM1, LPT1) or block the write.
  const UniqueHandle handle = OpenRegularFile(file, FILE_APPEND_DATA, FILE_SHARE_READ, OPEN_ALWAYS);
  if (!handle) return false;
  const std::string text = std::string(line) + "\r\n";
  DWORD written = 0;
  return WriteFile(handle.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

namespace {
// A source names something when it is a file or folder, or a wildcard that matches.
bool NamesSomething(const std::string& source) {
  if (PathExists(source)) return true;
  WIN32_FIND_DATAA found{};
  const HANDLE search = FindFirstFileA(source.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

// The shell's list of sources (each ended by a NUL, the list by one more) from the
// "|"-separated names, empty ones left out; nothing when a name is longer than a path
// buffer (the shell's operation overruns a fixed buffer with such names under Wine) or
// names nothing (its delete reports success for a name that is not there).
std::optional<std::string> ShellSourceList(std::string_view sources) {
  std::string list;
  for (std::size_t start = 0; start <= sources.size();) {
    const std::size_t bar = std::min(sources.find('|', start), sources.size());
    const std::string source(sources.substr(start, bar - start));
    start = bar + 1;
    if (source.empty()) continue;
    if (!FitsPathBuffer(source) || !NamesSomething(source)) return std::nullopt;
    list.append(source).push_back('\0');
  }
  if (list.empty()) return std::nullopt;
  list.push_back('\0');
  return list;
}
}  // namespace

bool RunShellOperation(ShellOperation operation, const std::string& sources, const std::string& destination) {
  const std::optional<std::string> from = ShellSourceList(sources);
  if (!from || (operation != ShellOperation::Delete && !FitsPathBuffer(destination))) return false;
  std::string to = destination;
  to.append(2, '\0');
  SHFILEOPSTRUCTA record{};
  record.wFunc = operation == ShellOperation::Copy ? FO_COPY : operation == ShellOperation::Move ? FO_MOVE : FO_DELETE;
  record.pFrom = from->c_str();
  record.pTo = operation == ShellOperation::Delete ? nullptr : to.c_str();
  record.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO |
                  (operation == ShellOperation::Delete ? 0 : FOF_NOCONFIRMMKDIR);
  return SHFileOperationA(&record) == 0;
}

std::string ShellTypeName(const std::string& file) {
  if (!FitsPathBuffer(file)) return {};
  SHFILEINFOA info{};
  if (!SHGetFileInfoA(file.c_str(), 0, &info, sizeof(info), SHGFI_TYPENAME)) return {};
  return std::string(info.szTypeName, strnlen(info.szTypeName, 80));
}

std::string ShortPath(const std::string& path) {
  if (!FitsPathBuffer(path)) return {};
  std::array<char, MAX_PATH> buffer{};
  const DWORD length = GetShortPathNameA(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length == 0 || length >= buffer.size()) return {};
  return std::string(Trimmed(std::string_view(buffer.data(), strnlen(buffer.data(), buffer.size()))));
}

std::string AttributeLetters(const std::string& path) {
  const DWORD attributes = FitsPathBuffer(path) ? GetFileAttributesA(path.c_str()) : INVALID_FILE_ATTRIBUTES;
  if (attributes == 0 || attributes == INVALID_FILE_ATTRIBUTES) return "*";
  std::string letters;
  for (const auto& [letter, bit] : kSettable)
    if (attributes & bit) letters += letter;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) letters += 'D';
  return letters;
}

bool SetAttributeLetters(const std::string& path, std::string_view letters) {
  if (!FitsPathBuffer(path)) return false;
  DWORD attributes = 0;
  const std::string upper = AnsiUppered(letters);
  for (const auto& [letter, bit] : kSettable)
    if (upper.find(letter) != std::string::npos) attributes |= bit;
  return SetFileAttributesA(path.c_str(), attributes);
}

std::string OemTextToAnsi(std::string text) {
  if (!text.empty()) OemToCharBuffA(text.data(), text.data(), static_cast<DWORD>(text.size()));
  return text;
}

}  // namespace kvl::files
