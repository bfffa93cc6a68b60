#include "core/ArgList.h"

#include "core/TextUtil.h"

namespace kvl {

namespace {
// Walks the items; `visit(item, number)` returns true to stop.
template <typename Visit>
void WalkArgs(std::string_view text, std::string_view separators, std::string_view quotes, Visit&& visit) {
  // Sets, not searches of the two texts: both may be as long as a message.
  const CharClassSet separator = SetOfCharacters(separators.empty() ? " " : separators);
  const CharClassSet quote = SetOfCharacters(quotes.empty() ? "\"" : quotes);
  bool quoted = false;
  int number = 1;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (quote[c]) quoted = !quoted;
    if (!quoted && separator[c]) {
      if (visit(text.substr(start, i - start), number)) return;
      ++number;
      start = i + 1;
    }
  }
  visit(text.substr(start), number);
}
}  // namespace

int CountArgs(std::string_view text, std::string_view separators, std::string_view quotes) {
  int count = 0;
  WalkArgs(text, separators, quotes, [&](std::string_view, int number) {
    count = number;
    return false;
  });
  return count;
}

std::string ArgAt(std::string_view text, int n, std::string_view separators, std::string_view quotes) {
  std::string result;
  if (n < 1) return result;
  WalkArgs(text, separators, quotes, [&](std::string_view item, int number) {
    if (number != n) return false;
    result = item;
    return true;
  });
  return result;
}

}  // namespace kvl
