// The text rules behind KVL_ClearLines and KVL_LineBetw, apart from the macros so
// that they build without the host interface.
#include <cstdint>

#include "core/ControlMacros.h"
#include "core/Limits.h"
#include "core/TextUtil.h"

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
      else if (startMode == 0 && (cut = FindText(view(), start)) != std::string_view::npos) {}
      else return;
      from += cut + start.size();
      trim(from, to);
    }
    if (!end.empty()) {
      std::size_t cut;
      if (endMode == 1 && view().ends_with(end)) cut = to - from - end.size();
      else if (endMode == 0 && (cut = FindText(view(), end)) != std::string_view::npos) {}
      else return;
      to = from + cut;
      trim(from, to);
    }
    result = text.substr(from, to - from);
    found = true;
  });
  return result;
}

}  // namespace kvl
