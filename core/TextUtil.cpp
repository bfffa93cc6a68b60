#include "core/TextUtil.h"

#include <algorithm>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/Numbers.h"

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
}  // namespace

// Crochemore and Perrin's two-way search: the needle is cut where its two halves
// cannot both shift far, so no text byte is compared more than twice.
std::size_t FindTextTwoWay(std::string_view text, std::string_view needle, std::size_t from) {
  const Signed m = static_cast<Signed>(needle.size());
  if (from > text.size() || needle.size() > text.size() - from) return std::string_view::npos;
  if (m == 0) return from;
  const auto* x = reinterpret_cast<const unsigned char*>(needle.data());
  const auto* y = reinterpret_cast<const unsigned char*>(text.data());
  const Signed last = static_cast<Signed>(text.size()) - m;
  const auto [start1, period1] = MaximalSuffix(x, m, false);
  const auto [start2, period2] = MaximalSuffix(x, m, true);
  const Signed cut = start1 > start2 ? start1 : start2;
  Signed period = start1 > start2 ? period1 : period2;
  Signed j = static_cast<Signed>(from);
  if (std::memcmp(x, x + period, static_cast<std::size_t>(cut + 1)) == 0) {
    // A periodic needle: what matched of the period before is not compared again.
    Signed memory = -1;
    while (j <= last) {
      Signed i = std::max(cut, memory) + 1;
      while (i < m && x[i] == y[i + j]) ++i;
      if (i < m) {
        j += i - cut;
        memory = -1;
        continue;
      }
      i = cut;
      while (i > memory && x[i] == y[i + j]) --i;
      if (i <= memory) return static_cast<std::size_t>(j);
      j += period;
      memory = m - period - 1;
    }
    return std::string_view::npos;
  }
  period = std::max(cut + 1, m - cut - 1) + 1;
  while (j <= last) {
    Signed i = cut + 1;
    while (i < m && x[i] == y[i + j]) ++i;
    if (i < m) {
      j += i - cut;
      continue;
    }
    i = cut;
    while (i >= 0 && x[i] == y[i + j]) --i;
    if (i < 0) return static_cast<std::size_t>(j);
    j += period;
  }
  return std::string_view::npos;
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
