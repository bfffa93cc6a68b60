#include <cstdint>

#include "core/Numbers.h"
#include "core/TextUtil.h"
#include "text/TextMacros.h"

namespace kvl::macros {

std::string StrItem(Call& call) { return FieldAt(call.text(1), call.text(2), call.integer(3)); }

std::string StrItemCnt(Call& call) {
  const std::string text = call.text(1), delimiter = call.text(2);
  if (text.empty() || delimiter.empty()) return "0";
  return FormatInteger(static_cast<std::int64_t>(CountOf(text, delimiter)) + 1);
}

// Two lines by default; a last line below 1 runs to the end of the text.
std::string StrLines(Call& call) {
  const std::string text = call.text(1);
  const std::int64_t first = call.integerOr(2, 1);
  const std::int64_t last = first + call.integerOr(3, 2) - 1;
  std::string out;
  std::int64_t number = 0;
  bool done = false;
  ForEachLine(text, [&](std::string_view line) {
    if (done) return;
    ++number;
    if (number >= first) out.append(line).append("\r\n");
    done = number == last;
  });
  return out;
}

// Without an argument, the message text (or, when that is empty, the whole body).
std::string StrLnCnt(Call& call) {
  std::string text;
  if (call.count() == 1) {
    text = call.text(1);
  } else {
    text = call.item(items::kMessageText);
    if (text.empty()) text = call.item(items::kBody);
  }
  return FormatInteger(static_cast<std::int64_t>(CountOf(text, "\n")) + 1);
}

}  // namespace kvl::macros
