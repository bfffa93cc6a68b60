#pragma once
// Small routines on 8-bit text that every macro family shares. Positions count from 1.
#include <bitset>
#include <cstddef>
#include <string>
#include <string_view>

namespace kvl {

// First occurrence of `needle` at or after `from`; npos when there is none. The
// search every text routine uses: whole messages pass through it.
std::size_t FindText(std::string_view text, std::string_view needle, std::size_t from = 0);
// The same search in time linear in the text and the needle whatever they hold (Crochemore
// and Perrin's two-way search); FindText goes over to it when comparing candidates costs
// more than the text passed.
std::size_t FindTextTwoWay(std::string_view text, std::string_view needle, std::size_t from = 0);
// The two-way search with its needle prepared once, for a needle sought in many texts.
// Keeps a view of the needle.
class TwoWaySearch {
 public:
  explicit TwoWaySearch(std::string_view needle);
  std::size_t find(std::string_view text, std::size_t from = 0) const;

 private:
  std::string_view needle_;
  std::ptrdiff_t split_ = -1;  // the needle's halves: [0, split_] and the rest
  std::ptrdiff_t period_ = 1;
  bool periodic_ = false;
};
// Bytes of candidate comparisons that FindText allows beyond the text passed and twice the needle.
inline constexpr std::size_t kTwoWayAfter = 4096;

// Item n of `text` cut at every occurrence of `delimiter`; empty items count.
std::string FieldAt(std::string_view text, std::string_view delimiter, int n);

// Non-overlapping occurrences of `part`; 0 for an empty part.
std::size_t CountOf(std::string_view text, std::string_view part);

// Case map that keeps the length (the locale's or ASCII's).
using CaseMap = std::string (*)(std::string_view);

// Every non-overlapping occurrence, left to right, in one pass; with `fold` given,
// occurrences are found in fold(text) against fold(search). Empty search: unchanged.
std::string ReplaceAll(std::string_view text, std::string_view search, std::string_view replacement,
                       CaseMap fold = nullptr);

// The characters that a classes text (" ", "8", "S", "1", "A", "a", "!") switches on.
using CharClassSet = std::bitset<256>;
CharClassSet TrimClassSet(std::string_view classes);
// Exactly the characters of the text (a set to test against, whatever the text's length).
CharClassSet SetOfCharacters(std::string_view characters);
bool InClasses(const CharClassSet& set, char c);

std::string TrimClasses(std::string_view text, std::string_view classes);
// Never examines the last character, so a non-empty text keeps at least one.
std::string TrimLeftClasses(std::string_view text, std::string_view classes);
std::string TrimRightClasses(std::string_view text, std::string_view classes);

// Codes 0-32 removed at both ends (what "trimmed" means without further words).
std::string_view Trimmed(std::string_view text);

// \\ \t \n \r \w \cDDD \xHH; other escaped characters lose their backslash.
std::string UnescapeText(std::string_view text);

// Two hexadecimal digits to one character; "0" and non-digits count as 0.
char HexPairToChar(std::string_view pair);

bool IsHexDigit(char c);

// Percent escapes ("%41") of a URL or an RFC 2231 value read back; a "%" without two
// hexadecimal digits after it, and "+", stay as they are.
std::string PercentDecoded(std::string_view text);

char AsciiUpper(char c);
char AsciiLower(char c);
std::string AsciiLowered(std::string_view text);
std::string AsciiUppered(std::string_view text);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// Calls `visit(line)` for every line of `text` cut at CR LF (line without its CR LF),
// as if the text ended in one more CR LF: "a" and "a\r\nb" give one and two lines,
// "a\r\n" gives "a" and an empty line, the empty text one empty line.
// A lone CR or LF ends no line here.
template <typename Visit>
void ForEachLine(std::string_view text, Visit&& visit) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string_view::npos) {
      visit(text.substr(start));
      return;
    }
    visit(text.substr(start, end - start));
    start = end + 2;
  }
}

// The lines of a text cut at CR LF, lone CR or lone LF; a final line break adds no line.
template <typename Visit>
void ForEachLineAtAnyBreak(std::string_view text, Visit&& visit) {
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", at);
    if (end == std::string_view::npos) {
      visit(text.substr(at));
      return;
    }
    visit(text.substr(at, end - at));
    at = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
  }
}

}  // namespace kvl
