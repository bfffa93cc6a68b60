#include "mailtext/MailText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <functional>
#include <optional>
#include <unordered_map>

#include "core/TextUtil.h"

namespace kvl {

namespace {

// Order matters: a later word that also fits wins ("antwort" over "antw", "ref" over "re").
constexpr std::array<std::string_view, 17> kPrefixWords{"antw", "antwort", "aw",  "betr", "betrifft", "betreff",
                                                        "forw", "fw",      "fwd", "ha",   "rcpt",     "re",
                                                        "ref",  "war",     "was", "wg",   "wtr"};
constexpr std::array<std::string_view, 4> kForwardWords{"forw", "fw", "fwd", "wtr"};

// At most five characters of any kind between a prefix word and its colon.
constexpr std::size_t kMostBeforeColon = 5;

std::string_view WithoutLeadingControls(std::string_view s) {
  std::size_t at = 0;
  while (at < s.size() && static_cast<unsigned char>(s[at]) <= 32) ++at;
  return s.substr(at);
}

// Prefix words looked up by the subject's own prefixes: a step of the chain costs the
// distinct lengths of the words, not their number (200 000 words of seven lengths cost
// seven look-ups a step). Each word keeps its last place in list order, the one that
// decides between two words that both fit.
class PrefixWordSet {
 public:
  template <typename Words>
  void add(const Words& words) {
    for (const auto& word : words) {
      ranks_[std::string(word)] = next_++;
      if (std::find(lengths_.begin(), lengths_.end(), word.size()) == lengths_.end()) lengths_.push_back(word.size());
    }
    std::sort(lengths_.begin(), lengths_.end());
  }

  // The length of the latest-listed word that `s` begins with (0 for none); the
  // characters looked at count into `work`.
  std::size_t longestRankedPrefix(std::string_view s, std::uint64_t& work) const {
    std::size_t length = 0;
    int rank = -1;
    for (const std::size_t n : lengths_) {
      if (n > s.size()) break;
      work += n;
      const auto found = ranks_.find(s.substr(0, n));
      if (found != ranks_.end() && found->second > rank) {
        rank = found->second;
        length = n;
      }
    }
    return length;
  }

 private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  std::unordered_map<std::string, int, Hash, std::equal_to<>> ranks_;
  std::vector<std::size_t> lengths_;
  int next_ = 0;
};

// Look-ups may cost this many characters per character of the subject and the words,
// and this many more: a list of many word lengths against a long chain gives up
// instead of holding the mail client for minutes.
constexpr std::uint64_t kWalkWorkPerByte = 64;
constexpr std::uint64_t kWalkWorkBase = 1u << 24;

std::uint64_t WalkAllowance(std::string_view subject, const std::vector<std::string>& words) {
  std::uint64_t bytes = subject.size();
  for (const std::string& word : words) bytes += word.size() + 1;
  return kWalkWorkBase + kWalkWorkPerByte * bytes;
}

// Walks the chain of prefixes of the ASCII-lowered subject; calls `visit(s, between)`
// for each prefix before it is cut off and answers what remains, or nothing when the
// look-ups passed `allowance`.
template <typename Visit>
std::optional<std::string_view> WalkPrefixChain(std::string_view s, const PrefixWordSet& words,
                                                std::uint64_t allowance, Visit&& visit) {
  std::uint64_t work = 0;
  for (;;) {
    const std::size_t n = words.longestRankedPrefix(s, work);
    if (work > allowance) return std::nullopt;
    if (n == 0) return s;
    const std::size_t colon = s.find(':', n);
    if (colon == std::string_view::npos || colon > n + kMostBeforeColon) return s;
    visit(s, s.substr(n, colon - n));
    s = WithoutLeadingControls(s.substr(colon + 1));
  }
}

// "[k]" counts k (0, or anything but digits, counts 1); up to two characters count 1.
std::int64_t RepliesOf(std::string_view between) {
  if (between.size() <= 2) return 1;
  if (between.front() != '[' || between.back() != ']') return 0;
  const std::string_view digits = between.substr(1, between.size() - 2);
  std::uint32_t k = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), k);
  if (error != std::errc{} || end != digits.data() + digits.size() || k == 0) return 1;
  return k;
}

}  // namespace

std::vector<std::string> PrefixWords(std::string_view list, std::string (*lower)(std::string_view)) {
  std::vector<std::string> words;
  if (list.empty()) return words;
  const std::string lowered = lower(list);
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = lowered.find('|', start);
    std::string word = lowered.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
    // An empty item fits every subject and would stop all cleaning: it is no word.
    if (!word.empty()) words.push_back(std::move(word));
    if (bar == std::string::npos) return words;
    start = bar + 1;
  }
}

std::optional<std::string> CleanSubject(std::string_view subject, const std::vector<std::string>& extra) {
  PrefixWordSet words;
  words.add(kPrefixWords);
  words.add(extra);
  const std::string lowered = AsciiLowered(subject);
  const auto rest = WalkPrefixChain(WithoutLeadingControls(lowered), words, WalkAllowance(subject, extra),
                                    [](auto, auto) {});
  if (!rest) return std::nullopt;
  return std::string(subject.substr(subject.size() - rest->size()));
}

std::optional<std::string> CountReplies(std::string_view subject, bool skipForwards,
                                        const std::vector<std::string>& extraWords,
                                        const std::vector<std::string>& extraForwards) {
  const std::string lowered = AsciiLowered(subject);
  const std::string_view s = WithoutLeadingControls(lowered);
  if (s.empty()) return std::string();
  PrefixWordSet words;
  words.add(kPrefixWords);
  words.add(extraWords);
  words.add(extraForwards);
  PrefixWordSet forwards;
  forwards.add(kForwardWords);
  forwards.add(extraForwards);
  std::vector<std::string> all = extraWords;
  all.insert(all.end(), extraForwards.begin(), extraForwards.end());
  const std::uint64_t allowance = WalkAllowance(subject, all);
  std::uint64_t forwardWork = 0;  // at most the walk's own: the forward words' lengths are among its lengths
  std::int64_t count = 0;
  const auto rest = WalkPrefixChain(s, words, allowance, [&](std::string_view at, std::string_view between) {
    const bool forward = skipForwards && forwards.longestRankedPrefix(at, forwardWork) > 0;
    if (!forward) count += RepliesOf(between);
  });
  if (!rest) return std::nullopt;
  return std::to_string(count);
}

// Sized exactly and filled with block copies: quoting a whole message is one search
// for line ends and one copy of the text.
std::string AddQuotes(std::string_view text, std::string_view prefix) {
  const std::size_t lines = CountOf(text, "\r\n") + 1;
  std::string result(text.size() + 2 + lines * prefix.size(), '\0');
  char* out = result.data();
  auto put = [&](std::string_view piece) {
    std::memcpy(out, piece.data(), piece.size());
    out += piece.size();
  };
  for (std::size_t at = 0;;) {
    const std::size_t end = FindText(text, "\r\n", at);
    put(prefix);
    if (end == std::string_view::npos) {
      put(text.substr(at));
      put("\r\n");
      return result;
    }
    put(text.substr(at, end + 2 - at));
    at = end + 2;
  }
}

std::string DeleteQuotes(std::string_view text, std::int64_t window, std::string_view mark) {
  std::string result;
  result.reserve(text.size() + 2);
  ForEachLine(text, [&](std::string_view line) {
    // Positions count from 1; e is just after the last accepted mark, 0 for none.
    std::int64_t e = 0;
    auto next = [&](std::int64_t from1) -> std::int64_t {
      if (mark.empty()) return 0;
      // Marks lie within the line: one that took the line's own CR LF would join it to the next.
      const std::size_t found = FindText(line, mark, static_cast<std::size_t>(from1 - 1));
      return found == std::string::npos ? 0 : static_cast<std::int64_t>(found) + 1;
    };
    for (std::int64_t p = next(1); p > 0 && p <= e + window; p = next(e))
      e = p + static_cast<std::int64_t>(mark.size());
    // e - 1 is at most the line's length: the line's own CR LF is no blank to skip.
    std::size_t from = e > 0 ? static_cast<std::size_t>(e - 1) : 0;
    if (e > 0 && from < line.size() && line[from] == ' ') ++from;
    result.append(line.substr(from)).append("\r\n");
  });
  return result;
}

}  // namespace kvl
