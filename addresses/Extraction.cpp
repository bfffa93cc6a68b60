#include "addresses/Extraction.h"

#include <algorithm>
#include <array>
#include <vector>

#include "core/Limits.h"
#include "core/platform.h"

namespace kvl::addresses {

namespace {

// Character classes by code: the address characters and the URL characters.
struct CharTable {
  std::array<bool, 256> member{};
  constexpr explicit CharTable(std::string_view others) {
    for (int c = 'a'; c <= 'z'; ++c) member[static_cast<std::size_t>(c)] = member[static_cast<std::size_t>(c - 32)] = true;
    for (char c : others) member[static_cast<unsigned char>(c)] = true;
  }
  bool operator()(char c) const { return member[static_cast<unsigned char>(c)]; }
};
constexpr CharTable IsAddressChar("._-");
constexpr CharTable IsUrlChar("0123456789.:_-=/%&?");

// Appends one found piece, with the separator before every piece but the first.
// The first one reserves room for `rest` more characters, so long lists of pieces
// do not copy what they hold again and again as they grow.
void AppendFound(std::string& result, bool& first, std::string_view separator, std::string_view piece,
                 std::size_t rest) {
  const std::size_t added = (first ? 0 : separator.size()) + piece.size();
  EnsureResultFits(std::uint64_t{result.size()} + added);
  if (first) result.reserve(std::min(rest, kResultCap));
  if (!first) result += separator;
  result += piece;
  first = false;
}

bool AcceptableAddress(std::string_view local, std::string_view domain) {
  if (local.empty() || domain.size() < 5) return false;
  const std::size_t lastDot = domain.rfind('.');
  return lastDot != std::string_view::npos && domain.size() - lastDot - 1 >= 2;
}

// The code-page lower case of every character code, as the prefix search compares.
std::array<unsigned char, 256> LowerCaseTable() {
  std::string codes(256, '\0');
  for (int code = 0; code < 256; ++code) codes[static_cast<std::size_t>(code)] = static_cast<char>(code);
  const std::string lowered = AnsiLowered(codes);
  std::array<unsigned char, 256> table{};
  for (std::size_t code = 0; code < 256; ++code)
    table[code] = static_cast<unsigned char>(lowered.size() == 256 ? lowered[code] : static_cast<char>(code));
  return table;
}

// Occurrences of a pattern ignoring case, found left to right in one pass
// (Knuth-Morris-Pratt over lowered characters): a prefix like "aaab" in a text of
// "a"s costs no more than any other.
class CaselessFinder {
 public:
  explicit CaselessFinder(std::string_view pattern) : lower_(LowerCaseTable()), fallback_(pattern.size() + 1, 0) {
    pattern_.reserve(pattern.size());
    for (char c : pattern) pattern_.push_back(lower_[static_cast<unsigned char>(c)]);
    for (std::size_t i = 1, k = 0; i < pattern_.size(); ++i) {
      while (k > 0 && pattern_[i] != pattern_[k]) k = fallback_[k];
      if (pattern_[i] == pattern_[k]) ++k;
      fallback_[i + 1] = k;
    }
  }

  // Start of the first occurrence that begins at or after `from`; npos when none.
  std::size_t find(std::string_view text, std::size_t from) const {
    const std::size_t m = pattern_.size();
    std::size_t matched = 0;
    for (std::size_t i = from; i < text.size(); ++i) {
      const unsigned char c = lower_[static_cast<unsigned char>(text[i])];
      while (matched > 0 && c != pattern_[matched]) matched = fallback_[matched];
      if (c != pattern_[matched]) continue;
      if (++matched == m) return i + 1 - m;
    }
    return std::string_view::npos;
  }

 private:
  std::array<unsigned char, 256> lower_;
  std::vector<unsigned char> pattern_;
  std::vector<std::size_t> fallback_;
};

}  // namespace

std::string ExtractAddresses(std::string_view text, std::string_view separator) {
  std::string result;
  bool first = true;
  // Address characters never include "@", so the walks from one "@" stop at its
  // neighbours: each character is walked at most twice.
  for (std::size_t at = text.find('@'); at != std::string_view::npos; at = text.find('@', at + 1)) {
    std::size_t start = at;
    while (start > 0 && IsAddressChar(text[start - 1])) --start;
    std::size_t end = at + 1;
    while (end < text.size() && IsAddressChar(text[end])) ++end;
    if (AcceptableAddress(text.substr(start, at - start), text.substr(at + 1, end - at - 1)))
      AppendFound(result, first, separator, text.substr(start, end - start), text.size() - start);
  }
  return result;
}

std::string ExtractUrls(std::string_view text, std::string_view separator, std::string_view prefix) {
  std::string result;
  if (prefix.empty()) return result;
  const CaselessFinder finder(prefix);
  bool first = true;
  std::size_t taken = 0;  // end of the last link: nothing before it is walked again
  for (std::size_t at = finder.find(text, 0); at != std::string_view::npos; at = finder.find(text, taken)) {
    std::size_t start = at;
    while (start > taken && IsUrlChar(text[start - 1])) --start;
    std::size_t end = at + prefix.size();  // the prefix's own characters are not tested
    while (end < text.size() && IsUrlChar(text[end])) ++end;
    AppendFound(result, first, separator, text.substr(start, end - start), text.size() - start);
    taken = end;
  }
  return result;
}

}  // namespace kvl::addresses
