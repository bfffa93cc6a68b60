#include "dialogs/TextChoices.h"

#include <cmath>

namespace kvl::dialogs {

namespace {
// `mark` repeated and cut to `length` characters (nothing from an empty mark).
std::string Repeated(const std::string& mark, std::size_t length) {
  std::string text;
  if (mark.empty()) return text;
  text.reserve(length);
  while (text.size() < length) text.append(mark, 0, std::min(mark.size(), length - text.size()));
  return text;
}
}  // namespace

std::string SelectFromPairs(const std::string& value, const std::string& dflt, const std::vector<std::string>& list) {
  for (std::size_t k = 0; k + 1 < list.size(); ++k)
    if (list[k] == value) return list[k + 1];
  return dflt;
}

ProgressBar BuildProgressBar(const std::string& emptyMark, const std::string& fillMark, long long width,
                             long long maximum, long long value, std::size_t longest) {
  if (maximum == 0) return {};
  const double filled = std::nearbyint(static_cast<double>(value) * (static_cast<double>(width) / static_cast<double>(maximum)));
  const std::size_t background = width > 0 ? static_cast<std::size_t>(width) : 0;
  if (background > longest || filled > static_cast<double>(longest)) return {};
  const std::size_t n = filled > 0 ? static_cast<std::size_t>(filled) : 0;
  std::string bar = Repeated(emptyMark, background);
  std::string fill = Repeated(fillMark, n);
  // The first n characters of the background give way to the fill.
  if (n < bar.size()) fill.append(bar, n, std::string::npos);
  return {true, std::move(fill)};
}

}  // namespace kvl::dialogs
