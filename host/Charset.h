#pragma once
// Text conversions at kvlhost's edges: the plug-in speaks the ANSI code page,
// files and the terminal speak UTF-8, messages speak whatever charset they declare.
#include <string>
#include <string_view>

namespace kvlhost {

std::string Utf8ToAnsi(std::string_view utf8);
std::string AnsiToUtf8(std::string_view ansi);
std::string WideToAnsi(std::wstring_view wide);
std::string WideToUtf8(std::wstring_view wide);
std::wstring Utf8ToWide(std::string_view utf8);

// Windows code page for a MIME charset name ("utf-8", "iso-8859-15", "windows-1252", ...);
// 0 when the bytes pass unchanged (ASCII and unknown names).
unsigned CodePageOfCharset(std::string_view charset);

// Bytes in the named charset converted to ANSI; unknown charsets pass unchanged.
std::string CharsetToAnsi(std::string_view bytes, std::string_view charset);

}  // namespace kvlhost
