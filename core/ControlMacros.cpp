#include "core/ControlMacros.h"

#include <cstdint>

#include "core/ArgList.h"
#include "core/Errors.h"
#include "core/Limits.h"
#include "core/Numbers.h"
#include "core/Plugin.h"
#include "core/TextUtil.h"
#include "core/WorkBudget.h"
#include "core/platform.h"

namespace kvl {

std::string ClearEmptyLines(std::string_view text, int mostKept, int putInstead, bool blankFill) {
  const std::string fill = blankFill ? " " : "";
  const CharClassSet blank = TrimClassSet(" ");
  std::string result;
  result.reserve(text.size() + 2);
  std::string pending;
  long long run = 0;
  auto isBlank = [&](std::string_view line) {
    for (char c : line)
      if (!InClasses(blank, c)) return false;
    return true;
  };
  auto takeLine = [&](std::string_view line) {
    if (isBlank(line)) {
      if (run <= mostKept) {
        pending += line.empty() ? fill : std::string(line);
        pending += "\r\n";
      }
      ++run;
      return;
    }
    if (run > mostKept) {
      const std::uint64_t copies = putInstead > 0 ? static_cast<std::uint64_t>(putInstead) : 0;
      EnsureResultFits(result.size() + copies * (fill.size() + 2));
      pending.clear();
      for (std::uint64_t i = 0; i < copies; ++i) pending += fill + "\r\n";
    }
    result += pending;
    result += line;
    result += "\r\n";
    run = 0;
    pending.clear();
  };
  ForEachLine(text, takeLine);
  return result;
}

std::string LineBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                        int startMode, int endMode, CaseMap lower) {
  if (startMarker.empty() && endMarker.empty()) return {};
  const std::string lowered = lower(text);
  const std::string start = lower(startMarker);
  const std::string end = lower(endMarker);
  const CharClassSet blank = TrimClassSet(" ");
  // Narrows [from, to) of the current line to its part without the blank class at both ends.
  auto trim = [&](std::size_t& from, std::size_t& to) {
    while (to > from && InClasses(blank, text[to - 1])) --to;
    while (from < to && InClasses(blank, text[from])) ++from;
  };

  std::string result;
  bool found = false;
  std::size_t lineStart = 0;
  ForEachLine(text, [&](std::string_view line) {
    const std::size_t at = lineStart;
    lineStart += line.size() + 2;
    if (found) return;
    std::size_t from = at, to = at + line.size();
    trim(from, to);
    auto view = [&] { return std::string_view(lowered).substr(from, to - from); };
    if (!start.empty()) {
      std::size_t cut;
      if (startMode == 1 && view().starts_with(start)) cut = 0;
      else if (startMode == 0 && (cut = view().find(start)) != std::string_view::npos) {}
      else return;
      from += cut + start.size();
      trim(from, to);
    }
    if (!end.empty()) {
      std::size_t cut;
      if (endMode == 1 && view().ends_with(end)) cut = to - from - end.size();
      else if (endMode == 0 && (cut = view().find(end)) != std::string_view::npos) {}
      else return;
      to = from + cut;
      trim(from, to);
    }
    result = text.substr(from, to - from);
    found = true;
  });
  return result;
}

namespace macros {

std::string PlugPath(Call&) { return Plugin().folder; }

std::string PlugVer(Call&) { return Plugin().fileVersion; }

std::string Test(Call&) { return "*** TEST ***"; }

std::string ArgCount(Call& call) {
  return FormatInteger(CountArgs(call.text(1), call.textOr(2, " "), call.textOr(3, "\"")));
}

std::string ArgItem(Call& call) {
  return ArgAt(call.text(1), call.integer(2), call.textOr(3, " "), call.textOr(4, "\""));
}

std::string Const(Call& call) {
  const std::string value = IniReadString(Plugin().folder + "KVL.ini", "Const", call.text(1), call.textOr(3, ""));
  return call.integerOr(2, 0) == 1 ? UnescapeText(value) : value;
}

std::string FirstNE(Call& call) {
  for (int n = 2; n <= call.count(); ++n) {
    std::string candidate = call.text(n);
    if (!candidate.empty()) return candidate;
  }
  return call.text(1);
}

// Sets the host variable to each value from first to last and expands the template after it.
// More than kMaxLoopPasses passes would keep the mail client busy for minutes: a value error.
// Each pass counts against the work budget of the outermost call.
std::string For(Call& call) {
  const std::string name = call.text(1);
  const std::int64_t first = call.integer(2);
  const std::int64_t last = call.integer(3);
  if (last - first + 1 > kMaxLoopPasses) return std::string(ErrParamValue);
  const std::string body = call.text(4);
  std::string result;
  for (std::int64_t i = first; i <= last; ++i) {
    ChargeLoopPass();
    result += call.process("%_" + name + "=\"" + FormatInteger(i) + "\"" + body);
    EnsureResultFits(result.size());
  }
  return result;
}

// Expands the template until the host variable holds the stop value; a template that
// never gets there stops after kMaxLoopPasses passes (or when the work budget of the
// outermost call is spent) with the no-success error.
std::string Until(Call& call) {
  const std::string name = call.text(1);
  const std::string stop = call.text(2);
  const std::string body = call.text(3);
  std::string result;
  for (int pass = 0; pass < kMaxLoopPasses; ++pass) {
    ChargeLoopPass();
    result += call.process(body);
    EnsureResultFits(result.size());
    if (call.process("%_" + name) == stop) return result;
  }
  return std::string(ErrNoSuccess);
}

std::string ClearLines(Call& call) {
  return ClearEmptyLines(call.text(1), call.integerOr(2, 3), call.integerOr(3, 2), call.integerOr(4, 0) == 1);
}

// Without arguments 4 and 5 the markers may stand anywhere in the line.
std::string LineBetw(Call& call) {
  return LineBetween(call.text(1), call.text(2), call.text(3), call.integerOr(4, 0), call.integerOr(5, 0),
                     AnsiLowered);
}

}  // namespace macros
}  // namespace kvl
