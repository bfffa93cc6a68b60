#pragma once
// The stand-in host's own regular expressions (%SETPATTREGEXP and friends): PCRE used
// directly, apart from the plug-in's binding, so that a fault there cannot hide in the
// host that tests it.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct real_pcre;
struct pcre_extra;
struct real_pcre_jit_stack;

namespace kvlhost {

class HostRegex {
 public:
  static constexpr std::size_t kMaxPatternLength = 64u << 10;

  // Compiles the current pattern; answers an error message, empty on success. After an
  // error there is no pattern, so every match answers false (an empty match).
  std::string setPattern(const std::string& pattern);
  // Matches and keeps the match; false when there is no pattern or no match, and when
  // PCRE gave up on the search (its step or stack limit).
  bool match(std::string_view subject);
  // Group n of the kept match (0 = whole match); empty when unset, absent or negative.
  std::string group(int n) const;

 private:
  struct Free {
    void operator()(real_pcre* code) const;
    void operator()(pcre_extra* study) const;
    void operator()(real_pcre_jit_stack* stack) const;
  };
  std::string patternText_;  // what code_ was compiled from
  std::unique_ptr<real_pcre, Free> code_;
  std::unique_ptr<pcre_extra, Free> study_;  // with the machine code, when PCRE could make it
  std::unique_ptr<real_pcre_jit_stack, Free> jitStack_;
  std::string subject_;      // of the kept match
  std::vector<int> offsets_;  // PCRE's offsets of the kept match; empty without one
};

}  // namespace kvlhost
