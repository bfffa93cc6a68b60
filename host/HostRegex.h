#pragma once
// The stand-in host's own regular expressions (%SETPATTREGEXP and friends), on the
// plug-in's PCRE binding.
#include <memory>
#include <string>
#include <string_view>

#include "regex/PCRE.h"

namespace kvlhost {

class HostRegex {
 public:
  static constexpr std::size_t kMaxPatternLength = 64u << 10;

  // Compiles the current pattern; answers an error message, empty on success. After an
  // error there is no pattern, so every match answers false (an empty match).
  std::string setPattern(const std::string& pattern);
  // Matches and keeps the match; false when there is no pattern or no match.
  bool match(std::string_view subject);
  // Group n of the kept match (0 = whole match); empty when unset, absent or negative.
  std::string group(int n) const;

 private:
  std::string patternText_;  // what pattern_ was compiled from
  std::shared_ptr<kvl::regex::IRegex> pattern_;
  std::shared_ptr<kvl::regex::IMatch> match_;
};

}  // namespace kvlhost
