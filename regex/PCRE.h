#pragma once
// The plug-in's binding to PCRE (8-bit): compiled patterns, matches, groups,
// $-template replacement, splitting and DFA matching. Objects are shared and
// immutable; every failure is raised as an ERegexException (or a subtype).
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace kvl::regex {

// ---- option sets -----------------------------------------------------------

template <typename Option>
class OptionSet {
 public:
  constexpr OptionSet() = default;
  constexpr OptionSet(Option option) : bits_(1u << static_cast<unsigned>(option)) {}  // NOLINT: a single option is a set
  constexpr static OptionSet FromBits(std::uint32_t bits) {
    OptionSet set;
    set.bits_ = bits;
    return set;
  }
  constexpr OptionSet operator|(OptionSet other) const { return FromBits(bits_ | other.bits_); }
  constexpr bool has(Option option) const { return (bits_ >> static_cast<unsigned>(option)) & 1u; }
  constexpr std::uint32_t bits() const { return bits_; }
  constexpr bool operator==(const OptionSet&) const = default;

 private:
  std::uint32_t bits_ = 0;
};

// Compile options, in their declared order: the set of Caseless alone has the value 2.
enum class RegexOption : unsigned {
  Anchored, Caseless, DollarEndOnly, DotAll, Extended, Extra, Multiline, Ungreedy,
  NoAutoCapture, Utf8, NoUtf8Check, AutoCallout, Partial, FirstLine,
};
using RegexOptions = OptionSet<RegexOption>;
constexpr RegexOptions operator|(RegexOption a, RegexOption b) { return RegexOptions(a) | RegexOptions(b); }

// Options of one search.
enum class MatchOption : unsigned { Anchored, NotBol, NotEol, NotEmpty, NoUtf8Check, DfaShortest };
using MatchOptions = OptionSet<MatchOption>;
constexpr MatchOptions operator|(MatchOption a, MatchOption b) { return MatchOptions(a) | MatchOptions(b); }

enum class SplitOption : unsigned { IncludeMatch };
using SplitOptions = OptionSet<SplitOption>;

// The PCRE flags of an option set, and back (flags without an option are dropped).
int ToPcreFlags(RegexOptions options);
int ToPcreFlags(MatchOptions options);
RegexOptions RegexOptionsFromPcre(int flags);

// ---- errors ----------------------------------------------------------------

struct ERegexException : std::runtime_error {
  using std::runtime_error::runtime_error;
};
struct EBadRegexLocale : ERegexException {
  using ERegexException::ERegexException;
};
struct ERegexInvalidSubstitutionGroup : ERegexException {
  using ERegexException::ERegexException;
};
struct ERegexBadGroupName : ERegexException {
  using ERegexException::ERegexException;
};
// A search that ran out of steps (its limit or a shared budget): PCRE's error -8.
struct ERegexStepLimit : ERegexException {
  using ERegexException::ERegexException;
};

// Raises ERegexException for a negative PCRE return code; 0 and above pass.
void CheckPcreCode(int code);

// ---- results ---------------------------------------------------------------

class ICaptureGroup {
 public:
  virtual ~ICaptureGroup() = default;
  virtual bool Success() const = 0;
  virtual std::string Value() const = 0;
  virtual std::int32_t Index() const = 0;   // 0-based byte offset; -1 when unset
  virtual std::int32_t Length() const = 0;  // bytes; 0 when unset
};

class ICaptureGroupCollection {
 public:
  virtual ~ICaptureGroupCollection() = default;
  virtual std::int32_t Count() const = 0;
  // Any index: -1 is the text before the match, -2 the text after it, others unset.
  virtual std::shared_ptr<ICaptureGroup> Items(std::int32_t index) const = 0;
  virtual std::shared_ptr<ICaptureGroup> ItemsByName(const std::string& name) const = 0;
};

// One search's result; as a capture group it is the whole match.
class IMatch : public ICaptureGroup {
 public:
  virtual std::shared_ptr<ICaptureGroupCollection> Groups() const = 0;
};

class INameIndexLookup {
 public:
  virtual ~INameIndexLookup() = default;
  virtual std::int32_t IndexOf(const std::string& name) const = 0;
  virtual void Add(const std::string& name, std::int32_t group) = 0;
  virtual std::int32_t Count() const = 0;
  virtual std::pair<std::string, std::int32_t> Items(std::int32_t position) const = 0;
};

class IMatchCollection {
 public:
  virtual ~IMatchCollection() = default;
  virtual std::int32_t Count() const = 0;
  virtual std::shared_ptr<IMatch> Items(std::int32_t position) const = 0;
};

class IStringCollection {
 public:
  virtual ~IStringCollection() = default;
  virtual std::int32_t Count() const = 0;
  virtual std::string Items(std::int32_t position) const = 0;
};

class IDfaMatch {
 public:
  virtual ~IDfaMatch() = default;
  virtual std::string Value() const = 0;
  virtual std::int32_t Index() const = 0;
  virtual std::int32_t Length() const = 0;
};

class IDfaMatchCollection {
 public:
  virtual ~IDfaMatchCollection() = default;
  virtual std::int32_t Count() const = 0;
  virtual std::shared_ptr<IDfaMatch> Items(std::int32_t position) const = 0;
};

// Steps that several searches share (the lines of one Grep): each search may take at
// most what is left besides its own limit, and what it takes is spent.
class StepBudget {
 public:
  explicit StepBudget(unsigned long steps) : left_(steps) {}
  unsigned long left() const { return left_; }
  void spend(unsigned long steps) { left_ -= steps < left_ ? steps : left_; }

 private:
  unsigned long left_;
};

using MatchCallback = std::function<void(const std::shared_ptr<IMatch>&)>;
using MatchEvaluator = std::function<std::string(const IMatch&)>;

// ---- the compiled pattern --------------------------------------------------

class IRegexInfo {
 public:
  virtual ~IRegexInfo() = default;
  virtual std::int32_t Size() const = 0;
  virtual std::int32_t CaptureCount() const = 0;
  virtual std::int32_t BackrefMax() const = 0;
  virtual std::int32_t FirstByte() const = 0;
  virtual const unsigned char* FirstTable() const = 0;
  virtual std::int32_t LastLiteral() const = 0;
  virtual std::string LocaleName() const = 0;
  // Whether long searches run as machine code (else PCRE's interpreter); makes that code.
  virtual bool JitCompiled() const = 0;
  // Whether a search has made the machine code yet (without making it).
  virtual bool MachineCodeMade() const = 0;
  virtual RegexOptions Options() const = 0;
  virtual std::string Pattern() const = 0;
  virtual std::int32_t NameCount() const = 0;
  virtual std::pair<std::string, std::int32_t> NameEntry(std::int32_t position) const = 0;
};

class IRegex : public IRegexInfo {
 public:
  virtual bool IsMatch(std::string_view subject, std::int32_t start, MatchOptions options) const = 0;
  bool IsMatch(std::string_view subject) const { return IsMatch(subject, 0, {}); }
  bool IsMatch(std::string_view subject, MatchOptions options) const { return IsMatch(subject, 0, options); }
  bool IsMatch(std::string_view subject, std::int32_t start) const { return IsMatch(subject, start, {}); }
  // The same within a shared budget, which the search's steps are taken from.
  virtual bool IsMatch(std::string_view subject, std::int32_t start, MatchOptions options,
                       StepBudget& budget) const = 0;

  // A start outside 0 ... subject length finds nothing (no error).
  virtual std::shared_ptr<IMatch> Match(std::string_view subject, std::int32_t start, MatchOptions options) const = 0;
  std::shared_ptr<IMatch> Match(std::string_view subject) const { return Match(subject, 0, {}); }
  std::shared_ptr<IMatch> Match(std::string_view subject, MatchOptions options) const {
    return Match(subject, 0, options);
  }
  std::shared_ptr<IMatch> Match(std::string_view subject, std::int32_t start) const { return Match(subject, start, {}); }

  virtual std::shared_ptr<IDfaMatchCollection> DfaMatch(std::string_view subject, std::int32_t start,
                                                        MatchOptions options) const = 0;
  std::shared_ptr<IDfaMatchCollection> DfaMatch(std::string_view subject) const { return DfaMatch(subject, 0, {}); }
  std::shared_ptr<IDfaMatchCollection> DfaMatch(std::string_view subject, MatchOptions options) const {
    return DfaMatch(subject, 0, options);
  }
  std::shared_ptr<IDfaMatchCollection> DfaMatch(std::string_view subject, std::int32_t start) const {
    return DfaMatch(subject, start, {});
  }

  // Every match from the start: an empty match at p is reported once and the search
  // goes on at p + 1; a non-empty match goes on right after its end.
  virtual std::shared_ptr<IMatchCollection> Matches(std::string_view subject, MatchOptions options) const = 0;
  std::shared_ptr<IMatchCollection> Matches(std::string_view subject) const { return Matches(subject, {}); }
  virtual void ForEachMatch(std::string_view subject, MatchOptions options, const MatchCallback& callback) const = 0;
  void ForEachMatch(std::string_view subject, const MatchCallback& callback) const {
    ForEachMatch(subject, {}, callback);
  }

  virtual std::shared_ptr<IStringCollection> Split(std::string_view subject, SplitOptions split,
                                                   MatchOptions options) const = 0;
  std::shared_ptr<IStringCollection> Split(std::string_view subject) const { return Split(subject, {}, {}); }
  std::shared_ptr<IStringCollection> Split(std::string_view subject, SplitOptions split) const {
    return Split(subject, split, {});
  }

  // Template forms: $$ $& $` $'' $+ $_ $n ${name}; anything else stays as written.
  virtual std::string Replace(std::string_view subject, std::string_view templateText,
                              MatchOptions options) const = 0;
  std::string Replace(std::string_view subject, std::string_view templateText) const {
    return Replace(subject, templateText, {});
  }
  virtual std::string Replace(std::string_view subject, const MatchEvaluator& evaluator,
                              MatchOptions options) const = 0;
  std::string Replace(std::string_view subject, const MatchEvaluator& evaluator) const {
    return Replace(subject, evaluator, {});
  }
};

// Compiles at once; a pattern that does not compile raises ERegexException. Locale "C"
// with category 0 means PCRE's built-in character tables; any other pair sets that C
// runtime locale (under a process-wide lock) and builds tables from it.
// Searches that can reach kJitFromBytes or more of the subject run on PCRE's JIT
// (the pattern is compiled to machine code on the first of them: that costs more than
// the interpreter needs for a shorter subject) where it can compile the pattern, the
// options allow it (not Anchored) and its stack, sized for the subject, suffices;
// otherwise on the interpreter, with the same results. A shorter search that runs
// out of the interpreter's recursion limit is tried again on the JIT. DFA matching
// always takes the interpreter.
inline constexpr std::size_t kJitFromBytes = 16u << 10;
std::shared_ptr<IRegex> CreateRegex(std::string_view pattern, RegexOptions options, std::string_view localeName = "C",
                                    int localeCategory = 0);
// The same on the interpreter alone: the JIT's reference in comparisons.
std::shared_ptr<IRegex> CreateRegexWithoutJit(std::string_view pattern, RegexOptions options,
                                              std::string_view localeName = "C", int localeCategory = 0);
// The same with the JIT for every search, however short: for comparisons.
std::shared_ptr<IRegex> CreateRegexOnJit(std::string_view pattern, RegexOptions options);

// The steps one search may take when it can reach this many bytes: a base plus a number
// per byte, at most kSearchStepsMost. A step is a call of the interpreter, or an
// alternative, repeat or recursion that the JIT enters; also, on both engines, each
// character a single-character repeat runs over (forward, and back where it searches for
// what follows it), each byte a back reference compares and each character a grapheme
// cluster (\X) extends over. A pattern that backtracks over and over thus fails
// (ERegexStepLimit) in time linear in the subject instead of holding the caller.
inline constexpr unsigned long kSearchStepsMost = 250'000'000;
unsigned long SearchStepLimit(std::size_t reachableBytes);
// A walk over a text (replacing, splitting, every match) runs one search per match;
// together they may take the steps of one search over the whole text (a StepBudget),
// else the walk fails with ERegexStepLimit.

// A group-name index on its own (sorted, case-sensitive; duplicates are errors).
std::shared_ptr<INameIndexLookup> CreateNameIndex();

}  // namespace kvl::regex
