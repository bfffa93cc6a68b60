#include "text/Base64.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>
#endif

#include "core/TextUtil.h"

namespace kvl {

namespace {
constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

unsigned char Byte(char c) { return static_cast<unsigned char>(c); }
}  // namespace

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

// Twenty-four bytes to thirty-two characters per step (reading 28): the SSSE3 step
// on both 128-bit halves at once. Loads and stores are unaligned only, and the function
// realigns its own stack, because the 32-bit Windows stack is only 4-byte aligned
// and a 32-byte spill must not fault.
__attribute__((target("avx2"), force_align_arg_pointer)) std::size_t EncodeBlocksAvx2(const unsigned char* in,
                                                                                      std::size_t length,
                                                                                      char* out) {
  std::size_t done = 0;
  for (; done + 28 <= length; done += 24, out += 32) {
    __m256i bytes = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done + 12)), 1);
    bytes = _mm256_shuffle_epi8(bytes, _mm256_set_epi8(10, 11, 9, 10, 7, 8, 6, 7, 4, 5, 3, 4, 1, 2, 0, 1, 10, 11, 9,
                                                       10, 7, 8, 6, 7, 4, 5, 3, 4, 1, 2, 0, 1));
    const __m256i high =
        _mm256_mulhi_epu16(_mm256_and_si256(bytes, _mm256_set1_epi32(0x0FC0FC00)), _mm256_set1_epi32(0x04000040));
    const __m256i low =
        _mm256_mullo_epi16(_mm256_and_si256(bytes, _mm256_set1_epi32(0x003F03F0)), _mm256_set1_epi32(0x01000010));
    const __m256i indices = _mm256_or_si256(high, low);
    __m256i range = _mm256_subs_epu8(indices, _mm256_set1_epi8(51));
    range = _mm256_or_si256(range,
                            _mm256_and_si256(_mm256_cmpgt_epi8(_mm256_set1_epi8(26), indices), _mm256_set1_epi8(13)));
    const __m256i offsets = _mm256_broadcastsi128_si256(_mm_setr_epi8('a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                                                                      '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                                                                      '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_add_epi8(_mm256_shuffle_epi8(offsets, range), indices));
  }
  return done;
}

// Thirty-two characters to twenty-four bytes per step, as the SSSE3 step on both
// halves; stops at the first block with anything but alphabet characters. Writes
// thirty-two bytes per step, so the output needs eight bytes of room beyond.
__attribute__((target("avx2"), force_align_arg_pointer)) std::size_t DecodeBlocksAvx2(const unsigned char* in,
                                                                                      std::size_t length,
                                                                                      char* out) {
  const __m256i lowTable = _mm256_broadcastsi128_si256(_mm_setr_epi8(
      0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A));
  const __m256i highTable = _mm256_broadcastsi128_si256(_mm_setr_epi8(
      0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10));
  const __m256i rollTable =
      _mm256_broadcastsi128_si256(_mm_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0));
  const __m256i nibble = _mm256_set1_epi8(0x2F);
  std::size_t done = 0;
  for (; done + 32 <= length; done += 32, out += 24) {
    __m256i chars = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + done));
    const __m256i highNibbles = _mm256_and_si256(_mm256_srli_epi32(chars, 4), nibble);
    const __m256i lowNibbles = _mm256_and_si256(chars, nibble);
    const __m256i flags =
        _mm256_and_si256(_mm256_shuffle_epi8(lowTable, lowNibbles), _mm256_shuffle_epi8(highTable, highNibbles));
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi8(flags, _mm256_setzero_si256())) != -1) break;
    const __m256i roll = _mm256_shuffle_epi8(rollTable, _mm256_add_epi8(_mm256_cmpeq_epi8(chars, nibble), highNibbles));
    chars = _mm256_add_epi8(chars, roll);
    const __m256i pairs = _mm256_maddubs_epi16(chars, _mm256_set1_epi32(0x01400140));
    __m256i bytes = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
    bytes = _mm256_shuffle_epi8(bytes, _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1, 2, 1,
                                                        0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
    bytes = _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), bytes);
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

bool Base64HasAvx2() {
#if defined(__i386__) || defined(__x86_64__)
  static const bool has = __builtin_cpu_supports("avx2");  // also asks whether the system saves its registers
  return has;
#else
  return false;
#endif
}

namespace {
// The path asked for, or the best one below it that the processor has.
Base64Path PathToRun(Base64Path path) {
  if ((path == Base64Path::Fastest || path == Base64Path::Avx2) && Base64HasAvx2()) return Base64Path::Avx2;
  if (path != Base64Path::Plain && Base64HasSsse3()) return Base64Path::Ssse3;
  return Base64Path::Plain;
}

// The result grows a stretch at a time just ahead of the writing (its capacity
// reserved at once, so it never moves): each stretch's zero fill is still in the
// cache when the coding overwrites it, instead of a second pass over the whole result.
constexpr std::size_t kStretch = 48u << 10;  // a multiple of every block's step (12, 16, 24, 32)
}  // namespace

std::string Base64Encode(std::string_view bytes, Base64Path path) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
#if defined(__i386__) || defined(__x86_64__)
  const Base64Path run = PathToRun(path);
#endif
  std::size_t i = 0;
  while (i < bytes.size()) {
    const std::size_t span = std::min(bytes.size() - i, kStretch);
    out.resize(out.size() + (span + 2) / 3 * 4);
    char* const write = out.data() + i / 3 * 4;
    std::size_t done = 0;
#if defined(__i386__) || defined(__x86_64__)
    if (run == Base64Path::Avx2) done = EncodeBlocksAvx2(in + i, span, write);
    if (run != Base64Path::Plain) done += EncodeBlocksSsse3(in + i + done, span - done, write + done / 3 * 4);
#endif
    done += EncodeBlocksScalar(in + i + done, span - done, write + done / 3 * 4);
    if (const std::size_t rest = span - done; rest > 0) {  // only in the last stretch
      const unsigned char* last = in + i + done;
      char* const group4 = write + done / 3 * 4;
      const std::uint32_t group = (std::uint32_t{last[0]} << 16) | (rest == 2 ? std::uint32_t{last[1]} << 8 : 0);
      group4[0] = kBase64Alphabet[group >> 18];
      group4[1] = kBase64Alphabet[(group >> 12) & 63];
      group4[2] = rest == 2 ? kBase64Alphabet[(group >> 6) & 63] : '=';
      group4[3] = '=';
    }
    i += span;
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
  const std::size_t limit = trimmed.size() / 4 * 3 + 3 + 16;  // 16: blocks store whole registers
  std::string out;
  out.reserve(limit);
  char* const base = out.data();
  char* write = base;
  // Makes the next `bytes` from `write` on part of the result (see kStretch).
  auto makeRoom = [&](std::size_t bytes) {
    const std::size_t needed = static_cast<std::size_t>(write - base) + bytes;
    if (needed > out.size()) out.resize(std::min(limit, needed));
  };
#if defined(__i386__) || defined(__x86_64__)
  const Base64Path run = PathToRun(path);
#endif
  unsigned char quad[4];
  int filled = 0;
  std::size_t dataChars = 0;
  const unsigned char* padding = nullptr;  // the first "=", after which only "=" may follow
  // Blocks and whole groups run until a character outside the alphabet; that one (a
  // line break, the padding or a foreign character) is then taken on its own.
  while (at < end) {
    if (filled == 0) {
      const std::size_t span = std::min(static_cast<std::size_t>(end - at), kStretch);
      const unsigned char* const spanEnd = at + span;
      makeRoom(span / 4 * 3 + 16);
#if defined(__i386__) || defined(__x86_64__)
      std::size_t done = 0;
      if (run == Base64Path::Avx2) done = DecodeBlocksAvx2(at, span, write);
      if (run != Base64Path::Plain) done += DecodeBlocksSsse3(at + done, span - done, write + done / 4 * 3);
      at += done;
      write += done / 4 * 3;
      dataChars += done;
#endif
      for (; spanEnd - at >= 4; at += 4, write += 3) {
        const std::uint32_t group = t[0][at[0]] | t[1][at[1]] | t[2][at[2]] | t[3][at[3]];
        if (group & 0xFF000000u) break;
        write[0] = static_cast<char>(group >> 16);
        write[1] = static_cast<char>(group >> 8);
        write[2] = static_cast<char>(group);
        dataChars += 4;
      }
      if (at == end) break;
      if (at == spanEnd) continue;  // the stretch was whole groups: on to the next
    }
    if (*at == '\r' || *at == '\n') {
      ++at;
      continue;
    }
    if (*at == '=') {
      padding = at;
      break;
    }
    if (t[3][*at] > 63) return {};
    quad[filled++] = *at++;
    ++dataChars;
    if (filled == 4) {
      makeRoom(3);
      const std::uint32_t group = t[0][quad[0]] | t[1][quad[1]] | t[2][quad[2]] | t[3][quad[3]];
      write[0] = static_cast<char>(group >> 16);
      write[1] = static_cast<char>(group >> 8);
      write[2] = static_cast<char>(group);
      write += 3;
      filled = 0;
    }
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
    makeRoom(2);
    const std::uint32_t group = t[0][quad[0]] | t[1][quad[1]] | (filled == 3 ? t[2][quad[2]] : 0);
    *write++ = static_cast<char>(group >> 16);
    if (filled == 3) *write++ = static_cast<char>(group >> 8);
  }
  out.resize(static_cast<std::size_t>(write - out.data()));
  return out;
}

}  // namespace kvl
