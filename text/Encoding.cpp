#include "text/Encoding.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "core/Numbers.h"
#include "core/TextUtil.h"

namespace kvl {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

unsigned char Byte(char c) { return static_cast<unsigned char>(c); }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

void AppendEscape(std::string& out, char prefix, char c) {
  const char escape[3] = {prefix, kHexDigits[Byte(c) >> 4], kHexDigits[Byte(c) & 15]};
  out.append(escape, 3);
}

// Copies the run of characters from `at` for which `plain` holds; answers where it stopped.
template <typename Plain>
std::size_t CopyPlainRun(std::string_view text, std::size_t at, std::string& out, Plain&& plain) {
  const std::size_t start = at;
  while (at < text.size() && plain(Byte(text[at]))) ++at;
  out.append(text.data() + start, at - start);
  return at;
}

std::array<bool, 256> QPLiteralTable(bool header) {
  std::array<bool, 256> literal{};
  for (int c = 32; c <= 126; ++c) literal[c] = true;
  literal['='] = false;
  if (header) literal['?'] = literal['_'] = literal[' '] = false;
  return literal;
}

// Soft line breaks so that no line is longer than 75 characters plus "=",
// never splitting a three-character escape.
std::string WithSoftBreaks(std::string_view escaped) {
  std::string out;
  out.reserve(escaped.size() + escaped.size() / 25 + 8);
  std::size_t start = 0;
  while (escaped.size() - start > 76) {
    std::size_t cut = start + 75;
    if (escaped[cut - 1] == '=') cut -= 1;
    else if (escaped[cut - 2] == '=') cut -= 2;
    out.append(escaped.data() + start, cut - start);
    out.append("=\r\n");
    start = cut;
  }
  out.append(escaped.data() + start, escaped.size() - start);
  return out;
}

}  // namespace

std::string QPEncode(std::string_view text, bool header) {
  static const std::array<bool, 256> kBody = QPLiteralTable(false);
  static const std::array<bool, 256> kHeader = QPLiteralTable(true);
  const std::array<bool, 256>& literal = header ? kHeader : kBody;
  // Blanks at the very end are escaped too.
  std::size_t end = text.size();
  if (!header)
    while (end > 0 && text[end - 1] == ' ') --end;
  std::string escaped;
  escaped.reserve(text.size() + text.size() / 8 + 16);
  std::size_t at = 0;
  while (at < end) {
    at = CopyPlainRun(text.substr(0, end), at, escaped, [&](unsigned char c) { return literal[c]; });
    if (at >= end) break;
    if (header && text[at] == ' ') escaped += '_';
    else AppendEscape(escaped, '=', text[at]);
    ++at;
  }
  for (; at < text.size(); ++at) escaped.append("=20");
  return WithSoftBreaks(escaped);
}

std::string QPDecode(std::string_view text, bool header) {
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t next = header ? text.find_first_of("=_", at) : text.find('=', at);
    if (next == std::string_view::npos) {
      out.append(text.data() + at, text.size() - at);
      break;
    }
    out.append(text.data() + at, next - at);
    at = next;
    if (text[at] == '_') {
      out += ' ';
      ++at;
    } else if (text.compare(at + 1, 1, "\n") == 0) {
      at += 2;  // soft line break
    } else if (text.compare(at + 1, 2, "\r\n") == 0) {
      at += 3;
    } else if (at + 2 < text.size() && HexValue(text[at + 1]) >= 0 && HexValue(text[at + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[at + 1]) * 16 + HexValue(text[at + 2]));
      at += 3;
    } else {
      out += '=';
      ++at;
    }
  }
  return out;
}

std::string Base64Encode(std::string_view bytes) {
  std::string out((bytes.size() + 2) / 3 * 4, '\0');
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  char* write = out.data();
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t group = (in[i] << 16) | (in[i + 1] << 8) | in[i + 2];
    write[0] = kBase64Alphabet[group >> 18];
    write[1] = kBase64Alphabet[(group >> 12) & 63];
    write[2] = kBase64Alphabet[(group >> 6) & 63];
    write[3] = kBase64Alphabet[group & 63];
    write += 4;
  }
  if (const std::size_t rest = bytes.size() - i; rest > 0) {
    const std::uint32_t group = (in[i] << 16) | (rest == 2 ? in[i + 1] << 8 : 0);
    write[0] = kBase64Alphabet[group >> 18];
    write[1] = kBase64Alphabet[(group >> 12) & 63];
    write[2] = rest == 2 ? kBase64Alphabet[(group >> 6) & 63] : '=';
    write[3] = '=';
  }
  return out;
}

std::string PrepareBase64(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 3);
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t lineEnd = text.find_first_of("\r\n", at);
    const std::size_t end = lineEnd == std::string_view::npos ? text.size() : lineEnd;
    out.append(text.data() + at, end - at);
    at = end + 1;
  }
  const std::string_view trimmed = Trimmed(out);
  std::string prepared(trimmed);
  while (prepared.size() % 4 != 0) prepared += '=';
  return prepared;
}

std::string Base64Decode(std::string_view text) {
  static const std::array<std::int8_t, 256> kValues = [] {
    std::array<std::int8_t, 256> values;
    values.fill(-1);
    for (int i = 0; i < 64; ++i) values[Byte(kBase64Alphabet[i])] = static_cast<std::int8_t>(i);
    return values;
  }();
  if (text.size() % 4 != 0) return {};
  std::size_t padding = 0;
  while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') ++padding;
  const std::size_t dataLength = text.size() - padding;
  if (padding > 0 && dataLength % 4 < 2) return {};  // a group needs two characters at least
  std::string out;
  out.resize(dataLength / 4 * 3 + (dataLength % 4 == 0 ? 0 : dataLength % 4 - 1));
  char* write = out.data();
  std::uint32_t group = 0;
  int filled = 0;
  for (std::size_t i = 0; i < dataLength; ++i) {
    const int value = kValues[Byte(text[i])];
    if (value < 0) return {};
    group = (group << 6) | static_cast<std::uint32_t>(value);
    if (++filled == 4) {
      write[0] = static_cast<char>(group >> 16);
      write[1] = static_cast<char>(group >> 8);
      write[2] = static_cast<char>(group);
      write += 3;
      group = 0;
      filled = 0;
    }
  }
  if (filled == 2) *write = static_cast<char>(group >> 4);
  if (filled == 3) {
    write[0] = static_cast<char>(group >> 10);
    write[1] = static_cast<char>(group >> 2);
  }
  return out;
}

std::string UrlEncode(std::string_view text, std::string_view options) {
  const bool angles = options.find_first_of("<>") != std::string_view::npos;
  const bool plus = options.find('+') != std::string_view::npos;
  const bool ampersand = options.find('&') != std::string_view::npos;
  static const std::array<bool, 256> kPlain = [] {
    std::array<bool, 256> plain{};
    for (int c = '0'; c <= '9'; ++c) plain[c] = true;
    for (int c = 'A'; c <= 'Z'; ++c) plain[c] = plain[c + 32] = true;
    return plain;
  }();
  std::string out;
  out.reserve(text.size() + text.size() / 2 + 16);
  std::size_t at = 0;
  while (at < text.size()) {
    at = CopyPlainRun(text, at, out, [](unsigned char c) { return kPlain[c]; });
    if (at >= text.size()) break;
    const char c = text[at++];
    if (angles && c == '<') out.append("&lt;");
    else if (angles && c == '>') out.append("&gt;");
    else if (plus && c == ' ') out += '+';
    else if (ampersand && c == '&') out.append("&amp;");
    else AppendEscape(out, '%', c);
  }
  return out;
}

std::string UrlDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    at = CopyPlainRun(text, at, out, [](unsigned char c) { return c != '+' && c != '&' && c != '%'; });
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
  std::string out;
  out.reserve(text.size() + text.size() / 16 + 16);
  std::size_t at = 0;
  while (at < text.size()) {
    at = CopyPlainRun(text, at, out, [](unsigned char c) { return c != '&' && c != '<' && c != '>' && c != '"'; });
    if (at >= text.size()) break;
    switch (text[at++]) {
      case '&': out.append("&amp;"); break;
      case '<': out.append("&lt;"); break;
      case '>': out.append("&gt;"); break;
      default: out.append("&quot;"); break;
    }
  }
  return out;
}

// One pass gives what replacing &quot;, &gt;, &lt; and then &amp; one after another
// gives: no replacement can form another one's name.
std::string HtmlUnescape(std::string_view text) {
  static constexpr std::array<std::pair<std::string_view, char>, 4> kNames{
      {{"&quot;", '"'}, {"&gt;", '>'}, {"&lt;", '<'}, {"&amp;", '&'}}};
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
    at = amp + 1;
    char replaced = '&';
    for (const auto& [name, c] : kNames) {
      if (EqualsIgnoringAsciiCase(text.substr(amp, name.size()), name)) {
        replaced = c;
        at = amp + name.size();
        break;
      }
    }
    out += replaced;
  }
  return out;
}

namespace {
std::string EntityEncode(std::string_view text, const SpecialCharTable& table, std::string SpecialChar::*column) {
  std::string out;
  out.reserve(text.size() + 16);
  std::size_t at = 0;
  while (at < text.size()) {
    at = CopyPlainRun(text, at, out, [](unsigned char c) { return c < 128; });
    if (at >= text.size()) break;
    out.append(table[Byte(text[at++])].*column);  // an empty entry drops the character
  }
  return out;
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
    const std::string_view window = text.substr(amp + 1, 10);
    const std::size_t semicolon = window.find(';');
    const int code = semicolon == std::string_view::npos ? 0 : EntityToCode(window.substr(0, semicolon), index);
    if (code != 0) {
      out += static_cast<char>(code);
      at = amp + 1 + semicolon + 1;
    } else {
      out += '&';
      at = amp + 1;
    }
  }
  return out;
}

}  // namespace kvl
