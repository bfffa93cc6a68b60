#include <windows.h>
#include <bcrypt.h>
#include <shellapi.h>
#include <wininet.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

#include "core/TextUtil.h"
#include "core/Win32File.h"
#include "core/platform.h"

namespace kvl {

// Wine's profile functions overrun a stack buffer with file names of about 520
// characters (Windows' own limit for them is a path buffer) and crash on a section or
// value of 32 767 characters.
bool FitsIniTexts(const std::string& file, std::initializer_list<std::string_view> texts) {
  return FitsPathBuffer(file) && std::all_of(texts.begin(), texts.end(), FitsPlatformText);
}

std::string IniReadString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& dflt) {
  if (!FitsIniTexts(file, {section, key, dflt})) return dflt;
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
  // A name that fills the buffer may have been cut: ask again with more room.
  std::string folder;
  for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
    folder.assign(size, '\0');
    const DWORD length = GetModuleFileNameA(module, folder.data(), size);
    if (length == 0) return {};
    if (length < size) {
      folder.resize(length);
      break;
    }
    folder.clear();
  }
  if (folder.empty()) return {};
  folder.erase(folder.find_last_of('\\') + 1);
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  return folder;
}

std::string ReadVersionString(const std::string& file, const std::string& key) {
  // The resource reader reads a device as it would a file: COM1 would block it.
  if (!RegularFileExists(file) || !FitsPlatformText(key)) return {};
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

namespace {
DWORD AttributesOf(const std::string& path) {
  return FitsPathBuffer(path) ? GetFileAttributesA(path.c_str()) : INVALID_FILE_ATTRIBUTES;
}
}  // namespace

bool PathExists(const std::string& path) { return AttributesOf(path) != INVALID_FILE_ATTRIBUTES; }

bool FileExists(const std::string& path) {
  const DWORD attributes = AttributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
  const DWORD attributes = AttributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool RegularFileExists(const std::string& path) {
  return OpenRegularFile(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING) != nullptr;
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

RuntimeLibrary RuntimeLibrary::Load(const std::string& file) {
  RuntimeLibrary library;
  if (!FitsPathBuffer(file)) return library;
  // No "cannot find" box from the system: a missing library is an ordinary answer here.
  DWORD previousMode = 0;
  const bool modeSet = SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode) != 0;
  library.handle_ = LoadLibraryExA(file.c_str(), nullptr, 0);
  if (modeSet) SetThreadErrorMode(previousMode, nullptr);
  return library;
}

RuntimeLibrary::RuntimeLibrary(RuntimeLibrary&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

RuntimeLibrary& RuntimeLibrary::operator=(RuntimeLibrary&& other) noexcept {
  if (this != &other) {
    if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

RuntimeLibrary::~RuntimeLibrary() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
}

std::optional<std::int32_t> RuntimeLibrary::callBufferFunction(const char* name, const char* input,
                                                               std::array<char, 256>& buffer) const {
  if (handle_ == nullptr) return std::nullopt;
  using BufferFunction = int(WINAPI*)(const char*, char*);
  const FARPROC address = GetProcAddress(static_cast<HMODULE>(handle_), name);
  if (address == nullptr) return std::nullopt;
  return reinterpret_cast<BufferFunction>(reinterpret_cast<void*>(address))(input, buffer.data());
}

void ShellOpen(const std::string& file, bool hidden) {
  if (!FitsPathBuffer(file)) return;
  ShellExecuteA(nullptr, "open", file.c_str(), nullptr, nullptr, hidden ? SW_HIDE : SW_SHOWNORMAL);
}

std::uint32_t ClockSeed() {
  LARGE_INTEGER counter{};
  if (QueryPerformanceCounter(&counter) && counter.QuadPart != 0) return static_cast<std::uint32_t>(counter.LowPart);
  return GetTickCount();
}

const char* StackBottom() {
  thread_local const char* bottom = nullptr;
  if (bottom != nullptr) return bottom;
  MEMORY_BASIC_INFORMATION region{};
  if (VirtualQuery(__builtin_frame_address(0), &region, sizeof region) == sizeof region)
    bottom = static_cast<const char*>(region.AllocationBase);
  return bottom;
}

std::string AnsiLowered(std::string_view text) {
  std::string out(text);
  if (!out.empty()) CharLowerBuffA(out.data(), static_cast<DWORD>(out.size()));
  return out;
}

const std::bitset<256>& AnsiLeadBytes() {
  static const std::bitset<256> leadBytes = [] {
    std::bitset<256> bytes;
    for (int b = 0x80; b < 256; ++b) bytes.set(static_cast<std::size_t>(b), IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(b)) != 0);
    return bytes;
  }();
  return leadBytes;
}

std::string AnsiUppered(std::string_view text) {
  std::string out(text);
  if (!out.empty()) CharUpperBuffA(out.data(), static_cast<DWORD>(out.size()));
  return out;
}

}  // namespace kvl

namespace kvl {

namespace {
// Wide text in the ANSI code page, the code page the host's texts are in.
std::string AnsiText(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), size, nullptr, nullptr);
  out.resize(static_cast<std::size_t>(size) - 1);
  return out;
}

std::string LocaleString(LCID lcid, LCTYPE type) {
  std::array<wchar_t, 256> buffer{};
  if (GetLocaleInfoW(lcid, type, buffer.data(), static_cast<int>(buffer.size())) == 0) return {};
  return AnsiText(buffer.data());
}

std::string CalendarString(LCID lcid, CALTYPE type) {
  std::array<wchar_t, 16> calendar{};
  CALID id = CAL_GREGORIAN;
  if (GetLocaleInfoW(lcid, LOCALE_ICALENDARTYPE, calendar.data(), static_cast<int>(calendar.size())) != 0)
    id = static_cast<CALID>(_wtoi(calendar.data()));
  std::array<wchar_t, 128> buffer{};
  if (GetCalendarInfoW(lcid, id, type, buffer.data(), static_cast<int>(buffer.size()), nullptr) == 0) return {};
  return AnsiText(buffer.data());
}

ClockReading FromSystemTime(const SYSTEMTIME& time) {
  return {time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond, time.wMilliseconds};
}
}  // namespace

LocaleTexts ReadLocaleTexts(std::uint32_t lcid) {
  std::array<wchar_t, 8> probe{};
  LCID locale = lcid;
  if (GetLocaleInfoW(locale, LOCALE_SSHORTDATE, probe.data(), static_cast<int>(probe.size())) == 0 &&
      GetLastError() != ERROR_INSUFFICIENT_BUFFER)
    locale = GetThreadLocale();
  LocaleTexts texts;
  for (int n = 0; n < 12; ++n) {
    texts.monthNames[n] = LocaleString(locale, LOCALE_SMONTHNAME1 + n);
    texts.monthAbbreviations[n] = LocaleString(locale, LOCALE_SABBREVMONTHNAME1 + n);
  }
  // The platform counts days from Monday (1) to Sunday (7).
  for (int n = 0; n < 7; ++n) {
    texts.dayNames[(n + 1) % 7] = LocaleString(locale, LOCALE_SDAYNAME1 + n);
    texts.dayAbbreviations[(n + 1) % 7] = LocaleString(locale, LOCALE_SABBREVDAYNAME1 + n);
  }
  texts.dateSeparator = LocaleString(locale, LOCALE_SDATE);
  texts.timeSeparator = LocaleString(locale, LOCALE_STIME);
  texts.decimalSeparator = LocaleString(locale, LOCALE_SDECIMAL);
  texts.shortDatePicture = LocaleString(locale, LOCALE_SSHORTDATE);
  texts.longDatePicture = LocaleString(locale, LOCALE_SLONGDATE);
  texts.shortTimePicture = LocaleString(locale, LOCALE_SSHORTTIME);
  texts.longTimePicture = LocaleString(locale, LOCALE_STIMEFORMAT);
  texts.amDesignator = LocaleString(locale, LOCALE_S1159);
  texts.pmDesignator = LocaleString(locale, LOCALE_S2359);
  texts.eraName = CalendarString(locale, CAL_SERASTRING);
  texts.eraAbbreviation = CalendarString(locale, CAL_SABBREVERASTRING);
  return texts;
}

ClockReading LocalClock() {
  SYSTEMTIME time{};
  GetLocalTime(&time);
  return FromSystemTime(time);
}

ClockReading UtcClock() {
  SYSTEMTIME time{};
  GetSystemTime(&time);
  return FromSystemTime(time);
}

TimeZoneState ReadTimeZoneState() {
  TIME_ZONE_INFORMATION info{};
  const DWORD state = GetTimeZoneInformation(&info);
  return {static_cast<std::int32_t>(info.Bias), static_cast<std::int32_t>(info.DaylightBias),
          state == TIME_ZONE_ID_DAYLIGHT};
}

}  // namespace kvl

namespace kvl {

namespace {
struct InternetCloser {
  void operator()(HINTERNET handle) const { InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetCloser>;

// The download goes to a sibling file of this name first.
constexpr std::string_view kPartialDownloadSuffix = ".kvl-download";

// WinINet's limit (INTERNET_MAX_URL_LENGTH with its NUL); its address parsing has
// fixed buffers of that size.
bool FitsUrl(const std::string& url) {
  return url.size() < INTERNET_MAX_URL_LENGTH && url.find('\0') == std::string::npos;
}

// A download may replace a file, never a folder or a device (COM1 would take the bytes).
bool AbsentOrRegularFile(const std::string& path) { return !PathExists(path) || RegularFileExists(path); }

struct AlgorithmCloser {
  void operator()(BCRYPT_ALG_HANDLE handle) const { BCryptCloseAlgorithmProvider(handle, 0); }
};
struct HashCloser {
  void operator()(BCRYPT_HASH_HANDLE handle) const { BCryptDestroyHash(handle); }
};
}  // namespace

bool ReadFileInBlocks(const std::string& path, std::size_t blockSize,
                      const std::function<bool(std::string_view)>& consume) {
  const UniqueHandle file = OpenRegularFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                                          FILE_FLAG_SEQUENTIAL_SCAN);
  if (!file) return false;
  std::unique_ptr<char[]> block = std::make_unique_for_overwrite<char[]>(blockSize);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.get(), block.get(), static_cast<DWORD>(blockSize), &got, nullptr)) return false;
    if (got == 0 || !consume(std::string_view(block.get(), got))) return true;
  }
}

bool WriteTextFile(const std::string& path, std::string_view text) {
  const UniqueHandle file = OpenRegularFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
  if (!file) return false;
  constexpr std::size_t kPiece = 1 << 24;  // WriteFile counts in 32 bits; keep each write modest
  for (std::size_t at = 0; at < text.size(); at += kPiece) {
    const DWORD piece = static_cast<DWORD>(std::min(kPiece, text.size() - at));
    DWORD written = 0;
    if (!WriteFile(file.get(), text.data() + at, piece, &written, nullptr) || written != piece) return false;
  }
  return true;
}

struct Digest::State {
  std::unique_ptr<void, AlgorithmCloser> algorithm;
  std::unique_ptr<void, HashCloser> hash;
  DWORD length = 0;
};

Digest::Digest(DigestKind kind) : state_(std::make_unique<State>()) {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  const wchar_t* id = kind == DigestKind::Md5 ? BCRYPT_MD5_ALGORITHM : BCRYPT_SHA1_ALGORITHM;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, id, nullptr, 0)))
    throw std::runtime_error("hash algorithm unavailable");
  state_->algorithm.reset(algorithm);
  ULONG got = 0;
  if (!BCRYPT_SUCCESS(BCryptGetProperty(algorithm, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&state_->length),
                                        sizeof(state_->length), &got, 0)))
    throw std::runtime_error("hash length unavailable");
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0)))
    throw std::runtime_error("hash object unavailable");
  state_->hash.reset(hash);
}

Digest::~Digest() = default;

void Digest::add(std::string_view bytes) {
  constexpr std::size_t kPiece = 1 << 30;
  for (std::size_t at = 0; at < bytes.size(); at += kPiece) {
    const ULONG piece = static_cast<ULONG>(std::min(kPiece, bytes.size() - at));
    auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data() + at));
    if (!BCRYPT_SUCCESS(BCryptHashData(state_->hash.get(), data, piece, 0)))
      throw std::runtime_error("hashing failed");
  }
}

std::string Digest::finish() {
  std::string out(state_->length, '\0');
  if (!BCRYPT_SUCCESS(BCryptFinishHash(state_->hash.get(), reinterpret_cast<PUCHAR>(out.data()), state_->length, 0)))
    throw std::runtime_error("hashing failed");
  return out;
}

// WinINet rather than URLDownloadToFile: under Wine the latter reports success for
// an HTTP 404 and leaves the error page behind. The body goes to a sibling file
// first, so a failed download never destroys a file that was there before.
bool DownloadUrlToFile(const std::string& url, const std::string& path) {
  const std::string partial = path + std::string(kPartialDownloadSuffix);
  if (!FitsUrl(url) || !FitsPathBuffer(partial) || !AbsentOrRegularFile(path)) return false;
  const InternetHandle session(InternetOpenA("Korvel", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return false;
  DWORD timeout = 60000;
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT})
    InternetSetOptionA(session.get(), option, &timeout, sizeof(timeout));
  const InternetHandle request(InternetOpenUrlA(
      session.get(), url.c_str(), nullptr, 0,
      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES, 0));
  if (!request) return false;
  DWORD status = 0;
  DWORD size = sizeof(status);
  if (HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) &&
      (status < 200 || status > 299))
    return false;
  bool complete = false;
  {
    const UniqueHandle file = OpenRegularFile(partial, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    if (!file) return false;
    std::vector<char> block(1 << 16);
    for (;;) {
      DWORD got = 0;
      if (!InternetReadFile(request.get(), block.data(), static_cast<DWORD>(block.size()), &got)) break;
      if (got == 0) {
        complete = true;
        break;
      }
      DWORD written = 0;
      if (!WriteFile(file.get(), block.data(), got, &written, nullptr) || written != got) break;
    }
  }
  if (complete && MoveFileExA(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
    return true;
  DeleteFileA(partial.c_str());
  return false;
}

}  // namespace kvl
