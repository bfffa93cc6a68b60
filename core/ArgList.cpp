#include "core/ArgList.h"

namespace kvl {

namespace {
// Walks the items; `visit(item, number)` returns true to stop.
template <typename Visit>
void WalkArgs(std::string_view text, std::string_view separators, std::string_view quotes, Visit&& visit) {
  if (separators.empty()) separators = " ";
  if (quotes.empty()) quotes = "\"";
  bool quoted = false;
  int number = 1;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (quotes.find(text[i]) != std::string_view::npos) quoted = !quoted;
    if (!quoted && separators.find(text[i]) != std::string_view::npos) {
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
