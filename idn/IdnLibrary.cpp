// idn.dll: converts one domain between its Unicode form and its ASCII-compatible
// (ACE) form, label by label as IDNA 2003 does, with the platform's IDNA service for
// every label that needs it. Texts are ANSI at the edges and UTF-16 inside. The
// caller's buffer holds 256 bytes; a result that does not fit 255 characters, or
// that cannot be written in the ANSI code page, answers 0 and an empty text.
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr int kBufferSize = 256;
constexpr std::size_t kLongestLabel = 63;
// A longer input can never convert into the buffer; the reading stops there.
constexpr std::size_t kLongestInput = 1024;

using LabelConversion = std::optional<std::wstring> (*)(std::wstring_view);

// The full stop and its ideographic, full-width and half-width forms separate labels.
bool IsDot(wchar_t c) { return c == L'.' || c == 0x3002 || c == 0xFF0E || c == 0xFF61; }

bool IsAscii(std::wstring_view text) {
  return std::all_of(text.begin(), text.end(), [](wchar_t c) { return c < 0x80; });
}

wchar_t AsciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c; }

bool HasAcePrefix(std::wstring_view label) {
  constexpr std::wstring_view prefix = L"xn--";
  return label.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), label.begin(), [](wchar_t p, wchar_t c) { return p == AsciiLower(c); });
}

std::optional<std::wstring> PlatformConversion(decltype(&IdnToAscii) conversion, std::wstring_view label) {
  std::array<wchar_t, kBufferSize> converted{};
  const int count = conversion(0, label.data(), static_cast<int>(label.size()), converted.data(), kBufferSize - 1);
  if (count <= 0) return std::nullopt;
  return std::wstring(converted.data(), static_cast<std::size_t>(count));
}

// An ASCII label stays as written (no case folding, as IDNA 2003 keeps it); any other
// goes through nameprep and Punycode. Labels are 1 to 63 characters.
std::optional<std::wstring> LabelToAce(std::wstring_view label) {
  std::optional<std::wstring> ace = IsAscii(label) ? std::wstring(label) : PlatformConversion(IdnToAscii, label);
  if (!ace || ace->empty() || ace->size() > kLongestLabel) return std::nullopt;
  return ace;
}

// Only labels with the ACE prefix (in any case) are decoded; the others stay, empty
// ones included. A label that does not decode fails the whole name.
std::optional<std::wstring> LabelToUnicode(std::wstring_view label) {
  if (!HasAcePrefix(label)) return std::wstring(label);
  std::wstring lowered(label);
  std::transform(lowered.begin(), lowered.end(), lowered.begin(), AsciiLower);
  return PlatformConversion(IdnToUnicode, lowered);
}

// The labels converted and joined by full stops; a dot at the end stays.
std::optional<std::wstring> ConvertName(std::wstring_view name, LabelConversion convert) {
  std::wstring result;
  std::size_t start = 0;
  while (true) {
    const auto dot = std::find_if(name.begin() + static_cast<std::ptrdiff_t>(start), name.end(), IsDot);
    const std::size_t end = static_cast<std::size_t>(dot - name.begin());
    const bool last = dot == name.end();
    if (last && start == end && start > 0) break;  // the name ended in a dot
    const std::optional<std::wstring> label = convert(name.substr(start, end - start));
    if (!label) return std::nullopt;
    result += *label;
    if (last) break;
    result += L'.';
    start = end + 1;
  }
  return result;
}

std::wstring Widened(const char* input, std::size_t length) {
  const int needed = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, input, static_cast<int>(length), nullptr, 0);
  if (needed <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, input, static_cast<int>(length), wide.data(), needed) != needed)
    return {};
  return wide;
}

// The ANSI form of `wide` into `output` with its NUL; 0 when a character has no
// ANSI form (a "?" in its place would name another domain) or it does not fit.
int Narrowed(const std::wstring& wide, char* output) {
  if (wide.empty()) return 0;
  std::array<char, kBufferSize> ansi{};
  BOOL usedDefault = FALSE;
  const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                         ansi.data(), kBufferSize - 1, nullptr, &usedDefault);
  if (length <= 0 || usedDefault) return 0;
  std::memcpy(output, ansi.data(), static_cast<std::size_t>(length));
  output[length] = '\0';
  return length;
}

int Convert(LabelConversion convert, const char* input, char* output) {
  if (output == nullptr) return 0;
  output[0] = '\0';
  if (input == nullptr) return 0;
  const std::size_t length = strnlen(input, kLongestInput + 1);
  if (length == 0 || length > kLongestInput) return 0;
  const std::wstring wide = Widened(input, length);
  if (wide.empty()) return 0;
  const std::optional<std::wstring> converted = ConvertName(wide, convert);
  return converted ? Narrowed(*converted, output) : 0;
}

}  // namespace

extern "C" {

int WINAPI IDNtoACE(const char* input, char* output) { return Convert(LabelToAce, input, output); }

int WINAPI ACEtoIDN(const char* input, char* output) { return Convert(LabelToUnicode, input, output); }

}  // extern "C"
