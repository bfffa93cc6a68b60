#include "addresses/ExtractionMacros.h"

#include <algorithm>

#include "addresses/Extraction.h"
#include "core/TextUtil.h"

namespace kvl::macros {

namespace {
bool OnlyBlanks(std::string_view text) {
  const CharClassSet blanks = TrimClassSet(" ");
  return std::all_of(text.begin(), text.end(), [&](char c) { return InClasses(blanks, c); });
}
}  // namespace

// An empty text argument stands for the message text.
std::string XtrEMLs(Call& call) {
  std::string text = call.textOr(1, "");
  if (text.empty()) text = call.item(items::kMessageText);
  return addresses::ExtractAddresses(text, call.textOr(2, "\r\n"));
}

// A text of blanks and control characters stands for the message text. Without a
// prefix (or with an empty one, which would match everywhere) both the plain and the
// secure scheme are looked for: nearly all links in today's mail are secure ones.
std::string XtrURLs(Call& call) {
  std::string text = call.textOr(1, "");
  if (OnlyBlanks(text)) text = call.item(items::kMessageText);
  const std::string separator = call.textOr(2, "\r\n");
  const std::string prefix = call.textOr(3, "");
  return prefix.empty() ? addresses::ExtractWebLinks(text, separator)
                        : addresses::ExtractUrls(text, separator, prefix);
}

}  // namespace kvl::macros
