// The platform services for the native (POSIX) build of the portable code, which
// runs its unit tests and fuzz targets under the sanitizers. The plug-in itself
// uses platform_win32.cpp. Paths here are POSIX paths: folders end in "/".
#include <dlfcn.h>
#include <langinfo.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <optional>
#include <sstream>

#include "core/TextUtil.h"
#include "core/platform.h"

namespace kvl {

namespace {
// What GetPrivateProfileString hands back through its 10240-character buffer.
constexpr std::size_t kIniValueMost = 10239;

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

bool StatMode(const std::string& path, mode_t type) {
  struct stat info {};
  return !path.empty() && stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == type;
}

// A value enclosed in matching quotes loses them, as in a Windows INI file.
std::string_view Unquoted(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}
}  // namespace

// A plain INI file: "[section]" lines, "key=value" lines, ";" comments; names ignore
// ASCII case, names and values are trimmed. The first matching key wins.
std::string IniReadString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& dflt) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return dflt;
  std::ostringstream content;
  content << in.rdbuf();
  bool inSection = false;
  std::optional<std::string> found;
  ForEachLineAtAnyBreak(content.str(), [&](std::string_view rawLine) {
    if (found) return;
    const std::string_view line = Trimmed(rawLine);
    if (line.empty() || line.front() == ';') return;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      inSection = close != std::string_view::npos &&
                  EqualsIgnoringAsciiCase(Trimmed(line.substr(1, close - 1)), Trimmed(section));
      return;
    }
    const std::size_t equals = line.find('=');
    if (!inSection || equals == std::string_view::npos) return;
    if (EqualsIgnoringAsciiCase(Trimmed(line.substr(0, equals)), Trimmed(key)))
      found = std::string(Unquoted(Trimmed(line.substr(equals + 1))).substr(0, kIniValueMost));
  });
  return found.value_or(dflt);
}

// The folder of the executable or shared object that holds this code.
std::string PluginFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(&PluginFolder), &info) == 0 || info.dli_fname == nullptr) return {};
  char resolved[PATH_MAX];
  if (realpath(info.dli_fname, resolved) == nullptr) return {};
  std::string folder(resolved);
  folder.erase(folder.find_last_of('/') + 1);
  return folder;
}

// Native files carry no version resource.
std::string ReadVersionString(const std::string&, const std::string&) { return {}; }

// POSIX file systems have no short names: an existing path is already its long form.
std::string ExpandToLongPath(const std::string& path) {
  if (path.empty() || !PathExists(path)) return {};
  return std::string(Trimmed(path));
}

std::string GetTempFolder(bool) {
  const char* tmpdir = std::getenv("TMPDIR");
  const std::string folder = tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
  return FolderExists(folder) ? WithSlash(folder) : std::string();
}

std::string PluginTempFolder(bool longForm) {
  const std::string temp = GetTempFolder(longForm);
  if (temp.empty()) return temp;
  const std::string own = temp + "KVL";
  if (FolderExists(own) || mkdir(own.c_str(), 0700) == 0) return own + '/';
  return temp;
}

bool FileExists(const std::string& path) { return StatMode(path, S_IFREG); }
bool FolderExists(const std::string& path) { return StatMode(path, S_IFDIR); }
bool RegularFileExists(const std::string& path) { return FileExists(path); }

bool PathExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && stat(path.c_str(), &info) == 0;
}

bool DeleteFileIfExists(const std::string& path) { return FileExists(path) && unlink(path.c_str()) == 0; }

// There is no shell verb to hand the file to natively; nothing is started.
void ShellOpen(const std::string&, bool) {}

const std::bitset<256>& AnsiLeadBytes() {
  static const std::bitset<256> none;
  return none;
}

// Run-time libraries are Windows DLLs: none loads here.
RuntimeLibrary RuntimeLibrary::Load(const std::string&) { return {}; }
RuntimeLibrary::RuntimeLibrary(RuntimeLibrary&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
RuntimeLibrary& RuntimeLibrary::operator=(RuntimeLibrary&& other) noexcept {
  handle_ = other.handle_;
  other.handle_ = nullptr;
  return *this;
}
RuntimeLibrary::~RuntimeLibrary() = default;
std::optional<std::int32_t> RuntimeLibrary::callBufferFunction(const char*, const char*,
                                                               std::array<char, 256>&) const {
  return std::nullopt;
}

std::uint32_t ClockSeed() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(now.tv_sec) * 1000000000u +
                                    static_cast<std::uint64_t>(now.tv_nsec));
}

const char* StackBottom() {
  thread_local const char* bottom = nullptr;
  if (bottom != nullptr) return bottom;
#if defined(__linux__)
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
    void* base = nullptr;
    std::size_t size = 0;
    if (pthread_attr_getstack(&attributes, &base, &size) == 0) bottom = static_cast<const char*>(base);
    pthread_attr_destroy(&attributes);
  }
#endif
  return bottom;
}

// The C locale: ASCII letters only.
std::string AnsiLowered(std::string_view text) { return AsciiLowered(text); }

std::string AnsiUppered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

// The C library's own locale ("C" unless the program chose another): names from
// nl_langinfo, pictures of the United States form, every identifier alike.
LocaleTexts ReadLocaleTexts(std::uint32_t) {
  LocaleTexts texts;
  for (int n = 0; n < 12; ++n) {
    texts.monthNames[n] = nl_langinfo(static_cast<nl_item>(MON_1 + n));
    texts.monthAbbreviations[n] = nl_langinfo(static_cast<nl_item>(ABMON_1 + n));
  }
  for (int n = 0; n < 7; ++n) {
    texts.dayNames[n] = nl_langinfo(static_cast<nl_item>(DAY_1 + n));
    texts.dayAbbreviations[n] = nl_langinfo(static_cast<nl_item>(ABDAY_1 + n));
  }
  texts.dateSeparator = "/";
  texts.timeSeparator = ":";
  texts.decimalSeparator = nl_langinfo(RADIXCHAR);
  texts.shortDatePicture = "M/d/yyyy";
  texts.longDatePicture = "dddd, MMMM d, yyyy";
  texts.shortTimePicture = "h:mm tt";
  texts.longTimePicture = "h:mm:ss tt";
  texts.amDesignator = nl_langinfo(AM_STR);
  texts.pmDesignator = nl_langinfo(PM_STR);
  texts.eraName = "AD";
  texts.eraAbbreviation = "AD";
  return texts;
}

namespace {
ClockReading FromTimespec(bool local) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::tm parts{};
  if (local)
    localtime_r(&now.tv_sec, &parts);
  else
    gmtime_r(&now.tv_sec, &parts);
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
          parts.tm_min,         parts.tm_sec,     static_cast<int>(now.tv_nsec / 1'000'000)};
}
}  // namespace

ClockReading LocalClock() { return FromTimespec(true); }
ClockReading UtcClock() { return FromTimespec(false); }

TimeZoneState ReadTimeZoneState() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  localtime_r(&now, &parts);
  return {static_cast<std::int32_t>(-parts.tm_gmtoff / 60), 0, false};
}

}  // namespace kvl
