#include <pcre.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <optional>
#include <variant>
#include <vector>

#include "core/Numbers.h"
#include "core/TextBuilder.h"
#include "core/TextUtil.h"
#include "core/platform.h"
#include "regex/PCRE.h"

namespace kvl::regex {

namespace {

// ---- options and errors ------------------------------------------------------

constexpr std::array<int, 14> kCompileFlags = {
    PCRE_ANCHORED,        PCRE_CASELESS, PCRE_DOLLAR_ENDONLY, PCRE_DOTALL,         PCRE_EXTENDED,
    PCRE_EXTRA,           PCRE_MULTILINE, PCRE_UNGREEDY,      PCRE_NO_AUTO_CAPTURE, PCRE_UTF8,
    PCRE_NO_UTF8_CHECK,   PCRE_AUTO_CALLOUT, PCRE_PARTIAL,    PCRE_FIRSTLINE};
constexpr std::array<int, 6> kMatchFlags = {PCRE_ANCHORED, PCRE_NOTBOL,         PCRE_NOTEOL,
                                            PCRE_NOTEMPTY, PCRE_NO_UTF8_CHECK, PCRE_DFA_SHORTEST};

template <std::size_t N>
int FlagsOf(std::uint32_t bits, const std::array<int, N>& table) {
  int flags = 0;
  for (std::size_t i = 0; i < N; ++i)
    if ((bits >> i) & 1u) flags |= table[i];
  return flags;
}

std::string Format(const char* format, auto... values) {
  const int length = std::snprintf(nullptr, 0, format, values...);
  std::string text(static_cast<std::size_t>(std::max(length, 0)), '\0');
  std::snprintf(text.data(), text.size() + 1, format, values...);
  return text;
}

[[noreturn]] void InternalError(const char* what) {
  throw ERegexException(std::string("Internal error of the regular-expression binding: ") + what);
}

// Releases what pcre_compile or pcre_maketables handed out; nothing for null.
struct PcreFree {
  void operator()(const void* block) const {
    if (block) pcre_free(const_cast<void*>(block));
  }
};
struct PcreStudyFree {
  void operator()(pcre_extra* extra) const { pcre_free_study(extra); }
};

// ---- recursion on the caller's stack -----------------------------------------------

// pcre_exec recurses on the C stack, once per step into a repeated group, so a long
// subject can run the host's thread out of stack. Each search gets a recursion limit
// that fits the stack left below the caller (PCRE then answers an error instead).
// The frame address, not a local's: a sanitizer may keep locals off the stack.
unsigned long RecursionLimit() {
  static const int frameSize = [] {
    const int size = -pcre_exec(nullptr, nullptr, nullptr, -999, -999, 0, nullptr, 0);
    return size > 0 ? size : 1024;
  }();
  constexpr std::size_t kReserve = 96u << 10;  // for PCRE's own calls and whatever runs after
  const char* const here = static_cast<const char*>(__builtin_frame_address(0));
  if (const char* bottom = StackBottom(); bottom != nullptr && here > bottom) {
    const auto left = static_cast<std::size_t>(here - bottom);
    if (left > kReserve) return static_cast<unsigned long>((left - kReserve) / static_cast<std::size_t>(frameSize));
    return 1;
  }
  return static_cast<unsigned long>((256u << 10) / static_cast<std::size_t>(frameSize));
}

// The study data (if any) with the step and recursion limits of one search added; the
// search writes the steps it took to `steps` (our patch to PCRE).
pcre_extra WithSearchLimits(const pcre_extra* study, unsigned long stepLimit, unsigned long* steps) {
  pcre_extra extra{};
  if (study) extra = *study;
  extra.flags |= PCRE_EXTRA_MATCH_LIMIT | PCRE_EXTRA_MATCH_LIMIT_RECURSION | PCRE_EXTRA_MATCH_STEPS;
  extra.match_limit = stepLimit;
  extra.match_limit_recursion = RecursionLimit();
  extra.match_steps = steps;
  return extra;
}

// ---- the JIT's stack -------------------------------------------------------------

// Subjects up to this length search with the machine stack: allocating costs more
// than such a search. Longer ones get 32 bytes per subject byte, at most 64 MB (a
// backtracking repeat keeps a few words per iteration); what still runs out goes to
// the interpreter.
constexpr std::size_t kMachineStackSubject = 1024;
constexpr std::size_t kJitStackPerByte = 32;
constexpr std::size_t kJitStackMost = 64u << 20;
constexpr int kJitStackFirst = 64 << 10;

class JitStackScope;
// The scope of the operation running on this thread. Patterns are shared between
// threads, so their stack callback reads this rather than a stack assigned to them.
thread_local JitStackScope* tJitStackScope = nullptr;

// A JIT stack sized for one subject, in force on this thread while it lives, and made
// only when the JIT first asks for it (searches of shorter subjects run on the
// interpreter). A search inside another (a $-template read while replacing, a
// callback) brings its own and puts the outer one back.
class JitStackScope {
 public:
  explicit JitStackScope(std::size_t subjectLength) : subjectLength_(subjectLength), outer_(tJitStackScope) {
    tJitStackScope = this;
  }
  ~JitStackScope() { tJitStackScope = outer_; }
  JitStackScope(const JitStackScope&) = delete;
  JitStackScope& operator=(const JitStackScope&) = delete;

  // Null means PCRE's 32 KB on the machine stack (also when the allocation is refused).
  pcre_jit_stack* stack() {
    if (!made_ && subjectLength_ > kMachineStackSubject) {
      const std::size_t most =
          subjectLength_ > kJitStackMost / kJitStackPerByte ? kJitStackMost : subjectLength_ * kJitStackPerByte;
      stack_.reset(pcre_jit_stack_alloc(kJitStackFirst, static_cast<int>(most)));
    }
    made_ = true;
    return stack_.get();
  }

 private:
  struct JitStackFree {
    void operator()(pcre_jit_stack* stack) const { pcre_jit_stack_free(stack); }
  };
  std::size_t subjectLength_;
  JitStackScope* outer_;
  bool made_ = false;
  std::unique_ptr<pcre_jit_stack, JitStackFree> stack_;
};

pcre_jit_stack* CurrentJitStack(void*) { return tJitStackScope ? tJitStackScope->stack() : nullptr; }

// ---- group-name index ----------------------------------------------------------

class NameIndexLookup final : public INameIndexLookup {
 public:
  std::int32_t IndexOf(const std::string& name) const override {
    const auto found = find(name);
    if (found == entries_.end() || found->first != name)
      throw ERegexBadGroupName(Format("Invalid group name '%s'", name.c_str()));
    return found->second;
  }
  void Add(const std::string& name, std::int32_t group) override {
    const auto at = find(name);
    if (at != entries_.end() && at->first == name)
      throw ERegexException(Format("Duplicate group name '%s'", name.c_str()));
    entries_.insert(at, {name, group});
  }
  std::int32_t Count() const override { return static_cast<std::int32_t>(entries_.size()); }
  std::pair<std::string, std::int32_t> Items(std::int32_t position) const override {
    if (position < 0 || position >= Count()) throw ERegexException(Format("Name index %d out of range", position));
    return entries_[static_cast<std::size_t>(position)];
  }

 private:
  std::vector<std::pair<std::string, std::int32_t>>::const_iterator find(const std::string& name) const {
    return std::lower_bound(entries_.begin(), entries_.end(), name,
                            [](const auto& entry, const std::string& key) { return entry.first < key; });
  }
  std::vector<std::pair<std::string, std::int32_t>> entries_;
};

// ---- offsets to spans ------------------------------------------------------------

struct Span {
  std::int32_t start = -1;
  std::int32_t end = -1;
};

// Pair rule shared by matches (3 integers per group, pairs at the front) and DFA
// results (2 per alternative): -1 is the text before, -2 the text after.
Span SpanOf(const std::vector<int>& vector, std::int32_t count, std::int32_t index, std::size_t subjectLength) {
  if (count == 0 || vector.empty() || vector[0] == -1) return {};
  if (index >= 0 && index < count)
    return {vector[static_cast<std::size_t>(index) * 2], vector[static_cast<std::size_t>(index) * 2 + 1]};
  if (index == -1) return {0, vector[0]};
  if (index == -2) return {vector[1], static_cast<std::int32_t>(subjectLength)};
  return {};
}

std::string TextOf(const std::string& subject, Span span) {
  if (span.start == -1 || span.end < span.start) return {};
  return subject.substr(static_cast<std::size_t>(span.start), static_cast<std::size_t>(span.end - span.start));
}

using SharedText = std::shared_ptr<const std::string>;

// ---- matches ---------------------------------------------------------------------------

class RegexMatch;

class CaptureGroupView final : public ICaptureGroup {
 public:
  CaptureGroupView(std::shared_ptr<const RegexMatch> match, std::int32_t index)
      : match_(std::move(match)), index_(index) {}
  bool Success() const override;
  std::string Value() const override;
  std::int32_t Index() const override;
  std::int32_t Length() const override;

 private:
  std::shared_ptr<const RegexMatch> match_;  // keeps the match (and its subject) alive
  std::int32_t index_;
};

class RegexMatch final : public IMatch,
                         public ICaptureGroupCollection,
                         public std::enable_shared_from_this<RegexMatch> {
 public:
  RegexMatch(SharedText subject, std::shared_ptr<const INameIndexLookup> names, std::vector<int> vector)
      : subject_(std::move(subject)), names_(std::move(names)), vector_(std::move(vector)) {
    if (vector_.size() % 3 != 0) InternalError("a match vector whose length is not a multiple of 3");
    groupCount_ = static_cast<std::int32_t>(vector_.size() / 3);
  }

  Span span(std::int32_t index) const { return SpanOf(vector_, groupCount_, index, subject_->size()); }
  std::string text(std::int32_t index) const { return TextOf(*subject_, span(index)); }

  bool Success() const override { return span(0).start != -1; }
  std::string Value() const override { return text(0); }
  std::int32_t Index() const override { return span(0).start; }
  std::int32_t Length() const override {
    const Span s = span(0);
    return s.start == -1 ? 0 : s.end - s.start;
  }
  std::shared_ptr<ICaptureGroupCollection> Groups() const override {
    return std::const_pointer_cast<RegexMatch>(shared_from_this());
  }

  std::int32_t Count() const override { return groupCount_; }
  std::shared_ptr<ICaptureGroup> Items(std::int32_t index) const override {
    return std::make_shared<CaptureGroupView>(shared_from_this(), index);
  }
  std::shared_ptr<ICaptureGroup> ItemsByName(const std::string& name) const override {
    return Items(names_->IndexOf(name));
  }

 private:
  SharedText subject_;
  std::shared_ptr<const INameIndexLookup> names_;
  std::vector<int> vector_;
  std::int32_t groupCount_ = 0;
};

bool CaptureGroupView::Success() const { return match_->span(index_).start != -1; }
std::string CaptureGroupView::Value() const { return match_->text(index_); }
std::int32_t CaptureGroupView::Index() const { return match_->span(index_).start; }
std::int32_t CaptureGroupView::Length() const {
  const Span s = match_->span(index_);
  return s.start == -1 ? 0 : s.end - s.start;
}

class MatchCollection final : public IMatchCollection {
 public:
  void add(std::shared_ptr<IMatch> match) {
    if (!match) InternalError("a missing match handed to a match collection");
    matches_.push_back(std::move(match));
  }
  std::int32_t Count() const override { return static_cast<std::int32_t>(matches_.size()); }
  std::shared_ptr<IMatch> Items(std::int32_t position) const override {
    if (position < 0 || position >= Count()) throw ERegexException(Format("Match index %d out of range", position));
    return matches_[static_cast<std::size_t>(position)];
  }

 private:
  std::vector<std::shared_ptr<IMatch>> matches_;
};

class StringCollection final : public IStringCollection {
 public:
  void add(std::string text) { texts_.push_back(std::move(text)); }
  std::int32_t Count() const override { return static_cast<std::int32_t>(texts_.size()); }
  std::string Items(std::int32_t position) const override {
    if (position < 0 || position >= Count()) throw ERegexException(Format("String index %d out of range", position));
    return texts_[static_cast<std::size_t>(position)];
  }

 private:
  std::vector<std::string> texts_;
};

// ---- DFA results ----------------------------------------------------------------------

class DfaMatchCollection;

class DfaMatchView final : public IDfaMatch {
 public:
  DfaMatchView(std::shared_ptr<const DfaMatchCollection> collection, std::int32_t position)
      : collection_(std::move(collection)), position_(position) {}
  std::string Value() const override;
  std::int32_t Index() const override;
  std::int32_t Length() const override;

 private:
  std::shared_ptr<const DfaMatchCollection> collection_;
  std::int32_t position_;
};

class DfaMatchCollection final : public IDfaMatchCollection,
                                 public std::enable_shared_from_this<DfaMatchCollection> {
 public:
  DfaMatchCollection(std::string subject, std::vector<int> vector)
      : subject_(std::move(subject)), vector_(std::move(vector)) {
    if (vector_.size() % 2 != 0) InternalError("a DFA vector of odd length");
    count_ = static_cast<std::int32_t>(vector_.size() / 2);
  }
  Span span(std::int32_t position) const { return SpanOf(vector_, count_, position, subject_.size()); }
  const std::string& subject() const { return subject_; }
  std::int32_t Count() const override { return count_; }
  std::shared_ptr<IDfaMatch> Items(std::int32_t position) const override {
    return std::make_shared<DfaMatchView>(shared_from_this(), position);
  }

 private:
  std::string subject_;
  std::vector<int> vector_;
  std::int32_t count_ = 0;
};

std::string DfaMatchView::Value() const { return TextOf(collection_->subject(), collection_->span(position_)); }
std::int32_t DfaMatchView::Index() const { return collection_->span(position_).start; }
std::int32_t DfaMatchView::Length() const {
  const Span s = collection_->span(position_);
  return s.start == -1 ? 0 : s.end - s.start;
}

// ---- locale tables ---------------------------------------------------------------------

std::mutex& LocaleLock() {
  static std::mutex lock;
  return lock;
}

// Character tables for a C runtime locale; "C" with category 0 means PCRE's own.
class RegexLocale {
 public:
  RegexLocale(std::string_view name, int category) {
    if (name == "C" && category == 0) {
      name_ = std::string(name);
      return;
    }
    std::lock_guard guard(LocaleLock());
    const std::string requested(name);
    const char* inForce = std::setlocale(category, requested.c_str());
    if (inForce == nullptr)
      throw EBadRegexLocale(
          Format("Invalid locale string %s or invalid locale category %d", requested.c_str(), category));
    name_ = inForce;
    tables_.reset(pcre_maketables());
    if (!tables_) throw std::bad_alloc();
  }
  const unsigned char* tables() const { return tables_.get(); }
  const std::string& name() const { return name_; }

 private:
  std::unique_ptr<const unsigned char, PcreFree> tables_;
  std::string name_;
};

// ---- $-templates -------------------------------------------------------------------------

// One piece of a parsed template: literal text or a $-form.
struct TemplatePiece {
  enum class Kind { Literal, Group, Before, After, LastGroup, Entire, Named, BadNumber } kind = Kind::Literal;
  std::string text;         // literal text, group name, or the digits that are no 32-bit number
  std::int32_t group = 0;   // Group
};

std::vector<TemplatePiece> ParseTemplate(std::string_view templateText);

class Regex final : public IRegex, public std::enable_shared_from_this<Regex> {
 public:
  // Searches that can reach `jitFrom` bytes or more take the JIT; kNoJit: none.
  static constexpr std::size_t kNoJit = SIZE_MAX;
  Regex(std::string_view pattern, RegexOptions options, std::string_view localeName, int localeCategory,
        std::size_t jitFrom)
      : pattern_(pattern), options_(options), locale_(localeName, localeCategory), jitFrom_(jitFrom) {
    compile();
    buildNameIndex();
    // Without options, a pattern free of metacharacters matches exactly its own text;
    // such searches run on the plug-in's substring search, which is faster than
    // PCRE's scan for a first byte (a NUL would end the pattern for PCRE: not literal).
    literal_ = options_.bits() == 0 && !pattern_.empty() &&
               pattern_.find_first_of(std::string_view("\\^$.[|()?*+{\0", 13)) == std::string::npos;
    // A byte every match must contain (PCRE checks it only within 1000 bytes of each
    // start): where it is absent from the rest of the subject, nothing matches. Only
    // ASCII bytes that are no letters, which no case folding or locale changes. The
    // interpreter-only reference stays PCRE alone.
    const int required = info<int>(PCRE_INFO_LASTLITERAL, -1);
    if (jitFrom_ != kNoJit && required >= 0 && required < 0x80 && !std::isalpha(required))
      requiredByte_ = static_cast<char>(required);
  }

  // -- information
  std::int32_t Size() const override { return static_cast<std::int32_t>(info<std::size_t>(PCRE_INFO_SIZE)); }
  std::int32_t CaptureCount() const override { return captureCount_; }
  std::int32_t BackrefMax() const override { return info<int>(PCRE_INFO_BACKREFMAX); }
  std::int32_t FirstByte() const override { return info<int>(PCRE_INFO_FIRSTBYTE); }
  const unsigned char* FirstTable() const override { return info<const unsigned char*>(PCRE_INFO_FIRSTTABLE); }
  std::int32_t LastLiteral() const override { return info<int>(PCRE_INFO_LASTLITERAL, -1); }
  std::string LocaleName() const override { return locale_.name(); }
  bool JitCompiled() const override {
    int compiled = 0;
    return jitFrom_ != kNoJit && jitStudy() && pcre_fullinfo(code_.get(), jitStudy(), PCRE_INFO_JIT, &compiled) == 0 &&
           compiled == 1;
  }
  bool MachineCodeMade() const override { return jitMade_.load(); }
  RegexOptions Options() const override {
    return RegexOptionsFromPcre(static_cast<int>(info<unsigned long>(PCRE_INFO_OPTIONS)));
  }
  std::string Pattern() const override { return pattern_; }
  std::int32_t NameCount() const override { return names_->Count(); }
  std::pair<std::string, std::int32_t> NameEntry(std::int32_t position) const override {
    return names_->Items(position);
  }

  // -- searching
  bool IsMatch(std::string_view subject, std::int32_t start, MatchOptions options) const override {
    const JitStackScope stack(subject.size());
    std::vector<int> vector;
    return exec(subject, start, options, vector);
  }
  bool IsMatch(std::string_view subject, std::int32_t start, MatchOptions options,
               StepBudget& budget) const override {
    const JitStackScope stack(subject.size());
    std::vector<int> vector;
    return exec(subject, start, options, vector, &budget);
  }

  std::shared_ptr<IMatch> Match(std::string_view subject, std::int32_t start, MatchOptions options) const override {
    return matchIn(std::make_shared<const std::string>(subject), start, options);
  }

  std::shared_ptr<IMatchCollection> Matches(std::string_view subject, MatchOptions options) const override {
    auto collection = std::make_shared<MatchCollection>();
    eachMatch(std::make_shared<const std::string>(subject), options,
              [&](const std::shared_ptr<RegexMatch>& match) { collection->add(match); });
    return collection;
  }

  void ForEachMatch(std::string_view subject, MatchOptions options, const MatchCallback& callback) const override {
    if (!callback) return;
    eachMatch(std::make_shared<const std::string>(subject), options,
              [&](const std::shared_ptr<RegexMatch>& match) { callback(match); });
  }

  std::shared_ptr<IDfaMatchCollection> DfaMatch(std::string_view subject, std::int32_t start,
                                                MatchOptions options) const override;
  std::shared_ptr<IStringCollection> Split(std::string_view subject, SplitOptions split,
                                           MatchOptions options) const override;
  std::string Replace(std::string_view subject, std::string_view templateText, MatchOptions options) const override;
  std::string Replace(std::string_view subject, const MatchEvaluator& evaluator, MatchOptions options) const override;

 private:
  template <typename T>
  T info(int what, T initial = T{}) const {
    T value = initial;
    CheckPcreCode(pcre_fullinfo(code_.get(), study_.get(), what, &value));
    return value;
  }

  void compile();
  void buildNameIndex();

  // The DFA matcher reports every alternative only when PCRE has not turned repeats
  // possessive (an optimisation for the backtracking matcher), so it gets its own
  // compile of the pattern, made on first use.
  const real_pcre* dfaCode() const {
    std::call_once(dfaOnce_, [this] {
      const char* error = nullptr;
      int errorOffset = 0;
      dfaCode_.reset(pcre_compile(pattern_.c_str(), ToPcreFlags(options_) | PCRE_NO_AUTO_POSSESS, &error,
                                  &errorOffset, locale_.tables()));
    });
    if (!dfaCode_) InternalError("a pattern that compiled once no longer compiles");
    return dfaCode_.get();
  }

  // Runs pcre_exec; false for no match (and for a start outside the subject). A budget
  // bounds the steps besides the search's own limit and pays for them. A search of a
  // walk over a long subject takes the machine code even near the end (the walk's first
  // search made it): its steps are several times faster than the interpreter's.
  bool exec(std::string_view subject, std::int32_t start, MatchOptions options, std::vector<int>& vector,
            StepBudget* budget = nullptr, bool inLongWalk = false) const {
    if (start < 0 || static_cast<std::size_t>(start) > subject.size()) return false;
    if (literal_) {
      const auto from = static_cast<std::size_t>(start);
      const std::size_t at = options.has(MatchOption::Anchored)
                                 ? (subject.substr(from).starts_with(pattern_) ? from : std::string_view::npos)
                                 : FindText(subject, pattern_, from);
      if (at == std::string_view::npos) return false;
      vector.assign({static_cast<int>(at), static_cast<int>(at + pattern_.size()), 0});
      return true;
    }
    if (requiredByte_ &&
        FindText(subject, std::string_view(&*requiredByte_, 1), static_cast<std::size_t>(start)) == std::string_view::npos)
      return false;
    vector.assign(static_cast<std::size_t>(captureCount_ + 1) * 3, 0);
    const std::size_t reachable = subject.size() - static_cast<std::size_t>(start);
    const bool longSearch = reachable >= jitFrom_ || (inLongWalk && subject.size() >= jitFrom_);
    const pcre_extra* study = longSearch && jitStudy() ? jitStudy() : study_.get();
    const unsigned long ownLimit = SearchStepLimit(reachable);
    unsigned long steps = 0;
    pcre_extra extra = WithSearchLimits(study, ownLimit, &steps);
    const auto run = [&] {
      if (budget) extra.match_limit = std::min(ownLimit, budget->left());
      steps = 0;
      const int rc = pcre_exec(code_.get(), &extra, subject.data(), static_cast<int>(subject.size()), start,
                               ToPcreFlags(options), vector.data(), static_cast<int>(vector.size()));
      if (budget) budget->spend(steps);
      return rc;
    };
    // pcre_exec takes the interpreter itself for options the JIT lacks (Anchored).
    int rc = run();
    if (rc == PCRE_ERROR_JIT_STACKLIMIT) {
      extra.flags &= ~PCRE_EXTRA_EXECUTABLE_JIT;
      rc = run();
    } else if (rc == PCRE_ERROR_RECURSIONLIMIT && !longSearch && jitFrom_ != kNoJit && jitStudy()) {
      // The JIT keeps its backtracking off the machine stack: a short search that
      // went too deep for the interpreter gets the answer a long one would.
      extra = WithSearchLimits(jitStudy(), ownLimit, &steps);
      rc = run();
      if (rc == PCRE_ERROR_JIT_STACKLIMIT) rc = PCRE_ERROR_RECURSIONLIMIT;
    }
    if (rc == PCRE_ERROR_NOMATCH) return false;
    CheckPcreCode(rc);
    // \K inside a lookahead can set the start of a match beyond its end: no part of
    // the subject, so every use of the match would be wrong.
    if (vector[1] < vector[0]) throw ERegexException("The match ends before it starts (\\K in a lookahead)");
    return true;
  }

  std::shared_ptr<RegexMatch> matchIn(const SharedText& subject, std::int32_t start, MatchOptions options) const {
    const JitStackScope stack(subject->size());
    std::vector<int> vector;
    if (!exec(*subject, start, options, vector)) vector.clear();
    return std::make_shared<RegexMatch>(subject, names_, std::move(vector));
  }

  // Visits (start, end) of every match: an empty match at p moves on to p + 1. A match
  // must not start inside the one before it (\K in a lookbehind can do that), or
  // replacing and splitting would copy that text twice. The searches share the steps
  // of one search over the whole subject: one per match is not bounded by each alone.
  template <typename Visit>
  void eachSpan(std::string_view subject, MatchOptions options, std::vector<int>& vector, Visit&& visit) const {
    const JitStackScope stack(subject.size());  // one for every search of the subject
    StepBudget budget(SearchStepLimit(subject.size()));
    std::int32_t start = 0, previousEnd = 0;
    while (exec(subject, start, options, vector, &budget, true)) {
      if (vector[0] < previousEnd)
        throw ERegexException("A match starts inside the match before it (\\K in a lookbehind)");
      visit();
      previousEnd = vector[1];
      start = std::max(vector[1], vector[0] + 1);
    }
  }

  template <typename Visit>
  void eachMatch(const SharedText& subject, MatchOptions options, Visit&& visit) const {
    std::vector<int> vector;
    eachSpan(*subject, options, vector,
             [&] { visit(std::make_shared<RegexMatch>(subject, names_, vector)); });
  }

  std::string pattern_;
  RegexOptions options_;
  RegexLocale locale_;  // declared before the code built with its tables, so it goes after it
  std::unique_ptr<real_pcre, PcreFree> code_;
  std::unique_ptr<pcre_extra, PcreStudyFree> study_;  // the interpreter's
  // The JIT's study with its machine code, made on the first search that needs it.
  const pcre_extra* jitStudy() const {
    std::call_once(jitOnce_, [this] {
      const char* error = nullptr;
      jitStudy_.reset(pcre_study(code_.get(), PCRE_STUDY_JIT_COMPILE, &error));
      if (jitStudy_) pcre_assign_jit_stack(jitStudy_.get(), CurrentJitStack, nullptr);  // no-op without JIT code
      jitMade_ = true;
    });
    return jitStudy_.get();
  }
  mutable std::once_flag jitOnce_;
  mutable std::unique_ptr<pcre_extra, PcreStudyFree> jitStudy_;
  mutable std::atomic<bool> jitMade_{false};
  std::shared_ptr<NameIndexLookup> names_;
  std::int32_t captureCount_ = 0;
  std::size_t jitFrom_;
  bool literal_ = false;
  std::optional<char> requiredByte_;
  mutable std::once_flag dfaOnce_;
  mutable std::unique_ptr<real_pcre, PcreFree> dfaCode_;
};

void Regex::compile() {
  const char* error = nullptr;
  int errorOffset = 0;
  code_.reset(pcre_compile(pattern_.c_str(), ToPcreFlags(options_), &error, &errorOffset, locale_.tables()));
  if (!code_)
    throw ERegexException(Format("Invalid Pattern '%s': error at position %d: %s", pattern_.c_str(), errorOffset,
                                 error ? error : ""));
  captureCount_ = info<int>(PCRE_INFO_CAPTURECOUNT);
  // For the interpreter, study only helps where the search has no fixed start: not
  // anchored, no known first byte. The JIT's study comes with its first long search.
  if (Options().has(RegexOption::Anchored) || FirstByte() >= 0) return;
  error = nullptr;
  study_.reset(pcre_study(code_.get(), 0, &error));
  if (error) throw ERegexException(Format("Failed to study pattern'%s' : %s", pattern_.c_str(), error));
}

void Regex::buildNameIndex() {
  names_ = std::make_shared<NameIndexLookup>();
  const int count = info<int>(PCRE_INFO_NAMECOUNT);
  if (count <= 0) return;
  const int entrySize = info<int>(PCRE_INFO_NAMEENTRYSIZE);
  const unsigned char* entry = info<const unsigned char*>(PCRE_INFO_NAMETABLE);
  for (int i = 0; i < count; ++i, entry += entrySize)
    names_->Add(reinterpret_cast<const char*>(entry + 2), entry[0] * 256 + entry[1]);
}

// Whether the pattern may call itself or one of its groups: (?R), (?1), (?-1), (?+1),
// (?&name), (?P>name), \g<...>, \g'...'. Read from the text, so such a sequence in a
// character class or after \Q counts too.
bool MayCallItself(std::string_view pattern) {
  for (std::size_t at = pattern.find("(?"); at != std::string_view::npos; at = pattern.find("(?", at + 1)) {
    const std::string_view rest = pattern.substr(at + 2);
    if (rest.starts_with('R') || rest.starts_with('&') || rest.starts_with("P>")) return true;
    const std::string_view number = rest.starts_with('+') || rest.starts_with('-') ? rest.substr(1) : rest;
    if (!number.empty() && number.front() >= '0' && number.front() <= '9') return true;
  }
  return pattern.find("\\g<") != std::string_view::npos || pattern.find("\\g'") != std::string_view::npos;
}

std::shared_ptr<IDfaMatchCollection> Regex::DfaMatch(std::string_view subject, std::int32_t start,
                                                     MatchOptions options) const {
  // PCRE 8's DFA matcher has no limit for recursion: it nests a C call with 8 KB of
  // workspace per level and subject character, and can take exponential time. Such
  // patterns get the error of items the DFA matcher does not support.
  if (MayCallItself(pattern_)) CheckPcreCode(PCRE_ERROR_DFA_UITEM);
  std::vector<int> vector;
  if (start >= 0 && static_cast<std::size_t>(start) <= subject.size()) {
    // A pair for every possible match length, so one call reports every alternative.
    const std::size_t vectorLength = std::max<std::size_t>(10, 2 * (subject.size() - static_cast<std::size_t>(start) + 1));
    std::vector<int> workspace(std::max<std::size_t>(100, vectorLength));
    vector.resize(vectorLength);
    const int rc = pcre_dfa_exec(dfaCode(), nullptr, subject.data(), static_cast<int>(subject.size()), start,
                                 ToPcreFlags(options), vector.data(), static_cast<int>(vector.size()),
                                 workspace.data(), static_cast<int>(workspace.size()));
    if (rc > 0) vector.resize(static_cast<std::size_t>(rc) * 2);
    else if (rc == PCRE_ERROR_NOMATCH) vector.clear();
    else if (rc == 0) InternalError("a DFA result count of 0");
    else CheckPcreCode(rc);
  }
  return std::make_shared<DfaMatchCollection>(std::string(subject), std::move(vector));
}

std::shared_ptr<IStringCollection> Regex::Split(std::string_view subject, SplitOptions split,
                                                MatchOptions options) const {
  auto result = std::make_shared<StringCollection>();
  std::size_t last = 0;
  std::vector<int> vector;
  eachSpan(subject, options, vector, [&] {
    const auto start = static_cast<std::size_t>(vector[0]), end = static_cast<std::size_t>(vector[1]);
    result->add(std::string(subject.substr(last, start - std::min(start, last))));
    if (split.has(SplitOption::IncludeMatch)) result->add(std::string(subject.substr(start, end - start)));
    for (std::int32_t group = 1; group <= captureCount_; ++group) {
      const Span s = SpanOf(vector, captureCount_ + 1, group, subject.size());
      if (s.start != -1) result->add(std::string(subject.substr(static_cast<std::size_t>(s.start),
                                                                static_cast<std::size_t>(s.end - s.start))));
    }
    last = end;
  });
  result->add(std::string(subject.substr(std::min(last, subject.size()))));
  return result;
}

std::string Regex::Replace(std::string_view subject, const MatchEvaluator& evaluator, MatchOptions options) const {
  if (!evaluator) return std::string(subject);
  const auto shared = std::make_shared<const std::string>(subject);
  std::string result;
  std::size_t last = 0;
  eachMatch(shared, options, [&](const std::shared_ptr<RegexMatch>& match) {
    const auto start = static_cast<std::size_t>(match->Index());
    if (start > last) result.append(*shared, last, start - last);
    result += evaluator(*match);
    last = start + static_cast<std::size_t>(match->Length());
  });
  if (last < shared->size()) result.append(*shared, last);
  return result;
}

// The template is read once; each match then fills in its pieces. The result is what
// expanding the template anew for every match gives, errors included (they are raised
// only when a match needs the piece).
std::string Regex::Replace(std::string_view subject, std::string_view templateText, MatchOptions options) const {
  const std::vector<TemplatePiece> pieces = ParseTemplate(templateText);
  // Names resolve once, but an unknown one still fails only when a match needs it.
  std::vector<std::int32_t> namedGroups(pieces.size(), -1);
  TextBuilder result(subject.size(), std::string().max_size());
  std::size_t last = 0;
  std::vector<int> vector;
  const std::int32_t groupCount = captureCount_ + 1;
  auto append = [&](Span s) {
    if (s.start != -1 && s.end > s.start)
      result.append(subject.substr(static_cast<std::size_t>(s.start), static_cast<std::size_t>(s.end - s.start)));
  };
  eachSpan(subject, options, vector, [&] {
    const auto start = static_cast<std::size_t>(vector[0]);
    if (start > last) result.append(subject.substr(last, start - last));
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      const TemplatePiece& piece = pieces[i];
      switch (piece.kind) {
        case TemplatePiece::Kind::Literal: result.append(piece.text); break;
        case TemplatePiece::Kind::Before: append(SpanOf(vector, groupCount, -1, subject.size())); break;
        case TemplatePiece::Kind::After: append(SpanOf(vector, groupCount, -2, subject.size())); break;
        case TemplatePiece::Kind::LastGroup: append(SpanOf(vector, groupCount, groupCount - 1, subject.size())); break;
        case TemplatePiece::Kind::Entire:
          append(SpanOf(vector, groupCount, -1, subject.size()));
          append(SpanOf(vector, groupCount, 0, subject.size()));
          append(SpanOf(vector, groupCount, -2, subject.size()));
          break;
        case TemplatePiece::Kind::Named:
          if (namedGroups[i] == -1) namedGroups[i] = names_->IndexOf(piece.text);
          append(SpanOf(vector, groupCount, namedGroups[i], subject.size()));
          break;
        case TemplatePiece::Kind::Group:
          if (piece.group >= groupCount)
            throw ERegexInvalidSubstitutionGroup(Format("Invalid substitution variable $%d", piece.group));
          append(SpanOf(vector, groupCount, piece.group, subject.size()));
          break;
        case TemplatePiece::Kind::BadNumber:
          throw ERegexException(Format("'%s' is not a valid integer value", piece.text.c_str()));
      }
    }
    last = static_cast<std::size_t>(vector[1]);
  });
  if (last < subject.size()) result.append(subject.substr(last));
  return std::move(result).finish();
}

// The $-forms, compiled once for the process.
const IRegex& SubstitutionPattern() {
  static const std::shared_ptr<IRegex> pattern = CreateRegex("\\$(\\d+|\\$|&|`|''|\\+|_|{([^}]*)})", {});
  return *pattern;
}

std::vector<TemplatePiece> ParseTemplate(std::string_view templateText) {
  std::vector<TemplatePiece> pieces;
  auto literal = [&](std::string_view text) {
    if (text.empty()) return;
    if (pieces.empty() || pieces.back().kind != TemplatePiece::Kind::Literal) pieces.push_back({});
    pieces.back().text += text;
  };
  std::size_t last = 0;
  SubstitutionPattern().ForEachMatch(templateText, [&](const std::shared_ptr<IMatch>& form) {
    const auto start = static_cast<std::size_t>(form->Index());
    literal(templateText.substr(last, start - last));
    last = start + static_cast<std::size_t>(form->Length());
    const std::string body = form->Groups()->Items(1)->Value();
    TemplatePiece piece;
    switch (body[0]) {
      case '$': literal("$"); return;
      case '&': piece.kind = TemplatePiece::Kind::Group; piece.group = 0; break;
      case '`': piece.kind = TemplatePiece::Kind::Before; break;
      case '\'': piece.kind = TemplatePiece::Kind::After; break;
      case '+': piece.kind = TemplatePiece::Kind::LastGroup; break;
      case '_': piece.kind = TemplatePiece::Kind::Entire; break;
      case '{':
        piece.kind = TemplatePiece::Kind::Named;
        piece.text = form->Groups()->Items(2)->Value();
        break;
      default:
        if (const auto number = ReadInteger(body)) {
          piece.kind = TemplatePiece::Kind::Group;
          piece.group = *number;
        } else {
          piece.kind = TemplatePiece::Kind::BadNumber;
          piece.text = body;
        }
        break;
    }
    pieces.push_back(std::move(piece));
  });
  literal(templateText.substr(std::min(last, templateText.size())));
  return pieces;
}

}  // namespace

int ToPcreFlags(RegexOptions options) { return FlagsOf(options.bits(), kCompileFlags); }
int ToPcreFlags(MatchOptions options) { return FlagsOf(options.bits(), kMatchFlags); }

RegexOptions RegexOptionsFromPcre(int flags) {
  std::uint32_t bits = 0;
  for (std::size_t i = 0; i < kCompileFlags.size(); ++i)
    if (flags & kCompileFlags[i]) bits |= 1u << i;
  return RegexOptions::FromBits(bits);
}

void CheckPcreCode(int code) {
  if (code >= 0) return;
  static constexpr std::array<const char*, 20> kNames = {
      "PCRE_ERROR_NOMATCH",       "PCRE_ERROR_NULL",       "PCRE_ERROR_BADOPTION",  "PCRE_ERROR_BADMAGIC",
      "PCRE_ERROR_UNKNOWN_NODE",  "PCRE_ERROR_NOMEMORY",   "PCRE_ERROR_NOSUBSTRING", nullptr,
      nullptr,                    "PCRE_ERROR_BADUTF8",    "PCRE_ERROR_BADUTF8_OFFSET", "PCRE_ERROR_PARTIAL",
      "PCRE_ERROR_BADPARTIAL",    "PCRE_ERROR_INTERNAL",   "PCRE_ERROR_BADCOUNT",   "PCRE_ERROR_DFA_UITEM",
      "PCRE_ERROR_DFA_UCOND",     "PCRE_ERROR_DFA_UMLIMIT", "PCRE_ERROR_DFA_WSSIZE", "PCRE_ERROR_DFA_RECURSE"};
  if (code == PCRE_ERROR_MATCHLIMIT) throw ERegexStepLimit(Format("Unknown PCRE error code %d", code));
  const int index = -code - 1;
  if (index < static_cast<int>(kNames.size()) && kNames[static_cast<std::size_t>(index)])
    throw ERegexException(kNames[static_cast<std::size_t>(index)]);
  throw ERegexException(Format("Unknown PCRE error code %d", code));
}

// PCRE counts its steps over the whole search, not per start position
// (regex/pcre-patches); the limit grows with what the search can reach.
unsigned long SearchStepLimit(std::size_t reachableBytes) {
  constexpr std::uint64_t kBase = 10'000'000;
  constexpr std::uint64_t kPerByte = 1'000;
  return static_cast<unsigned long>(std::min<std::uint64_t>(kSearchStepsMost, kBase + kPerByte * std::uint64_t{reachableBytes}));
}

std::shared_ptr<IRegex> CreateRegex(std::string_view pattern, RegexOptions options, std::string_view localeName,
                                    int localeCategory) {
  return std::make_shared<Regex>(pattern, options, localeName, localeCategory, kJitFromBytes);
}

std::shared_ptr<IRegex> CreateRegexWithoutJit(std::string_view pattern, RegexOptions options,
                                              std::string_view localeName, int localeCategory) {
  return std::make_shared<Regex>(pattern, options, localeName, localeCategory, Regex::kNoJit);
}

std::shared_ptr<IRegex> CreateRegexOnJit(std::string_view pattern, RegexOptions options) {
  return std::make_shared<Regex>(pattern, options, "C", 0, 0);
}

std::shared_ptr<INameIndexLookup> CreateNameIndex() { return std::make_shared<NameIndexLookup>(); }

}  // namespace kvl::regex
