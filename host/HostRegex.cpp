#include "host/HostRegex.h"

#include <pcre.h>

#include <algorithm>
#include <cstdint>

namespace kvlhost {

namespace {
// A search may take 10 million steps and 1 000 more per byte it can reach, at most 250
// million: a pattern that backtracks without end gives up instead of freezing the host.
unsigned long StepLimit(std::size_t subjectBytes) {
  constexpr std::uint64_t kBase = 10'000'000, kPerByte = 1'000, kMost = 250'000'000;
  return static_cast<unsigned long>(std::min<std::uint64_t>(kMost, kBase + kPerByte * std::uint64_t{subjectBytes}));
}

// The engines as the plug-in chooses them, so that a search the plug-in made first
// (KVL_Grep, KVL_ReX) runs here on the same engine with the same limits: the
// interpreter below 16 KB of subject, the machine code from there on and where the
// interpreter runs out of depth. The machine code keeps its backtracking on a stack of
// its own, at most 64 MB; the interpreter recurses on the thread's stack, so it gets
// a depth that fits half of kvlhost's 2 MB.
constexpr std::size_t kMachineCodeFrom = 16u << 10;
constexpr int kJitStackFirst = 64 << 10;
constexpr int kJitStackMost = 64 << 20;
constexpr std::size_t kInterpreterStack = 1u << 20;

unsigned long InterpreterDepthLimit() {
  static const int frameSize = [] {
    const int size = -pcre_exec(nullptr, nullptr, nullptr, -999, -999, 0, nullptr, 0);
    return size > 0 ? size : 1024;
  }();
  return static_cast<unsigned long>(kInterpreterStack / static_cast<std::size_t>(frameSize));
}
}  // namespace

void HostRegex::Free::operator()(real_pcre* code) const { pcre_free(code); }
void HostRegex::Free::operator()(pcre_extra* study) const { pcre_free_study(study); }
void HostRegex::Free::operator()(real_pcre_jit_stack* stack) const { pcre_jit_stack_free(stack); }

std::string HostRegex::setPattern(const std::string& pattern) {
  offsets_.clear();
  // KVL_Grep sets the same pattern before every line: compiling it (to machine code)
  // once per line would cost more than matching the line.
  if (code_ && pattern == patternText_) return {};
  patternText_ = pattern;
  study_.reset();
  code_.reset();
  if (pattern.size() > kMaxPatternLength) {
    // PCRE could not compile it anyway, and would read all of it to say so.
    return "a pattern of " + std::to_string(pattern.size()) + " characters is too large (at most " +
           std::to_string(kMaxPatternLength) + ")";
  }
  const char* error = nullptr;
  int errorOffset = 0;
  code_.reset(pcre_compile(pattern.c_str(), 0, &error, &errorOffset, nullptr));
  if (!code_)
    return "Invalid Pattern '" + pattern + "': error at position " + std::to_string(errorOffset) + ": " +
           (error ? error : "");
  study_.reset(pcre_study(code_.get(), PCRE_STUDY_JIT_COMPILE, &error));  // null: the interpreter alone
  if (study_) {
    if (!jitStack_) jitStack_.reset(pcre_jit_stack_alloc(kJitStackFirst, kJitStackMost));
    pcre_assign_jit_stack(study_.get(), nullptr, jitStack_.get());  // no-op without machine code
  }
  return {};
}

bool HostRegex::match(std::string_view subject) {
  offsets_.clear();
  if (!code_ || subject.size() > static_cast<std::size_t>(INT32_MAX)) return false;
  pcre_extra extra{};
  if (study_) extra = *study_;
  extra.flags |= PCRE_EXTRA_MATCH_LIMIT | PCRE_EXTRA_MATCH_LIMIT_RECURSION;
  extra.match_limit = StepLimit(subject.size());
  extra.match_limit_recursion = InterpreterDepthLimit();
  const bool hasMachineCode = (extra.flags & PCRE_EXTRA_EXECUTABLE_JIT) != 0;
  if (subject.size() < kMachineCodeFrom) extra.flags &= ~PCRE_EXTRA_EXECUTABLE_JIT;
  int captures = 0;
  pcre_fullinfo(code_.get(), nullptr, PCRE_INFO_CAPTURECOUNT, &captures);
  std::vector<int> offsets(static_cast<std::size_t>(captures + 1) * 3);
  const auto search = [&] {
    return pcre_exec(code_.get(), &extra, subject.data(), static_cast<int>(subject.size()), 0, 0, offsets.data(),
                     static_cast<int>(offsets.size()));
  };
  int rc = search();
  if (rc == PCRE_ERROR_RECURSIONLIMIT && hasMachineCode && !(extra.flags & PCRE_EXTRA_EXECUTABLE_JIT)) {
    extra.flags |= PCRE_EXTRA_EXECUTABLE_JIT;
    rc = search();
  } else if (rc == PCRE_ERROR_JIT_STACKLIMIT) {
    extra.flags &= ~PCRE_EXTRA_EXECUTABLE_JIT;
    rc = search();
  }
  // No match, and every search PCRE gave up on, count as no match.
  if (rc <= 0) return false;
  // \K inside a lookahead can set a match's start beyond its end: no part of the subject.
  if (offsets[1] < offsets[0]) return false;
  offsets.resize(static_cast<std::size_t>(rc) * 2);  // the groups PCRE set, without its workspace
  subject_.assign(subject);
  offsets_ = std::move(offsets);
  return true;
}

std::string HostRegex::group(int n) const {
  if (n < 0 || static_cast<std::size_t>(n) >= offsets_.size() / 2) return {};
  const int from = offsets_[2 * n], to = offsets_[2 * n + 1];
  if (from < 0 || to < from) return {};  // a group that took no part in the match
  return subject_.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
}

}  // namespace kvlhost
