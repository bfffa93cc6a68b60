#include <windows.h>
#include <shellapi.h>

#include <array>
#include <cstdio>
#include <vector>

#include "core/TextUtil.h"
#include "core/platform.h"

namespace kvl {

// Wine's profile functions overrun a stack buffer with names of about 520 characters;
// Windows' own limit for them is a path buffer.
bool FitsIniFileName(const std::string& file) { return file.size() < MAX_PATH; }

std::string IniReadString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& dflt) {
  if (!FitsIniFileName(file)) return dflt;
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
