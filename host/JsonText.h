#pragma once
// JSON string text written the way nlohmann::json writes it (the same escapes, lower-case
// hexadecimal, UTF-8 kept as it is), in runs: a batch reply may carry a 64 MiB result,
// which a general JSON writer escapes a character at a time.
#include <array>
#include <string>
#include <string_view>

namespace kvlhost {

// Appends `utf8` (valid UTF-8) escaped for the inside of a JSON string, without quotes.
inline void AppendJsonEscaped(std::string& out, std::string_view utf8) {
  // Bytes each character takes once escaped: the room is made once, then filled.
  static constexpr auto kWidth = [] {
    std::array<unsigned char, 256> width{};
    for (int c = 0; c < 256; ++c) width[static_cast<std::size_t>(c)] = c < 0x20 ? 6 : 1;
    for (const char c : {'"', '\\', '\b', '\f', '\n', '\r', '\t'}) width[static_cast<unsigned char>(c)] = 2;
    return width;
  }();
  static constexpr char kHex[] = "0123456789abcdef";
  std::size_t size = 0;
  for (const char c : utf8) size += kWidth[static_cast<unsigned char>(c)];
  const std::size_t start = out.size();
  out.resize(start + size);
  char* to = out.data() + start;
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (kWidth[byte] == 1) {
      *to++ = c;
      continue;
    }
    *to++ = '\\';
    switch (c) {
      case '"': *to++ = '"'; break;
      case '\\': *to++ = '\\'; break;
      case '\b': *to++ = 'b'; break;
      case '\f': *to++ = 'f'; break;
      case '\n': *to++ = 'n'; break;
      case '\r': *to++ = 'r'; break;
      case '\t': *to++ = 't'; break;
      default:
        *to++ = 'u';
        *to++ = '0';
        *to++ = '0';
        *to++ = kHex[byte >> 4];
        *to++ = kHex[byte & 15];
    }
  }
}

}  // namespace kvlhost
