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
constexpr CharTable IsAddressChar("0123456789._-+");
// A link's characters before its prefix, and after it, where fragments, paths with
// "~", "@", "!", parentheses and the like belong to the link too.
constexpr CharTable IsUrlChar("0123456789.:_-=/%&?");
constexpr CharTable IsUrlTailChar("0123456789.:_-=/%&?#~+@!*,;'()");

// What ends a sentence more often than it ends the link before it.
bool IsTrailingPunctuation(char c) { return std::string_view("?!.,:;*'").find(c) != std::string_view::npos; }

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

// Where a link's prefix was found: its start and its length.
struct PrefixAt {
  std::size_t at;
  std::size_t length;
};

// The end of a link whose characters run from `start` to `end`: trailing punctuation
// is dropped, and so is a final ")" while the link holds more ")" than "(", as in
// "(see https://example.com/x)". The prefix, which ends at `least`, stays whole. The
// parentheses are counted only for a link that ends in one.
std::size_t LinkEnd(std::string_view text, std::size_t start, std::size_t least, std::size_t end) {
  bool counted = false;
  std::ptrdiff_t unmatched = 0;
  for (; end > least; --end) {
    const char last = text[end - 1];
    if (last == ')') {
      if (!counted) {
        const std::string_view link = text.substr(start, end - start);
        unmatched = std::count(link.begin(), link.end(), ')') - std::count(link.begin(), link.end(), '(');
        counted = true;
      }
      if (unmatched <= 0) break;
      --unmatched;
    } else if (!IsTrailingPunctuation(last)) {
      break;
    }
  }
  return end;
}

// Every link at a prefix that `findPrefix(from)` finds at or after `from`, left to
// right. A link's left part never reaches into the one before, and the search goes
// on after the characters a link walked over (its dropped punctuation too), so each
// character is looked at a bounded number of times.
template <typename FindPrefix>
std::string ListLinks(std::string_view text, std::string_view separator, FindPrefix&& findPrefix) {
  std::string result;
  bool first = true;
  std::size_t taken = 0;  // end of the last link's walk: nothing before it is walked again
  for (PrefixAt found = findPrefix(0); found.at != std::string_view::npos; found = findPrefix(taken)) {
    std::size_t start = found.at;
    while (start > taken && IsUrlChar(text[start - 1])) --start;
    const std::size_t afterPrefix = found.at + found.length;  // the prefix's own characters are not tested
    std::size_t end = afterPrefix;
    while (end < text.size() && IsUrlTailChar(text[end])) ++end;
    const std::size_t linkEnd = LinkEnd(text, start, afterPrefix, end);
    AppendFound(result, first, separator, text.substr(start, linkEnd - start), text.size() - start);
    taken = end;
  }
  return result;
}

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
    while (end > at + 1 && text[end - 1] == '.') --end;  // a sentence's final "." is no part of the domain
    if (AcceptableAddress(text.substr(start, at - start), text.substr(at + 1, end - at - 1)))
      AppendFound(result, first, separator, text.substr(start, end - start), text.size() - start);
  }
  return result;
}

std::string ExtractUrls(std::string_view text, std::string_view separator, std::string_view prefix) {
  if (prefix.empty()) return std::string();
  const CaselessFinder finder(prefix);
  return ListLinks(text, separator, [&](std::size_t from) { return PrefixAt{finder.find(text, from), prefix.size()}; });
}

std::string ExtractWebLinks(std::string_view text, std::string_view separator) {
  const CaselessFinder finder("http");
  // "http" has no repeated beginning, so trying again one character on rescans at
  // most three characters of each occurrence that is not a link.
  return ListLinks(text, separator, [&](std::size_t from) {
    for (std::size_t at = finder.find(text, from); at != std::string_view::npos; at = finder.find(text, at + 1)) {
      const std::string_view rest = text.substr(at + 4);
      if (rest.starts_with("://")) return PrefixAt{at, 7};
      if ((rest.starts_with('s') || rest.starts_with('S')) && rest.substr(1).starts_with("://")) return PrefixAt{at, 8};
    }
    return PrefixAt{std::string_view::npos, 0};
  });
}

}  // namespace kvl::addresses
