#include "host/TextMarks.h"

#include <algorithm>
#include <numeric>

namespace kvlhost {

namespace {
constexpr std::size_t kNotFound = std::string_view::npos;
}  // namespace

Marks MarksWithin(const Marks& marks, std::size_t begin, std::size_t end) {
  Marks within;
  auto first = std::lower_bound(marks.begin(), marks.end(), begin,
                                [](const Mark& mark, std::size_t at) { return mark.end <= at; });
  for (auto it = first; it != marks.end() && it->begin < end; ++it)
    within.push_back({std::max(it->begin, begin) - begin, std::min(it->end, end) - begin, it->source});
  return within;
}

void MarkedBuilder::addMark(std::size_t begin, std::size_t end, std::uint32_t source) {
  if (begin >= end) return;
  Marks& marks = out_.marks;
  if (!marks.empty() && marks.back().end == begin && marks.back().source == source) {
    marks.back().end = end;
    return;
  }
  marks.push_back({begin, end, source});
}

void MarkedBuilder::append(std::string_view bytes, std::uint32_t source) {
  const std::size_t at = out_.text.size();
  out_.text.append(bytes);
  addMark(at, out_.text.size(), source);
}

void MarkedBuilder::append(std::string_view bytes, const Marks& marks) {
  const std::size_t at = out_.text.size();
  out_.text.append(bytes);
  for (const Mark& mark : marks) addMark(at + mark.begin, at + std::min(mark.end, bytes.size()), mark.source);
}

bool TextPosition::endsLine(std::size_t k) const {
  return text_[k] == '\n' || (text_[k] == '\r' && (k + 1 >= text_.size() || text_[k + 1] != '\n'));
}

std::pair<std::size_t, std::size_t> TextPosition::at(std::size_t offset,
                                                     const std::function<std::size_t(std::string_view)>& columns) {
  auto count = [&](std::size_t begin, std::size_t end) {
    const std::string_view stretch = text_.substr(begin, end - begin);
    return columns ? columns(stretch) : stretch.size();
  };
  offset = std::min(offset, text_.size());
  if (offset < lineStart_) {  // back to an earlier line: its start, and the lines between
    std::size_t start = offset;
    while (start > 0 && !endsLine(start - 1)) --start;
    for (std::size_t k = start; k < lineStart_; ++k) line_ -= endsLine(k);
    lineStart_ = offset_ = start;
    column_ = 1;
  } else if (offset < offset_) {  // back on the same line
    column_ -= count(offset, offset_);
    offset_ = offset;
  }
  std::size_t stretch = offset_;
  for (std::size_t k = offset_; k < offset; ++k) {
    if (!endsLine(k)) continue;
    ++line_;
    lineStart_ = stretch = k + 1;
    column_ = 1;
  }
  column_ += count(stretch, offset);
  offset_ = offset;
  return {line_, column_};
}

TextPlacer::TextPlacer(const std::vector<std::string_view>& texts) : texts_(texts), order_(texts.size()) {
  std::iota(order_.begin(), order_.end(), std::size_t{0});
  std::stable_sort(order_.begin(), order_.end(),
                   [&](std::size_t a, std::size_t b) { return texts[a].size() > texts[b].size(); });
  searches_.reserve(texts.size());
  for (const std::string_view text : texts) searches_.emplace_back(text);
}

std::vector<std::size_t> TextPlacer::place(std::string_view built) const {
  std::vector<std::size_t> places(texts_.size(), kNotFound);
  std::vector<std::pair<std::size_t, std::size_t>> taken;  // sorted, disjoint [begin, end)
  for (const std::size_t index : order_) {
    const std::size_t length = texts_[index].size();
    if (length == 0) continue;
    // The gaps between the places taken, in order: the first fit in one is the first free place.
    std::size_t gap = 0;
    for (std::size_t next = 0; next <= taken.size(); ++next) {
      const std::size_t gapEnd = next < taken.size() ? taken[next].first : built.size();
      const std::size_t at = gapEnd - gap >= length ? searches_[index].find(built.substr(0, gapEnd), gap) : kNotFound;
      if (at != kNotFound) {
        taken.insert(taken.begin() + static_cast<std::ptrdiff_t>(next), {at, at + length});
        places[index] = at;
        break;
      }
      if (next < taken.size()) gap = taken[next].second;
    }
  }
  return places;
}

}  // namespace kvlhost
