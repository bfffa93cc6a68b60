#include "regex/RegexMacros.h"

#include <algorithm>
#include <cstdint>

#include "core/Errors.h"
#include "core/Numbers.h"
#include "core/TextUtil.h"
#include "regex/PCRE.h"

namespace kvl::macros {

namespace {
// Argument `n` exactly 1 asks for a case-insensitive pattern.
regex::RegexOptions CaseOption(Call& call, int n) {
  return call.count() >= n && call.integer(n) == 1 ? regex::RegexOptions(regex::RegexOption::Caseless)
                                                    : regex::RegexOptions();
}

// The host's macros take their values in double quotes, so the quotes of a text and
// of a pattern travel as character 2 (a quote in the pattern still matches one in the
// text) and those of a result come back afterwards.
std::string HideQuotes(std::string text) {
  std::replace(text.begin(), text.end(), '"', '\x02');
  return text;
}
std::string RestoreQuotes(std::string text) {
  std::replace(text.begin(), text.end(), '\x02', '"');
  return text;
}

std::string Quoted(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted.append("\"").append(text).append("\"");
  return quoted;
}
}  // namespace

// The start is a 1-based character position; below 1 counts as 1.
std::string REIsMatch(Call& call) {
  const TextBuffer subject = call.textBuffer(1);
  const std::string pattern = call.text(2);
  const std::int64_t start = std::max<std::int64_t>(call.count() > 2 ? call.integer(3) : 1, 1);
  try {
    const auto regex = regex::CreateRegex(pattern, CaseOption(call, 4));
    return regex->IsMatch(subject.view(), static_cast<std::int32_t>(start - 1)) ? "1" : "0";
  } catch (const regex::ERegexException&) {
    return std::string(ErrNoSuccess);
  }
}

std::string RERepl(Call& call) {
  const TextBuffer subject = call.textBuffer(1);
  const std::string pattern = call.text(2), templateText = call.text(3);
  try {
    return regex::CreateRegex(pattern, CaseOption(call, 4))->Replace(subject.view(), templateText);
  } catch (const regex::ERegexException&) {
    return std::string(ErrNoSuccess);
  }
}

// Modes: M matching lines, N the others, B lines before the first match (BI with it),
// A lines after it (AI with it). The host decides each match.
std::string Grep(Call& call) {
  std::string mode = TrimClasses(call.textOr(3, "M"), " ");
  for (char& c : mode) c = AsciiUpper(c);
  auto contains = [&](char letter) { return mode.find(letter) != std::string::npos; };
  const std::string text = call.text(1);
  const std::string setPattern = "%SETPATTREGEXP=" + Quoted(HideQuotes(call.text(2))) + "%REGEXPMATCH=";
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

    const bool matched = !call.process(setPattern + Quoted(HideQuotes(line))).empty();
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
  const std::int32_t group = call.count() == 3 ? call.integer(3) : 1;
  const std::string hostText = "%SETPATTREGEXP=" + Quoted(HideQuotes(call.text(2))) + "%REGEXPBLINDMATCH=" +
                               Quoted(HideQuotes(call.text(1))) + "%SUBPATT=" + Quoted(FormatInteger(group));
  return RestoreQuotes(call.process(hostText));
}

}  // namespace kvl::macros
