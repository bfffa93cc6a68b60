#include "host/Charset.h"

#include <windows.h>

#include <array>
#include <utility>

#include "core/TextUtil.h"

namespace kvlhost {

namespace {
std::wstring ToWide(std::string_view bytes, unsigned codePage) {
  if (bytes.empty()) return {};
  const int length = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), length);
  return wide;
}

std::string FromWide(std::wstring_view wide, unsigned codePage) {
  if (wide.empty()) return {};
  const int length =
      WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), length, nullptr,
                      nullptr);
  return bytes;
}
}  // namespace

std::string Utf8ToAnsi(std::string_view utf8) { return FromWide(ToWide(utf8, CP_UTF8), CP_ACP); }
std::string AnsiToUtf8(std::string_view ansi) { return FromWide(ToWide(ansi, CP_ACP), CP_UTF8); }
std::string WideToAnsi(std::wstring_view wide) { return FromWide(wide, CP_ACP); }
std::string WideToUtf8(std::wstring_view wide) { return FromWide(wide, CP_UTF8); }
std::wstring Utf8ToWide(std::string_view utf8) { return ToWide(utf8, CP_UTF8); }

unsigned CodePageOfCharset(std::string_view charset) {
  const std::string name = kvl::AsciiLowered(kvl::Trimmed(charset));
  static constexpr std::array<std::pair<std::string_view, unsigned>, 24> kNames{{
      {"utf-8", 65001},        {"utf8", 65001},         {"us-ascii", 0},         {"ascii", 0},
      {"iso-8859-1", 1252},    {"latin1", 1252},       {"iso-8859-2", 28592},   {"iso-8859-5", 28595},
      {"iso-8859-7", 28597},   {"iso-8859-9", 28599},   {"iso-8859-15", 28605},  {"koi8-r", 20866},
      {"koi8-u", 21866},       {"windows-1250", 1250},  {"windows-1251", 1251},  {"windows-1252", 1252},
      {"windows-1253", 1253},  {"windows-1254", 1254},  {"windows-1257", 1257},  {"cp1252", 1252},
      {"cp1251", 1251},        {"cp850", 850},          {"ibm850", 850},         {"utf-7", 65000},
  }};
  // ASCII passes unchanged (it is part of every ANSI code page, and 8-bit bytes in
  // mislabelled mail survive); ISO-8859-1 is read as its superset 1252, as mail
  // labelled Latin-1 often carries 1252's quotes and euro sign.
  for (const auto& [known, codePage] : kNames)
    if (name == known) return codePage;
  return 0;
}

std::string CharsetToAnsi(std::string_view bytes, std::string_view charset) {
  const unsigned codePage = CodePageOfCharset(charset);
  if (codePage == 0 || codePage == GetACP()) return std::string(bytes);
  return FromWide(ToWide(bytes, codePage), CP_ACP);
}

}  // namespace kvlhost
