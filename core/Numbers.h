#pragma once
// How the plug-in reads and writes whole numbers everywhere.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kvl {

// A signed 32-bit number: decimal, or hexadecimal after "$", "x", "X" or "0x"/"0X";
// an optional sign before it. Nothing else may stand in the text.
std::optional<std::int32_t> ReadInteger(std::string_view text);
std::int32_t ReadIntegerOr(std::string_view text, std::int32_t dflt);

std::string FormatInteger(std::int64_t value);

}  // namespace kvl
