#pragma once
// Keyboard-layout names: the table of culture and language names and the rule that
// turns an argument into the eight-digit layout name the platform loads.
#include <span>
#include <string>
#include <string_view>

namespace kvl {

struct LayoutName {
  std::string_view name;
  std::string_view code;  // four lower-case hex digits
};

// Searched in order; the first name equal to the argument in any case wins.
std::span<const LayoutName> LayoutNames();

// The argument trimmed, replaced by its table code when it is a table name, then cut
// to its last eight characters or left-padded with "0" to eight ("de" -> "00000407").
std::string EightDigitLayoutName(std::string_view argument);

}  // namespace kvl
