#include "text/Encoding.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <unordered_map>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/Numbers.h"
#include "core/TextUtil.h"

namespace kvl {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

unsigned char Byte(char c) { return static_cast<unsigned char>(c); }

int HexValue(char c) {
  static const std::array<std::int8_t, 256> kValues = [] {
    std::array<std::int8_t, 256> values;
    values.fill(-1);
    for (int d = 0; d < 10; ++d) values['0' + d] = static_cast<std::int8_t>(d);
    for (int d = 0; d < 6; ++d) values['A' + d] = values['a' + d] = static_cast<std::int8_t>(10 + d);
    return values;
  }();
  return kValues[Byte(c)];
}

// What each byte becomes; bytes that stay themselves are copied in runs.
struct ByteMap {
  std::array<std::string_view, 256> to{};
  std::array<bool, 256> same{};
  ByteMap() {
    for (int c = 0; c < 256; ++c) same[c] = true;
  }
  void set(unsigned char c, std::string_view replacement) {
    to[c] = replacement;
    same[c] = false;
  }
};

// "%XX" or "=XX" for every byte, kept for the life of the process.
const std::array<std::array<char, 3>, 256>& Escapes(char prefix) {
  static const auto make = [](char p) {
    std::array<std::array<char, 3>, 256> table{};
    for (int c = 0; c < 256; ++c) table[c] = {p, kHexDigits[c >> 4], kHexDigits[c & 15]};
    return table;
  };
  static const auto percent = make('%');
  static const auto equals = make('=');
  return prefix == '%' ? percent : equals;
}

std::string_view EscapeOf(char prefix, unsigned char c) { return {Escapes(prefix)[c].data(), 3}; }

// Every byte replaced by its map entry. The size is counted first, so the result is
// allocated once, whatever its size.
std::string MapBytes(std::string_view text, const ByteMap& map) {
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t size = 0;
  for (std::size_t i = 0; i < text.size(); ++i) size += map.same[in[i]] ? 1 : map.to[in[i]].size();
  std::string out(size, '\0');
  char* write = out.data();
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t run = i;
    while (i < text.size() && map.same[in[i]]) ++i;
    std::memcpy(write, in + run, i - run);
    write += i - run;
    if (i == text.size()) break;
    const std::string_view replacement = map.to[in[i++]];
    std::memcpy(write, replacement.data(), replacement.size());
    write += replacement.size();
  }
  return out;
}

// Byte -> at most eight characters held in one word, so that every byte is written
// with one store and the write position moves on by its length: no branch per byte.
// Writing needs eight characters of room beyond the result.
struct ShortByteMap {
  std::array<std::uint64_t, 256> word{};
  std::array<std::uint8_t, 256> length{};
  ShortByteMap() {
    for (int c = 0; c < 256; ++c) {
      const char same = static_cast<char>(c);
      set(static_cast<unsigned char>(c), {&same, 1});
    }
  }
  void set(unsigned char c, std::string_view replacement) {
    std::array<char, 8> bytes{};
    std::memcpy(bytes.data(), replacement.data(), std::min<std::size_t>(replacement.size(), 8));
    std::memcpy(&word[c], bytes.data(), 8);
    length[c] = static_cast<std::uint8_t>(replacement.size());
  }
};

// A plain-block test marks which of the sixteen bytes from `at` stay as they are (bit
// n for byte n); blocks that are plain throughout are counted and copied whole, the
// others go through the table byte by byte. Without SSE2 no byte is marked. Each test
// is a type of its own, so that it is inlined.
constexpr unsigned kAllPlain = 0xFFFF;
struct NoBlockIsPlain {
  unsigned operator()(const unsigned char*) const { return 0; }
};

#if defined(__SSE2__)
__m128i LoadBlock(const unsigned char* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); }
// Signed bytes: 128-255 are negative, so one comparison each way bounds 32-126.
__m128i Printable(__m128i block) {
  return _mm_and_si128(_mm_cmpgt_epi8(block, _mm_set1_epi8(31)), _mm_cmplt_epi8(block, _mm_set1_epi8(127)));
}
__m128i Equal(__m128i block, char c) { return _mm_cmpeq_epi8(block, _mm_set1_epi8(c)); }
unsigned Marks(__m128i mask) { return static_cast<unsigned>(_mm_movemask_epi8(mask)); }

struct QPBodyPlain {
  unsigned operator()(const unsigned char* at) const {
    const __m128i block = LoadBlock(at);
    return Marks(_mm_andnot_si128(Equal(block, '='), Printable(block)));
  }
};
struct QPHeaderPlain {
  unsigned operator()(const unsigned char* at) const {
    const __m128i block = LoadBlock(at);
    const __m128i special = _mm_or_si128(_mm_or_si128(Equal(block, '='), Equal(block, ' ')),
                                         _mm_or_si128(Equal(block, '?'), Equal(block, '_')));
    return Marks(_mm_andnot_si128(special, Printable(block)));
  }
};
// Letters and digits; OR 0x20 folds the capitals onto the small letters.
struct UrlPlain {
  unsigned operator()(const unsigned char* at) const {
    const __m128i block = LoadBlock(at);
    const __m128i digit =
        _mm_and_si128(_mm_cmpgt_epi8(block, _mm_set1_epi8('0' - 1)), _mm_cmplt_epi8(block, _mm_set1_epi8('9' + 1)));
    const __m128i folded = _mm_or_si128(block, _mm_set1_epi8(0x20));
    const __m128i letter =
        _mm_and_si128(_mm_cmpgt_epi8(folded, _mm_set1_epi8('a' - 1)), _mm_cmplt_epi8(folded, _mm_set1_epi8('z' + 1)));
    return Marks(_mm_or_si128(digit, letter));
  }
};
#else
using QPBodyPlain = NoBlockIsPlain;
using QPHeaderPlain = NoBlockIsPlain;
using UrlPlain = NoBlockIsPlain;
#endif

// The length of `size` bytes from `in` once mapped.
template <typename PlainBlock>
std::size_t MappedSize(const unsigned char* in, std::size_t size, const ShortByteMap& map, PlainBlock plain) {
  std::size_t total = 0, i = 0;
  for (; size - i >= 16; i += 16) {
    if (plain(in + i) == kAllPlain) {
      total += 16;
      continue;
    }
    // Four sums, so that no single chain of additions holds the loop back.
    std::size_t sums[4] = {};
    for (std::size_t k = 0; k < 16; k += 4)
      for (std::size_t lane = 0; lane < 4; ++lane) sums[lane] += map.length[in[i + k + lane]];
    total += sums[0] + sums[1] + sums[2] + sums[3];
  }
  for (; i < size; ++i) total += map.length[in[i]];
  return total;
}

// Writes `size` bytes from `in` mapped; returns the end of what it wrote.
template <typename PlainBlock>
char* WriteMapped(const unsigned char* in, std::size_t size, const ShortByteMap& map, PlainBlock plain,
                  char* write) {
  auto put = [&](unsigned char c) {
    std::memcpy(write, &map.word[c], 8);
    write += map.length[c];
  };
  std::size_t i = 0;
  for (; size - i >= 16; i += 16) {
    if (plain(in + i) == kAllPlain) {
      std::memcpy(write, in + i, 16);
      write += 16;
      continue;
    }
    for (std::size_t k = 0; k < 16; ++k) put(in[i + k]);
  }
  for (; i < size; ++i) put(in[i]);
  return write;
}

// Every byte as its map entry, in a string of exactly that length.
template <typename PlainBlock>
std::string MapShort(std::string_view text, const ShortByteMap& map, PlainBlock plain) {
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = MappedSize(in, text.size(), map, plain);
  std::string out(size + 8, '\0');
  WriteMapped(in, text.size(), map, plain, out.data());
  out.resize(size);
  return out;
}

const ShortByteMap& QPMap(bool header) {
  static const auto make = [](bool forHeader) {
    ShortByteMap map;
    for (int c = 0; c < 256; ++c) {
      const bool plain = c >= 32 && c <= 126 && c != '=' && !(forHeader && (c == '?' || c == '_' || c == ' '));
      if (!plain) map.set(static_cast<unsigned char>(c), EscapeOf('=', static_cast<unsigned char>(c)));
    }
    if (forHeader) map.set(' ', "_");
    return map;
  };
  static const ShortByteMap body = make(false);
  static const ShortByteMap headerForm = make(true);
  return header ? headerForm : body;
}

// Blanks at the very end of a body are escaped as well.
const ShortByteMap& QPTrailingBlanks() {
  static const ShortByteMap map = [] {
    ShortByteMap blanks;
    blanks.set(' ', "=20");
    return blanks;
  }();
  return map;
}

// Copies from `at` up to the first byte that `special` marks (or `end`), sixteen bytes
// at a time where SSE2 is there; returns where it stopped. Stores whole blocks, so the
// output needs sixteen bytes of room beyond the copy.
template <typename Special, typename SpecialBlock>
const char* CopyPlainRun(const char* at, const char* end, char*& write, Special special, SpecialBlock specialBlock) {
#if defined(__SSE2__)
  while (end - at >= 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(write), block);
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(specialBlock(block)));
    if (mask != 0) {
      const unsigned skip = static_cast<unsigned>(__builtin_ctz(mask));
      write += skip;
      return at + skip;
    }
    at += 16;
    write += 16;
  }
#else
  (void)specialBlock;
#endif
  while (at < end && !special(*at)) *write++ = *at++;
  return at;
}

// The text is escaped through a small window; whole lines leave it as soon as they
// are known. A line longer than 76 characters is cut after 75, or before an escape
// that would be split there, and "=" CR LF ends it.
template <typename PlainBlock>
std::string QPEncodeWith(std::string_view text, bool header, PlainBlock plain) {
  const ShortByteMap& map = QPMap(header);
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t end = text.size();
  if (!header)
    while (end > 0 && text[end - 1] == ' ') --end;
  const std::size_t escaped = MappedSize(in, end, map, plain) + (text.size() - end) * 3;
  // Every line but the last holds at least 73 escaped characters.
  std::string out(escaped + 3 * (escaped / 73 + 1), '\0');
  char* write = out.data();

  constexpr std::size_t kPiece = 1024;  // input bytes escaped into the window at once
  std::array<char, 76 + 3 * kPiece + 8> window;
  std::size_t pending = 0;  // escaped characters in the window, from the start of a line
  auto emitLines = [&](bool last) {
    std::size_t start = 0;
    while (pending - start > 76) {
      std::size_t cut = start + 75;
      if (window[cut - 1] == '=') cut -= 1;
      else if (window[cut - 2] == '=') cut -= 2;
      std::memcpy(write, window.data() + start, cut - start);
      std::memcpy(write + (cut - start), "=\r\n", 3);
      write += cut - start + 3;
      start = cut;
    }
    if (last) {
      std::memcpy(write, window.data() + start, pending - start);
      write += pending - start;
    } else {
      std::memmove(window.data(), window.data() + start, pending - start);
    }
    pending -= start;
  };
  auto escape = [&](std::size_t from, std::size_t to, const ShortByteMap& pieceMap, auto pieceTest) {
    for (std::size_t at = from; at < to; at += kPiece) {
      const std::size_t length = std::min(kPiece, to - at);
      pending = static_cast<std::size_t>(WriteMapped(in + at, length, pieceMap, pieceTest, window.data() + pending) -
                                         window.data());
      emitLines(false);
    }
  };
  escape(0, end, map, plain);
  escape(end, text.size(), QPTrailingBlanks(), NoBlockIsPlain{});
  emitLines(true);
  out.resize(static_cast<std::size_t>(write - out.data()));
  return out;
}

}  // namespace

std::string QPEncode(std::string_view text, bool header) {
  return header ? QPEncodeWith(text, true, QPHeaderPlain{}) : QPEncodeWith(text, false, QPBodyPlain{});
}

std::string QPDecode(std::string_view text, bool header) {
  std::string out(text.size() + 16, '\0');
  char* write = out.data();
  const char* at = text.data();
  const char* const end = at + text.size();
  const char second = header ? '_' : '=';
  for (;;) {
    // Plain runs are copied whole; only "=" (and "_" in the header form) need a look.
    at = CopyPlainRun(
        at, end, write, [&](char c) { return c == '=' || c == second; },
        [&](auto block) { return _mm_or_si128(Equal(block, '='), Equal(block, second)); });
    if (at == end) break;
    if (*at == '_') {
      *write++ = ' ';
      ++at;
    } else if (end - at >= 2 && at[1] == '\n') {
      at += 2;  // soft line break
    } else if (end - at >= 3 && at[1] == '\r' && at[2] == '\n') {
      at += 3;
    } else if (end - at >= 3 && HexValue(at[1]) >= 0 && HexValue(at[2]) >= 0) {
      *write++ = static_cast<char>(HexValue(at[1]) * 16 + HexValue(at[2]));
      at += 3;
    } else {
      *write++ = *at++;
    }
  }
  out.resize(static_cast<std::size_t>(write - out.data()));
  return out;
}

namespace {
// The eight maps the options can ask for, made once: "<" or ">" (markup), "+", "&".
const ShortByteMap& UrlMap(bool markup, bool plusForBlank, bool ampersand) {
  static const auto maps = [] {
    std::array<ShortByteMap, 8> made;
    for (int choice = 0; choice < 8; ++choice) {
      ShortByteMap& map = made[choice];
      for (int c = 0; c < 256; ++c) {
        const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (!plain) map.set(static_cast<unsigned char>(c), EscapeOf('%', static_cast<unsigned char>(c)));
      }
      if (choice & 1) map.set('<', "&lt;"), map.set('>', "&gt;");
      if (choice & 2) map.set(' ', "+");
      if (choice & 4) map.set('&', "&amp;");
    }
    return made;
  }();
  return maps[(markup ? 1 : 0) | (plusForBlank ? 2 : 0) | (ampersand ? 4 : 0)];
}
}  // namespace

std::string UrlEncode(std::string_view text, std::string_view options) {
  const ShortByteMap& map = UrlMap(options.find_first_of("<>") != std::string_view::npos,
                                   options.find('+') != std::string_view::npos,
                                   options.find('&') != std::string_view::npos);
  return MapShort(text, map, UrlPlain{});
}

std::string UrlDecode(std::string_view text) {
  std::string out(text.size() + 16, '\0');
  char* write = out.data();
  const char* at = text.data();
  const char* const end = at + text.size();
  for (;;) {
    at = CopyPlainRun(
        at, end, write, [](char c) { return c == '+' || c == '&' || c == '%'; },
        [](auto block) { return _mm_or_si128(_mm_or_si128(Equal(block, '+'), Equal(block, '&')), Equal(block, '%')); });
    if (at == end) break;
    const std::string_view rest(at, static_cast<std::size_t>(end - at));
    if (*at == '+') {
      *write++ = ' ';
      ++at;
    } else if (*at == '&') {
      if (rest.starts_with("&amp;")) *write++ = '&', at += 5;
      else if (rest.starts_with("&lt;")) *write++ = '<', at += 4;
      else if (rest.starts_with("&gt;")) *write++ = '>', at += 4;
      else *write++ = '&', ++at;
    } else if (rest.size() >= 3 && HexValue(at[1]) >= 0 && HexValue(at[2]) >= 0) {
      *write++ = static_cast<char>(HexValue(at[1]) * 16 + HexValue(at[2]));
      at += 3;
    } else {
      // Two characters must follow, even after blanks and controls are trimmed away;
      // a pair that is no escape is dropped.
      if (Trimmed(rest.substr(1, 2)).size() != 2) break;
      at += 3;
    }
  }
  out.resize(static_cast<std::size_t>(write - out.data()));
  return out;
}

std::string HtmlEscape(std::string_view text) {
  static const ByteMap kMap = [] {
    ByteMap map;
    map.set('&', "&amp;");
    map.set('<', "&lt;");
    map.set('>', "&gt;");
    map.set('"', "&quot;");
    return map;
  }();
  return MapBytes(text, kMap);
}

namespace {
struct Decoded {
  char c = '&';
  std::size_t length = 0;  // characters consumed from the "&" on; 0 keeps the "&"
};

// Copies the text, letting `decode(tail)` replace what starts at each "&".
template <typename Decode>
std::string DecodeAtAmpersands(std::string_view text, Decode&& decode) {
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t amp = text.find('&', at);
    if (amp == std::string_view::npos) {
      out.append(text.data() + at, text.size() - at);
      break;
    }
    out.append(text.data() + at, amp - at);
    const Decoded decoded = decode(text.substr(amp));
    out += decoded.c;
    at = amp + std::max<std::size_t>(decoded.length, 1);
  }
  return out;
}
}  // namespace

// One pass gives what replacing &quot;, &gt;, &lt; and then &amp; one after another
// gives: no replacement can form another one's name.
std::string HtmlUnescape(std::string_view text) {
  static constexpr std::array<std::pair<std::string_view, char>, 4> kNames{
      {{"&quot;", '"'}, {"&gt;", '>'}, {"&lt;", '<'}, {"&amp;", '&'}}};
  return DecodeAtAmpersands(text, [](std::string_view tail) {
    for (const auto& [name, c] : kNames)
      if (EqualsIgnoringAsciiCase(tail.substr(0, name.size()), name)) return Decoded{c, name.size()};
    return Decoded{};
  });
}

namespace {
std::string EntityEncode(std::string_view text, const SpecialCharTable& table, std::string SpecialChar::*column) {
  ByteMap map;
  for (int c = 128; c < 256; ++c) map.set(static_cast<unsigned char>(c), table[c].*column);  // empty: dropped
  return MapBytes(text, map);
}

// "&name;" and "&#number;" of codes 128-255; a later (higher) code wins.
std::unordered_map<std::string_view, int> EntityIndex(const SpecialCharTable& table) {
  std::unordered_map<std::string_view, int> index;
  for (int code = 128; code < 256; ++code) {
    if (!table[code].named.empty()) index[table[code].named] = code;
    if (!table[code].numeric.empty()) index[table[code].numeric] = code;
  }
  return index;
}

int EntityToCode(std::string_view entity, const std::unordered_map<std::string_view, int>& index) {
  if (entity.starts_with('#')) {
    const auto number = ReadInteger(entity.substr(1));
    if (number && *number >= 0 && *number <= 127) return *number;
  }
  std::string written;
  written.reserve(entity.size() + 2);
  written.append("&").append(entity).append(";");
  const auto found = index.find(written);
  return found == index.end() ? 0 : found->second;
}
}  // namespace

std::string EntityEncodeNamed(std::string_view text, const SpecialCharTable& table) {
  return EntityEncode(text, table, &SpecialChar::named);
}

std::string EntityEncodeNumeric(std::string_view text, const SpecialCharTable& table) {
  return EntityEncode(text, table, &SpecialChar::numeric);
}

int EntityToCode(std::string_view entity, const SpecialCharTable& table) {
  return EntityToCode(entity, EntityIndex(table));
}

// An entity is "&", at most nine characters and ";"; anything else leaves the "&" as it is.
std::string EntityDecode(std::string_view text, const SpecialCharTable& table) {
  const auto index = EntityIndex(table);
  return DecodeAtAmpersands(text, [&](std::string_view tail) {
    const std::string_view window = tail.substr(1, 10);
    const std::size_t semicolon = window.find(';');
    const int code = semicolon == std::string_view::npos ? 0 : EntityToCode(window.substr(0, semicolon), index);
    return code == 0 ? Decoded{} : Decoded{static_cast<char>(code), semicolon + 2};
  });
}

}  // namespace kvl
