#include "core/TextUtil.h"

#include <algorithm>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/Numbers.h"
#include "core/TextBuilder.h"

namespace kvl {

namespace {
using Signed = std::ptrdiff_t;

// The start of the needle's maximal suffix by the byte order (or its reverse), and
// that suffix's period.
std::pair<Signed, Signed> MaximalSuffix(const unsigned char* x, Signed m, bool reversed) {
  Signed start = -1, j = 0, k = 1, period = 1;
  while (j + k < m) {
    const unsigned char a = x[j + k], b = x[start + k];
    if (reversed ? a > b : a < b) {
      j += k;
      k = 1;
      period = j - start;
    } else if (a == b) {
      if (k != period) {
        ++k;
      } else {
        j += period;
        k = 1;
      }
    } else {
      start = j++;
      k = period = 1;
    }
  }
  return {start, period};
}

// How many bytes from the start `a` and `b` share, up to `n`: a block at a time while they agree.
Signed SharedLength(const char* a, const char* b, Signed n) {
  constexpr Signed kBlock = 16;
  Signed at = 0;
  while (at + kBlock <= n && std::memcmp(a + at, b + at, kBlock) == 0) at += kBlock;
  while (at < n && a[at] == b[at]) ++at;
  return at;
}
}  // namespace

// The needle is cut where its two halves cannot both shift far (its critical
// factorisation): the right half is compared first, then the left.
TwoWaySearch::TwoWaySearch(std::string_view needle) : needle_(needle) {
  if (needle.empty()) return;
  const auto* x = reinterpret_cast<const unsigned char*>(needle.data());
  const auto m = static_cast<Signed>(needle.size());
  const auto [start1, period1] = MaximalSuffix(x, m, false);
  const auto [start2, period2] = MaximalSuffix(x, m, true);
  split_ = start1 > start2 ? start1 : start2;
  period_ = start1 > start2 ? period1 : period2;
  periodic_ = std::memcmp(x, x + period_, static_cast<std::size_t>(split_ + 1)) == 0;
  if (!periodic_) period_ = std::max(split_ + 1, m - split_ - 1) + 1;
}

std::size_t TwoWaySearch::find(std::string_view text, std::size_t from) const {
  const std::string_view x = needle_;
  if (from > text.size() || x.size() > text.size() - from) return std::string_view::npos;
  if (x.empty()) return from;
  const auto m = static_cast<Signed>(x.size());
  const auto last = static_cast<Signed>(text.size()) - m;  // the last place a match can start
  const char first = x[static_cast<std::size_t>(split_ + 1)];  // the right half's first byte
  Signed j = static_cast<Signed>(from);
  Signed memory = -1;  // periodic needles: how much of the left half the last shift kept matched
  while (j <= last) {
    if (memory < 0) {
      // Every place whose right half does not start right moves on by one: skip them at once.
      const std::size_t next = FindText(text, std::string_view(&first, 1), static_cast<std::size_t>(j + split_ + 1));
      if (next == std::string_view::npos) return std::string_view::npos;
      j = static_cast<Signed>(next) - split_ - 1;
      if (j > last) return std::string_view::npos;
    }
    const Signed right = std::max(split_, memory) + 1;
    const Signed i = right + SharedLength(x.data() + right, text.data() + right + j, m - right);
    if (i < m) {
      j += i - split_;
      memory = -1;
      continue;
    }
    const Signed floor = periodic_ ? memory : -1;  // the left half above it is known to match
    if (floor >= split_ ||
        std::memcmp(x.data() + floor + 1, text.data() + j + floor + 1, static_cast<std::size_t>(split_ - floor)) == 0)
      return static_cast<std::size_t>(j);
    j += period_;
    if (periodic_) memory = m - period_ - 1;
  }
  return std::string_view::npos;
}

std::size_t FindTextTwoWay(std::string_view text, std::string_view needle, std::size_t from) {
  return TwoWaySearch(needle).find(text, from);
}

// Sixteen positions at a time: a candidate must match the needle's first and last
// characters; only candidates are compared in full. Candidates that fail after long
// comparisons (a needle of one repeated letter but its middle, in a text of that
// letter) would make the search quadratic: once they have cost more than the text
// passed, the rest of the search goes two-way.
std::size_t FindText(std::string_view text, std::string_view needle, std::size_t from) {
  const std::size_t m = needle.size();
  if (from > text.size() || m > text.size() - from) return std::string_view::npos;
  if (m == 0) return from;
  const char* base = text.data();
  std::size_t at = from;
  if (m == 1) {
#if defined(__SSE2__)
    // The C runtime's memchr under Wine reads a byte at a time: 64 bytes a step here.
    const __m128i byte = _mm_set1_epi8(needle[0]);
    const auto hits = [&](std::size_t offset) {
      return _mm_cmpeq_epi8(byte, _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + offset)));
    };
    for (; at + 64 <= text.size(); at += 64) {
      const __m128i any = _mm_or_si128(_mm_or_si128(hits(at), hits(at + 16)), _mm_or_si128(hits(at + 32), hits(at + 48)));
      if (_mm_movemask_epi8(any) != 0) break;
    }
    for (; at + 16 <= text.size(); at += 16)
      if (const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits(at)))) return at + static_cast<unsigned>(__builtin_ctz(mask));
#endif
    const void* hit = std::memchr(base + at, needle[0], text.size() - at);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - base) : std::string_view::npos;
  }
  std::size_t compared = 0;  // bytes compared for candidates so far
  const auto tooCostly = [&](std::size_t offset) { return compared > kTwoWayAfter + 2 * m + (offset - from); };
#if defined(__SSE2__)
  // Candidates in 64-byte steps; a step without any is passed after one test.
  const __m128i first = _mm_set1_epi8(needle[0]);
  const __m128i last = _mm_set1_epi8(needle[m - 1]);
  const auto candidates = [&](std::size_t offset) {
    return _mm_and_si128(_mm_cmpeq_epi8(first, _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + offset))),
                         _mm_cmpeq_epi8(last, _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + offset + m - 1))));
  };
  const auto confirm = [&](std::size_t offset) {
    for (auto mask = static_cast<unsigned>(_mm_movemask_epi8(candidates(offset))); mask != 0; mask &= mask - 1) {
      const std::size_t candidate = offset + static_cast<unsigned>(__builtin_ctz(mask));
      if (std::memcmp(base + candidate + 1, needle.data() + 1, m - 2) == 0) return candidate;
      compared += m;
    }
    return std::string_view::npos;
  };
  for (; at + m - 1 + 64 <= text.size(); at += 64) {
    const __m128i any = _mm_or_si128(_mm_or_si128(candidates(at), candidates(at + 16)),
                                     _mm_or_si128(candidates(at + 32), candidates(at + 48)));
    if (_mm_movemask_epi8(any) == 0) continue;
    for (std::size_t block = at; block < at + 64; block += 16)
      if (const std::size_t found = confirm(block); found != std::string_view::npos) return found;
    if (tooCostly(at)) return FindTextTwoWay(text, needle, at + 64);
  }
  for (; at + m - 1 + 16 <= text.size(); at += 16) {
    if (const std::size_t found = confirm(at); found != std::string_view::npos) return found;
    if (tooCostly(at)) return FindTextTwoWay(text, needle, at + 16);
  }
#endif
  // Fewer than sixteen places are left here (or no SSE2 at all): two-way unless cheap.
  return m <= 16 && text.size() - at < 64 ? text.find(needle, at) : FindTextTwoWay(text, needle, at);
}

std::string FieldAt(std::string_view text, std::string_view delimiter, int n) {
  if (delimiter.empty() || n < 1) return {};
  std::size_t start = 0;
  for (int item = 1;; ++item) {
    const std::size_t found = FindText(text, delimiter, start);
    if (item == n) return std::string(text.substr(start, found == std::string_view::npos ? text.npos : found - start));
    if (found == std::string_view::npos) return {};
    start = found + delimiter.size();
  }
}

std::size_t CountOf(std::string_view text, std::string_view part) {
  if (part.empty()) return 0;
  std::size_t count = 0;
  for (std::size_t at = FindText(text, part); at != std::string_view::npos; at = FindText(text, part, at + part.size()))
    ++count;
  return count;
}

std::string ReplaceAll(std::string_view text, std::string_view search, std::string_view replacement, CaseMap fold) {
  if (search.empty()) return std::string(text);
  std::string foldedText, foldedSearch;
  std::string_view haystack = text, needle = search;
  if (fold != nullptr) {
    foldedText = fold(text);
    foldedSearch = fold(search);
    haystack = foldedText;
    needle = foldedSearch;
  }
  std::size_t found = FindText(haystack, needle);
  if (found == std::string_view::npos) return std::string(text);
  TextBuilder out(text.size() + (replacement.size() > search.size() ? text.size() / 4 : 0));
  std::size_t at = 0;
  for (; found != std::string_view::npos; found = FindText(haystack, needle, at)) {
    out.append(text.substr(at, found - at));
    out.append(replacement);
    at = found + needle.size();
  }
  out.append(text.substr(at));
  return std::move(out).finish();
}

namespace {
void SetRange(CharClassSet& set, int first, int last) {
  for (int c = first; c <= last; ++c) set.set(static_cast<std::size_t>(c));
}
}  // namespace

CharClassSet TrimClassSet(std::string_view classes) {
  CharClassSet set;
  for (char letter : classes) {
    switch (letter) {
      case ' ': SetRange(set, 0, 32); set.set(160); set.set(255); break;
      case '8': SetRange(set, 128, 255); break;
      case 'S': SetRange(set, 192, 255); break;
      case '1': SetRange(set, '0', '9'); break;
      case 'A': SetRange(set, 'A', 'Z'); break;
      case 'a': SetRange(set, 'a', 'z'); break;
      case '!':
        SetRange(set, 33, 38); SetRange(set, 40, 47); SetRange(set, 58, 64);
        SetRange(set, 91, 96); SetRange(set, 123, 126); SetRange(set, 161, 191);
        set.set(215); set.set(247); set.set(27);
        break;
      default: break;
    }
  }
  return set;
}

CharClassSet SetOfCharacters(std::string_view characters) {
  CharClassSet set;
  for (const char c : characters) set.set(static_cast<unsigned char>(c));
  return set;
}

bool InClasses(const CharClassSet& set, char c) { return set.test(static_cast<unsigned char>(c)); }

namespace {
std::size_t RightEnd(std::string_view text, const CharClassSet& set) {
  std::size_t end = text.size();
  while (end > 0 && InClasses(set, text[end - 1])) --end;
  return end;
}
std::size_t LeftStart(std::string_view text, const CharClassSet& set) {
  std::size_t start = 0;
  while (start + 1 < text.size() && InClasses(set, text[start])) ++start;
  return start;
}
}  // namespace

std::string TrimRightClasses(std::string_view text, std::string_view classes) {
  return std::string(text.substr(0, RightEnd(text, TrimClassSet(classes))));
}

std::string TrimLeftClasses(std::string_view text, std::string_view classes) {
  return std::string(text.substr(LeftStart(text, TrimClassSet(classes))));
}

std::string TrimClasses(std::string_view text, std::string_view classes) {
  const CharClassSet set = TrimClassSet(classes);
  const std::string_view right = text.substr(0, RightEnd(text, set));
  return std::string(right.substr(LeftStart(right, set)));
}

std::string_view Trimmed(std::string_view text) {
  auto isControl = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  while (!text.empty() && isControl(text.front())) text.remove_prefix(1);
  while (!text.empty() && isControl(text.back())) text.remove_suffix(1);
  return text;
}

char HexPairToChar(std::string_view pair) {
  static constexpr std::string_view kDigits = "123456789ABCDEF";
  auto value = [](char c) -> int {
    const std::size_t at = kDigits.find(AsciiUpper(c));
    return at == std::string_view::npos ? 0 : static_cast<int>(at) + 1;
  };
  const int high = pair.size() > 0 ? value(pair[0]) : 0;
  const int low = pair.size() > 1 ? value(pair[1]) : 0;
  return static_cast<char>(high * 16 + low);
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (AsciiUpper(c) >= 'A' && AsciiUpper(c) <= 'F'); }

std::string PercentDecoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] == '%' && at + 2 < text.size() && IsHexDigit(text[at + 1]) && IsHexDigit(text[at + 2])) {
      out += HexPairToChar(text.substr(at + 1, 2));
      at += 2;
    } else {
      out += text[at];
    }
  }
  return out;
}

std::string UnescapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c != '\\' || i + 1 == text.size()) {
      out += c;
      ++i;
      continue;
    }
    const char kind = text[i + 1];
    switch (kind) {
      case '\\': out += '\\'; i += 2; continue;
      case 't': out += '\t'; i += 2; continue;
      case 'n': out += '\n'; i += 2; continue;
      case 'r': out += '\r'; i += 2; continue;
      case 'w': out += "\r\n"; i += 2; continue;
      case 'c': {
        const std::string_view digits = text.substr(i + 2, 3);
        const auto code = ReadInteger(digits);
        if (code && *code >= 0 && *code <= 255) {
          out += static_cast<char>(*code);
          i += 2 + digits.size();
        } else {
          ++i;  // out of range or not a number: only the backslash goes
        }
        continue;
      }
      case 'x': {
        const std::string_view pair = text.substr(i + 2, 2);
        if (pair.empty()) {
          ++i;  // "\x" ends the text: drop the backslash as for other escapes
        } else {
          out += HexPairToChar(pair);
          i += 2 + pair.size();
        }
        continue;
      }
      default: ++i; continue;  // unknown escape: the backslash is dropped
    }
  }
  return out;
}

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string AsciiLowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

std::string AsciiUppered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}

}  // namespace kvl
