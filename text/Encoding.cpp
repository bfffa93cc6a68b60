#include "text/Encoding.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <unordered_map>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__i386__) || defined(__x86_64__)
#include <tmmintrin.h>
#endif

#include "core/Numbers.h"
#include "core/TextUtil.h"

namespace kvl {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

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
// Two Base64 characters for every 12-bit value.
const std::array<std::array<char, 2>, 4096>& Base64Pairs() {
  static const auto pairs = [] {
    std::array<std::array<char, 2>, 4096> table{};
    for (int v = 0; v < 4096; ++v) table[v] = {kBase64Alphabet[v >> 6], kBase64Alphabet[v & 63]};
    return table;
  }();
  return pairs;
}

// Each character's 6 bits already shifted to its place in a group; all bits set for
// characters outside the alphabet, so one OR over a group tells whether it is valid.
struct Base64Values {
  std::array<std::uint32_t, 256> shifted[4];
};
const Base64Values& Base64Tables() {
  static const Base64Values values = [] {
    Base64Values tables;
    for (auto& table : tables.shifted) table.fill(0xFFFFFFFFu);
    for (std::uint32_t v = 0; v < 64; ++v) {
      const unsigned char c = Byte(kBase64Alphabet[v]);
      tables.shifted[0][c] = v << 18;
      tables.shifted[1][c] = v << 12;
      tables.shifted[2][c] = v << 6;
      tables.shifted[3][c] = v;
    }
    return tables;
  }();
  return values;
}
}  // namespace

namespace {
#if defined(__i386__) || defined(__x86_64__)
// Twelve bytes to sixteen characters per step (needs SSSE3's byte shuffle).
__attribute__((target("ssse3"))) std::size_t EncodeBlocksSsse3(const unsigned char* in, std::size_t length,
                                                                char* out) {
  std::size_t done = 0;
  for (; done + 16 <= length; done += 12, out += 16) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done));
    bytes = _mm_shuffle_epi8(bytes, _mm_set_epi8(10, 11, 9, 10, 7, 8, 6, 7, 4, 5, 3, 4, 1, 2, 0, 1));
    const __m128i high = _mm_mulhi_epu16(_mm_and_si128(bytes, _mm_set1_epi32(0x0FC0FC00)), _mm_set1_epi32(0x04000040));
    const __m128i low = _mm_mullo_epi16(_mm_and_si128(bytes, _mm_set1_epi32(0x003F03F0)), _mm_set1_epi32(0x01000010));
    const __m128i indices = _mm_or_si128(high, low);
    // 0-25 'A', 26-51 'a', 52-61 '0', 62 '+', 63 '/': one offset per range.
    __m128i range = _mm_subs_epu8(indices, _mm_set1_epi8(51));
    range = _mm_or_si128(range, _mm_and_si128(_mm_cmpgt_epi8(_mm_set1_epi8(26), indices), _mm_set1_epi8(13)));
    const __m128i offsets = _mm_setr_epi8('a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                                          '0' - 52, '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_add_epi8(_mm_shuffle_epi8(offsets, range), indices));
  }
  return done;
}

#endif

#if defined(__i386__) || defined(__x86_64__)
// Sixteen characters to twelve bytes per step; stops at the first block that holds
// anything but alphabet characters (padding included), leaving it to the plain path.
// Writes sixteen bytes per step, so the output needs four bytes of room beyond.
__attribute__((target("ssse3"))) std::size_t DecodeBlocksSsse3(const unsigned char* in, std::size_t length,
                                                                char* out) {
  const __m128i lowTable = _mm_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A,
                                         0x1B, 0x1B, 0x1B, 0x1A);
  const __m128i highTable = _mm_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10,
                                          0x10, 0x10, 0x10, 0x10);
  const __m128i rollTable = _mm_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m128i nibble = _mm_set1_epi8(0x2F);
  std::size_t done = 0;
  for (; done + 16 <= length; done += 16, out += 12) {
    __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done));
    const __m128i highNibbles = _mm_and_si128(_mm_srli_epi32(chars, 4), nibble);
    const __m128i lowNibbles = _mm_and_si128(chars, nibble);
    const __m128i flags = _mm_and_si128(_mm_shuffle_epi8(lowTable, lowNibbles), _mm_shuffle_epi8(highTable, highNibbles));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(flags, _mm_setzero_si128())) != 0xFFFF) break;
    const __m128i roll = _mm_shuffle_epi8(rollTable, _mm_add_epi8(_mm_cmpeq_epi8(chars, nibble), highNibbles));
    chars = _mm_add_epi8(chars, roll);
    const __m128i pairs = _mm_maddubs_epi16(chars, _mm_set1_epi32(0x01400140));
    __m128i bytes = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00011000));
    bytes = _mm_shuffle_epi8(bytes, _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), bytes);
  }
  return done;
}
#endif

std::size_t EncodeBlocksScalar(const unsigned char* in, std::size_t length, char* write) {
  const auto& pairs = Base64Pairs();
  std::size_t i = 0;
  for (; i + 3 <= length; i += 3, write += 4) {
    const std::uint32_t group = (std::uint32_t{in[i]} << 16) | (std::uint32_t{in[i + 1]} << 8) | in[i + 2];
    std::memcpy(write, pairs[group >> 12].data(), 2);
    std::memcpy(write + 2, pairs[group & 0xFFF].data(), 2);
  }
  return i;
}
}  // namespace

bool Base64HasSsse3() {
#if defined(__i386__) || defined(__x86_64__)
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
#else
  return false;
#endif
}

std::string Base64Encode(std::string_view bytes, Base64Path path) {
  std::string out((bytes.size() + 2) / 3 * 4, '\0');
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  char* write = out.data();
  std::size_t i = 0;
#if defined(__i386__) || defined(__x86_64__)
  if (path == Base64Path::Fastest && Base64HasSsse3()) i = EncodeBlocksSsse3(in, bytes.size(), write);
#endif
  i += EncodeBlocksScalar(in + i, bytes.size() - i, write + i / 3 * 4);
  write += i / 3 * 4;
  if (const std::size_t rest = bytes.size() - i; rest > 0) {
    const std::uint32_t group = (std::uint32_t{in[i]} << 16) | (rest == 2 ? std::uint32_t{in[i + 1]} << 8 : 0);
    write[0] = kBase64Alphabet[group >> 18];
    write[1] = kBase64Alphabet[(group >> 12) & 63];
    write[2] = rest == 2 ? kBase64Alphabet[(group >> 6) & 63] : '=';
    write[3] = '=';
  }
  return out;
}

// Reads the text as if its CR and LF were removed, its ends trimmed and "=" appended
// up to a multiple of four, then decodes strictly: whole groups of the alphabet with
// at most two "=" of padding at the very end, or nothing at all.
std::string Base64Decode(std::string_view text, Base64Path path) {
  const std::string_view trimmed = Trimmed(text);
  const auto& t = Base64Tables().shifted;
  const auto* at = reinterpret_cast<const unsigned char*>(trimmed.data());
  const auto* const end = at + trimmed.size();
  std::string out(trimmed.size() / 4 * 3 + 3 + 16, '\0');
  char* write = out.data();
#if defined(__i386__) || defined(__x86_64__)
  const bool wide = path == Base64Path::Fastest && Base64HasSsse3();
#endif
  // Line breaks are looked for ahead, at most a window at a time, so every byte is
  // searched once and the decoding that follows finds it still in the cache.
  constexpr std::size_t kWindow = 64u << 10;
  struct NextByte {
    const unsigned char* at = nullptr;
    bool found = false;  // else: none before `at`, the end of the window searched
  };
  NextByte nextCr, nextLf;
  auto nextBreak = [&](const unsigned char* from) {
    auto find = [&](NextByte& next, int c) {
      if (next.at == nullptr || next.at < from || (!next.found && next.at <= from)) {
        const unsigned char* limit = from + std::min(kWindow, static_cast<std::size_t>(end - from));
        const void* hit = std::memchr(from, c, static_cast<std::size_t>(limit - from));
        next = hit ? NextByte{static_cast<const unsigned char*>(hit), true} : NextByte{limit, false};
      }
      return next.at;
    };
    return std::min(find(nextCr, '\r'), find(nextLf, '\n'));
  };
  unsigned char quad[4];
  int filled = 0;
  std::size_t dataChars = 0;
  const unsigned char* padding = nullptr;  // the first "=", after which only "=" may follow
  while (at < end && padding == nullptr) {
    const unsigned char* lineEnd = nextBreak(at);
    while (at < lineEnd) {
      if (filled == 0) {
#if defined(__i386__) || defined(__x86_64__)
        if (wide) {
          const std::size_t done = DecodeBlocksSsse3(at, static_cast<std::size_t>(lineEnd - at), write);
          at += done;
          write += done / 4 * 3;
          dataChars += done;
        }
#endif
        for (; lineEnd - at >= 4; at += 4, write += 3) {
          const std::uint32_t group = t[0][at[0]] | t[1][at[1]] | t[2][at[2]] | t[3][at[3]];
          if (group & 0xFF000000u) break;
          write[0] = static_cast<char>(group >> 16);
          write[1] = static_cast<char>(group >> 8);
          write[2] = static_cast<char>(group);
          dataChars += 4;
        }
        if (at == lineEnd) break;
      }
      if (*at == '=') {
        padding = at;
        break;
      }
      if (t[3][*at] > 63) return {};
      quad[filled++] = *at++;
      ++dataChars;
      if (filled == 4) {
        const std::uint32_t group = t[0][quad[0]] | t[1][quad[1]] | t[2][quad[2]] | t[3][quad[3]];
        write[0] = static_cast<char>(group >> 16);
        write[1] = static_cast<char>(group >> 8);
        write[2] = static_cast<char>(group);
        write += 3;
        filled = 0;
      }
    }
    if (padding == nullptr) at = lineEnd + (lineEnd < end && (*lineEnd == '\r' || *lineEnd == '\n') ? 1 : 0);
  }
  // Count the "=" at the end (written and supplied); anything else there spoils the text.
  std::size_t written = 0;
  for (const unsigned char* p = padding; p != nullptr && p < end; ++p) {
    if (*p == '=') ++written;
    else if (*p != '\r' && *p != '\n') return {};
  }
  const std::size_t supplied = (4 - (dataChars + written) % 4) % 4;
  if (written + supplied > 2) return {};
  if (filled >= 2) {
    const std::uint32_t group = t[0][quad[0]] | t[1][quad[1]] | (filled == 3 ? t[2][quad[2]] : 0);
    *write++ = static_cast<char>(group >> 16);
    if (filled == 3) *write++ = static_cast<char>(group >> 8);
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
