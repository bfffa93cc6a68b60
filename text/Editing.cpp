#include "text/Editing.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "core/Limits.h"
#include "core/TextUtil.h"

namespace kvl {

namespace {
bool Occurs(std::string_view text, std::string_view search) { return FindText(text, search) != std::string_view::npos; }

}  // namespace

std::string ReplaceRepeatedly(std::string_view text, std::string_view search, std::string_view replacement,
                              CaseMap fold, CaseMap occursFold) {
  std::string result = ReplaceAll(text, search, replacement, fold);
  if (search.empty()) return result;
  auto occurs = [&](std::string_view haystack, std::string_view needle) {
    return occursFold ? Occurs(occursFold(haystack), occursFold(needle)) : Occurs(haystack, needle);
  };
  if (occurs(replacement, search)) return result;
  const std::uint64_t budget = kReplaceWorkFactor * static_cast<std::uint64_t>(text.size()) + kReplaceWorkFloor;
  std::uint64_t work = text.size();
  while (occurs(result, search)) {
    work += result.size();
    if (work > budget) throw ResultTooLarge();
    result = ReplaceAll(result, search, replacement, fold);
  }
  return result;
}

std::string TranslateChars(std::string_view text, std::string_view from, std::string_view to, bool deleteMode,
                           bool lowerFirst) {
  // -1: keep; otherwise the replacement (or, in delete mode, 256: drop).
  std::array<int, 256> map;
  map.fill(-1);
  for (std::size_t k = 0; k < from.size(); ++k) {
    const auto c = static_cast<unsigned char>(lowerFirst ? AsciiLower(from[k]) : from[k]);
    if (map[c] == -1) map[c] = deleteMode ? 256 : static_cast<unsigned char>(to[k]);
  }
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const int mapped = map[static_cast<unsigned char>(lowerFirst ? AsciiLower(c) : c)];
    if (mapped == -1) out += c;
    else if (mapped != 256) out += static_cast<char>(mapped);
  }
  return out;
}

std::string WrapLines(std::string_view text, long long width) {
  if (width < 3) return std::string(text);
  const auto limit = static_cast<std::size_t>(width);
  std::string out;
  out.reserve(text.size() + text.size() / 32 + 2);
  auto emit = [&](std::string_view line) {
    out.append(line);
    out.append("\r\n");
    EnsureResultFits(out.size());
  };
  ForEachLineAtAnyBreak(text, [&](std::string_view line) {
    while (line.size() > limit) {
      const std::size_t gap = line.substr(0, limit).find_last_of(" \t");
      if (gap == std::string_view::npos) {
        emit(line.substr(0, limit));
        line.remove_prefix(limit);
      } else {
        emit(line.substr(0, gap));
        line.remove_prefix(gap + 1);
      }
    }
    emit(line);
  });
  return out;
}

std::string JustifyLine(std::string_view line, long long width) {
  if (width <= 0 || line.size() >= static_cast<unsigned long long>(width)) return std::string(line);
  // Gaps: blank runs after the first non-blank character, by where they end.
  const std::size_t firstWord = line.find_first_not_of(' ');
  std::vector<std::size_t> gapEnds;
  for (std::size_t i = firstWord + 1; firstWord != std::string_view::npos && i <= line.size(); ++i)
    if (line[i - 1] == ' ' && (i == line.size() || line[i] != ' ')) gapEnds.push_back(i);
  if (gapEnds.empty()) return std::string(line);
  EnsureResultFits(static_cast<std::uint64_t>(width));
  const std::size_t missing = static_cast<std::size_t>(width) - line.size();
  const std::size_t gaps = gapEnds.size();
  // Blanks go round from the last gap to the first, so the last gaps get the remainder.
  const std::size_t each = missing / gaps, extra = missing % gaps;
  std::string out;
  out.reserve(static_cast<std::size_t>(width));
  std::size_t at = 0;
  for (std::size_t g = 0; g < gaps; ++g) {
    out.append(line.data() + at, gapEnds[g] - at);
    out.append(each + (g >= gaps - extra ? 1 : 0), ' ');
    at = gapEnds[g];
  }
  out.append(line.data() + at, line.size() - at);
  return out;
}

namespace {
void AppendAligned(std::string& out, std::string_view line, long long width, Alignment alignment,
                   bool paragraphGoesOn) {
  const auto length = static_cast<long long>(line.size());
  switch (alignment) {
    case Alignment::Right:
      // The last `width` characters of width blanks followed by the line.
      if (width <= 0) break;
      EnsureResultFits(out.size() + static_cast<std::uint64_t>(width));
      if (length >= width) out.append(line.substr(line.size() - static_cast<std::size_t>(width)));
      else out.append(static_cast<std::size_t>(width - length), ' ').append(line);
      break;
    case Alignment::Centre:
      if (width > length) {
        EnsureResultFits(out.size() + static_cast<std::uint64_t>((width - length) / 2));
        out.append(static_cast<std::size_t>((width - length) / 2), ' ');
      }
      out.append(line);
      break;
    case Alignment::Justify:
      // The last line of a paragraph stays as it is.
      if (paragraphGoesOn) {
        EnsureResultFits(out.size() + static_cast<std::uint64_t>(std::max(width, length)));
        out.append(JustifyLine(line, width));
      } else {
        out.append(line);
      }
      break;
    case Alignment::Left:
      out.append(line);
      break;
  }
  out.append("\r\n");
  EnsureResultFits(out.size());
}
}  // namespace

std::string WrapAndAlign(std::string_view text, long long width, Alignment alignment) {
  const std::string wrapped = WrapLines(text, width);
  if (alignment == Alignment::Left && width >= 3) return wrapped;
  std::string out;
  out.reserve(wrapped.size() + 16);
  // Each line is aligned once the next one is known (justification looks ahead).
  std::optional<std::string_view> pending;
  ForEachLineAtAnyBreak(wrapped, [&](std::string_view line) {
    if (pending) AppendAligned(out, *pending, width, alignment, !Trimmed(line).empty());
    pending = line;
  });
  if (pending) AppendAligned(out, *pending, width, alignment, false);
  return out;
}

std::string Rot13(std::string_view text) {
  static const std::array<char, 256> kMap = [] {
    std::array<char, 256> map;
    for (int c = 0; c < 256; ++c) map[c] = static_cast<char>(c);
    for (int c = 0; c < 26; ++c) {
      map['a' + c] = static_cast<char>('a' + (c + 13) % 26);
      map['A' + c] = static_cast<char>('A' + (c + 13) % 26);
    }
    return map;
  }();
  std::string out(text.size(), '\0');
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  char* write = out.data();
  for (std::size_t i = 0; i < text.size(); ++i) write[i] = kMap[in[i]];
  return out;
}

}  // namespace kvl
