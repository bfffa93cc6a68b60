#pragma once
// Text conversions at kvlhost's edges: the plug-in speaks the ANSI code page,
// files and the terminal speak UTF-8, messages speak whatever charset they declare.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kvlhost {

std::string Utf8ToAnsi(std::string_view utf8);
std::string AnsiToUtf8(std::string_view ansi);
// The UTF-8 form of an ANSI text handed to `take` a piece at a time (about 1 MiB each), so
// that a long result is written out without a whole converted copy.
void AnsiToUtf8InPieces(std::string_view ansi, const std::function<void(std::string_view)>& take);
std::string WideToAnsi(std::wstring_view wide);
std::string WideToUtf8(std::wstring_view wide);
std::wstring Utf8ToWide(std::string_view utf8);

// The length of the UTF-8 sequence a lead byte starts (2 to 4); 0 for ASCII and for bytes
// that start none.
std::size_t Utf8SequenceLength(unsigned char lead);

// The first character of a UTF-8 text that the ANSI code page cannot hold (nor take a
// best-fit letter for), or a byte that is no UTF-8; with what the text becomes there and the
// count of all such places. Nothing when every character converts as it is.
struct LostCharacter {
  std::size_t offset = 0;  // of the first, in bytes
  std::string shown;       // the character in UTF-8, or "byte 0xDF"
  std::string becomes;     // in UTF-8
  std::size_t count = 0;
};
std::optional<LostCharacter> FirstLostCharacter(std::string_view utf8);
// "\"🎉\" has no form in code page 1252 and becomes \"??\"", with the count when there are more.
std::string LostCharacterMessage(const LostCharacter& lost);
// The same in the ANSI code page, which cannot hold the character: it is named by its code
// point ("U+1F389 has no form in code page 1252 and becomes \"??\"").
std::string AnsiLostCharacterMessage(const LostCharacter& lost);

// While one lives, the calling thread's conversions into the ANSI code page (Utf8ToAnsi,
// WideToAnsi, CharsetToAnsi) count the characters they lose, as FirstLostCharacter does, and
// keep the first (its offset is not known here: 0).
class LostCharacterWatch {
 public:
  LostCharacterWatch();
  ~LostCharacterWatch();
  LostCharacterWatch(const LostCharacterWatch&) = delete;
  LostCharacterWatch& operator=(const LostCharacterWatch&) = delete;

  const std::optional<LostCharacter>& first() const { return first_; }
  void note(std::wstring_view converted);

 private:
  std::optional<LostCharacter> first_;
  LostCharacterWatch* previous_;
};

// Windows code page for a MIME charset name or alias ("utf-8", "x-sjis", "ks_c_5601-1987", ...),
// found in the platform's charset registry (MLang, then HKCR\MIME\Database\Charset), then in a
// few rules of our own; 0 when the bytes pass unchanged (ASCII, unknown names and code pages
// this machine cannot convert). UTF-16/32 answer 1200/1201/12000/12001, ISO-8859-16 28606.
unsigned CodePageOfCharset(std::string_view charset) noexcept;

// Bytes in the named charset as UTF-16. Unknown charsets are read in the ANSI code page, with
// one warning per name (see CharsetWarningScope). Throws nothing but std::bad_alloc.
std::wstring CharsetToWide(std::string_view bytes, std::string_view charset);

// Bytes in the named charset converted to ANSI (best fit); unknown charsets pass unchanged.
std::string CharsetToAnsi(std::string_view bytes, std::string_view charset);

// While one lives, the calling thread's warnings about charsets go to `sink` (a session's
// bounded warnings); without one they are dropped. Each name is warned about once per process.
class CharsetWarningScope {
 public:
  explicit CharsetWarningScope(std::function<void(const std::string&)> sink);
  ~CharsetWarningScope();
  CharsetWarningScope(const CharsetWarningScope&) = delete;
  CharsetWarningScope& operator=(const CharsetWarningScope&) = delete;

  void warn(const std::string& message) const;

 private:
  std::function<void(const std::string&)> sink_;
  const CharsetWarningScope* previous_;
};

}  // namespace kvlhost
