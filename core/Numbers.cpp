#include "core/Numbers.h"

#include <charconv>

namespace kvl {

std::optional<std::int32_t> ReadInteger(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    base = 16;
    text.remove_prefix(2);
  } else if (!text.empty() && (text.front() == '$' || text.front() == 'x' || text.front() == 'X')) {
    base = 16;
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  std::uint64_t magnitude = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  // Hexadecimal may spell the whole 32-bit pattern ($FFFFFFFF is -1).
  if (base == 16 && !negative && magnitude <= 0xFFFFFFFFu)
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(magnitude));
  const std::uint64_t limit = negative ? 2147483648u : 2147483647u;
  if (magnitude > limit) return std::nullopt;
  return static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(magnitude)
                                            : static_cast<std::int64_t>(magnitude));
}

std::int32_t ReadIntegerOr(std::string_view text, std::int32_t dflt) { return ReadInteger(text).value_or(dflt); }

std::string FormatInteger(std::int64_t value) { return std::to_string(value); }

}  // namespace kvl
