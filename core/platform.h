#pragma once
// The platform services that the portable parts of the plug-in need, declared
// without windows.h; implemented once for Win32 in platform_win32.cpp.
#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kvl {

// Whether the private-profile functions take this file name (shorter than a path
// buffer) and these sections, keys and values (see FitsPlatformText).
bool FitsIniTexts(const std::string& file, std::initializer_list<std::string_view> texts);
// Private-profile lookup through a 10240-character buffer; the default when absent or
// when a text does not fit.
std::string IniReadString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& dflt);

// Folder of the library that holds this code, ending in a backslash; empty if unknown.
std::string PluginFolder();

// A string of the file's version resource in its first translation, trimmed; empty when absent.
std::string ReadVersionString(const std::string& file, const std::string& key);

// The path with the long name of every level; empty when nothing of that name exists.
std::string ExpandToLongPath(const std::string& path);

std::string GetTempFolder(bool longForm);
// The plug-in's private "KVL" folder under the temporary folder (created on demand).
std::string PluginTempFolder(bool longForm);

bool FileExists(const std::string& path);  // a file, not a folder
bool FolderExists(const std::string& path);
bool PathExists(const std::string& path);  // a file or a folder
// A file on a disk: not a folder, a device (COM1, CON, NUL) or a pipe, whose reading
// could block for ever or that is no file at all.
bool RegularFileExists(const std::string& path);
bool DeleteFileIfExists(const std::string& path);

// Calls `consume` with the file's bytes in blocks of at most `blockSize`, in order,
// never holding the whole file, until it answers false. False when the file cannot
// be opened or a read fails (what was consumed so far is then to be discarded).
bool ReadFileInBlocks(const std::string& path, std::size_t blockSize,
                      const std::function<bool(std::string_view)>& consume);

// Creates or overwrites the file with exactly these bytes; false on any failure.
bool WriteTextFile(const std::string& path, std::string_view text);

// The platform's MD5 and SHA-1 (its cryptography service), fed in pieces.
enum class DigestKind { Md5, Sha1 };
class Digest {
 public:
  explicit Digest(DigestKind kind);  // throws std::runtime_error when the service refuses
  ~Digest();
  Digest(const Digest&) = delete;
  Digest& operator=(const Digest&) = delete;
  void add(std::string_view bytes);
  std::string finish();  // the raw digest bytes; the object is spent afterwards

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Downloads the URL to the file with the platform's URL service; true when the
// server delivered it (a refused connection or an HTTP error status is false).
bool DownloadUrlToFile(const std::string& url, const std::string& path);

// A library loaded at run time; released when the object goes. Empty when the file
// could not be loaded (a bare name is looked for by the platform's library search).
class RuntimeLibrary {
 public:
  RuntimeLibrary() = default;
  static RuntimeLibrary Load(const std::string& file);
  RuntimeLibrary(RuntimeLibrary&& other) noexcept;
  RuntimeLibrary& operator=(RuntimeLibrary&& other) noexcept;
  ~RuntimeLibrary();
  bool loaded() const { return handle_ != nullptr; }
  // Calls the export `name` as a buffer function: stdcall (NUL-terminated input,
  // 256-byte output buffer) answering a count. nullopt when there is no such export.
  std::optional<std::int32_t> callBufferFunction(const char* name, const char* input,
                                                 std::array<char, 256>& buffer) const;

 private:
  void* handle_ = nullptr;
};

// Opens a file with the shell verb "open"; a hidden window when asked. Does not wait.
void ShellOpen(const std::string& file, bool hidden);

// Low 32 bits of the performance counter, or the tick count when there is none.
std::uint32_t ClockSeed();

// The lowest address of the calling thread's stack; null when unknown. It does not
// move: asked once per thread.
const char* StackBottom();

// Case mapping by the user's locale (the system's ANSI mapping).
std::string AnsiLowered(std::string_view text);
std::string AnsiUppered(std::string_view text);
// The bytes that begin a two-byte character in the ANSI code page (none in a
// single-byte one, such as 1252).
const std::bitset<256>& AnsiLeadBytes();

// What a locale writes dates and times with, names in the ANSI code page. An
// identifier the platform does not know reads as the current thread's locale;
// 1024 is the user's default, 0 the language-neutral identifier.
struct LocaleTexts {
  std::array<std::string, 12> monthNames;
  std::array<std::string, 12> monthAbbreviations;
  std::array<std::string, 7> dayNames;  // Sunday first
  std::array<std::string, 7> dayAbbreviations;
  std::string dateSeparator;
  std::string timeSeparator;
  std::string decimalSeparator;
  // The platform's pictures: d, M, y, g for dates; h, H, m, s, t for times; 'quoted' text.
  std::string shortDatePicture;
  std::string longDatePicture;
  std::string shortTimePicture;
  std::string longTimePicture;
  std::string amDesignator;
  std::string pmDesignator;
  std::string eraName;
  std::string eraAbbreviation;
};
LocaleTexts ReadLocaleTexts(std::uint32_t lcid);
constexpr std::uint32_t kUserDefaultLocale = 1024;

struct ClockReading {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};
ClockReading LocalClock();
ClockReading UtcClock();

// The system's time zone: UTC = local time + bias (minutes), and the daylight part.
struct TimeZoneState {
  std::int32_t bias = 0;
  std::int32_t daylightBias = 0;
  bool daylightInForce = false;
};
TimeZoneState ReadTimeZoneState();

}  // namespace kvl
