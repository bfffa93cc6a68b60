#pragma once
// The pieces of the template texts the plug-in hands to the host (docs/building.md,
// "Texts handed to the host"). The host reads a value from its opening double quote to
// the next one and a variable's name up to the first character that cannot be in a
// name, so whatever a value holds must stay inside its quotes and a name must be a name.
#include <algorithm>
#include <string>
#include <string_view>

namespace kvl {

// The host has no escape for a quote inside a value: a quote travels as the
// character with code 2 (and the host's answer gets its quotes back).
inline constexpr char kQuoteInHostText = '\x02';

// `value` with its quotes as code 2: what the host sees of it between the quotes.
inline std::string WithQuotesHidden(std::string_view value) {
  std::string hidden(value);
  std::replace(hidden.begin(), hidden.end(), '"', kQuoteInHostText);
  return hidden;
}

// `value` between double quotes, its own quotes carried as code 2.
inline std::string HostQuoted(std::string_view value) {
  std::string quoted;
  quoted.reserve(value.size() + 2);
  quoted += '"';
  quoted += value;
  std::replace(quoted.begin() + 1, quoted.end(), '"', kQuoteInHostText);
  quoted += '"';
  return quoted;
}

// The host's answer with the quotes that travelled as code 2 given back.
inline std::string WithHostQuotesRestored(std::string text) {
  std::replace(text.begin(), text.end(), kQuoteInHostText, '"');
  return text;
}

// A host variable's name: 1 to 64 ASCII letters, digits and underscores.
inline constexpr std::size_t kMostHostVariableNameLength = 64;
inline bool IsHostVariableName(std::string_view name) {
  return !name.empty() && name.size() <= kMostHostVariableNameLength &&
         std::all_of(name.begin(), name.end(), [](char c) {
           return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
         });
}

}  // namespace kvl
