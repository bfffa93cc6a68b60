#include "regex/RegexMacros.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "core/Errors.h"
#include "core/HostText.h"
#include "core/Numbers.h"
#include "core/TextUtil.h"
#include "regex/PCRE.h"

namespace kvl::macros {

namespace {
regex::RegexOptions CaseOption(bool caseless) {
  return caseless ? regex::RegexOptions(regex::RegexOption::Caseless) : regex::RegexOptions();
}

// The plug-in cannot count the host's steps, so each search it hands over is made here
// first, by the same binding with the same limits, within a budget for all of them: a
// search that gives up is never handed over. A pattern this binding cannot compile
// goes over unchecked (the host's own PCRE refuses it too); other failures, such as
// text that is no UTF-8 for a (*UTF8) pattern, are the host's to answer as before.
class HostSearchCheck {
 public:
  HostSearchCheck(const std::string& hostPattern, unsigned long budgetSteps) : budget_(budgetSteps) {
    try {
      regex_ = regex::CreateRegex(hostPattern, {});
    } catch (const regex::ERegexException&) {
    }
  }
  bool endsInTime(std::string_view hostSubject) {
    if (!regex_) return true;
    try {
      regex_->IsMatch(hostSubject, 0, {}, budget_);
    } catch (const regex::ERegexStepLimit&) {
      return false;
    } catch (const regex::ERegexException&) {
    }
    return true;
  }

 private:
  std::shared_ptr<regex::IRegex> regex_;
  regex::StepBudget budget_;
};
}  // namespace

// The start is a 1-based character position; below 1 counts as 1.
std::string REIsMatch(Call& call) {
  const TextBuffer subject = call.textBuffer(1);
  const std::string pattern = call.text(2);
  const std::int64_t start = std::max<std::int64_t>(call.integerOr(3, 1), 1);
  try {
    const auto regex = regex::CreateRegex(pattern, CaseOption(call.flag(4)));
    return regex->IsMatch(subject.view(), static_cast<std::int32_t>(start - 1)) ? "1" : "0";
  } catch (const regex::ERegexException&) {
    return std::string(ErrNoSuccess);
  }
}

std::string RERepl(Call& call) {
  const TextBuffer subject = call.textBuffer(1);
  const std::string pattern = call.text(2), templateText = call.text(3);
  try {
    return regex::CreateRegex(pattern, CaseOption(call.flag(4)))->Replace(subject.view(), templateText);
  } catch (const regex::ERegexException&) {
    return std::string(ErrNoSuccess);
  }
}

// Modes: M matching lines, N the others, B lines before the first match (BI with it),
// A lines after it (AI with it). The host decides each match. All searches of one Grep,
// the host's included, may take what one search over the whole text may: half of it
// for the checks here.
std::string Grep(Call& call) {
  std::string mode = TrimClasses(call.textOr(3, "M"), " ");
  for (char& c : mode) c = AsciiUpper(c);
  auto contains = [&](char letter) { return mode.find(letter) != std::string::npos; };
  const std::string text = call.text(1);
  // The host sees the quotes of the pattern and of each line as code 2, and so do the checks.
  const std::string pattern = WithQuotesHidden(call.text(2));
  const std::string setPattern = "%SETPATTREGEXP=" + HostQuoted(pattern) + "%REGEXPMATCH=";
  HostSearchCheck check(pattern, regex::SearchStepLimit(text.size()) / 2);
  std::string result;
  bool seen = false, before = false;
  std::size_t start = 0;
  for (bool last = false; !last;) {
    // The lines as FieldAt cuts them at LF, each with its LF.
    const std::size_t end = text.find('\n', start);
    last = end == std::string::npos;
    std::string line = text.substr(start, last ? std::string::npos : end - start);
    line += '\n';
    start = end + 1;

    const std::string hostLine = WithQuotesHidden(line);
    if (!check.endsInTime(hostLine)) return std::string(ErrNoSuccess);
    const bool matched = !call.process(setPattern + HostQuoted(hostLine)).empty();
    seen = seen || matched;
    if (mode == "N") {
      if (!matched) result += line;
    } else if (contains('B')) {
      if (!seen) {
        result += line;
      } else {
        if (contains('I')) result += line;
        break;  // nothing after the first match is ever selected
      }
    } else if (contains('A')) {
      if (before || (contains('I') && matched)) result += line;
    } else if (matched) {
      result += line;
    }
    before = before || matched;
  }
  return result;
}

// Group 1 unless a third argument names another.
std::string ReX(Call& call) {
  const std::int32_t group = call.integerOr(3, 1);
  const std::string pattern = WithQuotesHidden(call.text(2)), text = WithQuotesHidden(call.text(1));
  if (!HostSearchCheck(pattern, regex::SearchStepLimit(text.size())).endsInTime(text))
    return std::string(ErrNoSuccess);
  const std::string hostText = "%SETPATTREGEXP=" + HostQuoted(pattern) + "%REGEXPBLINDMATCH=" + HostQuoted(text) +
                               "%SUBPATT=" + HostQuoted(FormatInteger(group));
  return WithHostQuotesRestored(call.process(hostText));
}

}  // namespace kvl::macros
