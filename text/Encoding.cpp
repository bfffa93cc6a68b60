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

const ByteMap& QPMap(bool header) {
  static const auto make = [](bool forHeader) {
    ByteMap map;
    for (int c = 0; c < 256; ++c) {
      const bool plain = c >= 32 && c <= 126 && c != '=' && !(forHeader && (c == '?' || c == '_' || c == ' '));
      if (!plain) map.set(static_cast<unsigned char>(c), EscapeOf('=', static_cast<unsigned char>(c)));
    }
    if (forHeader) map.set(' ', "_");
    return map;
  };
  static const ByteMap body = make(false);
  static const ByteMap headerForm = make(true);
  return header ? headerForm : body;
}

}  // namespace

// One pass: escapes are written into the current line, and when a line would pass
// 76 characters, "=" CR LF goes in after its last whole escape within 75 characters
// (the few characters after that move down).
std::string QPEncode(std::string_view text, bool header) {
  const ByteMap& map = QPMap(header);
  std::size_t end = text.size();  // blanks at the very end are escaped too
  if (!header)
    while (end > 0 && text[end - 1] == ' ') --end;
  const std::string_view body = text.substr(0, end);
  std::size_t escaped = (text.size() - end) * 3;
  for (unsigned char c : body) escaped += map.same[c] ? 1 : map.to[c].size();
  std::string out(escaped + 3 * (escaped / 73 + 1), '\0');

  char* const base = out.data();
  char* write = base;
  char* lineStart = base;
  char* lastCut = base;  // end of the last whole piece within 75 characters of lineStart
  auto put = [&](const char* piece, std::size_t length) {
    if (static_cast<std::size_t>(write - lineStart) + length > 76) {
      std::memmove(lastCut + 3, lastCut, static_cast<std::size_t>(write - lastCut));
      std::memcpy(lastCut, "=\r\n", 3);
      write += 3;
      lineStart = lastCut + 3;
      lastCut = write;
    }
    std::memcpy(write, piece, length);
    write += length;
    if (write - lineStart <= 75) lastCut = write;
  };
  const auto* in = reinterpret_cast<const unsigned char*>(body.data());
  std::size_t i = 0;
  while (i < body.size()) {
    // A run of plain characters fills the line up to 76 at once.
    while (i < body.size() && map.same[in[i]]) {
      const std::size_t room = static_cast<std::size_t>(76 - (write - lineStart));
      std::size_t run = 0;
      while (run < room && i + run < body.size() && map.same[in[i + run]]) ++run;
      if (run == 0) {
        put(body.data() + i, 1);  // the line is full: let put() break it
        ++i;
        continue;
      }
      std::memcpy(write, in + i, run);
      write += run;
      i += run;
      lastCut = write - lineStart <= 75 ? write : lineStart + 75;
    }
    if (i == body.size()) break;
    const std::string_view escape = map.to[in[i++]];
    put(escape.data(), escape.size());
  }
  for (std::size_t blank = end; blank < text.size(); ++blank) put("=20", 3);
  out.resize(static_cast<std::size_t>(write - base));
  return out;
}

std::string QPDecode(std::string_view text, bool header) {
  // Room for the 16-character blocks that are stored before their length is known.
  std::string out(text.size() + 16, '\0');
  char* write = out.data();
  const char* at = text.data();
  const char* const end = at + text.size();
  for (;;) {
    // Plain runs are copied whole; only "=" (and "_" in the header form) need a look.
#if defined(__SSE2__)
    const __m128i equals = _mm_set1_epi8('=');
    const __m128i underscore = _mm_set1_epi8(header ? '_' : '=');
    while (end - at >= 16) {
      const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(write), block);
      const auto mask = static_cast<unsigned>(
          _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, equals), _mm_cmpeq_epi8(block, underscore))));
      if (mask == 0) {
        at += 16;
        write += 16;
        continue;
      }
      const unsigned skip = static_cast<unsigned>(__builtin_ctz(mask));
      at += skip;
      write += skip;
      break;
    }
#endif
    while (at < end && *at != '=' && !(header && *at == '_')) *write++ = *at++;
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

std::string UrlEncode(std::string_view text, std::string_view options) {
  ByteMap map;
  for (int c = 0; c < 256; ++c) {
    const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (!plain) map.set(static_cast<unsigned char>(c), EscapeOf('%', static_cast<unsigned char>(c)));
  }
  if (options.find_first_of("<>") != std::string_view::npos) map.set('<', "&lt;"), map.set('>', "&gt;");
  if (options.find('+') != std::string_view::npos) map.set(' ', "+");
  if (options.find('&') != std::string_view::npos) map.set('&', "&amp;");
  return MapBytes(text, map);
}

std::string UrlDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t run = at;
    while (at < text.size() && text[at] != '+' && text[at] != '&' && text[at] != '%') ++at;
    out.append(text.data() + run, at - run);
    if (at >= text.size()) break;
    const char c = text[at];
    if (c == '+') {
      out += ' ';
      ++at;
    } else if (c == '&') {
      const std::string_view rest = text.substr(at);
      if (rest.starts_with("&amp;")) out += '&', at += 5;
      else if (rest.starts_with("&lt;")) out += '<', at += 4;
      else if (rest.starts_with("&gt;")) out += '>', at += 4;
      else out += '&', ++at;
    } else {
      // Two characters must follow, even after blanks and controls are trimmed away.
      const std::string_view pair = Trimmed(text.substr(at + 1, 2));
      if (pair.size() != 2) break;
      const int high = HexValue(pair[0]), low = HexValue(pair[1]);
      if (high >= 0 && low >= 0) out += static_cast<char>(high * 16 + low);
      at += 3;
    }
  }
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
