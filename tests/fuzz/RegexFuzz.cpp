// The PCRE binding: a pattern from the input is compiled with input-chosen options
// and searched in a subject every way the binding offers, with a $-template; and on the
// JIT within a step budget chosen by the input.
// Input: option byte, match-option byte (its high half chooses the budget), start byte,
// then pattern NUL subject NUL template.
#include <cstdint>
#include <optional>
#include <string>

#include "regex/PCRE.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace kvl::regex;
using kvlfuzz::Expect;

namespace {

// Everything but the options that make PCRE trust the caller's UTF-8 (PCRE's behaviour
// is undefined for invalid UTF-8 then: a caller's promise, not the binding's).
constexpr RegexOption kCompileOptions[] = {RegexOption::Anchored, RegexOption::Caseless,  RegexOption::DollarEndOnly,
                                           RegexOption::DotAll,   RegexOption::Extended,  RegexOption::Extra,
                                           RegexOption::Multiline, RegexOption::Ungreedy, RegexOption::Utf8};
constexpr MatchOption kMatchOptions[] = {MatchOption::Anchored, MatchOption::NotBol, MatchOption::NotEol,
                                         MatchOption::NotEmpty};

// Every search is bounded by its steps, work inside repeats and back references
// included, so a subject may be as long as the input. The target lowers the limit of
// every pattern that can backtrack, so that many inputs run each second; the DFA
// matcher, which has no limit (no macro uses it), gets the first 512 bytes.
constexpr std::string_view kLowerMatchLimit = "(*LIMIT_MATCH=10000)";
constexpr std::size_t kMostDfaSubject = 512;

template <typename Set, typename Option, std::size_t N>
Set Pick(std::uint8_t bits, const Option (&options)[N]) {
  Set set;
  for (std::size_t i = 0; i < N && i < 8; ++i)
    if ((bits >> i) & 1u) set = set | options[i];
  return set;
}

void CheckGroup(const ICaptureGroup& group, std::string_view subject) {
  if (!group.Success()) {
    Expect(group.Index() == -1 && group.Length() == 0 && group.Value().empty(), "an unset group is empty");
    return;
  }
  Expect(group.Index() >= 0 && static_cast<std::size_t>(group.Index() + group.Length()) <= subject.size(),
         "a group lies within the subject");
  Expect(group.Value() == subject.substr(static_cast<std::size_t>(group.Index()),
                                         static_cast<std::size_t>(group.Length())),
         "a group's value is its part of the subject");
}

void Search(const IRegex& regex, std::string_view subject, std::string_view templateText, std::int32_t start,
            MatchOptions options) {
  const auto match = regex.Match(subject, start, options);
  Expect(match->Success() == regex.IsMatch(subject, start, options), "Match and IsMatch agree");
  CheckGroup(*match, subject);
  const auto groups = match->Groups();
  for (std::int32_t index = -2; index <= groups->Count(); ++index) groups->Items(index)->Value();
  for (std::int32_t position = 0; position < regex.NameCount(); ++position)
    CheckGroup(*groups->ItemsByName(regex.NameEntry(position).first), subject);

  const auto matches = regex.Matches(subject, options);
  for (std::int32_t i = 0; i < matches->Count(); ++i) CheckGroup(*matches->Items(i), subject);
  const auto parts = regex.Split(subject, SplitOption::IncludeMatch, options);
  if (regex.CaptureCount() == 0) {
    std::string joined;
    for (std::int32_t i = 0; i < parts->Count(); ++i) joined += parts->Items(i);
    Expect(parts->Count() == 2 * matches->Count() + 1, "a split keeps every match between two parts");
    Expect(joined == subject, "a split with its matches joins back to the subject");
  }
  regex.Split(subject, {}, options);
  Expect(regex.Replace(subject, std::string_view("$&"), options) == subject,
         "replacing each match by itself keeps the text");
  try {
    regex.Replace(subject, templateText, options);
  } catch (const ERegexException&) {
    // a group the template names but the pattern lacks
  }
  regex.Replace(subject, [](const IMatch& m) { return "<" + m.Value() + ">"; }, options);

  const auto dfa = regex.DfaMatch(subject.substr(0, kMostDfaSubject), start, options);
  for (std::int32_t i = 0; i < dfa->Count(); ++i) {
    const auto found = dfa->Items(i);
    Expect(found->Index() >= 0 && static_cast<std::size_t>(found->Index() + found->Length()) <= subject.size(),
           "a DFA match lies within the subject");
  }
}

// The answer of a search within a budget, or none when its steps run out.
std::optional<bool> Within(const IRegex& regex, std::string_view subject, std::int32_t start, MatchOptions options,
                           StepBudget& budget) {
  try {
    return regex.IsMatch(subject, start, options, budget);
  } catch (const ERegexStepLimit&) {
    return std::nullopt;
  }
}

// A search within a budget answers as one without whenever it ends; the steps it took
// are enough for it again, and one fewer stops it.
void SearchWithin(const IRegex& regex, std::string_view subject, std::int32_t start, MatchOptions options,
                  unsigned long steps) {
  StepBudget budget(steps);
  const std::optional<bool> found = Within(regex, subject, start, options, budget);
  if (!found) return;
  Expect(*found == regex.IsMatch(subject, start, options), "a search within a budget answers as one without");
  const unsigned long taken = steps - budget.left();
  if (taken == 0) return;
  StepBudget exact(taken), fewer(taken - 1);
  Expect(Within(regex, subject, start, options, exact) == found, "the steps a search took are enough for it");
  Expect(!Within(regex, subject, start, options, fewer), "one step fewer than a search took stops it");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const auto compileOptions = Pick<RegexOptions>(data[0], kCompileOptions) |
                              ((data[0] & 0x80) ? RegexOptions(RegexOption::FirstLine) : RegexOptions());
  const auto matchOptions = Pick<MatchOptions>(data[1], kMatchOptions);
  const auto [pattern, wholeSubject, templateText] = kvlfuzz::Parts<3>(kvlfuzz::AsText(data + 3, size - 3));
  const std::string_view subject = wholeSubject;
  const std::int32_t start = static_cast<std::int32_t>(data[2] % (subject.size() + 3)) - 1;  // -1 ... length + 1
  const bool literal = pattern.find_first_of(std::string_view("\\^$.[|()?*+{\0", 13)) == std::string_view::npos;

  const std::string compiled = literal ? std::string(pattern) : std::string(kLowerMatchLimit) + std::string(pattern);
  std::shared_ptr<IRegex> regex, onJit;
  try {
    regex = CreateRegex(compiled, compileOptions);
    onJit = CreateRegexOnJit(compiled, compileOptions);
  } catch (const ERegexException&) {
    return 0;  // a pattern that does not compile
  }
  try {
    Search(*regex, subject, templateText, start, matchOptions);
  } catch (const ERegexException&) {
    // PCRE gave up (match or recursion limit, bad UTF-8): an error, as promised
  }
  try {
    SearchWithin(*onJit, subject, start, matchOptions, 16ul << (data[1] >> 4));
  } catch (const ERegexException&) {
  }
  return 0;
}
