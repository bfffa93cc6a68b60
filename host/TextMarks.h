#pragma once
// Text that came from the message, marked where it stands: the template engine carries
// marks through expansion, so that it can tell when the plug-in hands message text back
// to be expanded as a template. Marks are ranges, not flags per character, so a
// 16 MiB %TEXT costs one mark.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <string_view>
#include <vector>

#include "core/TextUtil.h"

namespace kvlhost {

struct Mark {
  std::size_t begin = 0;
  std::size_t end = 0;       // past the last marked character
  std::uint32_t source = 0;  // which message text (an index the engine keeps)
};
// Sorted by position, never overlapping.
using Marks = std::vector<Mark>;

struct MarkedText {
  std::string text;
  Marks marks;
};

// Marks of `marks` that overlap [begin, end), clipped to it and moved by -begin.
Marks MarksWithin(const Marks& marks, std::size_t begin, std::size_t end);

// Builds a text and its marks by appending.
class MarkedBuilder {
 public:
  void append(std::string_view bytes) { out_.text.append(bytes); }
  void append(std::string_view bytes, std::uint32_t source);  // all of it from one source
  void append(std::string_view bytes, const Marks& marks);    // marks relative to `bytes`
  void append(const MarkedText& piece) { append(piece.text, piece.marks); }
  void append(char c) { out_.text += c; }
  void reserve(std::size_t size) { out_.text.reserve(size); }
  const MarkedText& peek() const { return out_; }
  MarkedText take() { return std::move(out_); }

 private:
  void addMark(std::size_t begin, std::size_t end, std::uint32_t source);
  MarkedText out_;
};

// Line and column of offsets in one text (lines end at LF, CR LF or a lone CR), found by
// moving from the offset asked for last: places come mostly in order, so a template's
// places cost about one walk through it. `columns` counts the characters of a stretch
// of one line (bytes when it is empty); stretches start and end at ASCII characters.
class TextPosition {
 public:
  explicit TextPosition(std::string_view text = {}) : text_(text) {}
  std::pair<std::size_t, std::size_t> at(std::size_t offset,
                                         const std::function<std::size_t(std::string_view)>& columns);

 private:
  bool endsLine(std::size_t k) const;
  std::string_view text_;
  std::size_t offset_ = 0, line_ = 1, lineStart_ = 0, column_ = 1;
};

// Where each of several texts (a call's arguments, the items it read) stands in a text the
// plug-in built from them: the longest are placed first, each at its first place that no
// longer one took. Made once per call, used for each text the call hands over.
class TextPlacer {
 public:
  explicit TextPlacer(const std::vector<std::string_view>& texts);
  // Per text, its start in `built`, or npos.
  std::vector<std::size_t> place(std::string_view built) const;

 private:
  std::vector<std::string_view> texts_;
  std::vector<std::size_t> order_;  // longest first
  std::vector<kvl::TwoWaySearch> searches_;  // message text chooses both needle and text
};

inline std::vector<std::size_t> PlaceTexts(std::string_view built, const std::vector<std::string_view>& texts) {
  return TextPlacer(texts).place(built);
}

}  // namespace kvlhost
