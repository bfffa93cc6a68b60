#include "host/HostRegex.h"

namespace kvlhost {

std::string HostRegex::setPattern(const std::string& pattern) {
  match_.reset();
  // KVL_Grep sets the same pattern before every line: compiling it (to machine code)
  // once per line would cost more than matching the line.
  if (pattern_ && pattern == patternText_) return {};
  patternText_ = pattern;
  if (pattern.size() > kMaxPatternLength) {
    // PCRE could not compile it anyway, and would read all of it to say so.
    pattern_.reset();
    return "a pattern of " + std::to_string(pattern.size()) + " characters is too large (at most " +
           std::to_string(kMaxPatternLength) + ")";
  }
  try {
    pattern_ = kvl::regex::CreateRegex(pattern, {});
    return {};
  } catch (const kvl::regex::ERegexException& error) {
    pattern_.reset();
    return error.what();
  }
}

bool HostRegex::match(std::string_view subject) {
  match_.reset();
  if (!pattern_) return false;
  try {
    match_ = pattern_->Match(subject);
  } catch (const kvl::regex::ERegexException&) {
    return false;  // a search PCRE gave up on counts as no match
  }
  return match_->Success();
}

std::string HostRegex::group(int n) const {
  if (!match_ || n < 0) return {};
  return match_->Groups()->Items(n)->Value();
}

}  // namespace kvlhost
