#include "host/TextMarks.h"

#include "core/TextUtil.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace kvlhost {

namespace {

constexpr std::size_t kNotFound = std::string_view::npos;

unsigned char At(std::string_view text, std::ptrdiff_t i) {
  return static_cast<unsigned char>(text[static_cast<std::size_t>(i)]);
}

// The maximal suffix of `x` under the byte order (or its reverse) and that suffix's period.
std::ptrdiff_t MaximalSuffix(std::string_view x, bool reversed, std::ptrdiff_t& period) {
  const auto m = static_cast<std::ptrdiff_t>(x.size());
  std::ptrdiff_t suffix = -1, j = 0, k = 1;
  period = 1;
  while (j + k < m) {
    const unsigned char a = At(x, j + k), b = At(x, suffix + k);
    if (reversed ? a > b : a < b) {
      j += k;
      k = 1;
      period = j - suffix;
    } else if (a == b) {
      if (k != period) {
        ++k;
      } else {
        j += period;
        k = 1;
      }
    } else {
      suffix = j++;
      k = period = 1;
    }
  }
  return suffix;
}

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

LinearSearch::LinearSearch(std::string_view needle) : needle_(needle) {
  if (needle.empty()) return;
  std::ptrdiff_t period = 1, reversedPeriod = 1;
  const std::ptrdiff_t suffix = MaximalSuffix(needle, false, period);
  const std::ptrdiff_t reversedSuffix = MaximalSuffix(needle, true, reversedPeriod);
  split_ = suffix > reversedSuffix ? suffix : reversedSuffix;
  period_ = suffix > reversedSuffix ? period : reversedPeriod;
  periodic_ = std::memcmp(needle.data(), needle.data() + period_, static_cast<std::size_t>(split_ + 1)) == 0;
  if (!periodic_)
    period_ = std::max(split_ + 1, static_cast<std::ptrdiff_t>(needle.size()) - split_ - 1) + 1;
}

namespace {
// How many bytes from the start `a` and `b` share, up to `n`: a block at a time while they agree.
std::ptrdiff_t SharedLength(const char* a, const char* b, std::ptrdiff_t n) {
  constexpr std::ptrdiff_t kBlock = 16;
  std::ptrdiff_t at = 0;
  while (at + kBlock <= n && std::memcmp(a + at, b + at, kBlock) == 0) at += kBlock;
  while (at < n && a[at] == b[at]) ++at;
  return at;
}
}  // namespace

std::size_t LinearSearch::find(std::string_view text, std::size_t from) const {
  const std::string_view x = needle_;
  if (from > text.size() || x.size() > text.size() - from) return kNotFound;
  if (x.empty()) return from;
  const auto m = static_cast<std::ptrdiff_t>(x.size());
  const auto last = static_cast<std::ptrdiff_t>(text.size()) - m;  // the last place a match can start
  const char first = x[static_cast<std::size_t>(split_ + 1)];    // the right part's first byte
  std::ptrdiff_t j = static_cast<std::ptrdiff_t>(from);
  std::ptrdiff_t memory = -1;  // periodic needles: how much of the left part the last shift keeps matched
  while (j <= last) {
    if (memory < 0) {
      // Every place whose right part does not start right moves on by one: skip them at once.
      const std::size_t next = kvl::FindText(text, std::string_view(&first, 1), static_cast<std::size_t>(j + split_ + 1));
      if (next == kNotFound) return kNotFound;
      j = static_cast<std::ptrdiff_t>(next) - split_ - 1;
      if (j > last) return kNotFound;
    }
    const std::ptrdiff_t i0 = std::max(split_, memory) + 1;
    const std::ptrdiff_t i = i0 + SharedLength(x.data() + i0, text.data() + i0 + j, m - i0);
    if (i < m) {
      j += i - split_;
      memory = -1;
      continue;
    }
    const std::ptrdiff_t floor = periodic_ ? memory : -1;  // the left part above it is known to match
    if (floor >= split_ ||
        std::memcmp(x.data() + floor + 1, text.data() + j + floor + 1, static_cast<std::size_t>(split_ - floor)) == 0)
      return static_cast<std::size_t>(j);
    j += period_;
    if (periodic_) memory = m - period_ - 1;
  }
  return kNotFound;
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
