#pragma once
// The stand-in host's own regular expressions (%SETPATTREGEXP and friends), on PCRE.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct real_pcre;

namespace kvlhost {

class HostRegex {
 public:
  // Compiles the current pattern; answers an error message, empty on success.
  std::string setPattern(const std::string& pattern);
  // Matches and keeps the match; false when there is no pattern or no match.
  bool match(std::string_view subject);
  // Group n of the kept match (0 = whole match); empty when unset or absent.
  std::string group(int n) const;

 private:
  struct Release {
    void operator()(real_pcre* compiled) const;
  };
  std::unique_ptr<real_pcre, Release> compiled_;
  std::string subject_;
  std::vector<int> offsets_;  // pairs of start/end, -1 for unset groups
};

}  // namespace kvlhost
